#pragma once
// How closely a format's output follows a reference over both channels: the
// largest difference, and how loud the reference is (so that a comparison
// shows it saw sound, not two silences).

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tarvel::test {

struct Agreement {
  double worst = 0.0;
  double loudest = 0.0;
};

// got[c][i] against expected[c][offset + i] for i < frames, c < 2.
template <typename Got, typename Expected>
Agreement Agree(const Got& got, const Expected& expected, std::size_t frames, std::size_t offset = 0) {
  Agreement agreement;
  for (int c = 0; c < 2; ++c) {
    for (std::size_t i = 0; i < frames; ++i) {
      const double reference = static_cast<double>(expected[c][offset + i]);
      agreement.worst = std::max(agreement.worst, std::abs(static_cast<double>(got[c][i]) - reference));
      agreement.loudest = std::max(agreement.loudest, std::abs(reference));
    }
  }
  return agreement;
}

}  // namespace tarvel::test
