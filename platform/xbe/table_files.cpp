#include "platform/xbe/table_files.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "platform/rtl/paths.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/lock_scheme.h"

namespace xbe {

TableNames DataFileNames(std::string_view name, TableType type) {
  TableNames n;
  n.windowsName = std::string(name);
  if (rtl::ExtractFileExt(name).empty()) n.windowsName += type == TableType::kXdt ? ".xdt" : ".dbf";
  n.hostPath = rtl::HostPath(n.windowsName);
  return n;
}

TableNames MemoFileNames(const TableNames& data, MemoKind kind, bool xdt) {
  const char* ext = xdt ? ".xmt" : (kind == MemoKind::kFpt ? ".fpt" : ".dbt");
  std::string upperExt = ext;
  // A data file named in upper case (DOS style) gets its new memo file in upper case too.
  const std::string dataExt = rtl::ExtractFileExt(data.hostPath);
  bool upper = !dataExt.empty();
  for (char c : dataExt)
    if (c >= 'a' && c <= 'z') upper = false;
  if (upper)
    for (char& c : upperExt) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  TableNames n;
  n.windowsName = rtl::ChangeFileExt(data.windowsName, upperExt);
  n.hostPath = rtl::HostPath(n.windowsName);
  return n;
}

RawFile OpenDataFile(const TableNames& names, ShareMode mode, bool& writable, bool mayFallBack) {
  const ByteRange sharing = LockScheme::Sharing();
  for (int attempt = 0; attempt < 20; ++attempt) {
    RawFile file;
    bool w = writable;
    // An exclusive open needs a writable descriptor for its write lock, even when read-only.
    bool opened = file.Open(names.hostPath, w || mode == ShareMode::kExclusive, names.windowsName);
    if (!opened && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      if (w && !mayFallBack)
        Fail(kReadOnly, "The table " + names.windowsName + " cannot be opened for writing.");
      w = false;
      opened = file.Open(names.hostPath, false, names.windowsName);
    }
    if (!opened) {
      if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
        Fail(kFileNotFound, "The table file " + names.windowsName + " was not found.");
      Fail(kIoError, "The table file " + names.windowsName + " cannot be opened.");
    }
    bool locked;
    if (mode == ShareMode::kExclusive) {
      if (file.Writable()) {
        locked = file.TryLock(sharing.start, sharing.length, true);
      } else {
        // A file we may not write cannot carry a write lock: see that no one else has it open
        // and hold a shared lock, which keeps exclusive openers out (README.md).
        locked = !file.IsLockedByOther(sharing.start, sharing.length, true) &&
                 file.TryLock(sharing.start, sharing.length, false);
      }
      // Other DBF programs on this host mark their opens with flock only.
      locked = locked && file.TryFlock(true);
      if (!locked)
        Fail(kTableInUse, "The table " + names.windowsName +
                              " is in use by another user or application and cannot be opened exclusively.");
    } else {
      locked = file.TryLock(sharing.start, sharing.length, false) && file.TryFlock(false);
      if (!locked)
        Fail(kSharingViolation, "The table " + names.windowsName + " is open exclusively by another user.");
    }
    if (!SameFile(file, names.hostPath)) continue;  // replaced meanwhile: open the new file
    writable = w;
    return file;
  }
  Fail(kSharingViolation, "The table " + names.windowsName + " keeps changing while being opened.");
}

RawFile MarkIndexFileOpen(const std::string& hostPath, const std::string& windowsName) {
  RawFile mark;
  if (!mark.Open(hostPath, false, windowsName))
    Fail(kFileNotFound, "The index file " + windowsName + " was not found.");
  const ByteRange sharing = LockScheme::Sharing();
  if (!mark.TryLock(sharing.start, sharing.length, false) || !mark.TryFlock(false))
    Fail(kSharingViolation, "The index file " + windowsName + " is open exclusively by another user.");
  return mark;
}

std::string RestructureTempPath(const std::string& hostPath) { return hostPath + ".rsn"; }
std::string RestructureMemoTempPath(const std::string& hostPath) { return hostPath + ".rsm"; }
std::string RestructureMemoAsidePath(const std::string& hostPath) { return hostPath + ".rso"; }

void RemoveRestructureLeftovers(const TableNames& data) {
  ::unlink(RestructureTempPath(data.hostPath).c_str());
  ::unlink(RestructureMemoTempPath(data.hostPath).c_str());
  if (char* real = ::realpath(data.hostPath.c_str(), nullptr)) {
    if (data.hostPath != real) ::unlink(RestructureTempPath(real).c_str());
    std::free(real);
  }
}

}  // namespace xbe
