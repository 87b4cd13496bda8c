#pragma once
// Window, fade and spectrum helpers used by the kernel design and the engine.
// Spectra are in the half-complex order of RealFft.h.

#include <cstdint>

namespace tarvel {

void ApplyBlackmanWindow(double* values, std::int32_t n);
void DivideVector(double* values, std::int32_t n, double x);
void MultiplySpectra(const double* a, const double* b, double* out, std::int32_t n);
std::int32_t NextSmoothSize(std::int32_t n);
void ApplyCosineFade(double* values, std::int32_t n, std::int32_t fadeOut);
void* GrowZeroed(void* buffer, std::int32_t oldCount, std::int32_t newCount,
                 std::int32_t elementSize);

}  // namespace tarvel
