#include <cstdint>

#include <gtest/gtest.h>

#include "raster/LICE_MemBitmap.h"
#include "raster/LICE_SysBitmap.h"

namespace tarvel {
namespace {

bool IsAligned64(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % 64 == 0;
}

// Writes and reads back every visible pixel: under ASan this catches a block
// smaller than stride * height.
void FillAndCheck(LICE_IBitmap& bitmap) {
  LICE_Pixel* pixels = bitmap.Pixels();
  ASSERT_NE(pixels, nullptr);
  const int stride = bitmap.RowStride();
  for (int y = 0; y < bitmap.PixelHeight(); ++y) {
    for (int x = 0; x < stride; ++x) pixels[y * stride + x] = static_cast<LICE_Pixel>(y * 65536 + x);
  }
  EXPECT_EQ(pixels[(bitmap.PixelHeight() - 1) * stride + stride - 1],
            static_cast<LICE_Pixel>((bitmap.PixelHeight() - 1) * 65536 + stride - 1));
}

TEST(MemBitmap, EmptyBitmapHasNoPixels) {
  LICE_MemBitmap bitmap(0, 0, 4);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.PixelWidth(), 0);
  EXPECT_EQ(bitmap.PixelHeight(), 0);
  EXPECT_EQ(bitmap.RowStride(), 0);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);
  EXPECT_FALSE(bitmap.IsBottomUp());
  EXPECT_EQ(bitmap.DrawContext(), nullptr);
  EXPECT_EQ(bitmap.ExtensionQuery(0, nullptr), 0);
}

TEST(MemBitmap, StrideAndBlockFollowRowAlignment) {
  LICE_MemBitmap strip(24, 2688, 4);
  EXPECT_EQ(strip.RowStride(), 24);
  EXPECT_EQ(strip.AllocatedBytes(), 258048);
  EXPECT_TRUE(IsAligned64(strip.Pixels()));
  FillAndCheck(strip);

  LICE_MemBitmap narrow(5, 1, 4);
  EXPECT_EQ(narrow.RowStride(), 8);
  EXPECT_EQ(narrow.AllocatedBytes(), 32);
  FillAndCheck(narrow);

  EXPECT_EQ(LICE_MemBitmap(5, 1, 0).RowStride(), 5);
  EXPECT_EQ(LICE_MemBitmap(5, 1, 1).RowStride(), 5);
  EXPECT_EQ(LICE_MemBitmap(5, 1, 6).RowStride(), 6);       // lowest set bit: 2
  EXPECT_EQ(LICE_MemBitmap(5, 1, 1u << 31).RowStride(), 16);  // capped at 16 pixels
}

TEST(MemBitmap, GrowsByAQuarterAndNeverShrinks) {
  LICE_MemBitmap bitmap(8, 8, 4);
  EXPECT_EQ(bitmap.AllocatedBytes(), 256);
  EXPECT_FALSE(bitmap.SetSize(8, 8));
  EXPECT_TRUE(bitmap.SetSize(16, 16));
  EXPECT_EQ(bitmap.AllocatedBytes(), 1280);
  EXPECT_TRUE(IsAligned64(bitmap.Pixels()));
  FillAndCheck(bitmap);
  EXPECT_TRUE(bitmap.SetSize(8, 8));
  EXPECT_EQ(bitmap.AllocatedBytes(), 1280);
  EXPECT_EQ(bitmap.RowStride(), 8);
  // Within the slack: no new block, and the whole new size is usable.
  EXPECT_TRUE(bitmap.SetSize(16, 20));
  EXPECT_EQ(bitmap.AllocatedBytes(), 1280);
  FillAndCheck(bitmap);
  EXPECT_TRUE(bitmap.SetSize(0, 0));
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);
}

TEST(MemBitmap, UnrepresentableSizesGiveAnEmptyBitmap) {
  LICE_MemBitmap bitmap(4, 4, 4);
  // 2^16 * 2^16 * 4 bytes wraps to 0 in 32 bits; it must not become a tiny block.
  EXPECT_FALSE(bitmap.SetSize(65536, 65536));
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.PixelWidth(), 0);
  EXPECT_EQ(bitmap.PixelHeight(), 0);

  EXPECT_FALSE(bitmap.SetSize(0x7FFFFFFF, 1));  // stride rounding would overflow
  EXPECT_EQ(bitmap.PixelWidth(), 0);

  // Two negative sizes multiply to a positive byte count.
  bitmap.SetSize(-100, -100);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.PixelWidth(), 0);
  EXPECT_EQ(bitmap.PixelHeight(), 0);

  EXPECT_TRUE(bitmap.SetSize(3, 3));
  FillAndCheck(bitmap);
}

TEST(SysBitmap, EditorSizedBitmap) {
  LICE_SysBitmap bitmap(768, 768);
  EXPECT_EQ(bitmap.PixelWidth(), 768);
  EXPECT_EQ(bitmap.PixelHeight(), 768);
  EXPECT_EQ(bitmap.RowStride(), 768);
  EXPECT_FALSE(bitmap.IsBottomUp());
  EXPECT_NE(bitmap.DrawContext(), nullptr);
  EXPECT_EQ(bitmap.ExtensionQuery(0, nullptr), 0);
  FillAndCheck(bitmap);

  LICE_SysBitmap small(5, 5);
  EXPECT_EQ(small.RowStride(), 8);
  FillAndCheck(small);
}

TEST(SysBitmap, SmallerSizeReusesSectionZeroReleasesIt) {
  LICE_SysBitmap bitmap(768, 768);
  LICE_Pixel* const first = bitmap.Pixels();
  EXPECT_FALSE(bitmap.SetSize(768, 768));
  EXPECT_TRUE(bitmap.SetSize(400, 300));
  EXPECT_EQ(bitmap.Pixels(), first);
  EXPECT_EQ(bitmap.RowStride(), 768);
  EXPECT_EQ(bitmap.PixelWidth(), 400);
  EXPECT_EQ(bitmap.PixelHeight(), 300);

  EXPECT_FALSE(bitmap.SetSize(0, 300));
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_NE(bitmap.DrawContext(), nullptr);

  EXPECT_TRUE(bitmap.SetSize(10, 10));
  EXPECT_EQ(bitmap.RowStride(), 12);
  FillAndCheck(bitmap);
  // Growing past the section makes a new one of the new size.
  EXPECT_TRUE(bitmap.SetSize(13, 11));
  EXPECT_EQ(bitmap.RowStride(), 16);
  FillAndCheck(bitmap);
}

TEST(SysBitmap, UnrepresentableSizesGiveAnEmptyBitmap) {
  LICE_SysBitmap bitmap(16, 16);
  EXPECT_FALSE(bitmap.SetSize(100000, 100000));
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.PixelWidth(), 0);
  EXPECT_EQ(bitmap.PixelHeight(), 0);
  EXPECT_FALSE(bitmap.SetSize(0x7FFFFFFF, 1));
  EXPECT_EQ(bitmap.PixelWidth(), 0);
  EXPECT_FALSE(bitmap.SetSize(-4, 7));
  EXPECT_EQ(bitmap.PixelHeight(), 0);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_TRUE(bitmap.SetSize(7, 7));
  EXPECT_EQ(bitmap.RowStride(), 8);
  FillAndCheck(bitmap);
}

}  // namespace
}  // namespace tarvel
