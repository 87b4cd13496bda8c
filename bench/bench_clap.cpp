// The CLAP edition against the VST 2.4 module in the same run: both built
// files loaded the way hosts load them, the same stereo noise at 44.1 kHz
// with one band at -6 dB, calls of 64, 512 and 2048 frames (VST 2.4
// processReplacing / processDoubleReplacing, CLAP process with 32 / 64-bit
// buffers). Rounds alternate between the two so that both see the same
// machine load; each figure is the median round's thread CPU time per
// stereo frame, and the ratio is CLAP over VST 2.4.
//
// usage: bench_clap [rounds]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/PlainTiming.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/hostclap/ClapInstance.h"

namespace {

using namespace tarvel;

constexpr int kFramesPerRound = 1 << 20;
constexpr double kRate = 44100.0;

using bench::kNoiseFrames;
using bench::Median;
using bench::Noise;
using bench::ThreadSeconds;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("bench_clap", what); }

// One round of calls of `frames` through run(in, out), nanoseconds per frame.
template <typename Sample, typename Run>
double Round(const std::vector<Sample>& left, const std::vector<Sample>& right, int frames, std::size_t& position,
             Run run) {
  std::vector<Sample> outLeft(frames), outRight(frames);
  Sample* out[2] = {outLeft.data(), outRight.data()};
  const int calls = kFramesPerRound / frames;
  const double start = ThreadSeconds();
  for (int call = 0; call < calls; ++call) {
    Sample* in[2] = {const_cast<Sample*>(left.data()) + position, const_cast<Sample*>(right.data()) + position};
    run(in, out);
    position = (position + frames) % (kNoiseFrames - frames);
  }
  return (ThreadSeconds() - start) * 1e9 / (static_cast<double>(calls) * frames);
}

std::unique_ptr<PluginInstance> MakeVst2(const std::shared_ptr<const PluginLibrary>& library, int frames) {
  std::string error;
  auto vst2 = PluginInstance::Create(library, {}, error);
  if (!vst2) Fail(error);
  vst2->SetSampleRate(kRate);
  vst2->SetBlockSize(frames);
  vst2->Resume();
  vst2->SetParameterText(1, "-6");
  return vst2;
}

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
  std::vector<double> times2, timesClap;
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
  for (int r = 0; r < rounds; ++r) {
    // Fresh instances each round, made in either order: how the heap places
    // an instance's buffers moves its speed by several per cent, so each
    // figure is taken over many placements.
    std::unique_ptr<PluginInstance> vst2;
    std::unique_ptr<hostclap::ClapInstance> clap;
    if (r % 2 == 0) {
      vst2 = MakeVst2(library, frames);
      clap = MakeClap(module, frames);
    } else {
      clap = MakeClap(module, frames);
      vst2 = MakeVst2(library, frames);
    }
    AEffect& effect = vst2->Effect();
    const clap_plugin_t* plugin = &clap->Plugin();
    const auto runVst2 = [&] {
      times2.push_back(Round(left, right, frames, position2, [&](Sample** in, Sample** out) {
        if constexpr (kWide)
          effect.processDoubleReplacing(&effect, in, out, frames);
        else
          effect.processReplacing(&effect, in, out, frames);
      }));
    };
    const auto runClap = [&] {
      timesClap.push_back(Round(left, right, frames, positionClap, [&](Sample** in, Sample** out) {
        if constexpr (kWide) {
          inBuffer.data64 = in;
          outBuffer.data64 = out;
        } else {
          inBuffer.data32 = in;
          outBuffer.data32 = out;
        }
        plugin->process(plugin, &process);
        process.steady_time += frames;
      }));
    };
    // Each goes first in every other round.
    if (r % 2 == 0) {
      runVst2();
      runClap();
    } else {
      runClap();
      runVst2();
    }
  }
  const double t2 = Median(times2), tClap = Median(timesClap);
  std::printf("%d-bit, %4d-frame calls: VST 2.4 %.2f ns, CLAP %.2f ns per stereo frame; CLAP / VST 2.4 = %.3f\n",
              kWide ? 64 : 32, frames, t2, tClap, tClap / t2);
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
