#pragma once
// The CLAP interface as this module and its test host use it, declared here
// from the published C ABI of CLAP 1.x (plain C structs of function
// pointers, the same layout on x86-64 Linux and Windows). The static_asserts
// pin every size and offset a host relies on, so a mistake here fails the
// build instead of a host.

#include <cstddef>
#include <cstdint>

extern "C" {

struct clap_version_t {
  std::uint32_t major;
  std::uint32_t minor;
  std::uint32_t revision;
};
inline constexpr clap_version_t kClapVersion = {1, 0, 0};
// A host or plug-in of any 1.x version speaks this ABI.
constexpr bool ClapVersionIsCompatible(const clap_version_t& v) { return v.major >= 1; }

using clap_id = std::uint32_t;
inline constexpr clap_id kClapInvalidId = 0xFFFFFFFFu;
inline constexpr std::size_t kClapNameSize = 256;
inline constexpr std::size_t kClapPathSize = 1024;

struct clap_host_t;
struct clap_plugin_t;

// ---- Entry and factory ----

struct clap_plugin_entry_t {
  clap_version_t clap_version;
  bool (*init)(const char* plugin_path);
  void (*deinit)();
  const void* (*get_factory)(const char* factory_id);
};

struct clap_plugin_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;  // null-terminated
};

struct clap_plugin_factory_t {
  std::uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory, std::uint32_t index);
  const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                        const char* plugin_id);
};

// ---- Host and plug-in ----

struct clap_host_t {
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
  void (*request_restart)(const clap_host_t* host);
  void (*request_process)(const clap_host_t* host);
  void (*request_callback)(const clap_host_t* host);
};

// ---- Events ----

inline constexpr std::uint16_t kClapCoreEventSpaceId = 0;
enum : std::uint16_t {
  kClapEventParamValue = 5,
  kClapEventParamGestureBegin = 7,
  kClapEventParamGestureEnd = 8,
};

struct clap_event_header_t {
  std::uint32_t size;  // of the whole event, header included
  std::uint32_t time;  // frame within the process call
  std::uint16_t space_id;
  std::uint16_t type;
  std::uint32_t flags;
};

struct clap_event_param_value_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  std::int32_t note_id;
  std::int16_t port_index;
  std::int16_t channel;
  std::int16_t key;
  double value;  // the parameter's own unit
};

struct clap_event_param_gesture_t {
  clap_event_header_t header;
  clap_id param_id;
};

struct clap_input_events_t {
  void* ctx;
  std::uint32_t (*size)(const clap_input_events_t* list);
  const clap_event_header_t* (*get)(const clap_input_events_t* list, std::uint32_t index);
};

struct clap_output_events_t {
  void* ctx;
  bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// ---- Processing ----

struct clap_audio_buffer_t {
  float** data32;
  double** data64;
  std::uint32_t channel_count;
  std::uint32_t latency;
  std::uint64_t constant_mask;  // bit c: channel c holds one value throughout
};

struct clap_event_transport_t;

struct clap_process_t {
  std::int64_t steady_time;
  std::uint32_t frames_count;
  const clap_event_transport_t* transport;
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  std::uint32_t audio_inputs_count;
  std::uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

using clap_process_status = std::int32_t;
enum : clap_process_status {
  kClapProcessError = 0,
  kClapProcessContinue = 1,
  kClapProcessContinueIfNotQuiet = 2,
  kClapProcessTail = 3,
  kClapProcessSleep = 4,
};

struct clap_plugin_t {
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool (*init)(const clap_plugin_t* plugin);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*activate)(const clap_plugin_t* plugin, double sample_rate, std::uint32_t min_frames_count,
                   std::uint32_t max_frames_count);
  void (*deactivate)(const clap_plugin_t* plugin);
  bool (*start_processing)(const clap_plugin_t* plugin);
  void (*stop_processing)(const clap_plugin_t* plugin);
  void (*reset)(const clap_plugin_t* plugin);
  clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);
  const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
  void (*on_main_thread)(const clap_plugin_t* plugin);
};

// ---- Extensions ----

inline constexpr const char* kClapPluginFactoryId = "clap.plugin-factory";
inline constexpr const char* kClapExtAudioPorts = "clap.audio-ports";
inline constexpr const char* kClapExtParams = "clap.params";
inline constexpr const char* kClapExtLatency = "clap.latency";
inline constexpr const char* kClapExtTail = "clap.tail";
inline constexpr const char* kClapExtState = "clap.state";
inline constexpr const char* kClapExtGui = "clap.gui";
inline constexpr const char* kClapExtTimerSupport = "clap.timer-support";
inline constexpr const char* kClapExtPosixFdSupport = "clap.posix-fd-support";
inline constexpr const char* kClapPortStereo = "stereo";
inline constexpr const char* kClapWindowApiX11 = "x11";
inline constexpr const char* kClapWindowApiWin32 = "win32";

enum : std::uint32_t {
  kClapAudioPortIsMain = 1u << 0,
  kClapAudioPortSupports64Bits = 1u << 1,
};

struct clap_audio_port_info_t {
  clap_id id;
  char name[kClapNameSize];
  std::uint32_t flags;
  std::uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
  std::uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
  bool (*get)(const clap_plugin_t* plugin, std::uint32_t index, bool is_input, clap_audio_port_info_t* info);
};

enum : std::uint32_t {
  kClapParamIsStepped = 1u << 0,
  kClapParamIsReadonly = 1u << 3,
  kClapParamIsBypass = 1u << 4,
  kClapParamIsAutomatable = 1u << 5,
};

struct clap_param_info_t {
  clap_id id;
  std::uint32_t flags;
  void* cookie;
  char name[kClapNameSize];
  char module[kClapPathSize];
  double min_value;
  double max_value;
  double default_value;
};

struct clap_plugin_params_t {
  std::uint32_t (*count)(const clap_plugin_t* plugin);
  bool (*get_info)(const clap_plugin_t* plugin, std::uint32_t param_index, clap_param_info_t* param_info);
  bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
  bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                        std::uint32_t out_buffer_capacity);
  bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                        double* out_value);
  void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};

struct clap_host_params_t {
  void (*rescan)(const clap_host_t* host, std::uint32_t flags);
  void (*clear)(const clap_host_t* host, clap_id param_id, std::uint32_t flags);
  void (*request_flush)(const clap_host_t* host);
};

struct clap_plugin_latency_t {
  std::uint32_t (*get)(const clap_plugin_t* plugin);
};
struct clap_host_latency_t {
  void (*changed)(const clap_host_t* host);
};

struct clap_plugin_tail_t {
  std::uint32_t (*get)(const clap_plugin_t* plugin);
};

struct clap_istream_t {
  void* ctx;
  // Bytes read, 0 at the end of the stream, -1 on an error.
  std::int64_t (*read)(const clap_istream_t* stream, void* buffer, std::uint64_t size);
};
struct clap_ostream_t {
  void* ctx;
  // Bytes written (possibly fewer than asked), -1 on an error.
  std::int64_t (*write)(const clap_ostream_t* stream, const void* buffer, std::uint64_t size);
};
struct clap_plugin_state_t {
  bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
  bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

struct clap_window_t {
  const char* api;
  union {
    unsigned long x11;
    void* win32;
    void* ptr;
  };
};

struct clap_gui_resize_hints_t {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  std::uint32_t aspect_ratio_width;
  std::uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t {
  bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*set_scale)(const clap_plugin_t* plugin, double scale);
  bool (*get_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*can_resize)(const clap_plugin_t* plugin);
  bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool (*adjust_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
  bool (*set_size)(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height);
  bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool (*show)(const clap_plugin_t* plugin);
  bool (*hide)(const clap_plugin_t* plugin);
};

struct clap_plugin_timer_support_t {
  void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};
struct clap_host_timer_support_t {
  bool (*register_timer)(const clap_host_t* host, std::uint32_t period_ms, clap_id* timer_id);
  bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

enum : std::uint32_t {
  kClapPosixFdRead = 1u << 0,
  kClapPosixFdWrite = 1u << 1,
  kClapPosixFdError = 1u << 2,
};
struct clap_plugin_posix_fd_support_t {
  void (*on_fd)(const clap_plugin_t* plugin, int fd, std::uint32_t flags);
};
struct clap_host_posix_fd_support_t {
  bool (*register_fd)(const clap_host_t* host, int fd, std::uint32_t flags);
  bool (*modify_fd)(const clap_host_t* host, int fd, std::uint32_t flags);
  bool (*unregister_fd)(const clap_host_t* host, int fd);
};

}  // extern "C"

// The layout of the published ABI on x86-64.
static_assert(sizeof(void*) == 8, "CLAP is declared here for 64-bit targets");
static_assert(sizeof(clap_version_t) == 12);
static_assert(sizeof(clap_plugin_entry_t) == 40 && offsetof(clap_plugin_entry_t, init) == 16 &&
              offsetof(clap_plugin_entry_t, get_factory) == 32);
static_assert(sizeof(clap_plugin_descriptor_t) == 88 && offsetof(clap_plugin_descriptor_t, id) == 16 &&
              offsetof(clap_plugin_descriptor_t, version) == 64 && offsetof(clap_plugin_descriptor_t, features) == 80);
static_assert(sizeof(clap_plugin_factory_t) == 24);
static_assert(sizeof(clap_host_t) == 88 && offsetof(clap_host_t, host_data) == 16 &&
              offsetof(clap_host_t, get_extension) == 56 && offsetof(clap_host_t, request_callback) == 80);
static_assert(sizeof(clap_plugin_t) == 96 && offsetof(clap_plugin_t, init) == 16 &&
              offsetof(clap_plugin_t, process) == 72 && offsetof(clap_plugin_t, on_main_thread) == 88);
static_assert(sizeof(clap_event_header_t) == 16 && offsetof(clap_event_header_t, space_id) == 8 &&
              offsetof(clap_event_header_t, type) == 10 && offsetof(clap_event_header_t, flags) == 12);
static_assert(sizeof(clap_event_param_value_t) == 56 && offsetof(clap_event_param_value_t, param_id) == 16 &&
              offsetof(clap_event_param_value_t, cookie) == 24 && offsetof(clap_event_param_value_t, note_id) == 32 &&
              offsetof(clap_event_param_value_t, key) == 40 && offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_gesture_t) == 20);
static_assert(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16);
static_assert(sizeof(clap_audio_buffer_t) == 32 && offsetof(clap_audio_buffer_t, channel_count) == 16 &&
              offsetof(clap_audio_buffer_t, constant_mask) == 24);
static_assert(sizeof(clap_process_t) == 64 && offsetof(clap_process_t, frames_count) == 8 &&
              offsetof(clap_process_t, audio_inputs) == 24 && offsetof(clap_process_t, audio_inputs_count) == 40 &&
              offsetof(clap_process_t, in_events) == 48 && offsetof(clap_process_t, out_events) == 56);
static_assert(sizeof(clap_audio_port_info_t) == 288 && offsetof(clap_audio_port_info_t, flags) == 260 &&
              offsetof(clap_audio_port_info_t, channel_count) == 264 &&
              offsetof(clap_audio_port_info_t, port_type) == 272 && offsetof(clap_audio_port_info_t, in_place_pair) == 280);
static_assert(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, name) == 16 &&
              offsetof(clap_param_info_t, module) == 272 && offsetof(clap_param_info_t, min_value) == 1296 &&
              offsetof(clap_param_info_t, default_value) == 1312);
static_assert(sizeof(clap_plugin_params_t) == 48 && sizeof(clap_host_params_t) == 24);
static_assert(sizeof(clap_istream_t) == 16 && sizeof(clap_ostream_t) == 16 && sizeof(clap_plugin_state_t) == 16);
static_assert(sizeof(clap_window_t) == 16 && offsetof(clap_window_t, x11) == 8);
static_assert(sizeof(clap_gui_resize_hints_t) == 12 && offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4);
static_assert(sizeof(clap_plugin_gui_t) == 120 && offsetof(clap_plugin_gui_t, set_parent) == 80 &&
              offsetof(clap_plugin_gui_t, hide) == 112);
static_assert(sizeof(clap_host_timer_support_t) == 16 && sizeof(clap_host_posix_fd_support_t) == 24);
