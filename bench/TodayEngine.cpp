#include "bench/TodayEngine.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "dsp/DspHelpers.h"

namespace tarvel::bench {
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

// The product of a transformed block (packed lanes, unscaled) with a packed
// mix, each value scaled first: per lane the operations of MultiplySpectra on
// the scaled half-complex spectrum, so the results agree bit for bit.
void MultiplyScaled(FftLanes* x, const double* mix, std::int32_t n, double scale) {
  x[0] = (x[0] * scale) * mix[0];
  for (std::int32_t k = 1; 2 * k < n; ++k) {
    const FftLanes ar = x[2 * k - 1] * scale;
    const FftLanes ai = x[2 * k] * scale;
    const double br = mix[2 * k - 1];
    const double bi = mix[2 * k];
    x[2 * k - 1] = br * ar - bi * ai;
    x[2 * k] = br * ai + bi * ar;
  }
  if (n % 2 == 0) x[n - 1] = (x[n - 1] * scale) * mix[n - 1];
}

}  // namespace

bool TodayEngine::AllocateEngine(double sampleRate) {
  ReleaseEngine();
  if (!IsUsableRate(sampleRate)) return false;

  designRate = sampleRate;
  const auto rate = static_cast<std::int32_t>(sampleRate);
  kernelLength = KernelLengthForRate(rate);
  transformLength = TransformLengthForRate(rate);
  hop = transformLength - kernelLength + 1;
  blockFill = 0;

  const std::size_t n = transformLength;
  bandSpectra = DesignBandKernels(kernelLength, transformLength, designRate);
  mixedSpectrum.assign(n, 0.0);
  mixedPacked.assign(n, 0.0);
  previousPacked.assign(n, 0.0);
  MixCurrentGains();
  block.assign(n, FftLanes{});
  fadedBlock.assign(n, FftLanes{});
  for (std::int32_t ch = 0; ch < kChannels; ++ch) accumulators[ch].assign(n, 0.0);
  // The crossfade weights, computed once: a cosine per sample and block would
  // cost more than the extra transform, and continuous automation crossfades
  // every block.
  fadeOutWeights.assign(hop, 1.0);
  ApplyCosineFade(fadeOutWeights.data(), hop, 1);
  fadeInWeights.assign(hop, 1.0);
  ApplyCosineFade(fadeInWeights.data(), hop, 0);
  transforms.Reset(transformLength);
  transformScale = 1.0 / std::sqrt(static_cast<double>(transformLength));
  return true;
}

void TodayEngine::ReleaseEngine() {
  designRate = 0.0;
  kernelLength = 0;
  transformLength = 0;
  hop = 0;
  blockFill = 0;
  bandSpectra = {};
  for (std::vector<double>* buffer : {&mixedSpectrum, &mixedPacked, &previousPacked, &fadeOutWeights,
                                      &fadeInWeights, &accumulators[0], &accumulators[1]}) {
    *buffer = {};
  }
  block = {};
  fadedBlock = {};
  transforms.Reset(0);
  transformScale = 0.0;
}

bool TodayEngine::ResetProcessing(double sampleRate) {
  if (!IsUsableRate(sampleRate)) return false;
  if (Allocated() && sampleRate == designRate) return false;
  return AllocateEngine(sampleRate);
}

std::int32_t TodayEngine::Latency() const {
  return Allocated() ? hop + kernelLength / 2 : 0;
}

void TodayEngine::SetTargetGain(std::int32_t band, double gain) {
  if (band < 0 || band >= kBandCount || !std::isfinite(gain)) return;
  targetGains[band] = gain;
}

void TodayEngine::ResetGains(const BandGains& gains) {
  for (std::int32_t m = 0; m < kBandCount; ++m) {
    if (std::isfinite(gains[m])) targetGains[m] = currentGains[m] = gains[m];
  }
  if (Allocated()) MixCurrentGains();
}

void TodayEngine::MixCurrentGains() {
  MixBandKernels(bandSpectra, mixedSpectrum, currentGains);
  HalfComplexToPacked(mixedSpectrum.data(), mixedPacked.data(), transformLength);
}

void TodayEngine::ProcessBlock(const double* const* inputs, double* const* outputs,
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

  // Pieces never cross a block boundary, and a block is processed the moment
  // it fills: the samples emitted for a piece are always complete ones.
  for (std::int32_t done = 0; done < n;) {
    const std::int32_t piece = std::min(n - done, hop - blockFill);
    // All inputs of the piece are read before any output is written, so the
    // host may pass the same buffers for both.
    const double* left = input(0);
    const double* right = input(1);
    FftLanes* frames = block.data() + blockFill;
    if (left != nullptr && right != nullptr) {
      for (std::int32_t i = 0; i < piece; ++i) frames[i] = FftLanes{left[done + i], right[done + i]};
    } else {
      for (std::int32_t i = 0; i < piece; ++i) {
        frames[i] = FftLanes{left ? left[done + i] : 0.0, right ? right[done + i] : 0.0};
      }
    }
    for (std::int32_t ch = 0; ch < kChannels; ++ch) {
      if (double* out = output(ch)) {
        std::copy_n(accumulators[ch].begin() + blockFill, piece, out + done);
      }
    }
    blockFill += piece;
    done += piece;
    if (blockFill == hop) {
      ProcessFullBlock();
      blockFill = 0;
    }
  }
}

void TodayEngine::ProcessFullBlock() {
  // Only the gains at this moment count: changes since the last block make one
  // crossfade, and gains that came back make none.
  bool crossfade = false;
  for (std::int32_t m = 0; m < kBandCount; ++m) crossfade |= !(currentGains[m] == targetGains[m]);
  if (crossfade) {
    currentGains = targetGains;
    std::swap(previousPacked, mixedPacked);
    MixCurrentGains();
    FilterCrossfaded();
  } else {
    Filter();
  }
  const std::int32_t n = transformLength;
  // Accumulator entries [0, hop) have all been emitted; the K - 1 entries
  // after them are the tail that earlier blocks still owe.
  const std::int32_t tail = n - hop;
  // The inverse transform's scaling is applied on the way into the
  // accumulators.
  const FftLanes* filtered = block.data();
  double* left = accumulators[0].data();
  double* right = accumulators[1].data();
  for (std::int32_t j = 0; j < tail; ++j) {
    const FftLanes y = filtered[j] * transformScale;
    left[j] = left[j + hop] + y[0];
    right[j] = right[j + hop] + y[1];
  }
  for (std::int32_t j = tail; j < n; ++j) {
    const FftLanes y = filtered[j] * transformScale;
    left[j] = y[0];
    right[j] = y[1];
  }
}

// The collected block, filtered in place with the current mix.
void TodayEngine::Filter() {
  const std::int32_t n = transformLength;
  std::fill(block.begin() + hop, block.end(), FftLanes{});
  RealFftLanes(block.data(), n, kFftForward, transforms.Cache());
  MultiplyScaled(block.data(), mixedPacked.data(), n, transformScale);
  RealFftLanes(block.data(), n, kFftInverse, transforms.Cache());
}

// The collected block, in place: its faded-out part filtered with the
// previous mix plus its faded-in part filtered with the current one; the two
// weights add up to 1.
void TodayEngine::FilterCrossfaded() {
  const std::int32_t n = transformLength;
  FftLanes* out = block.data();
  FftLanes* in = fadedBlock.data();
  for (std::int32_t i = 0; i < hop; ++i) {
    in[i] = out[i] * fadeInWeights[i];
    out[i] *= fadeOutWeights[i];
  }
  std::fill(out + hop, out + n, FftLanes{});
  std::fill(in + hop, in + n, FftLanes{});
  RealFftLanes(out, n, kFftForward, transforms.Cache());
  RealFftLanes(in, n, kFftForward, transforms.Cache());
  MultiplyScaled(out, previousPacked.data(), n, transformScale);
  MultiplyScaled(in, mixedPacked.data(), n, transformScale);
  for (std::int32_t k = 0; k < n; ++k) out[k] += in[k];
  RealFftLanes(out, n, kFftInverse, transforms.Cache());
}

}  // namespace tarvel::bench
