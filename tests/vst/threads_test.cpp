// Hosts call from several threads at once: the entry from any thread, the
// process callbacks from the audio thread while the GUI thread changes
// parameters and state. Run under ThreadSanitizer (label "threads").

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>
#include <thread>
#include <vector>

#include "effect/Tarvel.h"
#include "gui/IGraphics.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace tarvel::test {
namespace {

TEST(Threads, ConcurrentEntriesBuildDistinctInstances) {
  constexpr int kThreads = 4;
  constexpr int kEach = 4;
  std::vector<std::vector<AEffect*>> built(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&built, t] {
      for (int i = 0; i < kEach; ++i) built[t].push_back(VSTPluginMain(nullptr));
    });
  for (std::thread& thread : threads) thread.join();

  std::set<std::int32_t> slots;
  for (const auto& effects : built)
    for (AEffect* effect : effects) {
      ASSERT_NE(effect, nullptr);
      slots.insert(dynamic_cast<Tarvel&>(static_cast<IPlugVST*>(effect->object)->Plug()).SlotIndex());
    }
  EXPECT_EQ(slots.size(), static_cast<std::size_t>(kThreads * kEach));
  for (const auto& effects : built)
    for (AEffect* effect : effects) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(Threads, ProcessingWhileTheGuiThreadChangesState) {
  AEffect* effect = VSTPluginMain(nullptr);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

  std::atomic<bool> done{false};
  float peak = 0.0f;
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    for (int block = 0; block < 300; ++block) {
      for (int i = 0; i < 256; ++i) left[i] = right[i] = (i % 32) < 16 ? 0.5f : -0.5f;
      float* io[2] = {left.data(), right.data()};
      effect->processReplacing(effect, io, io, 256);
      for (float v : left) peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 1e30f);
    }
    done = true;
  });
  std::thread gui([&] {
    char text[8] = "-6";
    for (int round = 0; !done; ++round) {
      effect->setParameter(effect, round % 5, static_cast<float>(round % 10) / 10.0f);
      effect->dispatcher(effect, effString2Parameter, (round + 2) % 5, 0, text, 0.0f);
      void* chunk = nullptr;
      const auto size = effect->dispatcher(effect, effGetChunk, 1, 0, &chunk, 0.0f);
      effect->dispatcher(effect, effSetChunk, 1, size, chunk, 0.0f);
      effect->getParameter(effect, round % 5);
    }
  });
  audio.join();
  gui.join();
  EXPECT_GT(peak, 0.0f);
  EXPECT_LT(peak, 100.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// A control bound to a parameter, as an editor with knobs would have.
class BoundControl final : public IControl {
 public:
  BoundControl(IPlugBase& plug, int index) : IControl(plug, PixelRect{0, 0, 10, 10}) { SetParamIndex(index); }
  bool Render(IGraphics&) override { return true; }
};

TEST(Threads, EditorDrawsWhileAudioRunsAndTheHostSetsParameters) {
  AEffect* effect = VSTPluginMain(nullptr);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 200, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  IPlugBase& plug = static_cast<IPlugVST*>(effect->object)->Plug();
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  ASSERT_NE(graphics, nullptr);
  IControl* knob = graphics->GetControl(graphics->AddControl(std::make_unique<BoundControl>(plug, 2)));
  ASSERT_NE(knob, nullptr);

  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  std::thread audio([&] {
    std::vector<float> left(200, 0.25f), right(200, -0.5f);
    float* io[2] = {left.data(), right.data()};
    for (int block = 0; block < 400 || frames < 20; ++block) effect->processReplacing(effect, io, io, 200);
    done = true;
  });
  std::thread host([&] {
    for (int round = 0; !done; ++round) {
      effect->setParameter(effect, round % 5, static_cast<float>(round % 7) / 7.0f);
      void* chunk = nullptr;
      const auto size = effect->dispatcher(effect, effGetChunk, 1, 0, &chunk, 0.0f);
      effect->dispatcher(effect, effSetChunk, 1, size, chunk, 0.0f);  // pushes every value
    }
  });
  while (!done) {  // this thread is the GUI thread: the editor's ticks
    PixelRect dirty;
    if (graphics->CollectDirtyRect(dirty)) graphics->RenderRect(dirty);
    ++frames;
  }
  audio.join();
  host.join();
  PixelRect dirty;
  graphics->CollectDirtyRect(dirty);
  EXPECT_FLOAT_EQ(static_cast<float>(knob->Value()), effect->getParameter(effect, 2));
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace tarvel::test
