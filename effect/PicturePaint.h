#pragma once
// The inner loop of the editor's picture: one row written as the byte-wise sum
// (each byte mod 256, no carries between bytes) of a per-column word and a
// per-row word, in blue, green and red; every alpha byte keeps its value.
// Vector code for the widest set the processor offers, chosen once.

#include <cstdint>

namespace tarvel {

// count is a multiple of 16; row and column need no alignment.
using PaintRowFunction = void (*)(std::uint32_t* row, const std::uint32_t* column, std::uint32_t rowTerm, int count);

// The fastest variant for this processor (SSE2, AVX2 or AVX-512BW).
PaintRowFunction PaintRow();
// Each variant, for tests on processors that have it; null where it would not run.
PaintRowFunction PaintRowSse2();
PaintRowFunction PaintRowAvx2();
PaintRowFunction PaintRowAvx512();

}  // namespace tarvel
