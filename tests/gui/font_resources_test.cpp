// The module's own resources: lookup by id and type, loading by name, and the
// font built from the two strips it carries.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include "gui/ImageResources.h"
#include "gui/ModuleResources.h"
#include "plugin/ModuleHandle.h"
#include "raster/LICE_IBitmap.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"

namespace tarvel {
namespace {

using Bitmap = std::unique_ptr<LICE_IBitmap>;

TEST(ModuleResources, FoundByIdAndTypeOnly) {
  void* const module = ModuleHandle();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ModuleHandle(), module);

  const auto glyphs = FindModuleResource(module, 100, "PNG");
  ASSERT_GE(glyphs.size(), 8u);
  EXPECT_EQ(std::memcmp(glyphs.data(), "\x89PNG\r\n\x1A\n", 8), 0);
  EXPECT_EQ(FindModuleResource(module, 100, "png").data(), glyphs.data());
  EXPECT_FALSE(FindModuleResource(module, 101, "PNG").empty());

  EXPECT_TRUE(FindModuleResource(module, 100, "JPG").empty());
  EXPECT_TRUE(FindModuleResource(module, 102, "PNG").empty());
  // Ids that are not 16-bit integers (on Windows these would pass for the
  // address of a name).
  for (const int id : {0, -1, 70000, 0x7FFFFFFF}) EXPECT_TRUE(FindModuleResource(module, id, "PNG").empty()) << id;
  EXPECT_TRUE(FindModuleResource(module, 100, nullptr).empty());
}

TEST(ImageResources, DecoderChosenByTheNamesExtension) {
  void* const module = ModuleHandle();
  for (const char* name : {"img/font/font12.png", "FONT.PNG", "a.b.Png"}) {
    Bitmap bitmap(LoadImageResource(module, 100, name));
    ASSERT_TRUE(bitmap) << name;
    EXPECT_EQ(bitmap->PixelWidth(), 24);
    EXPECT_EQ(bitmap->PixelHeight(), 2688);
  }
  // A JPEG name asks for a "JPG" resource, which id 100 is not.
  for (const char* name : {"font12.jpg", "font12.JPEG", "font12.bmp", "font12", "font12.", "png", ""}) {
    EXPECT_FALSE(Bitmap(LoadImageResource(module, 100, name))) << name;
  }
  EXPECT_FALSE(Bitmap(LoadImageResource(module, 100, nullptr)));
  EXPECT_FALSE(Bitmap(LoadJpegResource(module, 100)));
  EXPECT_FALSE(Bitmap(LoadPngResource(module, 99)));
}

// glyphWidth by code, from 32.
constexpr std::array<int, kFontGlyphCount> kWidths = {
    8,  8,  8,  13, 11, 13, 12, 7,  8,  8,  9,  13, 8,  9,  8,  9,  11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 8,  8,
    13, 13, 13, 11, 15, 12, 11, 12, 12, 10, 10, 13, 13, 8,  9,  11, 10, 14, 13, 14, 10, 14, 11, 11, 10, 13, 11, 14,
    11, 11, 11, 8,  9,  8,  15, 10, 10, 11, 11, 10, 11, 11, 8,  11, 11, 8,  8,  10, 8,  14, 11, 11, 11, 11, 9,  9,
    8,  11, 10, 13, 10, 10, 10, 10, 10, 10, 13, 11, 11, 11, 8,  11, 10, 15, 10, 10, 10, 17, 11, 8,  16, 11, 11, 11,
    11, 8,  8,  10, 10, 11, 10, 15, 10, 13, 9,  8,  15, 11, 10, 11, 8,  8,  11, 11, 11, 11, 10, 10, 10, 13, 9,  10,
    13, 5,  13, 10, 8,  13, 9,  9,  10, 11, 10, 8,  10, 9,  9,  10, 14, 14, 14, 11, 12, 12, 12, 12, 12, 12, 14, 12,
    10, 10, 10, 10, 8,  8,  8,  8,  13, 13, 14, 14, 14, 14, 14, 13, 14, 13, 13, 13, 13, 11, 10, 11, 11, 11, 11, 11,
    11, 11, 14, 10, 11, 11, 11, 11, 8,  8,  8,  8,  11, 11, 11, 11, 11, 11, 11, 13, 11, 11, 11, 11, 11, 10, 11, 10,
};

TEST(FontStrips, BuildTheFontOfTheWidthTable) {
  Bitmap glyphs(LoadImageResource(ModuleHandle(), 100, "img/font/font12.png"));
  Bitmap limits(LoadImageResource(ModuleHandle(), 101, "img/font/font12_limits.png"));
  ASSERT_TRUE(glyphs && limits);
  ASSERT_EQ(glyphs->RowStride(), 24);
  ASSERT_EQ(limits->RowStride(), 24);
  auto font = BuildBitmapFont({glyphs->PixelWidth(), glyphs->PixelHeight(), glyphs->Pixels()},
                              {limits->PixelWidth(), limits->PixelHeight(), limits->Pixels()}, -5);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->cellWidth, 24);
  EXPECT_EQ(font->cellHeight, 12);
  for (int g = 0; g < kFontGlyphCount; ++g) {
    EXPECT_EQ(font->glyphLeft[g], 3) << "code " << g + 32;
    EXPECT_EQ(font->glyphWidth[g], kWidths[g]) << "code " << g + 32;
  }
  EXPECT_EQ(MeasureText("", *font), 3);
  EXPECT_EQ(MeasureText("A", *font), 10);
  EXPECT_EQ(MeasureText("W", *font), 12);
}

TEST(FontStrips, GreyInkWithinItsColumnsOnOpaqueWhite) {
  Bitmap glyphs(LoadImageResource(ModuleHandle(), 100, "img/font/font12.png"));
  ASSERT_TRUE(glyphs);
  int inkedCells = 0;
  for (int g = 0; g < kFontGlyphCount; ++g) {
    bool inked = false;
    for (int r = 0; r < 12; ++r) {
      for (int c = 0; c < 24; ++c) {
        const std::uint32_t p = glyphs->Pixels()[(g * 12 + r) * 24 + c];
        ASSERT_EQ(p >> 24, 0xFFu);
        ASSERT_TRUE((p & 0xFF) == (p >> 8 & 0xFF) && (p & 0xFF) == (p >> 16 & 0xFF)) << "code " << g + 32;
        if ((p & 0xFF) == 0xFF) continue;
        EXPECT_TRUE(c >= 5 && c <= 17) << "code " << g + 32 << " column " << c;
        inked = true;
      }
    }
    inkedCells += inked;
  }
  EXPECT_EQ(inkedCells, kFontGlyphCount - 3);  // all but the two spaces and the soft hyphen
}

}  // namespace
}  // namespace tarvel
