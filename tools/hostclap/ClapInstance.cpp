#include "tools/hostclap/ClapInstance.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tarvel::hostclap {

namespace {

ClapInstance* InstanceOf(const clap_host_t* host) { return static_cast<ClapInstance*>(host->host_data); }

struct OutStream {
  std::vector<std::uint8_t>* bytes;
  std::size_t piece;
};

struct InStream {
  const std::vector<std::uint8_t>* bytes;
  std::size_t piece;
  std::size_t failAt;
  std::size_t position = 0;
};

}  // namespace

EventList::EventList() {
  list.ctx = this;
  list.size = [](const clap_input_events_t* l) {
    return static_cast<std::uint32_t>(static_cast<const EventList*>(l->ctx)->events.size());
  };
  list.get = [](const clap_input_events_t* l, std::uint32_t index) -> const clap_event_header_t* {
    const auto& events = static_cast<const EventList*>(l->ctx)->events;
    return index < events.size() ? &events[index].header : nullptr;
  };
}

void EventList::Add(clap_id id, std::uint32_t time, double value, std::uint16_t space) {
  clap_event_param_value_t event{};
  event.header = {sizeof event, time, space, kClapEventParamValue, 0};
  event.param_id = id;
  event.note_id = event.port_index = event.channel = event.key = -1;
  event.value = value;
  events.push_back(event);
}

std::unique_ptr<ClapInstance> ClapInstance::Create(std::shared_ptr<const ClapModule> module, std::string& error,
                                                   Options options) {
  std::unique_ptr<ClapInstance> instance(new ClapInstance());
  instance->module = module;
  instance->options = options;
  instance->host = {kClapVersion, instance.get(), "Tarvel CLAP test host", "Corvane", "", "1.0.0",
                    &HostExtension, [](const clap_host_t*) {}, [](const clap_host_t*) {},
                    [](const clap_host_t*) {}};
  if (options.bare) instance->host.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
  instance->latency.changed = [](const clap_host_t* h) { ++InstanceOf(h)->latencyChanges; };
  instance->params.rescan = [](const clap_host_t*, std::uint32_t) {};
  instance->params.clear = [](const clap_host_t*, clap_id, std::uint32_t) {};
  instance->params.request_flush = [](const clap_host_t* h) { ++InstanceOf(h)->flushRequests; };
  instance->timerSupport.register_timer = [](const clap_host_t* h, std::uint32_t period, clap_id* id) {
    ClapInstance* self = InstanceOf(h);
    if (!id) return false;
    *id = self->nextTimer++;
    self->timers.emplace_back(*id, period);
    return true;
  };
  instance->timerSupport.unregister_timer = [](const clap_host_t* h, clap_id id) {
    auto& timers = InstanceOf(h)->timers;
    const auto found = std::find_if(timers.begin(), timers.end(), [id](const auto& t) { return t.first == id; });
    if (found == timers.end()) return false;
    timers.erase(found);
    return true;
  };
  instance->fdSupport.register_fd = [](const clap_host_t* h, int fd, std::uint32_t) {
    InstanceOf(h)->descriptors.push_back(fd);
    return true;
  };
  instance->fdSupport.modify_fd = [](const clap_host_t*, int, std::uint32_t) { return true; };
  instance->fdSupport.unregister_fd = [](const clap_host_t* h, int fd) {
    auto& fds = InstanceOf(h)->descriptors;
    const auto found = std::find(fds.begin(), fds.end(), fd);
    if (found == fds.end()) return false;
    fds.erase(found);
    return true;
  };
  const clap_plugin_descriptor_t* descriptor = module->Factory().get_plugin_descriptor(&module->Factory(), 0);
  if (!descriptor) {
    error = "no descriptor";
    return nullptr;
  }
  instance->plugin = module->Factory().create_plugin(&module->Factory(), &instance->host, descriptor->id);
  if (!instance->plugin) {
    error = "create_plugin gave no plug-in";
    return nullptr;
  }
  if (!instance->plugin->init(instance->plugin)) {
    error = "the plug-in's init failed";
    return nullptr;  // the destructor destroys it
  }
  return instance;
}

ClapInstance::~ClapInstance() {
  if (!plugin) return;
  Deactivate();
  plugin->destroy(plugin);
}

const void* ClapInstance::HostExtension(const clap_host_t* host, const char* id) {
  ClapInstance* self = InstanceOf(host);
  if (std::strcmp(id, kClapExtLatency) == 0) return &self->latency;
  if (std::strcmp(id, kClapExtParams) == 0) return &self->params;
  if (std::strcmp(id, kClapExtTimerSupport) == 0 && self->options.timers) return &self->timerSupport;
  if (std::strcmp(id, kClapExtPosixFdSupport) == 0 && self->options.timers) return &self->fdSupport;
  return nullptr;
}

bool ClapInstance::Activate(double rate, std::uint32_t maxFrames) {
  if (active || !plugin->activate(plugin, rate, 1, maxFrames)) return false;
  active = plugin->start_processing(plugin);
  if (!active) plugin->deactivate(plugin);
  return active;
}

void ClapInstance::Deactivate() {
  if (!active) return;
  plugin->stop_processing(plugin);
  plugin->deactivate(plugin);
  active = false;
}

template <typename Sample>
clap_process_status ClapInstance::Process(Sample* const* inputs, Sample* const* outputs, std::uint32_t frames,
                                          const EventList* events, std::uint64_t* constantMask) {
  clap_audio_buffer_t in{};
  clap_audio_buffer_t out{};
  in.channel_count = out.channel_count = 2;
  if constexpr (std::is_same_v<Sample, float>) {
    in.data32 = const_cast<float**>(inputs);
    out.data32 = const_cast<float**>(outputs);
  } else {
    in.data64 = const_cast<double**>(inputs);
    out.data64 = const_cast<double**>(outputs);
  }
  out.constant_mask = ~std::uint64_t{0};
  EventList none;
  static const clap_output_events_t kNoOutput = {nullptr, [](const clap_output_events_t*, const clap_event_header_t*) {
                                                   return true;
                                                 }};
  clap_process_t process{};
  process.steady_time = steadyTime;
  process.frames_count = frames;
  process.audio_inputs = inputs ? &in : nullptr;
  process.audio_inputs_count = inputs ? 1 : 0;
  process.audio_outputs = outputs ? &out : nullptr;
  process.audio_outputs_count = outputs ? 1 : 0;
  process.in_events = events ? events->List() : none.List();
  process.out_events = &kNoOutput;
  const clap_process_status status = plugin->process(plugin, &process);
  steadyTime += frames;
  if (constantMask) *constantMask = out.constant_mask;
  return status;
}

template clap_process_status ClapInstance::Process<float>(float* const*, float* const*, std::uint32_t,
                                                          const EventList*, std::uint64_t*);
template clap_process_status ClapInstance::Process<double>(double* const*, double* const*, std::uint32_t,
                                                           const EventList*, std::uint64_t*);

bool ClapInstance::SaveState(std::vector<std::uint8_t>& bytes, std::size_t piece) {
  const auto* state = Get<clap_plugin_state_t>(kClapExtState);
  if (!state) return false;
  bytes.clear();
  OutStream sink{&bytes, piece};
  clap_ostream_t stream{&sink, [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
                          auto* out = static_cast<OutStream*>(s->ctx);
                          const std::size_t n = std::min<std::uint64_t>(size, out->piece);
                          const auto* from = static_cast<const std::uint8_t*>(buffer);
                          out->bytes->insert(out->bytes->end(), from, from + n);
                          return static_cast<std::int64_t>(n);
                        }};
  return state->save(plugin, &stream);
}

bool ClapInstance::LoadState(const std::vector<std::uint8_t>& bytes, std::size_t piece, std::size_t failAt) {
  const auto* state = Get<clap_plugin_state_t>(kClapExtState);
  if (!state) return false;
  InStream source{&bytes, piece, failAt};
  clap_istream_t stream{&source, [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
                          auto* in = static_cast<InStream*>(s->ctx);
                          if (in->position >= in->failAt) return -1;
                          const std::size_t n =
                              std::min<std::uint64_t>({size, in->piece, in->bytes->size() - in->position});
                          if (n > 0) std::memcpy(buffer, in->bytes->data() + in->position, n);  // data() of an empty vector may be null
                          in->position += n;
                          return static_cast<std::int64_t>(n);
                        }};
  return state->load(plugin, &stream);
}

void ClapInstance::FireTimers() {
  const auto* support = Get<clap_plugin_timer_support_t>(kClapExtTimerSupport);
  const auto fired = timers;  // a timer may unregister itself
  for (const auto& timer : fired)
    if (support) support->on_timer(plugin, timer.first);
}

void ClapInstance::FireDescriptors() {
  const auto* support = Get<clap_plugin_posix_fd_support_t>(kClapExtPosixFdSupport);
  const auto fired = descriptors;
  for (const int fd : fired)
    if (support) support->on_fd(plugin, fd, kClapPosixFdRead);
}

double ClapInstance::Value(clap_id id) const {
  double value = -1e300;
  Params().get_value(plugin, id, &value);
  return value;
}

std::string ClapInstance::Text(clap_id id, double value) const {
  char text[64] = {};
  return Params().value_to_text(plugin, id, value, text, sizeof text) ? text : "";
}

}  // namespace tarvel::hostclap
