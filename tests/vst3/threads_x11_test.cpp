// The VST3 edition as hosts call it from two threads (run under xvfb-run and
// ThreadSanitizer, label "threads"): the audio thread processes with
// parameter queues while the main thread sets values through the controller,
// saves and loads state and ticks an attached editor from its run loop, and
// the editor's window opens and closes while a process call is under way.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/Vst3TestSupport.h"
#include "tools/host/X11Window_x11.h"
#include "vst3/Vst3Factory.h"

namespace tarvel::vst3 {
namespace {

// One instance in-process, set up (32-bit, 256 frames at 48 kHz) and active,
// with a view attached to a window of the test's: the two threads' shared
// object.
class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    host = X11HostWindow::Create(768, 768, error);
    ASSERT_TRUE(host) << error;
    void* obj = nullptr;
    ASSERT_EQ(ModuleFactory()->createInstance(kTarvelClassId.data(), kIComponentIid.data(), &obj), kResultOk);
    component = static_cast<IComponent*>(obj);
    ASSERT_EQ(component->initialize(nullptr), kResultOk);
    processor = Query<IAudioProcessor>(*component, kIAudioProcessorIid);
    controller = Query<IEditController>(*component, kIEditControllerIid);
    ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
    ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(component->setActive(1), kResultOk);
    view = controller->createView(kEditorViewName);
    ASSERT_NE(view, nullptr);
    view->setFrame(&loop);
  }
  void TearDown() override {
    if (view) view->release();
    if (!component) return;
    component->setActive(0);
    component->terminate();
    controller->release();
    processor->release();
    component->release();
  }
  tresult Attach() { return view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID); }
  // One call of 256 frames on this thread.
  tresult Process(float* left, float* right, IParameterChanges* changes) {
    float* io[2] = {left, right};
    AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.channelBuffers32 = io;
    ProcessData data{};
    data.numSamples = 256;
    data.numInputs = data.numOutputs = 1;
    data.inputs = data.outputs = &bus;
    data.inputParameterChanges = changes;
    return processor->process(data);
  }

  std::unique_ptr<X11HostWindow> host;
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IPlugView* view = nullptr;
  TestRunLoop loop;
};

TEST_F(Threads, ProcessingWithQueuesWhileTheMainThreadSetsAndTicks) {
  ASSERT_EQ(Attach(), kResultOk);
  ASSERT_EQ(loop.timers.size(), 1u);

  std::atomic<bool> done{false};
  float peak = 0.0f;
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    ParamChanges changes;
    for (int block = 0; block < 300; ++block) {
      for (int i = 0; i < 256; ++i) left[i] = right[i] = (i % 32) < 16 ? 0.5f : -0.5f;
      changes.Clear();
      changes.Add(static_cast<ParamID>(block % 6), 17, (block % 7) / 7.0);
      if (Process(left.data(), right.data(), &changes) != kResultOk) ADD_FAILURE();
      for (float v : left) peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 1e30f);
    }
    done = true;
  });
  for (int round = 0; !done; ++round) {
    controller->setParamNormalized(static_cast<ParamID>(round % 5), (round % 10) / 10.0);
    MemoryStream saved;
    component->getState(&saved);
    MemoryStream load(saved.Bytes());
    component->setState(&load);
    controller->getParamNormalized(static_cast<ParamID>(round % 6));
    loop.Fire();
  }
  audio.join();
  EXPECT_GT(peak, 0.0f);
  EXPECT_LT(peak, 100.0f);
  EXPECT_EQ(view->removed(), kResultOk);
}

// Parameter changes whose reading (inside process, under the instance lock)
// waits until the test lets the call go on; the wait gives up after a while,
// so a call that the main thread waits for ends the test as a failure, not a
// hang.
class HeldChanges final : public IParameterChanges {
 public:
  tresult queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  int32 getParameterCount() override {
    std::unique_lock<std::mutex> lock(mutex);
    inside = true;
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(20), [this] { return letGo; });
    return 0;
  }
  IParamValueQueue* getParameterData(int32) override { return nullptr; }
  IParamValueQueue* addParameterData(const ParamID&, int32&) override { return nullptr; }

  void WaitUntilInside() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return inside; });
  }
  void LetGo() {
    std::lock_guard<std::mutex> lock(mutex);
    letGo = true;
    changed.notify_all();
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  bool inside = false;
  bool letGo = false;
};

TEST_F(Threads, TheEditorOpensAndClosesWhileAProcessCallIsUnderWay) {
  // One call that holds the instance lock until the view has done `step`.
  const auto whileProcessing = [&](const auto& step) {
    HeldChanges held;
    std::atomic<bool> returned{false};
    std::thread audio([&] {
      std::vector<float> left(256, 0.25f), right(256, -0.25f);
      EXPECT_EQ(Process(left.data(), right.data(), &held), kResultOk);
      returned = true;
    });
    held.WaitUntilInside();
    const tresult result = step();
    // The view did not wait for the call: it is still under way.
    EXPECT_FALSE(returned);
    held.LetGo();
    audio.join();
    return result;
  };
  EXPECT_EQ(whileProcessing([&] { return Attach(); }), kResultOk);
  ASSERT_EQ(loop.timers.size(), 1u);
  loop.Fire();
  EXPECT_EQ(whileProcessing([&] { return view->removed(); }), kResultOk);
}

}  // namespace
}  // namespace tarvel::vst3
