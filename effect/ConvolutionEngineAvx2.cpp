// Built with AVX2 and FMA (see effect/CMakeLists.txt): nothing here may run on
// a processor without them, so the test for them is in ConvolutionEngine.cpp.

#include "effect/ConvolutionEngineAvx2.h"

#include <immintrin.h>

namespace tarvel {
namespace {

// Two bins of x times the same two of h (four doubles each).
__m256d Product(__m256d x, const double* form) {
  const __m256d h = _mm256_loadu_pd(form);
  const __m256d swapped = _mm256_permute_pd(x, 0x5);
  return _mm256_fmaddsub_pd(x, _mm256_movedup_pd(h), _mm256_mul_pd(swapped, _mm256_permute_pd(h, 0xF)));
}

}  // namespace

std::int32_t CollectAvx2(const double* left, const double* right, double* frames, std::int32_t count,
                         bool nonzero[2]) {
  const __m256d zero = _mm256_setzero_pd();
  __m256d leftSeen = zero, rightSeen = zero;
  std::int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d l = _mm256_loadu_pd(left + i), r = _mm256_loadu_pd(right + i);
    // (l0 r0 l2 r2) and (l1 r1 l3 r3), then their halves in frame order.
    const __m256d even = _mm256_unpacklo_pd(l, r), odd = _mm256_unpackhi_pd(l, r);
    _mm256_storeu_pd(frames + 2 * i, _mm256_permute2f128_pd(even, odd, 0x20));
    _mm256_storeu_pd(frames + 2 * i + 4, _mm256_permute2f128_pd(even, odd, 0x31));
    // Unordered not-equal: NaN is not zero.
    leftSeen = _mm256_or_pd(leftSeen, _mm256_cmp_pd(l, zero, _CMP_NEQ_UQ));
    rightSeen = _mm256_or_pd(rightSeen, _mm256_cmp_pd(r, zero, _CMP_NEQ_UQ));
  }
  nonzero[0] |= _mm256_movemask_pd(leftSeen) != 0;
  nonzero[1] |= _mm256_movemask_pd(rightSeen) != 0;
  return i;
}

std::int32_t SplitAvx2(const double* frames, double* left, double* right, std::int32_t count) {
  std::int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d a = _mm256_loadu_pd(frames + 2 * i), b = _mm256_loadu_pd(frames + 2 * i + 4);
    // (l0 r0 l2 r2) and (l1 r1 l3 r3), then each channel's four in order.
    const __m256d even = _mm256_permute2f128_pd(a, b, 0x20), odd = _mm256_permute2f128_pd(a, b, 0x31);
    _mm256_storeu_pd(left + i, _mm256_unpacklo_pd(even, odd));
    _mm256_storeu_pd(right + i, _mm256_unpackhi_pd(even, odd));
  }
  return i;
}

std::int32_t AddAvx2(double* sum, const double* addend, std::int32_t count) {
  std::int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    _mm256_storeu_pd(sum + i, _mm256_add_pd(_mm256_loadu_pd(sum + i), _mm256_loadu_pd(addend + i)));
  }
  return i;
}

std::int32_t MultiplyAvx2(double* x, const double* form, std::int32_t bins) {
  std::int32_t k = 0;
  for (; k + 2 <= bins; k += 2) _mm256_storeu_pd(x + 2 * k, Product(_mm256_loadu_pd(x + 2 * k), form + 2 * k));
  return k;
}

std::int32_t MultiplyAddAvx2(double* sum, const double* x, const double* form, std::int32_t bins) {
  std::int32_t k = 0;
  for (; k + 2 <= bins; k += 2) {
    const __m256d product = Product(_mm256_loadu_pd(x + 2 * k), form + 2 * k);
    _mm256_storeu_pd(sum + 2 * k, _mm256_add_pd(_mm256_loadu_pd(sum + 2 * k), product));
  }
  return k;
}

}  // namespace tarvel
