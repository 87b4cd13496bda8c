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
  bypassPiece = std::max(maxFrames, 1);
  bypass.Size(std::max(plug->Latency(), 0), plug->CrossfadeSamples(), bypassPiece);
}

template <typename Sample>
void AdapterCore::ProcessWithBypass(Sample* const* inputs, Sample* const* outputs, int frames) {
  // Neither bypassed nor switching (the usual call): the plug-in alone.
  if (bypass.Idle()) {
    Run(inputs, outputs, 0, frames);
    return;
  }
  // The bypass path sees the first two channels; the input enters it before
  // the plug-in writes, as outputs may be the input buffers.
  const auto channel = [](Sample* const* buffers, int count, int c, int offset) {
    return buffers && c < count && buffers[c] ? buffers[c] + offset : nullptr;
  };
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, bypassPiece);
    Sample* in[BypassPath::kChannels];
    Sample* out[BypassPath::kChannels];
    for (int c = 0; c < BypassPath::kChannels; ++c) {
      in[c] = channel(inputs, plug->InputChannelCount(), c, done);
      out[c] = channel(outputs, plug->OutputChannelCount(), c, done);
    }
    bypass.Before(in, n);
    Run(inputs, outputs, done, n);
    bypass.After(out, n);
    done += n;
  }
}

template <typename Sample>
void AdapterCore::Run(Sample* const* inputs, Sample* const* outputs, int offset, int frames) {
  ChannelBinding& channels = plug->Channels();
  if (offset == 0) {  // the host's arrays as they are
    if constexpr (std::is_same_v<Sample, float>) {
      channels.ConnectInputsFloat(0, plug->InputChannelCount(), inputs);
      channels.ConnectOutputsFloat(0, plug->OutputChannelCount(), outputs);
    } else {
      channels.ConnectInputsDouble(0, plug->InputChannelCount(), inputs);
      channels.ConnectOutputsDouble(0, plug->OutputChannelCount(), outputs);
    }
  } else {  // channel by channel (Build connected every one), each moved on to the offset
    for (int c = 0; c < plug->InputChannelCount(); ++c) {
      Sample* buffer = inputs && inputs[c] ? inputs[c] + offset : nullptr;
      if constexpr (std::is_same_v<Sample, float>)
        channels.ConnectInputsFloat(c, 1, &buffer);
      else
        channels.ConnectInputsDouble(c, 1, &buffer);
    }
    for (int c = 0; c < plug->OutputChannelCount(); ++c) {
      Sample* buffer = outputs && outputs[c] ? outputs[c] + offset : nullptr;
      if constexpr (std::is_same_v<Sample, float>)
        channels.ConnectOutputsFloat(c, 1, &buffer);
      else
        channels.ConnectOutputsDouble(c, 1, &buffer);
    }
  }
  if constexpr (std::is_same_v<Sample, float>)
    plug->ProcessToFloat(frames);
  else
    plug->ProcessDouble(frames);
}

template void AdapterCore::ProcessWithBypass<float>(float* const*, float* const*, int);
template void AdapterCore::ProcessWithBypass<double>(double* const*, double* const*, int);

RecursiveLock& EntryLock() {
  static RecursiveLock lock;
  return lock;
}

}  // namespace tarvel
