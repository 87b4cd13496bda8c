#include "tools/host/PluginInstance.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tarvel {
namespace {

// Host requests that the plug-in does not send but other plug-ins do; a host
// that answers them keeps such plug-ins on their ordinary path.
constexpr VstInt32 kAudioMasterGetSampleRate = 16;
constexpr VstInt32 kAudioMasterGetBlockSize = 17;
constexpr VstInt32 kAudioMasterGetVendorString = 32;
constexpr VstInt32 kVstTransportPlaying = 1 << 1;
constexpr VstInt32 kVstPpqPosValid = 1 << 9;

// The host strings go into buffers whose size the request does not pass;
// 64 bytes is what every plug-in provides.
constexpr size_t kHostStringCapacity = 64;

constexpr VstInt32 kMaxChannels = 64;

// Instances by record, for requests that arrive with their AEffect; the one
// being built, for requests sent from inside the entry.
std::mutex registryMutex;
std::vector<std::pair<const AEffect*, PluginInstance*>> registry;
thread_local PluginInstance* constructing = nullptr;

PluginInstance* Lookup(const AEffect* effect) {
  if (effect != nullptr) {
    const std::lock_guard lock(registryMutex);
    for (const auto& [record, instance] : registry) {
      if (record == effect) return instance;
    }
  }
  return constructing;
}

VstIntPtr TARVEL_VSTCALL HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                      float opt) {
  PluginInstance* instance = Lookup(effect);
  if (instance != nullptr) return instance->Answer(opcode, index, value, ptr, opt);
  return opcode == audioMasterVersion ? 2400 : 0;
}

void CopyHostString(const std::string& text, void* ptr) {
  const size_t length = std::min(text.size(), kHostStringCapacity - 1);
  std::memcpy(ptr, text.data(), length);
  static_cast<char*>(ptr)[length] = '\0';
}

VstSpeakerArrangement ArrangementFor(VstInt32 channels) {
  VstSpeakerArrangement arrangement{};
  arrangement.numChannels = channels;
  arrangement.type = channels == 1 ? kSpeakerArrMono : channels == 2 ? kSpeakerArrStereo : kSpeakerArrUserDefined;
  return arrangement;
}

}  // namespace

int HostLog::Count(VstInt32 opcode) const {
  return static_cast<int>(
      std::count_if(requests.begin(), requests.end(), [opcode](const HostRequest& r) { return r.opcode == opcode; }));
}

PluginInstance::PluginInstance(std::shared_ptr<const PluginLibrary> library, HostConfig config)
    : library_(std::move(library)), config_(std::move(config)) {}

std::unique_ptr<PluginInstance> PluginInstance::Create(std::shared_ptr<const PluginLibrary> library,
                                                       HostConfig config, std::string& error, bool open) {
  const VstPluginMainProc entry = library->Entry();
  std::unique_ptr<PluginInstance> instance(new PluginInstance(std::move(library), std::move(config)));
  constructing = instance.get();
  AEffect* effect = entry(&HostCallback);
  constructing = nullptr;
  if (effect == nullptr) {
    error = "its entry returned no effect";
    return nullptr;
  }
  if (effect->magic != kEffectMagic || effect->dispatcher == nullptr) {
    // Not a record this host can talk to, not even to close it.
    error = "its entry returned a record that is not a VST 2.4 effect";
    return nullptr;
  }
  if (effect->numInputs < 0 || effect->numOutputs < 0 || effect->numInputs > kMaxChannels ||
      effect->numOutputs > kMaxChannels ||
      effect->numParams < 0) {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    error = "its record declares impossible channel or parameter counts";
    return nullptr;
  }
  instance->effect_ = effect;
  {
    const std::lock_guard lock(registryMutex);
    registry.emplace_back(effect, instance.get());
  }
  instance->SizeBuffers();
  if (open) instance->Dispatch(effOpen);
  return instance;
}

PluginInstance::~PluginInstance() {
  if (effect_ == nullptr) return;
  effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
  const std::lock_guard lock(registryMutex);
  std::erase_if(registry, [this](const auto& entry) { return entry.second == this; });
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::DispatchText(VstInt32 opcode, VstInt32 index) {
  char text[256] = {};
  Dispatch(opcode, index, 0, text);
  text[sizeof text - 1] = '\0';
  return text;
}

void PluginInstance::SetSampleRate(double rate) {
  sampleRate_ = rate;
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginInstance::SetBlockSize(VstInt32 frames) {
  blockSize_ = std::max<VstInt32>(frames, 1);
  SizeBuffers();
  Dispatch(effSetBlockSize, 0, blockSize_);
}

void PluginInstance::Resume() { Dispatch(effMainsChanged, 0, 1); }

void PluginInstance::Suspend() { Dispatch(effMainsChanged, 0, 0); }

VstIntPtr PluginInstance::SetSpeakerArrangement(VstInt32 inputChannels, VstInt32 outputChannels) {
  VstSpeakerArrangement in = ArrangementFor(inputChannels);
  VstSpeakerArrangement out = ArrangementFor(outputChannels);
  return Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
}

float PluginInstance::GetParameter(VstInt32 index) { return effect_->getParameter(effect_, index); }

void PluginInstance::SetParameter(VstInt32 index, float normalized) {
  effect_->setParameter(effect_, index, normalized);
}

bool PluginInstance::SetParameterText(VstInt32 index, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return Dispatch(effString2Parameter, index, 0, buffer.data()) != 0;
}

std::vector<std::uint8_t> PluginInstance::GetChunk(bool isProgram) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, isProgram ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return {bytes, bytes + size};
}

bool PluginInstance::SetChunk(const std::vector<std::uint8_t>& chunk, bool isProgram) {
  // The plug-in may keep reading the buffer only during the call; hand it a
  // copy it may not write through to the caller's data.
  std::vector<std::uint8_t> copy = chunk;
  return Dispatch(effSetChunk, isProgram ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
}

void PluginInstance::SizeBuffers() {
  const auto frames = static_cast<size_t>(blockSize_);
  const auto inputs = static_cast<size_t>(std::clamp(effect_->numInputs, 0, kMaxChannels));
  const auto outputs = static_cast<size_t>(std::clamp(effect_->numOutputs, 0, kMaxChannels));
  floatIn_.assign(inputs, std::vector<float>(frames));
  doubleIn_.assign(inputs, std::vector<double>(frames));
  floatOut_.assign(outputs, std::vector<float>(frames));
  floatInPtr_.resize(inputs);
  doubleInPtr_.resize(inputs);
  floatOutPtr_.resize(outputs);
  doubleOutPtr_.resize(outputs);
  callerInPtr_.resize(inputs);
  callerOutPtr_.resize(outputs);
  for (size_t c = 0; c < inputs; ++c) {
    floatInPtr_[c] = floatIn_[c].data();
    doubleInPtr_[c] = doubleIn_[c].data();
  }
  for (size_t c = 0; c < outputs; ++c) floatOutPtr_[c] = floatOut_[c].data();
}

bool PluginInstance::Supports(ProcessMode mode) const {
  switch (mode) {
    case ProcessMode::kDouble:
      return (effect_->flags & effFlagsCanDoubleReplacing) != 0 && effect_->processDoubleReplacing != nullptr;
    case ProcessMode::kFloat:
      return (effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr;
    case ProcessMode::kAccumulate:
      return effect_->process != nullptr;
  }
  return false;
}

// A plug-in may settle its channel counts only at effOpen.
void PluginInstance::SizeBuffersIfChannelsChanged() {
  if (floatIn_.size() != static_cast<size_t>(std::clamp(effect_->numInputs, 0, kMaxChannels)) ||
      floatOut_.size() != static_cast<size_t>(std::clamp(effect_->numOutputs, 0, kMaxChannels))) {
    SizeBuffers();
  }
}

void PluginInstance::ProcessCall(ProcessMode mode, const double* const* inputs, double* const* outputs,
                                 VstInt32 frames) {
  SizeBuffersIfChannelsChanged();
  frames = std::clamp<VstInt32>(frames, 0, blockSize_);
  const auto count = static_cast<size_t>(frames);
  const auto inputCount = floatIn_.size();
  const auto outputCount = floatOut_.size();
  if (!Supports(mode)) {
    for (size_t c = 0; c < outputCount; ++c) std::fill_n(outputs[c], count, 0.0);
    return;
  }
  if (mode == ProcessMode::kDouble) {
    for (size_t c = 0; c < inputCount; ++c) std::copy_n(inputs[c], count, doubleIn_[c].data());
    for (size_t c = 0; c < outputCount; ++c) doubleOutPtr_[c] = outputs[c];
    effect_->processDoubleReplacing(effect_, doubleInPtr_.data(), doubleOutPtr_.data(), frames);
  } else {
    for (size_t c = 0; c < inputCount; ++c) {
      std::transform(inputs[c], inputs[c] + count, floatIn_[c].begin(), [](double v) { return float(v); });
    }
    for (size_t c = 0; c < outputCount; ++c) {
      std::transform(outputs[c], outputs[c] + count, floatOut_[c].begin(), [](double v) { return float(v); });
    }
    if (mode == ProcessMode::kFloat) {
      effect_->processReplacing(effect_, floatInPtr_.data(), floatOutPtr_.data(), frames);
    } else {
      effect_->process(effect_, floatInPtr_.data(), floatOutPtr_.data(), frames);
    }
    for (size_t c = 0; c < outputCount; ++c) std::copy_n(floatOut_[c].data(), count, outputs[c]);
  }
  const std::lock_guard lock(logMutex_);
  samplePosition_ += frames;
}

void PluginInstance::Process(ProcessMode mode, const double* const* inputs, double* const* outputs,
                             std::int64_t frames) {
  SizeBuffersIfChannelsChanged();
  std::vector<const double*> in(inputs, inputs + floatIn_.size());
  std::vector<double*> out(outputs, outputs + floatOut_.size());
  for (std::int64_t done = 0; done < frames;) {
    const auto part = static_cast<VstInt32>(std::min<std::int64_t>(frames - done, blockSize_));
    ProcessCall(mode, in.data(), out.data(), part);
    for (auto& p : in) p += part;
    for (auto& p : out) p += part;
    done += part;
  }
}

void PluginInstance::ProcessFloat(float* const* inputs, float* const* outputs, std::int64_t frames) {
  SizeBuffersIfChannelsChanged();
  if (frames <= 0) return;
  const auto inputCount = callerInPtr_.size();
  const auto outputCount = callerOutPtr_.size();
  if (!Supports(ProcessMode::kFloat)) {
    for (size_t c = 0; c < outputCount; ++c) std::fill_n(outputs[c], frames, 0.0f);
    return;
  }
  for (std::int64_t done = 0; done < frames;) {
    const auto part = static_cast<VstInt32>(std::min<std::int64_t>(frames - done, blockSize_));
    for (size_t c = 0; c < inputCount; ++c) callerInPtr_[c] = inputs[c] + done;
    for (size_t c = 0; c < outputCount; ++c) callerOutPtr_[c] = outputs[c] + done;
    effect_->processReplacing(effect_, callerInPtr_.data(), callerOutPtr_.data(), part);
    {
      const std::lock_guard lock(logMutex_);
      samplePosition_ += part;
    }
    done += part;
  }
}

HostLog PluginInstance::Log() const {
  const std::lock_guard lock(logMutex_);
  return log_;
}

void PluginInstance::ClearLog() {
  const std::lock_guard lock(logMutex_);
  log_ = {};
}

std::int64_t PluginInstance::SamplePosition() const {
  const std::lock_guard lock(logMutex_);
  return samplePosition_;
}

VstIntPtr PluginInstance::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  const std::lock_guard lock(logMutex_);
  log_.requests.push_back({opcode, index, value, opt});
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime:
      if (!config_.answerTimeInfo) return 0;
      timeInfo_.sampleRate = sampleRate_;
      timeInfo_.samplePos = static_cast<double>(samplePosition_);
      timeInfo_.tempo = config_.tempo;
      timeInfo_.ppqPos = timeInfo_.samplePos / sampleRate_ * config_.tempo / 60.0;
      timeInfo_.timeSigNumerator = config_.timeSigNumerator;
      timeInfo_.timeSigDenominator = config_.timeSigDenominator;
      timeInfo_.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
      return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      if (events == nullptr) return 0;
      for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr) continue;
        if (event->type == kVstMidiType) {
          VstMidiEvent midi;
          std::memcpy(&midi, event, sizeof midi);
          log_.midiEvents.push_back(midi);
        } else {
          log_.otherEvents.push_back(*event);
        }
      }
      return config_.acceptEvents ? 1 : 0;
    }
    case audioMasterIOChanged:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      return 1;
    case kAudioMasterGetSampleRate:
      return static_cast<VstIntPtr>(sampleRate_);
    case kAudioMasterGetBlockSize:
      return blockSize_;
    case kAudioMasterGetVendorString:
      if (ptr == nullptr) return 0;
      CopyHostString(config_.vendorString, ptr);
      return 1;
    case audioMasterGetProductString:
      if (ptr == nullptr) return 0;
      if (!config_.productString.empty()) CopyHostString(config_.productString, ptr);
      return 1;
    case audioMasterGetVendorVersion:
      return config_.vendorVersion;
    default:
      return 0;  // audioMasterAutomate and anything unknown: logged only
  }
}

}  // namespace tarvel
