#pragma once
// One VST3 instance driven the way a host drives it: created from a module's
// factory, initialised, set up, activated and processed, with the host's side
// of the objects a plug-in calls (a memory stream, parameter queues, a
// component handler that records what it hears), torn down when the wrapper
// goes. A single component is used as its own controller; otherwise the
// controller class is created and initialised as well.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host3/Vst3Module.h"
#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

// A stream over a byte vector (the host's side of state calls). Lives on the
// caller's stack; its reference count is not used.
class MemoryStream final : public IBStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  tresult read(void* buffer, int32 numBytes, int32* numBytesRead) override;
  tresult write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
  tresult seek(int64 pos, int32 mode, int64* result) override;
  tresult tell(int64* pos) override;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// One parameter's points for one process call.
class ParamQueue final : public IParamValueQueue {
 public:
  explicit ParamQueue(ParamID id) : id_(id) {}
  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  ParamID getParameterId() override { return id_; }
  int32 getPointCount() override { return static_cast<int32>(points_.size()); }
  tresult getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
  tresult addPoint(int32 sampleOffset, ParamValue value, int32& index) override;

 private:
  struct Point {
    int32 offset;
    ParamValue value;
  };
  ParamID id_;
  std::vector<Point> points_;
};

// The changes handed to one process call.
class ParamChanges final : public IParameterChanges {
 public:
  // Adds a point to the parameter's queue (creating it).
  void Add(ParamID id, int32 offset, ParamValue value);
  void Clear() { queues_.clear(); }
  bool Empty() const { return queues_.empty(); }

  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  int32 getParameterCount() override { return static_cast<int32>(queues_.size()); }
  IParamValueQueue* getParameterData(int32 index) override;
  IParamValueQueue* addParameterData(const ParamID& id, int32& index) override;

 private:
  std::vector<std::unique_ptr<ParamQueue>> queues_;
};

// What the plug-in told its host through the component handler.
class RecordingHandler final : public IComponentHandler {
 public:
  struct Edit {
    char kind;  // 'b'egin, 'p'erform, 'e'nd
    ParamID id;
    ParamValue value;
  };
  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  tresult beginEdit(ParamID id) override;
  tresult performEdit(ParamID id, ParamValue valueNormalized) override;
  tresult endEdit(ParamID id) override;
  tresult restartComponent(int32 flags) override;

  std::vector<Edit> edits;
  std::vector<int32> restarts;
};

class Vst3Instance {
 public:
  // The module's first class of category "Audio Module Class", created and
  // initialised, with the handler set. On failure null, with error set.
  static std::unique_ptr<Vst3Instance> Create(std::shared_ptr<const Vst3Module> module, std::string& error);
  ~Vst3Instance();
  Vst3Instance(const Vst3Instance&) = delete;
  Vst3Instance& operator=(const Vst3Instance&) = delete;

  IComponent& Component() { return *component_; }
  IAudioProcessor& Processor() { return *processor_; }
  IEditController& Controller() { return *controller_; }
  RecordingHandler& Handler() { return handler_; }

  // setupProcessing, setActive(true), setProcessing(true); false if any refused.
  bool Start(double rate, int32 maxBlock, int32 sampleSize);
  // setProcessing(false), setActive(false).
  void Stop();
  int32 MaxBlock() const { return setup_.maxSamplesPerBlock; }

  // One process call on two channels of each (null entries give the plug-in
  // no buffer), with the given changes (may be null). Answers the call's
  // result; silence flags of the output in *silence when given.
  tresult Process(float* const* inputs, float* const* outputs, int32 frames, IParameterChanges* changes,
                  uint64* silence = nullptr);
  tresult Process(double* const* inputs, double* const* outputs, int32 frames, IParameterChanges* changes,
                  uint64* silence = nullptr);

  // getState / setState of the component.
  std::vector<std::uint8_t> State();
  tresult SetState(std::vector<std::uint8_t> bytes);

 private:
  Vst3Instance() = default;
  template <typename Sample>
  tresult ProcessAny(Sample* const* inputs, Sample* const* outputs, int32 frames, IParameterChanges* changes,
                     uint64* silence);

  std::shared_ptr<const Vst3Module> module_;
  IComponent* component_ = nullptr;
  IAudioProcessor* processor_ = nullptr;
  IEditController* controller_ = nullptr;
  bool separateController_ = false;
  RecordingHandler handler_;
  ProcessSetup setup_{kRealtime, kSample32, 0, 0.0};
  bool active_ = false;
};

// A UTF-16 text as ASCII (other characters become '?').
std::string Narrow(const char16* text);
// ASCII as a UTF-16 String128.
void Widen(const std::string& text, String128 out);

}  // namespace tarvel::vst3
