// The test double's SQL statements and typed parameter values.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fake_xbe.h"

namespace {

using fake::E;

void Log(const std::string& call) { E().calls.push_back(call); }

XBERESULT Scripted(const char* name) {
  auto it = E().failures.find(name);
  if (it == E().failures.end()) return 0;
  E().lastCode = it->second;
  E().lastText = "Error " + std::to_string(it->second) + ": " + name + " failed";
  return it->second;
}

XBERESULT Logged(const std::string& call, const char* name) {
  Log(call);
  return Scripted(name);
}

bool IsStatement(XBEHANDLE h) {
  return std::find(E().statements.begin(), E().statements.end(), h) != E().statements.end();
}

XBERESULT Unknown(XBEHANDLE h) {
  E().lastCode = 6001;
  E().lastText = "Error 6001: Invalid handle " + std::to_string(h) + ".";
  return 6001;
}

std::uint16_t Position(XBEFIELD field) { return static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(field)); }

XBERESULT Bind(XBEHANDLE statement, XBEFIELD field, const char* name, const std::string& value) {
  const std::uint16_t n = Position(field);
  if (XBERESULT r = Logged(std::string(name) + "(" + std::to_string(statement) + "," + std::to_string(n) + "," +
                               value + ")",
                           name))
    return r;
  E().bound[n] = std::string(name) + ":" + value;
  return 0;
}

std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

}  // namespace

extern "C" {

XBERESULT XbeGetHandleType(XBEHANDLE handle, uint16_t* type) {
  if (XBERESULT r = Logged("XbeGetHandleType(" + std::to_string(handle) + ")", "XbeGetHandleType")) return r;
  if (!IsStatement(handle)) return Unknown(handle);
  *type = XBE_STATEMENT_HANDLE;
  return 0;
}
XBERESULT XbeGetTableCharType(XBEHANDLE, uint16_t* charType) {
  if (XBERESULT r = Logged("XbeGetTableCharType()", "XbeGetTableCharType")) return r;
  *charType = E().cursorCharType;
  return 0;
}
XBERESULT XbeCreateSQLStatement(XBEHANDLE connection, XBEHANDLE* statement) {
  if (XBERESULT r = Logged("XbeCreateSQLStatement(" + std::to_string(connection) + ")", "XbeCreateSQLStatement"))
    return r;
  *statement = E().nextHandle++;
  E().statements.push_back(*statement);
  return 0;
}
XBERESULT XbePrepareSQL(XBEHANDLE statement, const char* sql) {
  return Logged("XbePrepareSQL(" + std::to_string(statement) + ",'" + sql + "')", "XbePrepareSQL");
}
XBERESULT XbeExecuteSQL(XBEHANDLE statement, XBEHANDLE* cursor) {
  if (XBERESULT r = Logged("XbeExecuteSQL(" + std::to_string(statement) + ")", "XbeExecuteSQL")) return r;
  *cursor = E().executeGivesCursor ? E().nextHandle++ : 0;
  return 0;
}
XBERESULT XbeExecuteSQLDirect(XBEHANDLE statement, const char* sql, XBEHANDLE* cursor) {
  if (XBERESULT r = Logged("XbeExecuteSQLDirect(" + std::to_string(statement) + ",'" + sql + "')",
                           "XbeExecuteSQLDirect"))
    return r;
  if (cursor) *cursor = E().executeGivesCursor ? E().nextHandle++ : 0;
  return 0;
}
XBERESULT XbeCloseSQLStatement(XBEHANDLE statement) {
  if (XBERESULT r = Logged("XbeCloseSQLStatement(" + std::to_string(statement) + ")", "XbeCloseSQLStatement"))
    return r;
  if (!IsStatement(statement)) {
    E().lastCode = 5106;
    E().lastText = "Error 5106: the statement is already closed";
    return 5106;
  }
  E().statements.erase(std::find(E().statements.begin(), E().statements.end(), statement));
  return 0;
}
XBERESULT XbeGetSQLStmtParams(const char* sql) {
  return Logged(std::string("XbeGetSQLStmtParams('") + sql + "')", "XbeGetSQLStmtParams");
}
XBERESULT XbeSqlPeekStatement(XBEHANDLE, uint16_t* live) {
  if (XBERESULT r = Logged("XbeSqlPeekStatement()", "XbeSqlPeekStatement")) return r;
  *live = E().cursorLive;
  return 0;
}
XBERESULT XbeStmtSetTableType(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtSetTableType(" + std::to_string(v) + ")", "XbeStmtSetTableType");
}
XBERESULT XbeStmtSetTableCharType(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtSetTableCharType(" + std::to_string(v) + ")", "XbeStmtSetTableCharType");
}
XBERESULT XbeStmtSetTableLockType(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtSetTableLockType(" + std::to_string(v) + ")", "XbeStmtSetTableLockType");
}
XBERESULT XbeStmtSetTableRights(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtSetTableRights(" + std::to_string(v) + ")", "XbeStmtSetTableRights");
}
XBERESULT XbeStmtSetTableReadOnly(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtSetTableReadOnly(" + std::to_string(v) + ")", "XbeStmtSetTableReadOnly");
}
XBERESULT XbeStmtConstrainUpdates(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtConstrainUpdates(" + std::to_string(v) + ")", "XbeStmtConstrainUpdates");
}
XBERESULT XbeStmtReadAllColumns(XBEHANDLE, uint16_t v) {
  return Logged("XbeStmtReadAllColumns(" + std::to_string(v) + ")", "XbeStmtReadAllColumns");
}
XBERESULT XbeSetString(XBEHANDLE handle, XBEFIELD field, const char* value, uint32_t length) {
  return Bind(handle, field, "XbeSetString", "'" + std::string(value, length) + "'," + std::to_string(length));
}
XBERESULT XbeSetDouble(XBEHANDLE handle, XBEFIELD field, double value) {
  return Bind(handle, field, "XbeSetDouble", Number(value));
}
XBERESULT XbeSetLogical(XBEHANDLE handle, XBEFIELD field, uint16_t value) {
  return Bind(handle, field, "XbeSetLogical", std::to_string(value));
}
XBERESULT XbeSetJulian(XBEHANDLE handle, XBEFIELD field, int32_t julian) {
  return Bind(handle, field, "XbeSetJulian", std::to_string(julian));
}
XBERESULT XbeSetMilliseconds(XBEHANDLE handle, XBEFIELD field, int32_t milliseconds) {
  return Bind(handle, field, "XbeSetMilliseconds", std::to_string(milliseconds));
}
XBERESULT XbeSetTimeStampRaw(XBEHANDLE handle, XBEFIELD field, const void* stamp, uint32_t length) {
  std::int32_t day = 0, ms = 0;
  if (length == 8) {
    std::memcpy(&day, stamp, 4);
    std::memcpy(&ms, static_cast<const char*>(stamp) + 4, 4);
  }
  return Bind(handle, field, "XbeSetTimeStampRaw", std::to_string(day) + "," + std::to_string(ms) + "," +
                                                       std::to_string(length));
}
XBERESULT XbeSetBinary(XBEHANDLE handle, XBEFIELD field, uint16_t binaryType, uint32_t totalLength, uint32_t offset,
                       const void* data, uint32_t length) {
  return Bind(handle, field, "XbeSetBinary",
              std::to_string(binaryType) + "," + std::to_string(totalLength) + "," + std::to_string(offset) + ",'" +
                  std::string(static_cast<const char*>(data), length) + "'," + std::to_string(length));
}

}  // extern "C"
