#pragma once
// The host-independent core of every plug-in instance: parameters, presets,
// the channel configuration and the buffers through which audio reaches the
// effect, sample rate, block size and latency, the attached editor, and the
// instance lock. The effect derives from it and names no format; each format
// adapter owns one instance, drives it through the operations below and
// answers its requests to the host (IHostRequests).
//
// Threads: the host's GUI thread carries the dispatcher and the editor; the
// host's audio thread carries the process calls and may carry dispatcher and
// parameter calls. The one recursive instance lock serialises all of them, so
// processing never overlaps a parameter change, a state load or a rate change.
//
// Processing: a process call binds the host's buffers (Connect*), then runs
// Process*; the channels and their binding are a ChannelBinding
// (plugin/ChannelBinding.h), which calls ProcessBlock in pieces of at most
// blockSize frames. Nothing on that path allocates.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plugin/ChannelBinding.h"
#include "plugin/GrowBuffer.h"
#include "plugin/IEditor.h"
#include "plugin/IHostRequests.h"
#include "plugin/Parameter.h"
#include "plugin/RecursiveLock.h"
#include "plugin/StateChunk.h"

namespace tarvel {

struct ChannelPair {
  int inputs;
  int outputs;
};

struct MidiMessage {
  int offset = 0;  // sample offset within the current block
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

// Writes nothing; the arguments are still evaluated at every trace point.
void Trace(const char* tag, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));

class IPlugBase : public BlockProcessor {
 public:
  static constexpr int kNameSize = 128;  // effect, product and vendor names, with terminator
  static constexpr std::int32_t kChunkMagic = 0x70666674;
  static constexpr std::int32_t kChunkVersion = 0x00010000;
  // The rate an instance has until its host sets one.
  static constexpr double kInitialSampleRate = 44100.0;

  // host: where the requests to the host go (the adapter that owns the
  // instance, which outlives it); null sends none.
  IPlugBase(IHostRequests* host, int parameterCount, const char* channelIOText, int presetCount, const char* effectName,
            const char* productName, const char* vendorName, int vendorVersion, int uniqueId, int vendorId,
            int latency, bool usesMidi, bool usesChunks, bool isInstrument);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Virtual operations, in table order ----

  // Deletes the editor first, then parameters, presets and channel records.
  // Called on the GUI thread by the adapter that owns the instance, outside
  // the lock.
  virtual ~IPlugBase();

  // Clears processing state after a rate, block size or activation change.
  // Dispatcher thread, under the instance lock; may allocate. Base: locks only.
  virtual void ResetProcessing();

  // A parameter's value has changed (host, editor, state load, effOpen). Any
  // thread, under the instance lock; must not allocate (may run on the audio
  // thread). Base: locks only.
  virtual void ParameterChanged(int index);

  // Processes frames (<= blockSize) samples from inputs to outputs. Audio
  // thread, under the instance lock; never allocates, blocks or throws. An
  // array with no channels is null. Base: passes inputs through.
  void ProcessBlock(double** inputs, double** outputs, int frames) override;

  // The editor window was opened / is about to close. GUI thread; under the
  // lock only where the format's dispatcher holds it (VST 2.4): an effect
  // that shares state with the audio path here takes the lock itself.
  // Base: nothing.
  virtual void EditorOpened();
  virtual void EditorClosed();

  // effMainsChanged. Dispatcher thread, under the lock. Base: locks only.
  virtual void ActivationChanged(bool active);

  // A MIDI message from the host, in a process-events call. Any thread, under
  // the lock; must not allocate. Base: sends it back (MIDI thru).
  virtual void MidiReceived(const MidiMessage& message);

  // Name of a MIDI key, into out (outSize bytes). Dispatcher thread, under the
  // lock. Base: writes "" and answers false.
  virtual bool MidiKeyNameFor(int key, char* out, std::size_t outSize);

  // Program state. Dispatcher thread, under the lock; may allocate. Base: the
  // parameter values.
  virtual bool SaveState(StateChunk& chunk);
  virtual int LoadState(const StateChunk& chunk, int start);

  // Takes ownership of the editor (null is ignored): shows every parameter's
  // normalised value in it, lets it create its bitmaps and reports its size
  // to the host. Constructor or GUI thread; takes the lock; allocates.
  void AttachEditor(std::unique_ptr<IEditor> newEditor);

  // Sizes every channel's scratch buffer to frames doubles, zero-filled; the
  // same size leaves them untouched. Dispatcher thread, under the lock,
  // outside processing; allocates. Returns false (nothing changed) for a size
  // below 1 or that cannot be allocated.
  virtual bool SetBlockSize(int frames);

  // Parameter and bank state. Dispatcher thread, under the lock (the two
  // parameter operations take it themselves); may allocate. Loads either
  // succeed completely or change nothing and answer -1.
  virtual bool SerializeParams(StateChunk& chunk);
  virtual int UnserializeParams(const StateChunk& chunk, int start);
  virtual bool SaveBank(StateChunk& chunk);
  virtual int LoadBank(const StateChunk& chunk, int start);

  // Processing starts afresh: the audio of earlier calls is forgotten (the
  // output restarts as after allocation) and the current parameter values
  // take effect at once, without the transition a change during processing
  // gets. For adapters whose host starts an activation with no history and
  // hands the values at its first process call (LV2). Audio thread, under the
  // lock; must not allocate. Base: nothing.
  virtual void StartAfresh();

  // ---- Requests to the host (IHostRequests), through the owning adapter ----
  // The editor's gestures (GUI thread, no lock held) and reports (under the
  // lock), the display update from any thread, the time queries and MIDI from
  // the audio thread under the lock. None allocates.
  void BeginParameterGesture(int index);
  void ReportParameterToHost(int index, double normalized);
  void EndParameterGesture(int index);
  void RequestHostDisplayUpdate();
  int HostSamplePosition();
  double HostTempo();
  void HostTimeSignature(int& numerator, int& denominator);
  int HostId();
  // The editor's size was set (its graphics object calls this). GUI thread.
  void EditorResized(int width, int height);
  // Each message offered to the host in turn; true when it took every one.
  bool SendMidi(const MidiMessage& message);
  bool SendMidiList(const ValueList<MidiMessage>& messages);

  // What the effect's processing implies, for the adapters that report or
  // match it. Under the lock. TailSamples: frames the output still rings
  // for after the last input, latency included (base: the latency).
  // CrossfadeSamples: how long the effect's own transitions last, which a
  // bypass switch matches (base: 1, an immediate switch).
  virtual int TailSamples() const;
  virtual int CrossfadeSamples() const;
  // Whether the plug-in is designed for this sample rate; adapters whose
  // host may be refused a rate ask here (base: any positive finite rate).
  virtual bool SupportsSampleRate(double rate) const;

  // ---- Non-virtual operations ----

  // Latency in samples, also told to the host. Constructor or dispatcher
  // thread, under the lock.
  void SetLatency(int samples);

  // True if some channel configuration matches; a negative count matches any.
  bool LegalIO(int inputs, int outputs) const;
  // The editor changed a parameter: sets it, tells the host, tells the effect.
  // Editor thread; takes the lock. A NaN or an index outside the list is
  // ignored.
  void SetParameterFromGUI(int index, double normalized);
  void SetSampleRate(double rate) { sampleRate = rate; }
  // The vendor version packed, or in decimal coding ((major*100)+minor)*100+patch.
  int EffectVersion(bool decimal) const;

  // The channels: their connections (dispatcher thread) and the binding of
  // the host's buffers for one process call (audio thread, under the lock).
  ChannelBinding& Channels() { return channels; }

  // Run ProcessBlock over frames (in pieces of at most blockSize) and deliver
  // the outputs: replacing the host's float buffers, adding to them, or
  // directly into the host's double buffers. The bindings end with the call.
  // Audio thread, under the lock; never allocates.
  void ProcessToFloat(int frames);
  void ProcessAccumulateFloat(int frames);
  void ProcessDouble(int frames);

  // Every parameter's real value to the editor, if one is attached.
  void PushParametersToEditor();

  // ---- Presets and chunks ----

  // With no presets: adds one named "Default" holding the current values.
  void AddDefaultPreset();
  // Makes preset index current; a never-used preset takes the current values
  // and a user preset name. False (nothing changed) outside the list.
  bool ApplyPreset(int index);
  // Stores the current values into the current preset, and the name if given
  // and not empty (cut to 255 bytes).
  void CaptureCurrentPreset(const char* name = nullptr);
  // The preset's name, or "" outside the list.
  const char* PresetName(int index) const;
  // Writes "user preset N" (N = 1 + presets already so named) into out.
  void MakeUserPresetName(char* out, std::size_t outSize) const;

  // effGetChunk: fills chunk with the header and the bank (isBank) or program
  // state; answers the chunk size, or 0 on failure. Dispatcher thread.
  int GetChunk(StateChunk& chunk, bool isBank);
  // effSetChunk: copies size bytes from data into chunk and loads them;
  // answers 1, or 0 with nothing changed (null data, negative size, or a
  // truncated or malformed chunk). Dispatcher thread.
  int SetChunk(StateChunk& chunk, bool isBank, const void* data, int size);

  // ---- Accessors ----
  int ParameterCount() const { return parameters.Count(); }
  Parameter* GetParameter(int index) const { return parameters.Get(index); }
  int PresetCount() const { return presets.Count(); }
  Preset* GetPreset(int index) const { return presets.Get(index); }
  int CurrentPreset() const { return currentPreset; }
  int InputChannelCount() const { return channels.InputCount(); }
  int OutputChannelCount() const { return channels.OutputCount(); }
  InputChannel* GetInputChannel(int index) const { return channels.Input(index); }
  OutputChannel* GetOutputChannel(int index) const { return channels.Output(index); }
  const char* EffectName() const { return effectName; }
  const char* ProductName() const { return productName; }
  const char* VendorName() const { return vendorName; }
  int UniqueId() const { return uniqueId; }
  int VendorId() const { return vendorId; }
  bool UsesMidi() const { return usesMidi; }
  bool UsesChunks() const { return usesChunks; }
  bool IsInstrument() const { return isInstrument; }
  double SampleRate() const { return sampleRate; }
  int BlockSize() const { return channels.BlockSize(); }
  int Latency() const { return latency; }
  IEditor* Editor() const { return editor.get(); }
  // The name of the bypass the plug-in's table offers, or null for none;
  // adapters whose format has a bypass implement and map it.
  const char* BypassName() const { return bypassName; }
  RecursiveLock& InstanceLock() { return instanceLock; }

 protected:
  // The table's bypass entry (a text that outlives the instance). Constructor.
  void OfferBypass(const char* name) { bypassName = name; }

  IHostRequests* hostRequests;
  const char* bypassName = nullptr;
  PtrList<ChannelPair> channelPairs;
  PtrList<Parameter> parameters;
  PtrList<Preset> presets;
  int currentPreset = 0;
  RecursiveLock instanceLock;
  char effectName[kNameSize] = {};
  char productName[kNameSize] = {};
  char vendorName[kNameSize] = {};
  int uniqueId;
  int vendorId;
  int vendorVersion;
  bool usesMidi;
  bool usesChunks;
  bool isInstrument;
  double sampleRate = kInitialSampleRate;
  int latency;
  std::unique_ptr<IEditor> editor;
  ChannelBinding channels;

 private:
  int BankEnd(const StateChunk& chunk, int start) const;
};

// How an adapter builds the plug-in it owns: the factory gets the adapter as
// the host the plug-in reports to and answers the plug-in, or null.
using PlugFactory = std::function<std::unique_ptr<IPlugBase>(IHostRequests&)>;

}  // namespace tarvel
