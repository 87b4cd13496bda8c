// The spectral product with AVX2 and FMA (built with them, see
// effect/CMakeLists.txt): nothing here may run on a processor without them,
// so the test for them is in ConvolutionEngine.cpp.

#include <immintrin.h>

#include "effect/ConvolutionEngineProduct.h"

namespace tarvel {
namespace {

// Two bins of x times the same two of h (four doubles each).
__m256d Product(__m256d x, const double* form) {
  const __m256d h = _mm256_loadu_pd(form);
  const __m256d swapped = _mm256_permute_pd(x, 0x5);
  return _mm256_fmaddsub_pd(x, _mm256_movedup_pd(h), _mm256_mul_pd(swapped, _mm256_permute_pd(h, 0xF)));
}

}  // namespace

std::int32_t MultiplyAvx2(double* x, const double* form, std::int32_t pairs) {
  for (std::int32_t g = 0; g < pairs; ++g) {
    _mm256_storeu_pd(x + 4 * g, Product(_mm256_loadu_pd(x + 4 * g), form + 4 * g));
  }
  return pairs;
}

std::int32_t MultiplyAddAvx2(double* sum, const double* x, const double* form, std::int32_t pairs) {
  for (std::int32_t g = 0; g < pairs; ++g) {
    const __m256d product = Product(_mm256_loadu_pd(x + 4 * g), form + 4 * g);
    _mm256_storeu_pd(sum + 4 * g, _mm256_add_pd(_mm256_loadu_pd(sum + 4 * g), product));
  }
  return pairs;
}

}  // namespace tarvel
