// The CLAP edition against the VST 2.4 module in the same run: both built
// files loaded the way hosts load them, the same stereo noise at 44.1 kHz
// with one band at -6 dB, calls of 64, 512 and 2048 frames (VST 2.4
// processReplacing / processDoubleReplacing, CLAP process with 32 / 64-bit
// buffers). Rounds alternate between the two, each with fresh instances
// (bench/PlainTiming.h); each figure is the median round's thread CPU time
// per stereo frame, and the ratio is CLAP over VST 2.4.
//
// usage: bench_clap [rounds]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/PlainTiming.h"
#include "bench/Vst2Reference.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/hostclap/ClapInstance.h"

namespace {

using namespace tarvel;

constexpr int kFramesPerRound = 1 << 20;

using bench::AlternateRounds;
using bench::kRate;
using bench::Noise;
using bench::TimeCalls;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("bench_clap", what); }

std::unique_ptr<hostclap::ClapInstance> MakeClap(const std::shared_ptr<const hostclap::ClapModule>& module,
                                                 int frames) {
  std::string error;
  auto clap = hostclap::ClapInstance::Create(module, error);
  if (!clap) Fail(error);
  hostclap::EventList setting;
  setting.Add(1, 0, -6.0);
  clap->Params().flush(&clap->Plugin(), setting.List(), nullptr);
  if (!clap->Activate(kRate, static_cast<std::uint32_t>(frames))) Fail("CLAP activation refused");
  return clap;
}

template <typename Sample>
void Compare(const std::shared_ptr<const PluginLibrary>& library,
             const std::shared_ptr<const hostclap::ClapModule>& module, int frames, int rounds) {
  constexpr bool kWide = std::is_same_v<Sample, double>;
  const std::vector<Sample> left = Noise<Sample>(1), right = Noise<Sample>(2);
  std::size_t position2 = 0, positionClap = 0;
  const int calls = kFramesPerRound / frames;
  // The call as a host keeps it between calls: only the buffers change.
  hostclap::EventList none;
  const clap_output_events_t noOutput = {nullptr, [](const clap_output_events_t*, const clap_event_header_t*) {
                                           return true;
                                         }};
  clap_audio_buffer_t inBuffer{}, outBuffer{};
  inBuffer.channel_count = outBuffer.channel_count = 2;
  clap_process_t process{};
  process.frames_count = static_cast<std::uint32_t>(frames);
  process.audio_inputs = &inBuffer;
  process.audio_outputs = &outBuffer;
  process.audio_inputs_count = process.audio_outputs_count = 1;
  process.in_events = none.List();
  process.out_events = &noOutput;
  const auto timeVst2 = [&](PluginInstance& vst2) {
    return bench::TimeVst2(vst2, left, right, frames, calls, position2);
  };
  const auto timeClap = [&](hostclap::ClapInstance& clap) {
    const clap_plugin_t* plugin = &clap.Plugin();
    return TimeCalls(left, right, frames, calls, positionClap, [&](Sample** in, Sample** out) {
      if constexpr (kWide) {
        inBuffer.data64 = in;
        outBuffer.data64 = out;
      } else {
        inBuffer.data32 = in;
        outBuffer.data32 = out;
      }
      plugin->process(plugin, &process);
      process.steady_time += frames;
    });
  };
  const auto [t2, tClap] = AlternateRounds(
      rounds, [&] { return bench::MakeVst2(library, frames, "bench_clap"); }, timeVst2,
      [&] { return MakeClap(module, frames); }, timeClap);
  std::printf("%d-bit, %4d-frame calls: VST 2.4 %.2f ns, CLAP %.2f ns per stereo frame; CLAP / VST 2.4 = %.3f\n",
              kWide ? 64 : 32, frames, t2 * 1e9, tClap * 1e9, tClap / t2);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  std::string error;
  auto library = PluginLibrary::Open(TARVEL_PLUGIN_FILE, error);
  if (!library) Fail(std::string(TARVEL_PLUGIN_FILE) + ": " + error);
  auto module = hostclap::ClapModule::Open(TARVEL_CLAP_FILE, error);
  if (!module) Fail(std::string(TARVEL_CLAP_FILE) + ": " + error);
  for (int frames : {64, 512, 2048}) {
    Compare<float>(library, module, frames, rounds);
    Compare<double>(library, module, frames, rounds);
  }
  return 0;
}
