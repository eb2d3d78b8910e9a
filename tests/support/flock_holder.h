// Another DBF program on this host, as far as sharing goes: a child process that opens a file
// and marks it with a whole-file flock only (no byte-range locks), as such programs do.
#pragma once
#include <sys/types.h>

#include <filesystem>

namespace testsupport {

class FlockHolder {
 public:
  // Holds a shared or exclusive flock on `file` until the object goes away.
  FlockHolder(const std::filesystem::path& file, bool exclusive);
  ~FlockHolder();
  FlockHolder(const FlockHolder&) = delete;
  FlockHolder& operator=(const FlockHolder&) = delete;
  // True once the child reported the lock taken.
  bool Holding() const { return holding_; }

 private:
  pid_t child_ = -1;
  int release_ = -1;
  bool holding_ = false;
};

// Whether another process could take a (non-blocking) flock of that kind on `file` now.
bool OtherProcessCanFlock(const std::filesystem::path& file, bool exclusive);

}  // namespace testsupport
