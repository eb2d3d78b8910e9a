#include "platform/xbe/call_scope.h"

#include <algorithm>
#include <vector>

namespace xbe {

namespace {

std::vector<CallLockHolder*>& Holders() {
  thread_local std::vector<CallLockHolder*> holders;
  return holders;
}

}  // namespace

void CallScope::Hold(CallLockHolder* holder) {
  auto& h = Holders();
  if (std::find(h.begin(), h.end(), holder) == h.end()) h.push_back(holder);
}

void CallScope::Forget(CallLockHolder* holder) {
  auto& h = Holders();
  h.erase(std::remove(h.begin(), h.end(), holder), h.end());
}

void CallScope::ReleaseOthers(const std::string& file, const CallLockHolder* except) {
  auto& h = Holders();
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
  auto& h = Holders();
  // Released in turn; a holder never registers again while being released.
  while (!h.empty()) {
    CallLockHolder* last = h.back();
    h.pop_back();
    last->ReleaseCallLock();
  }
}

}  // namespace xbe
