// The built LV2 bundle driven the way an LV2 host drives it: found through
// LV2_PATH by lilv, described by its Turtle, instantiated and run through its
// descriptor; its output against the VST 2.4 module's for the same input.

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "effect/TarvelParameters.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "tests/support/Agreement.h"
#include "tests/support/HeapInUse.h"
#include "tests/support/TestNoise.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace tarvel::test {
namespace {

constexpr std::uint32_t kFirstGainPort = kTarvelPorts.FirstControl();
constexpr std::uint32_t kLatencyPort = kTarvelPorts.Latency();
constexpr std::uint32_t kEnabledPort = kTarvelPorts.Enabled();

class Lv2World {
 public:
  Lv2World() {
    setenv("LV2_PATH", TARVEL_LV2_BUNDLES, 1);
    world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = Uri(kLv2PluginUri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
  }
  ~Lv2World() {
    for (LilvNode* node : nodes) lilv_node_free(node);
    lilv_world_free(world);
  }
  // A URI node freed with the world.
  LilvNode* Node(const std::string& uri) { return nodes.emplace_back(Uri(uri.c_str())); }
  LilvNode* Uri(const char* uri) { return lilv_new_uri(world, uri); }

  LilvWorld* world;
  const LilvPlugin* plugin;
  std::vector<LilvNode*> nodes;
};

Lv2World& World() {
  static Lv2World world;
  return world;
}

std::string TakeString(LilvNode* node) {
  std::string text = node && lilv_node_is_string(node) ? lilv_node_as_string(node) : "";
  lilv_node_free(node);
  return text;
}

const std::string kLv2 = "http://lv2plug.in/ns/lv2core#";

TEST(Lv2Data, PluginMatchesTheParameterTable) {
  Lv2World& w = World();
  ASSERT_NE(w.plugin, nullptr) << "no " << kLv2PluginUri << " in " << TARVEL_LV2_BUNDLES;
  const LilvPlugin* p = w.plugin;
  EXPECT_EQ(TakeString(lilv_plugin_get_name(p)), kEffectName);
  const LilvNode* uri = lilv_plugin_get_uri(p);
  EXPECT_TRUE(lilv_world_ask(w.world, uri, w.Node("http://www.w3.org/1999/02/22-rdf-syntax-ns#type"),
                             w.Node(kLv2 + "EQPlugin")));
  LilvNode* licence = lilv_world_get(w.world, uri, w.Node("http://usefulinc.com/ns/doap#license"), nullptr);
  EXPECT_STREQ(lilv_node_as_uri(licence), "https://spdx.org/licenses/GPL-3.0-or-later");
  lilv_node_free(licence);
  for (const auto& [predicate, expected] :
       {std::pair{"minorVersion", kLv2MinorVersion}, std::pair{"microVersion", kVersionMicro}}) {
    LilvNode* version = lilv_world_get(w.world, uri, w.Node(kLv2 + predicate), nullptr);
    EXPECT_EQ(lilv_node_as_int(version), expected) << predicate;
    lilv_node_free(version);
  }
  EXPECT_TRUE(lilv_plugin_has_feature(p, w.Node(kLv2 + "hardRTCapable")));
  EXPECT_FALSE(lilv_plugin_has_feature(p, w.Node(kLv2 + "inPlaceBroken")));
  ASSERT_EQ(lilv_plugin_get_num_ports(p), kTarvelPorts.Count());

  for (std::uint32_t i = 0; i < 4; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
    EXPECT_TRUE(lilv_port_is_a(p, port, w.Node(kLv2 + "AudioPort")));
    EXPECT_TRUE(lilv_port_is_a(p, port, w.Node(kLv2 + (i < 2 ? "InputPort" : "OutputPort"))));
  }
  for (int band = 0; band < kBandCount; ++band) {
    const LilvPort* port = lilv_plugin_get_port_by_index(p, kFirstGainPort + band);
    EXPECT_TRUE(lilv_port_is_a(p, port, w.Node(kLv2 + "ControlPort")));
    EXPECT_TRUE(lilv_port_is_a(p, port, w.Node(kLv2 + "InputPort")));
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(p, port)), kBandSymbols[band]);
    EXPECT_EQ(TakeString(lilv_port_get_name(p, port)), kBandNames[band]);
    LilvNode *def, *min, *max;
    lilv_port_get_range(p, port, &def, &min, &max);
    EXPECT_EQ(lilv_node_as_float(def), kDefaultGainDb);
    EXPECT_EQ(lilv_node_as_float(min), kMinGainDb);
    EXPECT_EQ(lilv_node_as_float(max), kMaxGainDb);
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
    LilvNode* unit = lilv_port_get(p, port, w.Node("http://lv2plug.in/ns/extensions/units#unit"));
    EXPECT_STREQ(lilv_node_as_uri(unit), "http://lv2plug.in/ns/extensions/units#db");
    lilv_node_free(unit);
  }
  EXPECT_TRUE(lilv_plugin_has_latency(p));
  EXPECT_EQ(lilv_plugin_get_latency_port_index(p), kLatencyPort);
  const LilvPort* latency = lilv_plugin_get_port_by_index(p, kLatencyPort);
  EXPECT_TRUE(lilv_port_is_a(p, latency, w.Node(kLv2 + "OutputPort")));
  EXPECT_TRUE(lilv_port_has_property(p, latency, w.Node(kLv2 + "reportsLatency")));
  // The bypass, as hosts find it: the port designated lv2:enabled.
  const LilvPort* enabled = lilv_plugin_get_port_by_designation(p, w.Node(kLv2 + "InputPort"), w.Node(kLv2 + "enabled"));
  ASSERT_NE(enabled, nullptr);
  EXPECT_EQ(lilv_port_get_index(p, enabled), kEnabledPort);
  EXPECT_TRUE(lilv_port_has_property(p, enabled, w.Node(kLv2 + "toggled")));

  LilvUIs* uis = lilv_plugin_get_uis(p);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), kLv2UiUri);
  EXPECT_TRUE(lilv_ui_is_a(ui, w.Node("http://lv2plug.in/ns/extensions/ui#X11UI")));
  EXPECT_TRUE(lilv_world_ask(w.world, lilv_ui_get_uri(ui), w.Node(kLv2 + "requiredFeature"),
                             w.Node("http://lv2plug.in/ns/ext/instance-access")));
  lilv_uis_free(uis);
}

// One instance with its ports bound to buffers of its own.
class Lv2Instance {
 public:
  Lv2Instance(double rate) : instance(lilv_plugin_instantiate(World().plugin, rate, nullptr)) {
    if (!instance) return;
    for (std::uint32_t band = 0; band < kBandCount; ++band) {
      lilv_instance_connect_port(instance, kFirstGainPort + band, &gains[band]);
    }
    lilv_instance_connect_port(instance, kLatencyPort, &latency);
    lilv_instance_connect_port(instance, kEnabledPort, &enabled);
    lilv_instance_activate(instance);
  }
  ~Lv2Instance() {
    if (!instance) return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }
  // Runs frames in calls of at most `call` frames (0 frames: one call of 0);
  // outputs may be the inputs.
  void Run(const std::array<float*, 2>& in, const std::array<float*, 2>& out, std::size_t frames, std::size_t call) {
    std::size_t done = 0;
    do {
      const std::size_t n = std::min(call, frames - done);
      for (std::uint32_t c = 0; c < 2; ++c) {
        lilv_instance_connect_port(instance, c, in[c] + done);
        lilv_instance_connect_port(instance, 2 + c, out[c] + done);
      }
      lilv_instance_run(instance, static_cast<std::uint32_t>(n));
      done += n;
    } while (done < frames);
  }

  LilvInstance* instance;
  std::array<float, kBandCount> gains{};
  float latency = -1.0f;
  float enabled = 1.0f;
};

using Channels = std::array<std::vector<float>, 2>;

Channels Noise(std::size_t frames, unsigned seed) {
  return {test::Noise<float>(frames, seed, 0.5), test::Noise<float>(frames, seed + 1, 0.5)};
}

// Gains whose normalised VST 2.4 values are exact in single precision, so
// both formats hand the engine the same decibels.
constexpr std::array<float, kBandCount> kNormalised = {0.5f, 0.25f, 0.75f, 0.625f, 0.875f};

TEST(Lv2Run, OutputEqualsTheVstModulesAtEveryRate) {
  ASSERT_NE(World().plugin, nullptr);
  std::string error;
  const auto library = PluginLibrary::Open(TARVEL_PLUGIN_FILE, error);
  ASSERT_TRUE(library) << error;
  constexpr std::size_t kCall = 512;
  for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
    SCOPED_TRACE(rate);
    const std::size_t frames = 30000;
    const Channels input = Noise(frames, 11);

    auto vst = PluginInstance::Create(library, HostConfig{}, error);
    ASSERT_TRUE(vst) << error;
    vst->SetSampleRate(rate);
    vst->SetBlockSize(kCall);
    vst->Resume();
    for (int band = 0; band < kBandCount; ++band) vst->SetParameter(band, kNormalised[band]);
    // As a VST 2.4 host restoring a session: its latency of silence first, in
    // which the gains set before processing settle (an LV2 instance takes
    // the values of its first run at once).
    const std::size_t preRoll = static_cast<std::size_t>(vst->Latency());
    Channels vstIn, vstOut;
    for (int c = 0; c < 2; ++c) {
      vstIn[c].assign(preRoll, 0.0f);
      vstIn[c].insert(vstIn[c].end(), input[c].begin(), input[c].end());
      vstOut[c].resize(preRoll + frames);
    }
    float* vstInPtr[2] = {vstIn[0].data(), vstIn[1].data()};
    float* vstOutPtr[2] = {vstOut[0].data(), vstOut[1].data()};
    vst->ProcessFloat(vstInPtr, vstOutPtr, static_cast<std::int64_t>(preRoll + frames));

    Lv2Instance separate(rate), inPlace(rate);
    ASSERT_TRUE(separate.instance && inPlace.instance);
    for (int band = 0; band < kBandCount; ++band) {
      separate.gains[band] = inPlace.gains[band] = kMinGainDb + kNormalised[band] * (kMaxGainDb - kMinGainDb);
    }
    Channels in = input, out{std::vector<float>(frames), std::vector<float>(frames)}, shared = input;
    separate.Run({in[0].data(), in[1].data()}, {out[0].data(), out[1].data()}, frames, kCall);
    inPlace.Run({shared[0].data(), shared[1].data()}, {shared[0].data(), shared[1].data()}, frames, kCall);

    EXPECT_EQ(separate.latency, static_cast<float>(vst->Latency()));
    EXPECT_EQ(in, input) << "the inputs were written";
    EXPECT_EQ(shared, out) << "in place differs from separate buffers";
    const test::Agreement agreement = test::Agree(out, vstOut, frames, preRoll);
    // The engines' blocks fall on other frames: rounding differs a little.
    EXPECT_LE(agreement.worst, 1e-5);
    EXPECT_GT(agreement.loudest, 0.05) << "no signal came through";
  }
}

TEST(Lv2Run, RatesOutsideTheSupportedOnesGiveNoInstance) {
  ASSERT_NE(World().plugin, nullptr);
  for (const double rate : {0.0, -44100.0, std::nan(""), std::numeric_limits<double>::infinity(), 3e9,
                            kMinSampleRate - 1.0, kMaxSampleRate + 1.0}) {
    LilvInstance* instance = lilv_plugin_instantiate(World().plugin, rate, nullptr);
    EXPECT_EQ(instance, nullptr) << rate;
    if (instance) lilv_instance_free(instance);
  }
}

TEST(Lv2Run, AnyRunLengthAndAnyControlValueKeepTheOutputFinite) {
  Lv2Instance plug(48000.0);
  ASSERT_TRUE(plug.instance);
  Channels input = Noise(8192, 3), output{std::vector<float>(8192), std::vector<float>(8192)};
  const std::array<float*, 2> in = {input[0].data(), input[1].data()};
  const std::array<float*, 2> out = {output[0].data(), output[1].data()};
  const float inf = std::numeric_limits<float>::infinity();
  const float values[] = {std::nanf(""), inf, -inf, 1e30f, -1e30f, 12.0f, std::nanf("")};
  for (const float value : values) {
    plug.gains.fill(value);
    for (const std::size_t frames : {0u, 1u, 8192u}) plug.Run(in, out, frames, frames);
    for (const auto& channel : output) {
      for (const float sample : channel) ASSERT_TRUE(std::isfinite(sample)) << value;
    }
  }
  // +12 dB on every band, kept through the last NaN: louder than the input.
  double inEnergy = 0.0, outEnergy = 0.0;
  for (std::size_t i = 4096; i < 8192; ++i) {
    inEnergy += double(input[0][i]) * input[0][i];
    outEnergy += double(output[0][i]) * output[0][i];
  }
  EXPECT_GT(outEnergy, inEnergy * 10.0);
}

// An activation starts without history: audio run before a deactivate is
// not played after the next activate (silence in, exact silence out).
TEST(Lv2Lifecycle, ActivateForgetsEarlierAudio) {
  Lv2Instance plug(44100.0);
  ASSERT_TRUE(plug.instance);
  Channels input = Noise(4096, 5), output{std::vector<float>(4096), std::vector<float>(4096)};
  plug.Run({input[0].data(), input[1].data()}, {output[0].data(), output[1].data()}, 4096, 512);
  lilv_instance_deactivate(plug.instance);
  lilv_instance_activate(plug.instance);
  for (auto& channel : input) std::fill(channel.begin(), channel.end(), 0.0f);
  plug.Run({input[0].data(), input[1].data()}, {output[0].data(), output[1].data()}, 4096, 512);
  for (const auto& channel : output) {
    for (const float sample : channel) ASSERT_EQ(sample, 0.0f);
  }
}

// Heap bytes in use (glibc's count; 0 where a sanitizer replaces the allocator).
TEST(Lv2Lifecycle, ThousandActivationsAndHundredInstancesLeaveMemoryFlat) {
  ASSERT_NE(World().plugin, nullptr);
  float silence[64] = {};
  float latency = 0.0f;
  auto cycle = [&](int activations) {
    LilvInstance* instance = lilv_plugin_instantiate(World().plugin, 44100.0, nullptr);
    ASSERT_NE(instance, nullptr);
    for (std::uint32_t port = 0; port < 4; ++port) lilv_instance_connect_port(instance, port, silence);
    for (std::uint32_t port = kFirstGainPort; port < kLatencyPort; ++port) {
      lilv_instance_connect_port(instance, port, silence);
    }
    lilv_instance_connect_port(instance, kLatencyPort, &latency);
    for (int i = 0; i < activations; ++i) {
      lilv_instance_activate(instance);
      lilv_instance_run(instance, 64);
      lilv_instance_deactivate(instance);
    }
    lilv_instance_free(instance);  // cleanup, also right after deactivate
  };
  cycle(1000);
  for (int i = 0; i < 10; ++i) cycle(1);
  const std::size_t before = test::HeapInUse();
  for (int i = 0; i < 100; ++i) cycle(1);  // each designs its kernels: slow under sanitizers
  cycle(1000);
  EXPECT_LE(test::HeapInUse(), before + 4096);
  // Instantiate and clean up without ever activating.
  LilvInstance* idle = lilv_plugin_instantiate(World().plugin, 96000.0, nullptr);
  ASSERT_NE(idle, nullptr);
  lilv_instance_free(idle);
}

// Disabled (the host's bypass), the output is the input delayed by the
// latency once the delay has filled and the switch has faded; enabled again,
// after the fade, what an instance that never left gives.
// Runs shorter and longer than the plug-in's own block (2048 frames).
TEST(Lv2Run, DisabledPassesTheInputDelayedAndSwitchesBack) {
  for (const std::size_t kCall : {std::size_t{512}, std::size_t{5000}}) {
    SCOPED_TRACE(kCall);
    const std::size_t kCalls = 60, kFrames = kCall * kCalls;
    const Channels x = Noise(kFrames, 41);
    Lv2Instance plug(44100.0), plain(44100.0);
    ASSERT_TRUE(plug.instance && plain.instance);
    plug.gains[0] = plain.gains[0] = kMaxGainDb;
    Channels out{std::vector<float>(kFrames), std::vector<float>(kFrames)}, want = out;
    for (std::size_t call = 0; call < kCalls; ++call) {
      const std::size_t done = call * kCall;
      plug.enabled = call < 20 ? 0.0f : 1.0f;
      const std::array<float*, 2> in = {const_cast<float*>(x[0].data()) + done,
                                        const_cast<float*>(x[1].data()) + done};
      plug.Run(in, {out[0].data() + done, out[1].data() + done}, kCall, kCall);
      plain.Run(in, {want[0].data() + done, want[1].data() + done}, kCall, kCall);
    }
    const auto latency = static_cast<std::size_t>(plug.latency);
    ASSERT_GT(latency, 0u);
    for (int c = 0; c < 2; ++c) {
      for (std::size_t i = 3 * latency; i < 20 * kCall; ++i) ASSERT_EQ(out[c][i], x[c][i - latency]) << c << " " << i;
      for (std::size_t i = 20 * kCall + latency; i < kFrames; ++i) ASSERT_EQ(out[c][i], want[c][i]) << c << " " << i;
    }
  }
}

}  // namespace
}  // namespace tarvel::test
