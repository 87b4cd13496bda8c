// The bitmap font's extent rule, and text labels: measuring, anchoring,
// clipping and blending, on strips made here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/BitmapFont.h"
#include "text/TextLabel.h"

namespace tarvel {
namespace {

constexpr int kCell = 24, kRows = 12, kHeight = kFontGlyphCount * kRows;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

// A pair of strips of 24 x 12 cells, white until drawn on.
struct Strips {
  std::vector<std::uint32_t> glyphs = std::vector<std::uint32_t>(std::size_t(kCell) * kHeight, kWhite);
  std::vector<std::uint32_t> limits = std::vector<std::uint32_t>(std::size_t(kCell) * kHeight, kWhite);

  static std::uint32_t& At(std::vector<std::uint32_t>& strip, int code, int column, int row) {
    return strip[std::size_t((code - 32) * kRows + row) * kCell + column];
  }
  // Limit lines at column 3 and 3 + width, as in the real limits strip.
  void SetWidth(int code, int width) {
    for (int r = 0; r < kRows; ++r) At(limits, code, 3, r) = At(limits, code, 3 + width, r) = 0xFF000000u;
  }
  void Ink(int code, int column, int row, std::uint8_t grey = 0) {
    At(glyphs, code, column, row) = 0xFF000000u | grey * 0x010101u;
  }
  std::unique_ptr<BitmapFont> Build(int spacing = -5) {
    return BuildBitmapFont({kCell, kHeight, glyphs.data()}, {kCell, kHeight, limits.data()}, spacing);
  }
};

// Every glyph 11 wide (advance 6 with spacing -5), space 8, 'A' 12, 'W' 14.
Strips SystemLikeStrips() {
  Strips s;
  for (int code = 32; code < 256; ++code) s.SetWidth(code, code == ' ' ? 8 : code == 'A' ? 12 : code == 'W' ? 14 : 11);
  return s;
}

TEST(BitmapFont, ExtentsFollowTheRunningDarknessSum) {
  Strips s;
  s.SetWidth('A', 12);
  // Faint ink: darkness 5 in column 1 and 4 in column 2. Neither column alone
  // reaches 8, but the running sum does at column 2.
  Strips::At(s.limits, 'B', 1, 0) = 0xFFFAFAFAu;
  Strips::At(s.limits, 'B', 2, 0) = 0xFFFBFBFBu;
  Strips::At(s.limits, 'B', 20, 5) = 0xFF000000u;
  // Too faint on the right (darkness 3): the scan runs on to column 9.
  Strips::At(s.limits, 'C', 3, 0) = 0xFF000000u;
  Strips::At(s.limits, 'C', 22, 0) = 0xFFFCFCFCu;
  Strips::At(s.limits, 'C', 9, 4) = 0xFF000000u;
  // Grey is the mean of blue, green and red rounded down: (1 + 1 + 0) / 3 = 0,
  // so this pixel counts as 255 dark on its own.
  Strips::At(s.limits, 'D', 4, 2) = 0xFF000101u;
  Strips::At(s.limits, 'D', 8, 2) = 0xFF000000u;

  auto font = s.Build();
  ASSERT_TRUE(font);
  EXPECT_EQ(font->cellWidth, 24);
  EXPECT_EQ(font->cellHeight, 12);
  EXPECT_EQ(font->glyphCount, 224);
  EXPECT_EQ(font->spacing, -5);
  EXPECT_EQ(font->glyphLeft['A' - 32], 3);
  EXPECT_EQ(font->glyphWidth['A' - 32], 12);
  EXPECT_EQ(font->glyphLeft['B' - 32], 2);
  EXPECT_EQ(font->glyphWidth['B' - 32], 18);
  EXPECT_EQ(font->glyphLeft['C' - 32], 3);
  EXPECT_EQ(font->glyphWidth['C' - 32], 6);
  EXPECT_EQ(font->glyphLeft['D' - 32], 4);
  EXPECT_EQ(font->glyphWidth['D' - 32], 4);
  // A blank cell has no limits: left 0, width 16.
  EXPECT_EQ(font->glyphLeft['E' - 32], 0);
  EXPECT_EQ(font->glyphWidth['E' - 32], 16);
  EXPECT_EQ(font->glyphGray[4], 255);
}

TEST(BitmapFont, CellHeightRoundsDownAndUnusableViewsGiveNull) {
  std::vector<std::uint32_t> tall(std::size_t(kCell) * (kHeight + 200), kWhite);
  auto font = BuildBitmapFont({kCell, kHeight + 200, tall.data()}, {kCell, kHeight + 200, tall.data()}, -5);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->cellHeight, 12);

  EXPECT_FALSE(BuildBitmapFont({kCell, kHeight, nullptr}, {kCell, kHeight, tall.data()}, -5));
  EXPECT_FALSE(BuildBitmapFont({kCell, kHeight, tall.data()}, {kCell, kHeight - 1, tall.data()}, -5));
  EXPECT_FALSE(BuildBitmapFont({0, kHeight, tall.data()}, {0, kHeight, tall.data()}, -5));
  EXPECT_FALSE(BuildBitmapFont({-24, -kHeight, tall.data()}, {-24, -kHeight, tall.data()}, -5));
}

TEST(TextLabel, MeasuresAndAnchorsAsTheEditorPlacesText) {
  Strips s = SystemLikeStrips();
  s.Ink('A', 0, 0);  // marks where each cell starts
  s.Ink('W', 0, 0);
  auto font = s.Build();
  ASSERT_TRUE(font);
  EXPECT_EQ(MeasureText("", *font), 3);
  EXPECT_EQ(MeasureText("A", *font), 10);
  EXPECT_EQ(MeasureText("W", *font), 12);
  EXPECT_EQ(MeasureText("AW", *font), 10 + 9);

  // Returns the column of the first inked pixel on row 0.
  const auto firstCell = [&](std::int32_t x, std::int32_t flags, const char* text) {
    std::vector<std::uint32_t> pixels(200 * 20, 0);
    auto label = CreateTextLabel(font.get(), x, 0, flags);
    std::strcpy(label->text.data(), text);
    EXPECT_EQ(DrawTextLabel(*label, pixels.data(), kWhite, 200, 20), std::int32_t(std::strlen(text)));
    return int(std::find_if(pixels.begin(), pixels.begin() + 200, [](std::uint32_t p) { return p != 0; }) -
               pixels.begin());
  };
  EXPECT_EQ(firstCell(6, kAlignLeft, "A"), 1);
  EXPECT_EQ(firstCell(6, kAlignLeft, "W"), 1);
  EXPECT_EQ(firstCell(100, 0, "A"), 90);
  EXPECT_EQ(firstCell(101, 0, "W"), 90);  // 101 - 12 / 2 - 2 - 3
  EXPECT_EQ(firstCell(100, kAlignRight, "W"), 83);
  EXPECT_EQ(firstCell(100, kAlignRight | kAlignLeft, "W"), 83);
  // Control bytes advance like the space and draw nothing.
  EXPECT_EQ(firstCell(6, kAlignLeft, "\x01\x1F" "A"), 1 + 3 + 3);
}

TEST(TextLabel, BlendsByCoverageAndKeepsAlpha) {
  Strips s = SystemLikeStrips();
  s.Ink('A', 5, 0, 0);    // full coverage
  s.Ink('A', 6, 0, 127);  // coverage 128
  s.Ink('\xFF' & 0xFF, 5, 0, 0);
  auto font = s.Build();
  ASSERT_TRUE(font);
  auto label = CreateTextLabel(font.get(), 0, 0, kAlignLeft);
  std::strcpy(label->text.data(), "A");

  // The pen starts at 0 - 2 - 3 = -5: column 5 of the cell is pixel 0.
  std::vector<std::uint32_t> pixels = {0x12000000u, 0x34646464u, 0x56000000u};
  DrawTextLabel(*label, pixels.data(), 0xFFFFFFFFu, 3, 1);
  EXPECT_EQ(pixels[0], 0x12FEFEFEu);  // (255 * 255) >> 8 = 254
  // (128 * 200 >> 8) + (100 * 127 >> 8) = 100 + 49, per channel.
  pixels = {0x12000000u, 0x34646464u, 0x56000000u};
  DrawTextLabel(*label, pixels.data(), 0x00C8C8C8u, 3, 1);
  EXPECT_EQ(pixels[1], 0x34959595u);
  EXPECT_EQ(pixels[2], 0x56000000u);  // no coverage: untouched

  pixels = {0, 0, 0};
  label->text[0] = '\xFF';  // the last glyph of the font
  DrawTextLabel(*label, pixels.data(), 0x00102030u, 3, 1);
  EXPECT_EQ(pixels[0], 0x000F1F2Fu);
}

TEST(TextLabel, ClipsEveryCellToTheTarget) {
  Strips s = SystemLikeStrips();
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCell; ++c) s.Ink('#', c, r);  // a solid cell
  }
  auto font = s.Build();
  ASSERT_TRUE(font);

  constexpr int kW = 30, kH = 16, kGuard = 64;
  struct Case {
    std::int32_t x, y;
  };
  // The single cell's top left corner is at (x - 5, y): left of, above, past
  // the right and bottom edges, and far outside in every direction.
  for (const Case c : {Case{0, -5}, Case{20, 10}, Case{-30, 0}, Case{40, 0}, Case{5, -12}, Case{5, 16},
                       Case{-2000000000, -2000000000}, Case{2000000000, 2000000000}}) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    std::vector<std::uint32_t> memory(kGuard + kW * kH + kGuard, 0);
    auto label = CreateTextLabel(font.get(), c.x, c.y, kAlignLeft);
    std::strcpy(label->text.data(), "#");
    DrawTextLabel(*label, memory.data() + kGuard, 0x00FFFFFFu, kW, kH);
    for (int i = 0; i < kGuard; ++i) {
      ASSERT_EQ(memory[i], 0u);
      ASSERT_EQ(memory[kGuard + kW * kH + i], 0u);
    }
    const std::int64_t left = std::int64_t{c.x} - 5, top = c.y;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool inCell = x >= left && x < left + kCell && y >= top && y < top + kRows;
        ASSERT_EQ(memory[kGuard + y * kW + x] != 0, inCell) << x << "," << y;
      }
    }
  }
}

TEST(TextLabel, ReadsNoFurtherThanItsBuffer) {
  Strips s = SystemLikeStrips();
  auto font = s.Build();
  ASSERT_TRUE(font);
  auto label = CreateTextLabel(font.get(), 0, 0, kAlignLeft);
  EXPECT_EQ(label->text[0], '\0');
  label->text.fill('A');  // no terminator
  std::vector<std::uint32_t> pixels(16, 0);
  EXPECT_EQ(DrawTextLabel(*label, pixels.data(), kWhite, 4, 4), 512);
  FreeTextLabel(std::move(label));
}

}  // namespace
}  // namespace tarvel
