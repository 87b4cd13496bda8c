// The plug-in core's share of a process call: binding two host buffers per
// side and running the pass-through ProcessBlock over 512 stereo frames,
// against moving the same samples directly (the least a pass-through does).

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "tests/plugin/TestPlug.h"

namespace {

constexpr int kFrames = 512;

// One block for all four channels, so both benchmarks see the same layout.
struct Stereo {
  std::vector<double> block = std::vector<double>(4 * kFrames + 64, 0.25);
  double* inputs[2] = {block.data(), block.data() + kFrames};
  double* outputs[2] = {block.data() + 2 * kFrames + 64, block.data() + 3 * kFrames + 64};
};

void BM_DirectCopy(benchmark::State& state) {
  Stereo host;
  for (auto _ : state) {
    for (int c = 0; c < 2; ++c) std::memmove(host.outputs[c], host.inputs[c], kFrames * sizeof(double));
    benchmark::DoNotOptimize(host.block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_DirectCopy);

void BM_BindAndProcessDouble(benchmark::State& state) {
  tarvel::test::TestPlug plug;
  plug.SetInputConnections(0, 2, true);
  plug.SetOutputConnections(0, 2, true);
  plug.SetBlockSize(1024);
  Stereo host;
  for (auto _ : state) {
    plug.ConnectInputsDouble(0, 2, host.inputs);
    plug.ConnectOutputsDouble(0, 2, host.outputs);
    plug.ProcessDouble(kFrames);
    benchmark::DoNotOptimize(host.block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_BindAndProcessDouble);

}  // namespace

BENCHMARK_MAIN();
