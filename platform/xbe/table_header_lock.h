// The table header's lock (internal to the table implementation).
#pragma once
#include <chrono>
#include <thread>

#include "platform/xbe/errors.h"
#include "platform/xbe/table.h"

namespace xbe {

// Serialises header updates (record count, memo allocation) between writers of a shared
// table. Header locks are held for a few writes only, so waiting a little is right.
class Table::HeaderLock {
 public:
  explicit HeaderLock(Table& t) : t_(t) {
    if (t_.exclusive_) return;
    const ByteRange r = t_.scheme_->Header();
    for (int i = 0; i < 500; ++i) {
      if (t_.dbf_.TryLock(r.start, r.length, true)) {
        held_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Fail(kRecordLocked, "The header of table " + t_.names_.windowsName + " stays locked by another user.");
  }
  ~HeaderLock() {
    if (held_) {
      const ByteRange r = t_.scheme_->Header();
      t_.dbf_.Unlock(r.start, r.length);
    }
  }
  HeaderLock(const HeaderLock&) = delete;
  HeaderLock& operator=(const HeaderLock&) = delete;

 private:
  Table& t_;
  bool held_ = false;
};

}  // namespace xbe
