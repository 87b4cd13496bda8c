#include "effect/PicturePaint.h"

#include <immintrin.h>

namespace tarvel {

namespace {

void RowSse2(std::uint32_t* row, const std::uint32_t* column, std::uint32_t rowTerm, int count) {
  const __m128i term = _mm_set1_epi32(static_cast<int>(rowTerm));
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (int k = 0; k < count; k += 4) {
    const __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + k)), term);
    const __m128i kept = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k)), alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k), _mm_or_si128(_mm_andnot_si128(alpha, sum), kept));
  }
}

__attribute__((target("avx2"))) void RowAvx2(std::uint32_t* row, const std::uint32_t* column,
                                             std::uint32_t rowTerm, int count) {
  const __m256i term = _mm256_set1_epi32(static_cast<int>(rowTerm));
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (int k = 0; k < count; k += 8) {
    const __m256i sum = _mm256_add_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + k)), term);
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + k));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + k), _mm256_blendv_epi8(sum, old, alpha));
  }
}

// Byte-masked stores leave the alpha bytes alone without reading the row.
__attribute__((target("avx512f,avx512bw"))) void RowAvx512(std::uint32_t* row, const std::uint32_t* column,
                                                           std::uint32_t rowTerm, int count) {
  const __m512i term = _mm512_set1_epi32(static_cast<int>(rowTerm));
  constexpr __mmask64 kColourBytes = 0x7777777777777777ull;
  for (int k = 0; k < count; k += 16) {
    const __m512i sum = _mm512_add_epi8(_mm512_loadu_si512(column + k), term);
    _mm512_mask_storeu_epi8(row + k, kColourBytes, sum);
  }
}

}  // namespace

PaintRowFunction PaintRowSse2() { return RowSse2; }

PaintRowFunction PaintRowAvx2() { return __builtin_cpu_supports("avx2") ? RowAvx2 : nullptr; }

PaintRowFunction PaintRowAvx512() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? RowAvx512 : nullptr;
}

PaintRowFunction PaintRow() {
  static const PaintRowFunction chosen = [] {
    if (PaintRowFunction f = PaintRowAvx512()) return f;
    if (PaintRowFunction f = PaintRowAvx2()) return f;
    return PaintRowSse2();
  }();
  return chosen;
}

}  // namespace tarvel
