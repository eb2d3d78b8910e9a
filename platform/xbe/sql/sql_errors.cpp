#include "platform/xbe/sql/sql_errors.h"

#include <sqlite3.h>

#include <string>

#include "platform/xbe/errors.h"

namespace xbe::sql {

void FailNative(int nativeCode, std::string_view message) {
  Fail(kSqlError, "NativeError = " + std::to_string(nativeCode) + "; " + std::string(message));
}

void FailFrom(sqlite3* db) { FailNative(sqlite3_errcode(db), sqlite3_errmsg(db)); }

}  // namespace xbe::sql
