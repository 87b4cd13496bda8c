// The VST3 bundle's editor as an X11 view (run under xvfb-run), ticked from
// the test host's run loop: the picture against its formula, the timer's
// period, attach and remove many times with flat memory and descriptors, and
// a view released while attached.

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "tests/support/PictureFormula.h"
#include "tools/host/X11Window_x11.h"
#include "tools/host3/Vst3Instance.h"

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace tarvel::vst3 {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

// A host's run loop as the frame hands it out: timers are kept and fired by
// the test.
class TestRunLoop final : public IPlugFrame, public IRunLoop {
 public:
  tresult queryInterface(const TUID iid, void** obj) override {
    *obj = nullptr;
    if (SameUid(iid, kIPlugFrameIid) || SameUid(iid, kFUnknownIid))
      *obj = static_cast<IPlugFrame*>(this);
    else if (SameUid(iid, kIRunLoopIid) && offerRunLoop)
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
  tresult registerTimer(ITimerHandler* handler, uint64 milliseconds) override {
    timers.push_back(handler);
    periods.push_back(milliseconds);
    return kResultOk;
  }
  tresult unregisterTimer(ITimerHandler* handler) override {
    const auto found = std::find(timers.begin(), timers.end(), handler);
    if (found == timers.end()) return kResultFalse;
    periods.erase(periods.begin() + (found - timers.begin()));
    timers.erase(found);
    return kResultOk;
  }
  void Fire() {
    for (ITimerHandler* timer : timers) timer->onTimer();
  }

  bool offerRunLoop = true;
  std::vector<ITimerHandler*> timers;
  std::vector<uint64> periods;
};

std::shared_ptr<const Vst3Module> Bundle() {
  static const std::shared_ptr<const Vst3Module> module = [] {
    std::string error;
    auto opened = Vst3Module::Open(TARVEL_VST3_BUNDLE, error);
    if (!opened) ADD_FAILURE() << error;
    return opened;
  }();
  return module;
}

std::unique_ptr<Vst3Instance> NewVst3() {
  std::string error;
  auto instance = Vst3Instance::Create(Bundle(), error);
  if (!instance) ADD_FAILURE() << error;
  return instance;
}

// Every pixel above the text line is the formula's for silence; answers the
// frame (modulo 512) or -1.
int CheckPicture(const std::vector<std::uint32_t>& pixels) {
  if (pixels.size() != static_cast<std::size_t>(kSize * kSize)) return -1;
  const int f = test::FrameOfCorner(pixels[0], 0);
  if (f < 0) return -1;
  for (int j = 0; j < kTextTop; ++j)
    for (int k = 0; k < kSize; ++k)
      if (pixels[j * kSize + k] != test::PicturePixel(k, j, f, 0, 0)) return -1;
  return f;
}

std::size_t HeapInUse() {
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  return mallinfo2().uordblks;
}

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
  const std::size_t heap = HeapInUse();
  const std::size_t descriptors = OpenDescriptors();
  for (int i = 0; i < 500; ++i) cycle();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_LE(HeapInUse(), heap + 64 * 1024);
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
