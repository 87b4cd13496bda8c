#pragma once
// The VST 2.4 side of a plug-in instance: the AEffect record the host holds,
// the dispatcher and the process and parameter callbacks that the record
// points at, and the requests the instance sends back through the host's
// callback. It owns the plug-in (an IPlugBase, built by the factory it is
// given), translates host calls into its operations and answers its requests
// (IHostRequests); it adds nothing of its own to the audio path.
//
// Threads: the dispatcher and the parameter callbacks may come from the
// host's GUI thread or its audio thread, the process callbacks from the audio
// thread. Every one of them holds the instance lock for its whole duration
// (effClose releases it before the instance is destroyed), so they never
// overlap each other or an editor change. Requests to the host are made with
// the lock held. A host that passed no callback gets 0 for every request.
//
// Texts are copied into host buffers whose size a call does not pass; each
// copy is cut to the size hosts customarily provide for it, terminator
// included.

#include <memory>

#include "plugin/AdapterCore.h"
#include "plugin/IPlugBase.h"
#include "plugin/StateChunk.h"
#include "vst/VstAbi.h"

namespace tarvel {

class IPlugVST final : public AdapterCore {
 public:

  // Text sizes, terminator included, of the host buffers each text goes to.
  static constexpr std::size_t kParameterTextSize = 8;  // names, labels and display texts
  static constexpr std::size_t kPresetNameSize = 24;
  static constexpr std::size_t kEffectNameSize = 32;
  static constexpr std::size_t kVendorTextSize = 64;  // vendor and product names, pin labels
  static constexpr std::size_t kHostProductSize = 256;

  // Fixed answers of the dispatcher.
  static constexpr VstIntPtr kIdentity = 0x4E764566;             // effIdentify
  static constexpr VstIntPtr kHostExtensionCanDo = 0xBEEF0000;   // effCanDo
  static constexpr VstIntPtr kHostExtensionVendor = 0xBEEF;      // effVendorSpecific
  static constexpr VstIntPtr kVstVersion = 2400;                 // effGetVstVersion

  // Builds the plug-in, then fills the AEffect record from it (flags from
  // its channel configurations, chunks, instrument and editor), marks every
  // channel connected and sizes the channels for 1024 frames; null when the
  // factory builds no plug-in. On the host's thread, inside the entry lock.
  static std::unique_ptr<IPlugVST> Create(audioMasterCallback hostCallback, const PlugFactory& make);
  // Releases the chunk buffers, then the plug-in. Called by effClose,
  // outside the lock.
  ~IPlugVST();

  // The record handed to the host; it lives exactly as long as the instance.
  AEffect* Effect() { return &effect; }
  // The host's packed version (0xMMMMmmpp), known once HostId has asked.
  int HostVersion() const { return hostVersion; }

  // ---- IHostRequests ----

  // Requests to the host, sent with the lock held by the caller (editor or
  // audio thread); never allocate.
  void BeginParameterGesture(int index) override;
  void ReportParameterToHost(int index, double normalized) override;
  void EndParameterGesture(int index) override;
  void RequestHostDisplayUpdate() override;
  // From the host's time info (audioMasterGetTime); 0 when the host gives
  // none or an invalid value. Audio thread, under the lock.
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int& numerator, int& denominator) override;
  // Asks the host for its product text and version on the first call only,
  // then answers the stored identifier. Dispatcher thread, under the lock.
  int HostId() override;
  // With an editor attached: the editor flag, and editorRect from the
  // editor's current size. GUI thread.
  void EditorResized(int width, int height) override;
  // Tells the host through initialDelay (read by hosts after effOpen and
  // effMainsChanged; no notification is sent).
  void LatencyChanged(int samples) override;
  // The message as a one-event audioMasterProcessEvents; true when the host
  // took it. Audio thread; never allocates.
  bool SendMidi(const MidiMessage& message) override;

 private:
  explicit IPlugVST(audioMasterCallback hostCallback);
  // Once per instance, at effOpen: channel set-up for the hosts that need it,
  // then the record's channel counts. Dispatcher thread, under the lock.
  void HostSpecificSetup();

  // The callbacks the AEffect record points at. Each resolves the instance
  // through InstanceOf and answers 0 (or does nothing) without one.
  static VstIntPtr TARVEL_VSTCALL VSTDispatcher(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                void* ptr, float opt);
  static void TARVEL_VSTCALL VSTProcessAccumulate(AEffect* record, float** inputs, float** outputs,
                                                  VstInt32 frames);
  static void TARVEL_VSTCALL VSTProcessReplacing(AEffect* record, float** inputs, float** outputs,
                                                 VstInt32 frames);
  static void TARVEL_VSTCALL VSTProcessDoubleReplacing(AEffect* record, double** inputs, double** outputs,
                                                       VstInt32 frames);
  static float TARVEL_VSTCALL VSTGetParameter(AEffect* record, VstInt32 index);
  static void TARVEL_VSTCALL VSTSetParameter(AEffect* record, VstInt32 index, float value);
  static IPlugVST* InstanceOf(AEffect* record);
  // The frame the three process callbacks share: under the instance lock,
  // bind the host's buffers over all channels, then run one process path.
  template <typename Sample>
  static void HostProcess(AEffect* record, Sample** inputs, Sample** outputs, VstInt32 frames,
                          void (IPlugBase::*run)(int));

  // One dispatcher call, under the lock (effClose included; the caller
  // destroys the instance afterwards).
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  // A request to the host; 0 without a host callback.
  VstIntPtr HostRequest(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                        float opt = 0.0f);
  const VstTimeInfo* HostTimeInfo(VstInt32 flags);

  void Open();
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr StringToParameter(int index, const char* text);
  VstIntPtr PinProperties(bool isInput, int index, VstPinProperties* properties) const;
  void SetSpeakerArrangement(const VstSpeakerArrangement* input, const VstSpeakerArrangement* output);
  VstIntPtr CanDo(const char* capability) const;
  VstIntPtr VendorSpecific(int index, VstIntPtr value, void* ptr, float opt) const;
  VstIntPtr GetChunkInto(bool isBank, void* ptr);
  VstIntPtr SetChunkFrom(bool isBank, VstIntPtr size, const void* data);
  VstIntPtr GetMidiKeyName(MidiKeyName* key);

  audioMasterCallback hostCallback;
  AEffect effect{};
  ERect editorRect{};
  VstSpeakerArrangement inputArrangement{};
  VstSpeakerArrangement outputArrangement{};
  bool hostSetupDone = false;
  bool usesMidi = false;
  int hostIdentifier = -1;  // -1 until asked
  int hostVersion = 0;
  StateChunk programChunk;
  StateChunk bankChunk;
};

// 64-bit FNV-1a digest of size bytes (offset basis 0xCBF29CE484222325, prime
// 0x100000001B3): how effCanDo recognises the host-extension texts.
std::uint64_t Fnv1a64(const char* bytes, std::size_t size);

}  // namespace tarvel
