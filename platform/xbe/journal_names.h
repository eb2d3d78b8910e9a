// How the engine's journals (a transaction's, a handle's write intent) name the files they speak
// of: a file beside the journal by its name alone, so that a copy of the folder (a backup taken
// after a crash) puts back its own files and never the original's; any other by its absolute path.
#pragma once
#include <string>

namespace xbe {

std::string JournalStoredName(const std::string& journalPath, const std::string& path);
// The host path of a name as a journal stored it.
std::string JournalResolvedName(const std::string& journalPath, const std::string& stored);

}  // namespace xbe
