#include <windows.h>

#include <gtest/gtest.h>

#include "raster/LICE_SysBitmap.h"

namespace tarvel {
namespace {

HDC Hdc(LICE_SysBitmap& bitmap) {
  return reinterpret_cast<HDC>(bitmap.DrawContext());
}

// GDI drawing into the memory context must land in Pixels() top-down and in
// the blue, green, red byte order, as the window copy will read it. (GetObject
// reports the height unsigned, so the row order is checked by drawing.)
TEST(SysBitmapWin32, ContextHoldsTopDownSection) {
  LICE_SysBitmap bitmap(10, 6);
  HDC dc = Hdc(bitmap);
  ASSERT_NE(dc, nullptr);

  DIBSECTION info{};
  HGDIOBJ selected = GetCurrentObject(dc, OBJ_BITMAP);
  ASSERT_EQ(GetObject(selected, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.dsBm.bmBits, bitmap.Pixels());
  EXPECT_EQ(info.dsBm.bmWidth, 12);
  EXPECT_EQ(info.dsBm.bmBitsPixel, 32);

  SetPixel(dc, 3, 1, RGB(255, 0, 0));
  GdiFlush();
  EXPECT_EQ(bitmap.Pixels()[1 * 12 + 3] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(bitmap.Pixels()[0], 0u);
}

TEST(SysBitmapWin32, ReleasedSectionLeavesContextUsable) {
  LICE_SysBitmap bitmap(10, 6);
  HDC dc = Hdc(bitmap);
  HGDIOBJ before = GetCurrentObject(dc, OBJ_BITMAP);
  bitmap.SetSize(0, 6);
  HGDIOBJ after = GetCurrentObject(dc, OBJ_BITMAP);
  EXPECT_NE(after, before);
  DIBSECTION info{};
  EXPECT_NE(GetObject(after, sizeof info, &info), static_cast<int>(sizeof info));  // the stock bitmap
  EXPECT_TRUE(bitmap.SetSize(3, 3));
  EXPECT_NE(GetCurrentObject(dc, OBJ_BITMAP), after);
}

}  // namespace
}  // namespace tarvel
