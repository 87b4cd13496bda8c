#pragma once
// The editor's picture as written down, to check what Tarvel draws: blue,
// green and red of pixel (k, j) for frame f, the row's summary value and the
// column's (alpha 0).

#include <cstdint>

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

}  // namespace tarvel::test
