#include "platform/xbe/call_scope.h"

#include <algorithm>
#include <vector>

namespace xbe {

namespace {

// The holders of this thread's call. Held through a plain pointer, so that index files released
// after the thread's own objects are gone (handles closed at the end of the program) find none.
thread_local std::vector<CallLockHolder*>* holders = nullptr;

struct HoldersOwner {
  ~HoldersOwner() {
    delete holders;
    holders = nullptr;
  }
};
thread_local HoldersOwner owner;

std::vector<CallLockHolder*>& MakeHolders() {
  if (holders == nullptr) {
    (void)&owner;  // made with the list, so that it goes with the thread
    holders = new std::vector<CallLockHolder*>();
  }
  return *holders;
}

}  // namespace

void CallScope::Hold(CallLockHolder* holder) {
  auto& h = MakeHolders();
  if (std::find(h.begin(), h.end(), holder) == h.end()) h.push_back(holder);
}

void CallScope::Forget(CallLockHolder* holder) {
  if (holders == nullptr) return;
  auto& h = *holders;
  h.erase(std::remove(h.begin(), h.end(), holder), h.end());
}

void CallScope::ReleaseOthers(const std::string& file, const CallLockHolder* except) {
  if (holders == nullptr) return;
  auto& h = *holders;
  for (std::size_t i = 0; i < h.size();) {
    if (h[i] != except && h[i]->LockedFile() == file) {
      CallLockHolder* other = h[i];
      h.erase(h.begin() + static_cast<std::ptrdiff_t>(i));
      other->ReleaseCallLock();
    } else {
      ++i;
    }
  }
}

void CallScope::ReleaseAll() noexcept {
  if (holders == nullptr) return;
  auto& h = *holders;
  // Released in turn; a holder never registers again while being released.
  while (!h.empty()) {
    CallLockHolder* last = h.back();
    h.pop_back();
    last->ReleaseCallLock();
  }
}

}  // namespace xbe
