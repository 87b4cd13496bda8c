#include "plugin/RecursiveLock.h"

#include <mutex>

namespace tarvel {

struct RecursiveLock::Impl {
  std::recursive_mutex mutex;
};

RecursiveLock::RecursiveLock() : impl(std::make_unique<Impl>()) {}
RecursiveLock::~RecursiveLock() = default;

void RecursiveLock::Lock() { impl->mutex.lock(); }
void RecursiveLock::Unlock() { impl->mutex.unlock(); }

}  // namespace tarvel
