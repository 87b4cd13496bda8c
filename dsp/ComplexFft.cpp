#include "dsp/ComplexFft.h"

#include <fftw3.h>

#include <cpuid.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace tarvel {
namespace {

// Serialises every call into FFTW's planner, wisdom included (fftw_execute_*
// needs no lock). Constant-initialised, so it outlives every plan.
std::mutex plannerLock;

// Measured plans where wisdom has them; nothing else is ever measured here.
constexpr unsigned kMeasured = FFTW_MEASURE;

fftw_complex* Complex(double* values) { return reinterpret_cast<fftw_complex*>(values); }

}  // namespace

ComplexBuffer::ComplexBuffer(std::int32_t count) {
  const std::size_t bytes = 2 * sizeof(double) * static_cast<std::size_t>(count > 0 ? count : 1);
  values.reset(static_cast<double*>(fftw_malloc(bytes)));
  if (!values) throw std::bad_alloc();
  std::memset(values.get(), 0, bytes);
}

void ComplexBuffer::Free::operator()(double* p) const { fftw_free(p); }

// Called with plannerLock held. Both plans are out of place, the inverse free
// to overwrite its input; the arrays are FFTW's own, so the engine's buffers (from the same
// allocator) have the alignment the plans were made for.
std::shared_ptr<const ComplexFft> ComplexFft::Plan(std::int32_t n, unsigned flags) {
  if (n < 1) return nullptr;
  ComplexBuffer in(n), out(n);
  fftw_plan forward = fftw_plan_dft_1d(n, Complex(in.data()), Complex(out.data()), FFTW_FORWARD, flags);
  fftw_plan inverse =
      fftw_plan_dft_1d(n, Complex(out.data()), Complex(in.data()), FFTW_BACKWARD, flags | FFTW_DESTROY_INPUT);
  if (forward == nullptr || inverse == nullptr) {
    if (forward != nullptr) fftw_destroy_plan(forward);
    if (inverse != nullptr) fftw_destroy_plan(inverse);
    return nullptr;
  }
  // The deleter takes the lock: the last owner may be anywhere.
  return std::shared_ptr<const ComplexFft>(new ComplexFft(n, forward, inverse));
}

ComplexFft::~ComplexFft() {
  const std::lock_guard guard(plannerLock);
  fftw_destroy_plan(forward);
  fftw_destroy_plan(inverse);
}

std::shared_ptr<const ComplexFft> ComplexFft::Shared(std::int32_t n) {
  if (n < 1) return nullptr;
  // Kept for the life of the module: instances come and go (a host's scan
  // creates and closes hundreds), and planning again each time would cost
  // milliseconds per instance. One entry per length, and the lengths are few.
  static std::map<std::int32_t, std::shared_ptr<const ComplexFft>> plans;
  const std::lock_guard guard(plannerLock);
  std::shared_ptr<const ComplexFft>& entry = plans[n];
  if (!entry) entry = Plan(n, kMeasured | FFTW_WISDOM_ONLY);
  if (!entry) entry = Plan(n, FFTW_ESTIMATE);
  return entry;
}

std::shared_ptr<const ComplexFft> ComplexFft::FromWisdom(std::int32_t n) {
  const std::lock_guard guard(plannerLock);
  return Plan(n, kMeasured | FFTW_WISDOM_ONLY);
}

std::shared_ptr<const ComplexFft> ComplexFft::Estimated(std::int32_t n) {
  const std::lock_guard guard(plannerLock);
  return Plan(n, FFTW_ESTIMATE);
}

void ComplexFft::Forward(const double* in, double* out) const {
  // FFTW does not write an out-of-place complex input; its signature just
  // has no const.
  fftw_execute_dft(forward, Complex(const_cast<double*>(in)), Complex(out));
}

void ComplexFft::Inverse(double* in, double* out) const { fftw_execute_dft(inverse, Complex(in), Complex(out)); }

const char* FftSimdName(FftSimd simd) {
  static constexpr const char* kNames[kFftSimdCount] = {"sse2", "avx", "avx2", "avx512"};
  const auto index = static_cast<std::int32_t>(simd);
  return index >= 0 && index < kFftSimdCount ? kNames[index] : "";
}

CpuVectorFeatures ReadCpuVectorFeatures() {
  CpuVectorFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
  features.osxsave = (ecx & bit_OSXSAVE) != 0;
  features.avx = (ecx & bit_AVX) != 0;
  features.fma = (ecx & bit_FMA) != 0;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
    features.avx2 = (ebx & bit_AVX2) != 0;
    features.avx512f = (ebx & bit_AVX512F) != 0;
  }
  if (features.osxsave) {
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    features.xcr0 = (std::uint64_t{high} << 32) | low;
  }
  return features;
}

FftSimd FftSimdFor(const CpuVectorFeatures& f) {
  // The tests of FFTW 3.3.10's simd-support/*.c: the OS must save the XMM and
  // YMM states (XCR0 bits 1, 2) for AVX and AVX2, and also the opmask and
  // both ZMM halves (bits 5-7) for AVX-512.
  const bool ymmSaved = f.osxsave && (f.xcr0 & 0x6) == 0x6;
  const bool zmmSaved = f.osxsave && (f.xcr0 & 0xE6) == 0xE6;
  if (!f.avx || !ymmSaved) return FftSimd::kSse2;
  if (!f.avx2 || !f.fma) return FftSimd::kAvx;
  if (!f.avx512f || !zmmSaved) return FftSimd::kAvx2;
  return FftSimd::kAvx512;
}

namespace {

// -1 until restricted: the processor's own class.
std::atomic<std::int32_t> restrictedSimd{-1};
// Set when FFTW's planner asks which solvers to register (once per process).
std::atomic<bool> plannerSetUp{false};

bool Allows(FftSimd simd) {
  plannerSetUp.store(true);
  return ActiveFftSimd() >= simd;
}

}  // namespace

FftSimd ActiveFftSimd() {
  static const FftSimd processor = FftSimdFor(ReadCpuVectorFeatures());
  const std::int32_t restricted = restrictedSimd.load();
  return restricted < 0 ? processor : static_cast<FftSimd>(restricted);
}

bool RestrictFftSimd(FftSimd simd) {
  const std::lock_guard guard(plannerLock);
  if (simd > FftSimdFor(ReadCpuVectorFeatures())) return false;
  if (plannerSetUp.load()) return simd == ActiveFftSimd();
  restrictedSimd.store(static_cast<std::int32_t>(simd));
  return true;
}

bool ImportFftWisdom(const char* wisdom) {
  if (wisdom == nullptr || *wisdom == '\0') return false;
  const std::lock_guard guard(plannerLock);
  return fftw_import_wisdom_from_string(wisdom) != 0;
}

bool ImportFftWisdom(const FftWisdomTexts& texts) {
  auto simd = static_cast<std::int32_t>(FftSimdFor(ReadCpuVectorFeatures()));
  while (simd > 0 && (texts[simd] == nullptr || *texts[simd] == '\0')) --simd;
  // A planner set up for another class refuses the text by its signature.
  RestrictFftSimd(static_cast<FftSimd>(simd));
  return ImportFftWisdom(texts[simd]);
}

namespace {

// Called with plannerLock held.
std::string ExportWisdom() {
  std::string wisdom;
  if (char* text = fftw_export_wisdom_to_string()) {
    wisdom = text;
    std::free(text);
  }
  return wisdom;
}

// The least time of many pairs of the plan's two transforms, in seconds: the
// least is the one that other work on the machine disturbed least.
double FastestPair(const ComplexFft& fft, ComplexBuffer& in, ComplexBuffer& out) {
  double fastest = 1e30;
  for (int run = 0; run < 200; ++run) {
    const auto start = std::chrono::steady_clock::now();
    fft.Forward(in.data(), out.data());
    fft.Inverse(out.data(), in.data());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    fastest = std::min(fastest, took.count());
  }
  return fastest;
}

}  // namespace

std::string MeasureFftWisdom(std::span<const FftWisdomRequest> requests) {
  // The planner picks by timing, and other work on the machine can make it
  // pick a poor plan: each length is planned a few times, and the results
  // and the estimated plan are timed again in turns, so that a disturbance
  // hits all of them alike. Only a plan that beats the estimate is kept.
  std::vector<std::string> kept;
  for (const FftWisdomRequest& request : requests) {
    const std::int32_t n = request.length;
    const int attempts = 3;
    std::vector<std::pair<std::shared_ptr<const ComplexFft>, std::string>> candidates;
    for (int attempt = 0; attempt <= attempts; ++attempt) {
      const bool estimate = attempt == attempts;
      const std::lock_guard guard(plannerLock);
      fftw_forget_wisdom();
      auto plans = ComplexFft::Plan(n, estimate ? FFTW_ESTIMATE : request.patient ? FFTW_PATIENT : FFTW_MEASURE);
      if (plans) candidates.emplace_back(std::move(plans), estimate ? std::string() : ExportWisdom());
    }
    if (candidates.empty()) continue;
    ComplexBuffer in(n), out(n);
    for (std::int32_t i = 0; i < 2 * n; ++i) in.data()[i] = (i % 7) * 0.25 - 0.75;
    std::vector<double> fastest(candidates.size(), 1e30);
    for (int round = 0; round < 10; ++round) {
      for (std::size_t c = 0; c < candidates.size(); ++c) {
        fastest[c] = std::min(fastest[c], FastestPair(*candidates[c].first, in, out));
      }
    }
    const auto best = std::min_element(fastest.begin(), fastest.end()) - fastest.begin();
    if (!candidates[best].second.empty()) kept.push_back(candidates[best].second);
  }
  const std::lock_guard guard(plannerLock);
  fftw_forget_wisdom();
  for (const std::string& wisdom : kept) fftw_import_wisdom_from_string(wisdom.c_str());
  return ExportWisdom();
}

}  // namespace tarvel

// FFTW asks these once, when its planner registers its solvers (the linker
// sends its calls here: dsp/CMakeLists.txt). A class above the active one
// answers "not available", so the planner, and the signature of its wisdom,
// are those of a processor without it.
extern "C" {
int __real_fftw_have_simd_avx();
int __real_fftw_have_simd_avx2();
int __real_fftw_have_simd_avx2_128();
int __real_fftw_have_simd_avx512();
int __wrap_fftw_have_simd_avx() { return tarvel::Allows(tarvel::FftSimd::kAvx) && __real_fftw_have_simd_avx(); }
int __wrap_fftw_have_simd_avx2() { return tarvel::Allows(tarvel::FftSimd::kAvx2) && __real_fftw_have_simd_avx2(); }
int __wrap_fftw_have_simd_avx2_128() {
  return tarvel::Allows(tarvel::FftSimd::kAvx2) && __real_fftw_have_simd_avx2_128();
}
int __wrap_fftw_have_simd_avx512() {
  return tarvel::Allows(tarvel::FftSimd::kAvx512) && __real_fftw_have_simd_avx512();
}
}
