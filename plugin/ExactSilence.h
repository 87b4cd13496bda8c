#pragma once
// Whether a host buffer holds exact silence: the formats that flag constant
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

}  // namespace tarvel
