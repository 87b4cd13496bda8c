#pragma once
// The LV2 side of a plug-in instance: the ports the host connects, the
// instance's run, activation and clean-up, and the one request of the
// plug-in that LV2 has a counterpart for (a parameter set in the editor goes
// to its control port through the UI). It owns the plug-in (an IPlugBase,
// built by the factory it is given), translates host calls into its
// operations and adds nothing of its own to the audio path.
//
// Ports, in index order: the audio inputs, the audio outputs, one control
// input per parameter (its real value, e.g. decibels), one control output
// that carries the latency in frames and, where the plug-in offers a bypass,
// the lv2:enabled control input (0 bypasses: the core's bypass path); one
// layout (lv2/Lv2Ports.h) for this adapter and the bundle's Turtle.
//
// Threads (the LV2 threading classes): ConnectPort and Run come from the
// host's audio thread, construction, Activate, Deactivate and destruction
// from its instantiation thread, never overlapping Run. Run holds the
// instance lock only for its own duration; the UI (lv2/Lv2Ui.cpp) never
// takes it.

#include <cstdint>
#include <memory>
#include <vector>

#include <lv2/ui/ui.h>

#include "lv2/Lv2Ports.h"
#include "plugin/AdapterCore.h"
#include "plugin/IPlugBase.h"

namespace tarvel {

class IPlugLV2 final : public AdapterCore {
 public:
  // The largest piece that one ProcessBlock call handles; longer runs are
  // processed in pieces of this size.
  static constexpr int kBlockSize = 2048;

  // Builds the plug-in (for the host's rate, which is fixed for the
  // instance's life), marks every channel connected and sizes the channels;
  // null when the factory builds none. Instantiation thread, inside the
  // entry lock.
  static std::unique_ptr<IPlugLV2> Create(const PlugFactory& make);

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
  // the effect's transition, as VST 2.4 parameter changes do. Unconnected
  // inputs read silence, unconnected outputs are not written. Audio thread;
  // never allocates, blocks or throws.
  void Run(std::uint32_t frames);

  // The UI's way back to the host for parameter changes made in the editor:
  // set while a UI of this instance is open (null write: none), on the UI
  // thread. HasUi tells whether one is.
  void SetUiWriter(LV2UI_Write_Function write, LV2UI_Controller controller);
  bool HasUi() const { return uiWrite != nullptr; }

  // ---- IHostRequests ----

  // A parameter set in the editor goes to the host through the UI's write
  // function as the port's real value. GUI thread.
  void ReportParameterToHost(int index, double normalized) override;

 private:
  IPlugLV2() = default;

  Lv2PortLayout ports{};
  std::vector<float*> audioInputs;
  std::vector<float*> audioOutputs;
  std::vector<const float*> controlInputs;
  float* latencyOutput = nullptr;
  const float* enabledInput = nullptr;
  bool started = false;  // a run since construction or the latest Activate
  LV2UI_Write_Function uiWrite = nullptr;
  LV2UI_Controller uiController = nullptr;
};

}  // namespace tarvel
