// RealFftCached forward + inverse against FFTW's plans (FFTW_MEASURE) of the
// same length, measured in the same run; prints the time ratios per length.
// The reference is FFTW's r2r pair (R2HC/HC2R, the same half-complex layout);
// its r2c/c2r pair, with the complex layout, is timed too as the faster bound.
//
// Each iteration copies a block in, transforms it forward out of place and
// back, as the convolution engine does per channel and block. FFTW runs bare
// (no 1/sqrt(n) scaling).

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/RealFft.h"

namespace {

using tarvel::FftCache;

std::vector<double> Signal(std::int64_t n) {
  std::mt19937_64 engine(static_cast<std::uint64_t>(n));
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (double& v : values) v = uniform(engine);
  return values;
}

void RealFftCachedPair(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::vector<double> signal = Signal(n);
  std::vector<double> stored(2 * signal.size() + 15), working(stored.size());
  std::vector<double> block(signal.size()), spectrum(signal.size()), out(signal.size());
  FftCache cache;
  cache.stored = stored.data();
  cache.working = working.data();
  for (auto _ : state) {
    std::copy(signal.begin(), signal.end(), block.begin());
    tarvel::RealFftCached(block.data(), spectrum.data(), n, tarvel::kFftForward, cache);
    tarvel::RealFftCached(spectrum.data(), out.data(), n, tarvel::kFftInverse, cache);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

// FFTW's aligned arrays, freed with the plan holder.
struct FftwBuffer {
  explicit FftwBuffer(std::size_t n) : data(fftw_alloc_real(n)) {}
  ~FftwBuffer() { fftw_free(data); }
  FftwBuffer(const FftwBuffer&) = delete;
  FftwBuffer& operator=(const FftwBuffer&) = delete;
  double* data;
};

void FftwPair(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  const std::vector<double> signal = Signal(n);
  const auto size = signal.size();
  FftwBuffer block(size), spectrum(size), out(size);
  fftw_plan forward = fftw_plan_r2r_1d(n, block.data, spectrum.data, FFTW_R2HC, FFTW_MEASURE);
  fftw_plan inverse = fftw_plan_r2r_1d(n, spectrum.data, out.data, FFTW_HC2R, FFTW_MEASURE);
  for (auto _ : state) {
    std::copy(signal.begin(), signal.end(), block.data);
    fftw_execute(forward);
    fftw_execute(inverse);
    benchmark::DoNotOptimize(out.data);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(forward);
  fftw_destroy_plan(inverse);
}

void FftwComplexPair(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  const std::vector<double> signal = Signal(n);
  const auto size = signal.size();
  FftwBuffer block(size), out(size);
  fftw_complex* spectrum = fftw_alloc_complex(size / 2 + 1);
  fftw_plan forward = fftw_plan_dft_r2c_1d(n, block.data, spectrum, FFTW_MEASURE);
  fftw_plan inverse = fftw_plan_dft_c2r_1d(n, spectrum, out.data, FFTW_MEASURE);
  for (auto _ : state) {
    std::copy(signal.begin(), signal.end(), block.data);
    fftw_execute(forward);
    fftw_execute(inverse);
    benchmark::DoNotOptimize(out.data);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(forward);
  fftw_destroy_plan(inverse);
  fftw_free(spectrum);
}

// The engine's lengths at 44.1, 48, 96 and 192 kHz, and a design length.
// Registered length by length, ours first, so the two sides of a ratio run
// back to back.
void RegisterPairs() {
  for (const int n : {2560, 3072, 6144, 12800, 8228}) {
    benchmark::RegisterBenchmark("RealFftCachedPair", RealFftCachedPair)->Arg(n);
    benchmark::RegisterBenchmark("FftwPair", FftwPair)->Arg(n);
    benchmark::RegisterBenchmark("FftwComplexPair", FftwComplexPair)->Arg(n);
  }
}

// Console output plus, at the end, the best time of each side per length and
// their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.benchmark_name();
      const std::size_t slash = name.find('/');
      const std::string side = name.substr(0, slash);
      const long length = std::stol(name.substr(slash + 1));
      const double ns = run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      auto [it, added] = best_[length].try_emplace(side, ns);
      if (!added) it->second = std::min(it->second, ns);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nforward + inverse, best CPU time per pair; ratio = ours / FFTW (FFTW_MEASURE)\n");
    for (const auto& [length, sides] : best_) {
      const auto ours = sides.find("RealFftCachedPair");
      const auto r2r = sides.find("FftwPair");
      const auto r2c = sides.find("FftwComplexPair");
      if (ours == sides.end() || r2r == sides.end() || r2c == sides.end()) continue;
      std::printf("n = %6ld: RealFftCached %7.0f ns; FFTW r2r %7.0f ns, ratio %.2f;"
                  " FFTW r2c/c2r %7.0f ns, ratio %.2f\n",
                  length, ours->second, r2r->second, ours->second / r2r->second, r2c->second,
                  ours->second / r2c->second);
    }
  }

 private:
  std::map<long, std::map<std::string, double>> best_;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterPairs();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
