#include "platform/rtl/path_parts.h"

#include "platform/rtl/paths.h"

namespace rtl::detail {

WindowsPathParts ParseWindowsPath(std::string_view path) {
  WindowsPathParts parts;
  std::string_view rest = path;
  if (rest.size() >= 2 && rest[1] == ':' &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    parts.drive = rest[0];
    rest.remove_prefix(2);
  }
  parts.rooted = !rest.empty() && IsPathDelimiter(rest.front());
  parts.trailingSeparator = !rest.empty() && IsPathDelimiter(rest.back());
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsPathDelimiter(rest[i])) ++i;
    const std::size_t start = i;
    while (i < rest.size() && !IsPathDelimiter(rest[i])) ++i;
    if (i > start) parts.components.emplace_back(rest.substr(start, i - start));
  }
  if (!parts.trailingSeparator && !parts.components.empty()) {
    std::string& last = parts.components.back();
    if (last != "." && last != "..") {
      while (!last.empty() && (last.back() == ' ' || last.back() == '.')) last.pop_back();
      if (last.empty()) {
        parts.components.pop_back();
        parts.trailingSeparator = true;
      }
    }
  }
  if (parts.components.empty()) parts.trailingSeparator = false;
  return parts;
}

std::vector<std::string> FoldDots(const std::vector<std::string>& components) {
  std::vector<std::string> out;
  for (const std::string& c : components) {
    if (c == ".") continue;
    if (c == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace rtl::detail
