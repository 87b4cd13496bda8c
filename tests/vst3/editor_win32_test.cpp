// The VST3 bundle's editor as an HWND view in a host's window, under Wine
// with a virtual display: the window's own timer ticks it, its pixels follow
// the picture's formula, a press sets the frame; attached and removed many
// times with flat memory and handle counts; released while attached.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "tests/support/PictureFormula.h"
#include "tools/host/HostWindow_win32.h"
#include "tools/host3/Vst3Instance.h"

namespace tarvel::vst3 {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

void Tick(HWND editor) { SendMessageA(editor, WM_TIMER, 2, 0); }

std::unique_ptr<Vst3Instance> NewVst3() {
  static const std::shared_ptr<const Vst3Module> module = [] {
    std::string error;
    auto opened = Vst3Module::Open(TARVEL_VST3_BUNDLE, error);
    if (!opened) ADD_FAILURE() << error;
    return opened;
  }();
  std::string error;
  auto instance = Vst3Instance::Create(module, error);
  if (!instance) ADD_FAILURE() << error;
  return instance;
}

// The frame (modulo 512) whose picture for silence the window shows above
// the text line, or -1.
int FrameShown(HWND editor) {
  const std::vector<std::uint32_t> shot = HostWindow::Capture(editor, kSize, kSize);
  if (shot.size() != static_cast<std::size_t>(kSize * kSize)) return -1;
  const int f = test::FrameOfCorner(shot[0], 0);
  for (int j = 0; f >= 0 && j < kTextTop; ++j)
    for (int k = 0; k < kSize; ++k)
      if (shot[j * kSize + k] != test::PicturePixel(k, j, f, 0, 0)) return -1;
  return f;
}

TEST(EditorView, ShowsThePictureInTheHostsWindow) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  IPlugView* view = plug->Controller().createView(kEditorViewName);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
  HostWindow host(kSize, kSize);
  ASSERT_NE(host.Handle(), nullptr) << "no display: run under xvfb-run";
  ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  HWND editor = host.EditorWindow();
  ASSERT_NE(editor, nullptr);
  RECT client{};
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kSize);
  EXPECT_EQ(client.bottom, kSize);
  Tick(editor);
  EXPECT_GE(FrameShown(editor), 0);
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200));
  SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(100, 200));
  Tick(editor);
  EXPECT_EQ(FrameShown(editor), 301);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(host.EditorWindow(), nullptr);
  view->release();
}

TEST(EditorView, AttachAndRemoveManyTimesLeavesNothingBehind) {
  auto plug = NewVst3();
  ASSERT_TRUE(plug);
  IPlugView* view = plug->Controller().createView(kEditorViewName);
  ASSERT_NE(view, nullptr);
  HostWindow host(kSize, kSize);
  const auto usage = [] {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
  };
  const auto cycle = [&] {
    ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
    Tick(host.EditorWindow());
    HostWindow::Pump();
    ASSERT_EQ(view->removed(), kResultOk);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const SIZE_T before = usage();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int i = 0; i < 500; ++i) cycle();
  EXPECT_LT(usage(), before + 1024 * 1024);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);

  // Released while attached: it removes itself.
  ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  view->release();
  EXPECT_EQ(host.EditorWindow(), nullptr);
}

}  // namespace
}  // namespace tarvel::vst3
