#pragma once
// One plug-in instance of a ClapModule, driven the way a CLAP host drives
// it: a host that answers the latency, params and state extensions and
// counts what the plug-in asks of it (or, like a scanner, answers none),
// event lists, process calls of 32 or 64-bit buffers and streams that move
// state in pieces of a chosen size.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/hostclap/ClapModule.h"

namespace tarvel::hostclap {

// Parameter values and any other events, in time order, as an input list.
class EventList {
 public:
  EventList();
  void Add(clap_id id, std::uint32_t time, double value, std::uint16_t space = kClapCoreEventSpaceId);
  void Clear() { events.clear(); }
  const clap_input_events_t* List() const { return &list; }

 private:
  std::vector<clap_event_param_value_t> events;
  clap_input_events_t list{};
};

class ClapInstance {
 public:
  struct Options {
    bool bare = false;  // a host that answers no extension, as scanners are
    bool timers = true;  // offers timer-support and posix-fd-support
  };

  // Null with error set when the factory builds none or init refuses.
  static std::unique_ptr<ClapInstance> Create(std::shared_ptr<const ClapModule> module, std::string& error,
                                              Options options);
  static std::unique_ptr<ClapInstance> Create(std::shared_ptr<const ClapModule> module, std::string& error) {
    return Create(std::move(module), error, Options{});
  }
  ~ClapInstance();
  ClapInstance(const ClapInstance&) = delete;
  ClapInstance& operator=(const ClapInstance&) = delete;

  const clap_plugin_t& Plugin() const { return *plugin; }
  template <typename Extension>
  const Extension* Get(const char* id) const {
    return static_cast<const Extension*>(plugin->get_extension(plugin, id));
  }
  const clap_plugin_params_t& Params() const { return *Get<clap_plugin_params_t>(kClapExtParams); }

  // activate and start_processing; deactivate (stop first).
  bool Activate(double rate, std::uint32_t maxFrames);
  void Deactivate();

  // One process call over the stereo pair (null arrays: no port buffers).
  template <typename Sample>
  clap_process_status Process(Sample* const* inputs, Sample* const* outputs, std::uint32_t frames,
                              const EventList* events = nullptr, std::uint64_t* constantMask = nullptr);

  // The state through the extension, in pieces of at most `piece` bytes per
  // stream call; Load fails the stream's read with -1 once failAt bytes are
  // read (never with the default).
  bool SaveState(std::vector<std::uint8_t>& bytes, std::size_t piece = 1 << 20);
  bool LoadState(const std::vector<std::uint8_t>& bytes, std::size_t piece = 1 << 20,
                 std::size_t failAt = SIZE_MAX);

  // A parameter's value, and the value's text (empty when refused).
  double Value(clap_id id) const;
  std::string Text(clap_id id, double value) const;

  // The plug-in's timers and descriptors fired, as a host's run loop does.
  void FireTimers();
  void FireDescriptors();

  // What the plug-in asked of the host.
  int latencyChanges = 0;
  int flushRequests = 0;
  std::vector<std::pair<clap_id, std::uint32_t>> timers;  // id, period in ms
  std::vector<int> descriptors;

 private:
  ClapInstance() = default;
  static const void* HostExtension(const clap_host_t* host, const char* id);

  std::shared_ptr<const ClapModule> module;
  Options options;
  clap_host_t host{};
  clap_host_latency_t latency{};
  clap_host_params_t params{};
  clap_host_timer_support_t timerSupport{};
  clap_host_posix_fd_support_t fdSupport{};
  clap_id nextTimer = 1;
  const clap_plugin_t* plugin = nullptr;
  bool active = false;
  std::int64_t steadyTime = 0;
};

}  // namespace tarvel::hostclap
