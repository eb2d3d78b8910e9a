// A Tulmevara installation on scratch directories, as the updater finds it at a customer's:
// the installed tables on drive F: (a drives/f link inside a temporary Windows directory), the
// template tables in the folder the program starts in, and the INI file the wizard writes.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "testsupport.h"

namespace updatertest {

namespace fs = std::filesystem;

// The six index files as the DOS program names them.
extern const std::vector<std::string> kIndexFiles;

class Installation {
 public:
  // Copies the reference installation: ml/installed into F:\DADOS, ml/templates into a
  // folder of its own, and an INI file whose PathLIS is "F:\DADOS".
  Installation();

  const fs::path& Root() const { return root_.path(); }
  const fs::path& WindowsDir() const { return windir_; }
  const fs::path& DriveF() const { return driveF_; }
  const fs::path& Templates() const { return templates_; }
  // The host folder of the installed tables, and the Windows path the INI names for it.
  const fs::path& Data() const { return data_; }
  const std::string& DataWindowsPath() const { return dataWindows_; }

  // Writes tesqueln.ini in the Windows directory byte for byte.
  void WriteIni(const std::string& bytes) const;
  void RemoveIni() const;
  // Moves the installed tables to another folder of drive F: (a name like "TULMEVAR"),
  // without touching the INI file.
  void MoveDataTo(const std::string& folderOnF);

  // The index files still present in the data folder, in kIndexFiles order.
  std::vector<std::string> IndexFilesPresent() const;

 private:
  testsupport::TempDir root_;
  fs::path windir_, driveF_, templates_, data_;
  std::string dataWindows_;
};

// Reads a whole file (empty when it cannot).
std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);

// Renames one field in a DBF header in place (same length or shorter, NUL padded).
void RenameFieldInHeader(const fs::path& dbf, const std::string& from, const std::string& to);

}  // namespace updatertest
