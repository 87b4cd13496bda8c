#pragma once
// The demo's own test signal: stereo pink noise, then one tone at each band
// centre in turn, so every band's setting can be heard on its own.

#include <vector>

namespace tarvel {

// Two channels of seconds * rate frames; deterministic.
std::vector<std::vector<double>> MakeDemoSignal(int rate, double seconds);

}  // namespace tarvel
