#include "plugin/AdapterCore.h"

#include <algorithm>
#include <type_traits>

namespace tarvel {

bool AdapterCore::Build(const PlugFactory& make, int blockSize) {
  plug = make(*this);
  if (!plug) return false;
  plug->Channels().SetInputConnections(0, plug->InputChannelCount(), true);
  plug->Channels().SetOutputConnections(0, plug->OutputChannelCount(), true);
  plug->SetBlockSize(blockSize);
  return true;
}

void* AdapterCore::OpenEditor(void* parent) {
  IEditor* editor = plug->Editor();
  void* window = editor ? editor->OpenEditorWindow(parent) : nullptr;
  if (window) plug->EditorOpened();
  return window;
}

bool AdapterCore::CloseEditor() {
  IEditor* editor = plug->Editor();
  if (!editor) return false;
  plug->EditorClosed();
  editor->CloseEditorWindow();
  return true;
}

void AdapterCore::TickEditor() {
  if (IEditor* editor = plug->Editor()) editor->Idle();
}

void AdapterCore::SetActive(bool active) {
  LockGuard guard(plug->InstanceLock());
  plug->ActivationChanged(active);
  if (!active) plug->ResetProcessing();
}

void AdapterCore::SizeBypass(int maxFrames) {
  if (!plug->BypassName()) return;
  // Switched over the plug-in's own crossfade length.
  bypass.Size(std::max(plug->Latency(), 0), plug->CrossfadeSamples(), maxFrames);
}

template <typename Sample>
void AdapterCore::ProcessWithBypass(Sample* const* inputs, Sample* const* outputs, int frames) {
  const auto run = [&] {
    if constexpr (std::is_same_v<Sample, float>) {
      plug->Channels().ConnectInputsFloat(0, plug->InputChannelCount(), inputs);
      plug->Channels().ConnectOutputsFloat(0, plug->OutputChannelCount(), outputs);
      plug->ProcessToFloat(frames);
    } else {
      plug->Channels().ConnectInputsDouble(0, plug->InputChannelCount(), inputs);
      plug->Channels().ConnectOutputsDouble(0, plug->OutputChannelCount(), outputs);
      plug->ProcessDouble(frames);
    }
  };
  // Neither bypassed nor switching (the usual call): the plug-in alone.
  if (bypass.Idle()) {
    run();
    return;
  }
  // The bypass path sees the first two channels; the input enters it before
  // the plug-in writes, as outputs may be the input buffers.
  Sample* in[BypassPath::kChannels] = {};
  Sample* out[BypassPath::kChannels] = {};
  for (int c = 0; c < BypassPath::kChannels; ++c) {
    if (inputs && c < plug->InputChannelCount()) in[c] = inputs[c];
    if (outputs && c < plug->OutputChannelCount()) out[c] = outputs[c];
  }
  bypass.Before(in, frames);
  run();
  bypass.After(out, frames);
}

template void AdapterCore::ProcessWithBypass<float>(float* const*, float* const*, int);
template void AdapterCore::ProcessWithBypass<double>(double* const*, double* const*, int);

RecursiveLock& EntryLock() {
  static RecursiveLock lock;
  return lock;
}

}  // namespace tarvel
