// The VST3 edition against the VST 2.4 module in the same run: both built
// files loaded the way hosts load them, the same stereo noise at 44.1 kHz
// with one band at -6 dB, 512-frame calls (VST 2.4 processReplacing /
// processDoubleReplacing, VST3 process in 32 / 64-bit). Rounds of 2000 calls
// alternate between the two so that both see the same machine load; each
// figure is the median round's thread CPU time per call, and the ratio is
// VST3 over VST 2.4.
//
// usage: bench_vst3 [rounds]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/PlainTiming.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/host3/Vst3Instance.h"

namespace {

using namespace tarvel;

constexpr int kFrames = 512;
constexpr int kCallsPerRound = 2000;
constexpr double kRate = 44100.0;

using bench::kNoiseFrames;
using bench::Median;
using bench::Noise;
using bench::ThreadSeconds;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("bench_vst3", what); }

// One round of calls through run(in, out), microseconds per call.
template <typename Sample, typename Run>
double Round(const std::vector<Sample>& left, const std::vector<Sample>& right, std::size_t& position, Run run) {
  std::vector<Sample> outLeft(kFrames), outRight(kFrames);
  Sample* out[2] = {outLeft.data(), outRight.data()};
  const double start = ThreadSeconds();
  for (int call = 0; call < kCallsPerRound; ++call) {
    Sample* in[2] = {const_cast<Sample*>(left.data()) + position, const_cast<Sample*>(right.data()) + position};
    run(in, out);
    position = (position + kFrames) % (kNoiseFrames - kFrames);
  }
  return (ThreadSeconds() - start) * 1e6 / kCallsPerRound;
}

template <typename Sample>
void Compare(const std::shared_ptr<const PluginLibrary>& library, const std::shared_ptr<const vst3::Vst3Module>& bundle,
             int rounds) {
  constexpr bool kWide = std::is_same_v<Sample, double>;
  std::string error;
  auto vst2 = PluginInstance::Create(library, {}, error);
  if (!vst2) Fail(error);
  vst2->SetSampleRate(kRate);
  vst2->SetBlockSize(kFrames);
  vst2->Resume();
  vst2->SetParameterText(1, "-6");
  auto vst3 = vst3::Vst3Instance::Create(bundle, error);
  if (!vst3) Fail(error);
  if (!vst3->Start(kRate, kFrames, kWide ? vst3::kSample64 : vst3::kSample32)) Fail("VST3 set-up refused");
  vst3->Controller().setParamNormalized(1, 54.0 / 90.0);  // -6 dB

  const std::vector<Sample> left = Noise<Sample>(1), right = Noise<Sample>(2);
  std::size_t position2 = 0, position3 = 0;
  std::vector<double> times2, times3;
  AEffect& effect = vst2->Effect();
  for (int r = 0; r < rounds; ++r) {
    // Each goes first in every other round.
    const auto runVst2 = [&] {
      times2.push_back(Round(left, right, position2, [&](Sample** in, Sample** out) {
        if constexpr (kWide)
          effect.processDoubleReplacing(&effect, in, out, kFrames);
        else
          effect.processReplacing(&effect, in, out, kFrames);
      }));
    };
    const auto runVst3 = [&] {
      times3.push_back(Round(left, right, position3, [&](Sample** in, Sample** out) {
        vst3->Process(in, out, kFrames, nullptr);
      }));
    };
    if (r % 2 == 0) {
      runVst2();
      runVst3();
    } else {
      runVst3();
      runVst2();
    }
  }
  const double t2 = Median(times2), t3 = Median(times3);
  std::printf("%d-bit, %d-frame calls: VST 2.4 %.2f us, VST3 %.2f us per call; VST3 / VST 2.4 = %.3f\n",
              kWide ? 64 : 32, kFrames, t2, t3, t3 / t2);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  std::string error;
  auto library = PluginLibrary::Open(TARVEL_PLUGIN_FILE, error);
  if (!library) Fail(std::string(TARVEL_PLUGIN_FILE) + ": " + error);
  auto bundle = vst3::Vst3Module::Open(TARVEL_VST3_BUNDLE, error);
  if (!bundle) Fail(std::string(TARVEL_VST3_BUNDLE) + ": " + error);
  Compare<float>(library, bundle, rounds);
  Compare<double>(library, bundle, rounds);
  return 0;
}
