// The engine's complex transforms against a direct DFT, their sharing per
// length, and which wisdom they take. Runs on both targets.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "FftTestSupport.h"
#include "dsp/ComplexFft.h"

namespace tarvel {
namespace {

using Values = std::vector<std::complex<double>>;

Values DirectDft(const Values& x, double sign) {
  const auto n = static_cast<std::int64_t>(x.size());
  Values out(x.size());
  for (std::int64_t k = 0; k < n; ++k) {
    std::complex<double> sum = 0.0;
    for (std::int64_t t = 0; t < n; ++t) {
      sum += x[t] * std::polar(1.0, sign * 2.0 * 3.14159265358979323846 * double(k * t % n) / double(n));
    }
    out[k] = sum;
  }
  return out;
}

double MaxError(const double* got, const Values& want) {
  double worst = 0.0, scale = 1.0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    worst = std::max(worst, std::abs(std::complex<double>(got[2 * i], got[2 * i + 1]) - want[i]));
    scale = std::max(scale, std::abs(want[i]));
  }
  return worst / scale;
}

TEST(ComplexFft, SharedPerLengthAndBothDirectionsMatchADirectDft) {
  EXPECT_EQ(ComplexFft::Shared(0), nullptr);
  EXPECT_EQ(ComplexFft::Shared(-3), nullptr);
  for (const std::int32_t n : {1, 7, 12, 2560}) {
    SCOPED_TRACE(n);
    const auto fft = ComplexFft::Shared(n);
    ASSERT_NE(fft, nullptr);
    EXPECT_EQ(fft, ComplexFft::Shared(n));
    EXPECT_EQ(fft->Length(), n);
    const std::vector<double> parts = test::RandomSignal(2 * n, n);
    Values x(n);
    ComplexBuffer in(n), out(n);
    for (std::int32_t i = 0; i < n; ++i) {
      x[i] = {parts[2 * i], parts[2 * i + 1]};
      in.data()[2 * i] = parts[2 * i];
      in.data()[2 * i + 1] = parts[2 * i + 1];
    }
    fft->Forward(in.data(), out.data());
    EXPECT_LT(MaxError(out.data(), DirectDft(x, -1.0)), 1e-13);
    EXPECT_LT(MaxError(in.data(), x), 1e-300);  // the input is left alone
    fft->Inverse(in.data(), out.data());
    EXPECT_LT(MaxError(out.data(), DirectDft(x, 1.0)), 1e-13);
  }
}

// The class chooser against FFTW's own tests: each class needs its feature
// bits and the register states the system saves; the classes nest.
TEST(FftSimd, ClassFollowsTheFeaturesAndTheSavedRegisterStates) {
  const auto features = [](bool avx, bool fma, bool avx2, bool avx512f, std::uint64_t xcr0) {
    return CpuVectorFeatures{xcr0 != 0, avx, fma, avx2, avx512f, xcr0};
  };
  const struct {
    CpuVectorFeatures features;
    FftSimd simd;
  } cases[] = {
      {features(false, false, false, false, 0), FftSimd::kSse2},
      {features(true, true, true, true, 0), FftSimd::kSse2},      // no XGETBV: no AVX state saved
      {features(true, false, false, false, 0x2), FftSimd::kSse2},  // XMM but not YMM saved
      {features(true, false, false, false, 0x6), FftSimd::kAvx},
      {features(true, false, true, false, 0x6), FftSimd::kAvx},  // AVX2 without FMA
      {features(true, true, true, false, 0x7), FftSimd::kAvx2},
      {features(true, true, true, true, 0x7), FftSimd::kAvx2},  // ZMM state not saved
      {features(true, true, true, true, 0xE7), FftSimd::kAvx512},
      {features(true, true, false, true, 0xE7), FftSimd::kAvx},  // AVX-512 alone is no class of its own
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FftSimdFor(c.features), c.simd) << FftSimdName(c.simd);
  }
  const CpuVectorFeatures here = ReadCpuVectorFeatures();
  __builtin_cpu_init();
  EXPECT_EQ(here.avx2, __builtin_cpu_supports("avx2") != 0);
  EXPECT_EQ(here.fma, __builtin_cpu_supports("fma") != 0);
  EXPECT_EQ(here.avx512f, __builtin_cpu_supports("avx512f") != 0);
}

// Measured wisdom comes back as plans; text FFTW refuses is not taken; the
// class cannot rise above the processor's or change once the planner runs.
TEST(FftWisdom, MeasuredPlansReturnAndTheClassStaysPut) {
  // A measured plan is kept only where it beats the estimate in a timing
  // race, which the estimate of so short a transform can win: measure again
  // until the text holds an entry besides its signature.
  const FftWisdomRequest requests[] = {{16, false}};
  std::string wisdom;
  for (int attempt = 0; attempt < 8 && wisdom.find("\n  (") == std::string::npos; ++attempt) {
    wisdom = MeasureFftWisdom(requests);
  }
  ASSERT_NE(wisdom.find("\n  ("), std::string::npos) << wisdom;
  EXPECT_FALSE(ImportFftWisdom("(not wisdom"));
  EXPECT_FALSE(ImportFftWisdom(""));
  EXPECT_FALSE(ImportFftWisdom(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(ImportFftWisdom(wisdom.c_str()));
  EXPECT_NE(ComplexFft::FromWisdom(16), nullptr);
  EXPECT_EQ(ComplexFft::FromWisdom(17), nullptr);

  const FftSimd own = FftSimdFor(ReadCpuVectorFeatures());
  EXPECT_EQ(ActiveFftSimd(), own);
  if (own != FftSimd::kAvx512) {
    EXPECT_FALSE(RestrictFftSimd(static_cast<FftSimd>(static_cast<std::int32_t>(own) + 1)));
  }
  EXPECT_TRUE(RestrictFftSimd(own));
  if (own != FftSimd::kSse2) {
    EXPECT_FALSE(RestrictFftSimd(FftSimd::kSse2));
  }
  EXPECT_EQ(ActiveFftSimd(), own);
}

}  // namespace
}  // namespace tarvel
