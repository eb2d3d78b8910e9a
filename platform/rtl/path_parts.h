// A Windows-style path taken apart, shared by the path helpers and the host mapping.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace rtl::detail {

struct WindowsPathParts {
  char drive = 0;                       // the drive letter as given, 0 when none
  bool rooted = false;                  // a separator follows the drive, or starts the path
  std::vector<std::string> components;  // as given; doubled separators dropped; "." and ".." kept
  bool trailingSeparator = false;
};

// Takes a path apart. As the Windows path rules do, the last component loses its trailing
// blanks and dots ("DADOS. " is "DADOS"); a component that is nothing else is dropped, leaving a
// trailing separator. "." and ".." are kept for the caller to fold.
WindowsPathParts ParseWindowsPath(std::string_view path);

// Folds "." and ".." (".." at the top stays at the top).
std::vector<std::string> FoldDots(const std::vector<std::string>& components);

}  // namespace rtl::detail
