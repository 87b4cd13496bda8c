#pragma once
// Whether host buffers hold exact silence: the formats that flag constant
// silence to their host (VST3, CLAP) flag a channel only then.

#include <algorithm>
#include <cstdint>

namespace tarvel {

// Frames > 0 of zeros. Sound rarely starts with an exact zero: the first
// sample answers most calls.
template <typename Sample>
bool AllZero(const Sample* samples, std::int64_t frames) {
  return frames > 0 && samples[0] == Sample(0) &&
         std::all_of(samples, samples + frames, [](Sample s) { return s == Sample(0); });
}

// The channels [0, count) (count <= 64) that hold frames of zeros, as bits;
// a null array or channel is not silent.
template <typename Sample>
std::uint64_t SilentChannels(Sample* const* channels, int count, std::int64_t frames) {
  std::uint64_t mask = 0;
  for (int c = 0; channels && c < count; ++c)
    if (channels[c] && AllZero(channels[c], frames)) mask |= std::uint64_t{1} << c;
  return mask;
}

}  // namespace tarvel
