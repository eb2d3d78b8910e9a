// The mapping of a Windows-style path to the host, component by component (see paths.h).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/path_parts.h"

namespace rtl::detail {

struct ResolvedPath {
  WindowsPathParts parts;
  // One entry per entry of parts.components: the name on disk (1252) for a component that was
  // found, "" for "." / ".." and for components that do not exist (they keep the case given).
  std::vector<std::string> spelling;
  std::string host;  // the host path (UTF-8), absolute; "" on a drive that does not exist
  bool exists = false;  // every component was found
};

ResolvedPath Resolve(std::string_view windowsPath);

// The host directory behind a drive letter; "" for a letter that names no drive.
std::string DriveRootHost(char drive);

// The host's current directory (UTF-8), "" when it cannot be read.
std::string HostCurrentDirectory();

}  // namespace rtl::detail
