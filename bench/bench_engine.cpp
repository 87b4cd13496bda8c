// The convolution engine on stereo 44.1 kHz audio in calls of 64, 512 and
// 2048 frames, against references measured in the same run: the bare
// transforms the engine cannot avoid (per block of B frames: the forward and
// the inverse complex transform of length N that carry both channels, and the
// spectral product) and a plain stereo copy. Also a call that
// crossfades every block against a plain one, and the kernel design at 44.1
// and 384 kHz. The summary at the end gives CPU time per stereo frame, the
// ratios and the real-time factor.
//
// EnginePlans/FRAMES/P runs the engine on other plans of its transforms, P:
// 0 the compiled-in wisdom of this processor's class, 1 patient plans
// measured in this run as a build used to measure them, 2 estimated plans.
// EngineStereo/FRAMES/1 feeds the editor's summary (an InstanceSlot) too,
// as while an editor is open.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fftw3.h>

#include "dsp/ComplexFft.h"
#include "effect/ConvolutionEngine.h"
#include "effect/DisplayTap.h"
#include "effect/EngineWisdom.h"
#include "effect/InstanceSlot.h"
#include "effect/KernelDesign.h"

namespace {

using namespace tarvel;

constexpr double kRate = 44100.0;
constexpr std::int32_t kSignalFrames = 1 << 16;

std::vector<double> Noise(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> values(kSignalFrames + 4096);
  for (double& v : values) v = value(random);
  return values;
}

// Frames per iteration, for the summary.
void CountFrames(benchmark::State& state, std::int64_t frames) {
  state.counters["frames"] = static_cast<double>(frames);
}

// The three kinds of plans for the 44.1 kHz length, made once: the engine's
// own, then a fresh patient measurement (the fastest of a few attempts, as
// MeasureFftWisdom does), then estimated ones without any wisdom.
std::shared_ptr<const ComplexFft> PlansOfKind(std::int64_t kind) {
  static const std::vector<std::shared_ptr<const ComplexFft>> plans = [] {
    const std::int32_t n = TransformLengthForRate(static_cast<std::int32_t>(kRate));
    ConvolutionEngine engine;
    engine.AllocateEngine(kRate);  // takes in the compiled-in wisdom
    std::vector<std::shared_ptr<const ComplexFft>> made{ComplexFft::Shared(n)};
    const FftWisdomRequest request[] = {{n, true}};
    MeasureFftWisdom(request);
    made.push_back(ComplexFft::FromWisdom(n));
    fftw_forget_wisdom();  // single-threaded here: no lock needed
    made.push_back(ComplexFft::Estimated(n));
    ImportFftWisdom(kEngineWisdom[static_cast<std::int32_t>(ActiveFftSimd())]);
    return made;
  }();
  return plans[kind];
}

void Engine(benchmark::State& state, bool crossfadeEveryBlock, std::int64_t plans = -1) {
  const auto frames = static_cast<std::int32_t>(state.range(0));
  const std::vector<double> left = Noise(1), right = Noise(2);
  std::vector<double> outLeft(frames), outRight(frames);
  ConvolutionEngine engine;
  engine.AllocateEngine(kRate);
  if (plans >= 0 && !engine.UsePlans(PlansOfKind(plans))) state.SkipWithError("no such plans");
  InstanceSlot slot;
  DisplayTap tap;
  if (plans < 0 && state.range(1) != 0) tap.SetSlot(&slot);
  engine.ResetGains({1.5, 0.7, 1.0, 0.2, 2.0});
  double* out[2] = {outLeft.data(), outRight.data()};
  std::int32_t position = 0;
  bool toggle = false;
  for (auto _ : state) {
    if (crossfadeEveryBlock) engine.SetTargetGain(2, (toggle = !toggle) ? 0.5 : 1.0);
    const double* in[2] = {left.data() + position, right.data() + position};
    slot.CopyDisplayValues({});  // an editor reading the summary keeps it fed
    engine.ProcessBlock(in, out, frames);
    tap.Feed(engine, frames);
    position = (position + frames) % kSignalFrames;
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state, frames);
}

void EngineStereo(benchmark::State& state) { Engine(state, false); }
void EnginePlans(benchmark::State& state) { Engine(state, false, state.range(1)); }
void EngineStereoCrossfading(benchmark::State& state) { Engine(state, true); }

// The unavoidable part of one block: both channels' B frames as one complex
// block, transformed, multiplied by a spectrum, transformed back.
void TransformsPerBlock(benchmark::State& state) {
  const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(kRate));
  const std::int32_t n = TransformLengthForRate(static_cast<std::int32_t>(kRate));
  const std::int32_t hop = n - k + 1;
  const std::vector<double> signal = Noise(3);
  // The engine's own plans: allocating an engine takes in its wisdom first.
  ConvolutionEngine engine;
  engine.AllocateEngine(kRate);
  const auto fft = ComplexFft::Shared(n);
  // The block's tail stays zero, as the engine's does; the inverse goes elsewhere.
  ComplexBuffer block(n), spectrum(n), kernel(n), filtered(n);
  std::copy_n(signal.begin(), 2 * n, kernel.data());
  for (auto _ : state) {
    std::copy_n(signal.begin() + 7, 2 * hop, block.data());
    fft->Forward(block.data(), spectrum.data());
    double* x = spectrum.data();
    const double* h = kernel.data();
    for (std::int32_t i = 0; i < 2 * n; i += 2) {
      const double re = x[i] * h[i] - x[i + 1] * h[i + 1];
      x[i + 1] = x[i] * h[i + 1] + x[i + 1] * h[i];
      x[i] = re;
    }
    fft->Inverse(spectrum.data(), filtered.data());
    benchmark::DoNotOptimize(filtered.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state, hop);
}

void StereoCopy(benchmark::State& state) {
  const auto frames = static_cast<std::int32_t>(state.range(0));
  const std::vector<double> left = Noise(1), right = Noise(2);
  std::vector<double> outLeft(frames), outRight(frames);
  std::int32_t position = 0;
  for (auto _ : state) {
    std::copy_n(left.begin() + position, frames, outLeft.begin());
    std::copy_n(right.begin() + position, frames, outRight.begin());
    position = (position + frames) % kSignalFrames;
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state, frames);
}

void Design(benchmark::State& state) {
  const auto rate = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) {
    BandSpectra bands = DesignBandKernels(KernelLengthForRate(rate), TransformLengthForRate(rate), rate);
    benchmark::DoNotOptimize(bands[0].data());
  }
}

void Register() {
  for (const int frames : {64, 512, 2048}) {
    benchmark::RegisterBenchmark("EngineStereo", EngineStereo)->Args({frames, 0})->Args({frames, 1});
    benchmark::RegisterBenchmark("StereoCopy", StereoCopy)->Arg(frames);
    benchmark::RegisterBenchmark("EnginePlans", EnginePlans)->Args({frames, 0})->Args({frames, 1})->Args({frames, 2});
  }
  benchmark::RegisterBenchmark("EngineStereo", EngineStereo)->Args({1536, 0});  // one block per call
  benchmark::RegisterBenchmark("EngineStereoCrossfading", EngineStereoCrossfading)->Args({1536, 0});
  benchmark::RegisterBenchmark("TransformsPerBlock", TransformsPerBlock);
  benchmark::RegisterBenchmark("Design", Design)->Arg(44100)->Arg(384000)->Unit(benchmark::kMillisecond);
}

// Console output plus a summary: best CPU ns per stereo frame of each run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto frames = run.counters.find("frames");
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || frames == run.counters.end()) {
        continue;
      }
      const double ns = run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations) /
                        frames->second.value;
      auto [it, added] = best.try_emplace(run.benchmark_name(), ns);
      if (!added) it->second = std::min(it->second, ns);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto transforms = best.find("TransformsPerBlock");
    std::printf("\nCPU per stereo frame at 44.1 kHz (best run)\n");
    for (const auto& [name, ns] : best) {
      if (name.find("Engine") == std::string::npos) continue;
      const std::string frames = name.substr(name.find('/'), name.rfind('/') - name.find('/'));
      const std::string copy = "StereoCopy" + frames;
      const auto copied = best.find(copy);
      std::printf("%-30s %6.2f ns", name.c_str(), ns);
      if (transforms != best.end()) std::printf(" = %.2f x transforms alone", ns / transforms->second);
      if (copied != best.end()) std::printf(", copy %.2f ns", copied->second);
      std::printf(", %.0f x real time\n", 1e9 / (ns * kRate));
    }
    for (const int frames : {64, 512, 2048}) {
      const std::string at = std::string("/").append(std::to_string(frames)).append("/");
      const auto ours = best.find("EnginePlans" + at + "0");
      const auto fresh = best.find("EnginePlans" + at + "1");
      const auto estimated = best.find("EnginePlans" + at + "2");
      if (ours != best.end() && fresh != best.end() && estimated != best.end()) {
        std::printf("%4d-frame calls: compiled-in wisdom / fresh patient plans %.3f, estimated / fresh %.3f\n",
                    frames, ours->second / fresh->second, estimated->second / fresh->second);
      }
      const auto bare = best.find("EngineStereo" + at + "0");
      const auto fed = best.find("EngineStereo" + at + "1");
      if (bare != best.end() && fed != best.end()) {
        std::printf("%4d-frame calls: display feed %.1f %% of the engine's time\n", frames,
                    100.0 * (fed->second - bare->second) / fed->second);
      }
    }
    const auto plain = best.find("EngineStereo/1536/0");
    const auto fading = best.find("EngineStereoCrossfading/1536/0");
    if (plain == best.end()) return;
    if (fading != best.end())
      std::printf("crossfading every block / plain, 1536-frame calls: %.2f\n", fading->second / plain->second);
  }

private:
  std::map<std::string, double> best;
};

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
