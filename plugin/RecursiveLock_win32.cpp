#include "plugin/RecursiveLock.h"

#include <windows.h>

namespace tarvel {

struct RecursiveLock::Impl {
  CRITICAL_SECTION section;
};

RecursiveLock::RecursiveLock() : impl(std::make_unique<Impl>()) {
  InitializeCriticalSection(&impl->section);
}

RecursiveLock::~RecursiveLock() { DeleteCriticalSection(&impl->section); }

void RecursiveLock::Lock() { EnterCriticalSection(&impl->section); }
void RecursiveLock::Unlock() { LeaveCriticalSection(&impl->section); }

}  // namespace tarvel
