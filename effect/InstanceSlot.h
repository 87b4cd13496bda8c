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
  // kDisplayCapacity values once the first call with frames has run, kept with
  // the record for every later holder: two halves of kDisplayFrames, one with
  // the latest call's values and one with those of the call before. A call
  // writes the older half and then makes it the latest, so no value moves.
  std::atomic<std::atomic<std::int32_t>*> displayValues{nullptr};
  std::atomic<std::int32_t> latestHalf{0};  // 0 or 1
  // Frames of the latest call, at most kDisplayFrames.
  std::atomic<std::int32_t> displayLength{0};

  // Audio side: the half the next call writes, the array created on first use
  // (it allocates only then).
  std::atomic<std::int32_t>* NextDisplayHalf() {
    std::atomic<std::int32_t>* values = displayValues.load(std::memory_order_acquire);
    if (values == nullptr) {
      auto* fresh = new std::atomic<std::int32_t>[kDisplayCapacity]();
      if (displayValues.compare_exchange_strong(values, fresh, std::memory_order_acq_rel)) {
        values = fresh;
      } else {
        delete[] fresh;
      }
    }
    return values + (1 - latestHalf.load(std::memory_order_relaxed)) * kDisplayFrames;
  }
  // Audio side: the half from NextDisplayHalf, with `length` values, becomes
  // the latest. A call without frames keeps the halves, so the next call still
  // follows the last one that had frames.
  void PublishDisplay(std::int32_t length) {
    if (length > 0) latestHalf.store(1 - latestHalf.load(std::memory_order_relaxed), std::memory_order_relaxed);
    displayLength.store(length, std::memory_order_relaxed);
  }

  // Drawing side: copies up to out.size() values of the summary, the previous
  // call's displayLength values and then the latest call's, and answers how
  // many were copied (2 * displayLength, or 0 before the first processing
  // call). Safe on any thread at any time; a call that ends meanwhile may mix
  // its values in.
  std::int32_t CopyDisplayValues(std::span<std::int32_t> out) const {
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
