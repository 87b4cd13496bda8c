#include "dsp/ComplexFft.h"

#include <fftw3.h>

#include <algorithm>
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

void ComplexFft::Forward(const double* in, double* out) const {
  // FFTW does not write an out-of-place complex input; its signature just
  // has no const.
  fftw_execute_dft(forward, Complex(const_cast<double*>(in)), Complex(out));
}

void ComplexFft::Inverse(double* in, double* out) const { fftw_execute_dft(inverse, Complex(in), Complex(out)); }

std::string FftCpuFeatures() {
  __builtin_cpu_init();
  const std::pair<const char*, bool> features[] = {
      {"sse2", __builtin_cpu_supports("sse2")},
      {"avx", __builtin_cpu_supports("avx")},
      {"avx2", __builtin_cpu_supports("avx2")},
      {"fma", __builtin_cpu_supports("fma")},
      {"avx512f", __builtin_cpu_supports("avx512f")},
  };
  std::string names;
  for (const auto& [name, present] : features) {
    if (!present) continue;
    if (!names.empty()) names += ' ';
    names += name;
  }
  return names;
}

bool ImportFftWisdom(std::string_view features, const char* wisdom) {
  if (wisdom == nullptr || *wisdom == '\0' || features != FftCpuFeatures()) return false;
  const std::lock_guard guard(plannerLock);
  return fftw_import_wisdom_from_string(wisdom) != 0;
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
