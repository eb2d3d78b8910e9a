// Locks that last one call of the C interface. Readers of a shared index file hold the shared
// index-update lock from their first look at the file in a call to the end of that call, as the
// other xBase programs do, so that no writer changes pages under them; the outermost call
// releases them all.
#pragma once
#include <string>

namespace xbe {

class CallLockHolder {
 public:
  virtual ~CallLockHolder() = default;
  virtual void ReleaseCallLock() noexcept = 0;
  // The file the lock lies on (its host path): another holder of the same file in this
  // process must let go before this one may write.
  virtual const std::string& LockedFile() const = 0;
};

class CallScope {
 public:
  CallScope() { ++Depth(); }
  ~CallScope() {
    if (--Depth() == 0) ReleaseAll();
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // True inside a call of the C interface.
  static bool Active() { return Depth() > 0; }
  // `holder` took its lock for the rest of the call.
  static void Hold(CallLockHolder* holder);
  // A holder that goes away (or released its lock itself) before the call ends.
  static void Forget(CallLockHolder* holder);
  // Holders of `file` other than `except` release their locks now.
  static void ReleaseOthers(const std::string& file, const CallLockHolder* except);

 private:
  static void ReleaseAll() noexcept;
  static int& Depth() {
    thread_local int depth = 0;
    return depth;
  }
};

}  // namespace xbe
