// A Linux host's three threads around an open editor (under xvfb-run, and
// under ThreadSanitizer with the label "threads"): the audio thread
// processes, the GUI thread idles the editor and presses in it, a third
// thread sets parameters.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "effect/Tarvel.h"
#include "tools/host/X11Window_x11.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace tarvel::test {
namespace {

TEST(EditorThreadsX11, AudioGuiIdleAndParametersTogether) {
  AEffect* effect = VSTPluginMain(nullptr);
  ASSERT_NE(effect, nullptr);
  const InstanceSlot& slot = *dynamic_cast<Tarvel&>(static_cast<IPlugVST*>(effect->object)->Plug()).Slot();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

  std::atomic<bool> done{false};
  std::atomic<int> ticks{0};
  std::thread gui([&] {
    std::string error;
    auto host = X11HostWindow::Create(768, 768, error);
    ASSERT_TRUE(host) << error;
    ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, host->Handle(), 0.0f), 1);
    const unsigned long editor = host->Children().front();
    for (int round = 0; !done; ++round) {
      if (round % 8 == 0) host->SendButton(editor, round % 700, 10, 1, round % 16 == 0, round % 16 == 0 ? 0 : kHeldLeft);
      effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
      ++ticks;
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  });
  std::thread parameters([&] {
    for (int round = 0; !done; ++round) {
      effect->setParameter(effect, round % 5, static_cast<float>(round % 10) / 10.0f);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    for (int block = 0; block < 400; ++block) {
      for (int i = 0; i < 256; ++i) left[i] = right[i] = (i % 32) < 16 ? 0.25f : -0.25f;
      float* io[2] = {left.data(), right.data()};
      effect->processReplacing(effect, io, io, 256);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    done = true;
  });
  audio.join();
  parameters.join();
  gui.join();
  EXPECT_GT(ticks.load(), 10);
  EXPECT_NE(slot.frame.load(), 0);  // the editor painted
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace tarvel::test
