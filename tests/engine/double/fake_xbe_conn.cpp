// The test double's connections, catalogue, SQL statements and data dictionary: scripted
// answers from fake::Engine, every call logged as in fake_xbe.cpp.
#include <cstring>
#include <sstream>

#include "fake_xbe.h"

using fake::E;
using fake::Log;

namespace {

XBERESULT Answer(XBERESULT code, const std::string& text) {
  E().lastCode = code;
  E().lastText = "Error " + std::to_string(code) + ": " + text;
  return code;
}

XBERESULT Scripted(const char* name) {
  auto it = E().failures.find(name);
  return it == E().failures.end() ? 0 : Answer(it->second, std::string(name) + " failed");
}

// Copies a text as the engine does: 5005 with the capacity needed when it does not fit.
XBERESULT PutText(const std::string& s, char* buffer, std::uint16_t* length) {
  if (buffer == nullptr || *length < s.size() + 1) {
    *length = static_cast<std::uint16_t>(s.size() + 1);
    return Answer(5005, "buffer too small");
  }
  std::memcpy(buffer, s.c_str(), s.size() + 1);
  *length = static_cast<std::uint16_t>(s.size());
  return 0;
}

std::uintptr_t Ordinal(XBEFIELD f) { return reinterpret_cast<std::uintptr_t>(f); }

// Searches hold the index of the next name; handles 500 and up.
std::map<XBEHANDLE, std::size_t>& Searches() {
  static std::map<XBEHANDLE, std::size_t> searches;
  return searches;
}

}  // namespace

#define FAKE(name, ...)                  \
  Log(#name __VA_OPT__(, ) __VA_ARGS__); \
  if (XBERESULT r = Scripted(#name)) return r

extern "C" {

XBERESULT XbeConnect60(const char* path, uint16_t types, const char* user, const char* password, uint32_t options,
                       XBEHANDLE* connection) {
  FAKE(XbeConnect60, path, types, user, password, options);
  if (!E().password.empty() && E().password != password) return Answer(7078, "wrong password");
  *connection = E().nextHandle++;
  return 0;
}
XBERESULT XbeGetConnectionType(XBEHANDLE, uint16_t* type) {
  FAKE(XbeGetConnectionType);
  *type = E().connectionType;
  return 0;
}
XBERESULT XbeGetServerName(XBEHANDLE, char* name, uint16_t* length) {
  FAKE(XbeGetServerName, *length);
  return PutText(E().serverName, name, length);
}
XBERESULT XbeBeginTransaction(XBEHANDLE c) { FAKE(XbeBeginTransaction, c); return 0; }
XBERESULT XbeCommitTransaction(XBEHANDLE c) { FAKE(XbeCommitTransaction, c); return 0; }
XBERESULT XbeRollbackTransaction(XBEHANDLE c) { FAKE(XbeRollbackTransaction, c); return 0; }

static XBERESULT NextTable(XBEHANDLE search, char* name, uint16_t* length, char* file, uint16_t* fileLength) {
  std::size_t& next = Searches()[search];
  if (next >= E().tableNames.size()) return Answer(5059, "no more tables");
  if (XBERESULT r = PutText(E().tableNames[next], name, length)) return r;
  if (file && next < E().tableFiles.size())
    if (XBERESULT r = PutText(E().tableFiles[next], file, fileLength)) return r;
  ++next;
  return 0;
}
static XBEHANDLE NewSearch() {
  const XBEHANDLE h = 500 + static_cast<XBEHANDLE>(Searches().size());
  Searches()[h] = 0;
  return h;
}
XBERESULT XbeFindFirstTable(XBEHANDLE, const char* pattern, char* name, uint16_t* length, XBEHANDLE* search) {
  FAKE(XbeFindFirstTable, pattern, *length);
  const XBEHANDLE h = NewSearch();
  if (XBERESULT r = NextTable(h, name, length, nullptr, nullptr)) return r;
  *search = h;
  return 0;
}
XBERESULT XbeFindNextTable(XBEHANDLE, XBEHANDLE search, char* name, uint16_t* length) {
  FAKE(XbeFindNextTable, search, *length);
  return NextTable(search, name, length, nullptr, nullptr);
}
XBERESULT XbeFindFirstTable62(XBEHANDLE, const char* pattern, char* name, uint16_t* length, char* file,
                              uint16_t* fileLength, XBEHANDLE* search) {
  FAKE(XbeFindFirstTable62, pattern, *length, *fileLength);
  const XBEHANDLE h = NewSearch();
  if (XBERESULT r = NextTable(h, name, length, file, fileLength)) return r;
  *search = h;
  return 0;
}
XBERESULT XbeFindNextTable62(XBEHANDLE, XBEHANDLE search, char* name, uint16_t* length, char* file,
                             uint16_t* fileLength) {
  FAKE(XbeFindNextTable62, search, *length, *fileLength);
  return NextTable(search, name, length, file, fileLength);
}
XBERESULT XbeFindClose(XBEHANDLE, XBEHANDLE search) { FAKE(XbeFindClose, search); return 0; }

XBERESULT XbeGetNumActiveLinks(XBEHANDLE c, uint16_t* count) {
  FAKE(XbeGetNumActiveLinks, c);
  *count = E().activeLinks;
  return 0;
}
XBERESULT XbeGetActiveLinkInfo(XBEHANDLE, uint16_t link, char* info, uint16_t* length) {
  FAKE(XbeGetActiveLinkInfo, link, *length);
  return PutText(E().activeLinkInfo, info, length);
}
XBERESULT XbeGetServerTime(XBEHANDLE, char* date, uint16_t* dateLength, uint32_t* ms, char* time,
                           uint16_t* timeLength) {
  FAKE(XbeGetServerTime, *dateLength, *timeLength);
  *ms = E().serverMilliseconds;
  PutText("12:00:00", time, timeLength);
  return PutText(E().serverDate, date, dateLength);
}
XBERESULT XbeConvertDateToJulian(XBEHANDLE, const char* date, uint16_t length, double* julian) {
  FAKE(XbeConvertDateToJulian, std::string(date, length).c_str());
  *julian = 2460385;  // 15/03/2024
  return 0;
}
XBERESULT XbeCloseCachedTables(XBEHANDLE c) { FAKE(XbeCloseCachedTables, c); return 0; }
XBERESULT XbeGetTableCharType(XBEHANDLE, uint16_t* type) {
  FAKE(XbeGetTableCharType);
  *type = E().tableCharType;
  return 0;
}

// ---- SQL ------------------------------------------------------------------------------

XBERESULT XbeCreateSQLStatement(XBEHANDLE c, XBEHANDLE* statement) {
  FAKE(XbeCreateSQLStatement, c);
  *statement = E().nextHandle++;
  E().statements[*statement] = "";
  return 0;
}
XBERESULT XbePrepareSQL(XBEHANDLE s, const char* sql) {
  FAKE(XbePrepareSQL, s, sql);
  E().statements[s] = sql;
  return 0;
}
XBERESULT XbeExecuteSQL(XBEHANDLE s, XBEHANDLE* cursor) {
  FAKE(XbeExecuteSQL, s, cursor != nullptr);
  if (cursor) *cursor = E().nextHandle++;
  return 0;
}
XBERESULT XbeExecuteSQLDirect(XBEHANDLE s, const char* sql, XBEHANDLE* cursor) {
  FAKE(XbeExecuteSQLDirect, s, sql, cursor != nullptr);
  if (cursor) *cursor = E().nextHandle++;
  return 0;
}
XBERESULT XbeCloseSQLStatement(XBEHANDLE s) {
  FAKE(XbeCloseSQLStatement, s);
  if (E().statements.erase(s) == 0) return Answer(5106, "statement closed");
  return 0;
}
XBERESULT XbeGetSQLStmtParams(const char* sql) { FAKE(XbeGetSQLStmtParams, sql); return 0; }
XBERESULT XbeSqlPeekStatement(XBEHANDLE, uint16_t* live) { FAKE(XbeSqlPeekStatement); *live = 0; return 0; }
XBERESULT XbeStmtSetTableType(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtSetTableType, s, v); return 0; }
XBERESULT XbeStmtSetTableCharType(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtSetTableCharType, s, v); return 0; }
XBERESULT XbeStmtSetTableLockType(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtSetTableLockType, s, v); return 0; }
XBERESULT XbeStmtSetTableRights(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtSetTableRights, s, v); return 0; }
XBERESULT XbeStmtSetTableReadOnly(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtSetTableReadOnly, s, v); return 0; }
XBERESULT XbeStmtConstrainUpdates(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtConstrainUpdates, s, v); return 0; }
XBERESULT XbeStmtReadAllColumns(XBEHANDLE s, uint16_t v) { FAKE(XbeStmtReadAllColumns, s, v); return 0; }
XBERESULT XbeSetString(XBEHANDLE, XBEFIELD f, const char* value, uint32_t length) {
  FAKE(XbeSetString, Ordinal(f), std::string(value, length).c_str(), length);
  return 0;
}
XBERESULT XbeSetDouble(XBEHANDLE, XBEFIELD f, double value) { FAKE(XbeSetDouble, Ordinal(f), value); return 0; }
XBERESULT XbeSetLogical(XBEHANDLE, XBEFIELD f, uint16_t value) { FAKE(XbeSetLogical, Ordinal(f), value); return 0; }
XBERESULT XbeSetJulian(XBEHANDLE, XBEFIELD f, int32_t value) { FAKE(XbeSetJulian, Ordinal(f), value); return 0; }
XBERESULT XbeSetMilliseconds(XBEHANDLE, XBEFIELD f, int32_t value) {
  FAKE(XbeSetMilliseconds, Ordinal(f), value);
  return 0;
}
XBERESULT XbeSetTimeStampRaw(XBEHANDLE, XBEFIELD f, const void* stamp, uint32_t length) {
  std::int32_t day = 0, ms = 0;
  std::memcpy(&day, stamp, 4);
  std::memcpy(&ms, static_cast<const char*>(stamp) + 4, 4);
  FAKE(XbeSetTimeStampRaw, Ordinal(f), day, ms, length);
  return 0;
}
XBERESULT XbeSetBinary(XBEHANDLE, XBEFIELD f, uint16_t type, uint32_t total, uint32_t offset, const void* data,
                       uint32_t length) {
  std::string bytes(static_cast<const char*>(data), length);
  for (char& c : bytes)
    if (c == '\0') c = '.';
  FAKE(XbeSetBinary, Ordinal(f), type, total, offset, bytes.c_str(), length);
  return 0;
}

// ---- data dictionary ----------------------------------------------------------------------

XBERESULT XbeDDFindFirstObject(XBEHANDLE, uint16_t type, const char* parent, char* name, uint16_t* length,
                               XBEHANDLE* find) {
  FAKE(XbeDDFindFirstObject, type, parent, *length);
  if (E().dictionaryObjects.empty()) return Answer(5137, "no objects");
  const XBEHANDLE h = NewSearch();
  Searches()[h] = 1;
  *find = h;
  return PutText(E().dictionaryObjects[0], name, length);
}
XBERESULT XbeDDFindNextObject(XBEHANDLE, XBEHANDLE find, char* name, uint16_t* length) {
  FAKE(XbeDDFindNextObject, find, *length);
  std::size_t& next = Searches()[find];
  if (next >= E().dictionaryObjects.size()) return Answer(5137, "no more objects");
  return PutText(E().dictionaryObjects[next++], name, length);
}
XBERESULT XbeDDFindClose(XBEHANDLE, XBEHANDLE find) { FAKE(XbeDDFindClose, find); return 0; }
XBERESULT XbeDDGetTableProperty(XBEHANDLE c, const char* table, uint16_t property, void* buffer, uint16_t* length) {
  FAKE(XbeDDGetTableProperty, table, property, *length);
  if (c == 0) return Answer(6001, "invalid handle");
  auto it = E().defaultIndexes.find(table);
  if (it == E().defaultIndexes.end()) return Answer(5138, "no value");
  return PutText(it->second, static_cast<char*>(buffer), length);
}
XBERESULT XbeDDGetUserProperty(XBEHANDLE, const char* user, uint16_t property, void* buffer, uint16_t* length) {
  FAKE(XbeDDGetUserProperty, user, property, *length);
  if (E().userGroups.empty()) {
    *length = 0;
    return Answer(5138, "no value");
  }
  return PutText(E().userGroups, static_cast<char*>(buffer), length);
}

}  // extern "C"
