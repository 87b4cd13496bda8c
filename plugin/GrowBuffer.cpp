#include "plugin/GrowBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarvel {

void* GrowBuffer::Resize(std::int32_t newSize, bool allowShrink) {
  if (newSize < 0) return nullptr;
  if (newSize == used) return Data();

  // 64-bit arithmetic: no size near the 32-bit limit can wrap.
  const std::int64_t size = newSize;
  const bool needBlock =
      allocated < newSize || (allowShrink && newSize < used && newSize < allocated / 2 &&
                              size < static_cast<std::int64_t>(allocated) - 4 * static_cast<std::int64_t>(granularity));
  if (needBlock) {
    std::int64_t extra = std::max<std::int64_t>(size / 2, granularity);
    std::int64_t target;
    if (granularity > 4095) {
      // Page-sized blocks, less the allocator's own overhead.
      extra = std::clamp<std::int64_t>(extra / 4096 * 4096, 4096, 0x400000);
      target = (size + extra + 96) / 4096 * 4096 - 96;
    } else {
      target = size + extra;
    }
    target = std::max<std::int64_t>(target, minimumAllocation);
    if (target > INT32_MAX) return nullptr;

    if (target != allocated) {
      void* block = nullptr;
      if (target == 0) {
        std::free(data);
      } else {
        block = std::realloc(data, static_cast<std::size_t>(target));
        if (!block) {
          block = std::malloc(static_cast<std::size_t>(target));
          if (!block) return nullptr;  // unchanged
          const std::int32_t keep = std::min(used, newSize);
          if (keep > 0) std::memcpy(block, data, static_cast<std::size_t>(keep));
          std::free(data);
        }
      }
      data = block;
      allocated = static_cast<std::int32_t>(target);
    }
  }
  used = newSize;
  return Data();
}

void GrowBuffer::Release() {
  std::free(data);
  data = nullptr;
  allocated = 0;
  used = 0;
}

bool TextString::Set(const char* text) {
  if (!text) text = "";
  const std::size_t length = std::strlen(text);
  if (length >= INT32_MAX) return false;
  const auto size = static_cast<std::int32_t>(length + 1);
  if (length == 0 && buffer.Size() == 0) return true;
  buffer.Resize(size);
  if (buffer.Size() != size) return false;
  std::memcpy(buffer.Data(), text, static_cast<std::size_t>(size));
  return true;
}

}  // namespace tarvel
