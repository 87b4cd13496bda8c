// The wrapper around FFTPACK's real transform: half-complex reordering,
// 1/sqrt(n) scaling, in-place calls and the work array.

#include "dsp/RealFft.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dsp/FftPasses.h"

namespace tarvel {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

bool ValidCall(const double* input, const double* output, std::int32_t n, std::uint8_t direction) {
  return input != nullptr && output != nullptr && n >= 1 &&
         (direction == kFftForward || direction == kFftInverse);
}

// Raw order to half-complex order, scaled on the way.
void RawToHalfComplex(const double* raw, double* out, std::size_t n, double scale) {
  const std::size_t h = (n - 1) / 2;
  out[0] = raw[0] * scale;
  for (std::size_t k = 1; k <= h; ++k) {
    out[k] = raw[2 * k - 1] * scale;
    out[n - k] = raw[2 * k] * scale;
  }
  if (n % 2 == 0) out[n / 2] = raw[n - 1] * scale;
}

void HalfComplexToRaw(const double* in, double* raw, std::size_t n) {
  const std::size_t h = (n - 1) / 2;
  raw[0] = in[0];
  for (std::size_t k = 1; k <= h; ++k) {
    raw[2 * k - 1] = in[k];
    raw[2 * k] = in[n - k];
  }
  if (n % 2 == 0) raw[n - 1] = in[n / 2];
}

// wsave: the lower n doubles are the passes' scratch; an in-place call also
// reorders through them, so no call needs memory beyond the work array.
void Transform(double* input, double* output, std::int32_t n, std::uint8_t direction,
               double* scratch, const double* twiddles, const std::int32_t* factors) {
  const std::size_t count = static_cast<std::size_t>(n);
  const double scale = 1.0 / std::sqrt(static_cast<double>(n));
  const bool inPlace = input == output;
  if (direction == kFftForward) {
    // The input array is the drivers' data array: it is left in raw order.
    FftForwardPasses(n, input, scratch, twiddles, factors);
    if (inPlace) {
      RawToHalfComplex(input, scratch, count, scale);
      std::copy(scratch, scratch + count, output);
    } else {
      RawToHalfComplex(input, output, count, scale);
    }
  } else {
    if (inPlace) {
      HalfComplexToRaw(input, scratch, count);
      std::copy(scratch, scratch + count, output);
    } else {
      HalfComplexToRaw(input, output, count);
    }
    FftInversePasses(n, output, scratch, twiddles, factors);
    for (std::size_t i = 0; i < count; ++i) output[i] *= scale;
  }
}

// Makes the cache ready for n at its first use; false when it was prepared
// for another length (its arrays may be too short) or has no arrays.
bool PrepareCache(std::int32_t n, FftCache& cache) {
  if (cache.stored == nullptr || cache.working == nullptr) return false;
  if (cache.ready == 0) {
    FftInit(n, cache.stored + n, cache.factors);
    cache.ready = 1;
    return true;
  }
  return cache.factors[0] == n;
}

}  // namespace

void RealFft(double* input, double* output, std::int32_t n, std::uint8_t direction) {
  if (!ValidCall(input, output, n, direction)) return;
  const std::size_t count = 2 * static_cast<std::size_t>(n) + 15;
  const std::unique_ptr<double[], FreeDeleter> wsave(
      static_cast<double*>(std::calloc(count, sizeof(double))));
  if (!wsave) {
    std::fprintf(stderr, "calloc() failed for wsave (size %lld B)\n",
                 static_cast<long long>(count * sizeof(double)));
    return;
  }
  std::int32_t factors[kFftFactorSlots] = {};
  double* twiddles = wsave.get() + n;
  FftInit(n, twiddles, factors);
  Transform(input, output, n, direction, wsave.get(), twiddles, factors);
}

void RealFftCached(double* input, double* output, std::int32_t n, std::uint8_t direction,
                   FftCache& cache) {
  if (!ValidCall(input, output, n, direction) || !PrepareCache(n, cache)) return;
  // The twiddles are only ever read, so they are used where FftInit put them;
  // working supplies the scratch half.
  Transform(input, output, n, direction, cache.working, cache.stored + n, cache.factors);
}

}  // namespace tarvel
