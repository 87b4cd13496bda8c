#pragma once
// The bitmap font: 224 glyphs for the byte codes 32 to 255 (Windows-1252 from
// 128 up), built from two images: the glyph strip (dark ink on white, one cell
// under the other) and the limits strip (the same with a black vertical line at
// each glyph's left and right limit). Immutable once built; may be shared by
// every instance and thread.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tarvel {

// A view of a 32-bit image (bytes blue, green, red, alpha in memory), rows of
// exactly `width` pixels one after the other.
struct ImageView {
  std::int32_t width;
  std::int32_t height;
  const std::uint32_t* pixels;
};

inline constexpr std::int32_t kFontGlyphCount = 224;
inline constexpr int kFontFirstCode = 32;

struct BitmapFont {
  std::int32_t cellWidth = 0;   // width of the glyph strip
  std::int32_t cellHeight = 0;  // strip height / glyphCount, rounded down
  std::int32_t glyphCount = kFontGlyphCount;
  std::int32_t spacing = 0;     // added to every glyph's advance
  std::vector<std::uint8_t> glyphGray;   // grey of every pixel of the glyph strip
  std::vector<std::uint8_t> limitsGray;  // grey of every pixel of the limits strip
  std::array<std::int16_t, kFontGlyphCount> glyphLeft{};   // first column of each glyph's box
  std::array<std::int16_t, kFontGlyphCount> glyphWidth{};  // advance before `spacing`
};

// Builds the font from the two strips (cells of width x height / 224 pixels).
// Null when either view has no pixels, a non-positive size or a width beyond
// 32767, or when the two sizes differ. Allocates; any thread.
std::unique_ptr<BitmapFont> BuildBitmapFont(ImageView glyphs, ImageView limits, std::int32_t spacing);

}  // namespace tarvel
