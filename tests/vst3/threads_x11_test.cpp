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

#include "tools/host/X11Window_x11.h"
#include "tools/host3/Vst3Instance.h"
#include "vst3/Vst3Factory.h"

namespace tarvel::vst3 {
namespace {

// A frame whose run loop keeps the one timer for the test to fire.
class OneTimerLoop final : public IPlugFrame, public IRunLoop {
 public:
  tresult queryInterface(const TUID iid, void** obj) override {
    *obj = nullptr;
    if (SameUid(iid, kIPlugFrameIid))
      *obj = static_cast<IPlugFrame*>(this);
    else if (SameUid(iid, kIRunLoopIid))
      *obj = static_cast<IRunLoop*>(this);
    else
      return kNoInterface;
    return kResultOk;
  }
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  tresult resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
  tresult registerEventHandler(IEventHandler*, int) override { return kResultOk; }
  tresult unregisterEventHandler(IEventHandler*) override { return kResultOk; }
  tresult registerTimer(ITimerHandler* handler, uint64) override {
    timer = handler;
    return kResultOk;
  }
  tresult unregisterTimer(ITimerHandler*) override {
    timer = nullptr;
    return kResultOk;
  }
  ITimerHandler* timer = nullptr;
};

template <typename Interface>
Interface* Query(FUnknown& object, const Uid& iid) {
  void* obj = nullptr;
  EXPECT_EQ(object.queryInterface(iid.data(), &obj), kResultOk);
  return static_cast<Interface*>(obj);
}

TEST(Threads, ProcessingWithQueuesWhileTheMainThreadSetsAndTicks) {
  std::string error;
  auto host = X11HostWindow::Create(768, 768, error);
  ASSERT_TRUE(host) << error;
  void* obj = nullptr;
  ASSERT_EQ(ModuleFactory()->createInstance(kTarvelClassId.data(), kIComponentIid.data(), &obj), kResultOk);
  auto* component = static_cast<IComponent*>(obj);
  ASSERT_EQ(component->initialize(nullptr), kResultOk);
  auto* processor = Query<IAudioProcessor>(*component, kIAudioProcessorIid);
  auto* controller = Query<IEditController>(*component, kIEditControllerIid);
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(component->setActive(1), kResultOk);

  OneTimerLoop loop;
  IPlugView* view = controller->createView(kEditorViewName);
  ASSERT_NE(view, nullptr);
  view->setFrame(&loop);
  ASSERT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_NE(loop.timer, nullptr);

  std::atomic<bool> done{false};
  float peak = 0.0f;
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    ParamChanges changes;
    for (int block = 0; block < 300; ++block) {
      for (int i = 0; i < 256; ++i) left[i] = right[i] = (i % 32) < 16 ? 0.5f : -0.5f;
      changes.Clear();
      changes.Add(static_cast<ParamID>(block % 6), 17, (block % 7) / 7.0);
      float* io[2] = {left.data(), right.data()};
      AudioBusBuffers bus{};
      bus.numChannels = 2;
      bus.channelBuffers32 = io;
      ProcessData data{};
      data.numSamples = 256;
      data.numInputs = data.numOutputs = 1;
      data.inputs = data.outputs = &bus;
      data.inputParameterChanges = &changes;
      if (processor->process(data) != kResultOk) ADD_FAILURE();
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
    loop.timer->onTimer();
  }
  audio.join();
  EXPECT_GT(peak, 0.0f);
  EXPECT_LT(peak, 100.0f);

  EXPECT_EQ(view->removed(), kResultOk);
  view->release();
  component->setActive(0);
  component->terminate();
  controller->release();
  processor->release();
  component->release();
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

TEST(Threads, TheEditorOpensAndClosesWhileAProcessCallIsUnderWay) {
  std::string error;
  auto host = X11HostWindow::Create(768, 768, error);
  ASSERT_TRUE(host) << error;
  void* obj = nullptr;
  ASSERT_EQ(ModuleFactory()->createInstance(kTarvelClassId.data(), kIComponentIid.data(), &obj), kResultOk);
  auto* component = static_cast<IComponent*>(obj);
  ASSERT_EQ(component->initialize(nullptr), kResultOk);
  auto* processor = Query<IAudioProcessor>(*component, kIAudioProcessorIid);
  auto* controller = Query<IEditController>(*component, kIEditControllerIid);
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(component->setActive(1), kResultOk);
  OneTimerLoop loop;
  IPlugView* view = controller->createView(kEditorViewName);
  ASSERT_NE(view, nullptr);
  view->setFrame(&loop);

  // One call that holds the instance lock until the view has done `step`.
  const auto whileProcessing = [&](const auto& step) {
    HeldChanges held;
    std::atomic<bool> returned{false};
    std::thread audio([&] {
      std::vector<float> left(256, 0.25f), right(256, -0.25f);
      float* io[2] = {left.data(), right.data()};
      AudioBusBuffers bus{};
      bus.numChannels = 2;
      bus.channelBuffers32 = io;
      ProcessData data{};
      data.numSamples = 256;
      data.numInputs = data.numOutputs = 1;
      data.inputs = data.outputs = &bus;
      data.inputParameterChanges = &held;
      EXPECT_EQ(processor->process(data), kResultOk);
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
  EXPECT_EQ(whileProcessing([&] { return view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID); }),
            kResultOk);
  ASSERT_NE(loop.timer, nullptr);
  loop.timer->onTimer();
  EXPECT_EQ(whileProcessing([&] { return view->removed(); }), kResultOk);

  view->release();
  component->setActive(0);
  component->terminate();
  controller->release();
  processor->release();
  component->release();
}

}  // namespace
}  // namespace tarvel::vst3
