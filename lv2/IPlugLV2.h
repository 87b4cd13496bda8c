#pragma once
// The LV2 side of a plug-in instance: the ports the host connects, the
// instance's run, activation and clean-up, and the requests of IPlugBase
// answered for a host that offers none of them (no time info, no MIDI out).
// It translates host calls into operations of IPlugBase and adds nothing of
// its own to the audio path.
//
// Ports, in index order: the audio inputs, the audio outputs, one control
// input per parameter (its real value, e.g. decibels), and one control
// output that carries the latency in frames. The Turtle of the module's
// bundle describes the same order.
//
// Threads (the LV2 threading classes): ConnectPort and Run come from the
// host's audio thread, construction, Activate, Deactivate and destruction
// from its instantiation thread, never overlapping Run. Run holds the
// instance lock only for its own duration; the UI (lv2/Lv2Ui.cpp) never
// takes it.

#include <cstdint>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "plugin/IPlugBase.h"

namespace tarvel {

// What the host hands to an instance at instantiate.
struct Lv2Host {
  double sampleRate = 0.0;
  const LV2_Feature* const* features = nullptr;
};

class IPlugLV2 : public IPlugBase {
 public:
  // The largest piece that one ProcessBlock call handles; longer runs are
  // processed in pieces of this size.
  static constexpr int kBlockSize = 2048;

  // Builds the base, takes the host's rate, marks every channel connected and
  // sizes the channels. Instantiation thread, inside the entry lock.
  IPlugLV2(const Lv2Host& host, int parameterCount, const char* channelIOText, int presetCount,
           const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
           int uniqueId, int vendorId, int latency, bool usesMidi, bool usesChunks, bool isInstrument);

  std::uint32_t PortCount() const;
  // The parameter whose control input port is, or -1 for any other port.
  int ParameterForPort(std::uint32_t port) const;
  // Records where port's data lives (null disconnects it); an index beyond
  // the ports is ignored. Audio thread; never allocates.
  void ConnectPort(std::uint32_t port, void* data);
  // LV2 activate / deactivate: as a VST 2.4 host's resume and suspend.
  void Activate();
  void Deactivate();
  // Takes every control input that differs from its parameter's value
  // (clamped to the parameter's range; NaN keeps the value), sets the latency
  // output, then processes frames from the inputs to the outputs (which may
  // be the same buffers). The values of the first run after construction or
  // Activate are the starting state and apply at once; later changes get
  // the effect's transition, as VST 2.4 parameter changes do. Unconnected inputs read silence, unconnected outputs
  // are not written. Audio thread; never allocates, blocks or throws.
  void Run(std::uint32_t frames);

  // The UI's way back to the host for parameter changes made in the editor:
  // set while a UI of this instance is open (null write: none), on the UI
  // thread. HasUi tells whether one is.
  void SetUiWriter(LV2UI_Write_Function write, LV2UI_Controller controller);
  bool HasUi() const { return uiWrite != nullptr; }

  // ---- IPlugBase operations, in table order ----

  // A parameter set in the editor goes to the host through the UI's write
  // function as the port's real value; gestures and display updates have no
  // LV2 counterpart. GUI thread.
  void BeginParameterGesture(int index) override;
  void ReportParameterToHost(int index, double normalized) override;
  void EndParameterGesture(int index) override;
  void RequestHostDisplayUpdate() override;
  // No time information reaches the instance: 0 for each.
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int& numerator, int& denominator) override;
  // The editor has a fixed size that the UI reports at its creation.
  void EditorResized(int width, int height) override;
  void HostSpecificSetup() override;
  // No MIDI ports: nothing is sent.
  bool SendMidi(const MidiMessage& message) override;
  bool SendMidiList(const ValueList<MidiMessage>& messages) override;

 private:
  std::uint32_t FirstControlPort() const;
  std::uint32_t LatencyPort() const;

  std::vector<float*> audioInputs;
  std::vector<float*> audioOutputs;
  std::vector<const float*> controlInputs;
  float* latencyOutput = nullptr;
  bool started = false;  // a run since construction or the latest Activate
  LV2UI_Write_Function uiWrite = nullptr;
  LV2UI_Controller uiController = nullptr;
};

}  // namespace tarvel
