// Tarvel.dll's editor in a host's window, under Wine with a virtual display:
// opened through effEditOpen while audio is processed, its pixels read back
// from the window and checked against the picture's formula and the text
// line; reopened many times and opened by two instances at once.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "gui/ImageResources.h"
#include "plugin/ModuleHandle.h"
#include "raster/LICE_IBitmap.h"
#include "tests/support/FlatResources_win32.h"
#include "tests/support/PictureFormula.h"
#include "tests/support/PluginFile.h"
#include "text/TextLabel.h"
#include "tools/host/HostWindow_win32.h"

namespace tarvel {
namespace {

using test::NewInstance;
using test::PicturePixel;

constexpr int kSize = 768;
constexpr int kTextTop = 756;
// A constant input whose summary value, (left + right) * 64 = 32.5, truncates
// to 32 with room to spare for the filter's rounding.
constexpr double kLevel = 0.25390625;
constexpr std::int32_t kSummary = 32;

void Tick(HWND editor) { SendMessageA(editor, WM_TIMER, 2, 0); }

// Processes seconds of the constant level in 512-frame calls, pumping the GUI
// thread's messages between calls as a host's threads would interleave.
void ProcessLevel(PluginInstance& plug, double seconds) {
  const auto frames = static_cast<std::int64_t>(44100 * seconds);
  std::vector<double> in(512, kLevel), outL(512), outR(512);
  const double* inputs[2] = {in.data(), in.data()};
  double* outputs[2] = {outL.data(), outR.data()};
  for (std::int64_t done = 0; done < frames; done += 512) {
    plug.ProcessCall(ProcessMode::kFloat, inputs, outputs, 512);
    HostWindow::Pump();
  }
}

// The text line for every possible letter; the one the editor drew must be among them.
int MatchingLetters(const std::vector<std::uint32_t>& shot, int frame) {
  std::unique_ptr<LICE_IBitmap> glyphs(LoadPngResource(ModuleHandle(), 100));
  std::unique_ptr<LICE_IBitmap> limits(LoadPngResource(ModuleHandle(), 101));
  if (!glyphs || !limits) return -1;
  const auto font = BuildBitmapFont(ImageView{glyphs->PixelWidth(), glyphs->PixelHeight(), glyphs->Pixels()},
                                    ImageView{limits->PixelWidth(), limits->PixelHeight(), limits->Pixels()}, -5);
  const auto label = CreateTextLabel(font.get(), 6, kTextTop, kAlignLeft);
  std::vector<std::uint32_t> expected(kSize * kSize);
  int matches = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    for (int j = kTextTop; j < kSize; ++j)
      for (int k = 0; k < kSize; ++k) expected[j * kSize + k] = PicturePixel(k, j, frame, kSummary, kSummary);
    std::snprintf(label->text.data(), label->text.size(), "%c bin: %d", letter, kSummary);
    DrawTextLabel(*label, expected.data(), 0xFFFFFFFF, kSize, kSize);
    bool same = true;
    for (int i = kTextTop * kSize; i < kSize * kSize && same; ++i) same = (expected[i] & 0xFFFFFF) == shot[i];
    matches += same;
  }
  return matches;
}

// Checks a captured editor against the picture for the constant summary and
// answers the frame it shows (modulo 512), or -1.
int CheckPicture(const std::vector<std::uint32_t>& shot) {
  if (shot.size() != static_cast<std::size_t>(kSize * kSize)) {
    ADD_FAILURE() << "the editor window could not be read";
    return -1;
  }
  const int f = test::FrameOfCorner(shot[0], kSummary);
  if (f < 0) {
    ADD_FAILURE() << "pixel (0, 0) " << std::hex << shot[0] << " is no frame's";
    return -1;
  }
  int wrong = 0;
  for (int j = 0; j < kTextTop; ++j) {
    for (int k = 0; k < kSize; ++k) {
      if (shot[j * kSize + k] != PicturePixel(k, j, f, kSummary, kSummary) && ++wrong <= 3)
        ADD_FAILURE() << "pixel (" << k << ", " << j << ") " << std::hex << shot[j * kSize + k];
    }
  }
  EXPECT_EQ(MatchingLetters(shot, f), 1) << "the text line is not \"? bin: 32\" in the embedded font";
  return f;
}

TEST(EditorInHost, PictureFollowsTheAudioAndAPressSetsTheFrame) {
  auto plug = NewInstance();
  ASSERT_TRUE(plug);
  plug->SetSampleRate(44100);
  plug->SetBlockSize(512);
  plug->Resume();
  ERect* rect = nullptr;
  ASSERT_EQ(plug->Dispatch(effEditGetRect, 0, 0, &rect), 1);
  HostWindow host(rect->right - rect->left, rect->bottom - rect->top);
  ASSERT_NE(host.Handle(), nullptr) << "no display: run under xvfb-run";
  ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, host.Handle()), 1);
  HWND editor = host.EditorWindow();
  ASSERT_NE(editor, nullptr);
  RECT client{};
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kSize);
  EXPECT_EQ(client.bottom, kSize);

  ProcessLevel(*plug, 0.5);
  Tick(editor);
  CheckPicture(HostWindow::Capture(editor, kSize, kSize));

  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200));
  SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(100, 200));
  Tick(editor);
  EXPECT_EQ(CheckPicture(HostWindow::Capture(editor, kSize, kSize)), 301);
  EXPECT_EQ(plug->Dispatch(effEditClose), 1);
  EXPECT_EQ(host.EditorWindow(), nullptr);
}

bool ClassExists() {
  WNDCLASSA info;
  return GetClassInfoA(GetModuleHandleA("Tarvel.dll"), "IPlugWndClass", &info) != FALSE;
}

TEST(EditorInHost, TwoEditorsShareTheClassAndReopeningLeavesNothingBehind) {
  auto a = NewInstance();
  auto b = NewInstance();
  ASSERT_TRUE(a && b);
  HostWindow hostA(kSize, kSize);
  HostWindow hostB(kSize, kSize);
  ASSERT_EQ(a->Dispatch(effEditOpen, 0, 0, hostA.Handle()), 1);
  ASSERT_EQ(b->Dispatch(effEditOpen, 0, 0, hostB.Handle()), 1);
  EXPECT_TRUE(ClassExists());
  a->Dispatch(effEditClose);
  EXPECT_TRUE(ClassExists());
  b->Dispatch(effEditClose);
  EXPECT_FALSE(ClassExists());

  // Opened twice without a close: one window.
  ASSERT_EQ(a->Dispatch(effEditOpen, 0, 0, hostA.Handle()), 1);
  ASSERT_EQ(a->Dispatch(effEditOpen, 0, 0, hostA.Handle()), 1);
  HWND only = hostA.EditorWindow();
  EXPECT_EQ(FindWindowExA(hostA.Handle(), only, "IPlugWndClass", nullptr), nullptr);
  a->Dispatch(effEditClose);

  const auto cycle = [&] {
    ASSERT_EQ(a->Dispatch(effEditOpen, 0, 0, hostA.Handle()), 1);
    Tick(hostA.EditorWindow());
    HostWindow::Pump();
    a->Dispatch(effEditClose);
  };
  test::ExpectFlatResources(cycle);
  EXPECT_FALSE(ClassExists());
}

}  // namespace
}  // namespace tarvel
