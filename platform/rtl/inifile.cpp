// Profile (INI) files read and written as the Windows profile functions do, with one addition:
// a write never leaves a half-written file (a temporary file is renamed over the old one).
#include "platform/rtl/inifile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>
#include <vector>

#include "platform/rtl/exception.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace rtl {

namespace {

// Values arrive through a buffer of 2048 characters, its last one the terminating zero.
constexpr std::size_t kMaxValueLength = 2047;

bool IsBareName(std::string_view name) {
  for (char c : name)
    if (IsPathDelimiter(c) || c == ':') return false;
  return true;
}

std::string HostFileOf(const std::string& fileName) {
  if (IsBareName(fileName)) return HostPathInDirectory(WindowsDirectoryHost(), fileName);
  return HostPath(fileName);
}

enum class ReadResult { kRead, kMissing, kFailed };

ReadResult ReadWholeFile(const std::string& host, std::string& content) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::kFailed;
  }
  content.clear();
  char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadResult::kFailed;
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadResult::kRead;
}

// Lines without their line ends (LF or CR LF); a missing final line end changes nothing.
std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::size_t stop = end;
    if (stop > start && content[stop - 1] == '\r') --stop;
    lines.push_back(content.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

bool SameName(std::string_view a, std::string_view b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

std::string_view WithoutBom(std::string_view line, std::size_t index) {
  if (index == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  return line;
}

// "[name]" after optional blanks; the name between the brackets, trimmed.
bool ParseSectionHeader(std::string_view line, std::string& name) {
  const std::string t = TrimLeft(line);
  if (t.empty() || t[0] != '[') return false;
  const std::size_t close = t.find(']', 1);
  name = Trim(std::string_view(t).substr(1, (close == std::string::npos ? t.size() : close) - 1));
  return true;
}

// "key=value"; the key trimmed. Comment lines (";") and lines without "=" hold no key.
bool ParseKeyLine(std::string_view line, std::string& key, std::string_view& rawValue) {
  const std::string t = TrimLeft(line);
  if (t.empty() || t[0] == ';') return false;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  rawValue = line.substr(eq + 1);
  return true;
}

// Where a key of a section stands in the lines: the first section of that name, the first
// such key in any section of that name, and the last non-blank line of the first section.
struct KeyLocation {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t sectionLine = kNone;
  std::size_t lastLineOfSection = kNone;
  std::size_t keyLine = kNone;
  std::string_view rawValue;
};

KeyLocation Locate(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
  KeyLocation loc;
  bool inSection = false, inFirstSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = WithoutBom(lines[i], i);
    std::string name;
    if (ParseSectionHeader(line, name)) {
      inSection = SameName(name, section);
      inFirstSection = inSection && loc.sectionLine == KeyLocation::kNone;
      if (inFirstSection) loc.sectionLine = loc.lastLineOfSection = i;
      continue;
    }
    if (!inSection) continue;
    if (inFirstSection && !Trim(line).empty()) loc.lastLineOfSection = i;
    std::string lineKey;
    std::string_view raw;
    if (loc.keyLine == KeyLocation::kNone && ParseKeyLine(line, lineKey, raw) && SameName(lineKey, key)) {
      loc.keyLine = i;
      loc.rawValue = raw;
    }
  }
  return loc;
}

// The value as the profile functions hand it over: blanks around it dropped, then one pair of
// matching quotes, then cut to the buffer.
std::string CleanValue(std::string_view raw) {
  std::string v = Trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  if (v.size() > kMaxValueLength) v.resize(kMaxValueLength);
  return v;
}

// A line break inside a key or value would make new lines of the file: only the first line counts.
std::string FirstLine(std::string_view s) {
  const std::size_t end = s.find_first_of("\r\n");
  return std::string(s.substr(0, end));
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `content` to a new file beside `target` and renames it over `target`. False, with
// nothing changed, when any step fails.
bool ReplaceFile(const std::string& target, const std::string& content, const struct stat* old) {
  const std::size_t slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
  const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
  std::random_device random;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = dir + "." + base + ".tmp" + std::to_string(random() % 1000000000u);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content);
  if (ok && old != nullptr) ok = ::fchmod(fd, old->st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  if (const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  std::string content;
  if (ReadWholeFile(HostFileOf(fileName_), content) == ReadResult::kRead) {
    const std::vector<std::string> lines = SplitLines(content);
    const KeyLocation loc = Locate(lines, section, key);
    if (loc.keyLine != KeyLocation::kNone) return CleanValue(loc.rawValue);
  }
  // The profile functions drop the default's trailing blanks too.
  std::string d = TrimRight(def);
  if (d.size() > kMaxValueLength) d.resize(kMaxValueLength);
  return d;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  return StrToIntDef(ReadString(section, key, ""), def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const auto fail = [this]() { throw EInOutError(FormatS("Unable to write to %s", fileName_)); };
  if (IsBareName(fileName_) && !EnsureWindowsDirectory()) fail();
  std::string target = HostFileOf(fileName_);
  if (target.empty()) fail();

  struct stat st;
  const bool exists = ::lstat(target.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    // Write through a link to the file it names, keeping the link.
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(target.c_str(), nullptr), &std::free);
    if (!real || ::stat(real.get(), &st) != 0) fail();
    target = real.get();
  }
  std::string content;
  if (exists) {
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0) fail();  // read-only: refused
    if (ReadWholeFile(target, content) != ReadResult::kRead) fail();
  }

  std::vector<std::string> lines = SplitLines(content);
  const std::string cleanSection = FirstLine(section);
  const std::string cleanKey = FirstLine(key);
  const std::string cleanValue = FirstLine(value);
  const KeyLocation loc = Locate(lines, cleanSection, cleanKey);
  if (loc.keyLine != KeyLocation::kNone) {
    const std::string& old = lines[loc.keyLine];
    lines[loc.keyLine] = Trim(std::string_view(old).substr(0, old.find('='))) + "=" + cleanValue;
  } else if (loc.sectionLine != KeyLocation::kNone) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(loc.lastLineOfSection + 1), cleanKey + "=" + cleanValue);
  } else {
    lines.push_back("[" + cleanSection + "]");
    lines.push_back(cleanKey + "=" + cleanValue);
  }

  std::string out;
  out.reserve(content.size() + cleanKey.size() + cleanValue.size() + 16);
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  if (!ReplaceFile(target, out, exists ? &st : nullptr)) fail();
}

}  // namespace rtl
