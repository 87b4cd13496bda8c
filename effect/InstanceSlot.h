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
  // kDisplayCapacity values once the first processing call has run; kept with
  // the record for every later holder. Values [0, displayLength) belong to the
  // previous call, [displayLength, 2 * displayLength) to the latest one.
  std::atomic<std::atomic<std::int32_t>*> displayValues{nullptr};
  // Frames of the latest call, at most kDisplayFrames.
  std::atomic<std::int32_t> displayLength{0};

  // Audio side: the summary array, created on first use. Allocates only then.
  std::atomic<std::int32_t>* DisplayStorage() {
    std::atomic<std::int32_t>* values = displayValues.load(std::memory_order_acquire);
    if (values != nullptr) return values;
    auto* fresh = new std::atomic<std::int32_t>[kDisplayCapacity]();
    if (displayValues.compare_exchange_strong(values, fresh, std::memory_order_acq_rel)) {
      return fresh;
    }
    delete[] fresh;
    return values;
  }

  // Drawing side: copies up to out.size() values of the summary and answers how
  // many were copied (2 * displayLength, or 0 before the first processing call).
  // Safe on any thread at any time.
  std::int32_t CopyDisplayValues(std::span<std::int32_t> out) const {
    const std::atomic<std::int32_t>* values = displayValues.load(std::memory_order_acquire);
    if (values == nullptr) return 0;
    const std::int32_t length =
        std::clamp(displayLength.load(std::memory_order_relaxed), 0, kDisplayFrames);
    const auto count =
        static_cast<std::int32_t>(std::min<std::size_t>(out.size(), 2 * std::size_t(length)));
    for (std::int32_t i = 0; i < count; ++i) out[i] = values[i].load(std::memory_order_relaxed);
    return count;
  }
};

}  // namespace tarvel
