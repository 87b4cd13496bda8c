#include "plugin/ChannelBinding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tarvel {

namespace {

// Channels [first, first + count) clipped to [0, n), without overflow.
struct ChannelRange {
  int begin;
  int end;
};
ChannelRange Clip(int first, int count, int n) {
  const long long begin = std::max<long long>(first, 0);
  const long long end = std::min<long long>(static_cast<long long>(first) + count, n);
  return {static_cast<int>(begin), static_cast<int>(std::max(begin, end))};
}

double* Samples(GrowBuffer& scratch) { return static_cast<double*>(scratch.Data()); }

// Host buffer k from frame offset on; null for no array or no buffer.
template <typename Sample>
Sample* At(Sample* const* buffers, int k, int offset) {
  return buffers && buffers[k] ? buffers[k] + offset : nullptr;
}

// Asks for the cache lines of samples [0, count) ahead of writing them.
void PrefetchForWrite(const float* samples, int count) {
  constexpr int kLineFloats = 64 / sizeof(float);
  for (int s = 0; s < count; s += kLineFloats) __builtin_prefetch(samples + s, 1);
}

}  // namespace

void ChannelBinding::CreateChannels(int inputs, int outputs) {
  inputSlots.assign(static_cast<std::size_t>(std::max(inputs, 0)), nullptr);
  outputSlots.assign(static_cast<std::size_t>(std::max(outputs, 0)), nullptr);
  for (int j = 0; j < inputs; ++j) {
    auto channel = std::make_unique<InputChannel>();
    channel->slot = j;
    inputChannels.Append(std::move(channel));
  }
  for (int j = 0; j < outputs; ++j) {
    auto channel = std::make_unique<OutputChannel>();
    channel->slot = j;
    outputChannels.Append(std::move(channel));
  }
}

bool ChannelBinding::SetBlockSize(int frames) {
  if (frames == blockSize) return true;
  if (frames < 1 || frames > INT32_MAX / static_cast<int>(sizeof(double))) return false;
  const auto bytes = static_cast<std::int32_t>(frames * sizeof(double));
  const auto oldBytes = static_cast<std::int32_t>(blockSize * sizeof(double));

  auto resizeAll = [this](std::int32_t size) {
    bool ok = true;
    for (int i = 0; i < inputChannels.Count(); ++i) {
      GrowBuffer& scratch = inputChannels.Get(i)->scratch;
      scratch.Resize(size);
      ok = ok && scratch.Size() == size;
    }
    for (int i = 0; i < outputChannels.Count(); ++i) {
      GrowBuffer& scratch = outputChannels.Get(i)->scratch;
      scratch.Resize(size);
      ok = ok && scratch.Size() == size;
    }
    return ok;
  };
  if (!resizeAll(bytes)) {
    resizeAll(oldBytes);  // only lowers sizes within existing blocks: cannot fail
    return false;
  }

  for (int i = 0; i < inputChannels.Count(); ++i) {
    InputChannel* channel = inputChannels.Get(i);
    std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(bytes));
    if (!channel->connected) inputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
  for (int i = 0; i < outputChannels.Count(); ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(bytes));
    if (!channel->connected) outputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
  blockSize = frames;
  return true;
}

void ChannelBinding::SetInputConnections(int first, int count, bool connected) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    const bool was = channel->connected;
    channel->connected = connected;
    if (connected) continue;
    // The scratch may still hold the last host samples; an unconnected input reads silence.
    if (was && channel->scratch.Size())
      std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(channel->scratch.Size()));
    inputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
}

void ChannelBinding::SetOutputConnections(int first, int count, bool connected) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    channel->connected = connected;
    if (!connected) outputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
}

void ChannelBinding::ConnectInputsFloat(int first, int count, float* const* buffers, int offset) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatSource = At(buffers, k, offset);
    channel->doubleSource = nullptr;
    ++k;
  }
}

void ChannelBinding::ConnectInputsDouble(int first, int count, double* const* buffers, int offset) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatSource = nullptr;
    channel->doubleSource = At(buffers, k, offset);
    ++k;
  }
}

void ChannelBinding::ConnectOutputsFloat(int first, int count, float* const* buffers, int offset) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatDestination = At(buffers, k, offset);
    channel->doubleDestination = nullptr;
    ++k;
  }
}

void ChannelBinding::ConnectOutputsDouble(int first, int count, double* const* buffers, int offset) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatDestination = nullptr;
    channel->doubleDestination = At(buffers, k, offset);
    ++k;
  }
}

void ChannelBinding::ProcessToFloat(BlockProcessor& processor, int frames) {
  ProcessInPieces(processor, frames, Delivery::kToFloat);
}
void ChannelBinding::ProcessAccumulateFloat(BlockProcessor& processor, int frames) {
  ProcessInPieces(processor, frames, Delivery::kAccumulateFloat);
}
void ChannelBinding::ProcessDouble(BlockProcessor& processor, int frames) {
  ProcessInPieces(processor, frames, Delivery::kDouble);
}

void ChannelBinding::ProcessInPieces(BlockProcessor& processor, int frames, Delivery delivery) {
  frames = std::max(frames, 0);
  if (blockSize < 1) {
    // No scratch to process through: replacing calls deliver silence.
    for (int i = 0; i < outputChannels.Count() && delivery != Delivery::kAccumulateFloat; ++i) {
      const OutputChannel* channel = outputChannels.Get(i);
      if (channel->floatDestination) std::fill_n(channel->floatDestination, frames, 0.0f);
      if (channel->doubleDestination) std::fill_n(channel->doubleDestination, frames, 0.0);
    }
    EndBinding();
    return;
  }

  double** inputs = inputSlots.empty() ? nullptr : inputSlots.data();
  double** outputs = outputSlots.empty() ? nullptr : outputSlots.data();
  int done = 0;
  do {
    const int n = std::min(blockSize, frames - done);
    for (int i = 0; i < inputChannels.Count(); ++i) {
      InputChannel* channel = inputChannels.Get(i);
      double* scratch = Samples(channel->scratch);
      double*& slot = inputSlots[static_cast<std::size_t>(channel->slot)];
      if (channel->connected && channel->doubleSource) {
        slot = channel->doubleSource + done;
        continue;
      }
      if (channel->connected) {
        if (channel->floatSource)
          std::copy_n(channel->floatSource + done, n, scratch);
        else
          std::fill_n(scratch, n, 0.0);
      }
      slot = scratch;
    }
    for (int i = 0; i < outputChannels.Count(); ++i) {
      OutputChannel* channel = outputChannels.Get(i);
      double*& slot = outputSlots[static_cast<std::size_t>(channel->slot)];
      slot = channel->connected && channel->doubleDestination ? channel->doubleDestination + done
                                                              : Samples(channel->scratch);
      // Host float buffers are usually cold: fetch them while the block is processed.
      if (channel->connected && channel->floatDestination) PrefetchForWrite(channel->floatDestination + done, n);
    }

    processor.ProcessBlock(inputs, outputs, n);

    for (int i = 0; i < outputChannels.Count() && delivery != Delivery::kDouble; ++i) {
      const OutputChannel* channel = outputChannels.Get(i);
      if (!channel->connected || !channel->floatDestination) continue;
      const double* source = outputSlots[static_cast<std::size_t>(channel->slot)];
      float* destination = channel->floatDestination + done;
      if (delivery == Delivery::kToFloat)
        for (int s = 0; s < n; ++s) destination[s] = static_cast<float>(source[s]);
      else
        for (int s = 0; s < n; ++s) destination[s] = static_cast<float>(source[s]) + destination[s];
    }
    done += n;
  } while (done < frames);
  EndBinding();
}

void ChannelBinding::EndBinding() {
  for (int i = 0; i < inputChannels.Count(); ++i) {
    InputChannel* channel = inputChannels.Get(i);
    channel->floatSource = nullptr;
    channel->doubleSource = nullptr;
  }
  for (int i = 0; i < outputChannels.Count(); ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    channel->floatDestination = nullptr;
    channel->doubleDestination = nullptr;
  }
}

}  // namespace tarvel
