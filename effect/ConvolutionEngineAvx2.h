#pragma once
// The engine's loops over frames and bins with 256-bit vectors, for
// processors with AVX2 and FMA (call them nowhere else). Each does the first
// part of its range in whole vectors and answers how much it did; the engine
// does the rest. Frames and complex values are (left or real, right or
// imaginary) pairs of doubles. Internal to the engine.

#include <cstdint>

namespace tarvel {

// frames[i] = (left[i], right[i]); nonzero[c] becomes true where channel c
// had a sample other than zero (NaN counts). Answers the frames done.
std::int32_t CollectAvx2(const double* left, const double* right, double* frames, std::int32_t count,
                         bool nonzero[2]);
// The reverse: left[i], right[i] from frames[i]. Answers the frames done.
std::int32_t SplitAvx2(const double* frames, double* left, double* right, std::int32_t count);
// sum[i] += addend[i] over count doubles. Answers the doubles done.
std::int32_t AddAvx2(double* sum, const double* addend, std::int32_t count);

// The spectral product, x = x * h bin by bin, x and the kernel spectrum h both
// complex (hr, hi) per bin: x * h = x * (hr, hr) +/- swap(x) * (hi, hi),
// subtracted in the real part and added in the imaginary part. Both answer
// the bins done.
std::int32_t MultiplyAvx2(double* x, const double* form, std::int32_t bins);
// sum = sum + x * h.
std::int32_t MultiplyAddAvx2(double* sum, const double* x, const double* form, std::int32_t bins);

}  // namespace tarvel
