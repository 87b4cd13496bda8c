#include "text/TextLabel.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace tarvel {
namespace {

bool InFont(unsigned char ch, const BitmapFont& font) {
  return ch >= kFontFirstCode && ch - kFontFirstCode < font.glyphCount;
}

// Bytes outside the font advance like the space.
std::int64_t Advance(unsigned char ch, const BitmapFont& font) {
  const int glyph = InFont(ch, font) ? ch - kFontFirstCode : 0;
  return std::int64_t{font.glyphWidth[glyph]} + font.spacing;
}

// Where the first cell starts relative to the anchor: half the (negative)
// spacing, rounded toward zero, less the left margin of the cell.
std::int64_t PenOffset(const BitmapFont& font) { return font.spacing / 2 - std::int64_t{font.glyphLeft[0]}; }

std::int64_t Measure(std::string_view text, const BitmapFont& font) {
  std::int64_t width = PenOffset(font);
  for (const char ch : text) width += Advance(static_cast<unsigned char>(ch), font);
  return width - font.spacing + 3;
}

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t Blend(std::uint32_t old, std::uint32_t colour, std::uint32_t coverage) {
  std::uint32_t result = old & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t v = colour >> shift & 0xFF;
    const std::uint32_t o = old >> shift & 0xFF;
    result |= (((coverage * v) >> 8) + ((o * (255 - coverage)) >> 8)) << shift;
  }
  return result;
}

// Draws the glyph cell of `ch` with its top left corner at (left, top), clipped
// to the target.
void DrawGlyph(const BitmapFont& font, unsigned char ch, std::int64_t left, std::int64_t top,
               std::uint32_t* pixels, std::uint32_t colour, std::int64_t width, std::int64_t height) {
  const std::int64_t c0 = std::max<std::int64_t>(0, -left);
  const std::int64_t c1 = left + font.cellWidth < width ? font.cellWidth : width - left;
  const std::int64_t r0 = std::max<std::int64_t>(0, -top);
  const std::int64_t r1 = top + font.cellHeight < height ? font.cellHeight : height - top;
  if (c1 <= c0 || r1 <= r0) return;

  const std::uint8_t* cell =
      font.glyphGray.data() + static_cast<std::size_t>(ch - kFontFirstCode) * font.cellHeight * font.cellWidth;
  for (std::int64_t r = r0; r < r1; ++r) {
    const std::uint8_t* gray = cell + r * font.cellWidth;
    std::uint32_t* row = pixels + (top + r) * width + left;
    for (std::int64_t c = c0; c < c1; ++c) {
      const std::uint32_t coverage = 255u - gray[c];
      if (coverage != 0) row[c] = Blend(row[c], colour, coverage);
    }
  }
}

}  // namespace

std::unique_ptr<TextLabel> CreateTextLabel(const BitmapFont* font, std::int32_t x, std::int32_t y,
                                           std::int32_t flags) {
  auto label = std::make_unique<TextLabel>();
  label->font = font;
  label->x = x;
  label->y = y;
  label->flags = flags;
  return label;
}

void FreeTextLabel(std::unique_ptr<TextLabel> label) { label.reset(); }

std::int32_t MeasureText(const char* text, const BitmapFont& font) {
  return ClampToInt32(Measure(text != nullptr ? std::string_view(text) : std::string_view(), font));
}

std::int32_t DrawTextLabel(const TextLabel& label, std::uint32_t* pixels, std::uint32_t colour,
                           std::int32_t width, std::int32_t height) {
  if (label.font == nullptr) return 0;
  const BitmapFont& font = *label.font;
  const auto end = std::find(label.text.begin(), label.text.end(), '\0');
  const std::string_view text(label.text.data(), static_cast<std::size_t>(end - label.text.begin()));

  std::int64_t x = label.x;
  if ((label.flags & kAlignRight) != 0) {
    x -= ClampToInt32(Measure(text, font));
  } else if ((label.flags & kAlignLeft) == 0) {
    x -= ClampToInt32(Measure(text, font)) / 2;
  }
  std::int64_t pen = x + PenOffset(font);
  for (const char byte : text) {
    const auto ch = static_cast<unsigned char>(byte);
    if (pixels != nullptr && InFont(ch, font)) DrawGlyph(font, ch, pen, label.y, pixels, colour, width, height);
    pen += Advance(ch, font);
  }
  return static_cast<std::int32_t>(text.size());
}

}  // namespace tarvel
