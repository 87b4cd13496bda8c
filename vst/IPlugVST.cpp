#include "vst/IPlugVST.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

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

IPlugVST::IPlugVST(audioMasterCallback newHostCallback, int parameterCount, const char* channelIOText,
                   int presetCount, const char* newEffectName, const char* newProductName,
                   const char* newVendorName, int newVendorVersion, int newUniqueId, int newVendorId,
                   int newLatency, bool newUsesMidi, bool newUsesChunks, bool newIsInstrument)
    : IPlugBase(parameterCount, channelIOText, presetCount, newEffectName, newProductName, newVendorName,
                newVendorVersion, newUniqueId, newVendorId, newLatency, newUsesMidi, newUsesChunks,
                newIsInstrument),
      hostCallback(newHostCallback),
      usesMidi(newUsesMidi) {
  Trace("IPlugVST::IPlugVST", __LINE__, "%s", effectName);

  effect.object = this;
  effect.magic = kEffectMagic;
  effect.dispatcher = &VSTDispatcher;
  effect.setParameter = &VSTSetParameter;
  effect.getParameter = &VSTGetParameter;
  effect.numPrograms = std::max(presetCount, 0);
  effect.numParams = std::max(parameterCount, 0);
  effect.numInputs = InputChannelCount();
  effect.numOutputs = OutputChannelCount();
  effect.uniqueID = uniqueId;
  effect.version = EffectVersion(true);
  effect.ioRatio = 1.0f;
  effect.process = &VSTProcessAccumulate;
  effect.processReplacing = &VSTProcessReplacing;
  effect.processDoubleReplacing = &VSTProcessDoubleReplacing;
  effect.initialDelay = latency;
  effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (usesChunks) effect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) effect.flags |= effFlagsCanMono;
  if (isInstrument) effect.flags |= effFlagsIsSynth;

  inputArrangement.numChannels = InputChannelCount();
  inputArrangement.type = ArrangementType(InputChannelCount());
  outputArrangement.numChannels = OutputChannelCount();
  outputArrangement.type = ArrangementType(OutputChannelCount());

  SetInputConnections(0, InputChannelCount(), true);
  SetOutputConnections(0, OutputChannelCount(), true);
  SetBlockSize(1024);
}

// The chunk buffers go with their members (bankChunk first), then the base.
IPlugVST::~IPlugVST() = default;

// ---- Callbacks ----

IPlugVST* IPlugVST::InstanceOf(AEffect* record) {
  return record && record->magic == kEffectMagic ? static_cast<IPlugVST*>(record->object) : nullptr;
}

VstIntPtr IPlugVST::VSTDispatcher(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  IPlugVST* plug = InstanceOf(record);
  if (!plug) return 0;
  VstIntPtr result = 0;
  try {
    if (opcode == effEditIdle) {
      // The editor's tick paints for a while: outside the lock, like a window
      // timer's tick, so that the audio thread never waits for it.
      if (plug->editor) plug->editor->Idle();
    } else {
      LockGuard guard(plug->instanceLock);
      result = plug->Dispatch(opcode, index, value, ptr, opt);
    }
  } catch (...) {
    // Nothing may unwind into the host; a call that could not complete
    // answers as a failed one.
    result = 0;
  }
  if (opcode == effClose) delete plug;
  return result;
}

template <typename Sample>
void IPlugVST::HostProcess(AEffect* record, Sample** inputs, Sample** outputs, VstInt32 frames,
                           void (IPlugBase::*run)(int)) {
  IPlugVST* plug = InstanceOf(record);
  if (!plug) return;
  LockGuard guard(plug->instanceLock);
  if (plug->usesMidi) plug->HostRequest(audioMasterWantMidi);
  if constexpr (std::is_same_v<Sample, float>) {
    plug->ConnectInputsFloat(0, plug->InputChannelCount(), inputs);
    plug->ConnectOutputsFloat(0, plug->OutputChannelCount(), outputs);
  } else {
    plug->ConnectInputsDouble(0, plug->InputChannelCount(), inputs);
    plug->ConnectOutputsDouble(0, plug->OutputChannelCount(), outputs);
  }
  (plug->*run)(frames);
}

void IPlugVST::VSTProcessAccumulate(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugVST::ProcessAccumulateFloat);
}

void IPlugVST::VSTProcessReplacing(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugVST::ProcessToFloat);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* record, double** inputs, double** outputs, VstInt32 frames) {
  HostProcess(record, inputs, outputs, frames, &IPlugVST::ProcessDouble);
}

float IPlugVST::VSTGetParameter(AEffect* record, VstInt32 index) {
  IPlugVST* plug = InstanceOf(record);
  if (!plug) return 0.0f;
  Trace("IPlugVST::VSTGetParameter", __LINE__, "%d", index);
  LockGuard guard(plug->instanceLock);
  const Parameter* parameter = plug->GetParameter(index);
  return parameter ? static_cast<float>(parameter->NormalizedValue()) : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* record, VstInt32 index, float value) {
  IPlugVST* plug = InstanceOf(record);
  if (!plug) return;
  Trace("IPlugVST::VSTSetParameter", __LINE__, "%d:%f", index, static_cast<double>(value));
  LockGuard guard(plug->instanceLock);
  Parameter* parameter = plug->GetParameter(index);
  if (!parameter || std::isnan(value)) return;
  if (plug->editor) plug->editor->PushParameterToControls(index, value, true);
  parameter->SetFromNormalized(value);
  plug->ParameterChanged(index);
}

// ---- Dispatcher ----

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (opcode == effEditIdle || opcode == effIdle) return 0;  // frequent and without work: not traced
  Trace("IPlugVST::VSTDispatcher", __LINE__, "%d(%s):%d:%d", opcode, "", index, Saturate(value));
  char* text = static_cast<char*>(ptr);
  Parameter* parameter = GetParameter(index);

  switch (opcode) {
    case effOpen:
      Open();
      return 0;
    case effClose:
      return 0;  // the trampoline destroys the instance once the lock is released
    case effSetProgram:
      CaptureCurrentPreset();
      ApplyPreset(Saturate(value));
      return 0;
    case effGetProgram:
      return currentPreset;
    case effSetProgramName:
      if (text) CaptureCurrentPreset(text);
      return 0;
    case effGetProgramName:
      CopyText(text, kPresetNameSize, PresetName(currentPreset));
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
      SetSampleRate(opt);
      ResetProcessing();
      return 0;
    case effSetBlockSize:
      SetBlockSize(Saturate(value));
      ResetProcessing();
      return 0;
    case effMainsChanged:
      ActivationChanged(value != 0);
      if (value == 0) ResetProcessing();
      return 0;
    case effEditGetRect:
      if (!ptr || !editor) return 0;
      *static_cast<ERect**>(ptr) = &editorRect;
      return 1;
    case effEditOpen:
      if (!editor || !editor->OpenEditorWindow(ptr)) return 0;
      EditorOpened();
      return 1;
    case effEditClose:
      if (!editor) return 0;
      EditorClosed();
      editor->CloseEditorWindow();
      return 1;
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
      CopyText(text, kPresetNameSize, PresetName(index));
      return text[0] != '\0';
    case effGetInputProperties:
      return PinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
      return PinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return isInstrument ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
      SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                            static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetEffectName:
      if (!text) return 0;
      CopyText(text, kEffectNameSize, effectName);
      return 1;
    case effGetVendorString:
      if (!text) return 0;
      CopyText(text, kVendorTextSize, vendorName);
      return 1;
    case effGetProductString:
      if (!text) return 0;
      CopyText(text, kVendorTextSize, productName);
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
  for (int i = 0; i < ParameterCount(); ++i) ParameterChanged(i);
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
      MidiReceived(message);
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
  Parameter* parameter = GetParameter(index);
  if (!parameter) return 0;
  if (!text) return 1;
  int listed = 0;
  double v;
  if (parameter->DisplayTextCount() && parameter->ValueForDisplayText(text, listed)) {
    v = listed;
  } else {
    v = std::strtod(text, nullptr);
    if (parameter->NegateDisplay()) v = -v;
  }
  if (std::isnan(v)) v = 0.0;  // "nan" is text, not a number
  if (editor) editor->PushParameterToControls(index, v, false);
  parameter->SetValueClamped(v);
  ParameterChanged(index);
  return 1;
}

VstIntPtr IPlugVST::PinProperties(bool isInput, int index, VstPinProperties* properties) const {
  const int count = isInput ? InputChannelCount() : OutputChannelCount();
  if (!properties || index < 0 || index >= count) return 0;
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
  std::snprintf(properties->label, kVendorTextSize, isInput ? "Input %d" : "Output %d", index + 1);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* input, const VstSpeakerArrangement* output) {
  if (input) {
    const int n = std::clamp(input->numChannels, 0, InputChannelCount());
    SetInputConnections(0, n, true);
    SetInputConnections(n, InputChannelCount() - n, false);
  }
  if (output) {
    const int n = std::clamp(output->numChannels, 0, OutputChannelCount());
    SetOutputConnections(0, n, true);
    SetOutputConnections(n, OutputChannelCount() - n, false);
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
  if (const Parameter* parameter = GetParameter(Saturate(value)))
    parameter->FormatForDisplay(opt, true, static_cast<char*>(ptr), kParameterTextSize);
  return kHostExtensionVendor;
}

VstIntPtr IPlugVST::GetChunkInto(bool isBank, void* ptr) {
  if (!ptr) return 0;
  StateChunk& chunk = isBank ? bankChunk : programChunk;
  const int size = GetChunk(chunk, isBank);
  if (size <= 0) return 0;
  // The bytes stay ours; the host reads them until its next chunk call.
  *static_cast<const void**>(ptr) = chunk.Data();
  return size;
}

VstIntPtr IPlugVST::SetChunkFrom(bool isBank, VstIntPtr size, const void* data) {
  if (!data || size < 0 || size > INT32_MAX) return 0;
  return SetChunk(isBank ? bankChunk : programChunk, isBank, data, static_cast<int>(size));
}

VstIntPtr IPlugVST::GetMidiKeyName(MidiKeyName* key) {
  if (!key) return 0;
  key->keyName[0] = '\0';
  return MidiKeyNameFor(key->thisKeyNumber, key->keyName, sizeof key->keyName) ? 1 : 0;
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
  const int version = product[0] ? PackHostVersion(HostRequest(audioMasterGetVendorVersion)) : 0;
  SetHost(product, version);
  return hostIdentifier;
}

void IPlugVST::EditorResized(int, int) {
  if (!editor) return;
  editorRect = {0, 0, static_cast<std::int16_t>(editor->Height()), static_cast<std::int16_t>(editor->Width())};
}

void IPlugVST::HostSpecificSetup() {
  if (hostSetupDone) return;
  hostSetupDone = true;
  const int id = HostId();
  if (std::find(std::begin(kHostsWithoutExtraInputs), std::end(kHostsWithoutExtraInputs), id) !=
      std::end(kHostsWithoutExtraInputs)) {
    SetInputConnections(2, InputChannelCount() - 2, false);
    if (OutputChannelCount() >= 3) SetOutputConnections(2, OutputChannelCount() - 2, true);
  }
  effect.numInputs = inputArrangement.numChannels = InputChannelCount();
  effect.numOutputs = outputArrangement.numChannels = OutputChannelCount();
}

void IPlugVST::AttachEditor(std::unique_ptr<IEditor> newEditor) {
  IPlugBase::AttachEditor(std::move(newEditor));
  if (!editor) return;
  effect.flags |= effFlagsHasEditor;
  EditorResized(editor->Width(), editor->Height());
}

void IPlugVST::SetLatency(int samples) {
  IPlugBase::SetLatency(samples);
  effect.initialDelay = samples;
}

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

bool IPlugVST::SendMidiList(const ValueList<MidiMessage>& messages) {
  bool sent = true;
  for (int i = 0; i < messages.Count(); ++i) sent = SendMidi(*messages.Get(i)) && sent;
  return sent;
}

}  // namespace tarvel
