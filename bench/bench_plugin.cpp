// The plug-in as hosts meet it, each figure against a reference measured in
// the same run:
// - the core's share of a process call (binding and the pass-through of 512
//   stereo frames) against moving the same samples directly;
// - the whole plug-in file through processReplacing (512 frames) against the
//   convolution engine alone on the same audio: the adapter's overhead;
// - creating an instance, effOpen and effClose, as a host's scan does, and
//   the heap and resident memory before and after 10 000 such cycles;
// - Tarvel against a peer linear-phase equaliser (LSP Graphic Equalizer x16
//   Stereo, FIR mode) on 60 s of stereo noise at 44.1 kHz in 64, 512 and
//   2048-frame calls of processReplacing on float buffers the test host
//   prepared beforehand: process CPU time per stereo frame, and the host's
//   own loop around a pass-through in place of either plug-in.
// The summary at the end prints the ratios.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "effect/ConvolutionEngine.h"
#include "effect/DisplayTap.h"
#include "effect/InstanceSlot.h"
#include "tests/plugin/TestPlug.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace {

using namespace tarvel;

constexpr int kFrames = 512;
constexpr double kRate = 44100.0;
constexpr char kPeerFile[] = "/usr/lib/vst/lsp-plugins/graph-equalizer-x16-stereo.so";
constexpr VstInt32 kPeerModeParameter = 3;  // below 1/3 IIR, up to 2/3 FIR
constexpr VstInt32 kPeerBand1Parameter = 19;  // band gains at 15 + 4k, dB = (v - 0.5) * 72

// ---- The core's share of a process call ----

// One block for all four channels, so both benchmarks see the same layout.
struct Stereo {
  std::vector<double> block = std::vector<double>(4 * kFrames + 64, 0.25);
  double* inputs[2] = {block.data(), block.data() + kFrames};
  double* outputs[2] = {block.data() + 2 * kFrames + 64, block.data() + 3 * kFrames + 64};
};

void BM_DirectCopy(benchmark::State& state) {
  Stereo host;
  for (auto _ : state) {
    for (int c = 0; c < 2; ++c) std::memmove(host.outputs[c], host.inputs[c], kFrames * sizeof(double));
    benchmark::DoNotOptimize(host.block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_DirectCopy);

void BM_BindAndProcessDouble(benchmark::State& state) {
  tarvel::test::TestPlug plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  plug.SetBlockSize(1024);
  Stereo host;
  for (auto _ : state) {
    plug.Channels().ConnectInputsDouble(0, 2, host.inputs);
    plug.Channels().ConnectOutputsDouble(0, 2, host.outputs);
    plug.ProcessDouble(kFrames);
    benchmark::DoNotOptimize(host.block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_BindAndProcessDouble);

// ---- The plug-in file ----

std::shared_ptr<const PluginLibrary> Load(const char* path, benchmark::State& state) {
  std::string error;
  auto library = PluginLibrary::Open(path, error);
  if (!library) state.SkipWithError((std::string(path) + ": " + error).c_str());
  return library;
}

std::unique_ptr<PluginInstance> Instance(const std::shared_ptr<const PluginLibrary>& library,
                                         benchmark::State& state, bool open = true) {
  std::string error;
  auto instance = PluginInstance::Create(library, {}, error, open);
  if (!instance) state.SkipWithError(error.c_str());
  return instance;
}

std::vector<float> Noise(std::size_t frames, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-0.5f, 0.5f);
  std::vector<float> values(frames);
  for (float& v : values) v = value(random);
  return values;
}

constexpr std::size_t kNoiseFrames = 1 << 16;

// processReplacing on 512 frames, called directly as a host does.
void BM_PluginProcessReplacing(benchmark::State& state) {
  const auto library = Load(TARVEL_PLUGIN_FILE, state);
  if (!library) return;
  const auto plug = Instance(library, state);
  if (!plug) return;
  plug->SetSampleRate(kRate);
  plug->SetBlockSize(kFrames);
  plug->Resume();
  plug->SetParameterText(1, "-6");
  const std::vector<float> left = Noise(kNoiseFrames, 1), right = Noise(kNoiseFrames, 2);
  std::vector<float> outLeft(kFrames), outRight(kFrames);
  float* out[2] = {outLeft.data(), outRight.data()};
  std::size_t position = 0;
  AEffect& effect = plug->Effect();
  for (auto _ : state) {
    float* in[2] = {const_cast<float*>(left.data()) + position, const_cast<float*>(right.data()) + position};
    effect.processReplacing(&effect, in, out, kFrames);
    position = (position + kFrames) % (kNoiseFrames - kFrames);
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_PluginProcessReplacing);

// The same through processDoubleReplacing: the adapter without conversions.
void BM_PluginProcessDoubleReplacing(benchmark::State& state) {
  const auto library = Load(TARVEL_PLUGIN_FILE, state);
  if (!library) return;
  const auto plug = Instance(library, state);
  if (!plug) return;
  plug->SetSampleRate(kRate);
  plug->SetBlockSize(kFrames);
  plug->Resume();
  plug->SetParameterText(1, "-6");
  const std::vector<float> leftFloat = Noise(kNoiseFrames, 1), rightFloat = Noise(kNoiseFrames, 2);
  std::vector<double> left(leftFloat.begin(), leftFloat.end()), right(rightFloat.begin(), rightFloat.end());
  std::vector<double> outLeft(kFrames), outRight(kFrames);
  double* out[2] = {outLeft.data(), outRight.data()};
  std::size_t position = 0;
  AEffect& effect = plug->Effect();
  for (auto _ : state) {
    double* in[2] = {left.data() + position, right.data() + position};
    effect.processDoubleReplacing(&effect, in, out, kFrames);
    position = (position + kFrames) % (kNoiseFrames - kFrames);
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_PluginProcessDoubleReplacing);

// The same audio and setting through the engine alone, in double precision,
// with the display summary that every instance's engine writes.
void BM_EngineAlone(benchmark::State& state) {
  const std::vector<float> leftFloat = Noise(kNoiseFrames, 1), rightFloat = Noise(kNoiseFrames, 2);
  const std::vector<double> left(leftFloat.begin(), leftFloat.end()), right(rightFloat.begin(), rightFloat.end());
  std::vector<double> outLeft(kFrames), outRight(kFrames);
  double* out[2] = {outLeft.data(), outRight.data()};
  InstanceSlot slot;
  ConvolutionEngine engine;
  DisplayTap tap;
  tap.SetSlot(&slot);
  engine.AllocateEngine(kRate);
  engine.ResetGains({1.0, 0.5011872336272722, 1.0, 1.0, 1.0});
  std::size_t position = 0;
  for (auto _ : state) {
    const double* in[2] = {left.data() + position, right.data() + position};
    engine.ProcessBlock(in, out, kFrames);
    tap.Feed(engine, kFrames);
    position = (position + kFrames) % (kNoiseFrames - kFrames);
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_EngineAlone);

// Entry, effOpen at 44.1 kHz, effClose: what a host's scan does per plug-in.
void BM_CreateOpenClose(benchmark::State& state) {
  const auto library = Load(TARVEL_PLUGIN_FILE, state);
  if (!library) return;
  for (auto _ : state) {
    auto plug = Instance(library, state);
    if (!plug) return;
    plug->SetSampleRate(kRate);
  }
}
BENCHMARK(BM_CreateOpenClose)->Unit(benchmark::kMillisecond);

std::int64_t HeapInUse() { return static_cast<std::int64_t>(mallinfo2().uordblks); }

std::int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// 10 000 cycles; heap and resident memory after the first 1 000 (everything
// that is created once is there by then) and after the last.
void BM_CreateOpenCloseMemory(benchmark::State& state) {
  const auto library = Load(TARVEL_PLUGIN_FILE, state);
  if (!library) return;
  std::int64_t cycle = 0, heapWarm = 0, residentWarm = 0;
  for (auto _ : state) {
    auto plug = Instance(library, state);
    if (!plug) return;
    plug->SetSampleRate(kRate);
    plug.reset();
    if (++cycle == 1000) {
      heapWarm = HeapInUse();
      residentWarm = ResidentBytes();
    }
  }
  state.counters["heap_growth_kB"] = static_cast<double>(HeapInUse() - heapWarm) / 1024.0;
  state.counters["rss_growth_kB"] = static_cast<double>(ResidentBytes() - residentWarm) / 1024.0;
  state.counters["rss_MB"] = static_cast<double>(ResidentBytes()) / 1048576.0;
}
BENCHMARK(BM_CreateOpenCloseMemory)->Iterations(10000)->Unit(benchmark::kMillisecond);

// ---- Tarvel against the peer ----

constexpr std::int64_t kPeerFrames = 60 * 44100;

// 60 s of stereo noise, held as float channels before timing, through
// processReplacing in calls of state.range(0) frames, the plug-in writing
// straight into the output channels. Only the processing is timed; the
// instance is built and prepared before.
enum class Peer { kTarvel, kLsp, kHostLoop };

// The host loop's reference: what a plug-in that only passes its input on
// costs, called the same way.
void TARVEL_VSTCALL PassThrough(AEffect*, float** inputs, float** outputs, VstInt32 frames) {
  for (int c = 0; c < 2; ++c) std::memcpy(outputs[c], inputs[c], static_cast<std::size_t>(frames) * sizeof(float));
}

void PeerRun(benchmark::State& state, Peer peer) {
  const auto library = Load(peer == Peer::kLsp ? kPeerFile : TARVEL_PLUGIN_FILE, state);
  if (!library) return;
  const auto plug = Instance(library, state);
  if (!plug) return;
  plug->SetSampleRate(kRate);
  plug->SetBlockSize(static_cast<VstInt32>(state.range(0)));
  plug->Resume();
  if (peer == Peer::kLsp) {
    plug->SetParameter(kPeerModeParameter, 0.5f);
    plug->SetParameter(kPeerBand1Parameter, 0.5f - 6.0f / 72.0f);
  } else {
    plug->SetParameterText(1, "-6");
  }
  // The reference keeps Tarvel's record, only its callback swapped, so the
  // host does exactly what it does for a plug-in.
  AEffect& effect = plug->Effect();
  const auto processReplacing = effect.processReplacing;
  if (peer == Peer::kHostLoop) effect.processReplacing = &PassThrough;
  std::vector<float> left = Noise(kPeerFrames, 3), right = Noise(kPeerFrames, 4);
  std::vector<float> outLeft(kPeerFrames), outRight(kPeerFrames);
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outLeft.data(), outRight.data()};
  for (auto _ : state) {
    plug->ProcessFloat(in, out, kPeerFrames);
    benchmark::DoNotOptimize(outLeft.data());
    benchmark::ClobberMemory();
  }
  effect.processReplacing = processReplacing;
  state.counters["frames"] = static_cast<double>(kPeerFrames);
}

void BM_PeerTarvel(benchmark::State& state) { PeerRun(state, Peer::kTarvel); }
void BM_PeerLsp(benchmark::State& state) { PeerRun(state, Peer::kLsp); }
void BM_PeerHostLoop(benchmark::State& state) { PeerRun(state, Peer::kHostLoop); }

// Side by side per block size, in rounds: each round runs Tarvel, the peer
// and the host loop once, so that a machine that speeds up or slows down
// between rounds moves both sides of a ratio alike. The summary takes the
// median of the rounds.
constexpr int kPeerRounds = 7;

void RegisterPeers() {
  for (const int frames : {64, 512, 2048}) {
    for (int round = 0; round < kPeerRounds; ++round) {
      for (const auto& [name, run] : {std::pair{"BM_PeerTarvel", &BM_PeerTarvel}, std::pair{"BM_PeerLsp", &BM_PeerLsp},
                                      std::pair{"BM_PeerHostLoop", &BM_PeerHostLoop}}) {
        benchmark::RegisterBenchmark(name, run)
            ->Arg(frames)
            ->Iterations(1)
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
}

// Console output, then the median CPU time of each benchmark's runs and the
// ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      const std::string& args = run.run_name.args;
      std::string name = run.run_name.function_name;
      if (!args.empty()) name += '/' + args;
      Result& result = results_[name];
      result.cpuNs.push_back(run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations));
      result.realNs.push_back(run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations));
      for (const auto& [name, counter] : run.counters) result.counters[name] = counter.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nSummary (median CPU time of the runs)\n");
    const double copy = Cpu("BM_DirectCopy"), bind = Cpu("BM_BindAndProcessDouble");
    if (copy > 0 && bind > 0)
      std::printf("core binding + pass-through, 512 stereo frames: %.0f ns, %.2f x a direct copy (%.0f ns)\n",
                  bind, bind / copy, copy);
    const double engine = Cpu("BM_EngineAlone");
    for (const char* path : {"BM_PluginProcessReplacing", "BM_PluginProcessDoubleReplacing"}) {
      const double plugin = Cpu(path);
      if (plugin > 0 && engine > 0)
        std::printf("%s, 512 frames: %.2f us; engine alone %.2f us; adapter overhead %+.1f %%\n", path + 3,
                    plugin / 1e3, engine / 1e3, (plugin / engine - 1.0) * 100.0);
    }
    const double cycle = Cpu("BM_CreateOpenClose");
    if (cycle > 0) std::printf("create + effOpen + effClose: %.2f ms CPU per cycle\n", cycle / 1e6);
    if (const auto memory = results_.find("BM_CreateOpenCloseMemory"); memory != results_.end())
      std::printf("10 000 cycles: heap %+.1f kB, resident %+.1f kB after the first 1 000 (resident %.1f MB)\n",
                  memory->second.counters["heap_growth_kB"], memory->second.counters["rss_growth_kB"],
                  memory->second.counters["rss_MB"]);
    for (const int frames : {64, 512, 2048}) {
      const std::string args = std::to_string(frames);
      const double ours = Cpu("BM_PeerTarvel/" + args), peer = Cpu("BM_PeerLsp/" + args);
      if (ours <= 0 || peer <= 0) continue;
      std::printf("%4d-frame calls, ns per stereo frame: Tarvel %.1f, LSP x16 FIR %.1f, ratio %.2f", frames,
                  ours / kPeerFrames, peer / kPeerFrames, ours / peer);
      const double host = Cpu("BM_PeerHostLoop/" + args);
      if (host > 0)
        std::printf("; host loop with a pass-through %.2f (%.1f %% of Tarvel's, %.1f %% of LSP's)", host / kPeerFrames,
                    host / ours * 100.0, host / peer * 100.0);
      std::printf("\n");
    }
  }

 private:
  struct Result {
    std::vector<double> cpuNs;
    std::vector<double> realNs;
    std::map<std::string, double> counters;
  };

  double Cpu(const std::string& name) {
    auto it = results_.find(name);
    if (it == results_.end() || it->second.cpuNs.empty()) return 0.0;
    std::vector<double> values = it->second.cpuNs;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
  }

  std::map<std::string, Result> results_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterPeers();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
