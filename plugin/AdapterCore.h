#pragma once
// What every format adapter does, written once: owning the plug-in it builds
// and answering its requests (IHostRequests), guarding the module's entry,
// connecting the channels, activation, the bypass, and opening and closing
// the editor.
// An adapter (vst/IPlugVST, vst3/IPlugVST3, lv2/IPlugLV2) derives from
// AdapterCore and adds only the translation of its host's API.
//
// Threads and locks: the instance lock (IPlugBase::InstanceLock) serialises
// the plug-in's operations; the audio thread takes it for every process
// call. The editor's window opens and closes outside it, as the window layer
// asks (gui/IGraphics.h), so the audio thread never waits for a window. The
// VST 2.4 dispatcher is the exception: it holds the lock around every call,
// effEditOpen and effEditClose included, as hosts of that format expect.

#include <memory>
#include <utility>

#include "plugin/BypassPath.h"
#include "plugin/IHostRequests.h"
#include "plugin/IPlugBase.h"
#include "plugin/RecursiveLock.h"

namespace tarvel {

class AdapterCore : public IHostRequests {
 public:
  AdapterCore(const AdapterCore&) = delete;
  AdapterCore& operator=(const AdapterCore&) = delete;

  // The plug-in this adapter drives (there is one once Build succeeded).
  IPlugBase& Plug() const { return *plug; }

  // Builds the plug-in with this adapter as its host, connects every channel
  // and sizes the channels for blockSize frames; false when the factory
  // builds none. Host's thread, inside the entry lock; allocates.
  bool Build(const PlugFactory& make, int blockSize);

  // Opens the editor window as a child of parent and tells the plug-in;
  // answers the native window, null without an editor or a window. Closing
  // tells the plug-in, then closes the window; false without an editor. GUI
  // thread, without the instance lock (the window calls never take it).
  void* OpenEditor(void* parent);
  bool CloseEditor();
  // The editor's tick from the host (its idle call or timer). GUI thread,
  // outside the lock: painting never holds up the audio thread.
  void TickEditor();

  // Activation and deactivation: the plug-in is told, and a deactivation
  // resets its processing (a new rate takes effect). Under the lock.
  void SetActive(bool active);

  // The bypass, for the formats that have one and a plug-in that offers it
  // (IPlugBase::BypassName): taken at the next call. Under the lock.
  void SetBypass(bool on) { bypass.Set(on); }
  bool Bypassed() const { return bypass.IsOn(); }

 protected:
  AdapterCore() = default;
  ~AdapterCore() = default;

  // Sizes the bypass path for the plug-in's latency and crossfade length and
  // pieces of up to maxFrames (nothing without a bypass offered). Inactive,
  // under the lock; allocates.
  void SizeBypass(int maxFrames);
  // Empties the bypass path: an activation starts with nothing recorded.
  void RestartBypass() { bypass.Restart(); }
  // Frames [offset, offset + frames) of the two host buffer arrays, any
  // number: binds them (a null array or buffer: silence in, nothing out) to
  // all channels, processes and mixes the bypass in, in pieces of at most
  // the sized maxFrames while the bypass is on or switching. Audio thread,
  // under the lock; never allocates.
  template <typename Sample>
  void ProcessWithBypass(Sample* const* inputs, Sample* const* outputs, int frames, int offset = 0);

  std::unique_ptr<IPlugBase> plug;
  BypassPath bypass;

 private:
  // The plug-in alone over those frames; it takes calls of any length.
  template <typename Sample>
  void Run(Sample* const* inputs, Sample* const* outputs, int frames, int offset);
};

// The process-wide lock that serialises whole constructions across threads
// (every entry that builds an instance takes it). Created on first use (the
// language makes that thread-safe) and destroyed at exit.
RecursiveLock& EntryLock();

// Runs call and answers its result, or `failed` when it throws: no exception
// may unwind into a host, and a call that could not complete answers as a
// failed one. For every function a host calls.
template <typename Result, typename Call>
Result Guarded(Result failed, Call&& call) noexcept {
  try {
    return std::forward<Call>(call)();
  } catch (...) {
    return failed;
  }
}

// An entry that builds an instance: under the entry lock and guarded; null
// when the build throws.
template <typename Build>
auto GuardedBuild(Build&& build) noexcept -> decltype(build()) {
  LockGuard guard(EntryLock());
  return Guarded<decltype(build())>(nullptr, std::forward<Build>(build));
}

}  // namespace tarvel
