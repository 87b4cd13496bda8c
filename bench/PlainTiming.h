#pragma once
// What the plain timing programs (bench_vst3, bench_clap) share: the calling
// thread's CPU time, deterministic noise, the median of a series of rounds,
// and the one way to give up.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace tarvel::bench {

inline constexpr std::size_t kNoiseFrames = 1 << 16;

inline double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Sample>
std::vector<Sample> Noise(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-0.5, 0.5);
  std::vector<Sample> values(kNoiseFrames);
  for (Sample& v : values) v = static_cast<Sample>(value(random));
  return values;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

[[noreturn]] inline void Fail(const char* program, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program, what.c_str());
  std::exit(1);
}

}  // namespace tarvel::bench
