#pragma once
// Bytes of the heap in use, for checks that memory stays flat over many
// rounds: the sanitizer's count where it replaces the allocator, else glibc's.

#include <malloc.h>

#include <cstddef>

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace tarvel::test {

inline std::size_t HeapInUse() {
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  return mallinfo2().uordblks;
}

}  // namespace tarvel::test
