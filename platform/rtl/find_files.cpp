// Listing the entries of a directory that match a "*" / "?" pattern.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/rtl/codepage.h"
#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace rtl {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// "*" matches any run of characters, "?" exactly one; both texts are already case-folded.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<std::string> FindFiles(std::string_view pattern, bool includeDirectories) {
  std::vector<std::string> names;
  const std::string dir = ExtractFilePath(pattern);
  std::string mask = ExtractFileName(pattern);
  if (mask.empty()) return names;
  if (mask == "*.*") mask = "*";  // the DOS spelling of "everything", names without a dot too
  const std::string host = HostPath(dir.empty() ? std::string(".") : dir);
  std::unique_ptr<DIR, DirCloser> d(::opendir(host.c_str()));
  if (!d) return names;
  const std::string foldedMask = AnsiUpperCase(mask);
  while (const dirent* e = ::readdir(d.get())) {
    const std::string hostName = e->d_name;
    if (hostName == "." || hostName == "..") continue;
    const std::string name = Utf8ToAnsi(hostName);
    if (!WildcardMatch(AnsiUpperCase(name), foldedMask)) continue;
    struct stat st;
    const std::string full = host.back() == '/' ? host + hostName : host + "/" + hostName;
    if (::stat(full.c_str(), &st) != 0) continue;  // a dangling link is no file
    if (S_ISDIR(st.st_mode) && !includeDirectories) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace rtl
