#include "flock_holder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {
bool TakeFlock(const std::filesystem::path& file, bool exclusive) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  return fd >= 0 && ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
}
}  // namespace

FlockHolder::FlockHolder(const std::filesystem::path& file, bool exclusive) {
  int ready[2], release[2];
  if (::pipe(ready) != 0) return;
  if (::pipe(release) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const char answer = TakeFlock(file, exclusive) ? '1' : '0';
    if (::write(ready[1], &answer, 1) != 1) _exit(2);
    char c;
    while (::read(release[0], &c, 1) > 0) {
    }
    _exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  if (child_ > 0) {
    char answer = '0';
    holding_ = ::read(ready[0], &answer, 1) == 1 && answer == '1';
  }
  ::close(ready[0]);
}

FlockHolder::~FlockHolder() {
  if (release_ >= 0) ::close(release_);
  if (child_ > 0) {
    int status = 0;
    ::waitpid(child_, &status, 0);
  }
}

bool OtherProcessCanFlock(const std::filesystem::path& file, bool exclusive) {
  const pid_t child = ::fork();
  if (child == 0) _exit(TakeFlock(file, exclusive) ? 0 : 1);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testsupport
