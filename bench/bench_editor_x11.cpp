// The Linux editor's tick against its picture alone, in the same run (run it
// in an X server: xvfb-run -a -s "-screen 0 1024x1024x24" bench_editor_x11):
//   Tick: pending events, the whole 768 x 768 picture rendered, put on the
//   window with XPutImage, and the round trip that ends the tick (the server
//   has drawn the frame);
//   RenderAlone: the picture's render into the draw bitmap.
// Wall-clock times (the tick waits for the server); prints the ratio last.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/TimesReporter.h"
#include "effect/IDrawControl.h"
#include "effect/Tarvel.h"
#include "gui/IGraphicsX11_x11.h"
#include "tools/host/X11Window_x11.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace {

using namespace tarvel;

// One instance with its editor open in a host window, for the whole run.
struct OpenEditor {
  OpenEditor() {
    std::string error;
    host = X11HostWindow::Create(kEditorSize, kEditorSize, error);
    if (!host) std::fprintf(stderr, "bench_editor_x11: %s\n", error.c_str());
    effect = VSTPluginMain(nullptr);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    if (host) effect->dispatcher(effect, effEditOpen, 0, 0, host->Handle(), 0.0f);
    graphics = dynamic_cast<IGraphicsX11*>(static_cast<IPlugVST*>(effect->object)->Plug().Editor());
  }
  ~OpenEditor() {
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }

  std::unique_ptr<X11HostWindow> host;
  AEffect* effect = nullptr;
  IGraphicsX11* graphics = nullptr;
};

OpenEditor& Shared() {
  static OpenEditor editor;
  return editor;
}

void Tick(benchmark::State& state) {
  IGraphicsX11* graphics = Shared().graphics;
  if (!graphics || !graphics->HasWindow()) return state.SkipWithError("no editor window");
  for (auto _ : state) graphics->Tick();
}

void RenderAlone(benchmark::State& state) {
  IGraphicsX11* graphics = Shared().graphics;
  if (!graphics) return state.SkipWithError("no editor");
  IControl* picture = graphics->GetControl(0);
  for (auto _ : state) {
    picture->Render(*graphics);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Tick)->UseRealTime();
BENCHMARK(RenderAlone)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunBenchmarks(argc, argv, [](const tarvel::bench::TimesReporter& times) {
    if (!times.Has("Tick/real_time") || !times.Has("RenderAlone/real_time")) return;
    const double tick = times.Nanoseconds("Tick/real_time");
    const double render = times.Nanoseconds("RenderAlone/real_time");
    std::printf("\nTick %.0f us = %.2f x RenderAlone (%.0f us)\n", tick / 1e3, tick / render, render / 1e3);
  });
}
