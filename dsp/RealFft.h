#pragma once
// Real discrete Fourier transform of any length n >= 1, double precision.
//
// Spectra are in half-complex order: [0] = DC, [k] = Re X_k and [n-k] = Im X_k
// for 1 <= k <= (n-1)/2, and [n/2] = Nyquist for even n. Both directions scale
// by 1/sqrt(n), so a forward and an inverse call give back the input.
//
// input and output may be the same array. A forward call with distinct
// arrays uses input as working space (it holds the unscaled raw spectrum
// afterwards); an inverse call only reads it. Calls with n < 1, a direction
// other than kFftForward/kFftInverse or a null array do nothing.
// All these functions are re-entrant; one FftCache serves one call at a time.

#include <cstdint>

namespace tarvel {

enum : std::uint8_t { kFftForward = 0, kFftInverse = 1 };

// Work array and factors of one transform length. The caller owns the two
// arrays (2n + 15 doubles each, zero-filled) and sets ready = 0 whenever it allocates them for a new
// length; the first transform fills stored/factors. stored keeps the twiddles
// from then on and working is the passes' scratch. A ready cache used with
// another length makes the call do nothing.
struct FftCache {
  double* stored = nullptr;
  double* working = nullptr;
  std::int32_t factors[64] = {};
  std::int32_t ready = 0;
};

// Builds its work array on every call (the kernel design). If that array
// cannot be allocated it reports so on stderr and leaves output untouched.
void RealFft(double* input, double* output, std::int32_t n, std::uint8_t direction);

// With the caller's work array: never allocates, in place or not.
void RealFftCached(double* input, double* output, std::int32_t n, std::uint8_t direction,
                   FftCache& cache);

}  // namespace tarvel
