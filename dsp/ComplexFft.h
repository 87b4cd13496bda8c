#pragma once
// Complex double-precision transforms for the audio path, on a private copy
// of FFTW: the plans of one length are made once per process, off the audio
// path, and shared by every user; executing them is thread-safe. Every call
// into FFTW's planner (which is not) goes through one lock of this file.
//
// Values are complex, real and imaginary parts interleaved. Forward is
// X_k = sum x_t e^(-2 pi i k t / n), inverse the same with e^(+...); neither
// is scaled.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

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

// The processor features that decide which of FFTW's codelets can run, e.g.
// "sse2 avx avx2 fma avx512f": wisdom is only valid where they are the same.
std::string FftCpuFeatures();

// Takes in wisdom that MeasureFftWisdom gave on a processor with `features`,
// if this one has the same; plans made afterwards use it. Answers whether it
// was taken (false also for wisdom FFTW refuses).
bool ImportFftWisdom(std::string_view features, const char* wisdom);

// A length to measure for wisdom. Patient planning tries many more plans
// (seconds per length where plain measuring takes a fraction of one) and
// finds faster ones: worth it for the lengths most sessions run at.
struct FftWisdomRequest {
  std::int32_t length;
  bool patient;
};

// Measures the plans of these lengths as Shared makes them and answers the
// wisdom for ImportFftWisdom: for each length the fastest of a few planning
// attempts, if it beats the estimated plan (otherwise none). For build tools,
// never for a plug-in instance.
std::string MeasureFftWisdom(std::span<const FftWisdomRequest> requests);

}  // namespace tarvel
