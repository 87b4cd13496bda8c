#pragma once
// Complex double-precision transforms for the audio path, on a private copy
// of FFTW: the plans of one length are made once per process, off the audio
// path, and shared by every user; executing them is thread-safe. Every call
// into FFTW's planner (which is not) goes through one lock of this file.
//
// Values are complex, real and imaginary parts interleaved. Forward is
// X_k = sum x_t e^(-2 pi i k t / n), inverse the same with e^(+...); neither
// is scaled.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct fftw_plan_s;

namespace tarvel {

struct FftWisdomRequest;

// An array of complex values from FFTW's allocator (aligned as its SIMD code
// wants), zero-filled. Throws std::bad_alloc when the memory is not there.
class ComplexBuffer {
public:
  ComplexBuffer() = default;
  explicit ComplexBuffer(std::int32_t count);
  double* data() { return values.get(); }
  const double* data() const { return values.get(); }

private:
  struct Free {
    void operator()(double* p) const;
  };
  std::unique_ptr<double[], Free> values;
};

class ComplexFft {
public:
  // The process's plans of length n, made on first use (measured ones where
  // imported wisdom holds them, estimated ones otherwise); null for n < 1 or
  // when FFTW cannot plan. Allocates and may take milliseconds: never call it
  // on the audio path.
  static std::shared_ptr<const ComplexFft> Shared(std::int32_t n);
  // Plans of length n from the imported wisdom alone, made now and not
  // shared; null where the wisdom holds none. For tools, tests and benchmarks.
  static std::shared_ptr<const ComplexFft> FromWisdom(std::int32_t n);
  // Estimated plans of length n (FFTW_ESTIMATE, which takes measured wisdom
  // of the same problem where there is some), not shared. For benchmarks.
  static std::shared_ptr<const ComplexFft> Estimated(std::int32_t n);

  ComplexFft(const ComplexFft&) = delete;
  ComplexFft& operator=(const ComplexFft&) = delete;
  ~ComplexFft();

  std::int32_t Length() const { return length; }
  // Out of place: in and out are distinct ComplexBuffers of Length() values;
  // in is left as it was.
  void Forward(const double* in, double* out) const;
  // Out of place, like Forward, except that in is used as working space and
  // left undefined.
  void Inverse(double* in, double* out) const;

private:
  ComplexFft(std::int32_t n, fftw_plan_s* forward, fftw_plan_s* inverse)
      : length(n), forward(forward), inverse(inverse) {}
  static std::shared_ptr<const ComplexFft> Plan(std::int32_t n, unsigned flags);
  friend std::string MeasureFftWisdom(std::span<const FftWisdomRequest> requests);

  const std::int32_t length;
  fftw_plan_s* const forward;
  fftw_plan_s* const inverse;
};

// FFTW's vector classes on x86-64, each holding the ones before it. FFTW's
// planner registers the solvers of every class the processor runs, and a
// wisdom text starts with a signature of the registered solvers: a text loads
// only into a planner of the class it was measured in.
enum class FftSimd : std::int32_t { kSse2, kAvx, kAvx2, kAvx512 };
inline constexpr std::int32_t kFftSimdCount = 4;
// "sse2", "avx", "avx2", "avx512".
const char* FftSimdName(FftSimd simd);

// What FFTW's processor checks read: CPUID feature bits and the register
// states the operating system saves (XCR0, readable where OSXSAVE is set).
struct CpuVectorFeatures {
  bool osxsave = false;
  bool avx = false;
  bool fma = false;
  bool avx2 = false;
  bool avx512f = false;
  std::uint64_t xcr0 = 0;
};
CpuVectorFeatures ReadCpuVectorFeatures();
// The highest class whose codelets run with these features, by FFTW's own
// checks; AVX2 also asks for FMA, which FFTW's AVX2 codelets use unchecked.
FftSimd FftSimdFor(const CpuVectorFeatures& features);

// The class FFTW's planner in this process registers solvers up to: this
// processor's own unless restricted before the planner's first use.
FftSimd ActiveFftSimd();
// Leaves the solvers of the classes above `simd` out of FFTW's planner, as on
// a processor without them. Refused (false) for a class this processor lacks
// or once the planner has been set up with another class.
bool RestrictFftSimd(FftSimd simd);

// One wisdom text per class (index FftSimd), empty where none was measured.
using FftWisdomTexts = std::array<const char*, kFftSimdCount>;

// Takes in one wisdom text; plans made afterwards use it where it applies.
// Answers whether FFTW took it (false for text of another class, malformed
// text, null or empty).
bool ImportFftWisdom(const char* wisdom);
// Before the process's first plan: restricts FFTW to the highest class this
// processor runs that has a text, and imports that text. Answers whether it
// was taken; otherwise plans are estimated ones.
bool ImportFftWisdom(const FftWisdomTexts& texts);

// A length to measure for wisdom. Patient planning tries many more plans
// (seconds per length where plain measuring takes a fraction of one) and
// finds faster ones: worth it for the lengths most sessions run at.
struct FftWisdomRequest {
  std::int32_t length;
  bool patient;
};

// Measures the plans of these lengths as Shared makes them and answers the
// wisdom for ImportFftWisdom: for each length the fastest of a few planning
// attempts, if it beats the estimated plan (otherwise none), for the class
// the planner runs in. Takes seconds: for tools, never for a plug-in instance.
std::string MeasureFftWisdom(std::span<const FftWisdomRequest> requests);

}  // namespace tarvel
