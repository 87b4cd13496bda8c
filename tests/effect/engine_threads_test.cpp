// Hosts create instances on several threads at once while other instances
// process: engines at several rates (so several transform lengths are planned
// at the same time) are allocated on three threads while two others process.
// Run under ThreadSanitizer (label "threads"); every engine's output must be
// what the same engine gives alone.
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "effect/ConvolutionEngine.h"

namespace tarvel {
namespace {

using Channels = std::vector<std::vector<double>>;

constexpr double kRates[] = {44100.0, 48000.0, 64000.0, 96000.0};

Channels Process(ConvolutionEngine& engine, const Channels& x, std::int32_t call) {
  const auto frames = static_cast<std::int32_t>(x[0].size());
  Channels y(2, std::vector<double>(frames));
  for (std::int32_t done = 0; done < frames; done += call) {
    const std::int32_t n = std::min(call, frames - done);
    const double* in[2] = {&x[0][done], &x[1][done]};
    double* out[2] = {&y[0][done], &y[1][done]};
    engine.ProcessBlock(in, out, n);
  }
  return y;
}

Channels Alone(double rate, const Channels& x, std::int32_t call) {
  ConvolutionEngine engine;
  EXPECT_TRUE(engine.AllocateEngine(rate));
  engine.ResetGains({1.5, 0.5, 1.0, 0.25, 2.0});
  return Process(engine, x, call);
}

TEST(EngineThreads, AllocatedOnSeveralThreadsAtOnceWhileOthersProcess) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  Channels x(2, std::vector<double>(14000));
  for (auto& channel : x) {
    for (double& v : channel) v = value(random);
  }

  std::atomic<int> created{0};
  constexpr int kCreators = 3, kEach = 3;
  std::vector<Channels> processed(2), made(kCreators * kEach);
  std::vector<std::thread> threads;
  for (int p = 0; p < 2; ++p) {
    threads.emplace_back([&, p] {
      ConvolutionEngine engine;
      ASSERT_TRUE(engine.AllocateEngine(44100.0));
      engine.ResetGains({1.5, 0.5, 1.0, 0.25, 2.0});
      // Processes until the creators are done, then once more on a fresh
      // start, which is what gets checked.
      while (created.load() < kCreators * kEach) Process(engine, x, 256);
      ASSERT_TRUE(engine.AllocateEngine(44100.0));
      engine.ResetGains({1.5, 0.5, 1.0, 0.25, 2.0});
      processed[p] = Process(engine, x, 256 + p);
    });
  }
  for (int t = 0; t < kCreators; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        ConvolutionEngine engine;
        EXPECT_TRUE(engine.AllocateEngine(kRates[(t + i) % 4]));
        engine.ResetGains({1.5, 0.5, 1.0, 0.25, 2.0});
        made[t * kEach + i] = Process(engine, x, 700);
        created.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int p = 0; p < 2; ++p) EXPECT_EQ(processed[p], Alone(44100.0, x, 256 + p));
  for (int t = 0; t < kCreators; ++t) {
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(made[t * kEach + i], Alone(kRates[(t + i) % 4], x, 700));
  }
}

}  // namespace
}  // namespace tarvel
