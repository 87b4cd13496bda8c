#include "tools/host3/Vst3Instance.h"

#include <algorithm>
#include <cstring>

namespace tarvel::vst3 {

namespace {

template <typename Interface>
tresult AnswerQuery(Interface* self, const Uid& own, const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!SameUid(iid, kFUnknownIid) && !SameUid(iid, own)) return kNoInterface;
  *obj = self;
  return kResultOk;
}

template <typename Interface>
Interface* Query(FUnknown* object, const Uid& iid) {
  void* obj = nullptr;
  if (!object || object->queryInterface(iid.data(), &obj) != kResultOk) return nullptr;
  return static_cast<Interface*>(obj);
}

}  // namespace

// ---- MemoryStream ----

tresult MemoryStream::queryInterface(const TUID iid, void** obj) { return AnswerQuery(this, kIBStreamIid, iid, obj); }

tresult MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(numBytes), bytes_.size() - position_);
  if (n) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  if (numBytesRead) *numBytesRead = static_cast<int32>(n);
  return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (bytes_.size() < position_ + static_cast<std::size_t>(numBytes)) bytes_.resize(position_ + numBytes);
  if (numBytes) std::memcpy(bytes_.data() + position_, bytes, static_cast<std::size_t>(numBytes));
  position_ += static_cast<std::size_t>(numBytes);
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? static_cast<int64>(position_)
                                                                  : static_cast<int64>(bytes_.size());
  const int64 target = base + pos;
  if (mode < kIBSeekSet || mode > kIBSeekEnd || target < 0) return kInvalidArgument;
  position_ = static_cast<std::size_t>(target);
  if (position_ > bytes_.size()) bytes_.resize(position_);
  if (result) *result = target;
  return kResultOk;
}

tresult MemoryStream::tell(int64* pos) {
  if (!pos) return kInvalidArgument;
  *pos = static_cast<int64>(position_);
  return kResultOk;
}

// ---- Parameter changes ----

tresult ParamQueue::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery(this, kIParamValueQueueIid, iid, obj);
}

tresult ParamQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (index < 0 || index >= getPointCount()) return kInvalidArgument;
  sampleOffset = points_[static_cast<std::size_t>(index)].offset;
  value = points_[static_cast<std::size_t>(index)].value;
  return kResultOk;
}

tresult ParamQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  points_.push_back({sampleOffset, value});
  index = getPointCount() - 1;
  return kResultOk;
}

void ParamChanges::Add(ParamID id, int32 offset, ParamValue value) {
  int32 index = 0;
  int32 point = 0;
  addParameterData(id, index)->addPoint(offset, value, point);
}

tresult ParamChanges::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery(this, kIParameterChangesIid, iid, obj);
}

IParamValueQueue* ParamChanges::getParameterData(int32 index) {
  if (index < 0 || index >= getParameterCount()) return nullptr;
  return queues_[static_cast<std::size_t>(index)].get();
}

IParamValueQueue* ParamChanges::addParameterData(const ParamID& id, int32& index) {
  for (std::size_t i = 0; i < queues_.size(); ++i) {
    if (queues_[i]->getParameterId() == id) {
      index = static_cast<int32>(i);
      return queues_[i].get();
    }
  }
  queues_.push_back(std::make_unique<ParamQueue>(id));
  index = getParameterCount() - 1;
  return queues_.back().get();
}

// ---- RecordingHandler ----

tresult RecordingHandler::queryInterface(const TUID iid, void** obj) {
  return AnswerQuery(this, kIComponentHandlerIid, iid, obj);
}

tresult RecordingHandler::beginEdit(ParamID id) {
  edits.push_back({'b', id, 0.0});
  return kResultOk;
}

tresult RecordingHandler::performEdit(ParamID id, ParamValue valueNormalized) {
  edits.push_back({'p', id, valueNormalized});
  return kResultOk;
}

tresult RecordingHandler::endEdit(ParamID id) {
  edits.push_back({'e', id, 0.0});
  return kResultOk;
}

tresult RecordingHandler::restartComponent(int32 flags) {
  restarts.push_back(flags);
  return kResultOk;
}

// ---- Vst3Instance ----

std::unique_ptr<Vst3Instance> Vst3Instance::Create(std::shared_ptr<const Vst3Module> module, std::string& error) {
  IPluginFactory* factory = module ? module->Factory() : nullptr;
  if (!factory) {
    error = "no factory";
    return nullptr;
  }
  std::unique_ptr<Vst3Instance> instance(new Vst3Instance());
  instance->module_ = module;
  PClassInfo info{};
  for (int32 i = 0; i < factory->countClasses(); ++i) {
    if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, kVstAudioEffectClass) == 0) break;
    info = {};
  }
  void* obj = nullptr;
  if (info.name[0] == '\0' || factory->createInstance(info.cid, kIComponentIid.data(), &obj) != kResultOk || !obj) {
    error = "the factory made no component";
    return nullptr;
  }
  instance->component_ = static_cast<IComponent*>(obj);
  if (instance->component_->initialize(nullptr) != kResultOk) {
    error = "the component refused initialize";
    return nullptr;
  }
  instance->processor_ = Query<IAudioProcessor>(instance->component_, kIAudioProcessorIid);
  instance->controller_ = Query<IEditController>(instance->component_, kIEditControllerIid);
  if (!instance->controller_) {
    TUID controllerId{};
    if (instance->component_->getControllerClassId(controllerId) == kResultOk &&
        factory->createInstance(controllerId, kIEditControllerIid.data(), &obj) == kResultOk && obj) {
      instance->controller_ = static_cast<IEditController*>(obj);
      instance->separateController_ = true;
      instance->controller_->initialize(nullptr);
    }
  }
  if (!instance->processor_ || !instance->controller_) {
    error = "no audio processor or no controller";
    return nullptr;
  }
  instance->controller_->setComponentHandler(&instance->handler_);
  return instance;
}

Vst3Instance::~Vst3Instance() {
  if (active_) Stop();
  if (controller_) {
    controller_->setComponentHandler(nullptr);
    if (separateController_) controller_->terminate();
    controller_->release();
  }
  if (processor_) processor_->release();
  if (component_) {
    component_->terminate();
    component_->release();
  }
}

bool Vst3Instance::Start(double rate, int32 maxBlock, int32 sampleSize) {
  setup_ = {kRealtime, sampleSize, maxBlock, rate};
  if (processor_->setupProcessing(setup_) != kResultOk) return false;
  if (component_->setActive(1) != kResultOk) return false;
  active_ = true;
  return processor_->setProcessing(1) == kResultOk;
}

void Vst3Instance::Stop() {
  processor_->setProcessing(0);
  component_->setActive(0);
  active_ = false;
}

template <typename Sample>
tresult Vst3Instance::ProcessAny(Sample* const* inputs, Sample* const* outputs, int32 frames,
                                 IParameterChanges* changes, uint64* silence) {
  Sample* in[2] = {inputs ? inputs[0] : nullptr, inputs ? inputs[1] : nullptr};
  Sample* out[2] = {outputs ? outputs[0] : nullptr, outputs ? outputs[1] : nullptr};
  AudioBusBuffers inputBus{};
  AudioBusBuffers outputBus{};
  inputBus.numChannels = 2;
  outputBus.numChannels = 2;
  if constexpr (std::is_same_v<Sample, float>) {
    inputBus.channelBuffers32 = inputs ? in : nullptr;
    outputBus.channelBuffers32 = outputs ? out : nullptr;
  } else {
    inputBus.channelBuffers64 = inputs ? in : nullptr;
    outputBus.channelBuffers64 = outputs ? out : nullptr;
  }
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = std::is_same_v<Sample, float> ? kSample32 : kSample64;
  data.numSamples = frames;
  data.numInputs = inputs ? 1 : 0;
  data.numOutputs = outputs ? 1 : 0;
  data.inputs = inputs ? &inputBus : nullptr;
  data.outputs = outputs ? &outputBus : nullptr;
  data.inputParameterChanges = changes;
  const tresult result = processor_->process(data);
  if (silence) *silence = outputBus.silenceFlags;
  return result;
}

tresult Vst3Instance::Process(float* const* inputs, float* const* outputs, int32 frames, IParameterChanges* changes,
                              uint64* silence) {
  return ProcessAny(inputs, outputs, frames, changes, silence);
}

tresult Vst3Instance::Process(double* const* inputs, double* const* outputs, int32 frames,
                              IParameterChanges* changes, uint64* silence) {
  return ProcessAny(inputs, outputs, frames, changes, silence);
}

std::vector<std::uint8_t> Vst3Instance::State() {
  MemoryStream stream;
  if (component_->getState(&stream) != kResultOk) return {};
  return stream.Bytes();
}

tresult Vst3Instance::SetState(std::vector<std::uint8_t> bytes) {
  MemoryStream stream(std::move(bytes));
  return component_->setState(&stream);
}

std::string Narrow(const char16* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

void Widen(const std::string& text, String128 out) {
  std::size_t i = 0;
  for (; i < text.size() && i < 127; ++i) out[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
  out[i] = 0;
}

}  // namespace tarvel::vst3
