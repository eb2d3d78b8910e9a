// Tables read back through the engine's C interface, and the reference dumps they are
// compared with (expected/*.txt: fields, then every record with its deleted mark).
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace updatertest {

struct FieldInfo {
  std::string name;
  char type = '?';  // C, N, L, D, M
  unsigned length = 0;
  unsigned decimals = 0;
  bool operator==(const FieldInfo&) const = default;
};

struct RecordValues {
  unsigned recno = 0;
  bool deleted = false;
  std::vector<std::string> values;  // stored bytes (code page 850), memos whole
  std::vector<bool> empty;          // only from tables
};

struct TableContents {
  std::vector<FieldInfo> fields;
  std::vector<RecordValues> records;
};

// A dump of the reference files, escapes resolved.
TableContents ReadDump(const std::string& dumpName);
// Every field and every record (deleted ones included) of an NTX table in a host folder.
// Throws std::runtime_error with the engine's text when the table cannot be read.
TableContents ReadTable(const std::filesystem::path& folder, const std::string& table);

// Compares a value read from a table with a dump value of a field of this type.
bool SameValue(char type, const std::string& fromTable, const std::string& fromDump);

// The engine's last error as "code text".
std::string LastEngineError();

}  // namespace updatertest
