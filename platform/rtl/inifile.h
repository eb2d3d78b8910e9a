// Profile (INI) files with the Windows profile functions' behaviour.
#pragma once
#include <string>
#include <string_view>

namespace rtl {

class TIniFile {
 public:
  // A bare name ("tesqueln.ini") resolves in the Windows directory; a name with a directory
  // part is taken as given (Windows-style, see paths.h).
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }

  // One key of one section; section and key compared without regard to case; the first of
  // duplicate keys wins; a missing file, section or key gives `def`; a present empty value
  // gives ""; at most 2047 characters arrive. Surrounding blanks of the value are dropped.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  int ReadInteger(std::string_view section, std::string_view key, int def) const;

  // Replaces the value (or creates file, section and key), keeping every other line and
  // comment, with CR LF line ends. Written to a temporary file renamed over the old one; on
  // failure raises EInOutError "Unable to write to <file name as given>" and changes nothing.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string fileName_;
};

}  // namespace rtl
