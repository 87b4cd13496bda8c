#pragma once
// The bypass, written once for every format that offers one (VST3's
// kIsBypass parameter; LV2's lv2:enabled and CLAP's bypass map onto it):
// bypassed, the output is the input delayed by the plug-in's latency,
// switched over the plug-in's own crossfade length with a raised-cosine
// fade, once a latency of input has been kept. The delay line runs only while
// bypassing or switching, so the path costs nothing while not bypassed; the
// plug-in keeps running underneath, so switching back finds it in step. Up to
// two channels.
//
// Threads: Size on the host's main thread while inactive (allocates); the
// rest on the audio thread under the instance lock (never allocates).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tarvel {

class BypassPath {
 public:
  static constexpr int kChannels = 2;

  // Sizes the delay for latency frames and calls of up to maxFrames, the
  // switch for fadeFrames (at least 1), and restarts it.
  void Size(int latency, int fadeFrames, int maxFrames);
  // Empties the path without reallocating: nothing recorded, the switch at
  // the plug-in's output.
  void Restart();

  void Set(bool on) { bypass = on; }
  bool IsOn() const { return bypass; }
  // Neither bypassed, switching nor keeping input (or never sized): Before
  // and After have nothing to do, so a call skips them.
  bool Idle() const { return (!bypass && fadePosition == 0 && !recording) || delayed[0].empty(); }
  // The longest call Before and After take.
  int MaxFrames() const { return static_cast<int>(delayed[0].size()); }

  // Around every call of at most maxFrames frames: Before takes the input
  // before the plug-in writes (outputs may be the input buffers); After
  // mixes the delayed input into the plug-in's output while bypassed or
  // switching. A null input reads silence, a null output is skipped.
  template <typename Sample>
  void Before(Sample* const* in, int frames);
  template <typename Sample>
  void After(Sample* const* out, int frames);

 private:
  // Puts the call's input into the delay line, and the input of a latency
  // ago into `delayed`.
  template <typename Sample>
  void FeedDelay(Sample* const* in, int frames);

  bool bypass = false;
  bool mixing = false;     // this call mixes (bypassed, or switching)
  bool recording = false;  // the delay line is being fed
  int recorded = 0;        // frames fed, up to the latency
  int fadePosition = 0;    // from 0 (the plug-in) to fadeFrames (bypassed)
  int fadeFrames = 1;
  int ringPosition = 0;
  std::vector<double> ring[kChannels];
  std::vector<double> delayed[kChannels];
};

template <typename Sample>
void BypassPath::Before(Sample* const* in, int frames) {
  mixing = bypass || fadePosition > 0;
  if (mixing && !recording) {
    recording = true;
    recorded = 0;
    ringPosition = 0;
  }
  if (recording) FeedDelay(in, frames);
}

template <typename Sample>
void BypassPath::After(Sample* const* out, int frames) {
  const int ringLength = static_cast<int>(ring[0].size());
  for (int i = 0; mixing && i < frames; ++i) {
    const bool delayReady = recorded + i >= ringLength;
    if (!bypass || delayReady) fadePosition = std::clamp(fadePosition + (bypass ? 1 : -1), 0, fadeFrames);
    if (fadePosition == 0) continue;
    const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * fadePosition / fadeFrames);
    for (int c = 0; c < kChannels; ++c) {
      if (!out[c]) continue;
      const double wet = fadePosition == fadeFrames ? 0.0 : static_cast<double>(out[c][i]) * (1.0 - w);
      out[c][i] = static_cast<Sample>(wet + delayed[c][static_cast<std::size_t>(i)] * w);
    }
  }
  if (recording) {
    recorded = std::min(ringLength, recorded + frames);
    if (!bypass && fadePosition == 0) recording = false;
  }
}

template <typename Sample>
void BypassPath::FeedDelay(Sample* const* in, int frames) {
  const int length = static_cast<int>(ring[0].size());
  for (int c = 0; c < kChannels; ++c) {
    const Sample* source = in[c];
    double* line = ring[c].data();
    double* target = delayed[c].data();
    const auto input = [source](int i) { return source ? static_cast<double>(source[i]) : 0.0; };
    if (length == 0 || frames > length) {
      // No delay, or a call longer than the delay (rare): sample by sample.
      for (int i = 0, slot = ringPosition; i < frames; ++i) {
        if (length == 0) {
          target[i] = input(i);
          continue;
        }
        target[i] = line[slot];
        line[slot] = input(i);
        if (++slot == length) slot = 0;
      }
      continue;
    }
    // The call's slots wrap around the end of the line at most once.
    const auto pass = [&](int from, int count, int slot) {
      std::copy_n(line + slot, count, target + from);
      if (source)
        std::copy_n(source + from, count, line + slot);
      else
        std::fill_n(line + slot, count, 0.0);
    };
    const int first = std::min(frames, length - ringPosition);
    pass(0, first, ringPosition);
    pass(first, frames - first, 0);
  }
  if (length > 0) ringPosition = static_cast<int>((static_cast<std::int64_t>(ringPosition) + frames) % length);
}

}  // namespace tarvel
