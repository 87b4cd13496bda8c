#include "dsp/DspHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarvel {

void ApplyBlackmanWindow(double* values, std::int32_t n) {
  // 2 pi and 4 pi as single-precision values: the filter responses are
  // defined with these exact weights.
  constexpr double kTwoPiF = 6.2831854820251465;
  constexpr double kFourPiF = 12.566370964050293;
  const double d = static_cast<double>(n) + 1.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double k = static_cast<double>(i) + 1.0;
    const double c1 = std::cos((k * kTwoPiF) / d);
    const double c2 = std::cos((k * kFourPiF) / d);
    const double w = (0.42 - c1 * 0.5) + c2 * 0.08;
    values[i] = w * values[i];
  }
}

void DivideVector(double* values, std::int32_t n, double x) {
  const double factor = x != 0.0 ? 1.0 / x : 0.0;
  for (std::int32_t i = 0; i < n; ++i) values[i] *= factor;
}

void MultiplySpectra(const double* a, const double* b, double* out, std::int32_t n) {
  if (n < 1) return;
  out[0] = a[0] * b[0];
  const std::int32_t m = n / 2 + n % 2;
  for (std::int32_t k = 1; k < m; ++k) {
    // Read both slots of the bin before writing: out may alias a or b.
    const double ar = a[k];
    const double ai = a[n - k];
    const double br = b[k];
    const double bi = b[n - k];
    out[k] = br * ar - bi * ai;
    out[n - k] = br * ai + bi * ar;
  }
  if (n % 2 == 0) out[n / 2] = a[n / 2] * b[n / 2];
}

std::int32_t NextSmoothSize(std::int32_t n) {
  constexpr std::int64_t kPrimes[] = {2, 3, 5, 7, 11, 13, 17};
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  for (std::int64_t m = std::max<std::int32_t>(n, 1); m <= kLargest; ++m) {
    std::int64_t rest = m;
    for (const std::int64_t p : kPrimes) {
      while (rest % p == 0) rest /= p;
    }
    if (rest == 1) return static_cast<std::int32_t>(m);
  }
  return -1;
}

void ApplyCosineFade(double* values, std::int32_t n, std::int32_t fadeOut) {
  // pi as a single-precision value, so the end weights are about 1.9e-15
  // away from 0 and 1; the two fades still sum to 1 at every index.
  constexpr double kPiF = 3.1415927410125732;
  if (n == 1) {
    values[0] = (fadeOut != 0 ? 1.0 : 0.0) * values[0];
    return;
  }
  const double d = static_cast<double>(n) - 1.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double c = std::cos((static_cast<double>(i) * kPiF) / d);
    const double w = fadeOut != 0 ? c * 0.5 + 0.5 : 0.5 - c * 0.5;
    values[i] = w * values[i];
  }
}

void* GrowZeroed(void* buffer, std::int32_t oldCount, std::int32_t newCount,
                 std::int32_t elementSize) {
  const std::size_t size = static_cast<std::size_t>(std::max<std::int32_t>(elementSize, 0));
  const std::size_t newElements = static_cast<std::size_t>(std::max<std::int32_t>(newCount, 0));
  const std::size_t kept =
      std::min(static_cast<std::size_t>(std::max<std::int32_t>(oldCount, 0)), newElements);
  // At least one byte, so a successful call never returns null.
  void* block = std::calloc(std::max<std::size_t>(newElements * size, 1), 1);
  if (block == nullptr) return nullptr;
  if (buffer != nullptr) {
    std::memcpy(block, buffer, kept * size);
    std::free(buffer);
  }
  return block;
}

}  // namespace tarvel
