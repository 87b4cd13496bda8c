// The built CLAP module driven the way a host drives it, through our own
// CLAP test host, and compared with the built VST 2.4 module where both must
// agree (natively, and under Wine for the Windows build).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include "tests/support/HeapInUse.h"
#endif

#include "clap/ClapIds.h"
#include "tests/support/Agreement.h"
#include "tests/support/ClapTestSupport.h"
#include "tests/support/PluginFile.h"
#include "tests/support/RenderReference.h"
#include "tests/support/TestNoise.h"
#include "tools/hostclap/ClapInstance.h"

namespace tarvel::hostclap {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr clap_id kBypass = clap::kClapBypassId;

TEST(Entry, OneDescriptorAndNestedInit) {
  auto module = Module();
  ASSERT_TRUE(module);
  const clap_plugin_entry_t& entry = module->Entry();
  EXPECT_EQ(entry.clap_version.major, 1u);
  // Hosts open the module once per use: init nests with deinit.
  ASSERT_TRUE(entry.init(TARVEL_CLAP_FILE));
  ASSERT_TRUE(entry.init(TARVEL_CLAP_FILE));
  entry.deinit();
  entry.deinit();
  EXPECT_EQ(entry.get_factory("no.such.factory"), nullptr);
  const clap_plugin_factory_t& factory = module->Factory();
  ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
  EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
  const clap_plugin_descriptor_t* d = factory.get_plugin_descriptor(&factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->id, "com.corvane.tarvel");
  EXPECT_STREQ(d->name, "Tarvel");
  EXPECT_STREQ(d->vendor, "Corvane");
  EXPECT_STREQ(d->version, "1.0.0");
  std::vector<std::string> features;
  for (const char* const* f = d->features; *f; ++f) features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "equalizer", "stereo"}));
  // Another id, or no host: no plug-in.
  clap_host_t host{kClapVersion, nullptr, "h", "", "", "", nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(factory.create_plugin(&factory, &host, "com.corvane.other"), nullptr);
  EXPECT_EQ(factory.create_plugin(&factory, nullptr, d->id), nullptr);
  // A scanner's host without get_extension: init, activation and a call.
  const clap_plugin_t* plugin = factory.create_plugin(&factory, &host, d->id);
  ASSERT_NE(plugin, nullptr);
  EXPECT_TRUE(plugin->init(plugin));
  EXPECT_TRUE(plugin->activate(plugin, 96000.0, 1, 512));
  plugin->deactivate(plugin);
  EXPECT_TRUE(plugin->activate(plugin, 44100.0, 1, 512));
  plugin->destroy(plugin);  // while active
}

TEST(Extensions, PortsParamsAndTexts) {
  auto plug = NewClap({true});
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Get<void>("clap.no-such-extension"), nullptr);
  const auto* ports = plug->Get<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
  ASSERT_NE(ports, nullptr);
  const clap_plugin_t* p = &plug->Plugin();
  for (const bool input : {true, false}) {
    ASSERT_EQ(ports->count(p, input), 1u);
    clap_audio_port_info_t info{};
    ASSERT_TRUE(ports->get(p, 0, input, &info));
    EXPECT_EQ(info.channel_count, 2u);
    EXPECT_STREQ(info.port_type, "stereo");
    EXPECT_EQ(info.flags, kClapAudioPortIsMain | kClapAudioPortSupports64Bits);
    EXPECT_EQ(info.in_place_pair, info.id);
    EXPECT_FALSE(ports->get(p, 1, input, &info));
  }

  const clap_plugin_params_t& params = plug->Params();
  ASSERT_EQ(params.count(p), 6u);
  const char* names[] = {"80 Hz", "250 Hz", "800 Hz", "2.5 kHz", "8 kHz"};
  for (std::uint32_t i = 0; i < 5; ++i) {
    clap_param_info_t info{};
    ASSERT_TRUE(params.get_info(p, i, &info));
    EXPECT_EQ(info.id, i);
    EXPECT_STREQ(info.name, names[i]);
    EXPECT_EQ(info.flags, kClapParamIsAutomatable);
    EXPECT_EQ(info.min_value, -60.0);
    EXPECT_EQ(info.max_value, 30.0);
    EXPECT_EQ(info.default_value, 0.0);
    EXPECT_EQ(plug->Value(i), 0.0);
  }
  clap_param_info_t bypass{};
  ASSERT_TRUE(params.get_info(p, 5, &bypass));
  EXPECT_EQ(bypass.id, kBypass);
  EXPECT_EQ(bypass.flags, kClapParamIsAutomatable | kClapParamIsStepped | kClapParamIsBypass);
  EXPECT_FALSE(params.get_info(p, 6, &bypass));
  double value = 0.0;
  EXPECT_FALSE(params.get_value(p, 5, &value));

  // The texts of the other formats.
  EXPECT_EQ(plug->Text(3, -60.0), "-60.00");
  EXPECT_EQ(plug->Text(3, 0.0), "0");
  EXPECT_EQ(plug->Text(kBypass, 1.0), "On");
  EXPECT_EQ(plug->Text(9, 0.0), "");
  char small[3] = {'x', 'x', 'x'};
  ASSERT_TRUE(params.value_to_text(p, 0, -60.0, small, sizeof small));
  EXPECT_STREQ(small, "-6");  // cut to the buffer, terminated
  ASSERT_TRUE(params.text_to_value(p, 1, "12", &value));
  EXPECT_EQ(value, 12.0);
  ASSERT_TRUE(params.text_to_value(p, 1, "-100 dB", &value));
  EXPECT_EQ(value, -60.0);
  for (const char* bad : {"", "abc", "dB", "nan"}) {
    value = 0.25;
    EXPECT_FALSE(params.text_to_value(p, 1, bad, &value)) << bad;
    EXPECT_EQ(value, 0.25);
  }
  EXPECT_FALSE(params.text_to_value(p, kBypass, "maybe", &value));

  // A flush applies while inactive; other spaces and unknown ids are ignored.
  EventList events;
  events.Add(2, 0, 12.5);
  events.Add(3, 0, 99.0);
  events.Add(4, 0, 6.0, 7);
  events.Add(77, 0, 1.0);
  events.Add(kBypass, 0, 1.0);
  params.flush(p, events.List(), nullptr);
  EXPECT_EQ(plug->Value(2), 12.5);
  EXPECT_EQ(plug->Value(3), 30.0);
  EXPECT_EQ(plug->Value(4), 0.0);
  EXPECT_EQ(plug->Value(kBypass), 1.0);

  const auto* latency = plug->Get<clap_plugin_latency_t>(kClapExtLatency);
  const auto* tail = plug->Get<clap_plugin_tail_t>(kClapExtTail);
  ASSERT_TRUE(latency && tail);
  ASSERT_TRUE(plug->Activate(44100.0, 512));
  EXPECT_EQ(latency->get(p), 2048u);
  EXPECT_GT(tail->get(p), 2048u);
}

// The same noise through both modules with the same settings at the same
// frames: the VST 2.4 module through setParameter between two calls, the
// CLAP one through events inside one call; a state load at the same call.
template <typename Sample>
void ExpectSameAsVst2(double rate, double tolerance) {
  SCOPED_TRACE(rate);
  constexpr std::uint32_t kMaxBlock = 4096;
  constexpr int kFrames = 60000;
  auto reference = test::NewInstance();
  auto plug = NewClap();
  ASSERT_TRUE(reference && plug);
  reference->SetSampleRate(rate);
  reference->SetBlockSize(kMaxBlock);
  reference->Resume();
  ASSERT_TRUE(plug->Activate(rate, kMaxBlock));
  EXPECT_EQ(static_cast<int>(plug->Get<clap_plugin_latency_t>(kClapExtLatency)->get(&plug->Plugin())),
            reference->Latency());

  std::vector<Sample> in[2] = {std::vector<Sample>(kFrames), std::vector<Sample>(kFrames)};
  const std::vector<double> noise[2] = {test::Noise(kFrames, 1), test::Noise(kFrames, 2)};
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kFrames; ++i) in[c][i] = static_cast<Sample>(noise[c][i]);
  std::vector<Sample> out[2] = {std::vector<Sample>(kFrames), std::vector<Sample>(kFrames)};
  std::vector<double> expected[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};

  const auto reference_call = [&](int from, int n) { test::ReferenceSpan(*reference, in, expected, from, n); };

  std::mt19937 random(7);
  std::uniform_int_distribution<int> length(1, static_cast<int>(kMaxBlock));
  std::uniform_int_distribution<int> step(0, 64);
  EventList events;
  Bytes saved;
  for (int done = 0, call = 0; done < kFrames; ++call) {
    // Calls of 1 to 4096 frames, the shortest ones now and then.
    const int n = std::min(call % 7 == 3 ? 1 + call % 5 : length(random), kFrames - done);
    events.Clear();
    int split = 0;
    if (call % 3 == 0) {
      const auto band = static_cast<clap_id>(call / 3 % 5);
      const double normalized = step(random) / 64.0;
      split = n / 2;
      events.Add(band, static_cast<std::uint32_t>(split), -60.0 + 90.0 * normalized);
      events.Add(band + 1000, static_cast<std::uint32_t>(split), 0.0);  // no such parameter
      reference_call(done, split);
      reference->SetParameter(static_cast<VstInt32>(band), static_cast<float>(normalized));
    }
    if (call == 40) saved = reference->GetChunk(true);
    if (call == 60) {
      // A load while active is heard from the next call, as in the VST 2.4 module.
      ASSERT_TRUE(plug->LoadState(saved, 5));
      ASSERT_TRUE(reference->SetChunk(saved, true));
    }
    Sample* inPtr[2] = {in[0].data() + done, in[1].data() + done};
    Sample* outPtr[2] = {out[0].data() + done, out[1].data() + done};
    ASSERT_EQ(plug->Process(inPtr, outPtr, static_cast<std::uint32_t>(n), &events), kClapProcessContinue);
    reference_call(done + split, n - split);
    done += n;
  }
  const test::Agreement agreement = test::Agree(out, expected, kFrames);
  EXPECT_GT(agreement.loudest, 0.1);  // the comparison saw sound
  EXPECT_LE(agreement.worst, tolerance);
}

TEST(Processing, MatchesTheVst2ModuleIn32Bits) {
  for (double rate : {44100.0, 48000.0, 96000.0}) ExpectSameAsVst2<float>(rate, 1e-6);
}

TEST(Processing, MatchesTheVst2ModuleIn64Bits) {
  for (double rate : {44100.0, 48000.0, 96000.0}) ExpectSameAsVst2<double>(rate, 1e-12);
}

// The reported latency is where an impulse comes out at flat settings, at
// every rate; the host hears of it only when it differs from the previous
// activation's.
TEST(Processing, LatencyIsTheMeasuredDelayAndAnnouncedOnChange) {
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  const auto* latency = plug->Get<clap_plugin_latency_t>(kClapExtLatency);
  const int expectedChanges[] = {0, 0, 1, 2};
  int step = 0;
  for (double rate : {44100.0, 44100.0, 96000.0, 48000.0}) {
    SCOPED_TRACE(rate);
    ASSERT_TRUE(plug->Activate(rate, 1024));
    EXPECT_EQ(plug->latencyChanges, expectedChanges[step++]);
    const std::uint32_t reported = latency->get(&plug->Plugin());
    std::vector<double> x(reported + 2048, 0.0), y(x.size(), 0.0);
    x[0] = 1.0;
    for (std::size_t done = 0; done < x.size(); done += 1024) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(1024, x.size() - done));
      double* inPtr[2] = {x.data() + done, x.data() + done};
      double* outPtr[2] = {y.data() + done, nullptr};
      ASSERT_EQ(plug->Process(inPtr, outPtr, n), kClapProcessContinue);
    }
    std::size_t peak = 0;
    for (std::size_t i = 0; i < y.size(); ++i)
      if (std::abs(y[i]) > std::abs(y[peak])) peak = i;
    EXPECT_EQ(peak, reported);
    EXPECT_NEAR(y[peak], 1.0, 1e-3);  // flat: the kernels sum to nearly a pure delay
    plug->Deactivate();
  }
  EXPECT_FALSE(plug->Plugin().activate(&plug->Plugin(), 8000.0, 1, 512));  // below the supported rates
}

// The bypass switches at its event's frame: after the delay has filled and
// the crossfade, the input delayed by the latency; switched off, the
// plug-in's output again, as an instance never bypassed plays it.
TEST(Processing, BypassPassesTheInputDelayedAndSwitchesBack) {
  constexpr std::uint32_t kCall = 1024, kCalls = 40, kOn = 100, kOff = 20 * kCall + 300;
  auto plug = NewClap();
  auto plain = NewClap();
  ASSERT_TRUE(plug && plain && plug->Activate(44100.0, kCall) && plain->Activate(44100.0, kCall));
  const std::vector<double> x[2] = {test::Noise(kCall * kCalls, 51), test::Noise(kCall * kCalls, 52)};
  std::vector<double> out[2], want[2];
  for (int c = 0; c < 2; ++c) out[c] = want[c] = std::vector<double>(x[c].size());
  EventList events, gain;
  gain.Add(0, 0, 30.0);
  for (std::uint32_t call = 0; call < kCalls; ++call) {
    const std::uint32_t done = call * kCall;
    events.Clear();
    if (call == 0) {
      events.Add(0, 0, 30.0);
      events.Add(kBypass, kOn, 1.0);
    }
    if (call == kOff / kCall) events.Add(kBypass, kOff % kCall, 0.0);
    double* in[2] = {const_cast<double*>(x[0].data()) + done, const_cast<double*>(x[1].data()) + done};
    double* o[2] = {out[0].data() + done, out[1].data() + done};
    double* w[2] = {want[0].data() + done, want[1].data() + done};
    ASSERT_EQ(plug->Process(in, o, kCall, &events), kClapProcessContinue);
    ASSERT_EQ(plain->Process(in, w, kCall, call == 0 ? &gain : nullptr), kClapProcessContinue);
  }
  const auto latency = plug->Get<clap_plugin_latency_t>(kClapExtLatency)->get(&plug->Plugin());
  ASSERT_GT(latency, 0u);
  for (int c = 0; c < 2; ++c) {
    for (std::uint32_t i = kOn + 3 * latency; i < kOff; ++i) ASSERT_EQ(out[c][i], x[c][i - latency]) << c << " " << i;
    for (std::uint32_t i = 0; i < kOn; ++i) ASSERT_EQ(out[c][i], want[c][i]) << c << " " << i;
    for (std::uint32_t i = kOff + latency; i < kCall * kCalls; ++i) ASSERT_EQ(out[c][i], want[c][i]) << c << " " << i;
  }
}

TEST(Processing, ZeroFramesSilenceFlagsAndReset) {
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  std::vector<float> a(256, 7.0f), b(256, 7.0f);
  float* out[2] = {a.data(), b.data()};
  EventList events;
  events.Add(0, 0, 30.0);
  // No frames: at once, even before activation, touching nothing.
  EXPECT_EQ(plug->Process(out, out, 0, &events), kClapProcessContinue);
  EXPECT_EQ(plug->Value(0), 0.0);
  EXPECT_EQ(a[0], 7.0f);
  EXPECT_EQ(plug->Process(out, out, 256), kClapProcessError);  // inactive

  ASSERT_TRUE(plug->Activate(48000.0, 256));
  std::uint64_t mask = 0;
  ASSERT_EQ(plug->Process<float>(nullptr, out, 256, nullptr, &mask), kClapProcessContinue);
  EXPECT_EQ(mask, 3u);  // silence in, silence out
  std::vector<float> loud(256, 0.5f), quiet(256, 0.0f);
  float* in[2] = {loud.data(), quiet.data()};
  for (int i = 0; i < 20; ++i) ASSERT_EQ(plug->Process(in, out, 256, nullptr, &mask), kClapProcessContinue);
  EXPECT_EQ(mask, 2u);
  EXPECT_EQ(plug->Process(in, static_cast<float* const*>(nullptr), 256), kClapProcessContinue);
  // Beyond the activated maximum (a host fault): served in pieces, no harm.
  std::vector<float> longer(600, 0.0f);
  float* wide[2] = {longer.data(), longer.data()};
  EXPECT_EQ(plug->Process(wide, wide, 600), kClapProcessContinue);

  // reset forgets the audio: a call of noise gives what a fresh instance gives.
  auto fresh = NewClap();
  ASSERT_TRUE(fresh && fresh->Activate(48000.0, 256));
  plug->Plugin().reset(&plug->Plugin());
  std::vector<float> n0(256), n1(256), f0(256), f1(256);
  const std::vector<double> noise = test::Noise(256, 5);
  std::transform(noise.begin(), noise.end(), loud.begin(), [](double v) { return static_cast<float>(v); });
  in[1] = loud.data();
  float* outA[2] = {n0.data(), n1.data()};
  float* outB[2] = {f0.data(), f1.data()};
  for (int i = 0; i < 12; ++i) {
    ASSERT_EQ(plug->Process(in, outA, 256), kClapProcessContinue);
    ASSERT_EQ(fresh->Process(in, outB, 256), kClapProcessContinue);
    ASSERT_TRUE(n0 == f0 && n1 == f1) << i;
  }
}

// The state is the VST 2.4 module's program chunk, both ways, in pieces of
// any size; a short, long, malformed or failing stream changes nothing.
TEST(State, AcrossFormatsAndBadStreams) {
  auto reference = test::NewInstance();
  auto plug = NewClap();
  ASSERT_TRUE(reference && plug);
  reference->SetParameter(0, 0.75f);
  reference->SetParameter(3, 0.25f);
  const Bytes chunk = reference->GetChunk(true);
  for (std::size_t piece : {1, 3, 7, 1 << 20}) {
    ASSERT_TRUE(plug->LoadState(chunk, piece)) << piece;
    Bytes saved;
    ASSERT_TRUE(plug->SaveState(saved, piece));
    EXPECT_EQ(saved, chunk);
  }
  EXPECT_EQ(plug->Value(0), -60.0 + 90.0 * 0.75);
  EXPECT_EQ(plug->Value(3), -60.0 + 90.0 * 0.25);

  EventList events;
  events.Add(4, 0, 21.0);
  plug->Params().flush(&plug->Plugin(), events.List(), nullptr);
  Bytes saved;
  ASSERT_TRUE(plug->SaveState(saved, 2));
  auto other = test::NewInstance();
  ASSERT_TRUE(other && other->SetChunk(saved, true));
  EXPECT_EQ(other->GetParameter(4), 0.9f);

  Bytes nan = saved;
  const double notANumber = std::nan("");
  std::memcpy(nan.data() + 8, &notANumber, 8);
  Bytes badMagic = saved;
  badMagic[0] ^= 1;
  Bytes longer = saved;
  longer.push_back(0);
  const Bytes shorter(saved.begin(), saved.end() - 1);
  for (const Bytes& bad : {nan, badMagic, longer, shorter, Bytes{}}) EXPECT_FALSE(plug->LoadState(bad, 3));
  EXPECT_FALSE(plug->LoadState(chunk, 4, 20));  // the stream fails part way
  Bytes after;
  ASSERT_TRUE(plug->SaveState(after));
  EXPECT_EQ(after, saved);
}

std::size_t MemoryInUse() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS_EX counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return counters.PrivateUsage;
#else
  return test::HeapInUse();
#endif
}

TEST(Lifecycle, AThousandInstancesLeaveMemoryFlat) {
  const auto cycle = [](int i) {
    auto plug = NewClap();
    ASSERT_TRUE(plug) << i;
    if (i % 100 == 0) {
      ASSERT_TRUE(plug->Activate(44100.0, 128));
    }
  };
  for (int i = 0; i < 20; ++i) cycle(i);
  const std::size_t before = MemoryInUse();
  for (int i = 0; i < 1000; ++i) cycle(i);
  EXPECT_LE(MemoryInUse(), before + 64 * 1024);
}

}  // namespace
}  // namespace tarvel::hostclap
