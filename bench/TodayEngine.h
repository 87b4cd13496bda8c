#pragma once
// The engine as it was on the two-channel FFTPACK passes, kept only as the
// reference that bench_engine measures the FFTW engine against.

#include <cstdint>
#include <vector>

#include "dsp/RealFft.h"
#include "effect/KernelDesign.h"

namespace tarvel::bench {

class TodayEngine {
public:
  TodayEngine() = default;
  TodayEngine(const TodayEngine&) = delete;
  TodayEngine& operator=(const TodayEngine&) = delete;

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
  double DesignRate() const { return designRate; }

  // Linear gain of one band, taken over (with a crossfade) at the next full
  // block. Changes between two blocks collapse into one; a gain set back to
  // its current value before the next block causes no crossfade. Bands
  // outside [0, kBandCount) and non-finite gains are ignored.
  void SetTargetGain(std::int32_t band, double gain);
  // Sets target and current gains at once, without a crossfade (an instance's
  // initial gains). Non-finite gains leave their band unchanged.
  void ResetGains(const BandGains& gains);
  const BandGains& TargetGains() const { return targetGains; }
  const BandGains& CurrentGains() const { return currentGains; }

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
  std::vector<double> mixedSpectrum;     // the mix for currentGains, half-complex order
  // The mix for currentGains and, during a crossfade, the one before the
  // change, in the packed order of the transform's lanes.
  std::vector<double> mixedPacked;
  std::vector<double> previousPacked;
  // Both channels' input, interleaved. Entries [0, blockFill) are collected
  // frames; the rest is working space, cleared before each forward transform.
  // A full block is filtered in place.
  std::vector<FftLanes> block;
  std::vector<FftLanes> fadedBlock;  // the faded-in copy of a crossfading block
  std::vector<double> fadeOutWeights;  // hop weights falling from 1 to 0
  std::vector<double> fadeInWeights;   // their complements
  // Entry j is the output for the first sample of the current block plus j.
  std::vector<double> accumulators[kChannels];
  FftPairCache transforms;
  double transformScale = 0.0;  // of each direction, 1 / sqrt(N)

};

}  // namespace tarvel::bench
