// The VST3 bundle's editor as an HWND view in a host's window, under Wine
// with a virtual display: the window's own timer ticks it, its pixels follow
// the picture's formula, a press sets the frame; attached and removed many
// times with flat memory and handle counts; released while attached.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "tests/support/FlatResources_win32.h"
#include "tests/support/PictureFormula.h"
#include "tests/support/Vst3TestSupport.h"
#include "tools/host/HostWindow_win32.h"
#include "tools/host3/Vst3Instance.h"

namespace tarvel::vst3 {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

void Tick(HWND editor) { SendMessageA(editor, WM_TIMER, 2, 0); }

// The frame (modulo 512) whose picture for silence the window shows above
// the text line, or -1.
int FrameShown(HWND editor) { return test::FrameShownAbove(HostWindow::Capture(editor, kSize, kSize), kTextTop); }

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
  const auto cycle = [&] {
    ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
    Tick(host.EditorWindow());
    HostWindow::Pump();
    ASSERT_EQ(view->removed(), kResultOk);
  };
  test::ExpectFlatResources(cycle);

  // Released while attached: it removes itself.
  ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  view->release();
  EXPECT_EQ(host.EditorWindow(), nullptr);
}

}  // namespace
}  // namespace tarvel::vst3
