// One tick of an open editor on Windows (the timer message: the picture
// rendered and presented to the window) against rendering the picture alone,
// alternating in the same run. Under Wine with a virtual display:
//   xvfb-run -a -s "-screen 0 1024x1024x24" scripts/wine-run.sh bench_editor_window.exe [ROUNDS]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gui/IGraphics.h"
#include "tools/host/HostWindow_win32.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median over rounds of the mean time of 50 calls, in microseconds.
template <typename Call>
double MedianMicroseconds(std::vector<double>& rounds, Call call) {
  const auto start = Clock::now();
  for (int i = 0; i < 50; ++i) call();
  rounds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / 50);
  std::vector<double> sorted = rounds;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  return sorted[sorted.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvel;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  AEffect* effect = VSTPluginMain(nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  HostWindow host(768, 768);
  if (!host.Handle() || effect->dispatcher(effect, effEditOpen, 0, 0, host.Handle(), 0.0f) != 1) {
    std::fprintf(stderr, "bench_editor_window: no editor window (no display?)\n");
    return 1;
  }
  HWND editor = host.EditorWindow();
  auto& graphics = dynamic_cast<IGraphics&>(*static_cast<IPlugVST*>(effect->object)->Plug().Editor());
  IControl& control = *graphics.GetControl(0);

  std::vector<double> ticks, renders;
  double tick = 0.0, render = 0.0;
  for (int r = 0; r < rounds; ++r) {
    tick = MedianMicroseconds(ticks, [&] { SendMessageA(editor, WM_TIMER, 2, 0); });
    render = MedianMicroseconds(renders, [&] { control.Render(graphics); });
    HostWindow::Pump();
  }
  std::printf("editor tick (render + present) %.1f us = %.2f x render alone %.1f us (medians of %d rounds)\n", tick,
              tick / render, render, rounds);
  effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  return 0;
}
