// The adapter in-process, on plug-ins other than Tarvel: long texts, other
// channel configurations, MIDI, an editor, and hosts that answer oddly or not
// at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "tests/support/FakeEditor.h"
#include "vst/HostIdentity.h"
#include "vst/IPlugVST.h"

namespace tarvel::test {
namespace {

// The host side: answers from its fields and records every request.
struct RecordingHost {
  std::string product = "Test Host";
  VstIntPtr vendorVersion = 20305;
  bool fillProductBuffer = false;  // write 256 bytes without a terminator
  bool answerTime = true;
  VstTimeInfo time{};
  VstIntPtr eventsAnswer = 1;
  std::vector<VstInt32> requests;
  std::vector<VstMidiEvent> midi;

  int Count(VstInt32 opcode) const { return static_cast<int>(std::count(requests.begin(), requests.end(), opcode)); }
};

RecordingHost* currentHost = nullptr;

VstIntPtr TARVEL_VSTCALL HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  RecordingHost& host = *currentHost;
  host.requests.push_back(opcode);
  switch (opcode) {
    case audioMasterGetProductString:
      if (host.fillProductBuffer)
        std::memset(ptr, 'h', 256);
      else
        std::strcpy(static_cast<char*>(ptr), host.product.c_str());
      return 1;
    case audioMasterGetVendorVersion:
      return host.vendorVersion;
    case audioMasterGetTime:
      return host.answerTime ? reinterpret_cast<VstIntPtr>(&host.time) : 0;
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      for (int i = 0; i < events->numEvents; ++i)
        host.midi.push_back(*reinterpret_cast<const VstMidiEvent*>(events->events[i]));
      return host.eventsAnswer;
    }
    default:
      return 0;
  }
}

struct Options {
  const char* channelIO = "1-2 2-2";
  std::string effectName = "Test";
  std::string productName = "Product";
  std::string vendorName = "Vendor";
  bool usesMidi = false;
  bool usesChunks = false;
  bool isInstrument = false;
  audioMasterCallback callback = &HostCallback;
};

// A plug-in of two parameters built as the options say.
class TestBase final : public IPlugBase {
 public:
  TestBase(IHostRequests& host, const Options& o, bool* gone)
      : IPlugBase(&host, 2, o.channelIO, 0, o.effectName.c_str(), o.productName.c_str(), o.vendorName.c_str(),
                  0x10203, 0x54657374, 0x56656E64, 0, o.usesMidi, o.usesChunks, o.isInstrument),
        gone(gone) {
    GetParameter(0)->InitContinuous(std::string(31, 'N').c_str(), 0.0, -1e9, 1e9, 0.000001,
                                    std::string(31, 'L').c_str());
    GetParameter(1)->InitContinuous("p", 0.0, -60.0, 30.0, 0.01, "dB");
  }
  ~TestBase() override {
    if (gone) *gone = true;
  }

  void ResetProcessing() override {
    if (throwOnReset) throw std::bad_alloc();
  }
  void EditorOpened() override { ++opened; }

  bool throwOnReset = false;
  int opened = 0;
  bool* gone;
};

// The adapter on a TestBase, as the entry builds it.
class TestVstPlug {
 public:
  explicit TestVstPlug(const Options& o = {}, bool* gone = nullptr)
      : adapter(IPlugVST::Create(o.callback,
                                 [&](IHostRequests& host) { return std::make_unique<TestBase>(host, o, gone); })),
        base(static_cast<TestBase&>(adapter->Plug())) {}

  AEffect* Effect() { return adapter->Effect(); }
  IPlugVST& Vst() { return *adapter; }
  TestBase& Base() { return base; }
  Parameter* GetParameter(int index) { return base.GetParameter(index); }

  VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return Effect()->dispatcher(Effect(), opcode, index, value, ptr, opt);
  }
  // Processes silence through each callback once.
  void ProcessEveryWay() {
    float f[64] = {};
    double d[64] = {};
    float* fl[6] = {f, f, f, f, f, f};
    double* dl[6] = {d, d, d, d, d, d};
    Effect()->process(Effect(), fl, fl, 64);
    Effect()->processReplacing(Effect(), fl, fl, 64);
    Effect()->processDoubleReplacing(Effect(), dl, dl, 64);
  }
  std::vector<bool> InputsConnected() const {
    std::vector<bool> connected;
    for (int i = 0; i < base.InputChannelCount(); ++i) connected.push_back(base.GetInputChannel(i)->connected);
    return connected;
  }
  std::vector<bool> OutputsConnected() const {
    std::vector<bool> connected;
    for (int i = 0; i < base.OutputChannelCount(); ++i) connected.push_back(base.GetOutputChannel(i)->connected);
    return connected;
  }
  // Hands the instance to the host, as the entry does: effClose deletes it.
  AEffect* Release() {
    AEffect* effect = Effect();
    adapter.release();
    return effect;
  }

 private:
  std::unique_ptr<IPlugVST> adapter;
  TestBase& base;
};

struct Adapter : ::testing::Test {
  Adapter() { currentHost = &host; }
  ~Adapter() override { currentHost = nullptr; }
  RecordingHost host;
};

// The text written into a buffer full of sentinels, and whether it ends
// inside the first `limit` bytes with the rest untouched.
std::pair<std::string, bool> Bounded(TestVstPlug& plug, VstInt32 opcode, VstInt32 index, std::size_t limit,
                                     VstIntPtr value = 0, float opt = 0.0f) {
  std::vector<char> buffer(512, '~');
  plug.Call(opcode, index, value, buffer.data(), opt);
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  const bool contained = end < buffer.begin() + static_cast<long>(limit) &&
                         std::all_of(end + 1, buffer.end(), [](char c) { return c == '~'; });
  return {std::string(buffer.begin(), end), contained};
}

TEST_F(Adapter, LongTextsAreCutToTheHostsFields) {
  Options options;
  options.effectName = std::string(127, 'e');
  options.productName = std::string(127, 'p');
  options.vendorName = std::string(127, 'v');
  TestVstPlug plug(options);
  plug.GetParameter(0)->SetValueClamped(-123456.789012);

  EXPECT_EQ(Bounded(plug, effGetEffectName, 0, 32), std::make_pair(std::string(31, 'e'), true));
  EXPECT_EQ(Bounded(plug, effGetProductString, 0, 64), std::make_pair(std::string(63, 'p'), true));
  EXPECT_EQ(Bounded(plug, effGetVendorString, 0, 64), std::make_pair(std::string(63, 'v'), true));
  EXPECT_EQ(Bounded(plug, effGetParamName, 0, 8), std::make_pair(std::string(7, 'N'), true));
  EXPECT_EQ(Bounded(plug, effGetParamLabel, 0, 8), std::make_pair(std::string(7, 'L'), true));
  EXPECT_EQ(Bounded(plug, effGetParamDisplay, 0, 8), std::make_pair(std::string("-123456"), true));
  EXPECT_EQ(Bounded(plug, effVendorSpecific, 7, 8, 0, 1.0f), std::make_pair(std::string("1000000"), true));
}

TEST_F(Adapter, RecordFollowsTheConstructionArguments) {
  struct Case {
    const char* channelIO;
    bool usesChunks, isInstrument;
    VstInt32 flags, inputs, outputs, inputType, outputType, category;
  };
  const Case cases[] = {
      {"2-2", false, false, 0x1010, 2, 2, kSpeakerArrStereo, kSpeakerArrStereo, 1},
      {"1-1", true, false, 0x1038, 1, 1, kSpeakerArrMono, kSpeakerArrMono, 1},
      {"0-2", false, true, 0x1110, 0, 2, kSpeakerArrEmpty, kSpeakerArrStereo, 2},
      {"6-6 2-2", false, false, 0x1010, 6, 6, kSpeakerArrUserDefined, kSpeakerArrUserDefined, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channelIO);
    Options options;
    options.channelIO = c.channelIO;
    options.usesChunks = c.usesChunks;
    options.isInstrument = c.isInstrument;
    TestVstPlug plug(options);
    EXPECT_EQ(plug.Effect()->flags, c.flags);
    EXPECT_EQ(plug.Effect()->numInputs, c.inputs);
    EXPECT_EQ(plug.Effect()->numOutputs, c.outputs);
    EXPECT_EQ(plug.Effect()->version, 10203);
    EXPECT_EQ(plug.Call(effGetPlugCategory), c.category);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    plug.Call(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->type, c.inputType);
    EXPECT_EQ(in->numChannels, c.inputs);
    EXPECT_EQ(out->type, c.outputType);
    EXPECT_EQ(out->numChannels, c.outputs);
    EXPECT_EQ(plug.InputsConnected(), std::vector<bool>(static_cast<std::size_t>(c.inputs), true));
  }
}

TEST_F(Adapter, PinFlagsPairChannelsIntoStereo) {
  Options options;
  options.channelIO = "5-3";
  TestVstPlug plug(options);
  const VstInt32 expected[] = {3, 1, 3, 1, 1};
  for (int i = 0; i < 5; ++i) {
    VstPinProperties pin{};
    ASSERT_EQ(plug.Call(effGetInputProperties, i, 0, &pin), 1);
    EXPECT_EQ(pin.flags, expected[i]) << i;
  }
  VstPinProperties pin{};
  ASSERT_EQ(plug.Call(effGetOutputProperties, 2, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);  // the last of an odd count has no partner
  EXPECT_STREQ(pin.label, "Output 3");
}

TEST_F(Adapter, MidiPlugins) {
  Options options;
  options.usesMidi = true;
  TestVstPlug plug(options);
  for (const char* capability : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
    EXPECT_EQ(plug.Call(effCanDo, 0, 0, const_cast<char*>(capability)), 1) << capability;
  plug.ProcessEveryWay();
  EXPECT_EQ(host.Count(audioMasterWantMidi), 3);

  ValueList<MidiMessage> messages;
  for (std::uint8_t note : {60, 64, 67}) messages.Append({5, 0x90, note, 100});
  host.eventsAnswer = 0;
  EXPECT_FALSE(plug.Base().SendMidiList(messages));
  EXPECT_EQ(host.midi.size(), 3u);  // every message was offered all the same
  host.eventsAnswer = 1;
  EXPECT_TRUE(plug.Base().SendMidiList(messages));
  ASSERT_EQ(host.midi.size(), 6u);
  EXPECT_EQ(host.midi[5].midiData[1], 67);
  EXPECT_EQ(host.midi[5].deltaFrames, 5);

  TestVstPlug plain;
  plain.ProcessEveryWay();
  EXPECT_EQ(host.Count(audioMasterWantMidi), 3);
}

TEST_F(Adapter, HostSpecificSetupForHostsWithoutExtraInputs) {
  Options options;
  options.channelIO = "4-4";
  host.product = "Adobe Audition";
  TestVstPlug plug(options);
  VstSpeakerArrangement two{};
  two.numChannels = 2;
  plug.Call(effSetSpeakerArrangement, 0, 0, &two);  // outputs 2 and 3 off
  ASSERT_EQ(plug.OutputsConnected(), (std::vector<bool>{true, true, false, false}));
  plug.Call(effOpen);
  EXPECT_EQ(plug.InputsConnected(), (std::vector<bool>{true, true, false, false}));
  EXPECT_EQ(plug.OutputsConnected(), (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(plug.Effect()->numInputs, 4);

  // Once per instance only.
  VstSpeakerArrangement four{};
  four.numChannels = 4;
  plug.Call(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&four), nullptr);
  plug.Call(effOpen);
  EXPECT_EQ(plug.InputsConnected(), (std::vector<bool>{true, true, true, true}));

  host.product = "Cubase 12";
  TestVstPlug other(options);
  other.Call(effOpen);
  EXPECT_EQ(other.InputsConnected(), (std::vector<bool>{true, true, true, true}));
}

TEST_F(Adapter, HostIdentityAskedOnce) {
  const std::pair<const char*, int> products[] = {{"My Live Rig", 9}, {"digital x", 22}, {"Reaper64", 1}, {"", 0}};
  for (const auto& [product, id] : products) {
    host.product = product;
    host.requests.clear();
    TestVstPlug plug;
    EXPECT_EQ(plug.Vst().HostId(), id) << product;
    EXPECT_EQ(plug.Base().HostId(), id) << product;
    EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
    EXPECT_EQ(host.Count(audioMasterGetVendorVersion), *product ? 1 : 0);
    EXPECT_EQ(plug.Vst().HostVersion(), *product ? 0x00020305 : 0);
  }
}

TEST_F(Adapter, HostVersionsOutsideThePackingAreLimited) {
  const std::pair<VstIntPtr, int> versions[] = {
      {-5, 0}, {VstIntPtr{1} << 40, 0x7FFF6363}, {999999, 0x00636363}, {1020304, 0x00660304}};
  for (const auto& [decimal, packed] : versions) {
    host.vendorVersion = decimal;
    TestVstPlug plug;
    plug.Vst().HostId();
    EXPECT_EQ(plug.Vst().HostVersion(), packed) << decimal;
  }
  host.fillProductBuffer = true;  // no terminator in the whole buffer
  TestVstPlug plug;
  EXPECT_EQ(plug.Vst().HostId(), 0);
}

TEST_F(Adapter, TimeQueries) {
  TestVstPlug plug;
  host.time.flags = kVstTempoValid | kVstTimeSigValid;
  host.time.tempo = 128.0;
  host.time.timeSigNumerator = 3;
  host.time.timeSigDenominator = 8;
  int numerator = -1, denominator = -1;

  const std::pair<double, int> positions[] = {
      {10.5, 11}, {10.49, 10}, {-1.0, 0}, {std::nan(""), 0}, {1e12, INT_MAX}, {0.0, 0}};
  for (const auto& [position, expected] : positions) {
    host.time.samplePos = position;
    EXPECT_EQ(plug.Base().HostSamplePosition(), expected) << position;
  }
  EXPECT_EQ(plug.Base().HostTempo(), 128.0);
  plug.Base().HostTimeSignature(numerator, denominator);
  EXPECT_EQ(numerator, 3);
  EXPECT_EQ(denominator, 8);

  host.time.tempo = -1.0;
  host.time.timeSigDenominator = -8;
  EXPECT_EQ(plug.Base().HostTempo(), 0.0);
  plug.Base().HostTimeSignature(numerator, denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(denominator, 0);

  host.time = {};
  host.time.tempo = 90.0;
  host.time.timeSigNumerator = 4;
  host.time.timeSigDenominator = 4;
  EXPECT_EQ(plug.Base().HostTempo(), 0.0);  // not marked valid
  plug.Base().HostTimeSignature(numerator, denominator);
  EXPECT_EQ(numerator, 0);

  host.answerTime = false;
  EXPECT_EQ(plug.Base().HostSamplePosition(), 0);
  EXPECT_EQ(plug.Base().HostTempo(), 0.0);
}

TEST_F(Adapter, NoHostCallback) {
  Options options;
  options.callback = nullptr;
  options.usesMidi = true;
  TestVstPlug plug(options);
  plug.Call(effOpen);
  IPlugBase& base = plug.Base();
  EXPECT_EQ(base.HostId(), 0);
  EXPECT_EQ(base.HostTempo(), 0.0);
  EXPECT_EQ(base.HostSamplePosition(), 0);
  EXPECT_FALSE(base.SendMidi({0, 0x90, 60, 1}));
  base.BeginParameterGesture(0);
  base.ReportParameterToHost(0, 0.5);
  base.EndParameterGesture(0);
  base.RequestHostDisplayUpdate();
  plug.ProcessEveryWay();
  EXPECT_TRUE(host.requests.empty());
}

TEST_F(Adapter, EditorRequests) {
  TestVstPlug plug;
  EXPECT_EQ(plug.Effect()->flags & effFlagsHasEditor, 0);
  plug.Base().AttachEditor(nullptr);
  EXPECT_EQ(plug.Effect()->flags & effFlagsHasEditor, 0);

  auto owned = std::make_unique<FakeEditor>();
  FakeEditor& editor = *owned;
  plug.Base().AttachEditor(std::move(owned));
  EXPECT_EQ(plug.Effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(plug.Call(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 200);
  EXPECT_EQ(rect->right, 300);
  editor.width = 640;
  plug.Base().EditorResized(1, 1);  // the editor's size counts, not the arguments
  EXPECT_EQ(rect->right, 640);
  EXPECT_EQ(plug.Call(effEditGetRect), 0);

  EXPECT_EQ(plug.Call(effEditOpen, 0, 0, nullptr), 0);  // no window
  EXPECT_EQ(plug.Base().opened, 0);
  int parent = 0;
  EXPECT_EQ(plug.Call(effEditOpen, 0, 0, &parent), 1);
  EXPECT_EQ(plug.Base().opened, 1);
  EXPECT_EQ(plug.Call(effEditClose), 1);
  EXPECT_EQ(editor.closes, 1);

  editor.pushes.clear();
  plug.Effect()->setParameter(plug.Effect(), 1, 0.5f);
  plug.Effect()->setParameter(plug.Effect(), 1, std::nanf(""));
  plug.Call(effString2Parameter, 1, 0, const_cast<char*>("100"));
  ASSERT_EQ(editor.pushes.size(), 2u);
  EXPECT_EQ(editor.pushes[0].index, 1);
  EXPECT_EQ(editor.pushes[0].value, 0.5);
  EXPECT_TRUE(editor.pushes[0].isNormalized);
  EXPECT_EQ(editor.pushes[1].value, 100.0);  // as typed; the parameter limits it
  EXPECT_FALSE(editor.pushes[1].isNormalized);
  EXPECT_EQ(plug.GetParameter(1)->Value(), 30.0);
}

TEST_F(Adapter, TypedTextUsesDisplayTextsAndNegation) {
  TestVstPlug plug;
  Parameter* parameter = plug.GetParameter(1);
  parameter->AddDisplayText(-20, "quiet");
  parameter->SetNegateDisplay(true);
  EXPECT_EQ(plug.Call(effString2Parameter, 1, 0, const_cast<char*>("quiet")), 1);
  EXPECT_EQ(parameter->Value(), -20.0);
  EXPECT_EQ(plug.Call(effString2Parameter, 1, 0, const_cast<char*>("12")), 1);
  EXPECT_EQ(parameter->Value(), -12.0);
}

TEST_F(Adapter, SpeakerArrangementsWithImpossibleCounts) {
  TestVstPlug plug;
  VstSpeakerArrangement arrangement{};
  arrangement.numChannels = INT_MIN;
  plug.Call(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&arrangement), &arrangement);
  EXPECT_EQ(plug.InputsConnected(), (std::vector<bool>{false, false}));
  EXPECT_EQ(plug.OutputsConnected(), (std::vector<bool>{false, false}));
  arrangement.numChannels = INT_MAX;
  plug.Call(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&arrangement), &arrangement);
  EXPECT_EQ(plug.InputsConnected(), (std::vector<bool>{true, true}));
  EXPECT_EQ(plug.OutputsConnected(), (std::vector<bool>{true, true}));
}

TEST_F(Adapter, FailuresInsideACallDoNotReachTheHost) {
  TestVstPlug plug;
  plug.Base().throwOnReset = true;
  EXPECT_EQ(plug.Call(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  plug.Base().throwOnReset = false;
  EXPECT_EQ(plug.Call(effGetVstVersion), 2400);  // the lock was released
}

TEST_F(Adapter, CloseDestroysTheInstance) {
  bool gone = false;
  AEffect* effect = TestVstPlug({}, &gone).Release();
  EXPECT_FALSE(gone);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_TRUE(gone);
}

TEST(HostIdentity, ProductTextsFindTheirHostWhateverTheCaseAndTheWordsAround) {
  // The hosts whose channel set-up differs, and two that others contain.
  for (const char* name : {"Adobe Audition", "Forte", "Orion", "SAWStudio", "Cubase", "Reaper", "Live"}) {
    SCOPED_TRACE(name);
    const int id = HostIdFromProduct(name);
    EXPECT_GT(id, 0);
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(HostIdFromProduct(upper.c_str()), id);
    EXPECT_EQ(HostIdFromProduct(("My " + std::string(name) + " 12 x64").c_str()), id);
  }
  EXPECT_NE(HostIdFromProduct("Cubase"), HostIdFromProduct("Reaper"));
  // One text naming two hosts is one host, whichever word comes first.
  EXPECT_EQ(HostIdFromProduct("reaper cubase"), HostIdFromProduct("cubase reaper"));
  for (const char* unknown : {"", "unknown host", "Ardour"}) EXPECT_EQ(HostIdFromProduct(unknown), 0) << unknown;
  EXPECT_EQ(HostIdFromProduct(nullptr), 0);
}

TEST(HostExtensionDigest, KnownVectors) {
  EXPECT_EQ(Fnv1a64("", 0), 0xCBF29CE484222325ull);
  EXPECT_EQ(Fnv1a64("a", 1), 0xAF63DC4C8601EC8Cull);
  EXPECT_EQ(Fnv1a64("foobar", 6), 0x85944171F73967E8ull);
}

}  // namespace
}  // namespace tarvel::test
