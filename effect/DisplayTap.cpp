#include "effect/DisplayTap.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace tarvel {

namespace {

// Truncates toward zero like a plain conversion, but saturates instead of
// overflowing on loud signals; NaN gives 0.
std::int32_t SaturateToInt32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// A frame (left, right).
typedef double Pair __attribute__((vector_size(16), __may_alias__));

// SaturateToInt32((right + left) * 64) of two frames: the conversion itself
// gives INT32_MIN for everything below the range, so only the top needs a
// clamp, and NaN is cleared to 0 before it.
__m128i PairToDisplay(Pair first, Pair second) {
  const Pair lefts = __builtin_shufflevector(first, second, 0, 2);
  const Pair rights = __builtin_shufflevector(first, second, 1, 3);
  const __m128d sum = _mm_mul_pd(rights + lefts, _mm_set1_pd(64.0));
  // minpd answers its second operand when one is NaN, so NaN survives to the mask.
  const __m128d clamped = _mm_and_pd(_mm_min_pd(_mm_set1_pd(2147483647.0), sum), _mm_cmpord_pd(sum, sum));
  return _mm_cvttpd_epi32(clamped);
}

}  // namespace

void DisplayTap::SetSlot(InstanceSlot* displaySlot) {
  slot = displaySlot;
  if (slot != nullptr) slot->DisplayHalves();
}

// The values are worked out two at a time in registers, so that the atomic
// stores are plain moves of finished values, and they go into the summary's
// older half, which then becomes the latest: nothing is copied.
void DisplayTap::Feed(const ConvolutionEngine& engine, std::int32_t frames) {
  const std::int32_t upcoming = engine.UpcomingFrames();
  if (slot == nullptr || upcoming == 0) return;  // no summary, or no engine
  frames = std::max(frames, 0);
  unreadFrames = slot->TakeDisplayRead() ? 0 : std::min(unreadFrames + frames, kUnreadFeedFrames);
  if (unreadFrames >= kUnreadFeedFrames) {
    // Values from before a pause would not be the previous call's.
    if (fedLastCall) slot->PublishDisplay(0);
    fedLastCall = false;
    return;
  }
  const std::int32_t length = std::min(frames, kDisplayFrames);
  if (length > 0) {
    std::atomic<std::int32_t>* values = slot->NextDisplayHalf();
    // The engine always knows at least K - 1 >= kDisplayFrames frames ahead;
    // the bound only guards against a shorter table row.
    const std::int32_t available = std::min(length, upcoming);
    const Pair* coming = reinterpret_cast<const Pair*>(engine.UpcomingOutput());
    std::int32_t i = 0;
    for (; i + 1 < available; i += 2) {
      const __m128i pair = PairToDisplay(coming[i], coming[i + 1]);
      values[i].store(_mm_cvtsi128_si32(pair), std::memory_order_relaxed);
      values[i + 1].store(_mm_cvtsi128_si32(_mm_shuffle_epi32(pair, 1)), std::memory_order_relaxed);
    }
    if (i < available) {
      values[i].store(SaturateToInt32((coming[i][1] + coming[i][0]) * 64.0), std::memory_order_relaxed);
      ++i;
    }
    for (; i < length; ++i) values[i].store(0, std::memory_order_relaxed);
  }
  slot->PublishDisplay(length, fedLastCall);
  if (length > 0) fedLastCall = true;
}

}  // namespace tarvel
