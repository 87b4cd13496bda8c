#pragma once
// The engine's spectral product, x = x * h bin by bin, with the kernel
// spectrum h stored for it: bins in pairs, each pair (k, k + 1) as eight
// doubles hr_k hr_k hr_k+1 hr_k+1 -hi_k hi_k -hi_k+1 hi_k+1, so that a complex
// x times h is x * (hr, hr) + swap(x) * (-hi, hi), whether one bin or two
// are in a register. Internal to the engine.

#include <cstdint>

namespace tarvel {

// The first 2 * pairs bins, with 256-bit vectors; answer the pairs done.
// Call them only on processors with AVX2 and FMA.
std::int32_t MultiplyAvx2(double* x, const double* form, std::int32_t pairs);
// sum = sum + x * h.
std::int32_t MultiplyAddAvx2(double* sum, const double* x, const double* form, std::int32_t pairs);

}  // namespace tarvel
