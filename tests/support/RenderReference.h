#pragma once
// What tarvel-render makes of a signal through the built VST 2.4 module, and
// a span of a signal through it as a host calls it: the reference that every
// format's output must match.

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/render/AlignedProcessor.h"

namespace tarvel::test {

// `input` (planar, one vector per channel) through an instance set up and
// resumed, by the renderer's own processor: whole calls of silence first,
// the latency removed.
inline std::vector<std::vector<double>> RenderLikeTarvelRender(PluginInstance& instance,
                                                              const std::vector<std::vector<double>>& input) {
  std::vector<std::vector<double>> output(input.size());
  std::vector<const double*> channels;
  for (const auto& channel : input) channels.push_back(channel.data());
  AlignedProcessor processor(instance, static_cast<int>(input.size()), ProcessMode::kDouble);
  const AlignedProcessor::Sink sink = [&](const double* const* data, std::int64_t frames) {
    for (std::size_t c = 0; c < output.size(); ++c) output[c].insert(output[c].end(), data[c], data[c] + frames);
  };
  processor.Push(channels.data(), static_cast<std::int64_t>(input.empty() ? 0 : input[0].size()), sink);
  processor.Finish(sink);
  return output;
}

// Frames [from, from + n) of the stereo `in` through the instance in one
// call at the sample width of `in` (processReplacing for float,
// processDoubleReplacing for double), into the same frames of `expected`.
template <typename Sample>
void ReferenceSpan(PluginInstance& instance, const std::vector<Sample> (&in)[2], std::vector<double> (&expected)[2],
                   int from, int n) {
  if (n <= 0) return;
  if constexpr (std::is_same_v<Sample, float>) {
    std::vector<float> out[2] = {std::vector<float>(n), std::vector<float>(n)};
    float* inPtr[2] = {const_cast<float*>(in[0].data()) + from, const_cast<float*>(in[1].data()) + from};
    float* outPtr[2] = {out[0].data(), out[1].data()};
    instance.ProcessFloat(inPtr, outPtr, n);
    for (int c = 0; c < 2; ++c) std::copy(out[c].begin(), out[c].end(), expected[c].begin() + from);
  } else {
    const double* inPtr[2] = {in[0].data() + from, in[1].data() + from};
    double* outPtr[2] = {expected[0].data() + from, expected[1].data() + from};
    instance.ProcessCall(ProcessMode::kDouble, inPtr, outPtr, n);
  }
}

}  // namespace tarvel::test
