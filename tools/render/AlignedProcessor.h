#pragma once
// Runs a signal through a plug-in instance in host-sized calls and hands the
// output on aligned with the input, sample for sample: the latency the
// instance reports is removed and its tail flushed, so the output is exactly
// as long as the input.

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/host/PluginInstance.h"

namespace tarvel {

class AlignedProcessor {
 public:
  // Receives channel pointers (as many as the signal has) and a frame count;
  // never null.
  using Sink = std::function<void(const double* const* channels, std::int64_t frames)>;

  // The instance is set up and resumed; its block size is the call length
  // and its latency is read now. channels (1 or 2, at most the instance's
  // output count) feed the first inputs, the others get silence. Before the
  // signal the instance processes at least its latency of silence, so that
  // parameter changes made before the render have settled.
  AlignedProcessor(PluginInstance& instance, int channels, ProcessMode mode);
  AlignedProcessor(const AlignedProcessor&) = delete;
  AlignedProcessor& operator=(const AlignedProcessor&) = delete;

  void Push(const double* const* input, std::int64_t frames, const Sink& sink);
  // Feeds silence until the output of every pushed frame was handed on.
  void Finish(const Sink& sink);

  VstInt32 Latency() const { return latency_; }

 private:
  void RunCall(const Sink& sink);

  PluginInstance& instance_;
  const int channels_;
  const ProcessMode mode_;
  const VstInt32 block_;
  const VstInt32 latency_;
  std::vector<std::vector<double>> in_, out_;
  std::vector<const double*> inPtr_;
  std::vector<double*> outPtr_;
  std::vector<const double*> handOn_;
  VstInt32 fill_ = 0;
  std::int64_t skip_;       // output frames still to drop: the silence before the signal and the latency
  std::int64_t pushed_ = 0;  // signal frames taken
  std::int64_t handed_ = 0;  // output frames handed on
};

}  // namespace tarvel
