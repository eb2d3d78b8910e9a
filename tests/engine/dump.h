// Reads the reference dumps (expected/*.txt) of the xBase fixtures.
#pragma once
#include <string>
#include <vector>

namespace enginetest {

struct DumpField {
  std::string name;
  char type = 'C';
  int length = 0;
  int decimals = 0;
};

struct DumpRecord {
  int recno = 0;
  bool deleted = false;
  std::vector<std::string> values;  // raw, code page 850 for character fields
};

struct Dump {
  std::vector<DumpField> fields;
  std::vector<DumpRecord> records;
};

Dump ReadDump(const std::string& path);

// A memo value of a dump with its escapes undone: "\\" a backslash, "\p" a bar, "\n" CR LF.
std::string MemoText(const std::string& value);

}  // namespace enginetest
