// Transforms, each against references measured in the same run:
// - both channels packed into one complex transform, as the engine runs them
//   per block: the engine's shared plans (measured ones from the compiled-in
//   wisdom of this processor's vector class) against FFTW_ESTIMATE plans;
// - one channel of the real FFT the kernel design uses: RealFftCached against
//   FFTW's plans (FFTW_MEASURE) of the same length, r2r (R2HC/HC2R, the same
//   half-complex layout) and r2c/c2r (complex layout, the faster bound). FFTW
//   runs bare (no 1/sqrt(n) scaling).
//
// Each iteration copies a block in and transforms it forward and back.

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

#include "dsp/ComplexFft.h"
#include "dsp/RealFft.h"
#include "effect/EngineWisdom.h"

namespace {

using tarvel::FftCache;

std::vector<double> Signal(std::int64_t n, std::uint64_t seed = 0) {
  std::mt19937_64 engine(static_cast<std::uint64_t>(n) + seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (double& v : values) v = uniform(engine);
  return values;
}

// Arrays of an FftCache at the lengths callers allocate for one channel.
struct SingleCache {
  explicit SingleCache(std::size_t n) : stored(2 * n + 15), working(stored.size()) {
    cache.stored = stored.data();
    cache.working = working.data();
  }
  SingleCache(const SingleCache&) = delete;
  SingleCache& operator=(const SingleCache&) = delete;
  std::vector<double> stored, working;
  FftCache cache;
};

void OneChannel(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::vector<double> signal = Signal(n);
  SingleCache arrays(signal.size());
  std::vector<double> block(signal.size()), spectrum(signal.size()), out(signal.size());
  for (auto _ : state) {
    std::copy(signal.begin(), signal.end(), block.begin());
    tarvel::RealFftCached(block.data(), spectrum.data(), n, tarvel::kFftForward, arrays.cache);
    tarvel::RealFftCached(spectrum.data(), out.data(), n, tarvel::kFftInverse, arrays.cache);
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

// Two channels as one complex block (the engine's form), both directions out
// of place: through the engine's shared plans, or through
// plans made here with FFTW_ESTIMATE.
void ComplexPair(benchmark::State& state, bool enginePlans) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::vector<double> signal = Signal(2 * static_cast<std::int64_t>(n));
  tarvel::ComplexBuffer block(n), spectrum(n);
  static const bool wisdom = tarvel::ImportFftWisdom(tarvel::kEngineWisdom);
  if (enginePlans && !wisdom) state.SetLabel("no wisdom for this processor");
  const auto engine = enginePlans ? tarvel::ComplexFft::Shared(n) : nullptr;
  auto* in = reinterpret_cast<fftw_complex*>(block.data());
  auto* out = reinterpret_cast<fftw_complex*>(spectrum.data());
  fftw_plan forward = nullptr, inverse = nullptr;
  if (!enginePlans) {
    // Without the wisdom, which FFTW would otherwise use for these plans too
    // (this program is single-threaded: no lock needed around the planner).
    fftw_forget_wisdom();
    forward = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    inverse = fftw_plan_dft_1d(n, out, in, FFTW_BACKWARD, FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
    tarvel::ImportFftWisdom(tarvel::kEngineWisdom[static_cast<std::int32_t>(tarvel::ActiveFftSimd())]);
  }
  for (auto _ : state) {
    std::copy(signal.begin(), signal.end(), block.data());
    if (enginePlans) {
      engine->Forward(block.data(), spectrum.data());
      engine->Inverse(spectrum.data(), block.data());
    } else {
      fftw_execute_dft(forward, in, out);
      fftw_execute_dft(inverse, out, in);
    }
    benchmark::DoNotOptimize(spectrum.data());
    benchmark::ClobberMemory();
  }
  if (!enginePlans) {
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
  }
}

void EnginePlans(benchmark::State& state) { ComplexPair(state, true); }
void EstimatedPlans(benchmark::State& state) { ComplexPair(state, false); }

// The engine's lengths at 44.1, 48, 96 and 192 kHz, and a design length (one
// channel only). Registered length by length so that the sides of a ratio run
// back to back.
void RegisterPairs() {
  for (const int n : {2560, 3072, 6144, 12800, 8228}) {
    if (n != 8228) {
      benchmark::RegisterBenchmark("EnginePlans", EnginePlans)->Arg(n);
      benchmark::RegisterBenchmark("EstimatedPlans", EstimatedPlans)->Arg(n);
    }
    benchmark::RegisterBenchmark("OneChannel", OneChannel)->Arg(n);
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
    std::printf("\nTwo channels as one complex transform, forward + inverse, best CPU time\n");
    for (const auto& [length, sides] : best_) {
      const auto engine = sides.find("EnginePlans");
      const auto estimated = sides.find("EstimatedPlans");
      if (engine == sides.end() || estimated == sides.end()) continue;
      std::printf("n = %6ld: engine's plans %7.0f ns; FFTW_ESTIMATE %7.0f ns, ratio %.2f\n", length,
                  engine->second, estimated->second, engine->second / estimated->second);
    }
    std::printf("\nOne channel forward + inverse, best CPU time; ratio = ours / FFTW\n");
    for (const auto& [length, sides] : best_) {
      const auto ours = sides.find("OneChannel");
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
