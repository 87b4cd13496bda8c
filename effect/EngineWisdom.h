#pragma once
// The engine's measured plans, compiled in from effect/wisdom/*.wisdom: one
// FFTW wisdom text per vector class, for the transform lengths of the sample
// rates in EngineWisdomRates (patient plans for the first two).

#include <cstdint>

#include "dsp/ComplexFft.h"

namespace tarvel {

extern const FftWisdomTexts kEngineWisdom;

inline constexpr std::int32_t kEngineWisdomRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
inline constexpr std::int32_t kPatientWisdomRates = 2;

}  // namespace tarvel
