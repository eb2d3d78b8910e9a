// Finding a table's files from the name a caller gives, and opening the data file under the
// sharing convention (README.md, "Sharing between processes").
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xbe/field_types.h"
#include "platform/xbe/raw_file.h"

namespace xbe {

struct TableNames {
  std::string windowsName;  // as the program names it, extension included
  std::string hostPath;     // resolved on the host
};

// The data file of a table: ".dbf" is added to a name without extension for types 1 and 2,
// ".xdt" for type 3.
TableNames DataFileNames(std::string_view name, TableType type);
// The memo file beside a data file: ".dbt" (dBASE), ".fpt" (FoxPro), ".xmt" (engine format).
TableNames MemoFileNames(const TableNames& data, MemoKind kind, bool xdt);

enum class ShareMode { kShared, kExclusive };

// Opens the data file and takes its sharing lock and flock, checking that the name still names the
// locked file (a restructure may have just replaced it). Raises kFileNotFound, kTableInUse
// (exclusive wanted, others have it open), kSharingViolation (someone has it exclusively) or
// kReadOnly. `writable` is in/out: a file that cannot be written is opened read-only when
// `mayFallBack`, and `writable` then comes back false.
RawFile OpenDataFile(const TableNames& names, ShareMode mode, bool& writable, bool mayFallBack);

// Marks an index file open as a table open is marked (a shared sharing lock and a shared flock
// on a descriptor of its own), so that other programs, and a deletion that looks for holders,
// see it in use. Raises kSharingViolation when someone holds the file exclusively.
RawFile MarkIndexFileOpen(const std::string& hostPath, const std::string& windowsName);

// The names of the files a restructure writes beside the table before switching.
std::string RestructureTempPath(const std::string& hostPath);
std::string RestructureMemoTempPath(const std::string& hostPath);
// Where a file already bearing the new memo file's name waits during the switch. Not a
// leftover that opens remove: it may hold the only copy of an old memo file.
std::string RestructureMemoAsidePath(const std::string& hostPath);
// Removes restructure leftovers of a table whose data file is locked by the caller (beside the
// name and, for a symbolic link, beside the file it points to).
void RemoveRestructureLeftovers(const TableNames& data);

}  // namespace xbe
