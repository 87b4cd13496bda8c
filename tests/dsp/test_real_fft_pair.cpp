// The two-channel transform against two single-channel calls, bit for bit, at
// every small length and at the lengths the engine and the kernel design use;
// the AVX build of the passes against the other; and its cache contract:
// shared with single calls, any double alignment of the working array,
// another length or a bad call leaves everything alone.
// Runs on both targets.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FftTestSupport.h"
#include "dsp/FftPasses.h"
#include "dsp/RealFft.h"

namespace tarvel {
namespace {

using test::CacheArrays;
using test::RandomSignal;

// Bit patterns, so that 0.0 against -0.0 counts as a difference.
std::vector<std::uint64_t> Bits(const std::vector<double>& values) {
  std::vector<std::uint64_t> bits(values.size());
  std::memcpy(bits.data(), values.data(), values.size() * sizeof(double));
  return bits;
}

std::vector<double> Single(std::vector<double> x, std::uint8_t direction, FftCache& cache) {
  RealFftCached(x.data(), x.data(), static_cast<std::int32_t>(x.size()), direction, cache);
  return x;
}

// Both channels through one pair call; then each must equal its single call.
void ExpectPairMatches(const std::vector<double>& left, const std::vector<double>& right,
                       std::uint8_t direction, FftCache& pairCache, FftCache& singleCache) {
  std::vector<double> a = left;
  std::vector<double> b = right;
  RealFftCachedPair(a.data(), b.data(), static_cast<std::int32_t>(a.size()), direction,
                    pairCache);
  EXPECT_EQ(Bits(a), Bits(Single(left, direction, singleCache))) << "first channel";
  EXPECT_EQ(Bits(b), Bits(Single(right, direction, singleCache))) << "second channel";
}

// A sparse signal: many results are exact zeros, whose signs depend on the
// order of every addition and subtraction.
std::vector<double> Impulses(std::int32_t n) {
  std::vector<double> x(static_cast<std::size_t>(n), 0.0);
  x[0] = -0.0;
  x[static_cast<std::size_t>(n) / 3] = 1.0;
  x[static_cast<std::size_t>(n) - 1] = -2.0;
  return x;
}

class PairAgainstSingleCalls : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(PairAgainstSingleCalls, BitForBitInBothDirections) {
  const std::int32_t n = GetParam();
  const std::vector<double> left = RandomSignal(n, 3 * n);
  const std::vector<double> right = RandomSignal(n, 3 * n + 1);
  FftPairCache pair(n);
  CacheArrays single(n);
  for (const std::uint8_t direction : {kFftForward, kFftInverse}) {
    SCOPED_TRACE(testing::Message() << "n " << n << " direction " << int{direction});
    ExpectPairMatches(left, right, direction, pair.Cache(), single.cache);
    if (n <= 64) ExpectPairMatches(Impulses(n), left, direction, pair.Cache(), single.cache);
  }
}

std::vector<std::int32_t> PairLengths() {
  std::vector<std::int32_t> lengths;
  for (std::int32_t n = 1; n <= 64; ++n) lengths.push_back(n);
  for (const std::int32_t n : {2560, 3072, 4096, 5120, 6144, 8228, 8960, 10240, 11934, 12800,
                               16456, 17875, 20480, 25600, 32912, 35721, 65610, 71442}) {
    lengths.push_back(n);
  }
  return lengths;
}

INSTANTIATE_TEST_SUITE_P(Lengths, PairAgainstSingleCalls, ::testing::ValuesIn(PairLengths()));

std::vector<double> Packed(const std::vector<double>& halfComplex) {
  std::vector<double> packed(halfComplex.size());
  HalfComplexToPacked(halfComplex.data(), packed.data(),
                      static_cast<std::int32_t>(halfComplex.size()));
  return packed;
}

// Interleaved lanes through RealFftLanes, then scaled as its contract says:
// each lane must equal the single call on its channel (forward spectra
// compared in packed order, inverse inputs handed over in packed order).
void ExpectLanesMatch(const std::vector<double>& left, const std::vector<double>& right,
                      std::uint8_t direction, FftCache& lanesCache, FftCache& singleCache) {
  const auto n = static_cast<std::int32_t>(left.size());
  const bool forward = direction == kFftForward;
  const std::vector<double> first = forward ? left : Packed(left);
  const std::vector<double> second = forward ? right : Packed(right);
  std::vector<FftLanes> lanes(left.size());
  for (std::size_t i = 0; i < lanes.size(); ++i) lanes[i] = FftLanes{first[i], second[i]};
  RealFftLanes(lanes.data(), n, direction, lanesCache);
  const double scale = 1.0 / std::sqrt(static_cast<double>(n));
  std::vector<double> a(left.size()), b(left.size());
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    a[i] = lanes[i][0] * scale;
    b[i] = lanes[i][1] * scale;
  }
  const std::vector<double> wantA = Single(left, direction, singleCache);
  const std::vector<double> wantB = Single(right, direction, singleCache);
  EXPECT_EQ(Bits(a), Bits(forward ? Packed(wantA) : wantA)) << "first lane";
  EXPECT_EQ(Bits(b), Bits(forward ? Packed(wantB) : wantB)) << "second lane";
}

TEST_P(PairAgainstSingleCalls, LanesScaledAfterwardsAgreeBitForBit) {
  const std::int32_t n = GetParam();
  FftPairCache lanes(n);
  CacheArrays single(n);
  for (const std::uint8_t direction : {kFftForward, kFftInverse}) {
    SCOPED_TRACE(testing::Message() << "n " << n << " direction " << int{direction});
    ExpectLanesMatch(RandomSignal(n, 5 * n), RandomSignal(n, 5 * n + 1), direction,
                     lanes.Cache(), single.cache);
    if (n <= 64) ExpectLanesMatch(Impulses(n), RandomSignal(n, 7), direction, lanes.Cache(),
                                  single.cache);
  }
}

// The pair calls run the AVX build of the lanes' drivers where the CPU has
// AVX, so the tests above cover that build there; this one holds it to the
// other build directly, sparse input included (signed zeros).
TEST_P(PairAgainstSingleCalls, AvxDriversMatchTheBaselineBitForBit) {
  if (!FftHasAvx()) GTEST_SKIP() << "no AVX on this CPU";
  const std::int32_t n = GetParam();
  const auto count = static_cast<std::size_t>(n);
  std::vector<double> twiddles(count + 15);
  std::int32_t factors[kFftFactorSlots] = {};
  FftInit(n, twiddles.data(), factors);
  const std::vector<double> left = n <= 64 ? Impulses(n) : RandomSignal(n, 11 * n);
  const std::vector<double> right = RandomSignal(n, 11 * n + 1);
  std::vector<FftLanes> input(count);
  for (std::size_t i = 0; i < count; ++i) input[i] = FftLanes{left[i], right[i]};
  auto bits = [](const std::vector<FftLanes>& lanes) {
    std::vector<std::uint64_t> out(2 * lanes.size());
    std::memcpy(out.data(), lanes.data(), out.size() * sizeof(double));
    return out;
  };
  for (const bool forward : {true, false}) {
    SCOPED_TRACE(testing::Message() << "n " << n << (forward ? " forward" : " inverse"));
    std::vector<FftLanes> baseline = input, avx = input, scratch(count);
    if (forward) {
      FftForwardPasses(n, baseline.data(), scratch.data(), twiddles.data(), factors);
      FftForwardLanesAvx(n, avx.data(), scratch.data(), twiddles.data(), factors);
    } else {
      FftInversePasses(n, baseline.data(), scratch.data(), twiddles.data(), factors);
      FftInverseLanesAvx(n, avx.data(), scratch.data(), twiddles.data(), factors);
    }
    EXPECT_EQ(bits(avx), bits(baseline));
  }
}

TEST(HalfComplexToPacked, PairsEachBinsRealAndImaginaryParts) {
  // Even: DC, Re 1, Re 2, Nyquist, Im 2, Im 1.
  EXPECT_EQ(Packed({10, 11, 12, 13, 14, 15}), (std::vector<double>{10, 11, 15, 12, 14, 13}));
  // Odd: DC, Re 1, Re 2, Im 2, Im 1.
  EXPECT_EQ(Packed({10, 11, 12, 13, 14}), (std::vector<double>{10, 11, 14, 12, 13}));
  EXPECT_EQ(Packed({7}), (std::vector<double>{7}));
  EXPECT_EQ(Packed({7, 8}), (std::vector<double>{7, 8}));
}

TEST(RealFftLanes, RefusedCallsChangeNothing) {
  std::vector<FftLanes> lanes(64);
  for (std::size_t i = 0; i < lanes.size(); ++i) lanes[i] = FftLanes{1.0 + i, -2.0 * i};
  const std::vector<FftLanes> before = lanes;
  const auto unchanged = [&] {
    return std::memcmp(lanes.data(), before.data(), lanes.size() * sizeof(FftLanes)) == 0;
  };
  FftPairCache cache(16);
  RealFftLanes(nullptr, 16, kFftForward, cache.Cache());
  RealFftLanes(lanes.data(), 0, kFftForward, cache.Cache());
  RealFftLanes(lanes.data(), 16, 7, cache.Cache());
  EXPECT_EQ(cache.Cache().ready, 0);
  EXPECT_TRUE(unchanged());
  // Ready for 16: a call of 64 would overrun its arrays.
  RealFftLanes(lanes.data() + 32, 16, kFftInverse, cache.Cache());
  ASSERT_EQ(cache.Cache().ready, 1);
  lanes = before;
  RealFftLanes(lanes.data(), 64, kFftForward, cache.Cache());
  EXPECT_TRUE(unchanged());
}

TEST(RealFftCachedPair, SharesItsCacheWithSingleCalls) {
  constexpr std::int32_t kN = 60;
  const std::vector<double> x = RandomSignal(kN, 8);
  const std::vector<double> y = RandomSignal(kN, 9);
  CacheArrays reference(kN);

  // Prepared by a single call, then used by the pair.
  FftPairCache shared(kN);
  const std::vector<double> spectrum = Single(x, kFftForward, shared.Cache());
  EXPECT_EQ(Bits(spectrum), Bits(Single(x, kFftForward, reference.cache)));
  ExpectPairMatches(spectrum, y, kFftInverse, shared.Cache(), reference.cache);

  // Prepared by the pair, then used by single calls: the pair leaves the
  // factors and the twiddles as a single call made them.
  FftPairCache pairFirst(kN);
  ExpectPairMatches(x, y, kFftForward, pairFirst.Cache(), reference.cache);
  EXPECT_EQ(pairFirst.Cache().ready, 1);
  EXPECT_EQ(std::memcmp(pairFirst.Cache().factors, reference.cache.factors,
                        sizeof reference.cache.factors),
            0);
  EXPECT_EQ(0, std::memcmp(pairFirst.Cache().stored + kN, reference.cache.stored + kN,
                           (kN - 1) * sizeof(double)));
  EXPECT_EQ(Bits(Single(y, kFftInverse, pairFirst.Cache())),
            Bits(Single(y, kFftInverse, reference.cache)));
}

TEST(RealFftCachedPair, WorkingArrayOnAnOddDoubleBoundary) {
  for (const std::int32_t n : {1, 2, 31, 2560}) {
    const auto count = static_cast<std::size_t>(n);
    // One double in, the array then ends where the allocation ends, so any
    // access past its 4n + 15 doubles shows up under AddressSanitizer.
    std::vector<double> stored(2 * count + 15);
    std::vector<double> working(4 * count + 16);
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(working.data()) % 16, 0u);
    FftCache cache;
    cache.stored = stored.data();
    cache.working = working.data() + 1;
    CacheArrays reference(n);
    SCOPED_TRACE(testing::Message() << "n " << n);
    ExpectPairMatches(RandomSignal(n, 1), RandomSignal(n, 2), kFftForward, cache,
                      reference.cache);
    ExpectPairMatches(RandomSignal(n, 3), RandomSignal(n, 4), kFftInverse, cache,
                      reference.cache);
  }
}

TEST(RealFftCachedPair, RefusedCallsChangeNothing) {
  const std::vector<double> x = RandomSignal(64, 5);
  std::vector<double> a = x;
  std::vector<double> b = x;
  FftPairCache cache(16);
  RealFftCachedPair(nullptr, b.data(), 16, kFftForward, cache.Cache());
  RealFftCachedPair(a.data(), nullptr, 16, kFftForward, cache.Cache());
  RealFftCachedPair(a.data(), b.data(), 0, kFftForward, cache.Cache());
  RealFftCachedPair(a.data(), b.data(), -16, kFftInverse, cache.Cache());
  RealFftCachedPair(a.data(), b.data(), 16, 2, cache.Cache());
  EXPECT_EQ(cache.Cache().ready, 0);

  // Ready for 16: a longer call would overrun its arrays.
  RealFftCachedPair(a.data() + 16, b.data() + 16, 16, kFftForward, cache.Cache());
  ASSERT_EQ(cache.Cache().ready, 1);
  a = x;
  b = x;
  RealFftCachedPair(a.data(), b.data(), 64, kFftForward, cache.Cache());
  RealFftCachedPair(a.data(), b.data(), 64, kFftInverse, cache.Cache());
  EXPECT_EQ(a, x);
  EXPECT_EQ(b, x);

  // An empty holder hands out a cache without arrays.
  FftPairCache empty(0);
  RealFftCachedPair(a.data(), b.data(), 64, kFftForward, empty.Cache());
  RealFftCached(a.data(), a.data(), 64, kFftForward, empty.Cache());
  EXPECT_EQ(a, x);
  EXPECT_EQ(b, x);
}

TEST(FftPairCache, ResetServesTheNewLength) {
  FftPairCache cache(16);
  std::vector<double> a = RandomSignal(16, 6);
  std::vector<double> b = RandomSignal(16, 7);
  RealFftCachedPair(a.data(), b.data(), 16, kFftForward, cache.Cache());
  ASSERT_EQ(cache.Cache().ready, 1);

  cache.Reset(1000);
  EXPECT_EQ(cache.Cache().ready, 0);
  CacheArrays reference(1000);
  ExpectPairMatches(RandomSignal(1000, 8), RandomSignal(1000, 9), kFftForward, cache.Cache(),
                    reference.cache);
}

}  // namespace
}  // namespace tarvel
