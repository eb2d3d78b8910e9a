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

  // One key of one section; section and key compared without regard to case (1252 letters
  // too); the first of duplicate keys wins, also across repeated sections; a missing file,
  // section or key gives `def` (without its trailing blanks); a present empty value gives "";
  // at most 2047 characters arrive. Blanks around the value are dropped, then one pair of
  // matching quotes ("..." or '...'). Lines without "=" and lines starting with ";" hold no
  // key. LF or CR LF line ends, a missing final line end and any bytes are accepted.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  int ReadInteger(std::string_view section, std::string_view key, int def) const;

  // Replaces the value of the key that ReadString would find (or adds the key at the end of
  // the first section of that name, or the section at the end of the file, or creates the
  // file), keeping every other line and comment, with CR LF line ends. Only the first line of
  // a section, key or value with line breaks is written. A bare name creates the Windows
  // directory when it is missing. Written to a temporary file renamed over the old one (a link
  // stays a link, the file keeps its mode); a read-only file is refused. On failure raises
  // EInOutError "Unable to write to <file name as given>" and changes nothing.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string fileName_;
};

}  // namespace rtl
