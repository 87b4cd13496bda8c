#pragma once
// The mixed-radix real transform underneath RealFft.h (FFTPACK's real
// forward and backward transforms): factorisation, twiddles and the drivers
// that run the radix passes. Internal to the dsp library and its tests.
//
// Data handed to and returned by the drivers is in FFTPACK's raw order:
// [0] = Re X_0, [2k-1] = Re X_k, [2k] = Im X_k, and [n-1] = Re X_(n/2) for
// even n. Nothing is scaled here.

#include <cstdint>

#include "dsp/RealFft.h"

namespace tarvel {

// Length of the factor list: [0] = n, [1] = number of factors, then the
// factors in the order the passes use them (trial order 4, 2, 3, 5, 7, 9, ...,
// with a 2 moved to the front).
inline constexpr int kFftFactorSlots = 64;

// Fills factors and the n - 1 twiddles of length n >= 1. For n = 1 the list
// holds 1 and no factors, and the table stays empty.
void FftInit(std::int32_t n, double* twiddles, std::int32_t* factors);

// Run all passes over data (n values), using scratch (n values) as the
// other array; the result always ends in data. twiddles and factors come
// from FftInit for the same n.
void FftForwardPasses(std::int32_t n, double* data, double* scratch, const double* twiddles,
                      const std::int32_t* factors);
void FftInversePasses(std::int32_t n, double* data, double* scratch, const double* twiddles,
                      const std::int32_t* factors);

}  // namespace tarvel
