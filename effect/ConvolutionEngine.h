#pragma once
// The equaliser's audio path: stereo FFT convolution with overlap-add.
//
// Input is collected into blocks of B = N - K + 1 frames; each full block is
// transformed (length N), multiplied by the mixed spectrum (the gain-weighted
// sum of the five band spectra) and added into an overlap-add accumulator. The
// output is the input filtered by the mixed kernel and delayed by exactly
// Latency() = B + K / 2 frames, whatever the lengths of the calls.
//
// The two channels go through one complex transform, left as the real part
// and right as the imaginary part: the kernel is real, so its spectrum filters
// both at once and the inverse gives them back in the same parts.
//
// A gain change is taken at the next full block, which is filtered with both
// the old and the new spectrum under complementary raised-cosine weights, so
// the change is crossfaded over that one block. Gains set before the first
// frames after an allocation or ClearHistory are in force from those frames:
// there is nothing earlier to fade from, and a host that renders a fresh
// instance offline must hear its settings from the first sample.
//
// Contract: AllocateEngine, ReleaseEngine, ResetProcessing, SetTargetGain and
// ResetGains run under the owner's lock and never overlap ProcessBlock.
// AllocateEngine and ResetProcessing allocate, and the first engine of a
// transform length in the process makes its plans (a few milliseconds, under
// the FFTW planner's lock, which engines on other threads may wait for);
// ProcessBlock allocates nothing, takes no lock and never throws.

#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/ComplexFft.h"
#include "effect/KernelDesign.h"

namespace tarvel {

class ConvolutionEngine {
public:
  ConvolutionEngine() = default;
  ConvolutionEngine(const ConvolutionEngine&) = delete;
  ConvolutionEngine& operator=(const ConvolutionEngine&) = delete;

  // Designs the kernels and sizes every buffer for sampleRate, discarding any
  // collected input and overlap tail; the output restarts with Latency()
  // frames of silence. A rate that is not a finite number in (0, 2^31) is
  // refused: the answer is false and the engine is left released.
  bool AllocateEngine(double sampleRate);
  // Frees everything; ProcessBlock then outputs silence and Latency() is 0.
  void ReleaseEngine();
  // Reallocates when sampleRate differs from DesignRate() (or the engine is
  // released) and answers true when it did, so that the owner can report the
  // new Latency(). An unchanged rate keeps the collected input and the
  // accumulators; an unusable rate changes nothing and answers false.
  bool ResetProcessing(double sampleRate);

  // Frames between an input sample and the output of the kernel's centre tap.
  std::int32_t Latency() const;
  // New frames per processed block, which is also how long a gain change's
  // crossfade lasts, and the kernel length K; 0 while released.
  std::int32_t Hop() const { return hop; }
  std::int32_t KernelLength() const { return kernelLength; }
  double DesignRate() const { return designRate; }

  // Linear gain of one band, taken over (with a crossfade) at the next full
  // block, or at once by the first frames after an allocation or
  // ClearHistory. Changes between two blocks collapse into one; a gain set
  // back to its current value before the next block causes no crossfade. Bands
  // outside [0, kBandCount) and non-finite gains are ignored.
  void SetTargetGain(std::int32_t band, double gain);
  // Sets target and current gains at once, without a crossfade (an instance's
  // initial gains). Non-finite gains leave their band unchanged.
  void ResetGains(const BandGains& gains);
  const BandGains& TargetGains() const { return targetGains; }
  // Forgets the collected input and the overlap tail without reallocating:
  // the output restarts with Latency() frames of silence, and the target
  // gains are taken without a crossfade by the next frames. Audio-safe.
  void ClearHistory();
  const BandGains& CurrentGains() const { return currentGains; }

  // Runs the transforms on other plans of the same length (benchmarks compare
  // plans); plans of another length are refused (false).
  bool UsePlans(std::shared_ptr<const ComplexFft> plans);

  // The frames the engine emits next, from the next one on, as far as they
  // are known: UpcomingFrames() (left, right) pairs, at least K - 1 of them
  // while allocated, none (null) while released. Read between calls (the
  // display tap, effect/DisplayTap.h).
  const double* UpcomingOutput() const;
  std::int32_t UpcomingFrames() const;

  // Reads `frames` samples from each of the two inputs and writes as many to
  // each of the two outputs; outputs may alias the inputs. A null input
  // channel reads as silence and a null output channel is skipped; frames <= 0
  // processes nothing. Calls of any length, also beyond N, keep the delay.
  void ProcessBlock(const double* const* inputs, double* const* outputs, std::int32_t frames);

private:
  static constexpr std::int32_t kChannels = 2;

  bool Allocated() const { return transformLength > 0; }
  void ProcessFullBlock();
  void Filter();
  void FilterCrossfaded();
  void MixCurrentGains();

  double designRate = 0.0;
  BandGains targetGains{1.0, 1.0, 1.0, 1.0, 1.0};
  BandGains currentGains{1.0, 1.0, 1.0, 1.0, 1.0};

  std::int32_t kernelLength = 0;     // K
  std::int32_t transformLength = 0;  // N; 0 while released
  std::int32_t hop = 0;              // B = N - K + 1
  // Frames collected in the current block. Also the read position of the
  // accumulators: entry blockFill is the next sample to emit.
  std::int32_t blockFill = 0;

  BandSpectra bandSpectra;
  std::vector<double> mixedSpectrum;  // the mix for currentGains, half-complex order
  // The mix for currentGains and, during a crossfade, the one before the
  // change, as complex spectra over all N bins, scaled by 1 / N (the
  // transforms are not).
  ComplexBuffer mixedForm;
  ComplexBuffer previousForm;
  // Both channels' input as complex values. Entries [0, blockFill) are
  // collected frames; the rest stays zero (the forward transform only reads it).
  ComplexBuffer block;
  ComplexBuffer fadedBlock;  // the faded-in copy of a crossfading block
  ComplexBuffer spectrum;  // a block's spectrum, multiplied in place
  ComplexBuffer fadedSpectrum;
  ComplexBuffer filtered;  // the inverse transform of spectrum
  bool useAvx2 = false;    // for the loops over frames and bins
  std::vector<double> fadeOutWeights;  // hop weights falling from 1 to 0
  std::vector<double> fadeInWeights;   // their complements
  // Entry j is the output frame (left, right) for the first sample of the
  // current block plus j.
  ComplexBuffer accumulators;
  // Per channel, whether the block collected so far holds a sample other
  // than zero (NaN counts).
  bool sounding[kChannels] = {false, false};
  // No frame has been processed since the allocation or ClearHistory.
  bool fresh = false;
  std::shared_ptr<const ComplexFft> transforms;
};

}  // namespace tarvel
