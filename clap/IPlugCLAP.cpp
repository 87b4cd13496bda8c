#include "clap/IPlugCLAP.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "clap/ClapDescriptor.h"
#include "clap/ClapIds.h"
#include "effect/PluginFactory.h"
#include "plugin/CopyText.h"
#include "plugin/ExactSilence.h"
#include "plugin/StateChunk.h"

namespace tarvel::clap {

namespace {

template <typename Sample>
Sample** Channels(const clap_audio_buffer_t& buffer) {
  if constexpr (std::is_same_v<Sample, float>) {
    return buffer.data32;
  } else {
    return buffer.data64;
  }
}

// ---- The C callbacks: each finds its instance and answers as a failed
// call when the instance throws (nothing may unwind into a host). ----

IPlugCLAP* Of(const clap_plugin_t* plugin) { return IPlugCLAP::From(plugin); }

bool PluginInit(const clap_plugin_t* plugin) {
  return Guarded(false, [&] { return Of(plugin) && Of(plugin)->Init(); });
}
void PluginDestroy(const clap_plugin_t* plugin) { delete Of(plugin); }
bool PluginActivate(const clap_plugin_t* plugin, double rate, std::uint32_t minFrames, std::uint32_t maxFrames) {
  return Guarded(false, [&] { return Of(plugin) && Of(plugin)->Activate(rate, minFrames, maxFrames); });
}
void PluginDeactivate(const clap_plugin_t* plugin) {
  Guarded(0, [&] {
    if (Of(plugin)) Of(plugin)->Deactivate();
    return 0;
  });
}
bool PluginStartProcessing(const clap_plugin_t* plugin) { return Of(plugin) != nullptr; }
void PluginStopProcessing(const clap_plugin_t*) {}
void PluginReset(const clap_plugin_t* plugin) {
  if (IPlugCLAP* p = Of(plugin)) p->Reset();
}
clap_process_status PluginProcess(const clap_plugin_t* plugin, const clap_process_t* process) {
  IPlugCLAP* p = Of(plugin);
  return p && process ? p->Process(*process) : kClapProcessError;
}
void PluginOnMainThread(const clap_plugin_t*) {}

std::uint32_t PortCount(const clap_plugin_t*, bool) { return 1; }
bool PortGet(const clap_plugin_t* plugin, std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  if (!Of(plugin) || index != 0 || !info) return false;
  *info = {};
  info->id = 0;
  CopyText(info->name, sizeof info->name, isInput ? "Input" : "Output");
  info->flags = kClapAudioPortIsMain | kClapAudioPortSupports64Bits;
  info->channel_count = 2;
  info->port_type = kClapPortStereo;
  info->in_place_pair = 0;  // the other direction's port, which has id 0 too
  return true;
}
const clap_plugin_audio_ports_t kAudioPorts = {&PortCount, &PortGet};

std::uint32_t ParamsCount(const clap_plugin_t* plugin) { return Of(plugin) ? Of(plugin)->ParamCount() : 0; }
bool ParamsGetInfo(const clap_plugin_t* plugin, std::uint32_t index, clap_param_info_t* info) {
  return Of(plugin) && info && Guarded(false, [&] { return Of(plugin)->ParamInfo(index, *info); });
}
bool ParamsGetValue(const clap_plugin_t* plugin, clap_id id, double* value) {
  return Of(plugin) && value && Guarded(false, [&] { return Of(plugin)->ParamValue(id, *value); });
}
bool ParamsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* out, std::uint32_t capacity) {
  return Of(plugin) && Guarded(false, [&] { return Of(plugin)->ValueToText(id, value, out, capacity); });
}
bool ParamsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* text, double* value) {
  return Of(plugin) && text && value && Guarded(false, [&] { return Of(plugin)->TextToValue(id, text, *value); });
}
void ParamsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out) {
  if (IPlugCLAP* p = Of(plugin)) p->Flush(in, out);
}
const clap_plugin_params_t kParams = {&ParamsCount,       &ParamsGetInfo,     &ParamsGetValue,
                                      &ParamsValueToText, &ParamsTextToValue, &ParamsFlush};

std::uint32_t LatencyGet(const clap_plugin_t* plugin) { return Of(plugin) ? Of(plugin)->LatencyFrames() : 0; }
const clap_plugin_latency_t kLatency = {&LatencyGet};

std::uint32_t TailGet(const clap_plugin_t* plugin) { return Of(plugin) ? Of(plugin)->TailFrames() : 0; }
const clap_plugin_tail_t kTail = {&TailGet};

bool StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
  return Of(plugin) && stream && stream->write && Guarded(false, [&] { return Of(plugin)->SaveState(*stream); });
}
bool StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
  return Of(plugin) && stream && stream->read && Guarded(false, [&] { return Of(plugin)->LoadState(*stream); });
}
const clap_plugin_state_t kState = {&StateSave, &StateLoad};

bool GuiIsApiSupported(const clap_plugin_t*, const char* api, bool floating) {
  return IPlugCLAP::IsNativeApi(api, floating);
}
bool GuiGetPreferredApi(const clap_plugin_t*, const char** api, bool* floating) {
  if (!api || !floating) return false;
#ifdef _WIN32
  *api = kClapWindowApiWin32;
#else
  *api = kClapWindowApiX11;
#endif
  *floating = false;
  return true;
}
bool GuiCreate(const clap_plugin_t* plugin, const char* api, bool floating) {
  return Of(plugin) && Of(plugin)->GuiCreate(api, floating);
}
void GuiDestroy(const clap_plugin_t* plugin) {
  if (IPlugCLAP* p = Of(plugin)) p->GuiDestroy();
}
bool GuiSetScale(const clap_plugin_t*, double) { return false; }  // drawn at one size
bool GuiGetSize(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height) {
  return Of(plugin) && width && height && Of(plugin)->GuiSize(*width, *height);
}
bool GuiCanResize(const clap_plugin_t*) { return false; }
bool GuiGetResizeHints(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!hints || !GuiGetSize(plugin, &width, &height)) return false;
  *hints = {false, false, true, width, height};
  return true;
}
bool GuiAdjustSize(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height) {
  return GuiGetSize(plugin, width, height);  // the one size there is
}
bool GuiSetSize(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height) {
  std::uint32_t w = 0;
  std::uint32_t h = 0;
  return GuiGetSize(plugin, &w, &h) && w == width && h == height;
}
bool GuiSetParent(const clap_plugin_t* plugin, const clap_window_t* window) {
  return Of(plugin) && window && Guarded(false, [&] { return Of(plugin)->GuiSetParent(*window); });
}
bool GuiSetTransient(const clap_plugin_t*, const clap_window_t*) { return false; }  // embedded only
void GuiSuggestTitle(const clap_plugin_t*, const char*) {}
bool GuiShow(const clap_plugin_t* plugin) { return Of(plugin) != nullptr; }
bool GuiHide(const clap_plugin_t* plugin) { return Of(plugin) != nullptr; }
const clap_plugin_gui_t kGui = {&GuiIsApiSupported, &GuiGetPreferredApi, &GuiCreate,       &GuiDestroy,
                                &GuiSetScale,       &GuiGetSize,         &GuiCanResize,    &GuiGetResizeHints,
                                &GuiAdjustSize,     &GuiSetSize,         &GuiSetParent,    &GuiSetTransient,
                                &GuiSuggestTitle,   &GuiShow,            &GuiHide};

void OnTimer(const clap_plugin_t* plugin, clap_id) {
  if (IPlugCLAP* p = Of(plugin)) p->GuiTick();
}
const clap_plugin_timer_support_t kTimerSupport = {&OnTimer};
void OnFd(const clap_plugin_t* plugin, int, std::uint32_t) {
  if (IPlugCLAP* p = Of(plugin)) p->GuiTick();
}
const clap_plugin_posix_fd_support_t kPosixFdSupport = {&OnFd};

const void* PluginGetExtension(const clap_plugin_t*, const char* id) {
  if (!id) return nullptr;
  if (std::strcmp(id, kClapExtAudioPorts) == 0) return &kAudioPorts;
  if (std::strcmp(id, kClapExtParams) == 0) return &kParams;
  if (std::strcmp(id, kClapExtLatency) == 0) return &kLatency;
  if (std::strcmp(id, kClapExtTail) == 0) return &kTail;
  if (std::strcmp(id, kClapExtState) == 0) return &kState;
  if (std::strcmp(id, kClapExtGui) == 0) return &kGui;
#ifndef _WIN32
  if (std::strcmp(id, kClapExtTimerSupport) == 0) return &kTimerSupport;
  if (std::strcmp(id, kClapExtPosixFdSupport) == 0) return &kPosixFdSupport;
#endif
  return nullptr;
}

}  // namespace

std::unique_ptr<IPlugCLAP> IPlugCLAP::Create(const clap_host_t* host) {
  std::unique_ptr<IPlugCLAP> instance(new IPlugCLAP());
  // At the core's initial rate; activate designs it again for the host's.
  if (!instance->Build([](IHostRequests& requests) { return MakePlugin(requests, IPlugBase::kInitialSampleRate); },
                       1024))
    return nullptr;
  instance->host = host;
  instance->clapPlugin = {&Descriptor(),     instance.get(),        &PluginInit,         &PluginDestroy,
                          &PluginActivate,   &PluginDeactivate,     &PluginStartProcessing, &PluginStopProcessing,
                          &PluginReset,      &PluginProcess,        &PluginGetExtension, &PluginOnMainThread};
  LockGuard guard(instance->plug->InstanceLock());
  instance->SizeBypass(1024);
  return instance;
}

IPlugCLAP* IPlugCLAP::From(const clap_plugin_t* plugin) {
  return plugin ? static_cast<IPlugCLAP*>(plugin->plugin_data) : nullptr;
}

IPlugCLAP::~IPlugCLAP() {
  if (!plug) return;
  CloseGui();
  if (active) SetActive(false);
}

bool IPlugCLAP::Init() {
  // A scanner's host may answer no extension at all, or have no way to ask.
  if (host && host->get_extension)
    hostLatency = static_cast<const clap_host_latency_t*>(host->get_extension(host, kClapExtLatency));
  if (hostLatency && !hostLatency->changed) hostLatency = nullptr;
  if (host && host->get_extension) {
    hostParams = static_cast<const clap_host_params_t*>(host->get_extension(host, kClapExtParams));
    hostTimers = static_cast<const clap_host_timer_support_t*>(host->get_extension(host, kClapExtTimerSupport));
    hostFds = static_cast<const clap_host_posix_fd_support_t*>(host->get_extension(host, kClapExtPosixFdSupport));
  }
  if (hostParams && !hostParams->request_flush) hostParams = nullptr;
  if (hostTimers && (!hostTimers->register_timer || !hostTimers->unregister_timer)) hostTimers = nullptr;
  if (hostFds && (!hostFds->register_fd || !hostFds->unregister_fd)) hostFds = nullptr;
  return true;
}

bool IPlugCLAP::Activate(double rate, std::uint32_t, std::uint32_t maxFrames) {
  bool latencyChanged = false;
  {
    LockGuard guard(plug->InstanceLock());
    if (active || !plug->SupportsSampleRate(rate)) return false;
    const std::uint32_t block = std::clamp<std::uint32_t>(maxFrames, 1, kMaxBlock);
    if (!plug->SetBlockSize(static_cast<int>(block))) return false;
    plug->SetSampleRate(rate);
    plug->ResetProcessing();
    SizeBypass(static_cast<int>(block));
    SetActive(true);
    plug->StartAfresh();
    RestartBypass();
    active = true;
    // Only a change from the previous activation is announced: a host may
    // answer the call with a new activation at once.
    latencyChanged = activatedLatency >= 0 && plug->Latency() != activatedLatency;
    activatedLatency = plug->Latency();
  }
  if (latencyChanged && hostLatency) hostLatency->changed(host);
  return true;
}

void IPlugCLAP::Deactivate() {
  LockGuard guard(plug->InstanceLock());
  if (!active) return;
  active = false;
  SetActive(false);
}

void IPlugCLAP::Reset() {
  LockGuard guard(plug->InstanceLock());
  if (!active) return;
  plug->StartAfresh();
  RestartBypass();
}

clap_process_status IPlugCLAP::Process(const clap_process_t& process) {
  // Hosts call with no frames from their main thread to learn the latency,
  // even before the first real call: nothing to do, nothing to touch.
  if (process.frames_count == 0) return kClapProcessContinue;
  LockGuard guard(plug->InstanceLock());
  if (!active) return kClapProcessError;
  // 64-bit where the host hands 64-bit buffers (the output's, else the input's).
  const clap_audio_buffer_t* first = process.audio_outputs_count > 0 && process.audio_outputs ? process.audio_outputs
                                     : process.audio_inputs_count > 0                         ? process.audio_inputs
                                                                                              : nullptr;
  if (first && first->data64 && !first->data32)
    ProcessCall<double>(process);
  else
    ProcessCall<float>(process);
  if (changesRead.load(std::memory_order_relaxed) != changesWritten.load(std::memory_order_relaxed))
    SendEditorChanges(process.out_events);
  return kClapProcessContinue;
}

template <typename Sample>
void IPlugCLAP::ProcessCall(const clap_process_t& process) {
  const std::uint32_t frames = process.frames_count;
  // The main buses' first two channels; a missing bus or channel is silence
  // in, nothing out.
  const auto bind = [](const clap_audio_buffer_t* buses, std::uint32_t busCount, Sample* (&channels)[2]) {
    Sample** buffers = busCount > 0 && buses ? Channels<Sample>(buses[0]) : nullptr;
    for (std::uint32_t c = 0; c < 2; ++c) channels[c] = buffers && c < buses[0].channel_count ? buffers[c] : nullptr;
  };
  Sample* in[2];
  Sample* out[2];
  bind(process.audio_inputs, process.audio_inputs_count, in);
  bind(process.audio_outputs, process.audio_outputs_count, out);

  const clap_input_events_t* events = process.in_events;
  const std::uint32_t count = events && events->size && events->get ? events->size(events) : 0;
  std::uint32_t next = 0;
  for (std::uint32_t done = 0; done < frames;) {
    // Every event due by now, then the frames up to the next one (with no
    // events, the whole call at once).
    for (; next < count; ++next) {
      const clap_event_header_t* event = events->get(events, next);
      if (event && event->time > done) break;
      ApplyEvent(event);
    }
    std::uint32_t end = frames;
    if (next < count) {
      const clap_event_header_t* event = events->get(events, next);
      if (event && event->time > done) end = std::min(end, event->time);  // always on: done < end
    }
    ProcessWithBypass(in, out, static_cast<int>(end - done), static_cast<int>(done));
    done = end;
  }
  for (; next < count; ++next) ApplyEvent(events->get(events, next));  // beyond the call: for the next one
  if (process.audio_outputs_count > 0 && process.audio_outputs)
    process.audio_outputs[0].constant_mask = SilentChannels(out, 2, frames);
}

void IPlugCLAP::ApplyEvent(const clap_event_header_t* event) {
  if (!event || event->space_id != kClapCoreEventSpaceId || event->type != kClapEventParamValue ||
      event->size < sizeof(clap_event_param_value_t))
    return;
  const auto* change = reinterpret_cast<const clap_event_param_value_t*>(event);
  if (std::isnan(change->value)) return;
  if (change->param_id == kClapBypassId && HasBypass()) {
    SetBypass(change->value >= 0.5);
    return;
  }
  if (change->param_id >= static_cast<clap_id>(plug->ParameterCount())) return;
  const int index = static_cast<int>(change->param_id);
  Parameter* parameter = plug->GetParameter(index);
  parameter->SetValueClamped(change->value);
  plug->ParameterChanged(index);
  // A mailbox the editor empties at its next tick: safe from any thread.
  if (IEditor* editor = plug->Editor()) editor->PushParameterToControls(index, parameter->Value(), false);
}

// ---- params ----

std::uint32_t IPlugCLAP::ParamCount() const {
  return static_cast<std::uint32_t>(plug->ParameterCount() + (HasBypass() ? 1 : 0));
}

bool IPlugCLAP::ParamInfo(std::uint32_t index, clap_param_info_t& info) {
  LockGuard guard(plug->InstanceLock());
  if (index >= ParamCount()) return false;
  info = {};
  if (index == static_cast<std::uint32_t>(plug->ParameterCount())) {
    info.id = kClapBypassId;
    info.flags = kClapParamIsAutomatable | kClapParamIsStepped | kClapParamIsBypass;
    CopyText(info.name, sizeof info.name, plug->BypassName());
    info.min_value = 0.0;
    info.max_value = 1.0;
    info.default_value = 0.0;
    return true;
  }
  const ParameterEntry& entry = kParameterTable[index];
  const Parameter* parameter = plug->GetParameter(static_cast<int>(index));
  info.id = index;
  info.flags = kClapParamIsAutomatable;
  CopyText(info.name, sizeof info.name, parameter->Name());
  info.min_value = parameter->Min();
  info.max_value = parameter->Max();
  info.default_value = entry.defaultValue;
  return true;
}

bool IPlugCLAP::ParamValue(clap_id id, double& value) {
  LockGuard guard(plug->InstanceLock());
  if (id == kClapBypassId && HasBypass()) {
    value = Bypassed() ? 1.0 : 0.0;
    return true;
  }
  if (id >= static_cast<clap_id>(plug->ParameterCount())) return false;
  value = plug->GetParameter(static_cast<int>(id))->Value();
  return true;
}

bool IPlugCLAP::ValueToText(clap_id id, double value, char* out, std::uint32_t capacity) {
  if (!out || capacity == 0 || std::isnan(value)) return false;
  if (id == kClapBypassId && HasBypass()) {
    CopyText(out, capacity, value >= 0.5 ? "On" : "Off");
    return true;
  }
  LockGuard guard(plug->InstanceLock());
  if (id >= static_cast<clap_id>(plug->ParameterCount())) return false;
  const Parameter* parameter = plug->GetParameter(static_cast<int>(id));
  char text[Parameter::kTextSize] = {};
  parameter->FormatForDisplay(std::clamp(value, parameter->Min(), parameter->Max()), false, text, sizeof text);
  CopyText(out, capacity, text);
  return true;
}

// Typed entry as the other formats take it: the number the text starts
// with, limited to the range; text that starts with no number is refused.
bool IPlugCLAP::TextToValue(clap_id id, const char* text, double& value) {
  if (id == kClapBypassId && HasBypass()) {
    const bool on = std::strcmp(text, "On") == 0 || std::strcmp(text, "1") == 0;
    const bool off = std::strcmp(text, "Off") == 0 || std::strcmp(text, "0") == 0;
    if (!on && !off) return false;
    value = on ? 1.0 : 0.0;
    return true;
  }
  LockGuard guard(plug->InstanceLock());
  if (id >= static_cast<clap_id>(plug->ParameterCount())) return false;
  const Parameter* parameter = plug->GetParameter(static_cast<int>(id));
  double v = 0.0;
  if (!parameter->ValueForTypedText(text, Parameter::TypedText::kStrict, v)) return false;
  value = std::clamp(v, parameter->Min(), parameter->Max());
  return true;
}

void IPlugCLAP::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
  LockGuard guard(plug->InstanceLock());
  const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  for (std::uint32_t i = 0; i < count; ++i) ApplyEvent(in->get(in, i));
  SendEditorChanges(out);
}

// ---- The editor's changes, to the host ----

void IPlugCLAP::BeginParameterGesture(int index) {
  QueueChange({kClapEventParamGestureBegin, static_cast<clap_id>(index), 0.0});
}

void IPlugCLAP::ReportParameterToHost(int index, double) {
  // The base has set the parameter already; the host takes its real value.
  const Parameter* parameter = plug ? plug->GetParameter(index) : nullptr;
  if (parameter) QueueChange({kClapEventParamValue, static_cast<clap_id>(index), parameter->Value()});
}

void IPlugCLAP::EndParameterGesture(int index) {
  QueueChange({kClapEventParamGestureEnd, static_cast<clap_id>(index), 0.0});
}

void IPlugCLAP::QueueChange(const EditorChange& change) {
  const std::uint32_t written = changesWritten.load(std::memory_order_relaxed);
  // A full queue drops the change: the host is not taking them anyway.
  if (written - changesRead.load(std::memory_order_acquire) >= changes.size()) return;
  changes[written % changes.size()] = change;
  changesWritten.store(written + 1, std::memory_order_release);
  if (hostParams) hostParams->request_flush(host);
}

void IPlugCLAP::SendEditorChanges(const clap_output_events_t* out) {
  if (!out || !out->try_push) return;
  const std::uint32_t written = changesWritten.load(std::memory_order_acquire);
  std::uint32_t read = changesRead.load(std::memory_order_relaxed);
  for (; read != written; ++read) {
    const EditorChange& change = changes[read % changes.size()];
    bool taken = false;
    if (change.type == kClapEventParamValue) {
      clap_event_param_value_t event{};
      event.header = {sizeof event, 0, kClapCoreEventSpaceId, change.type, 0};
      event.param_id = change.id;
      event.note_id = event.port_index = event.channel = event.key = -1;
      event.value = change.value;
      taken = out->try_push(out, &event.header);
    } else {
      clap_event_param_gesture_t event{};
      event.header = {sizeof event, 0, kClapCoreEventSpaceId, change.type, 0};
      event.param_id = change.id;
      taken = out->try_push(out, &event.header);
    }
    if (!taken) break;  // the rest at the next call
  }
  changesRead.store(read, std::memory_order_release);
}

// ---- gui ----

bool IPlugCLAP::IsNativeApi(const char* api, bool floating) {
#ifdef _WIN32
  const char* native = kClapWindowApiWin32;
#else
  const char* native = kClapWindowApiX11;
#endif
  return !floating && api && std::strcmp(api, native) == 0;
}

bool IPlugCLAP::GuiCreate(const char* api, bool floating) {
  if (guiCreated || !IsNativeApi(api, floating) || !plug->Editor()) return false;
#ifndef _WIN32
  // The X11 window layer paints and reads its connection only when ticked.
  if (!hostTimers) return false;
#endif
  guiCreated = true;
  return true;
}

void IPlugCLAP::GuiDestroy() {
  CloseGui();
  guiCreated = false;
}

bool IPlugCLAP::GuiSize(std::uint32_t& width, std::uint32_t& height) {
  const IEditor* editor = plug->Editor();
  if (!editor) return false;
  width = static_cast<std::uint32_t>(editor->Width());
  height = static_cast<std::uint32_t>(editor->Height());
  return true;
}

bool IPlugCLAP::GuiSetParent(const clap_window_t& window) {
  if (!guiCreated || editorOpen || !IsNativeApi(window.api, false)) return false;
#ifdef _WIN32
  void* parent = window.win32;
#else
  void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.x11));
#endif
  // Outside the instance lock: the audio thread goes on meanwhile.
  if (!parent || !OpenEditor(parent)) return false;
  editorOpen = true;
#ifndef _WIN32
  // Ticks at the window layer's own rate (its Idle paces them); input wakes
  // it through the connection's descriptor where the host watches one.
  if (!hostTimers->register_timer(host, 10, &timerId)) {
    CloseGui();
    return false;
  }
  const int fd = plug->Editor()->ConnectionDescriptor();
  if (hostFds && fd >= 0 && hostFds->register_fd(host, fd, kClapPosixFdRead | kClapPosixFdError)) watchedFd = fd;
#endif
  return true;
}

void IPlugCLAP::CloseGui() {
  if (!editorOpen) return;
  editorOpen = false;
  if (timerId != kClapInvalidId && hostTimers) hostTimers->unregister_timer(host, timerId);
  timerId = kClapInvalidId;
  if (watchedFd >= 0 && hostFds) hostFds->unregister_fd(host, watchedFd);
  watchedFd = -1;
  CloseEditor();
}

// ---- latency, tail, state ----

std::uint32_t IPlugCLAP::LatencyFrames() {
  LockGuard guard(plug->InstanceLock());
  return static_cast<std::uint32_t>(std::max(plug->Latency(), 0));
}

std::uint32_t IPlugCLAP::TailFrames() {
  LockGuard guard(plug->InstanceLock());
  return static_cast<std::uint32_t>(std::max(plug->TailSamples(), 0));
}

bool IPlugCLAP::SaveState(const clap_ostream_t& stream) {
  std::vector<std::uint8_t> bytes;
  {
    LockGuard guard(plug->InstanceLock());
    StateChunk chunk;
    const int size = plug->GetChunk(chunk, false);
    if (size <= 0) return false;
    bytes.assign(chunk.Data(), chunk.Data() + size);
  }
  // The stream may take fewer bytes than offered per call.
  for (std::size_t done = 0; done < bytes.size();) {
    const std::int64_t wrote = stream.write(&stream, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0 || static_cast<std::uint64_t>(wrote) > bytes.size() - done) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool IPlugCLAP::LoadState(const clap_istream_t& stream) {
  // Exactly a program chunk (the VST 2.4 module's bytes): the header, then
  // one finite double per parameter. Read to the end in pieces of any size
  // before anything changes; a byte more or less is refused.
  const std::size_t size = 8 + 8 * static_cast<std::size_t>(plug->ParameterCount());
  std::vector<std::uint8_t> bytes(size + 1);
  std::size_t total = 0;
  while (total <= size) {
    const std::int64_t got = stream.read(&stream, bytes.data() + total, size + 1 - total);
    if (got < 0 || static_cast<std::uint64_t>(got) > size + 1 - total) return false;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  if (total != size) return false;
  StateChunk chunk;
  if (!chunk.Assign(bytes.data(), static_cast<int>(size))) return false;
  std::int32_t magic = 0;
  std::int32_t version = 0;
  chunk.GetInt32(0, magic);
  chunk.GetInt32(4, version);
  if (magic != IPlugBase::kChunkMagic || version != IPlugBase::kChunkVersion) return false;
  for (int pos = 8; pos < static_cast<int>(size);) {
    double v = 0.0;
    pos = chunk.GetDouble(pos, v);
    if (!std::isfinite(v)) return false;
  }
  LockGuard guard(plug->InstanceLock());
  return plug->SetChunk(chunk, false, bytes.data(), static_cast<int>(size)) != 0;
}

}  // namespace tarvel::clap
