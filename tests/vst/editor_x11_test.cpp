// The built plug-in's editor in an X11 host window (run under xvfb-run): the
// picture read back from the server against its formula, the mouse, opening
// and closing, two editors, and a host that destroys its window first.

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <malloc.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "tests/support/PluginFile.h"
#include "tests/support/PictureFormula.h"
#include "tools/host/X11Window_x11.h"

// The live heap of a sanitizer build (its allocator bypasses malloc's counts).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace tarvel::test {
namespace {

constexpr int kSize = 768;
constexpr int kTextTop = 756;

// Checks every pixel against the formula for a zero audio summary and the
// text line at the bottom (white ink over the picture, nowhere else); answers
// the frame modulo 512, which is all that the bytes tell, or -1 after a failure.
int CheckPicture(const std::vector<std::uint32_t>& pixels) {
  if (pixels.size() != static_cast<std::size_t>(kSize * kSize)) {
    ADD_FAILURE() << "no pixels read";
    return -1;
  }
  const int f = FrameOfCorner(pixels[0], 0);
  if (f < 0) {
    ADD_FAILURE() << "pixel (0, 0) is no frame's: " << std::hex << pixels[0];
    return -1;
  }
  int wrong = 0;
  int inked = 0;
  for (int j = 0; j < kSize; ++j) {
    for (int k = 0; k < kSize; ++k) {
      const std::uint32_t got = pixels[j * kSize + k];
      const std::uint32_t plain = PicturePixel(k, j, f, 0, 0);
      if (got == plain) continue;
      // Ink moves each channel toward white (the blend's two truncations may
      // leave it two below).
      bool ink = j >= kTextTop;
      for (int shift = 0; shift < 24; shift += 8)
        ink = ink && static_cast<int>(got >> shift & 0xFF) >= static_cast<int>(plain >> shift & 0xFF) - 2;
      if (ink) {
        ++inked;
      } else if (++wrong <= 5) {
        ADD_FAILURE() << "frame " << f << ", pixel (" << k << ", " << j << "): " << std::hex << got << " != " << plain;
      }
    }
  }
  EXPECT_GT(inked, 40) << "no text line";
  return wrong == 0 && inked > 40 ? f : -1;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class EditorX11 : public ::testing::Test {
 protected:
  std::unique_ptr<X11HostWindow> NewHostWindow() {
    std::string error;
    auto window = X11HostWindow::Create(kSize, kSize, error);
    EXPECT_TRUE(window) << error;
    return window;
  }

  std::unique_ptr<PluginInstance> NewPlaying() {
    auto plug = NewInstance();
    if (!plug) return nullptr;
    plug->SetSampleRate(48000.0);
    plug->SetBlockSize(800);
    plug->Resume();
    return plug;
  }

  // The plug-in's window: the host window's only child, 768 x 768.
  static unsigned long EditorWindowOf(const X11HostWindow& host) {
    const std::vector<unsigned long> children = host.Children();
    EXPECT_EQ(children.size(), 1u);
    return children.empty() ? 0 : children.front();
  }

  // A host's GUI loop at 60 Hz with silence flowing through the plug-in.
  static void Run(PluginInstance& plug, int ticks) {
    std::vector<float> left(800), right(800);
    for (int i = 0; i < ticks; ++i) {
      float* in[2] = {left.data(), right.data()};
      float* out[2] = {left.data(), right.data()};
      std::fill(left.begin(), left.end(), 0.0f);
      std::fill(right.begin(), right.end(), 0.0f);
      plug.ProcessFloat(in, out, 800);
      plug.Dispatch(effEditIdle);
      Pause(16);
    }
  }
};

TEST_F(EditorX11, ShowsThePictureAndTakesThePress) {
  auto host = NewHostWindow();
  auto plug = NewPlaying();
  ASSERT_TRUE(host && plug);
  EXPECT_EQ(plug->Effect().flags, 0x1019);
  ERect* rect = nullptr;
  ASSERT_EQ(plug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kSize);
  EXPECT_EQ(rect->bottom - rect->top, kSize);
  // A second open replaces the first window.
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
  const unsigned long editor = EditorWindowOf(*host);
  ASSERT_NE(editor, 0u);

  Run(*plug, 20);
  EXPECT_GE(CheckPicture(host->ReadPixels(editor, kSize, kSize)), 0);

  // The press sets the frame to 100 + 200; the tick that reads it paints 301.
  host->SendButton(editor, 100, 200, 1, true);
  int f = -1;
  for (int i = 0; i < 3 && f != 301; ++i) {
    Pause(12);
    plug->Dispatch(effEditIdle);
    f = CheckPicture(host->ReadPixels(editor, kSize, kSize));
  }
  EXPECT_EQ(f, 301);
  host->SendButton(editor, 100, 200, 1, false, kHeldLeft);
  Pause(12);
  plug->Dispatch(effEditIdle);
  EXPECT_EQ(CheckPicture(host->ReadPixels(editor, kSize, kSize)), 302);
  // Ticks come at most every 10 ms, however often the host idles.
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = start - start;
  while (elapsed < std::chrono::milliseconds(30)) {
    plug->Dispatch(effEditIdle);
    elapsed = std::chrono::steady_clock::now() - start;
  }
  const int ticks = CheckPicture(host->ReadPixels(editor, kSize, kSize)) - 302;
  EXPECT_GE(ticks, 1);
  EXPECT_LE(ticks, elapsed / std::chrono::milliseconds(10) + 1);

  EXPECT_EQ(plug->Dispatch(effEditClose), 1);
  EXPECT_TRUE(host->Children().empty());
  plug->Dispatch(effEditIdle);  // closed: nothing to tick
}

TEST_F(EditorX11, TwoEditorsAtOnceKeepTheirOwnFrames) {
  auto hostA = NewHostWindow();
  auto hostB = NewHostWindow();
  auto a = NewPlaying();
  auto b = NewPlaying();
  ASSERT_TRUE(hostA && hostB && a && b);
  ASSERT_EQ(a->Dispatch(effEditOpen, 0, 0, hostA->Handle()), 1);
  ASSERT_EQ(b->Dispatch(effEditOpen, 0, 0, hostB->Handle()), 1);
  const unsigned long editorA = EditorWindowOf(*hostA);
  const unsigned long editorB = EditorWindowOf(*hostB);
  hostA->SendButton(editorA, 300, 200, 1, true);
  hostB->SendButton(editorB, 10, 20, 1, true);
  a->Dispatch(effEditIdle);
  b->Dispatch(effEditIdle);
  // B's host window lies over A's: the server keeps only B's pixels.
  EXPECT_EQ(CheckPicture(hostB->ReadPixels(editorB, kSize, kSize)), 31);
  hostA->Raise();
  Pause(12);
  a->Dispatch(effEditIdle);
  EXPECT_EQ(CheckPicture(hostA->ReadPixels(editorA, kSize, kSize)), 502);
  EXPECT_EQ(a->Dispatch(effEditClose), 1);
  hostB->Raise();
  Pause(12);
  b->Dispatch(effEditIdle);
  EXPECT_EQ(CheckPicture(hostB->ReadPixels(editorB, kSize, kSize)), 32);
  EXPECT_EQ(b->Dispatch(effEditClose), 1);
}

TEST_F(EditorX11, SurvivesAHostThatDestroysItsWindowFirst) {
  auto plug = NewPlaying();
  ASSERT_TRUE(plug);
  // A window id that names nothing: no editor, no crash.
  EXPECT_EQ(plug->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x3FFFFFF})), 0);

  // Destroyed while the editor ticks, then closed.
  auto host = NewHostWindow();
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
  Run(*plug, 2);
  host->Destroy();
  Run(*plug, 2);
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);

  // Destroyed with no tick before the close.
  host = NewHostWindow();
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
  host->Destroy();
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);

  // The next host window gets a working editor.
  host = NewHostWindow();
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
  Run(*plug, 2);
  EXPECT_GE(CheckPicture(host->ReadPixels(EditorWindowOf(*host), kSize, kSize)), 0);
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);
}

std::size_t LiveHeapBytes() {
  return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes()
                                                 : mallinfo2().uordblks;
}

std::size_t OpenDescriptors() {
  const std::filesystem::directory_iterator fds("/proc/self/fd");
  return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

TEST_F(EditorX11, OpeningAndClosingFiveHundredTimesKeepsMemoryFlat) {
  auto host = NewHostWindow();
  auto plug = NewPlaying();
  ASSERT_TRUE(host && plug);
  const auto cycle = [&] {
    ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host->Handle()), 1);
    plug->Dispatch(effEditIdle);
    ASSERT_EQ(plug->Dispatch(effEditClose), 1);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const std::size_t heap = LiveHeapBytes();
  const std::size_t descriptors = OpenDescriptors();
  for (int i = 20; i < 500; ++i) cycle();
  EXPECT_LT(LiveHeapBytes(), heap + 4096);  // a leaked image header alone would add 60 kB
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_TRUE(host->Children().empty());
}

}  // namespace
}  // namespace tarvel::test
