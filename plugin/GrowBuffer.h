#pragma once
// The growable byte buffer under every list, scratch buffer, string and state
// chunk of the framework, and the thin views built on it.
//
// Growth is geometric (half the requested size again, at least one
// granularity); with a granularity of 4096 or more the block is sized so that
// it plus 96 bytes of allocator overhead is a whole number of pages. Sizes are
// signed 32-bit; a size that is negative or whose block would not fit in 32
// bits is refused, leaving the buffer as it was.

#include <cstdint>
#include <memory>
#include <type_traits>

namespace tarvel {

class GrowBuffer {
 public:
  explicit GrowBuffer(std::int32_t granularity = 4096, std::int32_t minimumAllocation = 0)
      : granularity(granularity), minimumAllocation(minimumAllocation) {}
  ~GrowBuffer() { Release(); }
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;

  // Sets the logical size to newSize bytes, reallocating when the block is too
  // small or (with allowShrink) much too large. Bytes beyond the old size are
  // not initialised. Returns the data, or null when the size is 0 afterwards or
  // the resize was refused or could not allocate (the buffer is then unchanged).
  void* Resize(std::int32_t newSize, bool allowShrink = false);
  void Release();

  void* Data() const { return used ? data : nullptr; }
  std::int32_t Size() const { return used; }
  std::int32_t Allocated() const { return allocated; }

 private:
  void* data = nullptr;
  std::int32_t granularity;
  std::int32_t allocated = 0;
  std::int32_t used = 0;
  std::int32_t minimumAllocation;
};

// A list of owned objects held as pointers in a GrowBuffer. Reading outside the
// list yields null; destruction deletes the items from the last to the first.
template <typename T>
class PtrList {
 public:
  PtrList() = default;
  ~PtrList() { Clear(); }
  PtrList(const PtrList&) = delete;
  PtrList& operator=(const PtrList&) = delete;

  std::int32_t Count() const { return buffer.Size() / static_cast<std::int32_t>(sizeof(T*)); }
  T* Get(std::int32_t i) const {
    return i >= 0 && i < Count() ? static_cast<T* const*>(buffer.Data())[i] : nullptr;
  }
  // Takes ownership; returns the stored item, or null (and deletes the item)
  // when the list could not grow.
  T* Append(std::unique_ptr<T> item) {
    const std::int32_t n = Count();
    if (n >= INT32_MAX / static_cast<std::int32_t>(sizeof(T*)) - 1) return nullptr;
    buffer.Resize((n + 1) * static_cast<std::int32_t>(sizeof(T*)));
    if (Count() != n + 1) return nullptr;
    static_cast<T**>(buffer.Data())[n] = item.get();
    return item.release();
  }
  void Clear() {
    for (std::int32_t i = Count() - 1; i >= 0; --i) delete Get(i);
    buffer.Release();
  }

 private:
  GrowBuffer buffer;
};

// A list of plain values stored by value, in insertion order.
template <typename T>
class ValueList {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  std::int32_t Count() const { return buffer.Size() / static_cast<std::int32_t>(sizeof(T)); }
  // Null outside the list.
  const T* Get(std::int32_t i) const {
    return i >= 0 && i < Count() ? static_cast<const T*>(buffer.Data()) + i : nullptr;
  }
  bool Append(const T& item) {
    const std::int32_t n = Count();
    if (n >= INT32_MAX / static_cast<std::int32_t>(sizeof(T)) - 1) return false;
    buffer.Resize((n + 1) * static_cast<std::int32_t>(sizeof(T)));
    if (Count() != n + 1) return false;
    static_cast<T*>(buffer.Data())[n] = item;
    return true;
  }

 private:
  GrowBuffer buffer;
};

// A zero-terminated text; "" until set.
class TextString {
 public:
  bool Set(const char* text);
  const char* Get() const { return buffer.Size() ? static_cast<const char*>(buffer.Data()) : ""; }

 private:
  GrowBuffer buffer;
};

}  // namespace tarvel
