#include "tools/render/AlignedProcessor.h"

#include <algorithm>

namespace tarvel {

AlignedProcessor::AlignedProcessor(PluginInstance& instance, int channels, ProcessMode mode)
    : instance_(instance),
      channels_(std::clamp(channels, 0, instance.Effect().numOutputs)),
      mode_(mode),
      block_(instance.BlockSize()),
      latency_(std::max<VstInt32>(instance.Latency(), 0)) {
  const auto frames = static_cast<size_t>(block_);
  in_.assign(static_cast<size_t>(instance.Effect().numInputs), std::vector<double>(frames));
  out_.assign(static_cast<size_t>(instance.Effect().numOutputs), std::vector<double>(frames));
  for (auto& channel : in_) inPtr_.push_back(channel.data());
  for (auto& channel : out_) outPtr_.push_back(channel.data());
  handOn_.resize(static_cast<size_t>(channels_));

  // Whole calls of silence covering the latency: a plug-in that fades to new
  // settings does so while nothing plays.
  const std::int64_t primingCalls = (latency_ + block_ - 1) / block_;
  skip_ = primingCalls * block_ + latency_;
  for (std::int64_t call = 0; call < primingCalls; ++call) RunCall(nullptr);
}

void AlignedProcessor::Push(const double* const* input, std::int64_t frames, const Sink& sink) {
  for (std::int64_t done = 0; done < frames;) {
    const auto part = static_cast<VstInt32>(std::min<std::int64_t>(frames - done, block_ - fill_));
    for (int c = 0; c < channels_ && c < static_cast<int>(in_.size()); ++c) {
      std::copy_n(input[c] + done, part, in_[static_cast<size_t>(c)].data() + fill_);
    }
    fill_ += part;
    done += part;
    pushed_ += part;
    if (fill_ == block_) RunCall(sink);
  }
}

void AlignedProcessor::Finish(const Sink& sink) {
  while (handed_ < pushed_) {
    for (auto& channel : in_) std::fill(channel.begin() + fill_, channel.end(), 0.0);
    fill_ = block_;
    RunCall(sink);
  }
}

void AlignedProcessor::RunCall(const Sink& sink) {
  if (mode_ == ProcessMode::kAccumulate) {
    for (auto& channel : out_) std::fill(channel.begin(), channel.end(), 0.0);
  }
  instance_.ProcessCall(mode_, inPtr_.data(), outPtr_.data(), block_);
  fill_ = 0;

  const std::int64_t dropped = std::min<std::int64_t>(skip_, block_);
  skip_ -= dropped;
  const std::int64_t frames = std::min<std::int64_t>(block_ - dropped, pushed_ - handed_);
  if (frames <= 0 || !sink) return;
  for (int c = 0; c < channels_; ++c) handOn_[static_cast<size_t>(c)] = out_[static_cast<size_t>(c)].data() + dropped;
  sink(handOn_.data(), frames);
  handed_ += frames;
}

}  // namespace tarvel
