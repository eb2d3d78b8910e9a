// A list of pointers with its own lock, for process-wide registers of live objects (the list
// of all dataset components, the list of connection components). Add and Remove lock
// internally; LockList gives the items until UnlockList.
#pragma once
#include <algorithm>
#include <vector>

#include "platform/rtl/threads.h"

namespace classes {

template <class T>
class TThreadList {
 public:
  void Add(T* item) {
    rtl::CriticalSectionGuard guard(lock_);
    items_.push_back(item);
  }
  // Removes the first occurrence.
  void Remove(T* item) {
    rtl::CriticalSectionGuard guard(lock_);
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it != items_.end()) items_.erase(it);
  }
  std::vector<T*>& LockList() {
    lock_.Enter();
    return items_;
  }
  void UnlockList() { lock_.Leave(); }
  // Drops null entries.
  void Pack() {
    rtl::CriticalSectionGuard guard(lock_);
    std::erase(items_, nullptr);
  }
  int Count() {
    rtl::CriticalSectionGuard guard(lock_);
    return static_cast<int>(items_.size());
  }

 private:
  rtl::TCriticalSection lock_;
  std::vector<T*> items_;
};

}  // namespace classes
