#include "vst/IPlugVST.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "vst/HostIdentity.h"

namespace tarvel {

namespace {

// The vendor-specific request that asks for a parameter's display text.
constexpr int kVendorFormatParameter = 7;

constexpr const char* kTimeInfoCapability = "receiveVstTimeInfo";
constexpr const char* kMidiCapabilities[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                             "receiveVstMidiEvent"};

// The two host-extension capability texts, known by length and digest.
struct Capability {
  std::size_t length;
  std::uint64_t digest;
};
constexpr Capability kHostExtensions[] = {{19, 0x326448F8009996DBull}, {21, 0xD20E0040F98D31C6ull}};

// Hosts whose channel handling needs the set-up of HostSpecificSetup.
constexpr int kHostsWithoutExtraInputs[] = {15, 17, 18, 20};

VstInt32 ArrangementType(int channels) {
  switch (channels) {
    case 0:
      return kSpeakerArrEmpty;
    case 1:
      return kSpeakerArrMono;
    case 2:
      return kSpeakerArrStereo;
    default:
      return kSpeakerArrUserDefined;
  }
}

// A host integer as an int index or count; values beyond the int range
// saturate, so they stay out of range instead of wrapping into it.
int Saturate(VstIntPtr value) { return static_cast<int>(std::clamp<VstIntPtr>(value, INT_MIN, INT_MAX)); }

// The host's decimal version (major * 10000 + minor * 100 + patch) packed as
// 0xMMMMmmpp; values outside what a non-negative int holds are limited to it.
int PackHostVersion(VstIntPtr decimal) {
  const std::int64_t r = std::clamp<std::int64_t>(decimal, 0, 0x7FFF * 10000 + 9999);
  return static_cast<int>(r / 10000 * 65536 + (r % 10000) / 100 * 256 + r % 100);
}

}  // namespace

std::uint64_t Fnv1a64(const char* bytes, std::size_t size) {
  std::uint64_t digest = 0xCBF29CE484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    digest ^= static_cast<unsigned char>(bytes[i]);
    digest *= 0x100000001B3ull;
  }
  return digest;
}

IPlugVST::IPlugVST(audioMasterCallback newHostCallback) : hostCallback(newHostCallback) {}

std::unique_ptr<IPlugVST> IPlugVST::Create(audioMasterCallback hostCallback, const PlugFactory& make) {
  std::unique_ptr<IPlugVST> adapter(new IPlugVST(hostCallback));
  if (!adapter->Build(make, 1024)) return nullptr;
  IPlugBase& plug = adapter->Plug();
  adapter->usesMidi = plug.UsesMidi();
  Trace("IPlugVST::IPlugVST", __LINE__, "%s", plug.EffectName());

  AEffect& effect = adapter->effect;
  effect.object = adapter.get();
  effect.magic = kEffectMagic;
  effect.dispatcher = &VSTDispatcher;
  effect.setParameter = &VSTSetParameter;
  effect.getParameter = &VSTGetParameter;
  effect.numPrograms = plug.PresetCount();
  effect.numParams = plug.ParameterCount();
  effect.numInputs = plug.InputChannelCount();
  effect.numOutputs = plug.OutputChannelCount();
  effect.uniqueID = plug.UniqueId();
  effect.version = plug.EffectVersion(true);
  effect.ioRatio = 1.0f;
  effect.process = &VSTProcessAccumulate;
  effect.processReplacing = &VSTProcessReplacing;
  effect.processDoubleReplacing = &VSTProcessDoubleReplacing;
  effect.initialDelay = plug.Latency();
  effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plug.UsesChunks()) effect.flags |= effFlagsProgramChunks;
  if (plug.LegalIO(1, -1)) effect.flags |= effFlagsCanMono;
  if (plug.IsInstrument()) effect.flags |= effFlagsIsSynth;
  if (const IEditor* editor = plug.Editor()) adapter->EditorResized(editor->Width(), editor->Height());

  adapter->inputArrangement.numChannels = plug.InputChannelCount();
  adapter->inputArrangement.type = ArrangementType(plug.InputChannelCount());
  adapter->outputArrangement.numChannels = plug.OutputChannelCount();
  adapter->outputArrangement.type = ArrangementType(plug.OutputChannelCount());
  return adapter;
}

// The chunk buffers go with their members (bankChunk first), then the plug-in.
IPlugVST::~IPlugVST() = default;

// ---- Callbacks ----

IPlugVST* IPlugVST::InstanceOf(AEffect* record) {
  return record && record->magic == kEffectMagic ? static_cast<IPlugVST*>(record->object) : nullptr;
}

VstIntPtr IPlugVST::VSTDispatcher(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  IPlugVST* adapter = InstanceOf(record);
  if (!adapter) return 0;
  const VstIntPtr result = Guarded<VstIntPtr>(0, [&]() -> VstIntPtr {
    if (opcode == effEditIdle) {
      // The editor's tick paints for a while: outside the lock, like a window
      // timer's tick, so that the audio thread never waits for it.
      adapter->TickEditor();
      return 0;
    }
    LockGuard guard(adapter->plug->InstanceLock());
    return adapter->Dispatch(opcode, index, value, ptr, opt);
  });
  if (opcode == effClose) delete adapter;
  return result;
}

template <typename Sample>
void IPlugVST::HostProcess(AEffect* record, Sample** inputs, Sample** outputs, VstInt32 frames,
                           void (IPlugBase::*run)(int)) {
  IPlugVST* adapter = InstanceOf(record);
  if (!adapter) return;
  IPlugBase& core = *adapter->plug;
  LockGuard guard(core.InstanceLock());
  if (adapter->usesMidi) adapter->HostRequest(audioMasterWantMidi);
  if constexpr (std::is_same_v<Sample, float>) {
    core.Channels().ConnectInputsFloat(0, core.InputChannelCount(), inputs);
    core.Channels().ConnectOutputsFloat(0, core.OutputChannelCount(), outputs);
  } else {
    core.Channels().ConnectInputsDouble(0, core.InputChannelCount(), inputs);
    core.Channels().ConnectOutputsDouble(0, core.OutputChannelCount(), outputs);
  }
  (core.*run)(frames);
}

void IPlugVST::VSTProcessAccumulate(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugBase::ProcessAccumulateFloat);
}

void IPlugVST::VSTProcessReplacing(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugBase::ProcessToFloat);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* record, double** inputs, double** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugBase::ProcessDouble);
}

float IPlugVST::VSTGetParameter(AEffect* record, VstInt32 index) {
  IPlugVST* adapter = InstanceOf(record);
  if (!adapter) return 0.0f;
  Trace("IPlugVST::VSTGetParameter", __LINE__, "%d", index);
  LockGuard guard(adapter->plug->InstanceLock());
  const Parameter* parameter = adapter->plug->GetParameter(index);
  return parameter ? static_cast<float>(parameter->NormalizedValue()) : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* record, VstInt32 index, float value) {
  IPlugVST* adapter = InstanceOf(record);
  if (!adapter) return;
  Trace("IPlugVST::VSTSetParameter", __LINE__, "%d:%f", index, static_cast<double>(value));
  IPlugBase& core = *adapter->plug;
  LockGuard guard(core.InstanceLock());
  Parameter* parameter = core.GetParameter(index);
  if (!parameter || std::isnan(value)) return;
  if (IEditor* editor = core.Editor()) editor->PushParameterToControls(index, value, true);
  parameter->SetFromNormalized(value);
  core.ParameterChanged(index);
}

// ---- Dispatcher ----

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (opcode == effEditIdle || opcode == effIdle) return 0;  // frequent and without work: not traced
  Trace("IPlugVST::VSTDispatcher", __LINE__, "%d(%s):%d:%d", opcode, "", index, Saturate(value));
  char* text = static_cast<char*>(ptr);
  IPlugBase& core = *plug;
  Parameter* parameter = core.GetParameter(index);

  switch (opcode) {
    case effOpen:
      Open();
      return 0;
    case effClose:
      return 0;  // the trampoline destroys the instance once the lock is released
    case effSetProgram:
      core.CaptureCurrentPreset();
      core.ApplyPreset(Saturate(value));
      return 0;
    case effGetProgram:
      return core.CurrentPreset();
    case effSetProgramName:
      if (text) core.CaptureCurrentPreset(text);
      return 0;
    case effGetProgramName:
      CopyText(text, kPresetNameSize, core.PresetName(core.CurrentPreset()));
      return 0;
    case effGetParamLabel:
      if (parameter) CopyText(text, kParameterTextSize, parameter->Label());
      return 0;
    case effGetParamDisplay:
      if (parameter) parameter->FormatForDisplay(parameter->Value(), false, text, kParameterTextSize);
      return 0;
    case effGetParamName:
      if (parameter) CopyText(text, kParameterTextSize, parameter->Name());
      return 0;
    case effSetSampleRate:
      core.SetSampleRate(opt);
      core.ResetProcessing();
      return 0;
    case effSetBlockSize:
      core.SetBlockSize(Saturate(value));
      core.ResetProcessing();
      return 0;
    case effMainsChanged:
      SetActive(value != 0);
      return 0;
    case effEditGetRect:
      if (!ptr || !core.Editor()) return 0;
      *static_cast<ERect**>(ptr) = &editorRect;
      return 1;
    case effEditOpen:
      return OpenEditor(ptr) != nullptr ? 1 : 0;
    case effEditClose:
      return CloseEditor() ? 1 : 0;
    case effIdentify:
      return kIdentity;
    case effGetChunk:
      return GetChunkInto(index == 0, ptr);
    case effSetChunk:
      return SetChunkFrom(index == 0, value, ptr);
    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return StringToParameter(index, text);
    case effGetProgramNameIndexed:
      if (!text) return 0;
      CopyText(text, kPresetNameSize, core.PresetName(index));
      return text[0] != '\0';
    case effGetInputProperties:
      return PinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
      return PinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return core.IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
      SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                            static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetEffectName:
      if (!text) return 0;
      CopyText(text, kEffectNameSize, core.EffectName());
      return 1;
    case effGetVendorString:
      if (!text) return 0;
      CopyText(text, kVendorTextSize, core.VendorName());
      return 1;
    case effGetProductString:
      if (!text) return 0;
      CopyText(text, kVendorTextSize, core.ProductName());
      return 1;
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(text);
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName:
      return GetMidiKeyName(static_cast<MidiKeyName*>(ptr));
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement;
      return 1;
    default:
      return 0;
  }
}

void IPlugVST::Open() {
  HostSpecificSetup();
  for (int i = 0; i < plug->ParameterCount(); ++i) plug->ParameterChanged(i);
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (!events) return 0;
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    VstEvent* event = events->events[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<std::uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<std::uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<std::uint8_t>(midi->midiData[2]);
      plug->MidiReceived(message);
    } else {
      VstEvents forward{};
      forward.numEvents = 1;
      forward.events[0] = event;
      HostRequest(audioMasterProcessEvents, 0, 0, &forward);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::StringToParameter(int index, const char* text) {
  Parameter* parameter = plug->GetParameter(index);
  if (!parameter) return 0;
  double v = 0.0;
  if (!parameter->ValueForTypedText(text, Parameter::TypedText::kLenient, v)) return 1;  // no text
  if (IEditor* editor = plug->Editor()) editor->PushParameterToControls(index, v, false);
  parameter->SetValueClamped(v);
  plug->ParameterChanged(index);
  return 1;
}

VstIntPtr IPlugVST::PinProperties(bool isInput, int index, VstPinProperties* properties) const {
  const int count = isInput ? plug->InputChannelCount() : plug->OutputChannelCount();
  if (!properties || index < 0 || index >= count) return 0;
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
  std::snprintf(properties->label, kVendorTextSize, isInput ? "Input %d" : "Output %d", index + 1);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* input, const VstSpeakerArrangement* output) {
  if (input) {
    const int n = std::clamp(input->numChannels, 0, plug->InputChannelCount());
    plug->Channels().SetInputConnections(0, n, true);
    plug->Channels().SetInputConnections(n, plug->InputChannelCount() - n, false);
  }
  if (output) {
    const int n = std::clamp(output->numChannels, 0, plug->OutputChannelCount());
    plug->Channels().SetOutputConnections(0, n, true);
    plug->Channels().SetOutputConnections(n, plug->OutputChannelCount() - n, false);
  }
}

VstIntPtr IPlugVST::CanDo(const char* capability) const {
  if (!capability) return 0;
  Trace("IPlugVST::VSTDispatcher", __LINE__, "VSTCanDo(%s)", capability);
  if (std::strcmp(capability, kTimeInfoCapability) == 0) return 1;
  if (usesMidi) {
    for (const char* midi : kMidiCapabilities)
      if (std::strcmp(capability, midi) == 0) return 1;
  }
  const std::size_t length = std::strlen(capability);
  for (const Capability& extension : kHostExtensions)
    if (length == extension.length && Fnv1a64(capability, length) == extension.digest) return kHostExtensionCanDo;
  return 0;
}

VstIntPtr IPlugVST::VendorSpecific(int index, VstIntPtr value, void* ptr, float opt) const {
  if (index != kVendorFormatParameter || !ptr) return 0;
  if (const Parameter* parameter = plug->GetParameter(Saturate(value)))
    parameter->FormatForDisplay(opt, true, static_cast<char*>(ptr), kParameterTextSize);
  return kHostExtensionVendor;
}

VstIntPtr IPlugVST::GetChunkInto(bool isBank, void* ptr) {
  if (!ptr) return 0;
  StateChunk& chunk = isBank ? bankChunk : programChunk;
  const int size = plug->GetChunk(chunk, isBank);
  if (size <= 0) return 0;
  // The bytes stay ours; the host reads them until its next chunk call.
  *static_cast<const void**>(ptr) = chunk.Data();
  return size;
}

VstIntPtr IPlugVST::SetChunkFrom(bool isBank, VstIntPtr size, const void* data) {
  if (!data || size < 0 || size > INT32_MAX) return 0;
  return plug->SetChunk(isBank ? bankChunk : programChunk, isBank, data, static_cast<int>(size));
}

VstIntPtr IPlugVST::GetMidiKeyName(MidiKeyName* key) {
  if (!key) return 0;
  key->keyName[0] = '\0';
  return plug->MidiKeyNameFor(key->thisKeyNumber, key->keyName, sizeof key->keyName) ? 1 : 0;
}

// ---- Requests to the host ----

VstIntPtr IPlugVST::HostRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return hostCallback ? hostCallback(&effect, opcode, index, value, ptr, opt) : 0;
}

void IPlugVST::BeginParameterGesture(int index) { HostRequest(audioMasterBeginEdit, index); }

void IPlugVST::ReportParameterToHost(int index, double normalized) {
  HostRequest(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IPlugVST::EndParameterGesture(int index) { HostRequest(audioMasterEndEdit, index); }

void IPlugVST::RequestHostDisplayUpdate() { HostRequest(audioMasterUpdateDisplay); }

const VstTimeInfo* IPlugVST::HostTimeInfo(VstInt32 flags) {
  return reinterpret_cast<const VstTimeInfo*>(HostRequest(audioMasterGetTime, 0, flags));
}

int IPlugVST::HostSamplePosition() {
  const VstTimeInfo* info = HostTimeInfo(0);
  if (!info || !(info->samplePos >= 0.0)) return 0;
  const double rounded = std::floor(info->samplePos + 0.5);
  return rounded < static_cast<double>(INT_MAX) ? static_cast<int>(rounded) : INT_MAX;
}

double IPlugVST::HostTempo() {
  const VstTimeInfo* info = HostTimeInfo(kVstTempoValid);
  if (info && (info->flags & kVstTempoValid) && info->tempo >= 0.0) return info->tempo;
  return 0.0;
}

void IPlugVST::HostTimeSignature(int& numerator, int& denominator) {
  numerator = 0;
  denominator = 0;
  const VstTimeInfo* info = HostTimeInfo(kVstTimeSigValid);
  if (info && (info->flags & kVstTimeSigValid) && info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0) {
    numerator = info->timeSigNumerator;
    denominator = info->timeSigDenominator;
  }
}

int IPlugVST::HostId() {
  if (hostIdentifier != -1) return hostIdentifier;
  char product[kHostProductSize] = {};
  HostRequest(audioMasterGetProductString, 0, 0, product);
  product[sizeof product - 1] = '\0';  // a host that fills the buffer is not trusted to end it
  hostVersion = product[0] ? PackHostVersion(HostRequest(audioMasterGetVendorVersion)) : 0;
  hostIdentifier = HostIdFromProduct(product);
  return hostIdentifier;
}

void IPlugVST::EditorResized(int width, int height) {
  // While the plug-in is being built it is not ours yet: its editor's size
  // comes as the arguments, from AttachEditor or from Create.
  const IEditor* editor = plug ? plug->Editor() : nullptr;
  if (plug && !editor) return;
  if (editor) {
    width = editor->Width();
    height = editor->Height();
  }
  effect.flags |= effFlagsHasEditor;
  editorRect = {0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
}

void IPlugVST::HostSpecificSetup() {
  if (hostSetupDone) return;
  hostSetupDone = true;
  const int id = HostId();
  if (std::find(std::begin(kHostsWithoutExtraInputs), std::end(kHostsWithoutExtraInputs), id) !=
      std::end(kHostsWithoutExtraInputs)) {
    plug->Channels().SetInputConnections(2, plug->InputChannelCount() - 2, false);
    if (plug->OutputChannelCount() >= 3)
      plug->Channels().SetOutputConnections(2, plug->OutputChannelCount() - 2, true);
  }
  effect.numInputs = inputArrangement.numChannels = plug->InputChannelCount();
  effect.numOutputs = outputArrangement.numChannels = plug->OutputChannelCount();
}

void IPlugVST::LatencyChanged(int samples) { effect.initialDelay = samples; }

bool IPlugVST::SendMidi(const MidiMessage& message) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof event;
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return HostRequest(audioMasterProcessEvents, 0, 0, &events) == 1;
}

}  // namespace tarvel
