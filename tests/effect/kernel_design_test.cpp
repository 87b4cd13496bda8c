#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include <gtest/gtest.h>

#include "dsp/DspHelpers.h"
#include "effect/KernelDesign.h"
#include "effect/TarvelParameters.h"
#include "ReferenceFilter.h"

namespace tarvel {
namespace {

struct RateRow {
  std::int32_t lowest, highest, kernel, transform, hop, latency, design;
};

constexpr RateRow kRows[] = {
    {INT32_MIN, 44100, 1025, 2560, 1536, 2048, 8228},
    {44101, 48000, 1117, 3072, 1956, 2514, 8960},
    {48001, 64000, 1489, 4096, 2608, 3352, 11934},
    {64001, 88200, 2051, 5120, 3070, 4095, 16456},
    {88201, 96000, 2233, 6144, 3912, 5028, 17875},
    {96001, 176400, 4101, 10240, 6140, 8190, 32912},
    {176401, 192000, 4463, 12800, 8338, 10569, 35721},
    {192001, 352800, 8201, 20480, 12280, 16380, 65610},
    {352801, INT32_MAX, 8927, 25600, 16674, 21137, 71442},
};

TEST(KernelDesign, LengthsForEveryRowAndBothOfItsBoundaries) {
  for (const RateRow& row : kRows) {
    for (const std::int32_t rate : {row.lowest, row.highest}) {
      SCOPED_TRACE(rate);
      const std::int32_t k = KernelLengthForRate(rate);
      const std::int32_t n = TransformLengthForRate(rate);
      EXPECT_EQ(k, row.kernel);
      EXPECT_EQ(n, row.transform);
      EXPECT_EQ(n - k + 1, row.hop);
      EXPECT_EQ(n - k + 1 + k / 2, row.latency);
      EXPECT_EQ(NextSmoothSize(8 * k), row.design);
    }
  }
  EXPECT_EQ(KernelLengthForRate(0), 1025);
  EXPECT_EQ(KernelLengthForRate(-96000), 1025);
}

// Where the bands meet, at the rates hosts use: the edges are in order and
// inside the mask, each crossover lies between the centres of the bands it
// joins, and each band centre is in its band's flat part, where the band
// alone passes.
TEST(KernelDesign, EdgesLieBetweenTheBandCentres) {
  for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
    SCOPED_TRACE(rate);
    const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
    const std::int32_t d = NextSmoothSize(8 * k);
    const BandEdges e = ComputeBandEdges(k, d, rate);
    const std::int32_t edges[] = {0, e.e01, e.e1a, e.e1b, e.e2a, e.e2b, e.e3a, e.e3b, e.top};
    EXPECT_TRUE(std::is_sorted(std::begin(edges), std::end(edges)));
    EXPECT_EQ(e.top, (d + 1) / 2);
    // Index i of the design grid stands for (i - 1) * rate / d hertz.
    const auto hertz = [&](std::int32_t index) { return (index - 1) * rate / d; };
    const auto between = [&](std::int32_t index, int band) {
      return hertz(index) > kBandCentresHz[band] && hertz(index) < kBandCentresHz[band + 1];
    };
    EXPECT_TRUE(between(e.e01, 0));
    EXPECT_TRUE(between(e.e1a, 1) && between(e.e1b, 1));
    EXPECT_TRUE(between(e.e2a, 2) && between(e.e2b, 2));
    EXPECT_TRUE(between(e.e3a, 3) && between(e.e3b, 3));
    const BandSpectra masks = DrawBandMasks(k, d, rate);
    for (int band = 0; band < kBandCount; ++band) {
      const auto centre = static_cast<std::size_t>(kBandCentresHz[band] * d / rate + 1.5);
      for (int other = 0; other < kBandCount; ++other)
        EXPECT_EQ(masks[other][centre], other == band ? 1.0 : 0.0) << band << " " << other;
    }
  }
}

// Low rates push the edges past the top of the mask: they must stay inside
// the arrays (ASan watches) and the masks must still add up to 1.
TEST(KernelDesign, MasksAddUpToOneAtUsualAndVeryLowRates) {
  for (const double rate : {44100.0, 48000.0, 192000.0, 384000.0, 16000.0, 8000.0, 3000.0, 1.0}) {
    SCOPED_TRACE(rate);
    const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
    const std::int32_t d = NextSmoothSize(8 * k);
    const BandSpectra masks = DrawBandMasks(k, d, rate);
    const std::int32_t top = (d + 1) / 2;
    std::int32_t bad = 0;
    for (std::int32_t i = 0; i < d; ++i) {
      double sum = 0.0;
      for (const auto& mask : masks) {
        ASSERT_EQ(mask.size(), static_cast<std::size_t>(d));
        bad += !(mask[i] >= 0.0 && mask[i] <= 1.0);
        sum += mask[i];
      }
      bad += std::abs(sum - (i < top ? 1.0 : 0.0)) > 1e-14;
    }
    EXPECT_EQ(bad, 0);
  }
  // At 44100 Hz the 3-4 crossover covers indices 489 to 1477.
  const BandSpectra masks = DrawBandMasks(1025, 8228, 44100.0);
  EXPECT_EQ(masks[4][488], 0.0);
  EXPECT_GT(masks[4][489], 0.0);
  EXPECT_LT(masks[4][1477], 1.0);
  EXPECT_EQ(masks[4][1478], 1.0);
  EXPECT_EQ(masks[4][4113], 1.0);
}

// All gains 1 must give a pure delay of K / 2 taps (to about 1/D), which is
// what makes the engine's gain and latency right.
TEST(KernelDesign, FlatGainsGiveAPureDelayOfHalfTheKernel) {
  for (const double rate : {44100.0, 48000.0}) {
    SCOPED_TRACE(rate);
    const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
    const double d = NextSmoothSize(8 * k);
    const std::vector<double> kernel = test::MixedKernel(rate, {1, 1, 1, 1, 1});
    double worst = 0.0;
    for (std::int32_t j = 0; j < k; ++j) {
      worst = std::max(worst, std::abs(kernel[j] - (j == k / 2 ? 1.0 : 0.0)));
    }
    EXPECT_LT(worst, 2.0 / d);
  }
}

TEST(KernelDesign, BandZeroResponse) {
  const std::vector<double> kernel = test::MixedKernel(44100.0, {1, 0, 0, 0, 0});
  EXPECT_NEAR(test::ResponseDb(kernel, 20.0, 44100.0), 0.0, 0.1);
  EXPECT_NEAR(test::ResponseDb(kernel, 166.5, 44100.0), -5.6, 0.3);
  EXPECT_LT(test::ResponseDb(kernel, 300.0, 44100.0), -70.0);
}

TEST(KernelDesign, RefusesArgumentsNoEngineUses) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const BandSpectra& bands :
       {DesignBandKernels(0, 2560, 44100.0), DesignBandKernels(1025, 1024, 44100.0),
        DesignBandKernels(1025, 2560, 0.0), DesignBandKernels(1025, 2560, nan),
        DesignBandKernels(INT32_MAX, INT32_MAX, 44100.0)}) {
    for (const auto& band : bands) EXPECT_TRUE(band.empty());
  }
}

}  // namespace
}  // namespace tarvel
