#pragma once
// One Tarvel instance built through the entry, shared by every input of a
// fuzzing run (building one costs a kernel design), with the check every
// input must leave true: each parameter finite and inside its range.

#include <cmath>
#include <cstdlib>

#include "effect/Tarvel.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace tarvel::fuzz {

inline AEffect* Effect() {
  static AEffect* const effect = [] {
    AEffect* built = VSTPluginMain(nullptr);
    if (!built) std::abort();
    built->dispatcher(built, effOpen, 0, 0, nullptr, 0.0f);
    return built;
  }();
  return effect;
}

inline Tarvel& Plug() { return dynamic_cast<Tarvel&>(static_cast<IPlugVST*>(Effect()->object)->Plug()); }

// Aborts (a finding) unless every parameter is finite and within its range,
// in real units and as the host reads it.
inline void CheckParameters() {
  for (int i = 0; i < Plug().ParameterCount(); ++i) {
    const Parameter& parameter = *Plug().GetParameter(i);
    const double value = parameter.Value();
    if (!std::isfinite(value) || value < parameter.Min() || value > parameter.Max()) std::abort();
    const float normalized = Effect()->getParameter(Effect(), i);
    if (!(normalized >= 0.0f && normalized <= 1.0f)) std::abort();
  }
}

}  // namespace tarvel::fuzz
