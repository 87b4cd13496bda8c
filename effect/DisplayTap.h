#pragma once
// The editor's feed from the audio path: after each processing call, the
// two channels' sum of the frames the engine emits next, scaled by 64 and
// truncated (saturating, NaN as 0) to integers, left in the instance's
// InstanceSlot beside the previous call's values. It keeps the engine pure
// DSP: the tap only reads the engine's upcoming output.
//
// The summary is written only while something reads it
// (InstanceSlot::CopyDisplayValues): the writing stops when it has gone
// unread for kUnreadFeedFrames frames, and after a pause the values are
// announced from the second call on, when the two halves again hold two
// consecutive calls. Most instances have no editor open, and then a call
// costs one flag.
//
// Threads: Feed runs on the audio thread after each processing call (never
// allocates, takes no lock); SetSlot under the owner's lock, off the audio
// path (allocates).

#include <cstdint>

#include "effect/ConvolutionEngine.h"
#include "effect/InstanceSlot.h"

namespace tarvel {

class DisplayTap {
 public:
  static constexpr std::int64_t kUnreadFeedFrames = std::int64_t{1} << 20;

  // Where the summary goes; null for none. Creates the slot's summary.
  void SetSlot(InstanceSlot* displaySlot);
  // After a call of `frames` frames to the engine: its summary.
  void Feed(const ConvolutionEngine& engine, std::int32_t frames);

 private:
  InstanceSlot* slot = nullptr;
  std::int64_t unreadFrames = kUnreadFeedFrames;  // since the summary was last read
  bool fedLastCall = false;                        // the latest call with frames wrote the summary
};

}  // namespace tarvel
