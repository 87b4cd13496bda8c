#include "vst3/IPlugVST3.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "effect/PluginFactory.h"
#include "plugin/ExactSilence.h"
#include "plugin/StateChunk.h"
#include "plugin/Utf16.h"

namespace tarvel::vst3 {

namespace {

constexpr int32 kMaxBlock = 1 << 20;


template <typename Sample>
Sample** ChannelBuffers(const AudioBusBuffers& bus) {
  if constexpr (std::is_same_v<Sample, float>) {
    return bus.channelBuffers32;
  } else {
    return bus.channelBuffers64;
  }
}

// Reads the whole stream, at most limit bytes; false on a read error or when
// the stream holds more.
bool ReadAll(IBStream* stream, std::vector<std::uint8_t>& bytes, int32 limit) {
  bytes.assign(static_cast<std::size_t>(limit) + 1, 0);
  int32 total = 0;
  while (total <= limit) {
    int32 got = 0;
    if (stream->read(bytes.data() + total, limit + 1 - total, &got) != kResultOk || got < 0) return false;
    if (got == 0) break;
    total += got;
  }
  if (total > limit) return false;
  bytes.resize(static_cast<std::size_t>(total));
  return true;
}

}  // namespace

IPlugVST3* IPlugVST3::Create() {
  // The instance must exist before the effect that reports to it: the
  // instance comes first, then its effect, at the core's initial rate (the
  // host's set-up designs it again).
  auto* instance = new IPlugVST3();
  try {
    if (!instance->Build([](IHostRequests& host) { return MakePlugin(host, IPlugBase::kInitialSampleRate); },
                         1024)) {
      delete instance;
      return nullptr;
    }
    IPlugBase& effect = instance->Plug();
    LockGuard guard(effect.InstanceLock());
    instance->reportedLatency = effect.Latency();
    for (int i = 0; i < effect.ParameterCount(); ++i)
      instance->defaults.push_back(effect.GetParameter(i)->NormalizedValue());
    instance->SizeBypass(instance->setup.maxSamplesPerBlock);
  } catch (...) {
    delete instance;
    throw;
  }
  return instance;
}

IPlugVST3::~IPlugVST3() {
  if (handler) handler->release();
}

// ---- FUnknown ----

tresult IPlugVST3::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPluginBaseIid) || SameUid(iid, kIComponentIid))
    *obj = static_cast<IComponent*>(this);
  else if (SameUid(iid, kIAudioProcessorIid))
    *obj = static_cast<IAudioProcessor*>(this);
  else if (SameUid(iid, kIEditControllerIid))
    *obj = static_cast<IEditController*>(this);
  else
    return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 IPlugVST3::addRef() { return ++references; }

uint32 IPlugVST3::release() {
  const uint32 left = --references;
  if (left == 0) delete this;
  return left;
}

// ---- IPluginBase ----

// A single component is one object for both roles: a host may initialise it
// as the component and again as the controller, so a second call is no fault.
tresult IPlugVST3::initialize(FUnknown*) {
  LockGuard guard(plug->InstanceLock());
  initialized = true;
  return kResultOk;
}

tresult IPlugVST3::terminate() {
  {
    LockGuard guard(plug->InstanceLock());
    if (active) {
      active = false;
      SetActive(false);
    }
    initialized = false;
    setUp = false;
  }
  setComponentHandler(nullptr);
  return kResultOk;
}

// ---- IComponent ----

tresult IPlugVST3::getControllerClassId(TUID) { return kResultFalse; }  // the component is its own controller

tresult IPlugVST3::setIoMode(int32) { return kResultOk; }

int32 IPlugVST3::getBusCount(int32 type, int32 dir) {
  return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult IPlugVST3::getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) {
  if (type != kAudio || (dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
  LockGuard guard(plug->InstanceLock());
  bus = {};
  bus.mediaType = kAudio;
  bus.direction = dir;
  bus.channelCount = dir == kInput ? InputChannels() : 2;
  CopyToUtf16(bus.name, 128, dir == kInput ? "Input" : "Output");
  bus.busType = kMain;
  bus.flags = kDefaultActive;
  return kResultOk;
}

tresult IPlugVST3::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

// The main buses are always there; a host that switches one off hands no
// buffers for it, which process() takes as silence in or nothing out.
tresult IPlugVST3::activateBus(int32 type, int32 dir, int32 index, TBool) {
  return type == kAudio && (dir == kInput || dir == kOutput) && index == 0 ? kResultOk : kInvalidArgument;
}

tresult IPlugVST3::setActive(TBool state) {
  LockGuard guard(plug->InstanceLock());
  const bool on = state != 0;
  if (!initialized || !setUp || on == active) return kResultFalse;
  active = on;
  SetActive(on);
  // Hosts deactivate on stop, bypass and re-configuration: an activation
  // starts afresh, as a new instance would, with no audio from before it.
  if (on) {
    plug->StartAfresh();
    RestartBypass();
  }
  return kResultOk;
}

tresult IPlugVST3::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  LockGuard guard(plug->InstanceLock());
  // Exactly a program chunk: the header, then one double per parameter.
  const int32 size = 8 + 8 * plug->ParameterCount();
  std::vector<std::uint8_t> bytes;
  if (!ReadAll(state, bytes, size) || static_cast<int32>(bytes.size()) != size) return kResultFalse;
  StateChunk chunk;
  if (!chunk.Assign(bytes.data(), size)) return kResultFalse;
  std::int32_t magic = 0;
  std::int32_t version = 0;
  chunk.GetInt32(0, magic);
  chunk.GetInt32(4, version);
  if (magic != IPlugBase::kChunkMagic || version != IPlugBase::kChunkVersion) return kResultFalse;
  for (int pos = 8; pos < size;) {
    double v = 0.0;
    pos = chunk.GetDouble(pos, v);
    if (!std::isfinite(v)) return kResultFalse;
  }
  return plug->SetChunk(chunk, false, bytes.data(), size) ? kResultOk : kResultFalse;
}

tresult IPlugVST3::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  LockGuard guard(plug->InstanceLock());
  StateChunk chunk;
  const int size = plug->GetChunk(chunk, false);
  if (size <= 0) return kResultFalse;
  int32 written = 0;
  std::vector<std::uint8_t> bytes(chunk.Data(), chunk.Data() + size);
  if (state->write(bytes.data(), size, &written) != kResultOk || written != size) return kResultFalse;
  return kResultOk;
}

// ---- IAudioProcessor ----

tresult IPlugVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                      int32 numOuts) {
  LockGuard guard(plug->InstanceLock());
  if (active) return kResultFalse;
  const bool fits = numIns == 1 && numOuts == 1 && inputs && outputs && outputs[0] == kSpeakerArrStereo &&
                    (inputs[0] == kSpeakerArrStereo || inputs[0] == kSpeakerArrMono);
  // Anything else is refused and the buses stay (or become) stereo.
  monoInput = fits && inputs[0] == kSpeakerArrMono;
  plug->Channels().SetInputConnections(0, 1, true);
  plug->Channels().SetInputConnections(1, 1, !monoInput);
  return fits ? kResultOk : kResultFalse;
}

tresult IPlugVST3::getBusArrangement(int32 dir, int32 index, SpeakerArrangement& arr) {
  if ((dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
  LockGuard guard(plug->InstanceLock());
  arr = dir == kInput && monoInput ? kSpeakerArrMono : kSpeakerArrStereo;
  return kResultOk;
}

tresult IPlugVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 IPlugVST3::getLatencySamples() {
  LockGuard guard(plug->InstanceLock());
  return static_cast<uint32>(std::max(plug->Latency(), 0));
}

uint32 IPlugVST3::getTailSamples() {
  LockGuard guard(plug->InstanceLock());
  return static_cast<uint32>(std::max(plug->TailSamples(), 0));
}

tresult IPlugVST3::setupProcessing(ProcessSetup& newSetup) {
  bool latencyChanged = false;
  {
    LockGuard guard(plug->InstanceLock());
    if (!initialized || active) return kResultFalse;
    if (newSetup.symbolicSampleSize != kSample32 && newSetup.symbolicSampleSize != kSample64) return kResultFalse;
    if (newSetup.maxSamplesPerBlock < 1 || newSetup.maxSamplesPerBlock > kMaxBlock) return kResultFalse;
    if (!plug->SupportsSampleRate(newSetup.sampleRate)) return kResultFalse;
    if (!plug->SetBlockSize(newSetup.maxSamplesPerBlock)) return kResultFalse;
    plug->SetSampleRate(newSetup.sampleRate);
    plug->ResetProcessing();
    setup = newSetup;
    SizeBypass(setup.maxSamplesPerBlock);
    setUp = true;
    latencyChanged = plug->Latency() != reportedLatency;
    reportedLatency = plug->Latency();
  }
  // Outside the lock: the host asks for the new latency from here.
  if (latencyChanged && handler) handler->restartComponent(kLatencyChanged);
  return kResultOk;
}

tresult IPlugVST3::setProcessing(TBool) {
  LockGuard guard(plug->InstanceLock());
  return active ? kResultOk : kResultFalse;
}

tresult IPlugVST3::process(ProcessData& data) {
  LockGuard guard(plug->InstanceLock());
  if (!active) return kResultFalse;
  if (data.numSamples < 0 || (data.symbolicSampleSize != kSample32 && data.symbolicSampleSize != kSample64))
    return kInvalidArgument;
  ApplyParameterChanges(data.inputParameterChanges);

  const int frames = data.numSamples;
  const bool wide = data.symbolicSampleSize == kSample64;
  if (frames > 0) {  // none: a flush of the parameter changes alone
    if (wide)
      ProcessBuses<double>(data, frames);
    else
      ProcessBuses<float>(data, frames);
  }

  // Silence flags only for channels that are exactly zero.
  if (data.numOutputs > 0 && data.outputs) {
    AudioBusBuffers& bus = data.outputs[0];
    const int count = std::min(bus.numChannels, 64);
    bus.silenceFlags = wide ? SilentChannels(bus.channelBuffers64, count, frames)
                            : SilentChannels(bus.channelBuffers32, count, frames);
  }
  return kResultOk;
}

template <typename Sample>
void IPlugVST3::ProcessBuses(ProcessData& data, int frames) {
  Sample* in[2] = {nullptr, nullptr};
  Sample* out[2] = {nullptr, nullptr};
  if (data.numInputs > 0 && data.inputs) {
    const AudioBusBuffers& bus = data.inputs[0];
    Sample** buffers = ChannelBuffers<Sample>(bus);
    for (int c = 0; buffers && c < std::min(bus.numChannels, InputChannels()); ++c)
      in[c] = buffers[c];
  }
  if (data.numOutputs > 0 && data.outputs) {
    const AudioBusBuffers& bus = data.outputs[0];
    Sample** buffers = ChannelBuffers<Sample>(bus);
    for (int c = 0; buffers && c < std::min(bus.numChannels, 2); ++c)
      out[c] = buffers[c];
  }

  ProcessWithBypass(in, out, frames);
}

void IPlugVST3::ApplyParameterChanges(IParameterChanges* changes) {
  if (!changes) return;
  const int32 count = changes->getParameterCount();
  for (int32 q = 0; q < count; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const int32 points = queue->getPointCount();
    int32 offset = 0;
    ParamValue value = 0.0;
    if (points > 0 && queue->getPoint(points - 1, offset, value) == kResultOk)
      SetNormalized(queue->getParameterId(), value);
  }
}

void IPlugVST3::SetNormalized(ParamID id, double value) {
  if (std::isnan(value)) return;
  value = std::clamp(value, 0.0, 1.0);
  if (IsBypass(id)) {
    SetBypass(value >= 0.5);
    return;
  }
  Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  if (!parameter) return;
  parameter->SetFromNormalized(value);
  plug->ParameterChanged(static_cast<int>(id));
}

}  // namespace tarvel::vst3
