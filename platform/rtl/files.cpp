// File services on Windows-style paths: existence, deletion, renaming, attributes, name forms.
#include "platform/rtl/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/codepage.h"
#include "platform/rtl/host_resolve.h"
#include "platform/rtl/paths.h"

namespace rtl {

namespace {

// Opens the file for a look at its locks; -1 when it cannot be opened (nothing to see then).
int OpenForLockCheck(const std::string& host) {
  return ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// Deleting a file another program has open does not fail on this host as it would on Windows:
// a whole-file flock or any byte-range lock held by another open file (this process's own other
// descriptors included) counts as "in use".
bool HeldByAnother(int fd) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // to the end of any possible lock
  fl.l_pid = 0;
  if (::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) return true;
  return false;
}

bool StatHost(const std::string& host, struct stat& st) {
  return !host.empty() && ::stat(host.c_str(), &st) == 0;
}

std::string ParentHost(const std::string& host) {
  const std::size_t slash = host.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : host.substr(0, slash);
}

}  // namespace

// The host has no read-only attribute; a file whose owner may not write it counts as read-only,
// whoever runs the program (root included), as the attribute would on Windows.
bool IsReadOnlyMode(unsigned mode) { return (mode & S_IWUSR) == 0; }

bool FileExists(std::string_view path) {
  struct stat st;
  return StatHost(HostPath(path), st) && S_ISREG(st.st_mode);
}

bool DeleteFile(std::string_view path) {
  const std::string host = HostPath(path);
  struct stat st;
  if (host.empty() || ::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) return false;
  const int fd = OpenForLockCheck(host);
  if (fd < 0) return ::unlink(host.c_str()) == 0;
  // The exclusive flock is held across the unlink, so no one can mark the file open meanwhile.
  bool deleted = false;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && !HeldByAnother(fd)) deleted = ::unlink(host.c_str()) == 0;
  ::close(fd);
  return deleted;
}

bool RenameFile(std::string_view from, std::string_view to) {
  const detail::ResolvedPath source = detail::Resolve(from);
  struct stat fromStat;
  if (source.host.empty() || ::lstat(source.host.c_str(), &fromStat) != 0) return false;
  const detail::ResolvedPath target = detail::Resolve(to);
  if (target.host.empty() || target.parts.components.empty()) return false;
  struct stat toStat;
  std::string targetHost = target.host;
  if (::lstat(targetHost.c_str(), &toStat) == 0) {
    // The target exists: only a change of letter case of the same file may go on.
    if (toStat.st_dev != fromStat.st_dev || toStat.st_ino != fromStat.st_ino) return false;
    std::string parent = ParentHost(target.host);
    if (parent.back() != '/') parent += '/';
    targetHost = parent + AnsiToUtf8(target.parts.components.back());
    if (targetHost == source.host) return true;
  }
  return ::rename(source.host.c_str(), targetHost.c_str()) == 0;
}

int FileGetAttr(std::string_view path) {
  const std::string host = HostPath(path);
  struct stat st;
  if (!StatHost(host, st)) return -1;
  int attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= faDirectory;
  else attr |= faArchive;
  if (IsReadOnlyMode(st.st_mode)) attr |= faReadOnly;
  std::string name = host;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name = name.substr(name.find_last_of('/') + 1);
  if (name.size() > 1 && name[0] == '.' && name != "..") attr |= faHidden;
  return attr;
}

std::string GetLongPathName(std::string_view path) {
  const detail::ResolvedPath r = detail::Resolve(path);
  if (path.empty() || !r.exists) return std::string(path);
  std::string out;
  if (r.parts.drive != 0) {
    out += r.parts.drive;
    out += ':';
  }
  if (r.parts.rooted) out += '\\';
  for (std::size_t i = 0; i < r.parts.components.size(); ++i) {
    if (i > 0) out += '\\';
    out += r.spelling[i].empty() ? r.parts.components[i] : r.spelling[i];
  }
  if (r.parts.trailingSeparator) out += '\\';
  return out;
}

std::string GetShortPathName(std::string_view path) { return GetLongPathName(path); }

}  // namespace rtl
