#include <gtest/gtest.h>

#include "raster/LICE_DrawContext_posix.h"
#include "raster/LICE_SysBitmap.h"

namespace tarvel {
namespace {

// The context is what a Linux editor presents from: it must describe the
// section that holds the pixels at every moment.
TEST(SysBitmapPosix, ContextFollowsTheSection) {
  LICE_SysBitmap bitmap(10, 6);
  const LICE_DrawContext* context = bitmap.DrawContext();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->pixels, bitmap.Pixels());
  EXPECT_EQ(context->width, 12);
  EXPECT_EQ(context->height, 6);
  EXPECT_EQ(bitmap.Pixels()[12 * 6 - 1], 0u);  // fresh sections are zero-filled

  bitmap.SetSize(4, 4);  // reused
  EXPECT_EQ(context->pixels, bitmap.Pixels());
  EXPECT_EQ(context->width, 12);

  bitmap.SetSize(20, 9);
  EXPECT_EQ(context->pixels, bitmap.Pixels());
  EXPECT_EQ(context->width, 20);
  EXPECT_EQ(context->height, 9);

  bitmap.SetSize(0, 9);
  EXPECT_EQ(context->pixels, nullptr);
  EXPECT_EQ(context->width, 0);
}

}  // namespace
}  // namespace tarvel
