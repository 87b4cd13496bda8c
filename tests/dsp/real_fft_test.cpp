// The real FFT against a direct long-double DFT, with the layout, scaling,
// in-place and cache contracts that its callers rely on. Runs on both targets.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "FftTestSupport.h"
#include "dsp/FftPasses.h"
#include "dsp/RealFft.h"

namespace tarvel {
namespace {

using test::CacheArrays;
using test::RandomSignal;
using test::RelativeError;
using test::Transform;

constexpr double kTolerance = 1e-13;

std::vector<std::int32_t> FactorsOf(std::int32_t n) {
  std::vector<double> twiddles(static_cast<std::size_t>(n));
  std::int32_t factors[kFftFactorSlots] = {};
  FftInit(n, twiddles.data(), factors);
  EXPECT_EQ(factors[0], n);
  return {factors + 2, factors + 2 + factors[1]};
}

TEST(FftFactors, FollowTrialOrderWithTwoFirst) {
  using V = std::vector<std::int32_t>;
  EXPECT_EQ(FactorsOf(1), V{});
  EXPECT_EQ(FactorsOf(4), V{4});
  EXPECT_EQ(FactorsOf(6), (V{2, 3}));
  EXPECT_EQ(FactorsOf(7), V{7});
  EXPECT_EQ(FactorsOf(8), (V{2, 4}));
  EXPECT_EQ(FactorsOf(12), (V{4, 3}));
  EXPECT_EQ(FactorsOf(15), (V{3, 5}));
  EXPECT_EQ(FactorsOf(16), (V{4, 4}));
  EXPECT_EQ(FactorsOf(32), (V{2, 4, 4}));
  EXPECT_EQ(FactorsOf(49), (V{7, 7}));
  EXPECT_EQ(FactorsOf(1001), (V{7, 11, 13}));
  EXPECT_EQ(FactorsOf(2560), (V{2, 4, 4, 4, 4, 5}));
  EXPECT_EQ(FactorsOf(8228), (V{4, 11, 11, 17}));
  EXPECT_EQ(FactorsOf(8960), (V{4, 4, 4, 4, 5, 7}));
  EXPECT_EQ(FactorsOf(11934), (V{2, 3, 3, 3, 13, 17}));
  EXPECT_EQ(FactorsOf(16456), (V{2, 4, 11, 11, 17}));
  EXPECT_EQ(FactorsOf(35721), (V{3, 3, 3, 3, 3, 3, 7, 7}));
  EXPECT_EQ(FactorsOf(65610), (V{2, 3, 3, 3, 3, 3, 3, 3, 3, 5}));
}

// Half-complex spectrum of x, scaled by 1/sqrt(n), in long double.
std::vector<double> DirectForward(const std::vector<double>& x) {
  const std::size_t n = x.size();
  std::vector<long double> c(n), s(n);
  for (std::size_t m = 0; m < n; ++m) {
    const long double angle = 2.0L * std::numbers::pi_v<long double> * m / n;
    c[m] = std::cos(angle);
    s[m] = std::sin(angle);
  }
  const long double scale = 1.0L / std::sqrt(static_cast<long double>(n));
  std::vector<double> out(n);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    long double re = 0.0L, im = 0.0L;
    for (std::size_t j = 0; j < n; ++j) {
      re += x[j] * c[j * k % n];
      im -= x[j] * s[j * k % n];
    }
    out[k] = static_cast<double>(re * scale);
    if (k != 0 && n - k != k) out[n - k] = static_cast<double>(im * scale);
  }
  return out;
}

// Samples of a half-complex spectrum, scaled by 1/sqrt(n), in long double.
std::vector<double> DirectInverse(const std::vector<double>& spectrum) {
  const std::size_t n = spectrum.size();
  const std::size_t h = (n - 1) / 2;
  std::vector<long double> c(n), s(n);
  for (std::size_t m = 0; m < n; ++m) {
    const long double angle = 2.0L * std::numbers::pi_v<long double> * m / n;
    c[m] = std::cos(angle);
    s[m] = std::sin(angle);
  }
  const long double scale = 1.0L / std::sqrt(static_cast<long double>(n));
  std::vector<double> out(n);
  for (std::size_t j = 0; j < n; ++j) {
    long double sum = spectrum[0];
    for (std::size_t k = 1; k <= h; ++k) {
      sum += 2.0L * (spectrum[k] * c[j * k % n] - spectrum[n - k] * s[j * k % n]);
    }
    if (n % 2 == 0) sum += (j % 2 == 0 ? 1.0L : -1.0L) * spectrum[n / 2];
    out[j] = static_cast<double>(sum * scale);
  }
  return out;
}

class FftAgainstDirectDft : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(FftAgainstDirectDft, EveryCallFormMatches) {
  const std::int32_t n = GetParam();
  const std::vector<double> x = RandomSignal(n, 1000 + n);
  const std::vector<double> spectrum = DirectForward(x);
  const std::vector<double> samples = DirectInverse(x);  // x read as a spectrum
  CacheArrays arrays(n);
  for (const bool cached : {false, true}) {
    for (const bool inPlace : {false, true}) {
      FftCache* cache = cached ? &arrays.cache : nullptr;
      SCOPED_TRACE(testing::Message() << "n " << n << " cached " << cached << " in place "
                                      << inPlace);
      EXPECT_LT(RelativeError(Transform(x, kFftForward, inPlace, cache), spectrum), kTolerance);
      EXPECT_LT(RelativeError(Transform(x, kFftInverse, inPlace, cache), samples), kTolerance);
    }
  }
}

std::vector<std::int32_t> SmallLengths() {
  std::vector<std::int32_t> lengths;
  for (std::int32_t n = 1; n <= 64; ++n) lengths.push_back(n);
  // Two general passes with ido > 1, and every radix with long inner loops.
  for (const std::int32_t n : {77, 121, 169, 250, 324, 343, 1001}) lengths.push_back(n);
  return lengths;
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftAgainstDirectDft, ::testing::ValuesIn(SmallLengths()));

// The lengths the kernel design and the engine use: a handful of bins by
// direct summation, and the round trip.
class FftAtUsedLengths : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(FftAtUsedLengths, BinsMatchAndRoundTripReturnsInput) {
  const std::int32_t n = GetParam();
  const std::vector<double> x = RandomSignal(n, n);
  CacheArrays arrays(n);
  const std::vector<double> spectrum = Transform(x, kFftForward, false, &arrays.cache);

  long double norm = 0.0L;
  for (const double v : x) norm += static_cast<long double>(v) * v;  // = spectral norm
  const std::size_t size = x.size();
  for (const std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7},
                              size / 5, size / 3, size / 2 - 1, size / 2}) {
    long double re = 0.0L, im = 0.0L;
    for (std::size_t j = 0; j < size; ++j) {
      const long double angle = 2.0L * std::numbers::pi_v<long double> * (j * k % size) / size;
      re += x[j] * std::cos(angle);
      im -= x[j] * std::sin(angle);
    }
    const long double scale = 1.0L / std::sqrt(static_cast<long double>(size));
    const double bound = kTolerance * static_cast<double>(std::sqrt(norm));
    EXPECT_NEAR(spectrum[k], static_cast<double>(re * scale), bound) << "bin " << k;
    if (k != 0 && 2 * k != size) {
      EXPECT_NEAR(spectrum[size - k], static_cast<double>(im * scale), bound) << "bin " << k;
    }
  }

  EXPECT_LT(RelativeError(Transform(spectrum, kFftInverse, true, &arrays.cache), x), kTolerance);
  EXPECT_LT(RelativeError(Transform(Transform(x, kFftForward, true, nullptr), kFftInverse, false,
                                    nullptr),
                          x),
            kTolerance);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftAtUsedLengths,
                         ::testing::Values(2560, 3072, 4096, 5120, 6144, 8228, 8960, 10240, 11934,
                                           12800, 16456, 17875, 20480, 25600, 32912, 35721,
                                           65610, 71442));

TEST(RealFft, InverseOnlyReadsItsInput) {
  const std::vector<double> x = RandomSignal(12, 5);
  std::vector<double> spectrum = x;
  std::vector<double> samples(x.size());
  RealFft(spectrum.data(), samples.data(), 12, kFftInverse);
  EXPECT_EQ(spectrum, x);
  EXPECT_LT(RelativeError(Transform(samples, kFftForward, false, nullptr), x), kTolerance);
}

TEST(RealFftCached, FirstCallPreparesCacheAndMatchesUncached) {
  for (const std::int32_t n : {1, 7, 2560}) {
    const std::vector<double> x = RandomSignal(n, 77);
    CacheArrays arrays(n);
    const std::vector<double> first = Transform(x, kFftForward, false, &arrays.cache);
    EXPECT_EQ(arrays.cache.ready, 1);
    const std::vector<double> stored = arrays.stored;
    // Bit for bit: the same passes on the same twiddles.
    EXPECT_EQ(first, Transform(x, kFftForward, false, nullptr));
    EXPECT_EQ(Transform(x, kFftForward, false, &arrays.cache), first);
    EXPECT_EQ(Transform(x, kFftInverse, false, &arrays.cache),
              Transform(x, kFftInverse, false, nullptr));
    EXPECT_EQ(arrays.stored, stored) << "the table is written once";
  }
}

TEST(RealFftCached, CacheOfAnotherLengthIsRefused) {
  CacheArrays small(16);
  std::vector<double> x = RandomSignal(16, 3);
  std::vector<double> out(16);
  RealFftCached(x.data(), out.data(), 16, kFftForward, small.cache);
  ASSERT_EQ(small.cache.ready, 1);

  // A longer transform would run past the 2 * 16 + 15 doubles.
  std::vector<double> longer = RandomSignal(64, 4);
  const std::vector<double> before = longer;
  std::vector<double> longOut(64, -1.0);
  RealFftCached(longer.data(), longOut.data(), 64, kFftForward, small.cache);
  RealFftCached(longer.data(), longer.data(), 64, kFftInverse, small.cache);
  EXPECT_EQ(longer, before);
  EXPECT_EQ(longOut, std::vector<double>(64, -1.0));
}

TEST(RealFft, InvalidCallsLeaveOutputAlone) {
  std::vector<double> in = {1.0, 2.0, 3.0, 4.0};
  std::vector<double> out(4, -1.0);
  const std::vector<double> untouched(4, -1.0);
  CacheArrays arrays(4);
  for (const std::int32_t n : {0, -4}) {
    RealFft(in.data(), out.data(), n, kFftForward);
    RealFftCached(in.data(), out.data(), n, kFftForward, arrays.cache);
  }
  RealFft(in.data(), out.data(), 4, 2);
  RealFftCached(in.data(), out.data(), 4, 2, arrays.cache);
  RealFft(nullptr, out.data(), 4, kFftForward);
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(arrays.cache.ready, 0);
}

}  // namespace
}  // namespace tarvel
