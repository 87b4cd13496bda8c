#pragma once
// Band-split kernel design: five complementary linear-phase FIR kernels, one
// per equaliser band, stored as spectra of the engine's transform length. The
// equaliser is their gain-weighted sum, applied with one spectral product.
//
// Design runs on the thread that builds or re-rates the engine, never on the
// audio path; it allocates freely.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvel {

inline constexpr std::int32_t kBandCount = 5;

// Linear band gains (factors, not decibels), band 0 ("80 Hz") first.
using BandGains = std::array<double, kBandCount>;

// Per band: a spectrum in half-complex order (see dsp/RealFft.h).
using BandSpectra = std::array<std::vector<double>, kBandCount>;

// Kernel length K (odd) and transform length N by the sample rate truncated to
// an integer. Rates up to and including a row's upper bound belong to that row;
// everything up to 44100, zero and negative rates included, gets the first.
std::int32_t KernelLengthForRate(std::int32_t rate);
std::int32_t TransformLengthForRate(std::int32_t rate);

// Bin indices, on the design grid of D = NextSmoothSize(8 K) points, where the
// band masks change. e01 is the hard step between bands 0 and 1; [e1a, e1b),
// [e2a, e2b) and [e3a, e3b) are the raised-cosine crossovers 1-2, 2-3 and 3-4;
// band 4 runs to top = (D + 1) / 2. At very low rates the raw indices would
// leave the mask, so each is clamped into [0, top] and kept non-decreasing.
struct BandEdges {
  std::int32_t e01, e1a, e1b, e2a, e2b, e3a, e3b, top;
};
BandEdges ComputeBandEdges(std::int32_t kernelLength, std::int32_t designLength,
                           double sampleRate);

// The five zero-phase band masks of designLength points each. Between index 0
// and top - 1 they add up to 1; every other entry is 0.
BandSpectra DrawBandMasks(std::int32_t kernelLength, std::int32_t designLength,
                          double sampleRate);

// Five band spectra of transformLength doubles each, scaled so that a band at
// gain 1 passes the engine's forward/multiply/inverse chain with unity gain,
// its kernel centred on tap kernelLength / 2. Answers five empty spectra for
// arguments no engine uses: kernelLength < 1 or above 65536, transformLength
// below kernelLength or above 2^20, or a sample rate that is not a positive
// finite number.
BandSpectra DesignBandKernels(std::int32_t kernelLength, std::int32_t transformLength,
                              double sampleRate);

// out = sum over bands of gains[m] * bands[m], over out.size() entries. A band
// shorter than out contributes only the entries it has.
void MixBandKernels(const BandSpectra& bands, std::span<double> out, const BandGains& gains);

}  // namespace tarvel
