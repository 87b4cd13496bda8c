// Measures the engine's FFTW plans for one vector class of the processor, or
// checks the text compiled in for a class (scripts/measure-wisdom.sh, and the
// tests). A class above this processor's is refused: its codelets cannot run
// here, so nothing could be measured for it.
//
// Usage: tarvel_wisdom measure CLASS OUTPUT   writes the wisdom text
//        tarvel_wisdom check CLASS            the compiled-in text loads and
//                                             holds plans for every length
// CLASS: sse2, avx, avx2 or avx512. Exit status 0 done, 1 failed, 2 usage,
// 77 this processor lacks CLASS.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dsp/ComplexFft.h"
#include "effect/EngineWisdom.h"
#include "effect/KernelDesign.h"

namespace {

using namespace tarvel;

std::optional<FftSimd> ParseSimd(const char* name) {
  for (std::int32_t i = 0; i < kFftSimdCount; ++i) {
    if (std::strcmp(name, FftSimdName(static_cast<FftSimd>(i))) == 0) return static_cast<FftSimd>(i);
  }
  return std::nullopt;
}

// Whether the wisdom in the planner gives measured plans for every length.
bool CoversEveryLength(const char* simd) {
  bool covered = true;
  for (const std::int32_t rate : kEngineWisdomRates) {
    const std::int32_t n = TransformLengthForRate(rate);
    if (!ComplexFft::FromWisdom(n)) {
      std::fprintf(stderr, "tarvel_wisdom: the %s wisdom holds no plans for length %d (%d Hz)\n", simd, n, rate);
      covered = false;
    }
  }
  return covered;
}

int Measure(FftSimd simd, const char* path) {
  std::vector<FftWisdomRequest> requests;
  for (std::size_t i = 0; i < std::size(kEngineWisdomRates); ++i) {
    requests.push_back({TransformLengthForRate(kEngineWisdomRates[i]), i < kPatientWisdomRates});
  }
  const std::string wisdom = MeasureFftWisdom(requests);
  if (wisdom.empty() || !CoversEveryLength(FftSimdName(simd))) return 1;
  // Binary mode: the same bytes from both targets' builds of this tool.
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) {
    std::perror(path);
    return 1;
  }
  std::fputs(wisdom.c_str(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}

int Check(FftSimd simd) {
  const char* name = FftSimdName(simd);
  if (!ImportFftWisdom(kEngineWisdom[static_cast<std::int32_t>(simd)])) {
    std::fprintf(stderr, "tarvel_wisdom: FFTW refuses the %s wisdom (empty, malformed or of another class)\n", name);
    return 1;
  }
  return CoversEveryLength(name) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool measure = argc == 4 && std::strcmp(argv[1], "measure") == 0;
  const bool check = argc == 3 && std::strcmp(argv[1], "check") == 0;
  const std::optional<FftSimd> simd = measure || check ? ParseSimd(argv[2]) : std::nullopt;
  if (!simd) {
    std::fprintf(stderr, "usage: %s measure sse2|avx|avx2|avx512 OUTPUT\n       %s check sse2|avx|avx2|avx512\n",
                 argv[0], argv[0]);
    return 2;
  }
  if (!RestrictFftSimd(*simd)) {
    std::fprintf(stderr, "tarvel_wisdom: this processor has no %s (its best class is %s)\n", FftSimdName(*simd),
                 FftSimdName(FftSimdFor(ReadCpuVectorFeatures())));
    return 77;
  }
  return measure ? Measure(*simd, argv[3]) : Check(*simd);
}
