#include "platform/xbe/sql/char_collation.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/xbe/sql/field_values.h"
#include "platform/xbe/sql/sql_errors.h"

namespace xbe::sql {

namespace {
int CompareAsChar(void*, int lengthA, const void* a, int lengthB, const void* b) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  while (lengthA > 0 && x[lengthA - 1] == ' ') --lengthA;
  while (lengthB > 0 && y[lengthB - 1] == ' ') --lengthB;
  const int common = lengthA < lengthB ? lengthA : lengthB;
  const int c = common > 0 ? std::memcmp(x, y, static_cast<std::size_t>(common)) : 0;
  if (c != 0) return c;
  return lengthA - lengthB;
}
}  // namespace

void RegisterCharCollation(sqlite3* db) {
  if (sqlite3_create_collation_v2(db, kCharCollation, SQLITE_UTF8, nullptr, CompareAsChar, nullptr) != SQLITE_OK)
    FailFrom(db);
}

}  // namespace xbe::sql
