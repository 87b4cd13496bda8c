#pragma once
// One record of the process-wide instance registry: what an instance's audio
// side and its drawing control share. Both threads touch it without a lock, so
// every field is atomic; relaxed ordering is enough because a picture may mix
// the values of two processing calls and nothing else depends on them.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <span>

namespace tarvel {

struct TextLabel;

// The audio summary holds at most this many frames per call: the picture is
// 768 pixels wide and never looks further than 768 values into the summary.
inline constexpr std::int32_t kDisplayFrames = 768;
inline constexpr std::int32_t kDisplayCapacity = 2 * kDisplayFrames;

struct InstanceSlot {
  InstanceSlot() = default;
  InstanceSlot(const InstanceSlot&) = delete;
  InstanceSlot& operator=(const InstanceSlot&) = delete;
  ~InstanceSlot() { delete[] displayValues.load(std::memory_order_acquire); }

  std::atomic<std::uint8_t> inUse{0};
  std::atomic<TextLabel*> label{nullptr};       // owned by the holding instance
  std::atomic<std::uint32_t*> pixels{nullptr};  // the editor's draw bitmap; not owned
  std::atomic<std::uint16_t> frame{0};
  // kDisplayCapacity values, created with the engine's first use of the
  // record and kept with it for every later holder: two halves of
  // kDisplayFrames, one with the latest call's values and one with those of
  // the call before. A call writes the older half and then makes it the
  // latest, so no value moves.
  std::atomic<std::atomic<std::int32_t>*> displayValues{nullptr};
  std::atomic<std::int32_t> latestHalf{0};  // 0 or 1
  // Frames of the latest call, at most kDisplayFrames; 0 while the halves do
  // not hold two consecutive calls.
  std::atomic<std::int32_t> displayLength{0};
  // Set by every read of the summary: someone is drawing it, so the engine
  // keeps writing it (it stops a while after the reads stop).
  std::atomic<bool> displayRead{false};

  // Audio side: the two halves, created by the first call (which allocates;
  // the engine makes it when it is given the slot, off the audio path).
  std::atomic<std::int32_t>* DisplayHalves() {
    std::atomic<std::int32_t>* values = displayValues.load(std::memory_order_acquire);
    if (values != nullptr) return values;
    auto* fresh = new std::atomic<std::int32_t>[kDisplayCapacity]();
    if (displayValues.compare_exchange_strong(values, fresh, std::memory_order_acq_rel)) return fresh;
    delete[] fresh;
    return values;
  }
  // Audio side: the half the next call writes.
  std::atomic<std::int32_t>* NextDisplayHalf() {
    return DisplayHalves() + (1 - latestHalf.load(std::memory_order_relaxed)) * kDisplayFrames;
  }
  // Audio side: the half from NextDisplayHalf, with `length` values, becomes
  // the latest; they are announced where the other half holds the call just
  // before (`afterFedCall`). A call without frames keeps the halves, so the
  // next call still follows the last one that had frames.
  void PublishDisplay(std::int32_t length, bool afterFedCall = true) {
    if (length > 0) latestHalf.store(1 - latestHalf.load(std::memory_order_relaxed), std::memory_order_relaxed);
    displayLength.store(afterFedCall ? length : 0, std::memory_order_relaxed);
  }
  // Audio side: whether the summary was read since the last time asked.
  bool TakeDisplayRead() { return displayRead.exchange(false, std::memory_order_relaxed); }

  // Drawing side: copies up to out.size() values of the summary, the previous
  // call's displayLength values and then the latest call's, and answers how
  // many were copied (2 * displayLength, or 0 before the first processing
  // call). Safe on any thread at any time; a call that ends meanwhile may mix
  // its values in. Marks the summary as read.
  std::int32_t CopyDisplayValues(std::span<std::int32_t> out) {
    displayRead.store(true, std::memory_order_relaxed);
    const std::atomic<std::int32_t>* values = displayValues.load(std::memory_order_acquire);
    if (values == nullptr) return 0;
    const std::int32_t length =
        std::clamp(displayLength.load(std::memory_order_relaxed), 0, kDisplayFrames);
    const std::atomic<std::int32_t>* latest =
        values + (latestHalf.load(std::memory_order_relaxed) != 0 ? kDisplayFrames : 0);
    const std::atomic<std::int32_t>* previous = values + kDisplayFrames - (latest - values);
    const auto count =
        static_cast<std::int32_t>(std::min<std::size_t>(out.size(), 2 * std::size_t(length)));
    for (std::int32_t i = 0; i < count; ++i) {
      out[i] = (i < length ? previous[i] : latest[i - length]).load(std::memory_order_relaxed);
    }
    return count;
  }
};

}  // namespace tarvel
