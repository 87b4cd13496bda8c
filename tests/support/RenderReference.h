#pragma once
// What tarvel-render makes of a signal through the built VST 2.4 module: the
// reference that every format's output must match.

#include <cstdint>
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

}  // namespace tarvel::test
