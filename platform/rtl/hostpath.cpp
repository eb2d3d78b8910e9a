// Windows-style paths on the host: drive letters, case-insensitive names, the Windows
// directory, the current directory and the program's own file name.
#include <dirent.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/rtl/codepage.h"
#include "platform/rtl/host_resolve.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace rtl {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

bool IsHostDirectory(const std::string& host) {
  struct stat st;
  return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string JoinHost(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string RealHostPath(const std::string& host) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(host.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

// The entry of `dir` that names `component` (1252): the exact name when it exists, else the
// first name in byte order that equals it without regard to case. "" when there is none.
std::string FindEntry(const std::string& dir, const std::string& component) {
  const std::string exact = AnsiToUtf8(component);
  struct stat st;
  if (::lstat(JoinHost(dir, exact).c_str(), &st) == 0) return exact;
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.empty() ? "." : dir.c_str()));
  if (!d) return std::string();
  const std::string wanted = AnsiUpperCase(component);
  std::string best;
  while (const dirent* e = ::readdir(d.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string ansi = Utf8ToAnsi(name);
    if (AnsiToUtf8(ansi) != name) continue;  // a host name that 1252 cannot spell
    if (AnsiUpperCase(ansi) != wanted) continue;
    if (best.empty() || name < best) best = name;
  }
  return best;
}

// A drive letter whose drives/x directory holds the host path, with that directory's real
// path; the longest such directory wins. Letter 0 when none holds it.
struct DriveMatch {
  char letter = 0;
  std::string root;
};

DriveMatch DriveHolding(const std::string& hostPath) {
  DriveMatch best;
  const std::string drives = JoinHost(WindowsDirectoryHost(), "drives");
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string root = RealHostPath(JoinHost(drives, std::string(1, letter)));
    if (root.empty() || !IsHostDirectory(root)) continue;
    const bool holds = hostPath == root || root == "/" ||
                       (hostPath.size() > root.size() && hostPath.compare(0, root.size(), root) == 0 &&
                        hostPath[root.size()] == '/');
    if (holds && root.size() > best.root.size()) best = {letter, root};
  }
  return best;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/";
}

}  // namespace

namespace detail {

std::string HostCurrentDirectory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) : std::string();
}

std::string DriveRootHost(char drive) {
  const char lower = (drive >= 'A' && drive <= 'Z') ? static_cast<char>(drive + 0x20) : drive;
  const std::string root = JoinHost(JoinHost(WindowsDirectoryHost(), "drives"), std::string(1, lower));
  if (IsHostDirectory(root)) return root;
  // Without a mapping only C: is a drive (the host root); any other letter names none.
  return lower == 'c' ? std::string("/") : std::string();
}

ResolvedPath Resolve(std::string_view windowsPath) {
  ResolvedPath r;
  r.parts = ParseWindowsPath(windowsPath);
  r.spelling.assign(r.parts.components.size(), std::string());
  if (windowsPath.empty()) return r;

  // The fixed top the path cannot climb above, and the host names below it.
  std::string top;
  std::vector<std::string> below;
  const char drive = r.parts.drive >= 'A' && r.parts.drive <= 'Z' ? static_cast<char>(r.parts.drive + 0x20)
                                                                  : r.parts.drive;
  // Only paths that lack a drive or a root need to know where the program stands.
  const bool needsCwd = drive == 0 || !r.parts.rooted;
  const std::string cwd = needsCwd ? HostCurrentDirectory() : std::string();
  const DriveMatch current = needsCwd ? DriveHolding(cwd) : DriveMatch{};
  const char currentLetter = current.letter != 0 ? current.letter : 'c';
  const bool relativeToCwd = !r.parts.rooted && (drive == 0 || drive == currentLetter);
  if (relativeToCwd) {
    top = current.letter != 0 ? current.root : std::string("/");
    const std::string_view rest = std::string_view(cwd).substr(top == "/" ? 0 : top.size());
    std::size_t i = 0;
    while (i < rest.size()) {
      while (i < rest.size() && rest[i] == '/') ++i;
      const std::size_t start = i;
      while (i < rest.size() && rest[i] != '/') ++i;
      if (i > start) below.emplace_back(rest.substr(start, i - start));
    }
  } else {
    top = DriveRootHost(drive != 0 ? drive : currentLetter);
    // A drive that does not exist: no host path, so every operation on it fails.
    if (top.empty()) return r;
  }

  // found[i]: below[i] exists on disk, so its children can be looked up.
  std::vector<bool> found(below.size(), true);
  for (std::size_t i = 0; i < r.parts.components.size(); ++i) {
    const std::string& c = r.parts.components[i];
    if (c == ".") continue;
    if (c == "..") {
      if (!below.empty()) {
        below.pop_back();
        found.pop_back();
      }
      continue;
    }
    const bool parentFound = found.empty() || found.back();
    std::string dir = top;
    for (const std::string& b : below) dir = JoinHost(dir, b);
    const std::string entry = parentFound ? FindEntry(dir, c) : std::string();
    if (!entry.empty()) {
      below.push_back(entry);
      found.push_back(true);
      r.spelling[i] = Utf8ToAnsi(entry);
    } else {
      below.push_back(AnsiToUtf8(c));
      found.push_back(false);
    }
  }
  r.exists = found.empty() || found.back();
  std::string host = top;
  for (const std::string& b : below) host = JoinHost(host, b);
  if (r.parts.trailingSeparator && !below.empty()) host += '/';
  r.host = host;
  return r;
}

}  // namespace detail

std::string HostPath(std::string_view windowsPath) { return detail::Resolve(windowsPath).host; }

std::string HostPathInDirectory(std::string_view hostDirectory, std::string_view name) {
  const std::string dir(hostDirectory);
  const std::string entry = FindEntry(dir, std::string(name));
  return JoinHost(dir, entry.empty() ? AnsiToUtf8(name) : entry);
}

std::string WindowsDirectoryHost() {
  if (const char* windir = std::getenv("WINDIR"); windir != nullptr && *windir != '\0') return windir;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') config = xdg;
  else config = JoinHost(HomeDirectory(), ".config");
  return JoinHost(config, "tulmevara-windows");
}

bool EnsureWindowsDirectory() {
  const std::string dir = WindowsDirectoryHost();
  if (IsHostDirectory(dir)) return true;
  // Parents first, each allowed to exist already.
  for (std::size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') {
      const std::string part = dir.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && !IsHostDirectory(part)) return false;
    }
  }
  return IsHostDirectory(dir);
}

std::string WindowsPathOfHost(std::string_view hostPath) {
  std::string host(hostPath);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  const DriveMatch drive = DriveHolding(host);
  std::string rest = host;
  if (drive.letter != 0 && drive.root != "/") rest = host.substr(drive.root.size());
  std::string out(1, drive.letter != 0 ? static_cast<char>(drive.letter - 0x20) : 'C');
  out += ':';
  std::string ansi = Utf8ToAnsi(rest);
  for (char& c : ansi)
    if (c == '/') c = '\\';
  if (ansi.empty() || ansi.front() != '\\') out += '\\';
  out += ansi;
  return out;
}

std::string GetCurrentDir() { return WindowsPathOfHost(detail::HostCurrentDirectory()); }

bool SetCurrentDir(std::string_view windowsPath) {
  if (windowsPath.empty()) return false;
  return ::chdir(HostPath(windowsPath).c_str()) == 0;
}

std::string ExeFileName() {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) return std::string();
  buf.resize(static_cast<std::size_t>(n));
  return WindowsPathOfHost(buf);
}

}  // namespace rtl
