#pragma once
// A positioned line of text drawn with a BitmapFont straight into 32-bit pixels,
// blending one colour by each glyph pixel's coverage. A label is written and
// drawn only by its owner's GUI thread.

#include <array>
#include <cstdint>
#include <memory>

#include "text/BitmapFont.h"

namespace tarvel {

inline constexpr std::int32_t kAlignLeft = 2;     // the text starts at x
inline constexpr std::int32_t kAlignRight = 0x10; // the text ends at x (wins over kAlignLeft)
// Neither flag: the text is centred on x.

struct TextLabel {
  const BitmapFont* font = nullptr;  // not owned
  std::int32_t x = 0;                // anchor, by `flags`
  std::int32_t y = 0;                // top row of the text's cells
  // Zero-terminated; the owner writes it directly (e.g. with snprintf). Drawing
  // reads at most the whole buffer, terminated or not.
  std::array<char, 512> text{};
  std::int32_t flags = 0;
};

// A label with an empty text. The font must outlive it.
std::unique_ptr<TextLabel> CreateTextLabel(const BitmapFont* font, std::int32_t x, std::int32_t y,
                                           std::int32_t flags);
void FreeTextLabel(std::unique_ptr<TextLabel> label);

// Width of `text` in pixels as DrawTextLabel places it: 3 plus the advances,
// less the spacing once and the cell's left margin.
std::int32_t MeasureText(const char* text, const BitmapFont& font);

// Draws the label's text into `pixels`, `width` by `height` pixels with rows
// `width` pixels apart; glyph cells are clipped to that area, so nothing outside
// it is touched. Each covered pixel's blue, green and red move toward `colour`
// by the coverage; alpha stays. Returns the number of bytes of text processed.
// Never allocates.
std::int32_t DrawTextLabel(const TextLabel& label, std::uint32_t* pixels, std::uint32_t colour,
                           std::int32_t width, std::int32_t height);

}  // namespace tarvel
