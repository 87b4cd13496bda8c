#include "tools/render/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "effect/TarvelParameters.h"

namespace tarvel {
namespace {

// White noise through a fixed set of first-order sections whose sum falls by
// 3 dB per octave (within about 0.05 dB above 10 Hz at 44.1 kHz).
class PinkNoise {
 public:
  explicit PinkNoise(unsigned seed) : random_(seed) {}
  double Next() {
    const double white = uniform_(random_);
    b0_ = 0.99886 * b0_ + white * 0.0555179;
    b1_ = 0.99332 * b1_ + white * 0.0750759;
    b2_ = 0.96900 * b2_ + white * 0.1538520;
    b3_ = 0.86650 * b3_ + white * 0.3104856;
    b4_ = 0.55000 * b4_ + white * 0.5329522;
    b5_ = -0.7616 * b5_ - white * 0.0168980;
    const double pink = b0_ + b1_ + b2_ + b3_ + b4_ + b5_ + b6_ + white * 0.5362;
    b6_ = white * 0.115926;
    return pink * 0.11;  // about -20 dBFS RMS
  }

 private:
  std::mt19937 random_;
  std::uniform_real_distribution<double> uniform_{-1.0, 1.0};
  double b0_ = 0, b1_ = 0, b2_ = 0, b3_ = 0, b4_ = 0, b5_ = 0, b6_ = 0;
};

}  // namespace

std::vector<std::vector<double>> MakeDemoSignal(int rate, double seconds) {
  const auto frames = static_cast<size_t>(std::max(0.0, seconds * rate));
  std::vector<std::vector<double>> signal(2, std::vector<double>(frames));
  // The first half is noise; the second half holds the five band centres,
  // one after another, each faded in and out over 10 ms.
  const size_t noiseFrames = frames / 2;
  PinkNoise left(1), right(2);
  for (size_t i = 0; i < noiseFrames; ++i) {
    signal[0][i] = left.Next();
    signal[1][i] = right.Next();
  }
  const auto& centres = kBandCentresHz;
  const size_t toneFrames = (frames - noiseFrames) / centres.size();
  const double fade = 0.01 * rate;
  for (size_t tone = 0; tone < centres.size(); ++tone) {
    if (centres[tone] >= rate / 2.0) continue;
    for (size_t i = 0; i < toneFrames; ++i) {
      const double edge = std::min({1.0, i / fade, (toneFrames - 1 - i) / fade});
      const double value = 0.25 * edge * std::sin(2.0 * std::numbers::pi * centres[tone] * i / rate);
      signal[0][noiseFrames + tone * toneFrames + i] = value;
      signal[1][noiseFrames + tone * toneFrames + i] = value;
    }
  }
  return signal;
}

}  // namespace tarvel
