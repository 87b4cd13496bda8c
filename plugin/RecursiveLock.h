#pragma once
// A recursive mutual-exclusion lock: a critical section on Windows, a
// std::recursive_mutex elsewhere. The same thread may take it again while it
// holds it; each Lock needs its Unlock.

#include <memory>

namespace tarvel {

class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Lock();
  void Unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

// Holds a RecursiveLock for the guard's lifetime.
class LockGuard {
 public:
  explicit LockGuard(RecursiveLock& lock) : lock(lock) { lock.Lock(); }
  ~LockGuard() { lock.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  RecursiveLock& lock;
};

}  // namespace tarvel
