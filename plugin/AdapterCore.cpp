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
void AdapterCore::ProcessWithBypass(Sample* const* inputs, Sample* const* outputs, int frames, int offset) {
  // Neither bypassed nor switching (the usual call): the plug-in alone.
  if (bypass.Idle()) {
    Run(inputs, outputs, frames, offset);
    return;
  }
  // The bypass path sees the first two channels; the input enters it before
  // the plug-in writes, as outputs may be the input buffers.
  const auto channel = [](Sample* const* buffers, int count, int c, int at) {
    return buffers && c < count && buffers[c] ? buffers[c] + at : nullptr;
  };
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, bypass.MaxFrames());
    Sample* in[BypassPath::kChannels];
    Sample* out[BypassPath::kChannels];
    for (int c = 0; c < BypassPath::kChannels; ++c) {
      in[c] = channel(inputs, plug->InputChannelCount(), c, offset + done);
      out[c] = channel(outputs, plug->OutputChannelCount(), c, offset + done);
    }
    bypass.Before(in, n);
    Run(inputs, outputs, n, offset + done);
    bypass.After(out, n);
    done += n;
  }
}

template <typename Sample>
void AdapterCore::Run(Sample* const* inputs, Sample* const* outputs, int frames, int offset) {
  ChannelBinding& channels = plug->Channels();
  if constexpr (std::is_same_v<Sample, float>) {
    channels.ConnectInputsFloat(0, plug->InputChannelCount(), inputs, offset);
    channels.ConnectOutputsFloat(0, plug->OutputChannelCount(), outputs, offset);
    plug->ProcessToFloat(frames);
  } else {
    channels.ConnectInputsDouble(0, plug->InputChannelCount(), inputs, offset);
    channels.ConnectOutputsDouble(0, plug->OutputChannelCount(), outputs, offset);
    plug->ProcessDouble(frames);
  }
}

template void AdapterCore::ProcessWithBypass<float>(float* const*, float* const*, int, int);
template void AdapterCore::ProcessWithBypass<double>(double* const*, double* const*, int, int);

RecursiveLock& EntryLock() {
  static RecursiveLock lock;
  return lock;
}

}  // namespace tarvel
