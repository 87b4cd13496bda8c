#pragma once
// Slow, independent references for the equaliser tests: a direct inverse DFT
// and a direct convolution, written without the code under test.

#include <cmath>
#include <cstdint>
#include <vector>

#include "effect/KernelDesign.h"

namespace tarvel::test {

// The first `taps` samples of the kernel that a spectrum in half-complex order
// applies through the engine (forward, product, inverse: both transforms scale
// by 1/sqrt(N), so the kernel is the plain inverse DFT divided by N).
inline std::vector<double> KernelOfSpectrum(const std::vector<double>& spectrum, std::int32_t taps) {
  const auto n = static_cast<std::int32_t>(spectrum.size());
  const double step = 2.0 * 3.14159265358979323846 / n;
  std::vector<double> cosine(n), sine(n);
  for (std::int32_t i = 0; i < n; ++i) {
    cosine[i] = std::cos(step * i);
    sine[i] = std::sin(step * i);
  }
  std::vector<double> kernel(taps);
  for (std::int32_t t = 0; t < taps; ++t) {
    double sum = spectrum[0];
    if (n % 2 == 0) sum += spectrum[n / 2] * (t % 2 ? -1.0 : 1.0);
    const double* re = spectrum.data();
    const double* c = cosine.data();
    const double* s = sine.data();
    double bins = 0.0;
    for (std::int32_t k = 1, phase = t; k <= (n - 1) / 2; ++k) {
      bins += re[k] * c[phase] - re[n - k] * s[phase];
      phase += t;
      if (phase >= n) phase -= n;
    }
    kernel[t] = (sum + 2.0 * bins) / n;
  }
  return kernel;
}

// The mixed kernel of the design at this rate for these gains, K taps.
inline std::vector<double> MixedKernel(double rate, const BandGains& gains) {
  const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
  const std::int32_t n = TransformLengthForRate(static_cast<std::int32_t>(rate));
  std::vector<double> mixed(n);
  MixBandKernels(DesignBandKernels(k, n, rate), mixed, gains);
  return KernelOfSpectrum(mixed, k);
}

// Magnitude in dB of a kernel's response at frequency f.
inline double ResponseDb(const std::vector<double>& kernel, double f, double rate) {
  double re = 0.0, im = 0.0;
  for (std::size_t j = 0; j < kernel.size(); ++j) {
    const double w = 2.0 * 3.14159265358979323846 * f * static_cast<double>(j) / rate;
    re += kernel[j] * std::cos(w);
    im -= kernel[j] * std::sin(w);
  }
  return 20.0 * std::log10(std::hypot(re, im));
}

}  // namespace tarvel::test
