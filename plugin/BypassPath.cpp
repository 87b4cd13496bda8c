#include "plugin/BypassPath.h"

namespace tarvel {

void BypassPath::Size(int latency, int newFadeFrames, int maxFrames) {
  fadeFrames = std::max(newFadeFrames, 1);
  Restart();
  for (int c = 0; c < kChannels; ++c) {
    ring[c].assign(static_cast<std::size_t>(std::max(latency, 0)), 0.0);
    delayed[c].assign(static_cast<std::size_t>(std::max(maxFrames, 1)), 0.0);
  }
}

void BypassPath::Restart() {
  fadePosition = 0;
  recording = false;
  mixing = false;
  ringPosition = 0;
}

}  // namespace tarvel
