// The built VST3 bundle driven the way a host drives it, through the test
// host, and compared with the built VST 2.4 module where both must agree.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/Agreement.h"
#include "tests/support/PluginFile.h"
#include "tests/support/RenderReference.h"
#include "tests/support/TestNoise.h"
#include "tests/support/Vst3TestSupport.h"
#include "tools/host3/Vst3Instance.h"
#include "vst3/IPlugVST3.h"
#include "vst3/Vst3Factory.h"

namespace tarvel::vst3 {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr ParamID kBypass = IPlugVST3::kBypassId;

// A class id as moduleinfo.json writes it: the four 32-bit words in hex.
std::string CidText(const char* cid) {
  // Where byte k of the written form is kept (COM GUIDs swap the first three fields).
  const int comOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  char hex[3];
  for (int k = 0; k < 16; ++k) {
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(cid[kComLayout ? comOrder[k] : k]));
    text += hex;
  }
  return text;
}

TEST(Factory, DescribesOneEqualiserClass) {
  auto module = Bundle();
  ASSERT_TRUE(module);
  void* obj = nullptr;
  ASSERT_EQ(module->Factory()->queryInterface(kIPluginFactory3Iid.data(), &obj), kResultOk);
  auto* factory = static_cast<IPluginFactory3*>(obj);
  PFactoryInfo info{};
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Corvane");
  ASSERT_EQ(factory->countClasses(), 1);
  PClassInfo2 classInfo{};
  ASSERT_EQ(factory->getClassInfo2(0, &classInfo), kResultOk);
  EXPECT_EQ(std::memcmp(classInfo.cid, kTarvelClassId.data(), 16), 0);
  EXPECT_STREQ(classInfo.category, "Audio Module Class");
  EXPECT_STREQ(classInfo.name, "Tarvel");
  EXPECT_STREQ(classInfo.subCategories, "Fx|EQ");
  EXPECT_STREQ(classInfo.version, "1.0.0");
  // The bundle's moduleinfo.json says what the factory says.
  std::ifstream json(TARVEL_VST3_BUNDLE "/Contents/Resources/moduleinfo.json");
  const std::string moduleInfo((std::istreambuf_iterator<char>(json)), std::istreambuf_iterator<char>());
  const auto says = [&](const std::string& key, const std::string& value) {
    return moduleInfo.find("\"" + key + "\": " + value) != std::string::npos;
  };
  const auto text = [](const std::string& value) { return "\"" + value + "\""; };
  EXPECT_TRUE(says("CID", text(CidText(classInfo.cid)))) << moduleInfo;
  EXPECT_TRUE(says("Name", text(classInfo.name)));
  EXPECT_TRUE(says("Vendor", text(info.vendor)));
  EXPECT_TRUE(says("Version", text(classInfo.version)));
  EXPECT_TRUE(says("SDKVersion", text(classInfo.sdkVersion)));
  EXPECT_TRUE(says("Category", text(classInfo.category)));
  std::string categories = "[\"" + std::string(classInfo.subCategories) + "\"]";
  for (std::size_t bar; (bar = categories.find('|')) != std::string::npos;) categories.replace(bar, 1, "\", \"");
  EXPECT_TRUE(says("Sub Categories", categories));
  PClassInfoW wide{};
  ASSERT_EQ(factory->getClassInfoUnicode(0, &wide), kResultOk);
  EXPECT_EQ(Narrow(wide.name), "Tarvel");
  EXPECT_EQ(Narrow(wide.vendor), "Corvane");
  EXPECT_NE(factory->getClassInfo2(1, &classInfo), kResultOk);
  // An unknown class or interface gives nothing.
  obj = &info;
  EXPECT_NE(factory->createInstance(kIComponentIid.data(), kIComponentIid.data(), &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
  EXPECT_NE(factory->createInstance(kTarvelClassId.data(), kIPlugViewIid.data(), &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
}

TEST(Buses, StereoInStereoOutAndMonoInputOnly) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  IComponent& component = plug->Component();
  EXPECT_EQ(component.getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(component.getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(component.getBusCount(kEvent, kInput), 0);
  EXPECT_EQ(component.getBusCount(kEvent, kOutput), 0);
  BusInfo bus{};
  ASSERT_EQ(component.getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
  EXPECT_EQ(bus.channelCount, 2);
  EXPECT_EQ(bus.busType, kMain);
  EXPECT_NE(component.getBusInfo(kAudio, kInput, 1, bus), kResultOk);

  IAudioProcessor& processor = plug->Processor();
  SpeakerArrangement mono = kSpeakerArrMono;
  SpeakerArrangement stereo = kSpeakerArrStereo;
  SpeakerArrangement surround = 0x3F;
  EXPECT_EQ(processor.setBusArrangements(&mono, 1, &stereo, 1), kResultOk);
  ASSERT_EQ(component.getBusInfo(kAudio, kInput, 0, bus), kResultOk);
  EXPECT_EQ(bus.channelCount, 1);
  EXPECT_EQ(processor.setBusArrangements(&surround, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor.setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
  SpeakerArrangement arrangement = 0;
  ASSERT_EQ(processor.getBusArrangement(kInput, 0, arrangement), kResultOk);
  EXPECT_EQ(arrangement, kSpeakerArrStereo);
  ASSERT_EQ(component.getBusInfo(kAudio, kInput, 0, bus), kResultOk);
  EXPECT_EQ(bus.channelCount, 2);
}

TEST(Parameters, GainsAndBypassAsHostsListThem) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  IEditController& controller = plug->Controller();
  ASSERT_EQ(controller.getParameterCount(), 6);
  const char* names[] = {"80 Hz", "250 Hz", "800 Hz", "2.5 kHz", "8 kHz"};
  for (int32 i = 0; i < 5; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(controller.getParameterInfo(i, info), kResultOk);
    EXPECT_EQ(info.id, static_cast<ParamID>(i));
    EXPECT_EQ(Narrow(info.title), names[i]);
    EXPECT_EQ(Narrow(info.units), "dB");
    EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, 60.0 / 90.0);
    EXPECT_EQ(info.flags, kCanAutomate);
  }
  ParameterInfo bypass{};
  ASSERT_EQ(controller.getParameterInfo(5, bypass), kResultOk);
  EXPECT_EQ(bypass.id, kBypass);
  EXPECT_EQ(bypass.stepCount, 1);
  EXPECT_EQ(bypass.flags, kCanAutomate | kIsBypass);
  EXPECT_NE(controller.getParameterInfo(6, bypass), kResultOk);
  // Far from the bands' ids, so a further band takes the next one: hosts
  // keep ids in their sessions.
  EXPECT_GE(bypass.id, 0x10000u);
  EXPECT_EQ(controller.setParamNormalized(5, 1.0), kInvalidArgument);

  EXPECT_DOUBLE_EQ(controller.normalizedParamToPlain(0, 0.5), -15.0);
  EXPECT_DOUBLE_EQ(controller.plainParamToNormalized(0, 30.0), 1.0);
  EXPECT_DOUBLE_EQ(controller.plainParamToNormalized(0, -100.0), 0.0);
}

TEST(Parameters, TextsFollowTheDisplayAndEntryRules) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  IEditController& controller = plug->Controller();
  String128 text{};
  ASSERT_EQ(controller.getParamStringByValue(3, 0.0, text), kResultOk);
  EXPECT_EQ(Narrow(text), "-60.00");
  ASSERT_EQ(controller.getParamStringByValue(3, 60.0 / 90.0, text), kResultOk);
  EXPECT_EQ(Narrow(text), "0");
  ASSERT_EQ(controller.getParamStringByValue(kBypass, 1.0, text), kResultOk);
  EXPECT_EQ(Narrow(text), "On");

  ParamValue value = -1.0;
  Widen("12", text);
  ASSERT_EQ(controller.getParamValueByString(1, text, value), kResultOk);
  EXPECT_DOUBLE_EQ(value, 72.0 / 90.0);
  Widen("-100 dB", text);
  ASSERT_EQ(controller.getParamValueByString(1, text, value), kResultOk);
  EXPECT_DOUBLE_EQ(value, 0.0);
  // No number: refused, and the value stays.
  for (const char* bad : {"", "abc", "dB", "nan"}) {
    value = 0.25;
    Widen(bad, text);
    EXPECT_EQ(controller.getParamValueByString(1, text, value), kResultFalse) << bad;
    EXPECT_EQ(value, 0.25);
  }
  EXPECT_DOUBLE_EQ(controller.getParamNormalized(1), 60.0 / 90.0);
}

// The same noise through both modules with the same settings changed at the
// same calls: the VST 2.4 module through setParameter before a call, the
// VST3 one through that call's queues.
template <typename Sample>
void ExpectSameAsVst2(double rate, double tolerance) {
  SCOPED_TRACE(rate);
  constexpr int32 kMaxBlock = 1024;
  constexpr int kFrames = 40000;
  auto reference = test::NewInstance();
  auto plug = NewVst3();
  ASSERT_TRUE(reference && plug);
  reference->SetSampleRate(rate);
  reference->SetBlockSize(kMaxBlock);
  reference->Resume();
  ASSERT_TRUE(plug->Start(rate, kMaxBlock, std::is_same_v<Sample, float> ? kSample32 : kSample64));
  EXPECT_EQ(static_cast<int>(plug->Processor().getLatencySamples()), reference->Latency());

  const std::vector<double> left = test::Noise(kFrames, 1);
  const std::vector<double> right = test::Noise(kFrames, 2);
  std::vector<Sample> in[2], out[2];
  for (int c = 0; c < 2; ++c) {
    in[c].assign(kFrames, 0);
    out[c].assign(kFrames, 0);
  }
  for (int i = 0; i < kFrames; ++i) {
    in[0][i] = static_cast<Sample>(left[i]);
    in[1][i] = static_cast<Sample>(right[i]);
  }
  std::vector<double> expected[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};

  std::mt19937 random(7);
  std::uniform_int_distribution<int> length(0, kMaxBlock);
  std::uniform_int_distribution<int> step(0, 64);
  ParamChanges changes;
  for (int done = 0, call = 0; done < kFrames; ++call) {
    const int n = std::min(length(random), kFrames - done);
    changes.Clear();
    if (call % 5 == 0) {
      // Values a float holds exactly: the VST 2.4 interface passes floats.
      const auto band = static_cast<ParamID>(call / 5 % 5);
      const double value = step(random) / 64.0;
      changes.Add(band, 0, 0.5);
      changes.Add(band, n / 2, value);
      reference->SetParameter(static_cast<VstInt32>(band), static_cast<float>(value));
    }
    Sample* inPtr[2] = {in[0].data() + done, in[1].data() + done};
    Sample* outPtr[2] = {out[0].data() + done, out[1].data() + done};
    ASSERT_EQ(plug->Process(inPtr, outPtr, n, &changes), kResultOk);
    test::ReferenceSpan(*reference, in, expected, done, n);  // none for n = 0: VST 2.4 has no flushing call
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

// Settings that arrive before the first frames of a fresh instance (restored
// state, or changes in the first call) or of a new activation are played from
// the first sample, as tarvel-render plays them through the VST 2.4 module;
// and an activation forgets the audio from before it.
TEST(Processing, SettingsBeforeTheFirstFramesHoldFromTheFirstSample) {
  constexpr int kFrames = 12000;
  const std::vector<std::vector<double>> x = {test::Noise(kFrames, 21), test::Noise(kFrames, 22)};
  auto reference = test::NewInstance();
  ASSERT_TRUE(reference);
  reference->SetSampleRate(48000.0);
  reference->SetBlockSize(512);
  const std::pair<ParamID, float> settings[] = {{0, 0.75f}, {2, 0.5f}, {4, 0.625f}};
  for (const auto& [id, value] : settings) reference->SetParameter(static_cast<VstInt32>(id), value);
  reference->Resume();
  const std::vector<std::vector<double>> want = test::RenderLikeTarvelRender(*reference, x);

  enum class Way { kState, kFirstCall, kReactivation };
  std::vector<double> fresh[2];  // the output of the fresh instance given the state
  for (const Way way : {Way::kState, Way::kFirstCall, Way::kReactivation}) {
    SCOPED_TRACE(static_cast<int>(way));
    auto plug = NewVst3();
    ASSERT_TRUE(plug);
    std::vector<double> in[2], out[2];
    const auto run = [&](IParameterChanges* first) {
      for (int done = 0, size = static_cast<int>(in[0].size()); done < size;) {
        const int n = std::min(4096, size - done);
        double* inPtr[2] = {in[0].data() + done, in[1].data() + done};
        double* outPtr[2] = {out[0].data() + done, out[1].data() + done};
        ASSERT_EQ(plug->Process(inPtr, outPtr, n, done == 0 ? first : nullptr), kResultOk);
        done += n;
      }
    };
    if (way == Way::kReactivation) {
      // Other audio at other settings first, then a stop at the same rate.
      ASSERT_TRUE(plug->Start(48000.0, 4096, kSample64));
      ParamChanges loud;
      loud.Add(1, 0, 1.0);
      for (int c = 0; c < 2; ++c) in[c] = out[c] = test::Noise(10000, 30 + c);
      run(&loud);
      plug->Stop();
    }
    if (way != Way::kFirstCall) {
      ASSERT_EQ(plug->SetState(reference->GetChunk(true)), kResultOk);
    }
    ASSERT_TRUE(plug->Start(48000.0, 4096, kSample64));
    const int latency = static_cast<int>(plug->Processor().getLatencySamples());
    for (int c = 0; c < 2; ++c) {
      in[c] = x[c];
      in[c].resize(kFrames + latency, 0.0);
      out[c].assign(in[c].size(), 0.0);
    }
    ParamChanges changes;
    for (const auto& [id, value] : settings) changes.Add(id, 0, value);
    run(way == Way::kFirstCall ? &changes : nullptr);
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < kFrames; ++i) worst = std::max(worst, std::abs(out[c][latency + i] - want[c][i]));
    EXPECT_LT(worst, 1e-9);  // rounding only: the blocks fall on other frames
    if (way == Way::kState) fresh[0] = out[0], fresh[1] = out[1];
    // Bit for bit the fresh instance's: nothing from before the activation.
    if (way == Way::kReactivation) {
      EXPECT_TRUE(out[0] == fresh[0] && out[1] == fresh[1]);
    }
  }
}

TEST(Processing, LatencyFollowsTheRateAndIsAnnounced) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug->Start(44100.0, 512, kSample32));
  EXPECT_EQ(plug->Processor().getLatencySamples(), 2048u);
  EXPECT_GT(plug->Processor().getTailSamples(), 2048u);
  EXPECT_TRUE(plug->Handler().restarts.empty());
  plug->Stop();
  ASSERT_TRUE(plug->Start(96000.0, 512, kSample32));
  EXPECT_GT(plug->Processor().getLatencySamples(), 2048u);
  ASSERT_EQ(plug->Handler().restarts.size(), 1u);
  EXPECT_EQ(plug->Handler().restarts[0], kLatencyChanged);
}

TEST(Processing, FlushesNullBuffersAndSilenceFlags) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug->Start(48000.0, 256, kSample64));
  // A change in a call of no frames takes effect all the same.
  ParamChanges changes;
  changes.Add(2, 0, 1.0);
  EXPECT_EQ(plug->Process(static_cast<double* const*>(nullptr), nullptr, 0, &changes), kResultOk);
  EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(2), 1.0);

  std::vector<double> a(256, 0.0), b(256, 0.0);
  double* out[2] = {a.data(), b.data()};
  uint64 silence = 0;
  // No input bus buffers: silence in, silence out, flagged.
  ASSERT_EQ(plug->Process(nullptr, out, 256, nullptr, &silence), kResultOk);
  EXPECT_EQ(silence, 3u);
  // Sound on the left only: only the right is flagged once it comes out.
  std::vector<double> loud(256, 0.5), quiet(256, 0.0);
  double* in[2] = {loud.data(), quiet.data()};
  for (int i = 0; i < 20; ++i) ASSERT_EQ(plug->Process(in, out, 256, nullptr, &silence), kResultOk);
  EXPECT_EQ(silence, 2u);
  // No output buffers, and one null channel: nothing written, no fault.
  EXPECT_EQ(plug->Process(in, nullptr, 256, nullptr), kResultOk);
  double* half[2] = {a.data(), nullptr};
  EXPECT_EQ(plug->Process(in, half, 256, nullptr), kResultOk);
}

TEST(Processing, BypassPassesTheInputDelayedAndSwitchesBack) {
  // Two instances at +30 dB on the lowest band; one is bypassed from the
  // first call to call 20.
  auto plug = NewVst3();
  auto plain = NewVst3();
  ASSERT_TRUE(plug && plain);
  ASSERT_TRUE(plug->Start(44100.0, 512, kSample64));
  ASSERT_TRUE(plain->Start(44100.0, 512, kSample64));
  const int latency = static_cast<int>(plug->Processor().getLatencySamples());
  constexpr int kCalls = 60;
  constexpr int kFrames = 512 * kCalls;
  std::vector<double> in[2] = {test::Noise(kFrames, 3), test::Noise(kFrames, 4)};
  std::vector<double> out[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};
  std::vector<double> expected[2] = {std::vector<double>(kFrames), std::vector<double>(kFrames)};
  ParamChanges changes, gain;
  gain.Add(0, 0, 1.0);
  for (int call = 0; call < kCalls; ++call) {
    const int done = call * 512;
    changes.Clear();
    if (call == 0) changes.Add(0, 0, 1.0);
    if (call == 0 || call == 20) changes.Add(kBypass, 0, call == 0 ? 1.0 : 0.0);
    double* inPtr[2] = {in[0].data() + done, in[1].data() + done};
    double* outPtr[2] = {out[0].data() + done, out[1].data() + done};
    double* expectedPtr[2] = {expected[0].data() + done, expected[1].data() + done};
    ASSERT_EQ(plug->Process(inPtr, outPtr, 512, &changes), kResultOk);
    ASSERT_EQ(plain->Process(inPtr, expectedPtr, 512, call == 0 ? &gain : nullptr), kResultOk);
    if (call == 19) {
      EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(kBypass), 1.0);
    }
  }
  for (int c = 0; c < 2; ++c) {
    // Bypassed, after the delay filled and the crossfade: the input, delayed.
    for (int i = 3 * latency; i < 20 * 512; ++i) ASSERT_EQ(out[c][i], in[c][i - latency]) << c << " " << i;
    // Back, after the crossfade: what the instance that never left gives.
    for (int i = 20 * 512 + latency; i < kFrames; ++i) ASSERT_EQ(out[c][i], expected[c][i]) << c << " " << i;
  }
  EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(kBypass), 0.0);
  EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(0), 1.0);
}

TEST(State, SameBytesAsTheVst2ChunkBothWays) {
  auto reference = test::NewInstance();
  auto plug = NewVst3();
  ASSERT_TRUE(reference && plug);
  reference->SetParameter(0, 0.25f);
  reference->SetParameter(4, 1.0f);
  const Bytes chunk = reference->GetChunk(true);
  ASSERT_EQ(chunk.size(), 48u);
  ASSERT_EQ(plug->SetState(chunk), kResultOk);
  EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(0), 0.25);
  EXPECT_DOUBLE_EQ(plug->Controller().getParamNormalized(4), 1.0);
  EXPECT_EQ(plug->State(), chunk);

  auto other = test::NewInstance();
  ASSERT_TRUE(other);
  plug->Controller().setParamNormalized(2, 0.5);
  ASSERT_TRUE(other->SetChunk(plug->State(), true));
  EXPECT_EQ(other->GetParameter(2), 0.5f);
}

TEST(State, RefusesBadStreamsWholly) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  plug->Controller().setParamNormalized(1, 0.75);
  const Bytes good = plug->State();
  ASSERT_EQ(good.size(), 48u);
  Bytes shortened(good.begin(), good.end() - 1);
  Bytes longer = good;
  longer.push_back(0);
  Bytes wrongMagic = good;
  wrongMagic[0] ^= 1;
  Bytes notANumber = good;
  const double nan = std::nan("");
  std::memcpy(notANumber.data() + 8, &nan, 8);
  Bytes changed = good;
  const double gain = 3.0;
  std::memcpy(changed.data() + 16, &gain, 8);
  for (const Bytes& bad : {Bytes{}, shortened, longer, wrongMagic, notANumber}) {
    EXPECT_EQ(plug->SetState(bad), kResultFalse);
    EXPECT_EQ(plug->State(), good);
  }
  EXPECT_EQ(plug->Component().setState(nullptr), kInvalidArgument);
  EXPECT_EQ(plug->SetState(changed), kResultOk);
  EXPECT_EQ(plug->State(), changed);
}

TEST(Torture, CallsInTheWrongStateAreRefused) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  std::vector<float> a(64), b(64);
  float* channels[2] = {a.data(), b.data()};
  EXPECT_EQ(plug->Process(channels, channels, 64, nullptr), kResultFalse);  // before set-up
  EXPECT_EQ(plug->Component().setActive(1), kResultFalse);                  // before set-up
  ProcessSetup wrong{kRealtime, 7, 64, 44100.0};
  EXPECT_EQ(plug->Processor().setupProcessing(wrong), kResultFalse);
  wrong = {kRealtime, kSample32, 0, 44100.0};
  EXPECT_EQ(plug->Processor().setupProcessing(wrong), kResultFalse);
  wrong = {kRealtime, kSample32, 64, std::nan("")};
  EXPECT_EQ(plug->Processor().setupProcessing(wrong), kResultFalse);
  ASSERT_TRUE(plug->Start(44100.0, 64, kSample32));
  EXPECT_EQ(plug->Component().setActive(1), kResultFalse);  // twice
  ProcessSetup again{kRealtime, kSample32, 64, 48000.0};
  EXPECT_EQ(plug->Processor().setupProcessing(again), kResultFalse);  // while active
  EXPECT_EQ(plug->Process(channels, channels, -1, nullptr), kInvalidArgument);
  EXPECT_EQ(plug->Process(channels, channels, 64, nullptr), kResultOk);
  plug->Stop();
  EXPECT_EQ(plug->Component().setActive(0), kResultFalse);  // twice
  EXPECT_EQ(plug->Process(channels, channels, 64, nullptr), kResultFalse);

  IPlugView* view = plug->Controller().createView(kEditorViewName);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(plug->Controller().createView(kEditorViewName), nullptr);  // one at a time
  EXPECT_EQ(view->removed(), kResultFalse);                            // never attached
  EXPECT_EQ(view->attached(nullptr, "no such type"), kResultFalse);
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right, 768);
  EXPECT_EQ(size.bottom, 768);
  EXPECT_EQ(view->canResize(), kResultFalse);
  view->release();
  EXPECT_EQ(plug->Controller().createView("no such view"), nullptr);
}

TEST(Torture, CreateAndTerminateAThousandTimes) {
  for (int i = 0; i < 1000; ++i) {
    auto plug = NewVst3();
    ASSERT_TRUE(plug) << i;
    if (i % 100 == 0) {
      ASSERT_TRUE(plug->Start(44100.0, 128, kSample32));
    }
  }
}

}  // namespace
}  // namespace tarvel::vst3
