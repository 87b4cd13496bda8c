// The audio path of the plug-in core allocates nothing, counted through
// every allocator the program has.

#include <gtest/gtest.h>

#include <vector>

#include "AllocationCounter.h"
#include "TestPlug.h"

namespace tarvel::test {
namespace {

TEST(AudioPath, TheCounterSeesBothKindsOfAllocation) {
  const long before = AllocationCount();
  GrowBuffer buffer;
  buffer.Resize(100);
  auto boxed = std::make_unique<int>(1);
  EXPECT_GE(AllocationCount() - before, 2);
}

TEST(AudioPath, BindingAndProcessingAllocateNothing) {
  TestPlug plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  ASSERT_TRUE(plug.SetBlockSize(512));
  std::vector<double> inD(2048, 0.25), outD(2048);
  std::vector<float> inF(2048, 0.5f), outF(2048);
  double* inputsD[2] = {inD.data(), inD.data() + 1024};
  double* outputsD[2] = {outD.data(), outD.data() + 1024};
  float* inputsF[2] = {inF.data(), inF.data() + 1024};
  float* outputsF[2] = {outF.data(), outF.data() + 1024};

  const long before = AllocationCount();
  for (int call = 0; call < 4; ++call) {
    plug.Channels().ConnectInputsDouble(0, 2, inputsD);
    plug.Channels().ConnectOutputsDouble(0, 2, outputsD);
    plug.ProcessDouble(512);
    plug.Channels().ConnectInputsFloat(0, 2, inputsF);
    plug.Channels().ConnectOutputsFloat(0, 2, outputsF);
    plug.ProcessToFloat(1024);  // two pieces
    plug.Channels().ConnectInputsFloat(0, 2, inputsF);
    plug.Channels().ConnectOutputsFloat(0, 2, outputsF);
    plug.ProcessAccumulateFloat(700);
  }
  EXPECT_EQ(AllocationCount() - before, 0);
  EXPECT_EQ(outD[511], 0.25);
  EXPECT_EQ(outF[0], 1.0f);
}

}  // namespace
}  // namespace tarvel::test
