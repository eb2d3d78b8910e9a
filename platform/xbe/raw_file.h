// A host file descriptor with whole reads and writes at offsets and open-file-description
// byte-range locks. Errors are raised as Error with the file's program-side name in the text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xbe/write_watcher.h"

namespace xbe {

class RawFile {
 public:
  RawFile() = default;
  ~RawFile();
  RawFile(RawFile&& other) noexcept;
  RawFile& operator=(RawFile&& other) noexcept;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  // Opens an existing file; false (with errno kept) when it cannot be opened.
  bool Open(const std::string& hostPath, bool writable, std::string displayName);
  // Creates (or truncates) a file for writing.
  void Create(const std::string& hostPath, std::string displayName);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Writable() const { return writable_; }
  int fd() const { return fd_; }
  const std::string& DisplayName() const { return displayName_; }

  std::uint64_t Size() const;
  // Reads up to `size` bytes; returns how many were read (fewer only at the end of the file).
  std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const;
  // Reads exactly `size` bytes or raises a corrupt-file error.
  void ReadExact(std::uint64_t offset, void* data, std::size_t size) const;
  void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  void Truncate(std::uint64_t size);
  void Sync();

  // Non-blocking locks on [start, start + length); false when another open file holds a
  // conflicting lock.
  bool TryLock(std::uint64_t start, std::uint64_t length, bool exclusive);
  void Unlock(std::uint64_t start, std::uint64_t length);
  // True when another open file description holds a lock conflicting with `exclusive`.
  bool IsLockedByOther(std::uint64_t start, std::uint64_t length, bool exclusive) const;
  // Non-blocking whole-file lock (flock), the mark other DBF programs on this host look for;
  // false when another open file description holds a conflicting one.
  bool TryFlock(bool exclusive);
  // Writes and truncations are announced to `watcher` first (none: null).
  void Watch(WriteWatcher* watcher) { watcher_ = watcher; }

 private:
  int fd_ = -1;
  bool writable_ = false;
  std::string displayName_;
  WriteWatcher* watcher_ = nullptr;
};

// Device and inode of an open file and of a path, to see whether a path still names the file.
bool SameFile(const RawFile& file, const std::string& hostPath);

}  // namespace xbe
