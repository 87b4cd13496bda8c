// The real FFT against FFTW's R2HC and HC2R transforms (the same half-complex
// order, unscaled) at every small length and at every length the kernel design
// and the engine use, on both targets (the plug-in's own copy of FFTW).

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "FftTestSupport.h"
#include "dsp/RealFft.h"

namespace tarvel {
namespace {

using test::CacheArrays;
using test::RandomSignal;
using test::RelativeError;
using test::Transform;

// FFTW's transform of x, scaled by 1/sqrt(n) to match ours.
std::vector<double> Fftw(std::vector<double> x, fftw_r2r_kind kind) {
  const auto n = static_cast<int>(x.size());
  std::vector<double> out(x.size());
  fftw_plan plan = fftw_plan_r2r_1d(n, x.data(), out.data(), kind, FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  const double scale = 1.0 / std::sqrt(static_cast<double>(n));
  for (double& v : out) v *= scale;
  return out;
}

class FftAgainstFftw : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(FftAgainstFftw, BothDirectionsEveryCallForm) {
  const std::int32_t n = GetParam();
  const std::vector<double> x = RandomSignal(n, 7 * n + 1);
  const std::vector<double> spectrum = Fftw(x, FFTW_R2HC);
  const std::vector<double> samples = Fftw(x, FFTW_HC2R);
  CacheArrays arrays(n);
  for (const bool cached : {false, true}) {
    for (const bool inPlace : {false, true}) {
      FftCache* cache = cached ? &arrays.cache : nullptr;
      SCOPED_TRACE(testing::Message() << "n " << n << " cached " << cached << " in place "
                                      << inPlace);
      EXPECT_LT(RelativeError(Transform(x, kFftForward, inPlace, cache), spectrum), 1e-13);
      EXPECT_LT(RelativeError(Transform(x, kFftInverse, inPlace, cache), samples), 1e-13);
    }
  }
}

std::vector<std::int32_t> Lengths() {
  std::vector<std::int32_t> lengths;
  for (std::int32_t n = 1; n <= 64; ++n) lengths.push_back(n);
  for (const std::int32_t n : {1001, 2560, 3072, 4096, 5120, 6144, 8228, 8960, 10240, 11934,
                               12800, 16456, 17875, 20480, 25600, 32912, 35721, 65610, 71442}) {
    lengths.push_back(n);
  }
  return lengths;
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftAgainstFftw, ::testing::ValuesIn(Lengths()));

}  // namespace
}  // namespace tarvel
