#include "platform/xbe/restructure_switch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/xbe/errors.h"

namespace xbe {

namespace {

class Switch {
 public:
  explicit Switch(const SwitchPlan& plan) : p_(plan) {}

  void Run() {
    if (!p_.keptMemo.empty()) SyncFile(p_.keptMemo, "sync memo");
    SyncFolder(FolderOf(p_.dataPath), "sync folder");
    if (!p_.newMemo.empty()) PlaceNewMemo();
    if (const int err = Rename("rename table", p_.newData, p_.dataPath)) {
      TakeBackNewMemo();
      Failure("Cannot replace " + p_.display, err);
    }
    // Switched: the new table is in place; what was set aside is no longer wanted.
    if (aside_) ::unlink(p_.memoAside.c_str());
    if (const int err = SyncFolderError(FolderOf(p_.dataPath), "sync folder after"))
      Failure("The table " + p_.display + " was restructured, but its folder could not be written to disk", err);
  }

 private:
  // Renames unless the step is failed; the errno value of the failure, 0 on success.
  int Rename(std::string_view step, const std::string& from, const std::string& to) {
    if (const int injected = Fault(step)) return injected;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  int Fault(std::string_view step) { return p_.faults && *p_.faults ? (*p_.faults)(step) : 0; }

  [[noreturn]] void Failure(const std::string& what, int err) {
    if (err == ENOSPC || err == EDQUOT) Fail(kDiskFull, "The disk is full: " + what + ".");
    Fail(kIoError, what + ": " + std::strerror(err) + ".");
  }

  void SyncFile(const std::string& path, std::string_view step) {
    if (int err = Fault(step)) Failure("Cannot write " + p_.display + " to disk", err);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // nothing there to keep
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err) Failure("Cannot write " + p_.display + " to disk", err);
  }

  int SyncFolderError(const std::string& folder, std::string_view step) {
    if (const int injected = Fault(step)) return injected;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err;
  }

  void SyncFolder(const std::string& folder, std::string_view step) {
    if (const int err = SyncFolderError(folder, step))
      Failure("Cannot write the folder of " + p_.display + " to disk", err);
  }

  // The new memo file goes in place before the data file, and its folder entry reaches the disk
  // before the table that points into it. A file already bearing the name (an orphan memo of
  // an earlier memo field) is set aside, to come back if the switch fails.
  void PlaceNewMemo() {
    struct stat st{};
    if (::lstat(p_.memoPath.c_str(), &st) == 0) {
      if (const int err = Rename("set memo aside", p_.memoPath, p_.memoAside))
        Failure("Cannot replace the memo file of " + p_.display, err);
      aside_ = true;
    }
    if (const int err = Rename("rename memo", p_.newMemo, p_.memoPath)) {
      PutAsideBack();
      Failure("Cannot replace the memo file of " + p_.display, err);
    }
    memoPlaced_ = true;
    if (const int err = SyncFolderError(FolderOf(p_.memoPath), "sync memo folder")) {
      TakeBackNewMemo();
      Failure("Cannot write the folder of " + p_.display + " to disk", err);
    }
  }

  void PutAsideBack() {
    if (aside_ && ::rename(p_.memoAside.c_str(), p_.memoPath.c_str()) == 0) aside_ = false;
  }

  // Undoes PlaceNewMemo: the file set aside takes its name back, or the new memo goes.
  void TakeBackNewMemo() {
    if (!memoPlaced_) return;
    if (aside_) PutAsideBack();
    else ::unlink(p_.memoPath.c_str());
    memoPlaced_ = false;
  }

  const SwitchPlan& p_;
  bool aside_ = false;
  bool memoPlaced_ = false;
};

}  // namespace

void SwitchRestructuredFiles(const SwitchPlan& plan) { Switch(plan).Run(); }

void KeepOwnership(int fd, const struct stat& replaced) {
  if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
    // Not the superuser: the group where this user belongs to it; the owner stays this user.
    (void)::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid);
  }
  // After the owner change, which may clear set-id bits.
  (void)::fchmod(fd, replaced.st_mode & 07777);
}

std::string FolderOf(const std::string& hostPath) {
  const std::size_t slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

}  // namespace xbe
