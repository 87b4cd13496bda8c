#pragma once
// Test signals: uniform noise in [-amplitude, amplitude), the same for the
// same seed on every target.

#include <cstddef>
#include <random>
#include <vector>

namespace tarvel::test {

template <typename Sample = double>
std::vector<Sample> Noise(std::size_t frames, unsigned seed, double amplitude = 1.0) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
  std::vector<Sample> noise(frames);
  for (Sample& sample : noise) sample = static_cast<Sample>(uniform(random));
  return noise;
}

}  // namespace tarvel::test
