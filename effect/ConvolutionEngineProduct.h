#pragma once
// The engine's spectral product, x = x * h bin by bin, x and the kernel
// spectrum h both complex (hr, hi) per bin: x * h = x * (hr, hr) +/- swap(x) *
// (hi, hi), subtracted in the real part and added in the imaginary part.
// Internal to the engine.

#include <cstdint>

namespace tarvel {

// The first 2 * pairs bins, with 256-bit vectors; answer the pairs done.
// Call them only on processors with AVX2 and FMA.
std::int32_t MultiplyAvx2(double* x, const double* form, std::int32_t pairs);
// sum = sum + x * h.
std::int32_t MultiplyAddAvx2(double* sum, const double* x, const double* form, std::int32_t pairs);

}  // namespace tarvel
