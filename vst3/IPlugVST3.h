#pragma once
// The VST3 side of a plug-in instance: one object that is the component, the
// audio processor and the edit controller at once (Ardour 7.3, the host this
// module is proven in, takes such a single component; the processor and the
// controller then share one set of parameters and the state bytes, which for
// this effect are the same anyway: the VST 2.4 program chunk).
//
// Threads: process() runs on the host's audio thread; everything else on its
// main thread. Both take the instance lock of the effect for the duration of
// a call, as the VST 2.4 adapter does, so processing never overlaps a
// parameter change, a state load or a new set-up. process() allocates nothing,
// throws nothing and never waits for the editor (its ticks run outside the
// lock). Calls in the wrong state (process before setupProcessing and
// setActive, setActive twice, a new set-up while active) answer kResultFalse.
// Each activation starts afresh, as a new instance: no audio from before it,
// and the settings made while inactive hold from its first frame.
//
// Parameters: ids 0 to 4 are the effect's parameters; the bypass (BypassPath:
// the input delayed by the latency, switched over the effect's crossfade
// length) has an id far from them, which no further band will take: hosts
// keep ids in their sessions.

#include <atomic>
#include <memory>
#include <vector>

#include "plugin/AdapterCore.h"
#include "plugin/IPlugBase.h"
#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

class IPlugVST3 final : public IComponent, public IAudioProcessor, public IEditController, public AdapterCore {
 public:
  static constexpr ParamID kBypassId = 0x42797020;  // "Byp "

  // A new instance with one reference, or null when no effect can be built.
  static IPlugVST3* Create();

  // ---- FUnknown ----
  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override;
  uint32 release() override;

  // ---- IPluginBase (for the component and the controller alike) ----
  tresult initialize(FUnknown* context) override;
  tresult terminate() override;

  // ---- IComponent ----
  tresult getControllerClassId(TUID classId) override;
  tresult setIoMode(int32 mode) override;
  int32 getBusCount(int32 type, int32 dir) override;
  tresult getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) override;
  tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
  tresult activateBus(int32 type, int32 dir, int32 index, TBool state) override;
  tresult setActive(TBool state) override;
  // The VST 2.4 program chunk's bytes, for the component and the controller.
  tresult setState(IBStream* state) override;
  tresult getState(IBStream* state) override;

  // ---- IAudioProcessor ----
  tresult setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                             int32 numOuts) override;
  tresult getBusArrangement(int32 dir, int32 index, SpeakerArrangement& arr) override;
  tresult canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 getLatencySamples() override;
  tresult setupProcessing(ProcessSetup& setup) override;
  tresult setProcessing(TBool state) override;
  tresult process(ProcessData& data) override;
  uint32 getTailSamples() override;

  // ---- IEditController ----
  tresult setComponentState(IBStream* state) override;
  int32 getParameterCount() override;
  tresult getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
  tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
  tresult getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override;
  ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
  ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue getParamNormalized(ParamID id) override;
  tresult setParamNormalized(ParamID id, ParamValue value) override;
  tresult setComponentHandler(IComponentHandler* handler) override;
  IPlugView* createView(FIDString name) override;

  // For the view: its end (one view at a time, as there is one editor
  // window). Main thread.
  void ViewDestroyed() { hasView = false; }

 private:
  IPlugVST3() = default;
  ~IPlugVST3();

  // ---- IHostRequests: the editor's changes, to the host's component
  // handler (GUI thread, with or without the lock); a VST3 host takes no
  // other request from a plug-in, so the rest answer as a host without them.
  void BeginParameterGesture(int index) override;
  void ReportParameterToHost(int index, double normalized) override;
  void EndParameterGesture(int index) override;

  // A process call's frames through the main buses. Audio thread, under the
  // lock.
  template <typename Sample>
  void ProcessBuses(ProcessData& data, int frames);
  // The last point of every queue of the call, applied. Audio thread.
  void ApplyParameterChanges(IParameterChanges* changes);
  // A parameter's value from the host, by id. Under the lock.
  void SetNormalized(ParamID id, double value);
  // Whether the effect offers a bypass, and whether id is its parameter.
  bool HasBypass() const { return Plug().BypassName() != nullptr; }
  bool IsBypass(ParamID id) const { return id == kBypassId && HasBypass(); }
  int InputChannels() const { return monoInput ? 1 : 2; }

  std::atomic<uint32> references{1};
  IComponentHandler* handler = nullptr;  // referenced; main thread only
  std::vector<double> defaults;          // each parameter's normalised default

  bool initialized = false;
  bool setUp = false;
  bool active = false;
  bool monoInput = false;
  bool hasView = false;
  ProcessSetup setup{kRealtime, kSample32, 0, 44100.0};
  int reportedLatency = 0;

};

}  // namespace tarvel::vst3
