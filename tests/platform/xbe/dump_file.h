// The text dumps beside the reference tables (expected/*.txt): fields, record count and every
// record's values.
#pragma once
#include <string>
#include <vector>

namespace xbetest {

struct DumpField {
  std::string name;
  char type = 'C';
  unsigned length = 0;
  unsigned decimals = 0;
};

struct DumpRecord {
  unsigned recno = 0;
  bool deleted = false;
  std::vector<std::string> values;  // memo escapes resolved
};

struct Dump {
  std::vector<DumpField> fields;
  unsigned recordCount = 0;
  std::vector<DumpRecord> records;
};

Dump ReadDump(const std::string& path);

}  // namespace xbetest
