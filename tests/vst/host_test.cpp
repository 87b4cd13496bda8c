// The built plug-in file driven the way a host drives it: only through its
// exported entry, the dispatcher and the callbacks of the record it returns.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/PluginFile.h"
#include "tests/support/RenderReference.h"

namespace tarvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Channels = std::vector<std::vector<double>>;

constexpr char kSentinel = 0x7E;
constexpr double kRipple = 1e-3;

// A text answer written into a buffer full of sentinels: the text, whether
// its terminator came before `limit`, and whether the bytes from `limit` on
// were left alone.
struct BoundedText {
  std::string text;
  bool terminated;
  bool restAlone;
};

BoundedText DispatchBounded(PluginInstance& plug, VstInt32 opcode, VstInt32 index, std::size_t limit,
                            VstIntPtr value = 0, float opt = 0.0f) {
  std::vector<char> buffer(256, kSentinel);
  plug.Dispatch(opcode, index, value, buffer.data(), opt);
  const auto end = std::find(buffer.begin(), buffer.begin() + static_cast<long>(limit), '\0');
  return {std::string(buffer.begin(), end), end != buffer.begin() + static_cast<long>(limit),
          std::all_of(buffer.begin() + static_cast<long>(limit), buffer.end(), [](char c) { return c == kSentinel; })};
}

void PutDouble(Bytes& bytes, double v) {
  std::uint64_t raw;
  std::memcpy(&raw, &v, 8);
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
}

Bytes Header() { return {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}; }

std::vector<std::string> Displays(PluginInstance& plug) {
  std::vector<std::string> texts;
  for (int i = 0; i < 5; ++i) texts.push_back(plug.ParameterDisplay(i));
  return texts;
}

TEST(Identity, RecordCarriesThePluginsValues) {
  auto plug = NewInstance({}, false);
  ASSERT_TRUE(plug);
  const AEffect& effect = plug->Effect();
  EXPECT_EQ(effect.magic, 0x56737450);
  EXPECT_EQ(effect.numPrograms, 1);
  EXPECT_EQ(effect.numParams, 5);
  EXPECT_EQ(effect.numInputs, 2);
  EXPECT_EQ(effect.numOutputs, 2);
  EXPECT_EQ(effect.flags, 0x1019);  // editor, replacing, double replacing, mono
  EXPECT_EQ(effect.uniqueID, 0x49706C67);
  EXPECT_EQ(effect.version, 10000);
  EXPECT_EQ(effect.initialDelay, 2048);
  EXPECT_EQ(effect.ioRatio, 1.0f);
  EXPECT_NE(effect.process, nullptr);
  EXPECT_NE(effect.processReplacing, nullptr);
  EXPECT_NE(effect.processDoubleReplacing, nullptr);
}

TEST(Identity, MainAndVstPluginMainBuildTheSameInstance) {
  const auto library = PluginFile();
  ASSERT_TRUE(library);
  auto viaMain = reinterpret_cast<VstPluginMainProc>(library->Symbol("main"));
  auto viaEntry = reinterpret_cast<VstPluginMainProc>(library->Symbol("VSTPluginMain"));
  ASSERT_NE(viaMain, nullptr);
  ASSERT_NE(viaEntry, nullptr);
  AEffect* a = viaMain(nullptr);
  AEffect* b = viaEntry(nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  for (AEffect* e : {a, b}) {
    EXPECT_EQ(e->flags, 0x1019);
    EXPECT_EQ(e->initialDelay, 2048);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
  }
  a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f);
  b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f);
}

TEST(Identity, DispatcherAnswers) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  const BoundedText name = DispatchBounded(*plug, effGetEffectName, 0, 32);
  EXPECT_EQ(name.text, "Tarvel");
  EXPECT_TRUE(name.restAlone);
  EXPECT_EQ(DispatchBounded(*plug, effGetVendorString, 0, 64).text, "Corvane");
  EXPECT_EQ(plug->Dispatch(effGetProductString, 0, 0, std::vector<char>(64, 'x').data()), 1);
  EXPECT_EQ(DispatchBounded(*plug, effGetProductString, 0, 64).text, "");
  EXPECT_EQ(plug->Dispatch(effGetEffectName), 0);  // null ptr

  EXPECT_EQ(plug->Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(plug->Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(plug->Dispatch(effGetVendorVersion), 0);
  EXPECT_EQ(plug->Dispatch(effGetPlugCategory), 1);
  EXPECT_EQ(plug->Dispatch(effCanBeAutomated, 3), 1);
  EXPECT_EQ(plug->Dispatch(effGetTailSize), 0);

  // The editor is 768 x 768; without a parent window it cannot open, and
  // closing an editor that is not open is harmless.
  ERect* rect = nullptr;
  EXPECT_EQ(plug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 768);
  EXPECT_EQ(rect->bottom - rect->top, 768);
  EXPECT_EQ(plug->Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);

  MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "C4");
  EXPECT_EQ(plug->Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

TEST(Identity, RecordWithoutObjectAnswersNothing) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  AEffect orphan = plug->Effect();
  orphan.object = nullptr;
  EXPECT_EQ(orphan.dispatcher(&orphan, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
  orphan.setParameter(&orphan, 0, 1.0f);
  EXPECT_EQ(plug->ParameterDisplay(0), "0");
}

TEST(Capabilities, CanDoMatchesWholeTextsOnly) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  auto canDo = [&](const char* text) { return plug->Dispatch(effCanDo, 0, 0, const_cast<char*>(text)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("receiveVstTimeInfo "), 0);
  EXPECT_EQ(canDo("receiveVstTimeInf"), 0);
  EXPECT_EQ(canDo("sendVstEvents"), 0);  // no MIDI
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 0);
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(canDo("xxxxxxxxxxxxxxxxxxx"), 0);  // the length of a host-extension text alone is not enough
  EXPECT_EQ(plug->Dispatch(effCanDo), 0);
}

TEST(Capabilities, VendorSpecificFormatsANormalisedValue) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Dispatch(effVendorSpecific, 7, 0, std::vector<char>(8).data(), 0.5f), 0xBEEF);
  const BoundedText text = DispatchBounded(*plug, effVendorSpecific, 7, 8, 0, 0.5f);
  EXPECT_EQ(text.text, "-15.00");
  EXPECT_TRUE(text.terminated);
  EXPECT_TRUE(text.restAlone);

  const BoundedText other = DispatchBounded(*plug, effVendorSpecific, 6, 0, 0, 0.5f);
  EXPECT_TRUE(other.restAlone);  // nothing written
  EXPECT_EQ(plug->Dispatch(effVendorSpecific, 6, 0, std::vector<char>(8).data(), 0.5f), 0);
  // Not a parameter: the request is recognised, nothing is written.
  EXPECT_TRUE(DispatchBounded(*plug, effVendorSpecific, 7, 0, 5, 0.5f).restAlone);
  EXPECT_EQ(plug->Dispatch(effVendorSpecific, 7, 5, std::vector<char>(8).data(), 0.5f), 0xBEEF);
  EXPECT_EQ(plug->Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
}

TEST(Parameters, NamesLabelsAndDisplays) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  const char* names[] = {"80 Hz", "250 Hz", "800 Hz", "2.5 kHz", "8 kHz"};
  for (int i = 0; i < 5; ++i) {
    const BoundedText name = DispatchBounded(*plug, effGetParamName, i, 8);
    EXPECT_EQ(name.text, names[i]);
    EXPECT_TRUE(name.terminated && name.restAlone);
    const BoundedText label = DispatchBounded(*plug, effGetParamLabel, i, 8);
    EXPECT_EQ(label.text, "dB");
    EXPECT_TRUE(label.terminated && label.restAlone);
    EXPECT_EQ(plug->ParameterDisplay(i), "0");
    EXPECT_FLOAT_EQ(plug->GetParameter(i), 60.0f / 90.0f);
  }
  // Outside the list nothing is written.
  EXPECT_TRUE(DispatchBounded(*plug, effGetParamName, 5, 0).restAlone);
  EXPECT_TRUE(DispatchBounded(*plug, effGetParamDisplay, -1, 0).restAlone);
  EXPECT_EQ(plug->GetParameter(5), 0.0f);
}

TEST(Parameters, NormalisedValuesFromTheHost) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  plug->SetParameter(0, 0.0f);
  plug->SetParameter(1, 1.0f);
  plug->SetParameter(2, 0.5f);
  plug->SetParameter(3, 2.0f);  // beyond the range: limited
  plug->SetParameter(4, -1.0f);
  EXPECT_EQ(Displays(*plug), (std::vector<std::string>{"-60.00", "30.00", "-15.00", "30.00", "-60.00"}));
  EXPECT_EQ(plug->GetParameter(0), 0.0f);
  EXPECT_EQ(plug->GetParameter(1), 1.0f);
  EXPECT_FLOAT_EQ(plug->GetParameter(2), 0.5f);

  plug->SetParameter(2, std::nanf(""));  // ignored
  EXPECT_EQ(plug->ParameterDisplay(2), "-15.00");
  plug->SetParameter(5, 0.1f);
  plug->SetParameter(-1, 0.1f);
  EXPECT_EQ(plug->ParameterDisplay(2), "-15.00");
  EXPECT_EQ(plug->Log().Count(audioMasterAutomate), 0);  // the host is not told back
}

TEST(Parameters, TypedValues) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  EXPECT_TRUE(plug->SetParameterText(0, "12.5"));
  EXPECT_EQ(plug->ParameterDisplay(0), "12.50");
  EXPECT_FLOAT_EQ(plug->GetParameter(0), 72.5f / 90.0f);
  EXPECT_TRUE(plug->SetParameterText(1, "100"));
  EXPECT_EQ(plug->ParameterDisplay(1), "30.00");
  EXPECT_TRUE(plug->SetParameterText(2, "-1e9"));
  EXPECT_EQ(plug->ParameterDisplay(2), "-60.00");
  EXPECT_TRUE(plug->SetParameterText(3, "-7.25 dB"));
  EXPECT_EQ(plug->ParameterDisplay(3), "-7.25");

  for (const char* notANumber : {"abc", "", "nan", "-nan"}) {
    EXPECT_TRUE(plug->SetParameterText(4, "5"));
    EXPECT_TRUE(plug->SetParameterText(4, notANumber));
    EXPECT_EQ(plug->ParameterDisplay(4), "0") << notANumber;
  }
  EXPECT_TRUE(plug->SetParameterText(4, "inf"));
  EXPECT_EQ(plug->ParameterDisplay(4), "30.00");

  EXPECT_EQ(plug->Dispatch(effString2Parameter, 0), 1);  // null text: nothing changes
  EXPECT_EQ(plug->ParameterDisplay(0), "12.50");
  EXPECT_FALSE(plug->SetParameterText(5, "1"));
  EXPECT_FALSE(plug->SetParameterText(-1, "1"));
}

TEST(Chunks, ProgramAndBankBytes) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug->SetParameterText(1, "12.5"));

  Bytes program = Header();
  for (double v : {0.0, 12.5, 0.0, 0.0, 0.0}) PutDouble(program, v);
  EXPECT_EQ(plug->GetChunk(true), program);

  Bytes bank = Header();
  for (std::uint8_t b : {7, 0, 0, 0}) bank.push_back(b);
  for (char c : std::string("Default")) bank.push_back(static_cast<std::uint8_t>(c));
  bank.push_back(1);
  for (double v : {0.0, 12.5, 0.0, 0.0, 0.0}) PutDouble(bank, v);
  EXPECT_EQ(plug->GetChunk(false), bank);
  EXPECT_EQ(plug->Dispatch(effGetChunk, 1), 0);  // null ptr
}

TEST(Chunks, RoundTripByteForByte) {
  auto source = NewInstance();
  ASSERT_TRUE(source);
  const float values[] = {0.0f, 1.0f, 0.123456f, 0.75f, 0.3f};
  for (int i = 0; i < 5; ++i) source->SetParameter(i, values[i]);
  ASSERT_TRUE(source->SetParameterText(4, "-0.01"));
  ASSERT_EQ(source->Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Bright")), 0);

  for (bool isProgram : {true, false}) {
    const Bytes saved = source->GetChunk(isProgram);
    ASSERT_FALSE(saved.empty());
    auto target = NewInstance();
    ASSERT_TRUE(target);
    ASSERT_TRUE(target->SetChunk(saved, isProgram));
    EXPECT_EQ(Displays(*target), Displays(*source));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(target->GetParameter(i), source->GetParameter(i));
    EXPECT_EQ(target->GetChunk(isProgram), saved);
    if (!isProgram) {
      EXPECT_EQ(target->DispatchText(effGetProgramName), "Bright");
    }
  }
}

TEST(Chunks, HostsBufferHandedBack) {
  // Some hosts restore state by passing back the very bytes they were given.
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug->SetParameterText(2, "-3"));
  for (VstInt32 index : {0, 1}) {
    void* data = nullptr;
    const VstIntPtr size = plug->Dispatch(effGetChunk, index, 0, &data);
    ASSERT_GT(size, 0);
    EXPECT_EQ(plug->Dispatch(effSetChunk, index, size, data), 1);
    EXPECT_EQ(plug->ParameterDisplay(2), "-3.00");
  }
}

TEST(Chunks, MalformedChunksChangeNothing) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  ASSERT_TRUE(plug->SetParameterText(0, "6"));
  const Bytes before = plug->GetChunk(false);

  Bytes program = Header();
  for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) PutDouble(program, v);
  const Bytes truncated(program.begin(), program.begin() + 12);
  EXPECT_FALSE(plug->SetChunk(truncated, true));
  const Bytes header = Header();
  EXPECT_FALSE(plug->SetChunk(Bytes(header.begin(), header.begin() + 4), true));
  EXPECT_EQ(plug->Dispatch(effSetChunk, 1, -48, program.data()), 0);
  EXPECT_EQ(plug->Dispatch(effSetChunk, 0, -1, program.data()), 0);
  EXPECT_EQ(plug->Dispatch(effSetChunk, 1, 48, nullptr), 0);
  // A size beyond 32 bits must not wrap to the 48 bytes that are there.
  EXPECT_EQ(plug->Dispatch(effSetChunk, 1, (VstIntPtr{1} << 32) + 48, program.data()), 0);

  Bytes bank = Header();
  for (std::uint8_t b : {0xF9, 0xFF, 0xFF, 0x7F}) bank.push_back(b);  // name length near the 32-bit limit
  bank.insert(bank.end(), 48, 0);
  EXPECT_FALSE(plug->SetChunk(bank, false));

  EXPECT_EQ(plug->GetChunk(false), before);
  EXPECT_EQ(plug->ParameterDisplay(0), "6.00");
}

TEST(Presets, OneDefaultPreset) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Dispatch(effGetProgram), 0);
  EXPECT_EQ(plug->DispatchText(effGetProgramName), "Default");
  std::vector<char> name(32, kSentinel);
  EXPECT_EQ(plug->Dispatch(effGetProgramNameIndexed, 0, 0, name.data()), 1);
  EXPECT_STREQ(name.data(), "Default");
  EXPECT_EQ(plug->Dispatch(effGetProgramNameIndexed, 1, 0, name.data()), 0);
  EXPECT_STREQ(name.data(), "");

  // Switching to the current preset keeps the live values.
  ASSERT_TRUE(plug->SetParameterText(3, "-9"));
  EXPECT_EQ(plug->Dispatch(effSetProgram, 0, 0), 0);
  EXPECT_EQ(plug->ParameterDisplay(3), "-9.00");
  plug->Dispatch(effSetProgram, 0, 7);
  EXPECT_EQ(plug->Dispatch(effGetProgram), 0);
  EXPECT_EQ(plug->ParameterDisplay(3), "-9.00");
}

TEST(Presets, NamesAreCutToTheHostsField) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  const std::string longName(300, 'n');
  plug->Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  const BoundedText current = DispatchBounded(*plug, effGetProgramName, 0, 24);
  EXPECT_EQ(current.text, std::string(23, 'n'));
  EXPECT_TRUE(current.terminated && current.restAlone);
  const BoundedText indexed = DispatchBounded(*plug, effGetProgramNameIndexed, 0, 24);
  EXPECT_EQ(indexed.text, std::string(23, 'n'));
  EXPECT_TRUE(indexed.terminated && indexed.restAlone);
}

TEST(Midi, EventsComeBackToTheHost) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 17;
  note.noteLength = 480;
  note.detune = 5;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  note.midiData[3] = 9;
  VstEvent other{};
  other.type = 6;  // not MIDI: forwarded as it is
  other.byteSize = sizeof other;
  other.deltaFrames = 3;
  other.data[5] = 42;
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  events.events[1] = &other;

  plug->ClearLog();
  EXPECT_EQ(plug->Dispatch(effProcessEvents, 0, 0, &events), 1);
  const HostLog log = plug->Log();
  ASSERT_EQ(log.midiEvents.size(), 1u);
  const VstMidiEvent& echo = log.midiEvents[0];
  EXPECT_EQ(echo.type, kVstMidiType);
  EXPECT_EQ(echo.byteSize, 32);
  EXPECT_EQ(echo.deltaFrames, 17);
  EXPECT_EQ(echo.flags, 0);
  EXPECT_EQ(echo.noteLength, 0);
  EXPECT_EQ(echo.detune, 0);
  EXPECT_EQ(static_cast<std::uint8_t>(echo.midiData[0]), 0x90);
  EXPECT_EQ(echo.midiData[1], 60);
  EXPECT_EQ(echo.midiData[2], 100);
  EXPECT_EQ(echo.midiData[3], 0);
  ASSERT_EQ(log.otherEvents.size(), 1u);
  EXPECT_EQ(std::memcmp(&log.otherEvents[0], &other, sizeof other), 0);

  events.events[0] = nullptr;
  events.numEvents = 1;
  EXPECT_EQ(plug->Dispatch(effProcessEvents, 0, 0, &events), 1);
  events.numEvents = -5;
  EXPECT_EQ(plug->Dispatch(effProcessEvents, 0, 0, &events), 1);
  EXPECT_EQ(plug->Dispatch(effProcessEvents), 0);
  EXPECT_EQ(plug->Log().midiEvents.size(), 1u);
}

TEST(Channels, PinsAndArrangements) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  for (VstInt32 opcode : {effGetInputProperties, effGetOutputProperties}) {
    const std::string prefix = opcode == effGetInputProperties ? "Input " : "Output ";
    for (int i = 0; i < 2; ++i) {
      VstPinProperties pin{};
      pin.arrangementType = 77;
      EXPECT_EQ(plug->Dispatch(opcode, i, 0, &pin), 1);
      EXPECT_EQ(pin.label, prefix + std::to_string(i + 1));
      EXPECT_EQ(pin.flags, i == 0 ? 3 : 1);
      EXPECT_EQ(pin.arrangementType, 77);  // not written
    }
    VstPinProperties pin{};
    EXPECT_EQ(plug->Dispatch(opcode, 2, 0, &pin), 0);
    EXPECT_EQ(plug->Dispatch(opcode, -1, 0, &pin), 0);
    EXPECT_EQ(plug->Dispatch(opcode, 0, 0, nullptr), 0);
  }

  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(plug->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->type, kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);
}

// ---- Audio ----

// Runs the input through the plug-in in calls of its block size and answers
// the output (added to `output` in the accumulating mode).
Channels ProcessAll(PluginInstance& plug, const Channels& input, ProcessMode mode, Channels output = {}) {
  const auto frames = static_cast<std::int64_t>(input[0].size());
  if (output.empty()) output.assign(2, std::vector<double>(input[0].size(), 0.0));
  const double* in[2] = {input[0].data(), input[1].data()};
  double* out[2] = {output[0].data(), output[1].data()};
  plug.Process(mode, in, out, frames);
  return output;
}

Channels Impulses(std::size_t frames) {
  Channels x(2, std::vector<double>(frames, 0.0));
  x[0][0] = 1.0;
  x[1][0] = 0.5;
  return x;
}

void Prepare(PluginInstance& plug, double rate, VstInt32 callLength) {
  plug.SetSampleRate(rate);
  plug.SetBlockSize(callLength);
  plug.Resume();
}

// The flat equaliser is a delay, up to the ripple of its windowed kernel
// (about -78 dB): both impulses come out at the reported latency.
void ExpectDelayedImpulses(const Channels& y, VstInt32 latency, double tolerance) {
  ASSERT_GT(y[0].size(), static_cast<std::size_t>(latency));
  for (int ch = 0; ch < 2; ++ch) {
    const double height = ch == 0 ? 1.0 : 0.5;
    const auto peak = std::max_element(y[ch].begin(), y[ch].end(),
                                       [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    EXPECT_EQ(peak - y[ch].begin(), latency) << "channel " << ch;
    EXPECT_NEAR(*peak, height, tolerance) << "channel " << ch;
    double rest = 0.0;
    for (std::size_t i = 0; i < y[ch].size(); ++i)
      if (static_cast<VstInt32>(i) != latency) rest = std::max(rest, std::fabs(y[ch][i]));
    EXPECT_LT(rest, tolerance) << "channel " << ch;
  }
}

TEST(Audio, ImpulseDelayEqualsReportedLatency) {
  const std::pair<double, VstInt32> rates[] = {{44100.0, 2048}, {48000.0, 2514}, {96000.0, 5028}, {192000.0, 10569}};
  for (const auto& [rate, latency] : rates) {
    for (VstInt32 callLength : {1, 64, 441, 512, 4096}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, calls of " << callLength);
      auto plug = NewInstance();
      ASSERT_TRUE(plug);
      Prepare(*plug, rate, callLength);
      EXPECT_EQ(plug->Latency(), latency);
      ExpectDelayedImpulses(ProcessAll(*plug, Impulses(static_cast<std::size_t>(latency) + 3000), ProcessMode::kDouble),
                            plug->Latency(), kRipple);
    }
  }
}

// A host rendering offline makes a fresh instance, loads the settings (a
// program chunk or parameters) and processes from the clip's first sample:
// what it hears equals tarvel-render's output, which primes with silence,
// from that first sample on.
TEST(Audio, SettingsMadeBeforeTheFirstCallHoldFromTheFirstSample) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> uniform(-0.5, 0.5);
  const std::size_t frames = 12000;
  Channels x(2, std::vector<double>(frames));
  for (auto& channel : x)
    for (double& v : channel) v = uniform(random);

  for (const double rate : {44100.0, 48000.0}) {
    SCOPED_TRACE(rate);
    auto reference = NewInstance();
    ASSERT_TRUE(reference);
    reference->SetSampleRate(rate);
    reference->SetBlockSize(512);
    const std::pair<VstInt32, float> settings[] = {{0, 0.733333f}, {2, 0.566667f}, {4, 0.7f}};
    for (const auto& [band, value] : settings) reference->SetParameter(band, value);
    reference->Resume();
    const Bytes chunk = reference->GetChunk(true);
    const Channels want = RenderLikeTarvelRender(*reference, x);

    for (const bool byChunk : {true, false}) {
      SCOPED_TRACE(byChunk ? "program chunk" : "parameters");
      auto plug = NewInstance();
      ASSERT_TRUE(plug);
      plug->SetSampleRate(rate);
      plug->SetBlockSize(8192);
      if (byChunk) {
        ASSERT_TRUE(plug->SetChunk(chunk, true));
      } else {
        for (const auto& [band, value] : settings) plug->SetParameter(band, value);
      }
      plug->Resume();
      const auto latency = static_cast<std::size_t>(plug->Latency());
      Channels padded = x;
      for (auto& channel : padded) channel.resize(frames + latency, 0.0);
      const Channels y = ProcessAll(*plug, padded, ProcessMode::kDouble);
      double worst = 0.0;
      for (int ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < frames; ++i) worst = std::max(worst, std::fabs(y[ch][latency + i] - want[ch][i]));
      // Only rounding: the blocks fall on other frames than the reference's.
      EXPECT_LT(worst, 1e-9);
    }
  }
}

TEST(Audio, CallsLongerThanTheBlockSizeKeepTheDelay) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  Prepare(*plug, 44100.0, 64);
  Channels x = Impulses(5000);
  Channels y(2, std::vector<double>(5000, 9.0));
  float* in[2];
  float* out[2];
  std::vector<std::vector<float>> fx(2), fy(2, std::vector<float>(5000));
  for (int ch = 0; ch < 2; ++ch) {
    fx[ch].assign(x[ch].begin(), x[ch].end());
    in[ch] = fx[ch].data();
    out[ch] = fy[ch].data();
  }
  plug->Effect().processReplacing(&plug->Effect(), in, out, 5000);  // a host that ignores its own block size
  for (int ch = 0; ch < 2; ++ch) y[ch].assign(fy[ch].begin(), fy[ch].end());
  ExpectDelayedImpulses(y, 2048, kRipple);
}

TEST(Audio, FloatDoubleAndAccumulatingPathsAgree) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> uniform(-0.5, 0.5);
  Channels x(2, std::vector<double>(20000));
  Channels before(2, std::vector<double>(20000));
  for (auto* channels : {&x, &before})
    for (auto& channel : *channels)
      for (double& v : channel) v = static_cast<float>(uniform(random));  // exact in both precisions

  auto process = [&](ProcessMode mode, Channels output) {
    auto plug = NewInstance();
    if (!plug) return Channels{};
    Prepare(*plug, 44100.0, 512);
    const char* gains[] = {"-12", "6", "0", "-30", "3"};
    for (int i = 0; i < 5; ++i) plug->SetParameterText(i, gains[i]);
    return ProcessAll(*plug, x, mode, std::move(output));
  };
  const Channels doubles = process(ProcessMode::kDouble, {});
  const Channels floats = process(ProcessMode::kFloat, {});
  const Channels sums = process(ProcessMode::kAccumulate, before);
  ASSERT_EQ(doubles.size(), 2u);
  ASSERT_EQ(floats.size(), 2u);
  ASSERT_EQ(sums.size(), 2u);

  double signal = 0.0;
  for (int ch = 0; ch < 2; ++ch) {
    for (std::size_t i = 0; i < x[ch].size(); ++i) {
      signal = std::max(signal, std::fabs(doubles[ch][i]));
      ASSERT_NEAR(floats[ch][i], doubles[ch][i], 1e-6) << ch << ":" << i;
      // The host's content plus the output, added in single precision.
      ASSERT_EQ(sums[ch][i], static_cast<double>(static_cast<float>(floats[ch][i]) + static_cast<float>(before[ch][i])))
          << ch << ":" << i;
    }
  }
  EXPECT_GT(signal, 0.1);  // the comparison saw filtered audio, not silence

  // The host's own float channels handed straight to processReplacing give
  // the same samples as the converting float path.
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  Prepare(*plug, 44100.0, 512);
  const char* gains[] = {"-12", "6", "0", "-30", "3"};
  for (int i = 0; i < 5; ++i) plug->SetParameterText(i, gains[i]);
  std::vector<float> inF[2], outF[2];
  for (int ch = 0; ch < 2; ++ch) {
    inF[ch].assign(x[ch].begin(), x[ch].end());
    outF[ch].assign(x[ch].size(), 0.0f);
  }
  float* in[2] = {inF[0].data(), inF[1].data()};
  float* out[2] = {outF[0].data(), outF[1].data()};
  plug->ProcessFloat(in, out, static_cast<std::int64_t>(x[0].size()));
  for (int ch = 0; ch < 2; ++ch)
    for (std::size_t i = 0; i < x[ch].size(); ++i)
      ASSERT_EQ(static_cast<double>(outF[ch][i]), floats[ch][i]) << ch << ":" << i;
}

TEST(Audio, OneInputArrangementSilencesTheSecondInput) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  Prepare(*plug, 44100.0, 512);
  EXPECT_EQ(plug->SetSpeakerArrangement(1, 2), 1);
  const Channels y = ProcessAll(*plug, Impulses(4000), ProcessMode::kDouble);
  EXPECT_NEAR(y[0][2048], 1.0, kRipple);
  EXPECT_EQ(*std::max_element(y[1].begin(), y[1].end()), 0.0);
  EXPECT_EQ(*std::min_element(y[1].begin(), y[1].end()), 0.0);

  EXPECT_EQ(plug->SetSpeakerArrangement(2, 2), 1);
  ExpectDelayedImpulses(ProcessAll(*plug, Impulses(4096), ProcessMode::kDouble), 2048, kRipple);
}

TEST(Audio, NewRateReportsItsLatencyAndRestartsWithSilence) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  Prepare(*plug, 44100.0, 256);
  ProcessAll(*plug, Impulses(1000), ProcessMode::kDouble);  // an impulse left in flight
  plug->Suspend();
  Prepare(*plug, 48000.0, 256);
  EXPECT_EQ(plug->Latency(), 2514);
  Channels silent(2, std::vector<double>(6000, 0.0));
  const Channels y = ProcessAll(*plug, silent, ProcessMode::kDouble);
  EXPECT_EQ(*std::max_element(y[0].begin(), y[0].end()), 0.0);

  plug->Suspend();
  Prepare(*plug, 48000.0, 256);  // the same rate again changes nothing
  ExpectDelayedImpulses(ProcessAll(*plug, Impulses(4000), ProcessMode::kDouble), 2514, kRipple);
}

// ---- Host identification ----

TEST(HostIdentification, AskedOnceAtOpen) {
  HostConfig config;
  config.productString = "Adobe Audition";
  config.vendorVersion = 30105;
  auto plug = NewInstance(config, false);
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Log().Count(audioMasterGetProductString), 0);
  plug->Dispatch(effOpen);
  plug->Dispatch(effOpen);
  const HostLog log = plug->Log();
  EXPECT_EQ(log.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(log.Count(audioMasterGetVendorVersion), 1);
  EXPECT_EQ(plug->Effect().numInputs, 2);
  EXPECT_EQ(plug->Effect().numOutputs, 2);

  // This host gets its channel set-up, which leaves both stereo inputs alone.
  Prepare(*plug, 44100.0, 512);
  ExpectDelayedImpulses(ProcessAll(*plug, Impulses(3000), ProcessMode::kDouble), 2048, kRipple);
}

TEST(HostIdentification, EmptyProductTextIsNotAskedForAVersion) {
  HostConfig config;
  config.productString = "";
  auto plug = NewInstance(config);
  ASSERT_TRUE(plug);
  EXPECT_EQ(plug->Log().Count(audioMasterGetProductString), 1);
  EXPECT_EQ(plug->Log().Count(audioMasterGetVendorVersion), 0);
}

TEST(HostIdentification, NoHostCallbackAtAll) {
  const auto library = PluginFile();
  ASSERT_TRUE(library);
  AEffect* effect = library->Entry()(nullptr);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
  VstMidiEvent note{};
  note.type = kVstMidiType;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  EXPECT_EQ(effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f), 1);
  std::vector<float> left(64, 1.0f), right(64, 1.0f);
  float* channels[2] = {left.data(), right.data()};
  effect->processReplacing(effect, channels, channels, 64);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace tarvel::test
