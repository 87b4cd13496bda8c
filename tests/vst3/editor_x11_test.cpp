// The VST3 bundle's editor as an X11 view (run under xvfb-run), ticked from
// the test host's run loop: the picture against its formula, the timer's
// period, attach and remove many times with flat memory and descriptors, and
// a view released while attached.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "tests/support/HeapInUse.h"
#include "tests/support/PictureFormula.h"
#include "tests/support/Vst3TestSupport.h"
#include "tools/host/X11Window_x11.h"

namespace tarvel::vst3 {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

// The frame (modulo 512) whose picture for silence the editor shows above its
// text line, or -1.
int CheckPicture(const std::vector<std::uint32_t>& pixels) { return test::FrameShownAbove(pixels, kTextTop); }

std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                std::filesystem::directory_iterator()));
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class EditorX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    host = X11HostWindow::Create(kSize, kSize, error);
    ASSERT_TRUE(host) << error;
    plug = NewVst3();
    ASSERT_TRUE(plug);
  }
  IPlugView* NewView() {
    IPlugView* view = plug->Controller().createView(kEditorViewName);
    EXPECT_NE(view, nullptr);
    if (view) view->setFrame(&loop);
    return view;
  }

  std::unique_ptr<X11HostWindow> host;
  std::unique_ptr<Vst3Instance> plug;
  TestRunLoop loop;
};

TEST_F(EditorX11, TicksFromTheRunLoopAndShowsThePicture) {
  IPlugView* view = NewView();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  ASSERT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultFalse);  // already
  ASSERT_EQ(loop.timers.size(), 1u);
  EXPECT_LE(loop.periods[0], 10u);
  ASSERT_EQ(host->Children().size(), 1u);
  const unsigned long editor = host->Children().front();

  int first = -1;
  for (int i = 0; i < 5; ++i) {
    loop.Fire();
    Pause(12);
  }
  first = CheckPicture(host->ReadPixels(editor, kSize, kSize));
  EXPECT_GE(first, 0);
  loop.Fire();
  EXPECT_EQ(CheckPicture(host->ReadPixels(editor, kSize, kSize)), (first + 1) % 512);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_TRUE(host->Children().empty());
  EXPECT_EQ(view->removed(), kResultFalse);
  view->release();
}

TEST_F(EditorX11, NoRunLoopNoEditor) {
  loop.offerRunLoop = false;
  IPlugView* view = NewView();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_TRUE(host->Children().empty());
  view->release();
}

TEST_F(EditorX11, AttachAndRemoveManyTimesFlat) {
  IPlugView* view = NewView();
  ASSERT_TRUE(view);
  auto cycle = [&] {
    ASSERT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultOk);
    loop.Fire();
    ASSERT_EQ(view->removed(), kResultOk);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const std::size_t heap = test::HeapInUse();
  const std::size_t descriptors = OpenDescriptors();
  for (int i = 0; i < 500; ++i) cycle();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_LE(test::HeapInUse(), heap + 64 * 1024);
  EXPECT_TRUE(loop.timers.empty());
  view->release();
}

TEST_F(EditorX11, ReleasedWhileAttachedRemovesItself) {
  IPlugView* view = NewView();
  ASSERT_TRUE(view);
  ASSERT_EQ(view->attached(host->Handle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  loop.Fire();
  view->release();
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_TRUE(host->Children().empty());
  // The instance goes on, and makes a view again.
  IPlugView* again = NewView();
  ASSERT_TRUE(again);
  again->release();
}

}  // namespace
}  // namespace tarvel::vst3
