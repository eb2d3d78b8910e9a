// Thread identity and the one lock type the layers use.
#pragma once
#include <cstdint>
#include <mutex>

namespace rtl {

// The calling thread's identifier (the kernel's thread id).
std::uint32_t GetCurrentThreadId();

// A recursive lock, as the platform's critical sections are.
class TCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(TCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CriticalSectionGuard() { cs_.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  TCriticalSection& cs_;
};

}  // namespace rtl
