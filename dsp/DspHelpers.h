#pragma once
// Window, fade and spectrum helpers used by the kernel design and the engine.
// Spectra are in the half-complex order of RealFft.h. Counts of 0 or less make
// the in-place operations do nothing.

#include <cstdint>

namespace tarvel {

// Blackman window over n + 1 intervals, leaving out the two zero end points.
void ApplyBlackmanWindow(double* values, std::int32_t n);

// Multiplies by 1 / x; x == 0 clears the vector.
void DivideVector(double* values, std::int32_t n, double x);

// Bin-by-bin complex product; out may be a or b.
void MultiplySpectra(const double* a, const double* b, double* out, std::int32_t n);

// Smallest length >= n without a prime factor above 17 (1 for n < 1; -1 when
// no such length fits in 32 bits).
std::int32_t NextSmoothSize(std::int32_t n);

// Raised-cosine weights from 1 to about 0 (fadeOut != 0) or from 0 to about 1
// (fadeOut == 0); the two always sum to 1. A single sample keeps weight 1
// fading out and 0 fading in.
void ApplyCosineFade(double* values, std::int32_t n, std::int32_t fadeOut);

// Returns a new zero-filled block of newCount elements (std::free it) holding
// the first min(oldCount, newCount) elements of buffer, which is freed.
// Negative counts and sizes count as 0. If the block cannot be allocated, returns null
// and leaves buffer alone.
void* GrowZeroed(void* buffer, std::int32_t oldCount, std::int32_t newCount,
                 std::int32_t elementSize);

}  // namespace tarvel
