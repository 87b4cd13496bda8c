// Counts every heap allocation made while the engine processes: operator new
// is replaced and malloc/calloc/realloc are wrapped at link time.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/SpectralHelpers.h"
#include "effect/ConvolutionEngine.h"
#include "effect/InstanceSlot.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);
void* __wrap_malloc(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return __real_realloc(block, size);
}
}

// None of the replacements is inlined: seeing malloc and free behind them, the
// compiler would report every new-expression as mismatched with its delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace tarvel {
namespace {

TEST(EngineAllocation, NoneAfterTheFirstCall) {
  InstanceSlot slot;
  ConvolutionEngine engine;
  ASSERT_TRUE(engine.AllocateEngine(44100.0));
  engine.SetDisplaySlot(&slot);
  std::vector<double> buffers[4];
  for (auto& buffer : buffers) buffer.assign(30000, 0.25);
  const double* in[2] = {buffers[0].data(), buffers[1].data()};
  double* out[2] = {buffers[2].data(), buffers[3].data()};
  engine.ProcessBlock(in, out, 64);

  // Both hooks must see allocations, also those made inside the libraries.
  const long before = allocations.load();
  std::vector<int> probe(3);
  const long afterNew = allocations.load();
  ASSERT_GT(afterNew, before);
  std::free(GrowZeroed(nullptr, 0, 4, 8));
  ASSERT_GT(allocations.load(), afterNew);

  const long start = allocations.load();
  int band = 0;
  for (const int frames : {0, 1, 64, 512, 1000, 1536, 4096, 5000, 25600, 30000, 7}) {
    engine.SetTargetGain(band++ % kBandCount, 0.5 + frames % 3);  // crossfades too
    engine.ProcessBlock(in, out, frames);
  }
  EXPECT_EQ(allocations.load() - start, 0);
}

}  // namespace
}  // namespace tarvel
