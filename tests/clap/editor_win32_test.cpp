// The CLAP module's editor embedded in a host's HWND, under Wine with a
// virtual display: its own window timer ticks it, its pixels follow the
// picture's formula; opened and closed many times with flat memory and
// handle counts; destroyed with the instance while open.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "tests/support/ClapTestSupport.h"
#include "tests/support/PictureFormula.h"
#include "tools/host/HostWindow_win32.h"
#include "tools/hostclap/ClapInstance.h"

namespace tarvel::hostclap {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

void Tick(HWND editor) { SendMessageA(editor, WM_TIMER, 2, 0); }

int FrameShown(HWND editor) {
  const std::vector<std::uint32_t> shot = HostWindow::Capture(editor, kSize, kSize);
  if (shot.size() != static_cast<std::size_t>(kSize * kSize)) return -1;
  const int f = test::FrameOfCorner(shot[0], 0);
  for (int j = 0; f >= 0 && j < kTextTop; ++j)
    for (int k = 0; k < kSize; ++k)
      if (shot[j * kSize + k] != test::PicturePixel(k, j, f, 0, 0)) return -1;
  return f;
}

clap_window_t Win32Parent(HostWindow& host) {
  clap_window_t window{};
  window.api = kClapWindowApiWin32;
  window.win32 = host.Handle();
  return window;
}

TEST(EditorWin32, EmbedsAndShowsThePicture) {
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  const clap_plugin_t* p = &plug->Plugin();
  const auto* gui = plug->Get<clap_plugin_gui_t>(kClapExtGui);
  ASSERT_NE(gui, nullptr);
  EXPECT_TRUE(gui->is_api_supported(p, "win32", false));
  EXPECT_FALSE(gui->is_api_supported(p, "x11", false));
  EXPECT_EQ(plug->Get<void>(kClapExtTimerSupport), nullptr);  // its own window timer ticks it
  HostWindow host(kSize, kSize);
  ASSERT_NE(host.Handle(), nullptr) << "no display: run under xvfb-run";
  ASSERT_TRUE(gui->create(p, "win32", false));
  const clap_window_t parent = Win32Parent(host);
  ASSERT_TRUE(gui->set_parent(p, &parent));
  ASSERT_TRUE(gui->show(p));
  HWND editor = host.EditorWindow();
  ASSERT_NE(editor, nullptr);
  RECT client{};
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kSize);
  EXPECT_EQ(client.bottom, kSize);
  Tick(editor);
  EXPECT_GE(FrameShown(editor), 0);
  gui->destroy(p);
  EXPECT_EQ(host.EditorWindow(), nullptr);
}

TEST(EditorWin32, OpenAndCloseManyTimesLeavesNothingBehind) {
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  const clap_plugin_t* p = &plug->Plugin();
  const auto* gui = plug->Get<clap_plugin_gui_t>(kClapExtGui);
  HostWindow host(kSize, kSize);
  const clap_window_t parent = Win32Parent(host);
  const auto usage = [] {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
  };
  const auto cycle = [&] {
    ASSERT_TRUE(gui->create(p, "win32", false));
    ASSERT_TRUE(gui->set_parent(p, &parent));
    Tick(host.EditorWindow());
    HostWindow::Pump();
    gui->destroy(p);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const SIZE_T before = usage();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int i = 0; i < 300; ++i) cycle();
  EXPECT_LT(usage(), before + 1024 * 1024);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);

  // Destroyed while open: the instance closes it.
  ASSERT_TRUE(gui->create(p, "win32", false));
  ASSERT_TRUE(gui->set_parent(p, &parent));
  plug.reset();
  EXPECT_EQ(host.EditorWindow(), nullptr);
}

}  // namespace
}  // namespace tarvel::hostclap
