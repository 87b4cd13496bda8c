// The CLAP module's editor embedded in a host's X11 window (run under
// xvfb-run), ticked by the host's timer and its display connection's
// descriptor: the picture against its formula, the gui calls a host makes,
// no editor without timers, and many opens and closes with flat memory and
// descriptors.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/HeapInUse.h"
#include "tests/support/ClapTestSupport.h"
#include "tests/support/PictureFormula.h"
#include "tools/host/X11Window_x11.h"
#include "tools/hostclap/ClapInstance.h"

namespace tarvel::hostclap {
namespace {

constexpr std::uint32_t kSize = 768;
constexpr int kTextTop = 756;

// Every pixel above the text line is the formula's for silence; answers the
// frame (modulo 512) or -1.
int CheckPicture(const std::vector<std::uint32_t>& pixels) {
  if (pixels.size() != static_cast<std::size_t>(kSize * kSize)) return -1;
  const int f = test::FrameOfCorner(pixels[0], 0);
  if (f < 0) return -1;
  for (int j = 0; j < kTextTop; ++j)
    for (int k = 0; k < static_cast<int>(kSize); ++k)
      if (pixels[j * kSize + k] != test::PicturePixel(k, j, f, 0, 0)) return -1;
  return f;
}

std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                std::filesystem::directory_iterator()));
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

clap_window_t X11Parent(X11HostWindow& host) {
  clap_window_t window{};
  window.api = kClapWindowApiX11;
  window.x11 = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(host.Handle()));
  return window;
}

TEST(EditorX11, EmbedsTicksAndShowsThePicture) {
  std::string error;
  auto host = X11HostWindow::Create(kSize, kSize, error);
  ASSERT_TRUE(host) << error;
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  const clap_plugin_t* p = &plug->Plugin();
  const auto* gui = plug->Get<clap_plugin_gui_t>(kClapExtGui);
  ASSERT_NE(gui, nullptr);
  EXPECT_TRUE(gui->is_api_supported(p, "x11", false));
  EXPECT_FALSE(gui->is_api_supported(p, "x11", true));
  EXPECT_FALSE(gui->is_api_supported(p, "win32", false));
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(p, &api, &floating));
  EXPECT_STREQ(api, "x11");
  EXPECT_FALSE(floating);
  ASSERT_TRUE(gui->create(p, "x11", false));
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(gui->get_size(p, &w, &h));
  EXPECT_EQ(w, kSize);
  EXPECT_EQ(h, kSize);
  clap_gui_resize_hints_t hints{true, true, false, 0, 0};
  ASSERT_TRUE(gui->get_resize_hints(p, &hints));
  EXPECT_FALSE(hints.can_resize_horizontally || hints.can_resize_vertically);
  EXPECT_FALSE(gui->can_resize(p));
  EXPECT_FALSE(gui->set_size(p, 500, 500));
  EXPECT_TRUE(gui->set_size(p, kSize, kSize));
  const clap_window_t parent = X11Parent(*host);
  ASSERT_TRUE(gui->set_parent(p, &parent));
  EXPECT_FALSE(gui->set_parent(p, &parent));  // already
  EXPECT_TRUE(gui->show(p));
  ASSERT_EQ(plug->timers.size(), 1u);
  EXPECT_LE(plug->timers[0].second, 10u);
  ASSERT_EQ(plug->descriptors.size(), 1u);
  ASSERT_EQ(host->Children().size(), 1u);
  const unsigned long editor = host->Children().front();

  for (int i = 0; i < 5; ++i) {
    plug->FireTimers();
    Pause(12);
  }
  const int first = CheckPicture(host->ReadPixels(editor, kSize, kSize));
  EXPECT_GE(first, 0);
  // Input on the connection ticks it too (at most at the editor's own rate).
  plug->FireDescriptors();
  EXPECT_EQ(CheckPicture(host->ReadPixels(editor, kSize, kSize)), (first + 1) % 512);

  gui->destroy(p);
  EXPECT_TRUE(plug->timers.empty());
  EXPECT_TRUE(plug->descriptors.empty());
  EXPECT_TRUE(host->Children().empty());
}

TEST(EditorX11, NoTimersNoEditor) {
  auto plug = NewClap({false, false});
  ASSERT_TRUE(plug);
  const auto* gui = plug->Get<clap_plugin_gui_t>(kClapExtGui);
  ASSERT_NE(gui, nullptr);
  EXPECT_FALSE(gui->create(&plug->Plugin(), "x11", false));
}

TEST(EditorX11, OpenAndCloseManyTimesFlat) {
  std::string error;
  auto host = X11HostWindow::Create(kSize, kSize, error);
  ASSERT_TRUE(host) << error;
  auto plug = NewClap();
  ASSERT_TRUE(plug);
  const clap_plugin_t* p = &plug->Plugin();
  const auto* gui = plug->Get<clap_plugin_gui_t>(kClapExtGui);
  const clap_window_t parent = X11Parent(*host);
  const auto cycle = [&] {
    ASSERT_TRUE(gui->create(p, "x11", false));
    ASSERT_TRUE(gui->set_parent(p, &parent));
    plug->FireTimers();
    gui->destroy(p);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const std::size_t heap = test::HeapInUse();
  const std::size_t descriptors = OpenDescriptors();
  for (int i = 0; i < 300; ++i) cycle();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_LE(test::HeapInUse(), heap + 64 * 1024);
  // Destroyed by the host while open: the instance closes it.
  ASSERT_TRUE(gui->create(p, "x11", false));
  ASSERT_TRUE(gui->set_parent(p, &parent));
  plug.reset();
  EXPECT_TRUE(host->Children().empty());
}

}  // namespace
}  // namespace tarvel::hostclap
