#include "platform/xbe/journal_names.h"

#include <filesystem>

#include "platform/xbe/restructure_switch.h"

namespace xbe {

std::string JournalStoredName(const std::string& journalPath, const std::string& path) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).string();
  if (ec) return path;
  if (FolderOf(absolute) == FolderOf(journalPath)) return absolute.substr(absolute.find_last_of('/') + 1);
  return absolute;
}

std::string JournalResolvedName(const std::string& journalPath, const std::string& stored) {
  if (stored.empty() || stored.find('/') != std::string::npos) return stored;
  return FolderOf(journalPath) + "/" + stored;
}

}  // namespace xbe
