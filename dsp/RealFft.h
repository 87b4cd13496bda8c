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
#include <vector>

namespace tarvel {

enum : std::uint8_t { kFftForward = 0, kFftInverse = 1 };

// Two doubles that go through the transform side by side, one channel per
// lane (GCC/Clang vector extension; 16-byte aligned).
typedef double FftLanes __attribute__((vector_size(16)));

// Work array and factors of one transform length. The caller owns the two
// arrays (2n + 15 doubles each, zero-filled; working 4n + 15 for
// RealFftCachedPair) and sets ready = 0 whenever it allocates them for a new
// length; the first transform fills stored/factors. stored keeps the twiddles
// from then on and working is the passes' scratch. A ready cache used with
// another length makes the call do nothing.
struct FftCache {
  double* stored = nullptr;
  double* working = nullptr;
  std::int32_t factors[64] = {};
  std::int32_t ready = 0;
};

// Builds its work array on every call (kernel design only). If that array
// cannot be allocated it reports so on stderr and leaves output untouched.
void RealFft(double* input, double* output, std::int32_t n, std::uint8_t direction);

// The audio-path transform: never allocates, in place or not.
void RealFftCached(double* input, double* output, std::int32_t n, std::uint8_t direction,
                   FftCache& cache);

// Two channels in one call, in place: a and b (n doubles each, distinct)
// end as RealFftCached(a, a, ...) and RealFftCached(b, b, ...) would leave
// them, bit for bit, in about two thirds of the time of those two calls (the
// channels share every instruction of the passes). cache.working must hold
// 4n + 15 doubles, at any double alignment (see FftPairCache); the cache may
// serve RealFftCached at the same length too. Never allocates. Does nothing
// where RealFftCached would, or when b is null.
void RealFftCachedPair(double* a, double* b, std::int32_t n, std::uint8_t direction,
                       FftCache& cache);

// For callers that keep two channels interleaved: the pair transform in place
// on n lanes, without the reordering and the scaling. Spectra are in packed
// order: [0] = DC, [2k - 1] = Re X_k and [2k] = Im X_k for 1 <= k <= (n-1)/2,
// and [n - 1] = Nyquist for even n. Nothing is scaled: multiplying each value
// by 1.0 / std::sqrt(double(n)) on the way out gives RealFftCachedPair's
// values bit for bit (reordered). Cache as for RealFftCachedPair. Never
// allocates; does nothing where RealFftCachedPair would, or when data is null.
void RealFftLanes(FftLanes* data, std::int32_t n, std::uint8_t direction, FftCache& cache);

// A half-complex spectrum of n values in packed order, into a distinct array.
void HalfComplexToPacked(const double* in, double* out, std::int32_t n);

// Owns the zero-filled arrays of an FftCache sized for RealFftCachedPair
// (stored 2n + 15, working 4n + 15 doubles), which suits RealFftCached too.
// Allocates: build or Reset it off the audio path.
class FftPairCache {
 public:
  explicit FftPairCache(std::int32_t n = 0) { Reset(n); }
  FftPairCache(const FftPairCache&) = delete;
  FftPairCache& operator=(const FftPairCache&) = delete;

  // Fresh arrays for length n, not ready; for n < 1 none, and the cache's
  // pointers are null so that every call with it does nothing.
  void Reset(std::int32_t n);
  FftCache& Cache() { return cache; }

 private:
  std::vector<double> stored;
  std::vector<double> working;
  FftCache cache;
};

}  // namespace tarvel
