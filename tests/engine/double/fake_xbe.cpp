#include "fake_xbe.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace fake {

Engine& E() {
  static Engine engine;
  return engine;
}

void Reset() { E() = Engine(); }

std::vector<std::string> CallsOf(const std::string& function) {
  std::vector<std::string> out;
  for (const auto& c : E().calls)
    if (c.compare(0, function.size() + 1, function + "(") == 0) out.push_back(c);
  return out;
}

std::vector<std::string> CallsAmong(const std::vector<std::string>& functions) {
  std::vector<std::string> out;
  for (const auto& c : E().calls)
    for (const auto& f : functions)
      if (c.compare(0, f.size() + 1, f + "(") == 0) out.push_back(c);
  return out;
}

namespace {

// The scripted failure of a function, recorded as the last error; 0 when none.
XBERESULT Scripted(const char* name) {
  auto it = E().failures.find(name);
  if (it == E().failures.end()) return 0;
  E().lastCode = it->second;
  E().lastText = "Error " + std::to_string(it->second) + ": " + name + " failed";
  return it->second;
}

XBERESULT CheckHandle(XBEHANDLE h) {
  if (h != 0 && h != 0xFFFFFFFFu) return 0;
  E().lastCode = 6001;
  E().lastText = "Error 6001: Invalid handle " + std::to_string(h) + ".";
  return 6001;
}

std::uint32_t OffsetOf(std::uint16_t ordinal) {
  std::uint32_t offset = 1;
  for (std::uint16_t i = 1; i < ordinal; ++i) offset += E().fields[i - 1].length;
  return offset;
}

const Field* FieldOf(XBEFIELD f) {
  const auto n = reinterpret_cast<std::uintptr_t>(f);
  if (n == 0 || n > E().fields.size()) return nullptr;
  return &E().fields[n - 1];
}

void PutText(const std::string& s, char* buffer, std::uint16_t* length) {
  if (buffer && length && *length > 0) {
    const std::size_t n = std::min<std::size_t>(s.size(), *length - 1u);
    std::memcpy(buffer, s.data(), n);
    buffer[n] = 0;
    *length = static_cast<std::uint16_t>(n);
  }
}

}  // namespace
}  // namespace fake

using fake::E;
using fake::Log;
using fake::Scripted;

#define FAKE(name, ...)                      \
  Log(#name __VA_OPT__(, ) __VA_ARGS__);     \
  if (XBERESULT r = Scripted(#name)) return r

extern "C" {

XBERESULT XbeGetLastError(uint32_t* code, char* text, uint16_t* length) {
  Log("XbeGetLastError");
  *code = E().lastCode;
  fake::PutText(E().lastText, text, length);
  return 0;
}
XBERESULT XbeGetErrorString(uint32_t code, char* text, uint16_t* length) {
  FAKE(XbeGetErrorString, code);
  fake::PutText("Error " + std::to_string(code) + ": text", text, length);
  return 0;
}
XBERESULT XbeShowError(const char* title) { FAKE(XbeShowError, title); return 0; }
XBERESULT XbeSetLastError(uint32_t code, const char* text) {
  Log("XbeSetLastError", code, text);
  E().lastCode = code;
  E().lastText = text ? text : "";
  return code;
}
XBERESULT XbeGetVersion(uint32_t* major, uint32_t* minor, char* letter, char*, uint16_t*) {
  FAKE(XbeGetVersion);
  *major = E().major;
  *minor = E().minor;
  *letter = E().letter;
  return 0;
}
XBERESULT XbeSetDateFormat(const char* format) { FAKE(XbeSetDateFormat, format); return 0; }
XBERESULT XbeSetDecimals(int16_t decimals) { FAKE(XbeSetDecimals, decimals); E().decimals = decimals; return 0; }
XBERESULT XbeGetDecimals(uint16_t* decimals) { FAKE(XbeGetDecimals); *decimals = E().decimals; return 0; }
XBERESULT XbeShowDeleted(uint16_t show) { FAKE(XbeShowDeleted, show); E().deleted = show; return 0; }
XBERESULT XbeGetDeleted(uint16_t* shown) { FAKE(XbeGetDeleted); *shown = E().deleted; return 0; }
XBERESULT XbeSetServerType(uint16_t mask) { FAKE(XbeSetServerType, mask); return 0; }
XBERESULT XbeCacheOpenTables(uint16_t count) { FAKE(XbeCacheOpenTables, count); return 0; }
XBERESULT XbeCacheOpenCursors(uint16_t count) { FAKE(XbeCacheOpenCursors, count); return 0; }
XBERESULT XbeGetNumOpenTables(uint16_t* count) { FAKE(XbeGetNumOpenTables); *count = 0; return 0; }
XBERESULT XbeConnect(const char* path, XBEHANDLE* connection) {
  FAKE(XbeConnect, path);
  *connection = E().nextHandle++;
  return 0;
}
XBERESULT XbeDisconnect(XBEHANDLE connection) { FAKE(XbeDisconnect, connection); return 0; }
XBERESULT XbeOpenTable(XBEHANDLE connection, const char* name, const char* alias, uint16_t tableType,
                       uint16_t charType, uint16_t lockType, uint16_t rights, uint32_t options, XBEHANDLE* table) {
  FAKE(XbeOpenTable, connection, name, alias, tableType, charType, lockType, rights, options);
  *table = E().nextHandle++;
  return 0;
}
XBERESULT XbeCloseTable(XBEHANDLE table) {
  E().orders.clear();
  FAKE(XbeCloseTable, table);
  return 0;
}
XBERESULT XbeGetTableType(XBEHANDLE, uint16_t* type) { FAKE(XbeGetTableType); *type = E().tableType; return 0; }
XBERESULT XbeIsTableEncrypted(XBEHANDLE, uint16_t* v) { FAKE(XbeIsTableEncrypted); *v = 1; return 0; }
XBERESULT XbeIsEncryptionEnabled(XBEHANDLE, uint16_t* v) { FAKE(XbeIsEncryptionEnabled); *v = 0; return 0; }
XBERESULT XbeEnableEncryption(XBEHANDLE, const char* password) { FAKE(XbeEnableEncryption, password); return 0; }
XBERESULT XbeGetRecordLength(XBEHANDLE, uint32_t* length) {
  FAKE(XbeGetRecordLength);
  *length = fake::OffsetOf(static_cast<std::uint16_t>(E().fields.size() + 1));
  return 0;
}
XBERESULT XbeGetTableOpenOptions(XBEHANDLE, uint32_t* options) {
  FAKE(XbeGetTableOpenOptions);
  *options = E().openOptionsReported;
  return 0;
}
XBERESULT XbeGetNumFields(XBEHANDLE, uint16_t* count) {
  FAKE(XbeGetNumFields);
  *count = static_cast<uint16_t>(E().fields.size());
  return 0;
}
XBERESULT XbeCacheRecords(XBEHANDLE, uint16_t records) { FAKE(XbeCacheRecords, records); return 0; }
XBERESULT XbeGetLastAutoinc(XBEHANDLE, uint32_t* value) { FAKE(XbeGetLastAutoinc); *value = 0; return 0; }
XBERESULT XbeRestructureTable(XBEHANDLE connection, const char* name, const char* alias, uint16_t tableType,
                              uint16_t charType, uint16_t lockType, uint16_t rights, const char* add,
                              const char* del, const char* change) {
  FAKE(XbeRestructureTable, connection, name, alias, tableType, charType, lockType, rights, add, del, change);
  return 0;
}
XBERESULT XbeGetFieldType(XBEHANDLE, XBEFIELD f, uint16_t* type) {
  FAKE(XbeGetFieldType);
  *type = fake::FieldOf(f)->type;
  return 0;
}
XBERESULT XbeGetFieldLength(XBEHANDLE, XBEFIELD f, uint32_t* length) {
  FAKE(XbeGetFieldLength);
  *length = fake::FieldOf(f)->length;
  return 0;
}
XBERESULT XbeGetFieldDecimals(XBEHANDLE, XBEFIELD f, uint16_t* decimals) {
  FAKE(XbeGetFieldDecimals);
  *decimals = fake::FieldOf(f)->decimals;
  return 0;
}
XBERESULT XbeGetFieldName(XBEHANDLE, uint16_t ordinal, char* name, uint16_t* length) {
  FAKE(XbeGetFieldName, ordinal);
  fake::PutText(E().fields[ordinal - 1].name, name, length);
  return 0;
}
XBERESULT XbeGetFieldOffset(XBEHANDLE, XBEFIELD f, uint32_t* offset) {
  FAKE(XbeGetFieldOffset);
  *offset = fake::OffsetOf(static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(f)));
  return 0;
}
XBERESULT XbeGetColumnPermissions(XBEHANDLE, uint16_t, uint8_t* permissions) {
  FAKE(XbeGetColumnPermissions);
  *permissions = E().columnPermissions;
  return 0;
}
XBERESULT XbeGetRecord(XBEHANDLE, void*, uint32_t) { FAKE(XbeGetRecord); return 0; }
XBERESULT XbeGetField(XBEHANDLE, XBEFIELD, void*, uint32_t*, uint16_t) { FAKE(XbeGetField); return 0; }
XBERESULT XbeIsEmpty(XBEHANDLE, XBEFIELD, uint16_t* empty) { FAKE(XbeIsEmpty); *empty = 1; return 0; }
XBERESULT XbeGetNullRecord(XBEHANDLE, void* buffer, uint32_t length) {
  FAKE(XbeGetNullRecord, length);
  std::memset(buffer, ' ', length);
  return 0;
}
XBERESULT XbeConvertStringToJulian(const char* text, uint16_t length, double* julian) {
  FAKE(XbeConvertStringToJulian, length);
  // CCYYMMDD to the julian day number (proleptic Gregorian calendar).
  const std::string t(text, length);
  const int y = std::stoi(t.substr(0, 4)), m = std::stoi(t.substr(4, 2)), d = std::stoi(t.substr(6, 2));
  const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
  *julian = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
  return 0;
}
// Like the real engine, navigation refuses a handle that no open table or order has.
#define FAKE_HANDLE(h)                                  \
  if (XBERESULT r = fake::CheckHandle(h)) return r

XBERESULT XbeGotoTop(XBEHANDLE h) { FAKE(XbeGotoTop); FAKE_HANDLE(h); return 0; }
XBERESULT XbeGotoBottom(XBEHANDLE h) { FAKE(XbeGotoBottom); FAKE_HANDLE(h); return 0; }
XBERESULT XbeGotoBOF(XBEHANDLE h) { FAKE(XbeGotoBOF); FAKE_HANDLE(h); return 0; }
XBERESULT XbeSkip(XBEHANDLE h, int32_t count) { FAKE(XbeSkip, count); FAKE_HANDLE(h); return 0; }
XBERESULT XbeAtEOF(XBEHANDLE, uint16_t* v) { FAKE(XbeAtEOF); *v = 1; return 0; }
XBERESULT XbeAtBOF(XBEHANDLE, uint16_t* v) { FAKE(XbeAtBOF); *v = 1; return 0; }
XBERESULT XbeIsRecordVisible(XBEHANDLE h, uint16_t* v) {
  FAKE(XbeIsRecordVisible);
  FAKE_HANDLE(h);
  *v = 1;
  return 0;
}
XBERESULT XbeGotoRecord(XBEHANDLE, uint32_t n) { FAKE(XbeGotoRecord, n); return 0; }
XBERESULT XbeGetRecordNum(XBEHANDLE, uint16_t, uint32_t* n) { FAKE(XbeGetRecordNum); *n = 0; return 0; }
XBERESULT XbeGetKeyNum(XBEHANDLE, uint16_t, uint32_t* n) { FAKE(XbeGetKeyNum); *n = 0; return 0; }
XBERESULT XbeGetRecordCount(XBEHANDLE h, uint16_t mode, uint32_t* n) {
  FAKE(XbeGetRecordCount, h, mode);
  *n = E().recordCount;
  return 0;
}
XBERESULT XbeGetRelKeyPos(XBEHANDLE h, double* p) {
  FAKE(XbeGetRelKeyPos);
  FAKE_HANDLE(h);
  *p = 0;
  return 0;
}
XBERESULT XbeSetRelKeyPos(XBEHANDLE h, double p) { FAKE(XbeSetRelKeyPos, p); FAKE_HANDLE(h); return 0; }
XBERESULT XbeGetBookmarkLength(XBEHANDLE, uint32_t* length) { FAKE(XbeGetBookmarkLength); *length = 4; return 0; }
XBERESULT XbeGetBookmark60(XBEHANDLE, void* b, uint32_t* length) {
  FAKE(XbeGetBookmark60);
  std::memset(b, 0, *length);
  return 0;
}
XBERESULT XbeGotoBookmark(XBEHANDLE, uint32_t b) { FAKE(XbeGotoBookmark, b); return 0; }
XBERESULT XbeCompareBookmarks(const void*, const void*, int16_t* r) { FAKE(XbeCompareBookmarks); *r = 0; return 0; }
XBERESULT XbeIsRecordDeleted(XBEHANDLE, uint16_t* d) { FAKE(XbeIsRecordDeleted); *d = 0; return 0; }
XBERESULT XbeGetNumIndexes(XBEHANDLE, uint16_t* count) {
  FAKE(XbeGetNumIndexes);
  *count = static_cast<uint16_t>(E().orders.size());
  return 0;
}
XBERESULT XbeGetAllIndexes(XBEHANDLE, XBEHANDLE* orders, uint16_t* count) {
  Log("XbeGetAllIndexes", *count);
  if (*count > 0 && E().allIndexesCount > 0) orders[0] = 900;
  // Too small an array (but not an empty request) answers 5005 with the first handle delivered.
  if (*count > 0 && *count < E().allIndexesCount) {
    E().lastCode = 5005;
    E().lastText = "more orders than the array holds";
    return 5005;
  }
  if (E().allIndexesCount > 0) {
    *count = std::min(*count, E().allIndexesCount);
    return 0;
  }
  const uint16_t n = std::min<uint16_t>(*count, static_cast<uint16_t>(E().orders.size()));
  for (uint16_t i = 0; i < n; ++i) orders[i] = E().orders[i].handle;
  *count = n;
  return 0;
}

namespace {
fake::Order* OrderOf(XBEHANDLE h) {
  for (auto& o : E().orders)
    if (o.handle == h) return &o;
  return nullptr;
}
XBERESULT Fail(uint32_t code) {
  E().lastCode = code;
  E().lastText = "Error " + std::to_string(code) + ": index failure";
  return code;
}
std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

XBERESULT XbeOpenIndex(XBEHANDLE, const char* path, XBEHANDLE* orders, uint16_t* count) {
  FAKE(XbeOpenIndex, path);
  std::string p = path;
  const std::size_t cut = p.find_last_of("\\/");
  const std::string base = Upper(cut == std::string::npos ? p : p.substr(cut + 1));
  auto it = E().indexFiles.find(base);
  if (it == E().indexFiles.end() || base == E().failIndexFile) return Fail(6002);
  uint16_t n = 0;
  for (fake::Order o : it->second) {
    o.file = base;
    o.handle = E().nextHandle++;
    if (n < *count) orders[n++] = o.handle;
    E().orders.push_back(o);
  }
  *count = n;
  return 0;
}
XBERESULT XbeCloseIndex(XBEHANDLE order) {
  FAKE(XbeCloseIndex, order);
  fake::Order* o = OrderOf(order);
  if (!o) return Fail(6001);
  const std::string file = o->file;
  std::erase_if(E().orders, [&](const fake::Order& x) { return x.file == file; });
  return 0;
}
XBERESULT XbeGetIndexHandle(XBEHANDLE, const char* name, XBEHANDLE* order) {
  FAKE(XbeGetIndexHandle, name);
  // As the real engine: an empty name names no order, and a failure leaves the handle alone.
  if (name != nullptr && *name != '\0')
    for (auto& o : E().orders)
      if (Upper(o.name) == Upper(name)) {
        *order = o.handle;
        return 0;
      }
  if (E().zeroHandleOnFailure) *order = 0;
  return Fail(6017);
}
XBERESULT XbeGetIndexName(XBEHANDLE order, char* name, uint16_t* length) {
  FAKE(XbeGetIndexName);
  fake::Order* o = OrderOf(order);
  if (!o) return Fail(6001);
  fake::PutText(o->name, name, length);
  return 0;
}
XBERESULT XbeGetIndexFilename(XBEHANDLE order, uint16_t, char* name, uint16_t* length) {
  FAKE(XbeGetIndexFilename);
  fake::Order* o = OrderOf(order);
  if (!o) return Fail(6001);
  fake::PutText(o->file, name, length);
  return 0;
}
XBERESULT XbeGetNumSegments(XBEHANDLE order, uint16_t* count) {
  FAKE(XbeGetNumSegments);
  fake::Order* o = OrderOf(order);
  if (!o) return Fail(6001);
  *count = static_cast<uint16_t>(o->segments.size());
  return 0;
}
XBERESULT XbeGetSegmentFieldname(XBEHANDLE order, uint16_t segment, char* name, uint16_t* length) {
  FAKE(XbeGetSegmentFieldname, segment);
  fake::Order* o = OrderOf(order);
  if (!o || segment >= o->segments.size()) return Fail(6010);
  fake::PutText(o->segments[segment], name, length);
  return 0;
}
XBERESULT XbeGetIndexFlags(XBEHANDLE, uint32_t* flags) {
  FAKE(XbeGetIndexFlags);
  *flags = 0;
  return 0;
}
XBERESULT XbeGetIndexCondition(XBEHANDLE, char* condition, uint16_t* length) {
  FAKE(XbeGetIndexCondition);
  fake::PutText("", condition, length);
  return 0;
}
XBERESULT XbeGetScope(XBEHANDLE, uint16_t which, char*, uint16_t*) {
  FAKE(XbeGetScope, which);
  return Fail(5038);
}
XBERESULT XbeIsIndexDescending(XBEHANDLE order, uint16_t* v) {
  fake::Order* o = OrderOf(order);
  *v = o && o->descending;
  return 0;
}
XBERESULT XbeIsIndexUnique(XBEHANDLE order, uint16_t* v) {
  fake::Order* o = OrderOf(order);
  *v = o && o->unique;
  return 0;
}
XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE order, uint16_t* v) {
  fake::Order* o = OrderOf(order);
  *v = o && o->primary;
  return 0;
}
XBERESULT XbeGetIndexPageSize(XBEHANDLE order, uint32_t* size) {
  FAKE(XbeGetIndexPageSize, order);
  if (order == 0) {
    E().lastCode = 6001;
    return 6001;
  }
  *size = E().pageSize;
  return 0;
}

XBERESULT XbeClearScope(XBEHANDLE, uint16_t which) {
  FAKE(XbeClearScope, which);
  return Fail(5038);
}
XBERESULT XbeSetFilter(XBEHANDLE, const char* expression) { FAKE(XbeSetFilter, expression); return 0; }
XBERESULT XbeClearFilter(XBEHANDLE) { FAKE(XbeClearFilter); return Fail(5037); }
XBERESULT XbeSetXOF(XBEHANDLE, const char* expression, uint16_t options) {
  FAKE(XbeSetXOF, expression, options);
  return 0;
}
XBERESULT XbeClearXOF(XBEHANDLE) { FAKE(XbeClearXOF); return Fail(5037); }
XBERESULT XbeSetExact22(XBEHANDLE, uint16_t exact) { FAKE(XbeSetExact22, exact); return 0; }
XBERESULT XbeExpressionLongToShort(XBEHANDLE, const char* expression, char* buffer, uint16_t* length) {
  FAKE(XbeExpressionLongToShort, expression);
  fake::PutText(expression, buffer, length);
  return 0;
}
XBERESULT XbeExpressionShortToLong(XBEHANDLE, const char* expression, char* buffer, uint16_t* length) {
  FAKE(XbeExpressionShortToLong, expression);
  fake::PutText(expression, buffer, length);
  return 0;
}
// Record editing and key building: recorded, and answered with success (or the scripted failure).
XBERESULT XbeClearRecordBuffer(XBEHANDLE, void* buffer, uint32_t length) {
  FAKE(XbeClearRecordBuffer, length);
  std::memset(buffer, ' ', length);
  return 0;
}
XBERESULT XbeConvertJulianToString(double, char* text, uint16_t* length) {
  FAKE(XbeConvertJulianToString);
  if (text && length && *length > 8) std::strcpy(text, "20240315");
  if (length) *length = 8;
  return 0;
}
XBERESULT XbeLockRecord(XBEHANDLE, uint32_t n) { FAKE(XbeLockRecord, n); return 0; }
XBERESULT XbeUnlockRecord(XBEHANDLE, uint32_t n) { FAKE(XbeUnlockRecord, n); return 0; }
XBERESULT XbeGetRecordCRC(XBEHANDLE, uint32_t* crc, uint16_t) { FAKE(XbeGetRecordCRC); *crc = 0; return 0; }
XBERESULT XbeAppendRecord(XBEHANDLE) { FAKE(XbeAppendRecord); return 0; }
XBERESULT XbeWriteRecord(XBEHANDLE) { FAKE(XbeWriteRecord); return 0; }
XBERESULT XbeDeleteRecord(XBEHANDLE) { FAKE(XbeDeleteRecord); return 0; }
XBERESULT XbeCancelUpdate(XBEHANDLE) { FAKE(XbeCancelUpdate); return 0; }
XBERESULT XbeRefreshRecord(XBEHANDLE) { FAKE(XbeRefreshRecord); return 0; }
XBERESULT XbeSetField(XBEHANDLE, XBEFIELD field, const void* data, uint32_t length) {
  FAKE(XbeSetField, length);
  E().written[reinterpret_cast<std::uintptr_t>(field)].assign(static_cast<const char*>(data), length);
  return 0;
}
XBERESULT XbeSetFieldRaw(XBEHANDLE, XBEFIELD field, const void* data, uint32_t length) {
  FAKE(XbeSetFieldRaw, length);
  E().written[reinterpret_cast<std::uintptr_t>(field)].assign(static_cast<const char*>(data), length);
  return 0;
}
XBERESULT XbeSetEmpty(XBEHANDLE, XBEFIELD field) {
  FAKE(XbeSetEmpty);
  E().written[reinterpret_cast<std::uintptr_t>(field)] = "<empty>";
  return 0;
}
XBERESULT XbeInitRawKey(XBEHANDLE) { FAKE(XbeInitRawKey); return 0; }
XBERESULT XbeBuildRawKey(XBEHANDLE, void*, uint16_t* length) { FAKE(XbeBuildRawKey); *length = 0; return 0; }
XBERESULT XbeGetKeyLength(XBEHANDLE, uint16_t* length) { FAKE(XbeGetKeyLength); *length = 0; return 0; }
XBERESULT XbeSetScope(XBEHANDLE, uint16_t which, const void*, uint16_t, uint16_t) {
  FAKE(XbeSetScope, which);
  return 0;
}
XBERESULT XbeClearAllScopes(XBEHANDLE) { FAKE(XbeClearAllScopes); return 0; }

}  // extern "C"
