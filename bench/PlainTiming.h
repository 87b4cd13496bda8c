#pragma once
// What the plain timing programs (bench_vst3, bench_clap) share: the calling
// thread's CPU time, deterministic noise, a round of calls, rounds that
// alternate between two contenders, and the one way to give up.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
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

// One round: `calls` calls of `frames` frames of the noise (left, right)
// through run(in, out), from `position` on; thread CPU seconds per frame.
template <typename Sample, typename Run>
double TimeCalls(const std::vector<Sample>& left, const std::vector<Sample>& right, int frames, int calls,
                 std::size_t& position, Run run) {
  std::vector<Sample> outLeft(static_cast<std::size_t>(frames)), outRight(static_cast<std::size_t>(frames));
  Sample* out[2] = {outLeft.data(), outRight.data()};
  const double start = ThreadSeconds();
  for (int call = 0; call < calls; ++call) {
    Sample* in[2] = {const_cast<Sample*>(left.data()) + position, const_cast<Sample*>(right.data()) + position};
    run(in, out);
    position = (position + static_cast<std::size_t>(frames)) % (kNoiseFrames - static_cast<std::size_t>(frames));
  }
  return (ThreadSeconds() - start) / (static_cast<double>(calls) * frames);
}

// The median round of each of two contenders over rounds that alternate
// between them, so that both see the same machine load. Each round makes
// both afresh, in either order (where the heap places an instance's buffers
// moves its speed by several per cent, so a figure is taken over many
// placements), and each goes first in every other round. makeA() answers a
// pointer to a contender; timeA(contender) times one round of it.
template <typename MakeA, typename TimeA, typename MakeB, typename TimeB>
std::pair<double, double> AlternateRounds(int rounds, MakeA makeA, TimeA timeA, MakeB makeB, TimeB timeB) {
  std::vector<double> a, b;
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) {
      auto first = makeA();
      auto second = makeB();
      a.push_back(timeA(*first));
      b.push_back(timeB(*second));
    } else {
      auto first = makeB();
      auto second = makeA();
      b.push_back(timeB(*first));
      a.push_back(timeA(*second));
    }
  }
  return {Median(a), Median(b)};
}

[[noreturn]] inline void Fail(const char* program, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program, what.c_str());
  std::exit(1);
}

}  // namespace tarvel::bench
