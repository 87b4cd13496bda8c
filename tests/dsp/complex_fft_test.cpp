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

// Wisdom is taken only on a processor with the features it was measured with.
TEST(FftWisdom, TakenOnlyWithTheSameFeaturesAndValidText) {
  const FftWisdomRequest requests[] = {{16, false}};
  const std::string wisdom = MeasureFftWisdom(requests);
  ASSERT_FALSE(wisdom.empty());
  EXPECT_FALSE(ImportFftWisdom(FftCpuFeatures() + " more", wisdom.c_str()));
  EXPECT_FALSE(ImportFftWisdom(FftCpuFeatures(), "(not wisdom"));
  EXPECT_FALSE(ImportFftWisdom(FftCpuFeatures(), nullptr));
  EXPECT_TRUE(ImportFftWisdom(FftCpuFeatures(), wisdom.c_str()));
  EXPECT_NE(FftCpuFeatures().find("sse2"), std::string::npos);
}

}  // namespace
}  // namespace tarvel
