// Tarvel's LV2 edition against the peer's (LSP Graphic Equalizer x16 Stereo,
// FIR mode), both run by lilv, and the same pair as VST 2.4 modules through
// the project's test host, in one run: 60 s of stereo noise at 44.1 kHz in
// runs of 64, 512 and 2048 frames. Each round runs all four in turn; the
// summary gives the medians and the LV2 ratio against the VST 2.4 ratio.

#include <benchmark/benchmark.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace tarvel {
namespace {

constexpr double kRate = 44100.0;
constexpr std::int64_t kFrames = 60 * 44100;
constexpr char kTarvelUri[] = "urn:corvane:tarvel";
constexpr char kPeerUri[] = "http://lsp-plug.in/plugins/lv2/graph_equalizer_x16_stereo";
constexpr char kPeerVstFile[] = "/usr/lib/vst/lsp-plugins/graph-equalizer-x16-stereo.so";
constexpr VstInt32 kPeerVstMode = 3;    // 0.5: FIR
constexpr VstInt32 kPeerVstBand1 = 19;  // dB = (v - 0.5) * 72

std::vector<float> Noise(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
  std::vector<float> noise(kFrames);
  for (float& sample : noise) sample = uniform(random);
  return noise;
}

const std::vector<float>& Left() {
  static const std::vector<float> noise = Noise(3);
  return noise;
}
const std::vector<float>& Right() {
  static const std::vector<float> noise = Noise(4);
  return noise;
}

// The LV2 world (bundles from LV2_PATH, default: the build's and the system's)
// and the one feature the peer needs, urid:map.
class Lv2Host {
 public:
  Lv2Host() {
    world = lilv_world_new();
    lilv_world_load_all(world);
    map.handle = this;
    map.map = [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
      auto& ids = static_cast<Lv2Host*>(handle)->ids;
      return ids.try_emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
    };
  }
  ~Lv2Host() {
    nodes.clear();  // nodes belong to the world: freed before it
    lilv_world_free(world);
  }

  const LilvPlugin* Plugin(const char* uri) {
    LilvNode* node = lilv_new_uri(world, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
    lilv_node_free(node);
    return plugin;
  }
  LilvNode* Node(const char* uri) { return nodes.emplace_back(lilv_new_uri(world, uri)).get(); }

  LilvWorld* world;
  LV2_URID_Map map{};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  std::map<std::string, LV2_URID> ids;

 private:
  struct NodeFree {
    void operator()(LilvNode* node) const { lilv_node_free(node); }
  };
  std::vector<std::unique_ptr<LilvNode, NodeFree>> nodes;
};

Lv2Host& Host() {
  static Lv2Host host;
  return host;
}

// One LV2 instance with every port bound: audio to the caller's channels,
// controls to their defaults (some set by symbol), atom ports to empty
// sequences.
class Lv2Run {
 public:
  Lv2Run(const char* uri, const std::map<std::string, float>& settings) {
    Lv2Host& host = Host();
    const LilvPlugin* plugin = host.Plugin(uri);
    if (!plugin) return;
    const LV2_Feature* features[] = {&host.mapFeature, nullptr};
    instance = lilv_plugin_instantiate(plugin, kRate, features);
    if (!instance) return;
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
    controls.resize(count);
    atoms.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
      const bool input = lilv_port_is_a(plugin, port, host.Node(LILV_URI_INPUT_PORT));
      if (lilv_port_is_a(plugin, port, host.Node(LILV_URI_AUDIO_PORT))) {
        (input ? audioIn : audioOut).push_back(i);
      } else if (lilv_port_is_a(plugin, port, host.Node(LILV_URI_CONTROL_PORT))) {
        LilvNode* def = nullptr;
        lilv_port_get_range(plugin, port, &def, nullptr, nullptr);
        controls[i] = def ? lilv_node_as_float(def) : 0.0f;
        lilv_node_free(def);
        const auto set = settings.find(lilv_node_as_string(lilv_port_get_symbol(plugin, port)));
        if (set != settings.end()) controls[i] = set->second;
        lilv_instance_connect_port(instance, i, &controls[i]);
      } else {
        atoms[i].assign(8192, 0);
        (input ? atomIn : atomOut).push_back(i);
        lilv_instance_connect_port(instance, i, atoms[i].data());
      }
    }
    lilv_instance_activate(instance);
  }
  ~Lv2Run() {
    if (!instance) return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }

  void Process(float* const* in, float* const* out, std::int64_t frames, std::int64_t call) {
    const LV2_URID sequence = Host().map.map(Host().map.handle, LV2_ATOM__Sequence);
    const LV2_URID chunk = Host().map.map(Host().map.handle, LV2_ATOM__Chunk);
    for (std::int64_t done = 0; done < frames; done += call) {
      const auto n = static_cast<std::uint32_t>(std::min(call, frames - done));
      for (std::size_t c = 0; c < audioIn.size(); ++c) lilv_instance_connect_port(instance, audioIn[c], in[c] + done);
      for (std::size_t c = 0; c < audioOut.size(); ++c) lilv_instance_connect_port(instance, audioOut[c], out[c] + done);
      // An empty input sequence, and output space, before every run.
      for (const std::uint32_t i : atomIn) {
        auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(atoms[i].data());
        atom->atom = {sizeof(LV2_Atom_Sequence_Body), sequence};
        atom->body = {0, 0};
      }
      for (const std::uint32_t i : atomOut) {
        auto* atom = reinterpret_cast<LV2_Atom*>(atoms[i].data());
        *atom = {static_cast<std::uint32_t>(atoms[i].size() * sizeof(std::uint64_t) - sizeof(LV2_Atom)), chunk};
      }
      lilv_instance_run(instance, n);
    }
  }

  LilvInstance* instance = nullptr;

 private:
  std::vector<float> controls;
  std::vector<std::vector<std::uint64_t>> atoms;  // 8-byte aligned
  std::vector<std::uint32_t> audioIn, audioOut, atomIn, atomOut;
};

enum class Who { kTarvelLv2, kPeerLv2, kTarvelVst, kPeerVst };

void Run(benchmark::State& state, Who who) {
  const std::int64_t call = state.range(0);
  std::vector<float> left = Left(), right = Right(), outLeft(kFrames), outRight(kFrames);
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outLeft.data(), outRight.data()};
  if (who == Who::kTarvelLv2 || who == Who::kPeerLv2) {
    // Both at -6 dB on their second band; the peer in FIR mode.
    Lv2Run plug(who == Who::kTarvelLv2 ? kTarvelUri : kPeerUri,
                who == Who::kTarvelLv2 ? std::map<std::string, float>{{"gain_250hz", -6.0f}}
                                       : std::map<std::string, float>{{"mode", 1.0f}, {"g_1", 0.5011872f}});
    if (!plug.instance) {
      state.SkipWithError("cannot instantiate the LV2 plug-in");
      return;
    }
    for (auto _ : state) {
      plug.Process(in, out, kFrames, call);
      benchmark::DoNotOptimize(outLeft.data());
      benchmark::ClobberMemory();
    }
  } else {
    std::string error;
    const auto library = PluginLibrary::Open(who == Who::kTarvelVst ? TARVEL_PLUGIN_FILE : kPeerVstFile, error);
    auto plug = library ? PluginInstance::Create(library, HostConfig{}, error) : nullptr;
    if (!plug) {
      state.SkipWithError(error.c_str());
      return;
    }
    plug->SetSampleRate(kRate);
    plug->SetBlockSize(static_cast<VstInt32>(call));
    plug->Resume();
    if (who == Who::kPeerVst) {
      plug->SetParameter(kPeerVstMode, 0.5f);
      plug->SetParameter(kPeerVstBand1, 0.5f - 6.0f / 72.0f);
    } else {
      plug->SetParameterText(1, "-6");
    }
    for (auto _ : state) {
      plug->ProcessFloat(in, out, kFrames);
      benchmark::DoNotOptimize(outLeft.data());
      benchmark::ClobberMemory();
    }
  }
}

constexpr int kRounds = 7;
constexpr std::pair<const char*, Who> kContenders[] = {{"BM_TarvelLv2", Who::kTarvelLv2},
                                                       {"BM_PeerLv2", Who::kPeerLv2},
                                                       {"BM_TarvelVst", Who::kTarvelVst},
                                                       {"BM_PeerVst", Who::kPeerVst}};

void Register() {
  for (const int frames : {64, 512, 2048}) {
    for (int round = 0; round < kRounds; ++round) {
      for (const auto& [name, who] : kContenders) {
        benchmark::RegisterBenchmark(name, [who = who](benchmark::State& state) { Run(state, who); })
            ->Arg(frames)
            ->Iterations(1)
            ->MeasureProcessCPUTime()
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
}

// Console output, then per run length the median CPU time per stereo frame of
// each contender and the two ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      cpuNs[run.run_name.function_name + '/' + run.run_name.args].push_back(
          run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations) / kFrames);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nMedian CPU ns per stereo frame over %d rounds\n", kRounds);
    for (const int frames : {64, 512, 2048}) {
      const std::string args = std::to_string(frames);
      const double tl = Median("BM_TarvelLv2/" + args), pl = Median("BM_PeerLv2/" + args);
      const double tv = Median("BM_TarvelVst/" + args), pv = Median("BM_PeerVst/" + args);
      if (tl <= 0 || pl <= 0 || tv <= 0 || pv <= 0) continue;
      std::printf("%4d-frame runs: LV2 Tarvel %.1f, peer %.1f, ratio %.3f; VST 2.4 Tarvel %.1f, peer %.1f, ratio %.3f;"
                  " LV2 ratio / VST ratio %.3f\n",
                  frames, tl, pl, tl / pl, tv, pv, tv / pv, (tl / pl) / (tv / pv));
    }
  }

 private:
  double Median(const std::string& name) {
    auto it = cpuNs.find(name);
    if (it == cpuNs.end() || it->second.empty()) return 0.0;
    std::vector<double> values = it->second;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
  }
  std::map<std::string, std::vector<double>> cpuNs;
};

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
  // The build's bundle first, then the system's (the peer).
  if (!std::getenv("LV2_PATH")) setenv("LV2_PATH", TARVEL_LV2_BUNDLES ":/usr/lib/lv2", 1);
  benchmark::Initialize(&argc, argv);
  tarvel::Register();
  tarvel::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
