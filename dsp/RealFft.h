#pragma once
// Real discrete Fourier transform of any length n >= 1, double precision.
//
// Spectra are in half-complex order: [0] = DC, [k] = Re X_k and [n-k] = Im X_k
// for 1 <= k <= (n-1)/2, and [n/2] = Nyquist for even n. Both directions scale
// by 1/sqrt(n), so a forward and an inverse call give back the input.

#include <cstdint>

namespace tarvel {

enum : std::uint8_t { kFftForward = 0, kFftInverse = 1 };

// Work array and factors of one transform length. The caller owns the two
// arrays (2n + 15 doubles each, zero-filled) and sets ready = 0 whenever it
// allocates them for a new length; the first transform fills stored/factors.
struct FftCache {
  double* stored = nullptr;
  double* working = nullptr;
  std::int32_t factors[64] = {};
  std::int32_t ready = 0;
};

// Builds its work array on every call (kernel design only).
void RealFft(double* input, double* output, std::int32_t n, std::uint8_t direction);

// The audio-path transform: never allocates unless input == output.
void RealFftCached(double* input, double* output, std::int32_t n, std::uint8_t direction,
                   FftCache& cache);

}  // namespace tarvel
