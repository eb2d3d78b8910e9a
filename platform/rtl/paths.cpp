// Windows-form path texts: the name helpers and ExpandFileName. Nothing here touches the host.
#include "platform/rtl/paths.h"

#include "platform/rtl/path_parts.h"

namespace rtl {

namespace {

// Index of the last separator or ":" (or "." too when asked), npos when none.
std::size_t LastDelimiter(std::string_view path, bool withDot) {
  for (std::size_t i = path.size(); i-- > 0;) {
    const char c = path[i];
    if (IsPathDelimiter(c) || c == ':' || (withDot && c == '.')) return i;
  }
  return std::string_view::npos;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

}  // namespace

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

std::string ExtractFilePath(std::string_view path) {
  const std::size_t i = LastDelimiter(path, false);
  return i == std::string_view::npos ? std::string() : std::string(path.substr(0, i + 1));
}

std::string ExtractFileDir(std::string_view path) {
  std::size_t i = LastDelimiter(path, false);
  if (i == std::string_view::npos) return std::string();
  // "C:\DADOS\X" gives "C:\DADOS"; "C:\X" keeps "C:\" and "\X" keeps "\".
  if (i > 0 && IsPathDelimiter(path[i]) && !IsPathDelimiter(path[i - 1]) && path[i - 1] != ':')
    return std::string(path.substr(0, i));
  return std::string(path.substr(0, i + 1));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t i = LastDelimiter(path, false);
  return std::string(i == std::string_view::npos ? path : path.substr(i + 1));
}

std::string ExtractFileExt(std::string_view path) {
  const std::size_t i = LastDelimiter(path, true);
  if (i == std::string_view::npos || path[i] != '.') return std::string();
  return std::string(path.substr(i));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const std::size_t i = LastDelimiter(path, true);
  const std::size_t end = (i == std::string_view::npos || path[i] != '.') ? path.size() : i;
  std::string out(path.substr(0, end));
  out += ext;
  return out;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (out.empty() || !IsPathDelimiter(out.back())) out += '\\';
  return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (!out.empty() && IsPathDelimiter(out.back())) out.pop_back();
  return out;
}

std::string ExpandFileName(std::string_view path) {
  if (path.empty()) return std::string();
  const detail::WindowsPathParts parts = detail::ParseWindowsPath(path);
  std::string prefix;  // "X:\"
  std::vector<std::string> components;
  const std::string current = GetCurrentDir();
  const detail::WindowsPathParts here = detail::ParseWindowsPath(current);
  const bool onCurrentDrive = parts.drive == 0 || UpperAscii(parts.drive) == UpperAscii(here.drive);
  prefix += parts.drive != 0 ? parts.drive : here.drive;
  prefix += ":\\";
  if (!parts.rooted && onCurrentDrive) components = here.components;
  components.insert(components.end(), parts.components.begin(), parts.components.end());
  components = detail::FoldDots(components);
  std::string out = prefix;
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (i > 0) out += '\\';
    out += components[i];
  }
  if (parts.trailingSeparator && !components.empty()) out += '\\';
  return out;
}

}  // namespace rtl
