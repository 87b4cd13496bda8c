// The wrapper around FFTPACK's real transform: half-complex reordering,
// 1/sqrt(n) scaling, in-place calls and the work array, for one channel or
// for two at once.

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

// The pair's counterparts move between lanes and the two channel arrays,
// two values of each channel per step, so that every access to a or b moves
// 16 bytes; the arithmetic per value is that of the functions above.
FftLanes Load2(const double* p) {
  FftLanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store2(double* p, FftLanes v) { std::memcpy(p, &v, sizeof v); }

// {x[0], y[0]} and {x[1], y[1]}.
FftLanes Firsts(FftLanes x, FftLanes y) { return __builtin_shufflevector(x, y, 0, 2); }
FftLanes Seconds(FftLanes x, FftLanes y) { return __builtin_shufflevector(x, y, 1, 3); }

void Put(double* a, double* b, std::size_t i, FftLanes v) {
  a[i] = v[0];
  b[i] = v[1];
}

FftLanes Get(const double* a, const double* b, std::size_t i) { return FftLanes{a[i], b[i]}; }

void ChannelsToLanes(const double* a, const double* b, FftLanes* lanes, std::size_t n) {
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) {
    const FftLanes x = Load2(a + i);
    const FftLanes y = Load2(b + i);
    lanes[i] = Firsts(x, y);
    lanes[i + 1] = Seconds(x, y);
  }
  if (i < n) lanes[i] = Get(a, b, i);
}

// Scaled on the way, as the inverse's last step.
void LanesToChannels(const FftLanes* lanes, double* a, double* b, std::size_t n, double scale) {
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) {
    const FftLanes x = lanes[i] * scale;
    const FftLanes y = lanes[i + 1] * scale;
    Store2(a + i, Firsts(x, y));
    Store2(b + i, Seconds(x, y));
  }
  if (i < n) Put(a, b, i, lanes[i] * scale);
}

// Bins k and k + 1 per step: their real parts are neighbours at k, their
// imaginary parts neighbours at n - k - 1.
void RawLanesToHalfComplex(const FftLanes* raw, double* a, double* b, std::size_t n,
                           double scale) {
  const std::size_t h = (n - 1) / 2;
  Put(a, b, 0, raw[0] * scale);
  std::size_t k = 1;
  for (; k < h; k += 2) {
    const FftLanes re0 = raw[2 * k - 1] * scale;
    const FftLanes im0 = raw[2 * k] * scale;
    const FftLanes re1 = raw[2 * k + 1] * scale;
    const FftLanes im1 = raw[2 * k + 2] * scale;
    Store2(a + k, Firsts(re0, re1));
    Store2(b + k, Seconds(re0, re1));
    Store2(a + n - k - 1, Firsts(im1, im0));
    Store2(b + n - k - 1, Seconds(im1, im0));
  }
  if (k == h) {
    Put(a, b, k, raw[2 * k - 1] * scale);
    Put(a, b, n - k, raw[2 * k] * scale);
  }
  if (n % 2 == 0) Put(a, b, n / 2, raw[n - 1] * scale);
}

void HalfComplexToRawLanes(const double* a, const double* b, FftLanes* raw, std::size_t n) {
  const std::size_t h = (n - 1) / 2;
  raw[0] = Get(a, b, 0);
  std::size_t k = 1;
  for (; k < h; k += 2) {
    const FftLanes reA = Load2(a + k);
    const FftLanes reB = Load2(b + k);
    const FftLanes imA = Load2(a + n - k - 1);
    const FftLanes imB = Load2(b + n - k - 1);
    raw[2 * k - 1] = Firsts(reA, reB);
    raw[2 * k] = Seconds(imA, imB);
    raw[2 * k + 1] = Seconds(reA, reB);
    raw[2 * k + 2] = Firsts(imA, imB);
  }
  if (k == h) {
    raw[2 * k - 1] = Get(a, b, k);
    raw[2 * k] = Get(a, b, n - k);
  }
  if (n % 2 == 0) raw[n - 1] = Get(a, b, n / 2);
}

// The two-channel passes, VEX-encoded where the CPU has AVX; decided once.
bool LanesUseAvx() {
  static const bool avx = FftHasAvx();
  return avx;
}

void ForwardLanes(std::int32_t n, FftLanes* data, FftLanes* scratch, const double* twiddles,
                  const std::int32_t* factors) {
  if (LanesUseAvx()) {
    FftForwardLanesAvx(n, data, scratch, twiddles, factors);
  } else {
    FftForwardPasses(n, data, scratch, twiddles, factors);
  }
}

void InverseLanes(std::int32_t n, FftLanes* data, FftLanes* scratch, const double* twiddles,
                  const std::int32_t* factors) {
  if (LanesUseAvx()) {
    FftInverseLanesAvx(n, data, scratch, twiddles, factors);
  } else {
    FftInversePasses(n, data, scratch, twiddles, factors);
  }
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

// Both channels go through the passes as lanes, in data and scratch (n lanes
// each, in the cache's working array); the twiddles are broadcast.
void TransformPair(double* a, double* b, std::int32_t n, std::uint8_t direction, FftLanes* data,
                   FftLanes* scratch, const double* twiddles, const std::int32_t* factors) {
  const std::size_t count = static_cast<std::size_t>(n);
  const double scale = 1.0 / std::sqrt(static_cast<double>(n));
  if (direction == kFftForward) {
    ChannelsToLanes(a, b, data, count);
    ForwardLanes(n, data, scratch, twiddles, factors);
    RawLanesToHalfComplex(data, a, b, count, scale);
  } else {
    HalfComplexToRawLanes(a, b, data, count);
    InverseLanes(n, data, scratch, twiddles, factors);
    LanesToChannels(data, a, b, count, scale);
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

// Lanes want 16-byte alignment; a working array of doubles that lacks it
// starts one double later, which the 15 spare doubles allow.
FftLanes* WorkingLanes(FftCache& cache) {
  double* base = cache.working;
  if (reinterpret_cast<std::uintptr_t>(base) % alignof(FftLanes) != 0) ++base;
  return reinterpret_cast<FftLanes*>(base);
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

void RealFftCachedPair(double* a, double* b, std::int32_t n, std::uint8_t direction,
                       FftCache& cache) {
  if (!ValidCall(a, b, n, direction) || !PrepareCache(n, cache)) return;
  FftLanes* data = WorkingLanes(cache);
  TransformPair(a, b, n, direction, data, data + n, cache.stored + n, cache.factors);
}

void RealFftLanes(FftLanes* data, std::int32_t n, std::uint8_t direction, FftCache& cache) {
  const double* lanes = reinterpret_cast<const double*>(data);
  if (!ValidCall(lanes, lanes, n, direction) || !PrepareCache(n, cache)) return;
  FftLanes* scratch = WorkingLanes(cache);
  if (direction == kFftForward) {
    ForwardLanes(n, data, scratch, cache.stored + n, cache.factors);
  } else {
    InverseLanes(n, data, scratch, cache.stored + n, cache.factors);
  }
}

void HalfComplexToPacked(const double* in, double* out, std::int32_t n) {
  if (in == nullptr || out == nullptr || n < 1) return;
  HalfComplexToRaw(in, out, static_cast<std::size_t>(n));
}

void FftPairCache::Reset(std::int32_t n) {
  cache = FftCache{};
  if (n < 1) {
    stored.clear();
    working.clear();
    return;
  }
  const std::size_t count = static_cast<std::size_t>(n);
  stored.assign(2 * count + 15, 0.0);
  working.assign(4 * count + 15, 0.0);
  cache.stored = stored.data();
  cache.working = working.data();
}

}  // namespace tarvel
