#include "platform/xbe/raw_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/xbe/errors.h"
#include "platform/xbe/index/block_file.h"

namespace xbe {

namespace {
[[noreturn]] void IoFailure(const std::string& name, const char* what, int err) {
  if (err == ENOSPC || err == EDQUOT)
    Fail(kDiskFull, "The disk is full while writing " + name + ".");
  Fail(kIoError, std::string("Cannot ") + what + " " + name + ": " + std::strerror(err) + ".");
}
}  // namespace

RawFile::~RawFile() { Close(); }

RawFile::RawFile(RawFile&& other) noexcept
    : fd_(other.fd_), writable_(other.writable_), displayName_(std::move(other.displayName_)), watcher_(other.watcher_) {
  other.fd_ = -1;
}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    writable_ = other.writable_;
    displayName_ = std::move(other.displayName_);
    watcher_ = other.watcher_;
    other.fd_ = -1;
  }
  return *this;
}

bool RawFile::Open(const std::string& hostPath, bool writable, std::string displayName) {
  Close();
  displayName_ = std::move(displayName);
  fd_ = ::open(hostPath.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  writable_ = writable && fd_ >= 0;
  if (fd_ >= 0) {
    struct stat st{};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      Close();
      errno = EISDIR;
      return false;
    }
  }
  return fd_ >= 0;
}

void RawFile::Create(const std::string& hostPath, std::string displayName) {
  Close();
  displayName_ = std::move(displayName);
  fd_ = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) IoFailure(displayName_, "create", errno);
  writable_ = true;
}

void RawFile::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing an open file description drops only its own locks
  fd_ = -1;
  writable_ = false;
}

std::uint64_t RawFile::Size() const {
  struct stat st{};
  if (::fstat(fd_, &st) != 0) IoFailure(displayName_, "examine", errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::size_t RawFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
  std::size_t done = 0;
  auto* p = static_cast<char*>(data);
  while (done < size) {
    const ssize_t n = ::pread(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      IoFailure(displayName_, "read", errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void RawFile::ReadExact(std::uint64_t offset, void* data, std::size_t size) const {
  if (ReadAt(offset, data, size) != size)
    Fail(kCorruptFile, "The file " + displayName_ + " is corrupt: it ends before offset " +
                           std::to_string(offset + size) + ".");
}

void RawFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (!writable_) Fail(kReadOnly, "The file " + displayName_ + " is open read-only.");
  if (watcher_) watcher_->BeforeWrite(offset, size);
  index::ProbeWrite();
  std::size_t done = 0;
  const auto* p = static_cast<const char*>(data);
  while (done < size) {
    const ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      IoFailure(displayName_, "write", errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void RawFile::Truncate(std::uint64_t size) {
  if (watcher_) watcher_->BeforeTruncate(size);
  index::ProbeWrite();
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) IoFailure(displayName_, "truncate", errno);
}

void RawFile::Sync() {
  if (::fsync(fd_) != 0) IoFailure(displayName_, "flush", errno);
}

bool RawFile::TryLock(std::uint64_t start, std::uint64_t length, bool exclusive) {
  struct flock fl{};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required for open-file-description locks
  while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    if (errno == EBADF) return false;  // a read-only file cannot take a write lock
    IoFailure(displayName_, "lock", errno);
  }
  return true;
}

void RawFile::Unlock(std::uint64_t start, std::uint64_t length) {
  struct flock fl{};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
  }
}

bool RawFile::IsLockedByOther(std::uint64_t start, std::uint64_t length, bool exclusive) const {
  struct flock fl{};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

bool RawFile::TryFlock(bool exclusive) {
  while (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    IoFailure(displayName_, "lock", errno);
  }
  return true;
}

bool SameFile(const RawFile& file, const std::string& hostPath) {
  struct stat a{}, b{};
  if (::fstat(file.fd(), &a) != 0 || ::stat(hostPath.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace xbe
