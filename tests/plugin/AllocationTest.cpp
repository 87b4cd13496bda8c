// Counts every heap allocation of the program: malloc, calloc and realloc are
// wrapped at link time (-Wl,--wrap) and operator new is replaced, so nothing
// the audio path could call escapes the count.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "TestPlug.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);

void* __wrap_malloc(std::size_t size) {
  ++allocations;
  return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  ++allocations;
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, std::size_t size) {
  ++allocations;
  return __real_realloc(block, size);
}
}

void* operator new(std::size_t size) {
  ++allocations;
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace tarvel::test {
namespace {

TEST(AudioPath, TheCounterSeesBothKindsOfAllocation) {
  const long before = allocations;
  GrowBuffer buffer;
  buffer.Resize(100);
  auto boxed = std::make_unique<int>(1);
  EXPECT_GE(allocations - before, 2);
}

TEST(AudioPath, BindingAndProcessingAllocateNothing) {
  TestPlug plug;
  plug.SetInputConnections(0, 2, true);
  plug.SetOutputConnections(0, 2, true);
  ASSERT_TRUE(plug.SetBlockSize(512));
  std::vector<double> inD(2048, 0.25), outD(2048);
  std::vector<float> inF(2048, 0.5f), outF(2048);
  double* inputsD[2] = {inD.data(), inD.data() + 1024};
  double* outputsD[2] = {outD.data(), outD.data() + 1024};
  float* inputsF[2] = {inF.data(), inF.data() + 1024};
  float* outputsF[2] = {outF.data(), outF.data() + 1024};

  const long before = allocations;
  for (int call = 0; call < 4; ++call) {
    plug.ConnectInputsDouble(0, 2, inputsD);
    plug.ConnectOutputsDouble(0, 2, outputsD);
    plug.ProcessDouble(512);
    plug.ConnectInputsFloat(0, 2, inputsF);
    plug.ConnectOutputsFloat(0, 2, outputsF);
    plug.ProcessToFloat(1024);  // two pieces
    plug.ConnectInputsFloat(0, 2, inputsF);
    plug.ConnectOutputsFloat(0, 2, outputsF);
    plug.ProcessAccumulateFloat(700);
  }
  EXPECT_EQ(allocations - before, 0);
  EXPECT_EQ(outD[511], 0.25);
  EXPECT_EQ(outF[0], 1.0f);
}

}  // namespace
}  // namespace tarvel::test
