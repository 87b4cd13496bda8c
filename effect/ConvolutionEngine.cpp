#include "effect/ConvolutionEngine.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "dsp/DspHelpers.h"
#include "effect/ConvolutionEngineAvx2.h"
#include "effect/EngineWisdom.h"

namespace tarvel {

namespace {

// Flushes denormals to zero (FTZ and DAZ) for its lifetime, so that decaying
// tails cost nothing, and gives the caller its own floating-point state back.
class FlushDenormals {
public:
  FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
  ~FlushDenormals() { _mm_setcsr(saved); }
  FlushDenormals(const FlushDenormals&) = delete;
  FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  const unsigned saved;
};

bool IsUsableRate(double sampleRate) { return sampleRate > 0.0 && sampleRate < 2147483648.0; }

// Both channels side by side: a frame (left, right), which is also a
// complex value (real, imaginary).
typedef double Pair __attribute__((vector_size(16), __may_alias__));

Pair Swap(Pair a) { return __builtin_shufflevector(a, a, 1, 0); }
void Store(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }

// A lane per channel: all ones where a comparison holds.
typedef std::int64_t Mask __attribute__((vector_size(16)));

// frames[i] = (left[i], right[i]), a null channel read as silence;
// nonzero[c] becomes true where channel c had a sample other than zero (NaN
// counts).
void Collect(const double* left, const double* right, Pair* frames, std::int32_t count, bool nonzero[2],
             bool avx2) {
  Mask seen{0, 0};
  if (left != nullptr && right != nullptr) {
    std::int32_t i = avx2 ? CollectAvx2(left, right, reinterpret_cast<double*>(frames), count, nonzero) : 0;
    for (; i < count; ++i) {
      frames[i] = Pair{left[i], right[i]};
      seen |= frames[i] != 0.0;
    }
  } else {
    for (std::int32_t i = 0; i < count; ++i) {
      frames[i] = Pair{left ? left[i] : 0.0, right ? right[i] : 0.0};
      seen |= frames[i] != 0.0;
    }
  }
  nonzero[0] |= seen[0] != 0;
  nonzero[1] |= seen[1] != 0;
}

// Splits frames into their two channels; a null channel is skipped.
void Split(const Pair* frames, double* left, double* right, std::int32_t count, bool avx2) {
  if (left != nullptr && right != nullptr) {
    std::int32_t i = avx2 ? SplitAvx2(reinterpret_cast<const double*>(frames), left, right, count) : 0;
    for (; i + 1 < count; i += 2) {
      Store(left + i, __builtin_shufflevector(frames[i], frames[i + 1], 0, 2));
      Store(right + i, __builtin_shufflevector(frames[i], frames[i + 1], 1, 3));
    }
    if (i < count) {
      left[i] = frames[i][0];
      right[i] = frames[i][1];
    }
    return;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (left != nullptr) left[i] = frames[i][0];
    if (right != nullptr) right[i] = frames[i][1];
  }
}

// A real kernel's spectrum, from half-complex order to every bin k of the
// complex transform as h = hr + i hi (bins above n / 2 are the conjugates of
// those below), scaled.
void ExpandSpectrum(const double* halfComplex, double* form, std::int32_t n, double scale) {
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t mirror = n - k;
    double hr = 0.0, hi = 0.0;
    if (k == 0 || 2 * k == n) {
      hr = halfComplex[k];
    } else if (2 * k < n) {
      hr = halfComplex[k];
      hi = halfComplex[mirror];
    } else {
      hr = halfComplex[mirror];
      hi = -halfComplex[k];
    }
    form[2 * k] = hr * scale;
    form[2 * k + 1] = hi * scale;
  }
}

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

// Bin k of x times bin k of h.
Pair Product(Pair x, const double* form, std::int32_t k) {
  const double hr = form[2 * k], hi = form[2 * k + 1];
  return x * Pair{hr, hr} + Swap(x) * Pair{-hi, hi};
}

// x = x * h, bin by bin.
void Multiply(double* x, const double* form, std::int32_t n, bool avx2) {
  std::int32_t k = 0;
  if (avx2) k = MultiplyAvx2(x, form, n);
  Pair* values = reinterpret_cast<Pair*>(x);
  for (; k < n; ++k) values[k] = Product(values[k], form, k);
}

// sum = sum + x * h, bin by bin.
void MultiplyAdd(double* sum, const double* x, const double* form, std::int32_t n, bool avx2) {
  std::int32_t k = 0;
  if (avx2) k = MultiplyAddAvx2(sum, x, form, n);
  Pair* out = reinterpret_cast<Pair*>(sum);
  const Pair* values = reinterpret_cast<const Pair*>(x);
  for (; k < n; ++k) out[k] += Product(values[k], form, k);
}

}  // namespace

bool ConvolutionEngine::AllocateEngine(double sampleRate) {
  ReleaseEngine();
  if (!IsUsableRate(sampleRate)) return false;

  designRate = sampleRate;
  const auto rate = static_cast<std::int32_t>(sampleRate);
  kernelLength = KernelLengthForRate(rate);
  transformLength = TransformLengthForRate(rate);
  hop = transformLength - kernelLength + 1;
  blockFill = 0;

  // Once per process, before the first plans: the measured plans of this
  // processor's vector class.
  static const bool wisdomTaken = ImportFftWisdom(kEngineWisdom);
  static_cast<void>(wisdomTaken);
  transforms = ComplexFft::Shared(transformLength);
  if (!transforms) {
    ReleaseEngine();
    return false;
  }
  const std::int32_t n = transformLength;
  bandSpectra = DesignBandKernels(kernelLength, transformLength, designRate);
  mixedSpectrum.assign(n, 0.0);
  // Two complex values per bin, bins in whole pairs.
  mixedForm = ComplexBuffer(n);
  previousForm = ComplexBuffer(n);
  useAvx2 = HasAvx2();
  MixCurrentGains();
  block = ComplexBuffer(n);
  fadedBlock = ComplexBuffer(n);
  spectrum = ComplexBuffer(n);
  fadedSpectrum = ComplexBuffer(n);
  filtered = ComplexBuffer(n);
  accumulators = ComplexBuffer(n);
  sounding[0] = sounding[1] = false;
  fresh = true;
  // The crossfade weights, computed once: a cosine per sample and block would
  // cost more than the extra transform, and continuous automation crossfades
  // every block.
  fadeOutWeights.assign(hop, 1.0);
  ApplyCosineFade(fadeOutWeights.data(), hop, 1);
  fadeInWeights.assign(hop, 1.0);
  ApplyCosineFade(fadeInWeights.data(), hop, 0);
  return true;
}

void ConvolutionEngine::ClearHistory() {
  if (!Allocated()) return;
  blockFill = 0;
  std::fill_n(block.data(), 2 * std::size_t(transformLength), 0.0);
  std::fill_n(accumulators.data(), 2 * std::size_t(transformLength), 0.0);
  sounding[0] = sounding[1] = false;
  fresh = true;
}

void ConvolutionEngine::ReleaseEngine() {
  designRate = 0.0;
  kernelLength = 0;
  transformLength = 0;
  hop = 0;
  blockFill = 0;
  bandSpectra = {};
  sounding[0] = sounding[1] = false;
  fresh = false;
  for (std::vector<double>* buffer : {&mixedSpectrum, &fadeOutWeights, &fadeInWeights}) *buffer = {};
  for (ComplexBuffer* buffer :
       {&mixedForm, &previousForm, &block, &fadedBlock, &spectrum, &fadedSpectrum, &filtered, &accumulators}) {
    *buffer = {};
  }
  transforms.reset();
}

bool ConvolutionEngine::ResetProcessing(double sampleRate) {
  if (!IsUsableRate(sampleRate)) return false;
  if (Allocated() && sampleRate == designRate) return false;
  return AllocateEngine(sampleRate);
}

bool ConvolutionEngine::UsePlans(std::shared_ptr<const ComplexFft> plans) {
  if (!Allocated() || !plans || plans->Length() != transformLength) return false;
  transforms = std::move(plans);
  return true;
}

std::int32_t ConvolutionEngine::Latency() const {
  return Allocated() ? hop + kernelLength / 2 : 0;
}

void ConvolutionEngine::SetTargetGain(std::int32_t band, double gain) {
  if (band < 0 || band >= kBandCount || !std::isfinite(gain)) return;
  targetGains[band] = gain;
}

void ConvolutionEngine::ResetGains(const BandGains& gains) {
  for (std::int32_t m = 0; m < kBandCount; ++m) {
    if (std::isfinite(gains[m])) targetGains[m] = currentGains[m] = gains[m];
  }
  if (Allocated()) MixCurrentGains();
}

void ConvolutionEngine::MixCurrentGains() {
  MixBandKernels(bandSpectra, mixedSpectrum, currentGains);
  ExpandSpectrum(mixedSpectrum.data(), mixedForm.data(), transformLength,
                 1.0 / static_cast<double>(transformLength));
}

void ConvolutionEngine::ProcessBlock(const double* const* inputs, double* const* outputs,
                                     std::int32_t frames) {
  const FlushDenormals flush;
  const std::int32_t n = std::max(frames, 0);
  const auto input = [&](std::int32_t ch) { return inputs ? inputs[ch] : nullptr; };
  const auto output = [&](std::int32_t ch) { return outputs ? outputs[ch] : nullptr; };

  if (!Allocated()) {
    for (std::int32_t ch = 0; ch < kChannels; ++ch) {
      if (double* out = output(ch)) std::fill_n(out, n, 0.0);
    }
    return;
  }

  if (fresh && n > 0) {
    // Nothing has sounded yet: the settings made so far hold from this frame.
    fresh = false;
    if (currentGains != targetGains) {
      currentGains = targetGains;
      MixCurrentGains();
    }
  }

  // Pieces never cross a block boundary, and a block is processed the moment
  // it fills: the samples emitted for a piece are always complete ones.
  for (std::int32_t done = 0; done < n;) {
    const std::int32_t piece = std::min(n - done, hop - blockFill);
    // All inputs of the piece are read before any output is written, so the
    // host may pass the same buffers for both.
    const auto at = [done](auto* channel) { return channel ? channel + done : nullptr; };
    Collect(at(input(0)), at(input(1)), reinterpret_cast<Pair*>(block.data()) + blockFill, piece, sounding, useAvx2);
    Split(reinterpret_cast<const Pair*>(accumulators.data()) + blockFill, at(output(0)), at(output(1)), piece,
          useAvx2);
    blockFill += piece;
    done += piece;
    if (blockFill == hop) {
      ProcessFullBlock();
      blockFill = 0;
    }
  }
}

void ConvolutionEngine::ProcessFullBlock() {
  // Only the gains at this moment count: changes since the last block make one
  // crossfade, and gains that came back make none.
  bool crossfade = false;
  for (std::int32_t m = 0; m < kBandCount; ++m) crossfade |= !(currentGains[m] == targetGains[m]);
  if (crossfade) {
    currentGains = targetGains;
    std::swap(previousForm, mixedForm);
    MixCurrentGains();
    FilterCrossfaded();
  } else {
    Filter();
  }
  // A channel whose block held only zeros gets exactly nothing from it, where
  // the shared transform would hand it the other channel's rounding errors
  // (or its NaNs).
  if (!sounding[0] || !sounding[1]) {
    const Mask keep{sounding[0] ? -1 : 0, sounding[1] ? -1 : 0};
    Pair* values = reinterpret_cast<Pair*>(filtered.data());
    for (std::int32_t j = 0; j < transformLength; ++j) values[j] = keep != 0 ? values[j] : Pair{};
  }
  sounding[0] = sounding[1] = false;
  // Accumulator entries [0, hop) have all been emitted; the K - 1 entries
  // after them are the tail that earlier blocks still owe. Added into the
  // block's output, that output becomes the accumulators, and the old ones
  // the next inverse transform's destination.
  const std::int32_t tail = transformLength - hop;
  double* output = filtered.data();
  const double* owed = accumulators.data() + 2 * hop;
  std::int32_t j = useAvx2 ? AddAvx2(output, owed, 2 * tail) : 0;
  for (; j < 2 * tail; ++j) output[j] += owed[j];
  std::swap(filtered, accumulators);
}

// The collected block, filtered with the current mix, into filtered.
void ConvolutionEngine::Filter() {
  const std::int32_t n = transformLength;
  transforms->Forward(block.data(), spectrum.data());
  Multiply(spectrum.data(), mixedForm.data(), n, useAvx2);
  transforms->Inverse(spectrum.data(), filtered.data());
}

// The collected block into filtered: its faded-out part filtered with the
// previous mix plus its faded-in part filtered with the current one; the two
// weights add up to 1.
void ConvolutionEngine::FilterCrossfaded() {
  const std::int32_t n = transformLength;
  Pair* out = reinterpret_cast<Pair*>(block.data());
  Pair* in = reinterpret_cast<Pair*>(fadedBlock.data());
  for (std::int32_t i = 0; i < hop; ++i) {
    in[i] = out[i] * fadeInWeights[i];
    out[i] *= fadeOutWeights[i];
  }
  transforms->Forward(block.data(), spectrum.data());
  transforms->Forward(fadedBlock.data(), fadedSpectrum.data());
  Multiply(spectrum.data(), previousForm.data(), n, useAvx2);
  MultiplyAdd(spectrum.data(), fadedSpectrum.data(), mixedForm.data(), n, useAvx2);
  transforms->Inverse(spectrum.data(), filtered.data());
}

const double* ConvolutionEngine::UpcomingOutput() const {
  return Allocated() ? accumulators.data() + 2 * std::size_t(blockFill) : nullptr;
}

std::int32_t ConvolutionEngine::UpcomingFrames() const { return Allocated() ? transformLength - blockFill : 0; }

}  // namespace tarvel
