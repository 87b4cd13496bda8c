#include "text/BitmapFont.h"

#include <cstddef>

namespace tarvel {
namespace {

// A column counts once the darkness met so far in the scan reaches this.
constexpr std::int64_t kInkThreshold = 8;
// Width given to a glyph whose limits could not be found.
constexpr std::int16_t kFallbackWidth = 16;

std::vector<std::uint8_t> GrayOf(const std::uint32_t* pixels, std::size_t count) {
  std::vector<std::uint8_t> gray(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    gray[i] = static_cast<std::uint8_t>(((p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF)) / 3);
  }
  return gray;
}

// Glyph columns are stored in 16 bits, so the strip may be at most that wide.
bool Usable(const ImageView& view) {
  return view.pixels != nullptr && view.width > 0 && view.width <= INT16_MAX && view.height > 0;
}

}  // namespace

std::unique_ptr<BitmapFont> BuildBitmapFont(ImageView glyphs, ImageView limits, std::int32_t spacing) {
  if (!Usable(glyphs) || !Usable(limits) || glyphs.width != limits.width || glyphs.height != limits.height) {
    return nullptr;
  }
  auto font = std::make_unique<BitmapFont>();
  font->cellWidth = glyphs.width;
  font->cellHeight = glyphs.height / kFontGlyphCount;
  font->spacing = spacing;
  const std::size_t count = static_cast<std::size_t>(glyphs.width) * static_cast<std::size_t>(glyphs.height);
  font->glyphGray = GrayOf(glyphs.pixels, count);
  font->limitsGray = GrayOf(limits.pixels, count);

  const std::size_t cellWidth = static_cast<std::size_t>(font->cellWidth);
  const std::size_t cellHeight = static_cast<std::size_t>(font->cellHeight);
  for (std::size_t g = 0; g < kFontGlyphCount; ++g) {
    const std::uint8_t* cell = font->limitsGray.data() + g * cellHeight * cellWidth;
    const auto ink = [&](std::size_t column) {
      std::int64_t sum = 0;
      for (std::size_t r = 0; r < cellHeight; ++r) sum += 255 - cell[r * cellWidth + column];
      return sum;
    };
    // The sums run on from column to column: a column counts once all the
    // darkness met so far reaches the threshold.
    std::int64_t seen = 0;
    for (std::size_t c = 0; c < cellWidth; ++c) {
      seen += ink(c);
      if (seen >= kInkThreshold) {
        font->glyphLeft[g] = static_cast<std::int16_t>(c);
        break;
      }
    }
    seen = 0;
    for (std::size_t c = cellWidth; c-- > 0;) {
      seen += ink(c);
      if (seen >= kInkThreshold) {
        font->glyphWidth[g] = static_cast<std::int16_t>(static_cast<std::int64_t>(c) - font->glyphLeft[g]);
        break;
      }
    }
    if (font->glyphWidth[g] == 0) font->glyphWidth[g] = kFallbackWidth;
  }
  return font;
}

}  // namespace tarvel
