#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
void Count() { allocations.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

long tarvel::test::AllocationCount() { return allocations.load(std::memory_order_relaxed); }

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);
void* __wrap_malloc(std::size_t size) {
  Count();
  return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  Count();
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, std::size_t size) {
  Count();
  return __real_realloc(block, size);
}
}

// None of the replacements is inlined: seeing malloc and free behind them, the
// compiler would report every new-expression as mismatched with its delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
  Count();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(size == 0 ? 1 : size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
