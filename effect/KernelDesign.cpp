#include "effect/KernelDesign.h"

#include <algorithm>
#include <cmath>

#include "dsp/RealFft.h"
#include "dsp/DspHelpers.h"

namespace tarvel {
namespace {

struct LengthRow {
  std::int32_t upToRate;  // inclusive
  std::int32_t kernelLength;
  std::int32_t transformLength;
};

// The last row catches every rate above the one before it.
constexpr LengthRow kLengthRows[] = {
    {44100, 1025, 2560},   {48000, 1117, 3072},   {64000, 1489, 4096},
    {88200, 2051, 5120},   {96000, 2233, 6144},   {176400, 4101, 10240},
    {192000, 4463, 12800}, {352800, 8201, 20480}, {INT32_MAX, 8927, 25600},
};

const LengthRow& RowForRate(std::int32_t rate) {
  for (const LengthRow& row : kLengthRows) {
    if (rate <= row.upToRate) return row;
  }
  return kLengthRows[std::size(kLengthRows) - 1];
}

constexpr std::int32_t kMaxKernelLength = 1 << 16;
constexpr std::int32_t kMaxTransformLength = 1 << 20;

// Pi rounded to single precision: the crossover shapes are defined with it.
constexpr double kPiSingle = 3.1415927410125732;

bool IsUsableRate(double sampleRate) { return std::isfinite(sampleRate) && sampleRate > 0.0; }

// Truncates toward zero, clamped into [0, top]; NaN gives 0. Keeps the
// conversion defined for any rate, however small.
std::int32_t ClampIndex(double index, std::int32_t top) {
  if (!(index > 0.0)) return 0;
  if (index >= top) return top;
  return static_cast<std::int32_t>(index);
}

void FillFlat(std::vector<double>& mask, std::int32_t s, std::int32_t t) {
  for (std::int32_t k = s; k < t; ++k) mask[k] = 1.0;
}

// Raised cosine from band `lower` to the next, excluding both end points.
void FillRamp(BandSpectra& masks, std::int32_t lower, std::int32_t s, std::int32_t t) {
  if (t <= s) return;
  const double a = s - 1;
  const double length = t - a;
  for (std::int32_t k = s; k < t; ++k) {
    const double rising = 0.5 - std::cos(((k - a) / length) * kPiSingle) * 0.5;
    masks[lower + 1][k] = rising;
    masks[lower][k] = 1.0 - rising;
  }
}

}  // namespace

std::int32_t KernelLengthForRate(std::int32_t rate) { return RowForRate(rate).kernelLength; }

std::int32_t TransformLengthForRate(std::int32_t rate) { return RowForRate(rate).transformLength; }

BandEdges ComputeBandEdges(std::int32_t kernelLength, std::int32_t designLength,
                           double sampleRate) {
  const double fs = sampleRate;
  const double c = (fs * 2.0) / kernelLength;  // half-width of the flat zone around a centre
  const double g = std::sqrt(10.0);
  const double dd = designLength;
  const std::int32_t top = (designLength + 1) / 2;
  const auto idx = [&](double f) { return ClampIndex((f * dd) / fs + 1.0 + 0.5, top); };

  BandEdges e{};
  e.top = top;
  e.e01 = ClampIndex((((80 * g) + 80) * 0.5 * dd) / fs + 1.0 + 0.5, top);
  e.e1a = std::max(e.e01, idx(80 * g + c));
  e.e1b = std::max(e.e1a, idx(800 - c));
  e.e2a = std::max(e.e1b, idx(800 + c));
  e.e2b = std::max(e.e2a, idx(800 * g - c));
  e.e3a = std::max(e.e2b, idx(800 * g + c));
  e.e3b = std::max(e.e3a, idx(8000 - c));
  return e;
}

BandSpectra DrawBandMasks(std::int32_t kernelLength, std::int32_t designLength,
                          double sampleRate) {
  BandSpectra masks;
  for (std::vector<double>& mask : masks) mask.assign(std::max(designLength, 0), 0.0);
  if (kernelLength < 1 || designLength < 1 || !IsUsableRate(sampleRate)) return masks;

  const BandEdges e = ComputeBandEdges(kernelLength, designLength, sampleRate);
  FillFlat(masks[0], 0, e.e01);
  FillFlat(masks[1], e.e01, e.e1a);
  FillRamp(masks, 1, e.e1a, e.e1b);
  FillFlat(masks[2], e.e1b, e.e2a);
  FillRamp(masks, 2, e.e2a, e.e2b);
  FillFlat(masks[3], e.e2b, e.e3a);
  FillRamp(masks, 3, e.e3a, e.e3b);
  FillFlat(masks[4], e.e3b, e.top);
  return masks;
}

BandSpectra DesignBandKernels(std::int32_t kernelLength, std::int32_t transformLength,
                              double sampleRate) {
  const std::int32_t k = kernelLength;
  const std::int32_t n = transformLength;
  if (k < 1 || k > kMaxKernelLength || n < k || n > kMaxTransformLength ||
      !IsUsableRate(sampleRate)) {
    return {};
  }
  const std::int32_t d = NextSmoothSize(8 * k);

  // Phase ramp of a delay by k / 2 samples, every bin of magnitude 1: it puts
  // the centre of each (zero-phase) band kernel on tap k / 2.
  std::vector<double> delay(d, 0.0);
  delay[k / 2] = 1.0;
  RealFft(delay.data(), delay.data(), d, kFftForward);
  DivideVector(delay.data(), d, delay[0]);

  BandSpectra masks = DrawBandMasks(k, d, sampleRate);
  BandSpectra bands;
  // Both transforms scale by 1/sqrt(length); this makes a mask of 1 unity gain
  // through the engine's transform length.
  const double rescale = std::sqrt(static_cast<double>(d) / static_cast<double>(n));
  for (std::int32_t m = 0; m < kBandCount; ++m) {
    std::vector<double>& mask = masks[m];
    MultiplySpectra(delay.data(), mask.data(), mask.data(), d);
    RealFft(mask.data(), mask.data(), d, kFftInverse);
    ApplyBlackmanWindow(mask.data(), k);
    DivideVector(mask.data(), k, rescale);

    std::vector<double>& band = bands[m];
    band.assign(n, 0.0);
    std::copy_n(mask.begin(), k, band.begin());
    RealFft(band.data(), band.data(), n, kFftForward);
    mask = {};  // the design grid is large; free each mask once used
  }
  return bands;
}

void MixBandKernels(const BandSpectra& bands, std::span<double> out, const BandGains& gains) {
  std::fill(out.begin(), out.end(), 0.0);
  for (std::int32_t m = 0; m < kBandCount; ++m) {
    const std::size_t count = std::min(out.size(), bands[m].size());
    const double* band = bands[m].data();
    const double gain = gains[m];
    for (std::size_t k = 0; k < count; ++k) out[k] = band[k] * gain + out[k];
  }
}

}  // namespace tarvel
