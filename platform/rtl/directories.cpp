// Directory services on Windows-style paths.
#include <sys/stat.h>

#include "platform/rtl/exception.h"
#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"

namespace rtl {

bool DirectoryExists(std::string_view path) {
  const std::string host = HostPath(path);
  struct stat st;
  return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(std::string_view path) {
  const std::string host = HostPath(path);
  return !host.empty() && ::mkdir(host.c_str(), 0777) == 0;
}

bool ForceDirectories(std::string_view path) {
  if (path.empty()) throw EInOutError("Unable to create directory");
  const std::string dir = ExcludeTrailingPathDelimiter(path);
  // Too short to be more than a drive ("C:", "\"), already there, or still ending in a
  // separator or ":" (a root, or a doubled separator): nothing to create.
  if (dir.size() < 3 || DirectoryExists(dir)) return true;
  const std::string parent = ExtractFilePath(dir);
  if (parent == dir) return true;
  // A relative name without a parent part is made where the program stands (the parent would
  // be the empty path, which is an error).
  if (parent.empty()) return CreateDir(dir);
  return ForceDirectories(parent) && CreateDir(dir);
}

}  // namespace rtl
