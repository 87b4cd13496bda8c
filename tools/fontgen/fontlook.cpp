// Draws the embedded bitmap font the way the editor does, to look at it:
//   fontlook <output.png> [scale]
// Every glyph (16 a line) in dark ink on white and in white on a coloured
// gradient, then sample lines, all with DrawTextLabel from the strips in the
// module's resources. `scale` enlarges the picture (nearest neighbour).

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "PngFile.h"
#include "gui/ImageResources.h"
#include "plugin/ModuleHandle.h"
#include "raster/LICE_IBitmap.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"

namespace tarvel {
namespace {

constexpr int kWidth = 400;
constexpr int kLineHeight = 14;

const char* const kSamples[] = {
    "Instance #0",
    "Q bin: -12345",
    "The quick brown fox jumps over the lazy dog.",
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG!",
    "0123456789 +-*/ = (a) [b] {c} <d> 100% $5 #7 @x",
    "\xC0 b\xEAte na\xEFve r\xE9sum\xE9 \xC7" "a \xDFtra\xDF" "e \xD8re \xC6gir \x80 \x89 \x99 \x97",
};

std::unique_ptr<LICE_IBitmap> LoadStrip(int id) {
  return std::unique_ptr<LICE_IBitmap>(LoadPngResource(ModuleHandle(), id));
}

void DrawLine(const BitmapFont& font, const std::string& text, int x, int y, std::uint32_t colour,
              std::vector<std::uint32_t>& pixels, int height) {
  auto label = CreateTextLabel(&font, x, y, kAlignLeft);
  std::snprintf(label->text.data(), label->text.size(), "%s", text.c_str());
  DrawTextLabel(*label, pixels.data(), colour, kWidth, height);
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
  using namespace tarvel;
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: fontlook <output.png> [scale]\n");
    return 2;
  }
  const int scale = argc == 3 ? std::atoi(argv[2]) : 1;
  if (scale < 1 || scale > 16) {
    std::fprintf(stderr, "fontlook: scale must be 1 to 16\n");
    return 2;
  }
  const auto glyphs = LoadStrip(100);
  const auto limits = LoadStrip(101);
  if (!glyphs || !limits) {
    std::fprintf(stderr, "fontlook: the font strips are not in the resources\n");
    return 1;
  }
  const auto font = BuildBitmapFont({glyphs->PixelWidth(), glyphs->PixelHeight(), glyphs->Pixels()},
                                    {limits->PixelWidth(), limits->PixelHeight(), limits->Pixels()}, -5);
  if (!font) {
    std::fprintf(stderr, "fontlook: the strips do not make a font\n");
    return 1;
  }

  const int samples = static_cast<int>(std::size(kSamples));
  const int height = kLineHeight * (2 * 14 + 2 * samples + 2);
  std::vector<std::uint32_t> pixels(std::size_t(kWidth) * height, 0xFFFFFFFFu);
  // The lower half: a gradient like the editor's picture, for white text.
  const int darkTop = kLineHeight * (14 + samples + 1);
  for (int y = darkTop; y < height; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      pixels[std::size_t(y) * kWidth + x] =
          0xFF000000u | std::uint32_t((x + y) / 2 % 256) << 16 | std::uint32_t(y % 256) << 8 | std::uint32_t(x % 256);
    }
  }

  for (int half = 0; half < 2; ++half) {
    const int top = half == 0 ? 4 : darkTop + 4;
    const std::uint32_t colour = half == 0 ? 0xFF000000u : 0xFFFFFFFFu;
    for (int line = 0; line < 14; ++line) {
      std::string text;
      for (int i = 0; i < 16; ++i) {
        text += static_cast<char>(32 + line * 16 + i);
        text += ' ';
      }
      DrawLine(*font, text, 6, top + line * kLineHeight, colour, pixels, height);
    }
    for (int s = 0; s < samples; ++s) {
      DrawLine(*font, kSamples[s], 6, top + (14 + s) * kLineHeight + kLineHeight / 2, colour, pixels, height);
    }
  }

  std::vector<std::uint8_t> rgb(std::size_t(kWidth) * scale * height * scale * 3);
  for (int y = 0; y < height * scale; ++y) {
    for (int x = 0; x < kWidth * scale; ++x) {
      const std::uint32_t p = pixels[std::size_t(y / scale) * kWidth + x / scale];
      std::uint8_t* out = &rgb[(std::size_t(y) * kWidth * scale + x) * 3];
      out[0] = std::uint8_t(p >> 16);
      out[1] = std::uint8_t(p >> 8);
      out[2] = std::uint8_t(p);
    }
  }
  return WriteRgbPng(argv[1], kWidth * scale, height * scale, rgb) ? 0 : 1;
}
