// Folder contents as the directory dialogs list them: names in the locale-aware order a user
// reads, folders and files apart.
#pragma once
#include <string>
#include <vector>

namespace ui {

std::vector<std::string> ListSubDirectories(const std::string& dir);
std::vector<std::string> ListFiles(const std::string& dir);

}  // namespace ui
