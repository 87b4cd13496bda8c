// The editor reads the display summary on its own thread while the engine
// writes it: run both at once (ThreadSanitizer watches for unsynchronised
// access) and check the reader never sees more than was allocated.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "effect/ConvolutionEngine.h"
#include "effect/InstanceSlot.h"
#include "tests/support/TappedEngine.h"

namespace tarvel {
namespace {

TEST(DisplayFeed, ReaderOnAnotherThreadWhileCallLengthsChange) {
  test::TappedEngine tapped;
  ASSERT_TRUE(tapped.allocated);
  InstanceSlot& slot = tapped.slot;

  std::atomic<bool> stop{false};
  std::atomic<int> badCounts{0};
  std::thread reader([&] {
    std::vector<std::int32_t> seen(4 * kDisplayCapacity);
    while (!stop.load()) {
      const std::int32_t count = slot.CopyDisplayValues(seen);
      if (count < 0 || count > kDisplayCapacity || count % 2 != 0) badCounts.fetch_add(1);
      slot.frame.fetch_add(1, std::memory_order_relaxed);
    }
  });

  std::vector<double> left(6000, 0.5), right(6000, -0.25), outL(6000), outR(6000);
  const double* in[2] = {left.data(), right.data()};
  double* out[2] = {outL.data(), outR.data()};
  for (int call = 0; call < 300; ++call) {
    const int frames = (call * 397) % 6000;
    tapped.Process(in, out, frames);
  }
  stop.store(true);
  reader.join();
  EXPECT_EQ(badCounts.load(), 0);
}

}  // namespace
}  // namespace tarvel
