#include "platform/ui/folderlisting.h"

#include <algorithm>

#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace ui {

namespace {

void SortForReading(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return rtl::AnsiCompareText(a, b) < 0; });
}

}  // namespace

std::vector<std::string> ListSubDirectories(const std::string& dir) {
  std::vector<std::string> out;
  const std::string base = rtl::IncludeTrailingPathDelimiter(dir);
  for (const std::string& name : rtl::FindFiles(base + "*.*", true))
    if (rtl::DirectoryExists(base + name)) out.push_back(name);
  SortForReading(out);
  return out;
}

std::vector<std::string> ListFiles(const std::string& dir) {
  std::vector<std::string> out = rtl::FindFiles(rtl::IncludeTrailingPathDelimiter(dir) + "*.*", false);
  SortForReading(out);
  return out;
}

}  // namespace ui
