// The editor's costs, each beside a reference measured in the same run:
//   IDrawControl::Render of the whole 768 x 768 picture with its text line
//   against a plain fill (memset) of the same 2.25 MiB;
//   the memory an instance keeps resident when its editor is never opened
//   (100 instances created and processing), against the draw bitmap's size.
// Prints the ratios at the end.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/TimesReporter.h"
#include "effect/IDrawControl.h"
#include "effect/PicturePaint.h"
#include "gui/IGraphics.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace {

using namespace tarvel;

constexpr std::size_t kPixels = std::size_t{kEditorSize} * kEditorSize;

void Process(AEffect* effect, int calls) {
  std::vector<float> left(512, 0.25f), right(512, -0.125f);
  float* io[2] = {left.data(), right.data()};
  for (int i = 0; i < calls; ++i) effect->processReplacing(effect, io, io, 512);
}

AEffect* OpenInstance() {
  AEffect* effect = VSTPluginMain(nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  return effect;
}

void RenderPicture(benchmark::State& state) {
  AEffect* effect = OpenInstance();
  Process(effect, 20);  // a summary of its own for every row and column
  auto& graphics = dynamic_cast<IGraphics&>(*static_cast<IPlugVST*>(effect->object)->Plug().Editor());
  IControl& control = *graphics.GetControl(0);
  for (auto _ : state) {
    control.Render(graphics);
    benchmark::ClobberMemory();
  }
  state.counters["ns/pixel"] = benchmark::Counter(static_cast<double>(kPixels) * state.iterations(),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void FillPicture(benchmark::State& state) {
  std::vector<std::uint32_t> pixels(kPixels);
  int value = 0;
  for (auto _ : state) {
    std::memset(pixels.data(), ++value, kPixels * 4);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

// The picture's rows alone, with each vector variant the processor has
// (0 SSE2, 1 AVX2, 2 AVX-512BW): what Render costs on processors without the wider sets.
void PaintRows(benchmark::State& state) {
  const PaintRowFunction variants[] = {PaintRowSse2(), PaintRowAvx2(), PaintRowAvx512()};
  const PaintRowFunction paint = variants[state.range(0)];
  if (!paint) {
    state.SkipWithError("not on this processor");
    return;
  }
  std::vector<std::uint32_t> pixels(kPixels), column(kEditorSize, 0x123456);
  for (auto _ : state) {
    for (int j = 0; j < kEditorSize; ++j) paint(pixels.data() + j * kEditorSize, column.data(), j, kEditorSize);
    benchmark::ClobberMemory();
  }
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Not a timing: the resident memory each of 100 processing instances adds.
void ResidentPerInstance(benchmark::State& state) {
  for (auto _ : state) {
    AEffect* warm = OpenInstance();  // the process-wide font and tables
    Process(warm, 4);
    const long before = ResidentKiB();
    std::vector<AEffect*> effects;
    for (int i = 0; i < 100; ++i) {
      effects.push_back(OpenInstance());
      Process(effects.back(), 4);
    }
    state.counters["KiB/instance"] = static_cast<double>(ResidentKiB() - before) / 100.0;
    for (AEffect* effect : effects) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    warm->dispatcher(warm, effClose, 0, 0, nullptr, 0.0f);
  }
  state.counters["draw bitmap KiB"] = kPixels * 4 / 1024.0;
}

BENCHMARK(RenderPicture);
BENCHMARK(FillPicture);
BENCHMARK(PaintRows)->DenseRange(0, 2);
BENCHMARK(ResidentPerInstance)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunBenchmarks(argc, argv, [](const tarvel::bench::TimesReporter& times) {
    if (!times.Has("RenderPicture") || !times.Has("FillPicture")) return;
    const double fill = times.Nanoseconds("FillPicture");
    const double render = times.Nanoseconds("RenderPicture");
    std::printf("\nRenderPicture %.0f ns (%.3f ns per pixel) = %.2f x FillPicture (%.0f ns)\n", render,
                render / kPixels, render / fill, fill);
    for (const char* variant : {"PaintRows/0", "PaintRows/1", "PaintRows/2"}) {
      if (times.Has(variant))
        std::printf("%s %.0f ns = %.2f x FillPicture\n", variant, times.Nanoseconds(variant),
                    times.Nanoseconds(variant) / fill);
    }
  });
}
