#pragma once
// The VST 2.4 module as the plain timing programs (bench_vst3, bench_clap)
// race it: made afresh at 44.1 kHz with the 250 Hz band at -6 dB, and one
// round of its calls, the way hosts call processReplacing /
// processDoubleReplacing.

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "bench/PlainTiming.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace tarvel::bench {

inline constexpr double kRate = 44100.0;

// Fails the program when the module builds no instance.
inline std::unique_ptr<PluginInstance> MakeVst2(const std::shared_ptr<const PluginLibrary>& library, int frames,
                                                const char* program) {
  std::string error;
  auto vst2 = PluginInstance::Create(library, {}, error);
  if (!vst2) Fail(program, error);
  vst2->SetSampleRate(kRate);
  vst2->SetBlockSize(frames);
  vst2->Resume();
  vst2->SetParameterText(1, "-6");
  return vst2;
}

template <typename Sample>
double TimeVst2(PluginInstance& vst2, const std::vector<Sample>& left, const std::vector<Sample>& right, int frames,
                int calls, std::size_t& position) {
  AEffect& effect = vst2.Effect();
  return TimeCalls(left, right, frames, calls, position, [&](Sample** in, Sample** out) {
    if constexpr (std::is_same_v<Sample, double>)
      effect.processDoubleReplacing(&effect, in, out, frames);
    else
      effect.processReplacing(&effect, in, out, frames);
  });
}

}  // namespace tarvel::bench
