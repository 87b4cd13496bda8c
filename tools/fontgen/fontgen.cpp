// Renders the bitmap font's two strips with FreeType:
//   fontgen <output folder> [font file]
// writes <output folder>/font12.png (the glyphs) and font12_limits.png (the
// glyphs with a black line at each cell's column 3 and at the glyph's right
// limit). 224 cells of 24 x 12 pixels for the codes 32 to 255 (Windows-1252),
// dark anti-aliased ink on white. The advance of every glyph is fixed by the
// table below (the right limit is column 3 + width); glyphs are placed in the
// advance they are given, their ink kept within columns 5 to 17.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "PngFile.h"

namespace tarvel {
namespace {

constexpr int kCellWidth = 24;
constexpr int kCellHeight = 12;
constexpr int kGlyphs = 224;
constexpr int kFirstCode = 32;
constexpr int kLeftLimit = 3;     // column of the left limit line
constexpr int kInkLeft = 5;       // first column ink may use
constexpr int kInkRight = 17;     // last column ink may use
constexpr int kBaselineRow = 10;  // first row below the baseline
constexpr int kPixelsPerEm = 10;
// Coverage is raised to this power: a little heavier ink reads better at this
// size over a busy picture.
constexpr double kInkGamma = 0.8;

// Widths (right limit - left limit) by code, 16 codes a line from 32.
constexpr std::array<int, kGlyphs> kWidths = {
    8,  8,  8,  13, 11, 13, 12, 7,  8,  8,  9,  13, 8,  9,  8,  9,   // 32
    11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 8,  8,  13, 13, 13, 11,  // 48
    15, 12, 11, 12, 12, 10, 10, 13, 13, 8,  9,  11, 10, 14, 13, 14,  // 64
    10, 14, 11, 11, 10, 13, 11, 14, 11, 11, 11, 8,  9,  8,  15, 10,  // 80
    10, 11, 11, 10, 11, 11, 8,  11, 11, 8,  8,  10, 8,  14, 11, 11,  // 96
    11, 11, 9,  9,  8,  11, 10, 13, 10, 10, 10, 10, 10, 10, 13, 11,  // 112
    11, 11, 8,  11, 10, 15, 10, 10, 10, 17, 11, 8,  16, 11, 11, 11,  // 128
    11, 8,  8,  10, 10, 11, 10, 15, 10, 13, 9,  8,  15, 11, 10, 11,  // 144
    8,  8,  11, 11, 11, 11, 10, 10, 10, 13, 9,  10, 13, 5,  13, 10,  // 160
    8,  13, 9,  9,  10, 11, 10, 8,  10, 9,  9,  10, 14, 14, 14, 11,  // 176
    12, 12, 12, 12, 12, 12, 14, 12, 10, 10, 10, 10, 8,  8,  8,  8,   // 192
    13, 13, 14, 14, 14, 14, 14, 13, 14, 13, 13, 13, 13, 11, 10, 11,  // 208
    11, 11, 11, 11, 11, 11, 14, 10, 11, 11, 11, 11, 8,  8,  8,  8,   // 224
    11, 11, 11, 11, 11, 11, 11, 13, 11, 11, 11, 11, 11, 10, 11, 10,  // 240
};

// Windows-1252 codes 128 to 159; 0 where the code page has no character.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Codes drawn as an empty box: DEL, the euro sign, and the codes the code page
// leaves undefined.
bool IsBoxCode(int code) {
  return code == 127 || code == 128 || code == 129 || code == 141 || code == 143 || code == 144 || code == 157;
}

// Codes that show nothing: the spaces and the soft hyphen, which has no advance
// and would only smear over its neighbour.
bool IsBlankCode(int code) { return code == 32 || code == 160 || code == 173; }

char32_t Unicode(int code) { return code >= 128 && code < 160 ? kWindows1252High[code - 128] : char32_t(code); }

using Cell = std::array<std::uint8_t, kCellWidth * kCellHeight>;  // coverage, 0 = none

struct Bounds {
  int left = kCellWidth, right = -1, top = kCellHeight, bottom = -1;
  bool Empty() const { return right < left; }
};

// A rendered glyph: coverage rows with the ink's extent, placed relative to the
// pen position on the baseline.
struct Rendered {
  const FT_Bitmap* bitmap = nullptr;
  int left = 0;        // column of the bitmap's first column, from the pen
  int top = 0;         // rows of the bitmap above the baseline
  long advance = 0;    // natural advance in 1/64 pixel
  Bounds ink;          // within the bitmap
};

class GlyphRenderer {
public:
  explicit GlyphRenderer(const char* fontPath) {
    ok = FT_Init_FreeType(&library) == 0 && FT_New_Face(library, fontPath, 0, &face) == 0 &&
         FT_Set_Pixel_Sizes(face, 0, kPixelsPerEm) == 0;
  }
  GlyphRenderer(const GlyphRenderer&) = delete;
  GlyphRenderer& operator=(const GlyphRenderer&) = delete;
  ~GlyphRenderer() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }

  bool Ok() const { return ok; }
  bool HasGlyph(char32_t ch) const { return FT_Get_Char_Index(face, ch) != 0; }

  // Renders the character squeezed horizontally by `squeeze` (1 = natural). The
  // result stays valid until the next call.
  bool Render(char32_t ch, double squeeze, Rendered& out) {
    FT_Matrix matrix{static_cast<FT_Fixed>(std::lround(squeeze * 0x10000)), 0, 0, 0x10000};
    FT_Set_Transform(face, &matrix, nullptr);
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return false;
    const FT_GlyphSlot slot = face->glyph;
    out.bitmap = &slot->bitmap;
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.advance = slot->advance.x;
    out.ink = Bounds{};
    for (int r = 0; r < int(slot->bitmap.rows); ++r) {
      for (int c = 0; c < int(slot->bitmap.width); ++c) {
        if (slot->bitmap.buffer[r * slot->bitmap.pitch + c] == 0) continue;
        out.ink.left = std::min(out.ink.left, c);
        out.ink.right = std::max(out.ink.right, c);
        out.ink.top = std::min(out.ink.top, r);
        out.ink.bottom = std::max(out.ink.bottom, r);
      }
    }
    return true;
  }

private:
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool ok = false;
};

// Copies the glyph's coverage into the cell with the bitmap's top left corner at
// (x, y); returns false when ink falls outside the cell.
bool Blit(const Rendered& glyph, int x, int y, Cell& cell) {
  bool whole = true;
  for (int r = 0; r < int(glyph.bitmap->rows); ++r) {
    for (int c = 0; c < int(glyph.bitmap->width); ++c) {
      const std::uint8_t coverage = glyph.bitmap->buffer[r * glyph.bitmap->pitch + c];
      if (coverage == 0) continue;
      if (x + c < 0 || x + c >= kCellWidth || y + r < 0 || y + r >= kCellHeight) {
        whole = false;
        continue;
      }
      cell[(y + r) * kCellWidth + x + c] = coverage;
    }
  }
  return whole;
}

// Places the character in its advance: centred as the font would space it,
// then moved or squeezed until its ink lies within columns kInkLeft to
// lastColumn, and moved up or down when it reaches beyond the cell's rows.
// Fails when no placement fits.
bool PlaceGlyph(GlyphRenderer& renderer, char32_t ch, int width, Cell& cell) {
  const int advance = width + /*spacing*/ -5;
  const int lastColumn = std::min(kInkRight, kInkLeft + advance);
  for (double squeeze = 1.0; squeeze > 0.45; squeeze -= 0.05) {
    Rendered glyph;
    if (!renderer.Render(ch, squeeze, glyph)) return false;
    if (glyph.ink.Empty()) return true;
    const long pen = kInkLeft + std::lround((advance * 64.0 - glyph.advance) / 128.0);
    int x = int(pen) + glyph.left;
    if (x + glyph.ink.left < kInkLeft) x = kInkLeft - glyph.ink.left;
    if (x + glyph.ink.right > lastColumn) x = lastColumn - glyph.ink.right;
    if (x + glyph.ink.left < kInkLeft) continue;  // too wide: squeeze more
    int y = kBaselineRow - glyph.top;
    if (y + glyph.ink.bottom >= kCellHeight) y = kCellHeight - 1 - glyph.ink.bottom;
    if (y + glyph.ink.top < 0) y = -glyph.ink.top;
    if (!Blit(glyph, x, y, cell)) std::fprintf(stderr, "fontgen: U+%04X is cut at the cell's edge\n", unsigned(ch));
    if (squeeze < 1.0) std::fprintf(stderr, "fontgen: U+%04X squeezed to %.2f\n", unsigned(ch), squeeze);
    return true;
  }
  return false;
}

void DrawBox(int width, Cell& cell) {
  const int right = kInkLeft + width - 5 - 2;  // one column short of the advance
  constexpr int top = 3, bottom = kBaselineRow - 1;
  constexpr std::uint8_t ink = 200;
  for (int c = kInkLeft; c <= right; ++c) cell[top * kCellWidth + c] = cell[bottom * kCellWidth + c] = ink;
  for (int r = top; r <= bottom; ++r) cell[r * kCellWidth + kInkLeft] = cell[r * kCellWidth + right] = ink;
}

std::uint8_t GrayOfCoverage(std::uint8_t coverage) {
  if (coverage == 0) return 255;
  const double heavier = 255.0 * std::pow(coverage / 255.0, kInkGamma);
  return static_cast<std::uint8_t>(255 - std::lround(heavier));
}

// The extent rule of the font builder: columns count once the darkness met so
// far, from the edge inward, reaches 8.
bool CheckLimits(const std::vector<std::uint8_t>& gray, int glyph, int width) {
  const auto ink = [&](int c) {
    long sum = 0;
    for (int r = 0; r < kCellHeight; ++r) sum += 255 - gray[(glyph * kCellHeight + r) * kCellWidth + c];
    return sum;
  };
  int left = -1, right = -1;
  long seen = 0;
  for (int c = 0; c < kCellWidth && left < 0; ++c) {
    if ((seen += ink(c)) >= 8) left = c;
  }
  seen = 0;
  for (int c = kCellWidth - 1; c >= 0 && right < 0; --c) {
    if ((seen += ink(c)) >= 8) right = c;
  }
  return left == kLeftLimit && right - left == width;
}

void PutGray(std::vector<std::uint8_t>& rgb, int x, int y, std::uint8_t gray) {
  const std::size_t at = (std::size_t(y) * kCellWidth + x) * 3;
  rgb[at] = rgb[at + 1] = rgb[at + 2] = gray;
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
  using namespace tarvel;
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: fontgen <output folder> [font file]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const char* fontPath = argc == 3 ? argv[2] : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  GlyphRenderer renderer(fontPath);
  if (!renderer.Ok()) {
    std::fprintf(stderr, "fontgen: cannot load %s\n", fontPath);
    return 1;
  }

  const int height = kGlyphs * kCellHeight;
  std::vector<std::uint8_t> glyphs(std::size_t(kCellWidth) * height, 255);
  for (int g = 0; g < kGlyphs; ++g) {
    const int code = kFirstCode + g;
    Cell cell{};
    if (IsBoxCode(code)) {
      DrawBox(kWidths[g], cell);
    } else if (!IsBlankCode(code)) {
      if (!renderer.HasGlyph(Unicode(code)) || !PlaceGlyph(renderer, Unicode(code), kWidths[g], cell)) {
        std::fprintf(stderr, "fontgen: no fitting glyph for code %d\n", code);
        return 1;
      }
    }
    for (int i = 0; i < kCellWidth * kCellHeight; ++i) {
      glyphs[std::size_t(g) * kCellWidth * kCellHeight + i] = GrayOfCoverage(cell[i]);
    }
  }

  std::vector<std::uint8_t> limits = glyphs;
  for (int g = 0; g < kGlyphs; ++g) {
    for (int r = 0; r < kCellHeight; ++r) {
      const std::size_t row = (std::size_t(g) * kCellHeight + r) * kCellWidth;
      limits[row + kLeftLimit] = 0;
      limits[row + kLeftLimit + kWidths[g]] = 0;
    }
    if (!CheckLimits(limits, g, kWidths[g])) {
      std::fprintf(stderr, "fontgen: the limits of code %d do not read back\n", kFirstCode + g);
      return 1;
    }
  }

  std::vector<std::uint8_t> glyphRgb(glyphs.size() * 3), limitsRgb(limits.size() * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < kCellWidth; ++x) {
      PutGray(glyphRgb, x, y, glyphs[std::size_t(y) * kCellWidth + x]);
      PutGray(limitsRgb, x, y, limits[std::size_t(y) * kCellWidth + x]);
    }
  }
  if (!WriteRgbPng(folder + "/font12.png", kCellWidth, height, glyphRgb) ||
      !WriteRgbPng(folder + "/font12_limits.png", kCellWidth, height, limitsRgb)) {
    return 1;
  }
  return 0;
}
