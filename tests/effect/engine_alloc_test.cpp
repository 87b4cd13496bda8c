// The engine allocates nothing after its first call, counted through every
// allocator the program has.
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "dsp/DspHelpers.h"
#include "effect/ConvolutionEngine.h"
#include "effect/InstanceSlot.h"
#include "tests/support/TappedEngine.h"

namespace tarvel {
namespace {

TEST(EngineAllocation, NoneAfterTheFirstCall) {
  test::TappedEngine tapped;
  ASSERT_TRUE(tapped.allocated);
  InstanceSlot& slot = tapped.slot;
  ConvolutionEngine& engine = tapped.engine;
  std::vector<double> buffers[4];
  for (auto& buffer : buffers) buffer.assign(30000, 0.25);
  const double* in[2] = {buffers[0].data(), buffers[1].data()};
  double* out[2] = {buffers[2].data(), buffers[3].data()};
  tapped.Process(in, out, 64);

  // Both hooks must see allocations, also those made inside the libraries.
  const long before = test::AllocationCount();
  std::vector<int> probe(3);
  const long afterNew = test::AllocationCount();
  ASSERT_GT(afterNew, before);
  std::free(GrowZeroed(nullptr, 0, 4, 8));
  ASSERT_GT(test::AllocationCount(), afterNew);

  const long start = test::AllocationCount();
  int band = 0;
  for (const int frames : {0, 1, 64, 512, 1000, 1536, 4096, 5000, 25600, 30000, 7}) {
    engine.SetTargetGain(band++ % kBandCount, 0.5 + frames % 3);  // crossfades too
    slot.CopyDisplayValues({});  // an open editor keeps the display feed running
    tapped.Process(in, out, frames);
  }
  EXPECT_EQ(test::AllocationCount() - start, 0);
}

}  // namespace
}  // namespace tarvel
