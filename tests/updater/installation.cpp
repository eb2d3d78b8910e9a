#include "installation.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace updatertest {

const std::vector<std::string> kIndexFiles = {"ML21.NTX", "ML22.NTX", "ML23.NTX",
                                              "ML24.NTX", "ML61.NTX", "ML62.NTX"};

Installation::Installation() {
  windir_ = root_.path() / "windows";
  driveF_ = root_.path() / "drive-f";
  templates_ = root_.path() / "instalacao";
  data_ = driveF_ / "DADOS";
  dataWindows_ = "F:\\DADOS";
  fs::create_directories(windir_ / "drives");
  fs::create_directories(driveF_);
  fs::create_directory_symlink(driveF_, windir_ / "drives" / "f");
  testsupport::CopyFixture("ml/installed", data_);
  testsupport::CopyFixture("ml/templates", templates_);
  WriteIni("[BD]\r\nPathLIS=" + dataWindows_ + "\r\n");
}

void Installation::WriteIni(const std::string& bytes) const { WriteBytes(windir_ / "tesqueln.ini", bytes); }

void Installation::RemoveIni() const { fs::remove(windir_ / "tesqueln.ini"); }

void Installation::MoveDataTo(const std::string& folderOnF) {
  const fs::path target = driveF_ / folderOnF;
  fs::rename(data_, target);
  data_ = target;
  dataWindows_ = "F:\\" + folderOnF;
}

std::vector<std::string> Installation::IndexFilesPresent() const {
  std::vector<std::string> present;
  for (const std::string& name : kIndexFiles)
    if (fs::exists(data_ / name)) present.push_back(name);
  return present;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void RenameFieldInHeader(const fs::path& dbf, const std::string& from, const std::string& to) {
  std::string bytes = ReadBytes(dbf);
  // Field descriptors follow the 32-byte header, 32 bytes each, up to the 0x0D terminator;
  // the name is the first 11 bytes, NUL padded.
  for (std::size_t at = 32; at + 32 <= bytes.size() && bytes[at] != '\x0D'; at += 32) {
    const std::string name(bytes.data() + at, bytes.data() + at + 11);
    if (name.substr(0, name.find('\0')) != from) continue;
    std::string renamed = to;
    renamed.resize(11, '\0');
    bytes.replace(at, 11, renamed);
    WriteBytes(dbf, bytes);
    return;
  }
  throw std::runtime_error("field " + from + " not in " + dbf.string());
}

}  // namespace updatertest
