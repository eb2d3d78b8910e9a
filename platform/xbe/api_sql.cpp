// SQL statements on a connection, run in the embedded SQL engine (sql/).
#include <cstring>

#include "platform/xbe/api_support.h"
#include "platform/xbe/sql/sql_errors.h"
#include "platform/xbe/sql/sql_value.h"
#include "platform/xbe/sql/statement.h"
#include "platform/xbe/sql/statement_calls.h"

using namespace xbe;
using namespace xbe::sql;

namespace {

// A parameter is addressed by its position, given where a field name would be.
std::uint32_t PositionOf(XBEFIELD field) {
  const auto value = reinterpret_cast<std::uintptr_t>(field);
  if (value == 0 || value >= 0x10000)
    Fail(kInvalidArgument, "SQL parameters are addressed by their position (1 for the first marker).");
  return static_cast<std::uint32_t>(value);
}

XBERESULT SetOption(XBEHANDLE statement, std::uint16_t value, std::uint16_t low, std::uint16_t high, const char* what,
                    std::uint16_t StatementOptions::*option) {
  return Guarded([&] {
    StatementObject& s = StatementOf(statement);
    if (value < low || value > high)
      Fail(kInvalidArgument, "The " + std::string(what) + " " + std::to_string(value) + " is not valid for an SQL statement.");
    s.Options().*option = value;
  });
}

XBERESULT SetValue(XBEHANDLE statement, XBEFIELD field, SqlValue value) {
  return Guarded([&] { StatementOf(statement).SetParameter(PositionOf(field), std::move(value)); });
}

XBERESULT Run(XBEHANDLE statement, const char* sql, XBEHANDLE* cursor) {
  return Guarded([&] {
    StatementObject& s = StatementOf(statement);
    if (sql != nullptr) s.Prepare(sql);
    const std::uint32_t result = s.Execute(cursor != nullptr);
    if (cursor != nullptr) *cursor = result;
  });
}

}  // namespace

namespace xbe {
// Statement handles take part in these calls of other groups.
bool SetStatementParameterEmpty(XBEHANDLE handle, XBEFIELD field) {
  StatementObject* s = FindStatement(handle);
  if (s == nullptr) {
    if (Handles().WasClosedStatement(handle)) StatementOf(handle);
    return false;
  }
  s->SetParameter(PositionOf(field), SqlValue::Null());
  return true;
}

bool StatementAffectedRows(XBEHANDLE handle, std::uint16_t mode, std::uint32_t* count) {
  StatementObject* s = FindStatement(handle);
  if (s == nullptr) {
    if (Handles().WasClosedStatement(handle)) StatementOf(handle);
    return false;
  }
  if (mode != 2) Fail(kInvalidArgument, "A statement counts only the rows it affected (option 2).");
  if (!s->AffectedRows()) Fail(kNoAffectedRows, "The SQL statement has affected no rows that it could count.");
  *count = *s->AffectedRows();
  return true;
}

bool StatementLastAutoInc(XBEHANDLE handle, std::uint32_t* value) {
  StatementObject* s = FindStatement(handle);
  if (s == nullptr) {
    if (Handles().WasClosedStatement(handle)) StatementOf(handle);
    return false;
  }
  *value = s->LastAutoInc();
  return true;
}
}  // namespace xbe

extern "C" {

XBERESULT XbeCreateSQLStatement(XBEHANDLE connection, XBEHANDLE* statement) {
  return Guarded([&] {
    Require(statement, "statement handle");
    auto& c = Handles().Get<ConnectionObject>(connection, HandleKind::kConnection);
    *statement = Handles().Add(std::make_unique<StatementObject>(connection, c.path));
  });
}

XBERESULT XbePrepareSQL(XBEHANDLE statement, const char* sql) {
  return Guarded([&] {
    StatementObject& s = StatementOf(statement);
    Require(sql, "SQL text");
    s.Prepare(sql);
  });
}

XBERESULT XbeExecuteSQL(XBEHANDLE statement, XBEHANDLE* cursor) { return Run(statement, nullptr, cursor); }

XBERESULT XbeExecuteSQLDirect(XBEHANDLE statement, const char* sql, XBEHANDLE* cursor) {
  if (sql == nullptr) return Guarded([] { Fail(kInvalidArgument, "No SQL text was given."); });
  return Run(statement, sql, cursor);
}

XBERESULT XbeCloseSQLStatement(XBEHANDLE statement) {
  return Guarded([&] {
    StatementOf(statement);
    Handles().Remove(statement);
    Handles().MarkClosedStatement(statement);
  });
}

XBERESULT XbeGetSQLStmtParams(const char* sql) {
  return Guarded([&] {
    Require(sql, "SQL text");
    CheckSqlText(sql);
  });
}

XBERESULT XbeSqlPeekStatement(XBEHANDLE cursor, uint16_t* live) {
  return Guarded([&] {
    Require(live, "flag");
    TableObject& t = Handles().Get<TableObject>(cursor, HandleKind::kTable);
    // A table opened by name is the live table itself.
    *live = t.sqlResult == nullptr || t.sqlResult->Live() ? 1 : 0;
  });
}

XBERESULT XbeStmtSetTableType(XBEHANDLE statement, uint16_t tableType) {
  return SetOption(statement, tableType, 1, 3, "table type", &StatementOptions::tableType);
}
XBERESULT XbeStmtSetTableCharType(XBEHANDLE statement, uint16_t charType) {
  return SetOption(statement, charType, 1, 2, "character type", &StatementOptions::charType);
}
XBERESULT XbeStmtSetTableLockType(XBEHANDLE statement, uint16_t lockType) {
  return SetOption(statement, lockType, 0, 1, "lock type", &StatementOptions::lockType);
}
XBERESULT XbeStmtSetTableRights(XBEHANDLE statement, uint16_t rightsChecking) {
  return SetOption(statement, rightsChecking, 1, 2, "rights checking", &StatementOptions::rights);
}
XBERESULT XbeStmtSetTableReadOnly(XBEHANDLE statement, uint16_t readOnly) {
  return SetOption(statement, readOnly, 1, 2, "read-only option", &StatementOptions::readOnly);
}
XBERESULT XbeStmtConstrainUpdates(XBEHANDLE statement, uint16_t constrain) {
  return SetOption(statement, constrain, 1, 2, "constraint option", &StatementOptions::constrain);
}
XBERESULT XbeStmtReadAllColumns(XBEHANDLE statement, uint16_t readAll) {
  return SetOption(statement, readAll, 1, 2, "column option", &StatementOptions::readAllColumns);
}

XBERESULT XbeSetString(XBEHANDLE handle, XBEFIELD field, const char* value, uint32_t length) {
  if (value == nullptr && length != 0) return Guarded([] { Fail(kInvalidArgument, "No text was given."); });
  // Texts end at their first zero byte, as field texts do.
  const std::size_t n = value == nullptr ? 0 : strnlen(value, length);
  return SetValue(handle, field, SqlValue::Text(std::string(value == nullptr ? "" : value, n)));
}

XBERESULT XbeSetDouble(XBEHANDLE handle, XBEFIELD field, double value) {
  return SetValue(handle, field, SqlValue::Real(value));
}

XBERESULT XbeSetLogical(XBEHANDLE handle, XBEFIELD field, uint16_t value) {
  return SetValue(handle, field, SqlValue::Integer(value != 0 ? 1 : 0));
}

XBERESULT XbeSetJulian(XBEHANDLE handle, XBEFIELD field, int32_t julian) {
  return SetValue(handle, field, julian <= 0 ? SqlValue::Null() : SqlValue::Text(DateText(julian)));
}

XBERESULT XbeSetMilliseconds(XBEHANDLE handle, XBEFIELD field, int32_t milliseconds) {
  if (milliseconds < 0 || milliseconds >= 86400000)
    return Guarded([&] { Fail(kInvalidArgument, std::to_string(milliseconds) + " milliseconds are not a time of day."); });
  return SetValue(handle, field, SqlValue::Text(TimeText(static_cast<std::uint32_t>(milliseconds))));
}

XBERESULT XbeSetTimeStampRaw(XBEHANDLE handle, XBEFIELD field, const void* stamp, uint32_t length) {
  return Guarded([&] {
    Require(stamp, "time stamp");
    if (length != 8) Fail(kInvalidArgument, "A time stamp takes 8 bytes.");
    std::int32_t day;
    std::uint32_t ms;
    std::memcpy(&day, stamp, 4);
    std::memcpy(&ms, static_cast<const char*>(stamp) + 4, 4);
    if (ms >= 86400000) Fail(kInvalidArgument, std::to_string(ms) + " milliseconds are not a time of day.");
    StatementOf(handle).SetParameter(PositionOf(field), day <= 0 ? SqlValue::Null() : SqlValue::Text(TimestampText(day, ms)));
  });
}

XBERESULT XbeSetBinary(XBEHANDLE handle, XBEFIELD field, uint16_t binaryType, uint32_t totalLength, uint32_t offset,
                       const void* data, uint32_t length) {
  return Guarded([&] {
    if (data == nullptr && length != 0) Fail(kInvalidArgument, "No binary contents were given.");
    if (binaryType != XBE_BINARY && binaryType != 7)
      Fail(kInvalidArgument, "The binary type " + std::to_string(binaryType) + " is not valid.");
    StatementOf(handle).SetBinaryPiece(PositionOf(field), totalLength, offset,
                                       std::string_view(static_cast<const char*>(data), data ? length : 0));
  });
}

}  // extern "C"
