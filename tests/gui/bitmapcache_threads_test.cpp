#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"

namespace tarvel {
namespace {

// Editors of several instances load the same resources at once: every one of
// them must end up with the one shared bitmap per id.
TEST(BitmapCacheThreads, ConcurrentLoadsShareOneBitmapPerId) {
  constexpr int kThreads = 6;
  constexpr int kIds = 24;
  constexpr int kFirstId = 300;
  std::vector<std::vector<LICE_IBitmap*>> seen(kThreads, std::vector<LICE_IBitmap*>(kIds));
  // Instances are built one at a time, as the host's entry lock has it.
  std::vector<std::unique_ptr<testing::RecordingPlug>> plugs;
  std::vector<std::unique_ptr<testing::RecordingGraphics>> editors;
  for (int t = 0; t < kThreads; ++t) {
    plugs.push_back(std::make_unique<testing::RecordingPlug>(1));
    editors.push_back(std::make_unique<testing::RecordingGraphics>(*plugs.back()));
  }
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      testing::RecordingGraphics& graphics = *editors[t];
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < kIds; ++k) {
          const int id = kFirstId + (k + t) % kIds;  // each thread starts elsewhere
          const BitmapRef ref = graphics.LoadBitmapResource(id, "x.png", 1);
          LICE_IBitmap*& slot = seen[t][id - kFirstId];
          if (round == 0) slot = ref.bitmap;
          EXPECT_EQ(ref.bitmap, slot);
          EXPECT_EQ(ref.width, id % 1000);
          // Readers touch the pixels: the bitmap must be complete when shared.
          EXPECT_NE(ref.bitmap->Pixels(), nullptr);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int k = 0; k < kIds; ++k) {
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][k], seen[0][k]) << "id " << kFirstId + k;
  }
}

}  // namespace
}  // namespace tarvel
