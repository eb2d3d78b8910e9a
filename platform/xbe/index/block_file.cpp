#include "platform/xbe/index/block_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/xbe/index/index_error.h"

namespace xbe::index {

namespace {

void (*writeProbe)() = nullptr;

[[noreturn]] void IoFail(const std::string& name, const std::string& what) {
  throw IndexError(IndexErrorKind::kIo, "Index file " + name + ": " + what + " (" + std::strerror(errno) + ")");
}

class HostFile : public BlockFile {
 public:
  HostFile(int fd, std::string name, bool writable) : fd_(fd), name_(std::move(name)), writable_(writable) {}
  ~HostFile() override { ::close(fd_); }

  void Read(std::uint64_t offset, void* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::pread(fd_, static_cast<char*>(buffer) + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        IoFail(name_, "read failed");
      }
      if (r == 0) Corrupt(name_, "read past the end of the file at offset " + std::to_string(offset));
      done += static_cast<std::size_t>(r);
    }
  }

  void Write(std::uint64_t offset, const void* data, std::size_t n) override {
    if (!writable_) throw IndexError(IndexErrorKind::kArgument, "Index file " + name_ + " is open read-only");
    ProbeWrite();
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::pwrite(fd_, static_cast<const char*>(data) + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        IoFail(name_, "write failed");
      }
      done += static_cast<std::size_t>(r);
    }
  }

  std::uint64_t Size() override {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) IoFail(name_, "cannot read the size");
    return static_cast<std::uint64_t>(st.st_size);
  }

  FileMark Mark() override {
    struct stat st;  // filled by fstat (asked before every search: no clearing first)
    if (::fstat(fd_, &st) != 0) IoFail(name_, "cannot read the size");
    return FileMark{static_cast<std::uint64_t>(st.st_size),
                    static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<std::uint64_t>(st.st_mtim.tv_nsec)};
  }

  void Truncate(std::uint64_t size) override {
    ProbeWrite();
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) IoFail(name_, "cannot change the size");
  }

  void Sync() override { ::fdatasync(fd_); }
  bool Writable() const override { return writable_; }
  const std::string& Name() const override { return name_; }

 private:
  int fd_;
  std::string name_;
  bool writable_;
};

class InMemoryFile : public BlockFile {
 public:
  InMemoryFile(std::string data, std::string name) : data_(std::move(data)), name_(std::move(name)) {}
  void Read(std::uint64_t offset, void* buffer, std::size_t n) override {
    if (offset > data_.size() || n > data_.size() - offset)
      Corrupt(name_, "read past the end of the file at offset " + std::to_string(offset));
    std::memcpy(buffer, data_.data() + offset, n);
  }
  void Write(std::uint64_t offset, const void* data, std::size_t n) override {
    if (offset + n > kMaxSize) throw IndexError(IndexErrorKind::kIo, "Index file " + name_ + ": too large");
    if (data_.size() < offset + n) data_.resize(offset + n, '\0');
    std::memcpy(data_.data() + offset, data, n);
  }
  std::uint64_t Size() override { return data_.size(); }
  void Truncate(std::uint64_t size) override { data_.resize(size, '\0'); }
  bool Writable() const override { return true; }
  const std::string& Name() const override { return name_; }

 private:
  static constexpr std::uint64_t kMaxSize = 1ull << 31;
  std::string data_;
  std::string name_;
};

}  // namespace

void SetWriteProbe(void (*probe)()) { writeProbe = probe; }

void ProbeWrite() {
  if (writeProbe) writeProbe();
}

std::unique_ptr<BlockFile> OpenHostFile(const std::string& hostPath, bool writable) {
  const int fd = ::open(hostPath.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) IoFail(hostPath, "cannot open");
  return std::make_unique<HostFile>(fd, hostPath, writable);
}

std::unique_ptr<BlockFile> CreateHostFile(const std::string& hostPath) {
  const int fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) IoFail(hostPath, "cannot create");
  return std::make_unique<HostFile>(fd, hostPath, true);
}

std::unique_ptr<BlockFile> MemoryFile(std::string contents, std::string name) {
  return std::make_unique<InMemoryFile>(std::move(contents), std::move(name));
}

}  // namespace xbe::index
