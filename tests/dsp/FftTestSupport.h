#pragma once
// Shared helpers of the FFT tests: signals, cache arrays and error measures.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/RealFft.h"

namespace tarvel::test {

inline std::vector<double> RandomSignal(std::int32_t n, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::vector<double> values(static_cast<std::size_t>(n));
  // Fixed arithmetic on the raw bits, so both targets see the same numbers.
  for (double& v : values) v = static_cast<double>(engine() >> 11) * 0x1p-52 - 1.0;
  return values;
}

// Work arrays sized exactly as callers allocate them, so a write past them
// shows up under AddressSanitizer.
struct CacheArrays {
  explicit CacheArrays(std::int32_t n)
      : stored(2 * static_cast<std::size_t>(n) + 15), working(stored.size()) {
    cache.stored = stored.data();
    cache.working = working.data();
  }
  CacheArrays(const CacheArrays&) = delete;
  CacheArrays& operator=(const CacheArrays&) = delete;

  std::vector<double> stored;
  std::vector<double> working;
  FftCache cache;
};

// One call, in place or out of place, through the cache when one is given.
inline std::vector<double> Transform(std::vector<double> input, std::uint8_t direction,
                                     bool inPlace, FftCache* cache) {
  const auto n = static_cast<std::int32_t>(input.size());
  std::vector<double> output(input.size(), 0.0);
  double* out = inPlace ? input.data() : output.data();
  if (cache != nullptr) {
    RealFftCached(input.data(), out, n, direction, *cache);
  } else {
    RealFft(input.data(), out, n, direction);
  }
  return inPlace ? input : output;
}

// ||got - want|| / ||want|| in the Euclidean norm (0 when both are 0).
inline double RelativeError(const std::vector<double>& got, const std::vector<double>& want) {
  long double diff = 0.0L;
  long double norm = 0.0L;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const long double d = static_cast<long double>(got[i]) - want[i];
    diff += d * d;
    norm += static_cast<long double>(want[i]) * want[i];
  }
  if (norm == 0.0L) return std::sqrt(static_cast<double>(diff));
  return static_cast<double>(std::sqrt(diff / norm));
}

}  // namespace tarvel::test
