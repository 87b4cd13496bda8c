#pragma once
// The built CLAP module (TARVEL_CLAP_FILE, from the build) as the tests load
// it: the module once per program, instances of it through the test host;
// and a process call over one stereo bus used in place, for the tests that
// drive a plug-in directly.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "tests/support/OpenOnce.h"
#include "tools/hostclap/ClapInstance.h"
#include "tools/hostclap/ClapModule.h"

namespace tarvel::hostclap {

#ifdef TARVEL_CLAP_FILE  // programs that load the built module (tarvel_use_modules CLAP)
inline std::shared_ptr<const ClapModule> Module() { return test::OpenOnce<ClapModule>(TARVEL_CLAP_FILE); }

// A new instance; fails the test when the module or its factory refuses.
inline std::unique_ptr<ClapInstance> NewClap(ClapInstance::Options options = {}) {
  if (!Module()) return nullptr;
  std::string error;
  auto instance = ClapInstance::Create(Module(), error, options);
  if (!instance) ADD_FAILURE() << error;
  return instance;
}
#endif

// A call of `frames` frames whose input and output are the same two
// channels. Not copyable: the call points at its own bus.
template <typename Sample>
struct InPlaceCall {
  InPlaceCall(Sample* const (&channels)[2], std::uint32_t frames, const clap_input_events_t* in = nullptr,
              const clap_output_events_t* out = nullptr) {
    if constexpr (std::is_same_v<Sample, float>)
      bus.data32 = const_cast<float**>(channels);
    else
      bus.data64 = const_cast<double**>(channels);
    bus.channel_count = 2;
    process.frames_count = frames;
    process.audio_inputs = &bus;
    process.audio_outputs = &bus;
    process.audio_inputs_count = process.audio_outputs_count = 1;
    process.in_events = in;
    process.out_events = out;
  }
  InPlaceCall(const InPlaceCall&) = delete;
  InPlaceCall& operator=(const InPlaceCall&) = delete;

  clap_audio_buffer_t bus{};
  clap_process_t process{};
};

}  // namespace tarvel::hostclap
