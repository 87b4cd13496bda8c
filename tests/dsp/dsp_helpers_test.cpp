// The window, fade, spectrum and length helpers, including the exact
// constants the filter responses depend on. Runs on both targets.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "FftTestSupport.h"
#include "dsp/RealFft.h"
#include "dsp/DspHelpers.h"

namespace tarvel {
namespace {

using test::RandomSignal;
using test::RelativeError;
using test::Transform;

TEST(ApplyBlackmanWindow, WeightsUseSinglePrecisionTwoPi) {
  // 2 pi rounded to single precision is 1.75e-7 too large, which moves the
  // outer weights of a three-point window off 0.34 by -0.5 * sin of the
  // angle error (2.2e-8 and -6.6e-8); an exact 2 pi would not move them.
  std::vector<double> three = {1.0, 1.0, 1.0};
  ApplyBlackmanWindow(three.data(), 3);
  EXPECT_NEAR(three[0], 0.34 + 2.19e-8, 1e-10);
  EXPECT_NEAR(three[1], 1.0, 1e-13);
  EXPECT_NEAR(three[2], 0.34 - 6.56e-8, 1e-10);

  // The lone weight misses 1 by about 3e-15.
  double one = 1.0;
  ApplyBlackmanWindow(&one, 1);
  EXPECT_LT(one, 1.0 - 2e-15);
  EXPECT_GT(one, 1.0 - 5e-15);
}

TEST(DivideVector, ZeroDivisorClearsTheVector) {
  std::vector<double> values = {4.0, -8.0, 1.0};
  DivideVector(values.data(), 3, 4.0);
  EXPECT_EQ(values, (std::vector<double>{1.0, -2.0, 0.25}));
  DivideVector(values.data(), 3, 0.0);
  EXPECT_EQ(values, (std::vector<double>{0.0, 0.0, 0.0}));
  DivideVector(nullptr, 0, 0.0);
}

// Complex products per bin, computed through std::complex.
std::vector<double> ProductByComplex(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = a.size();
  std::vector<double> out(n);
  out[0] = a[0] * b[0];
  for (std::size_t k = 1; 2 * k < n; ++k) {
    const std::complex<double> p =
        std::complex<double>(a[k], a[n - k]) * std::complex<double>(b[k], b[n - k]);
    out[k] = p.real();
    out[n - k] = p.imag();
  }
  if (n % 2 == 0) out[n / 2] = a[n / 2] * b[n / 2];
  return out;
}

TEST(MultiplySpectra, ComplexProductPerBinEvenWithAliasing) {
  for (const std::int32_t n : {1, 2, 5, 8, 9}) {
    const std::vector<double> a = RandomSignal(n, 11);
    const std::vector<double> b = RandomSignal(n, 12);
    const std::vector<double> want = ProductByComplex(a, b);
    std::vector<double> out(a.size());
    MultiplySpectra(a.data(), b.data(), out.data(), n);
    EXPECT_LT(RelativeError(out, want), 1e-15) << n;
    std::vector<double> intoA = a;
    MultiplySpectra(intoA.data(), b.data(), intoA.data(), n);
    EXPECT_EQ(intoA, out) << n;
    std::vector<double> intoB = b;
    MultiplySpectra(a.data(), intoB.data(), intoB.data(), n);
    EXPECT_EQ(intoB, out) << n;
  }
}

TEST(MultiplySpectra, InverseOfProductIsCircularConvolutionOverRootN) {
  for (const std::int32_t n : {12, 15, 2560}) {
    const std::vector<double> x = RandomSignal(n, 21);
    const std::vector<double> y = RandomSignal(n, 22);
    std::vector<double> product(x.size());
    MultiplySpectra(Transform(x, kFftForward, false, nullptr).data(),
                    Transform(y, kFftForward, false, nullptr).data(), product.data(), n);
    const std::vector<double> got = Transform(product, kFftInverse, false, nullptr);

    std::vector<double> want(x.size());
    const double scale = 1.0 / std::sqrt(static_cast<double>(n));
    for (std::int32_t i = 0; i < n; ++i) {
      long double sum = 0.0L;
      for (std::int32_t j = 0; j < n; ++j) sum += static_cast<long double>(x[j]) * y[(i - j + n) % n];
      want[i] = static_cast<double>(sum) * scale;
    }
    EXPECT_LT(RelativeError(got, want), 1e-13) << n;
  }
}

TEST(NextSmoothSize, SmallestLengthWithoutLargePrimes) {
  EXPECT_EQ(NextSmoothSize(1), 1);
  EXPECT_EQ(NextSmoothSize(17), 17);
  EXPECT_EQ(NextSmoothSize(19), 20);
  EXPECT_EQ(NextSmoothSize(8228), 8228);
  const std::int32_t asked[] = {8200, 8936, 11912, 16408, 17864, 32808, 35704, 65608, 71416};
  const std::int32_t given[] = {8228, 8960, 11934, 16456, 17875, 32912, 35721, 65610, 71442};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(NextSmoothSize(asked[i]), given[i]) << asked[i];
  EXPECT_EQ(NextSmoothSize(0), 1);
  EXPECT_EQ(NextSmoothSize(-7), 1);
  EXPECT_EQ(NextSmoothSize(1 << 30), 1 << 30);
  // 2^31 - 1 is prime and nothing above it fits.
  EXPECT_EQ(NextSmoothSize(std::numeric_limits<std::int32_t>::max()), -1);
}

std::vector<double> FadeWeights(std::int32_t n, std::int32_t fadeOut) {
  std::vector<double> weights(static_cast<std::size_t>(n), 1.0);
  ApplyCosineFade(weights.data(), n, fadeOut);
  return weights;
}

TEST(ApplyCosineFade, EndsAndComplementarity) {
  EXPECT_EQ(FadeWeights(1, 1), std::vector<double>{1.0});
  EXPECT_EQ(FadeWeights(1, 0), std::vector<double>{0.0});

  const std::vector<double> out2 = FadeWeights(2, 1);
  const std::vector<double> in2 = FadeWeights(2, 0);
  EXPECT_EQ(out2[0], 1.0);
  EXPECT_EQ(in2[0], 0.0);
  // Single-precision pi: the far end is about 1.9e-15 from 0 and 1, not 0.
  EXPECT_GT(out2[1], 1e-15);
  EXPECT_LT(out2[1], 3e-15);
  EXPECT_NEAR(in2[1], 1.0, 3e-15);

  const std::int32_t n = 1536;
  const std::vector<double> out = FadeWeights(n, 1);
  const std::vector<double> in = FadeWeights(n, 2);  // any nonzero flag fades out
  const std::vector<double> up = FadeWeights(n, 0);
  EXPECT_EQ(in, out);
  for (std::int32_t i = 0; i < n; ++i) {
    EXPECT_NEAR(out[i] + up[i], 1.0, 2e-16) << i;
    if (i > 0) {
      EXPECT_LE(out[i], out[i - 1]) << i;
    }
  }
  FadeWeights(0, 1);
}

TEST(GrowZeroed, KeepsThePrefixAndZeroesTheRest) {
  auto* fresh = static_cast<std::int32_t*>(GrowZeroed(nullptr, 0, 5, 4));
  ASSERT_NE(fresh, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fresh[i], 0);
  for (int i = 0; i < 5; ++i) fresh[i] = i + 1;

  auto* grown = static_cast<std::int32_t*>(GrowZeroed(fresh, 5, 9, 4));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ((std::vector<std::int32_t>(grown, grown + 9)),
            (std::vector<std::int32_t>{1, 2, 3, 4, 5, 0, 0, 0, 0}));

  // Shrinking copies only what fits (AddressSanitizer checks the bound).
  auto* shrunk = static_cast<std::int32_t*>(GrowZeroed(grown, 9, 2, 4));
  ASSERT_NE(shrunk, nullptr);
  EXPECT_EQ(shrunk[0], 1);
  EXPECT_EQ(shrunk[1], 2);

  void* empty = GrowZeroed(shrunk, 2, -3, 4);
  EXPECT_NE(empty, nullptr);
  std::free(empty);
}

}  // namespace
}  // namespace tarvel
