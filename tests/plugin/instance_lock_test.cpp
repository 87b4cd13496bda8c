// The instance lock under contention (run under ThreadSanitizer as well).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestPlug.h"

namespace tarvel::test {
namespace {

TEST(RecursiveLock, SameThreadMayTakeItAgainOthersWait) {
  RecursiveLock lock;
  long counter = 0;  // plain: only the lock keeps the threads apart
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      LockGuard outer(lock);
      LockGuard inner(lock);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

// An effect that applies its parameter's value as a gain, read sample by sample.
class GainPlug : public TestPlug {
 public:
  GainPlug() : TestPlug("2-2", 1) {}
  void ProcessBlock(double** inputs, double** outputs, int frames) override {
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < frames; ++i) {
        outputs[c][i] = inputs[c][i] * GetParameter(0)->Value();
        if (i == frames / 2) std::this_thread::yield();  // invite a change in mid-block
      }
  }
};

TEST(InstanceLock, ParameterChangesNeverLandInsideABlock) {
  GainPlug plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  ASSERT_TRUE(plug.SetBlockSize(256));
  std::atomic<bool> done{false};

  std::thread editor([&] {
    for (int i = 0; !done; ++i) plug.SetParameterFromGUI(0, (i % 100) / 100.0);
  });
  std::vector<double> in(256, 1.0), left(256), right(256);
  double* inputs[2] = {in.data(), in.data()};
  double* outputs[2] = {left.data(), right.data()};
  int mixed = 0;
  for (int call = 0; call < 1000; ++call) {
    LockGuard guard(plug.InstanceLock());  // as the host adapter does around a process call
    plug.Channels().ConnectInputsDouble(0, 2, inputs);
    plug.Channels().ConnectOutputsDouble(0, 2, outputs);
    plug.ProcessDouble(256);
    for (int i = 1; i < 256; ++i) mixed += left[i] != left[0] || right[i] != left[0];
  }
  done = true;
  editor.join();
  EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace tarvel::test
