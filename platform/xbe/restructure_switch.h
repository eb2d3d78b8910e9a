// The end of a restructure: the complete new files written beside the table become the table.
// Everything that can fail is done before the one rename of the data file, so that a failure
// or a crash before it leaves the old table complete; nothing that fails is reported as
// success (README.md, "Restructure").
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace xbe {

// Lets tests fail a named step of the switch: returns the errno value to fail with, 0 to go on.
using RestructureFaults = std::function<int(std::string_view step)>;

struct SwitchPlan {
  std::string display;   // the table's name in texts
  std::string dataPath;  // the data file replaced (its real place, symbolic links followed)
  std::string newData;   // the complete new data file beside it, synced
  std::string keptMemo;  // the memo file the new table goes on using; empty when none
  std::string newMemo;   // a new empty memo file (the first memo field), synced; empty when none
  std::string memoPath;  // where the new memo file goes
  std::string memoAside; // where a file already named `memoPath` waits until the switch is done
  const RestructureFaults* faults = nullptr;
};

// The steps: sync of the kept memo file ("sync memo") and of the folder holding the new files
// ("sync folder"); the new memo file put in place ("set memo aside", "rename memo", "sync memo
// folder"); the data file renamed ("rename table"); the folder synced ("sync folder after").
// Raises kIoError (or kDiskFull); before the data file's rename everything is put back.
void SwitchRestructuredFiles(const SwitchPlan& plan);

// Gives a new file the owner, group and mode of the file it replaces, as far as this process
// may (the mode always; the group where it may; the owner as the superuser).
void KeepOwnership(int fd, const struct stat& replaced);

// The folder part of a host path ("." for a bare name).
std::string FolderOf(const std::string& hostPath);

}  // namespace xbe
