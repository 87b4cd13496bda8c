#pragma once
// The editor's picture as written down, to check what Tarvel draws: blue,
// green and red of pixel (k, j) for frame f, the row's summary value and the
// column's (alpha 0).

#include <cstdint>
#include <vector>

namespace tarvel::test {

// Sums wrap modulo 2^32 like the 32-bit sums they stand for.
inline std::uint32_t PicturePixel(int k, int j, int f, std::int32_t rowValue, std::int32_t colValue) {
  const auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
  const std::uint32_t rv = u(rowValue);
  return ((u(k) + rv + u(f)) & 0xFF) | ((u(j) + u(f) + rv) & 0xFF) << 8 |
         ((u((j + f + k) / 2) + rv + u(colValue)) & 0xFF) << 16;
}

// The frame, modulo 512 (all the picture can tell), whose pixel (0, 0) is
// pixel when every summary value is v; -1 when none is.
inline int FrameOfCorner(std::uint32_t pixel, std::int32_t v) {
  for (int f = 0; f < 512; ++f)
    if (PicturePixel(0, 0, f, v, v) == (pixel & 0xFFFFFF)) return f;
  return -1;
}

// The frame (modulo 512) whose picture for summary values all v the first
// `rows` rows of an editor's pixels (`width` wide, the text line below them)
// show, or -1 where a pixel is not the picture's.
inline int FrameShownAbove(const std::vector<std::uint32_t>& pixels, int rows, std::int32_t v = 0,
                           int width = 768) {
  if (pixels.size() < static_cast<std::size_t>(rows) * static_cast<std::size_t>(width)) return -1;
  const int f = FrameOfCorner(pixels[0], v);
  for (int j = 0; f >= 0 && j < rows; ++j)
    for (int k = 0; k < width; ++k)
      if (pixels[static_cast<std::size_t>(j) * width + k] != PicturePixel(k, j, f, v, v)) return -1;
  return f;
}

}  // namespace tarvel::test
