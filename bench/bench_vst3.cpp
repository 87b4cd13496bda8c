// The VST3 edition against the VST 2.4 module in the same run: both built
// files loaded the way hosts load them, the same stereo noise at 44.1 kHz
// with one band at -6 dB, 512-frame calls (VST 2.4 processReplacing /
// processDoubleReplacing, VST3 process in 32 / 64-bit). Rounds of 2000 calls
// alternate between the two, each with fresh instances (bench/PlainTiming.h);
// each figure is the median round's thread CPU time per call, and the ratio
// is VST3 over VST 2.4.
//
// usage: bench_vst3 [rounds]

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
#include "tools/host3/Vst3Instance.h"

namespace {

using namespace tarvel;

constexpr int kFrames = 512;
constexpr int kCallsPerRound = 2000;

using bench::AlternateRounds;
using bench::kRate;
using bench::Noise;
using bench::TimeCalls;

[[noreturn]] void Fail(const std::string& what) { bench::Fail("bench_vst3", what); }

std::unique_ptr<vst3::Vst3Instance> MakeVst3(const std::shared_ptr<const vst3::Vst3Module>& bundle, bool wide) {
  std::string error;
  auto vst3 = vst3::Vst3Instance::Create(bundle, error);
  if (!vst3) Fail(error);
  if (!vst3->Start(kRate, kFrames, wide ? vst3::kSample64 : vst3::kSample32)) Fail("VST3 set-up refused");
  vst3->Controller().setParamNormalized(1, 54.0 / 90.0);  // -6 dB
  return vst3;
}

template <typename Sample>
void Compare(const std::shared_ptr<const PluginLibrary>& library, const std::shared_ptr<const vst3::Vst3Module>& bundle,
             int rounds) {
  constexpr bool kWide = std::is_same_v<Sample, double>;
  const std::vector<Sample> left = Noise<Sample>(1), right = Noise<Sample>(2);
  std::size_t position2 = 0, position3 = 0;
  const auto timeVst2 = [&](PluginInstance& vst2) {
    return bench::TimeVst2(vst2, left, right, kFrames, kCallsPerRound, position2);
  };
  const auto timeVst3 = [&](vst3::Vst3Instance& vst3) {
    return TimeCalls(left, right, kFrames, kCallsPerRound, position3,
                     [&](Sample** in, Sample** out) { vst3.Process(in, out, kFrames, nullptr); });
  };
  const auto [t2, t3] = AlternateRounds(
      rounds, [&] { return bench::MakeVst2(library, kFrames, "bench_vst3"); }, timeVst2,
      [&] { return MakeVst3(bundle, kWide); }, timeVst3);
  // Per call, from per frame.
  std::printf("%d-bit, %d-frame calls: VST 2.4 %.2f us, VST3 %.2f us per call; VST3 / VST 2.4 = %.3f\n",
              kWide ? 64 : 32, kFrames, t2 * 1e6 * kFrames, t3 * 1e6 * kFrames, t3 / t2);
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
