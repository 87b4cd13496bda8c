// The bitmap text's costs, each beside a reference measured in the same run:
//   decoding a font strip (PNG, 24 x 2688) against copying its decoded pixels;
//   BuildBitmapFont against copying the two strips' pixels;
//   DrawTextLabel of a 20-character line against copying the 20 cells' pixels.
// Prints the ratios at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/TimesReporter.h"
#include "gui/ImageResources.h"
#include "gui/ModuleResources.h"
#include "plugin/ModuleHandle.h"
#include "raster/LICE_MemBitmap.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"

namespace {

using namespace tarvel;

constexpr int kEditorSize = 768;
constexpr const char kLine[] = "Q bin: -1234567 #890";  // 20 characters
static_assert(sizeof kLine == 21);

std::span<const std::uint8_t> Strip(int id) { return FindModuleResource(ModuleHandle(), id, "PNG"); }

ImageView View(LICE_MemBitmap& bitmap) { return {bitmap.PixelWidth(), bitmap.PixelHeight(), bitmap.Pixels()}; }

struct Font {
  std::unique_ptr<LICE_MemBitmap> glyphs = DecodePng(Strip(100));
  std::unique_ptr<LICE_MemBitmap> limits = DecodePng(Strip(101));
  std::unique_ptr<BitmapFont> font = BuildBitmapFont(View(*glyphs), View(*limits), -5);
};

Font& SharedFont() {
  static Font font;
  return font;
}

void CopyPixels(benchmark::State& state, std::size_t count) {
  std::vector<std::uint32_t> from(count, 0xFF808080u), to(count);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), count * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

void DecodeGlyphStrip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodePng(Strip(100)));
}
void DecodeLimitsStrip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodePng(Strip(101)));
}
void CopyStripPixels(benchmark::State& state) { CopyPixels(state, 24 * 2688); }

void BuildFont(benchmark::State& state) {
  Font& f = SharedFont();
  for (auto _ : state) benchmark::DoNotOptimize(BuildBitmapFont(View(*f.glyphs), View(*f.limits), -5));
}
void CopyTwoStripsPixels(benchmark::State& state) { CopyPixels(state, 2 * 24 * 2688); }

void DrawLine(benchmark::State& state) {
  auto label = CreateTextLabel(SharedFont().font.get(), 6, 756, kAlignLeft);
  std::memcpy(label->text.data(), kLine, sizeof kLine);
  std::vector<std::uint32_t> pixels(kEditorSize * kEditorSize, 0xFF204060u);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DrawTextLabel(*label, pixels.data(), 0xFFFFFFFFu, kEditorSize, kEditorSize));
    benchmark::ClobberMemory();
  }
}
void CopyLineCellsPixels(benchmark::State& state) { CopyPixels(state, 20 * 24 * 12); }

BENCHMARK(DecodeGlyphStrip);
BENCHMARK(DecodeLimitsStrip);
BENCHMARK(CopyStripPixels);
BENCHMARK(BuildFont);
BENCHMARK(CopyTwoStripsPixels);
BENCHMARK(DrawLine);
BENCHMARK(CopyLineCellsPixels);

void PrintRatio(const tarvel::bench::TimesReporter& times, const std::string& measured, const std::string& reference) {
  if (!times.Has(measured) || !times.Has(reference)) return;
  std::printf("%-18s %10.0f ns = %7.1f x %-20s (%.0f ns)\n", measured.c_str(), times.Nanoseconds(measured),
              times.Nanoseconds(measured) / times.Nanoseconds(reference), reference.c_str(),
              times.Nanoseconds(reference));
}

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunBenchmarks(argc, argv, [](const tarvel::bench::TimesReporter& times) {
    std::printf("\nCPU time per call, and its ratio to the reference beside it\n");
    PrintRatio(times, "DecodeGlyphStrip", "CopyStripPixels");
    PrintRatio(times, "DecodeLimitsStrip", "CopyStripPixels");
    PrintRatio(times, "BuildFont", "CopyTwoStripsPixels");
    PrintRatio(times, "DrawLine", "CopyLineCellsPixels");
  });
}
