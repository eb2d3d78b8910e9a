// Result codes of SQL statements and the text of errors the SQL engine reports.
#pragma once
#include <cstdint>
#include <string_view>

struct sqlite3;

namespace xbe::sql {

constexpr std::uint32_t kStaticCursorWrite = 5064;  // a static cursor is read-only
constexpr std::uint32_t kStatementClosed = 5106;
constexpr std::uint32_t kNoAffectedRows = 5117;
constexpr std::uint32_t kSqlError = 7200;
constexpr std::uint32_t kStatementStale = 7209;  // prepared on a structure that has changed

// Raises 7200 with the native code where callers look for it: "NativeError = <code>;".
[[noreturn]] void FailNative(int nativeCode, std::string_view message);
// The same with the connection's last error code and message.
[[noreturn]] void FailFrom(sqlite3* db);

}  // namespace xbe::sql
