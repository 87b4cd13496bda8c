#pragma once
// The CLAP side of a plug-in instance: the clap_plugin a host holds, its
// extensions (audio-ports, params, latency, tail, state, gui) and the
// translation of their calls into the adapter core's operations.
//
// Threads, as CLAP names them: process() on the audio thread, everything
// else on the main thread; both take the instance lock for the duration of a
// call, so processing never overlaps a parameter flush, a state load or an
// activation. process() allocates nothing, throws nothing and never waits for
// the editor (its ticks run outside the lock). Activation (re)allocates for
// the rate and the largest call, on the main thread, and starts afresh: no
// audio from before it, the settings made while inactive heard from its first
// frame.
//
// Parameter events are taken at their frame: the call is split there, and the
// effect moves to the new value at its next engine block with its crossfade,
// as it does for a VST 2.4 host's change between two calls.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "clap/ClapAbi.h"
#include "plugin/AdapterCore.h"

namespace tarvel::clap {

class IPlugCLAP final : public AdapterCore {
 public:
  // The largest call one activation is sized for; a host's larger maximum
  // is served in pieces of this size.
  static constexpr std::uint32_t kMaxBlock = 1u << 16;

  // A new instance for host (null when no effect can be built); its
  // clap_plugin is what the factory hands out. Main thread, entry lock.
  static std::unique_ptr<IPlugCLAP> Create(const clap_host_t* host);
  static IPlugCLAP* From(const clap_plugin_t* plugin);
  const clap_plugin_t* ClapPlugin() const { return &clapPlugin; }

  // ---- clap_plugin ----
  bool Init();
  bool Activate(double rate, std::uint32_t minFrames, std::uint32_t maxFrames);
  void Deactivate();
  void Reset();
  clap_process_status Process(const clap_process_t& process);

  // ---- params ----
  std::uint32_t ParamCount() const;
  bool ParamInfo(std::uint32_t index, clap_param_info_t& info);
  bool ParamValue(clap_id id, double& value);
  bool ValueToText(clap_id id, double value, char* out, std::uint32_t capacity);
  bool TextToValue(clap_id id, const char* text, double& value);
  void Flush(const clap_input_events_t* in, const clap_output_events_t* out);

  // ---- gui: the editor embedded in the host's window (X11 on Linux, Win32
  // on Windows), of a fixed size. On X11 the host's timer ticks it, and its
  // display connection's descriptor, where the host watches descriptors. ----
  static bool IsNativeApi(const char* api, bool floating);
  bool GuiCreate(const char* api, bool floating);
  void GuiDestroy();
  bool GuiSize(std::uint32_t& width, std::uint32_t& height);
  bool GuiSetParent(const clap_window_t& window);
  void GuiTick() { if (editorOpen) TickEditor(); }

  // ---- latency, tail, state ----
  std::uint32_t LatencyFrames();
  std::uint32_t TailFrames();
  bool SaveState(const clap_ostream_t& stream);
  bool LoadState(const clap_istream_t& stream);

  ~IPlugCLAP();

 private:
  IPlugCLAP() = default;

  // ---- IHostRequests: the editor's changes (GUI thread) wait in a queue
  // for the next process or flush call, which hands them to the host as
  // output events; the host is asked for a flush. ----
  void BeginParameterGesture(int index) override;
  void ReportParameterToHost(int index, double normalized) override;
  void EndParameterGesture(int index) override;
  struct EditorChange {
    std::uint16_t type;  // a CLAP event type
    clap_id id;
    double value;        // the parameter's real value
  };
  void QueueChange(const EditorChange& change);
  // Under the lock: the queued changes, as far as the host takes them.
  void SendEditorChanges(const clap_output_events_t* out);
  void CloseGui();

  bool HasBypass() const { return plug->BypassName() != nullptr; }
  // One host event, applied if it is a parameter value of the core space
  // (others are ignored). Under the lock.
  void ApplyEvent(const clap_event_header_t* event);
  // A call with frames, at one sample width: the events at their times
  // between stretches of audio; then the silence flags. Audio thread, under
  // the lock.
  template <typename Sample>
  void ProcessCall(const clap_process_t& process);

  clap_plugin_t clapPlugin{};
  const clap_host_t* host = nullptr;
  const clap_host_latency_t* hostLatency = nullptr;
  const clap_host_params_t* hostParams = nullptr;
  const clap_host_timer_support_t* hostTimers = nullptr;
  const clap_host_posix_fd_support_t* hostFds = nullptr;
  bool guiCreated = false;
  bool editorOpen = false;
  clap_id timerId = kClapInvalidId;
  int watchedFd = -1;
  // Single producer (the GUI thread), single consumer (under the lock).
  std::array<EditorChange, 256> changes{};
  std::atomic<std::uint32_t> changesWritten{0};
  std::atomic<std::uint32_t> changesRead{0};
  bool active = false;
  int activatedLatency = -1;      // the previous activation's latency, -1 before the first
};

}  // namespace tarvel::clap
