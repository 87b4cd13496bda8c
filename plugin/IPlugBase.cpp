#include "plugin/IPlugBase.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "plugin/FatalAssert.h"

namespace tarvel {

void Trace(const char*, int, const char*, ...) {}

namespace {

// Local time as "YYYYMMDD HH:MM " plus the capitals of the time-zone name.
std::string TimeStamp() {
  const std::time_t now = std::time(nullptr);
  char text[64] = {};
  char zone[64] = {};
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(text, sizeof text, "%Y%m%d %H:%M ", local);
    std::strftime(zone, sizeof zone, "%Z", local);
  }
  std::string stamp = text;
  for (const char* c = zone; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') stamp += *c;
  return stamp;
}

// Reads a decimal int as "%d" would (leading white space, optional sign),
// refusing values outside the int range. Advances text past the digits.
bool ReadInt(const char*& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  text = end;
  return true;
}

}  // namespace

IPlugBase::IPlugBase(IHostRequests* host, int parameterCount, const char* channelIOText, int presetCount, const char* newEffectName,
                     const char* newProductName, const char* newVendorName, int newVendorVersion,
                     int newUniqueId, int newVendorId, int newLatency, bool newUsesMidi, bool newUsesChunks,
                     bool newIsInstrument)
    : hostRequests(host),
      uniqueId(newUniqueId),
      vendorId(newVendorId),
      vendorVersion(newVendorVersion),
      usesMidi(newUsesMidi),
      usesChunks(newUsesChunks),
      isInstrument(newIsInstrument),
      latency(newLatency) {
  Trace("IPlugBase::IPlugBase", __LINE__, "%s:%s", newEffectName ? newEffectName : "", TimeStamp().c_str());

  for (int i = 0; i < parameterCount; ++i) parameters.Append(std::make_unique<Parameter>());
  for (int i = 0; i < presetCount; ++i) {
    auto preset = std::make_unique<Preset>();
    std::snprintf(preset->name, sizeof preset->name, "- %d -", i + 1);
    presets.Append(std::move(preset));
  }

  CopyText(effectName, sizeof effectName, newEffectName);
  CopyText(productName, sizeof productName, newProductName);
  CopyText(vendorName, sizeof vendorName, newVendorName);

  // "%d-%d" configurations; each next one starts just past the next space.
  int maxInputs = 0;
  int maxOutputs = 0;
  for (const char* config = channelIOText; config;) {
    const char* p = config;
    ChannelPair pair{};
    const bool valid = ReadInt(p, pair.inputs) && *p++ == '-' && ReadInt(p, pair.outputs);
    if (!valid) FatalAssert("channelIOStrValid", "IPlugBase", 74);
    channelPairs.Append(std::make_unique<ChannelPair>(pair));
    maxInputs = std::max(maxInputs, pair.inputs);
    maxOutputs = std::max(maxOutputs, pair.outputs);
    config = std::strchr(config, ' ');
    if (config) ++config;
  }
  channels.CreateChannels(maxInputs, maxOutputs);
}

IPlugBase::~IPlugBase() {
  editor.reset();  // it may refer to the parameters
  parameters.Clear();
  presets.Clear();
  channelPairs.Clear();
}

void IPlugBase::ResetProcessing() { LockGuard guard(instanceLock); }

void IPlugBase::ParameterChanged(int) { LockGuard guard(instanceLock); }

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int frames) {
  if (!outputs || frames <= 0) return;
  const int nIn = inputs ? static_cast<int>(channels.InputSlotCount()) : 0;
  const int nOut = static_cast<int>(channels.OutputSlotCount());
  const auto bytes = static_cast<std::size_t>(frames) * sizeof(double);
  for (int i = 0; i < nOut; ++i) {
    if (!outputs[i]) continue;
    if (i < nIn && inputs[i])
      std::memmove(outputs[i], inputs[i], bytes);  // hosts may process in place
    else
      std::memset(outputs[i], 0, bytes);
  }
}

void IPlugBase::EditorOpened() {}
void IPlugBase::EditorClosed() {}

void IPlugBase::ActivationChanged(bool) { LockGuard guard(instanceLock); }

void IPlugBase::StartAfresh() {}

int IPlugBase::TailSamples() const { return latency; }

int IPlugBase::CrossfadeSamples() const { return 1; }

bool IPlugBase::SupportsSampleRate(double rate) const { return rate > 0.0 && std::isfinite(rate); }

void IPlugBase::MidiReceived(const MidiMessage& message) { SendMidi(message); }

bool IPlugBase::MidiKeyNameFor(int, char* out, std::size_t outSize) {
  CopyText(out, outSize, "");
  return false;
}

bool IPlugBase::SaveState(StateChunk& chunk) { return SerializeParams(chunk); }

int IPlugBase::LoadState(const StateChunk& chunk, int start) { return UnserializeParams(chunk, start); }

void IPlugBase::AttachEditor(std::unique_ptr<IEditor> newEditor) {
  if (!newEditor) return;
  LockGuard guard(instanceLock);
  for (int i = 0; i < parameters.Count(); ++i)
    newEditor->PushParameterToControls(i, parameters.Get(i)->NormalizedValue(), true);
  newEditor->CreateDrawBitmaps();
  editor = std::move(newEditor);
  EditorResized(editor->Width(), editor->Height());
}

void IPlugBase::SetLatency(int samples) {
  latency = samples;
  if (hostRequests) hostRequests->LatencyChanged(samples);
}

void IPlugBase::BeginParameterGesture(int index) {
  if (hostRequests) hostRequests->BeginParameterGesture(index);
}

void IPlugBase::ReportParameterToHost(int index, double normalized) {
  if (hostRequests) hostRequests->ReportParameterToHost(index, normalized);
}

void IPlugBase::EndParameterGesture(int index) {
  if (hostRequests) hostRequests->EndParameterGesture(index);
}

void IPlugBase::RequestHostDisplayUpdate() {
  if (hostRequests) hostRequests->RequestHostDisplayUpdate();
}

int IPlugBase::HostSamplePosition() { return hostRequests ? hostRequests->HostSamplePosition() : 0; }

double IPlugBase::HostTempo() { return hostRequests ? hostRequests->HostTempo() : 0.0; }

void IPlugBase::HostTimeSignature(int& numerator, int& denominator) {
  numerator = denominator = 0;
  if (hostRequests) hostRequests->HostTimeSignature(numerator, denominator);
}

int IPlugBase::HostId() { return hostRequests ? hostRequests->HostId() : 0; }

void IPlugBase::EditorResized(int width, int height) {
  if (hostRequests) hostRequests->EditorResized(width, height);
}

bool IPlugBase::SendMidi(const MidiMessage& message) { return hostRequests && hostRequests->SendMidi(message); }

bool IPlugBase::SendMidiList(const ValueList<MidiMessage>& messages) {
  bool sent = true;
  for (int i = 0; i < messages.Count(); ++i) sent = SendMidi(*messages.Get(i)) && sent;
  return sent;
}

bool IPlugBase::SetBlockSize(int frames) { return channels.SetBlockSize(frames); }

void IPlugBase::ProcessToFloat(int frames) { channels.ProcessToFloat(*this, frames); }
void IPlugBase::ProcessAccumulateFloat(int frames) { channels.ProcessAccumulateFloat(*this, frames); }
void IPlugBase::ProcessDouble(int frames) { channels.ProcessDouble(*this, frames); }

bool IPlugBase::LegalIO(int inputs, int outputs) const {
  bool legal = false;
  for (int i = 0; i < channelPairs.Count() && !legal; ++i) {
    const ChannelPair* pair = channelPairs.Get(i);
    legal = (inputs < 0 || inputs == pair->inputs) && (outputs < 0 || outputs == pair->outputs);
  }
  Trace("IPlugBase::LegalIO", __LINE__, "%d:%d:%s", inputs, outputs, legal ? "legal" : "illegal");
  return legal;
}

void IPlugBase::SetParameterFromGUI(int index, double normalized) {
  Trace("IPlugBase::SetParameterFromGUI", __LINE__, "%d:%f", index, normalized);
  LockGuard guard(instanceLock);
  Parameter* parameter = parameters.Get(index);
  if (!parameter || !parameter->SetFromNormalized(normalized)) return;
  ReportParameterToHost(index, normalized);
  ParameterChanged(index);
}

int IPlugBase::EffectVersion(bool decimal) const {
  if (!decimal) return vendorVersion;
  const auto packed = static_cast<std::uint32_t>(vendorVersion);
  const auto major = static_cast<int>(packed >> 16);
  const auto minor = static_cast<int>((packed >> 8) & 0xFFu);
  const auto patch = static_cast<int>(packed & 0xFFu);
  return (major * 100 + minor) * 100 + patch;
}

void IPlugBase::PushParametersToEditor() {
  if (!editor) return;
  for (int i = 0; i < parameters.Count(); ++i) editor->PushParameterToControls(i, parameters.Get(i)->Value(), false);
}

}  // namespace tarvel
