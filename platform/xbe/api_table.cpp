// Opening and closing tables, table information, field descriptions and field values.
#include <cstring>

#include "platform/xbe/api_support.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/index_order.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/key_record.h"
#include "platform/xbe/sql/statement_calls.h"

using namespace xbe;

namespace {

// A bare name on a dictionary connection is the dictionary's table: its data file, type and
// character type come from the dictionary (the caller's are passed over), and so do the index
// files that open with it. A name the dictionary does not list answers 5132, so that callers can
// try it as a free table by its path.
OpenRequest DictionaryRequest(const ConnectionObject& conn, const char* name, uint16_t lockType,
                              uint16_t rightsChecking, uint32_t options, std::vector<std::string>* indexFiles) {
  if (lockType > 1) Fail(kInvalidArgument, "The lock type " + std::to_string(lockType) + " is not valid.");
  const dictionary::TableEntry entry = conn.dictionary->ListedTable(name);
  OpenRequest r;
  r.name = conn.dictionary->Resolve(entry.path);
  r.type = entry.type;
  r.charType = entry.charType;
  r.lockType = static_cast<LockType>(lockType);
  r.rightsChecking = rightsChecking != 2;
  r.options = options;
  for (const std::string& file : entry.indexFiles) indexFiles->push_back(conn.dictionary->Resolve(file));
  return r;
}

OpenRequest MakeRequest(XBEHANDLE connection, const char* name, uint16_t tableType, uint16_t charType,
                        uint16_t lockType, uint16_t rightsChecking, uint32_t options,
                        std::vector<std::string>* indexFiles) {
  auto& conn = Handles().Get<ConnectionObject>(connection, HandleKind::kConnection);
  if (name == nullptr || *name == '\0') Fail(kInvalidArgument, "No table name was given.");
  if (conn.dictionary && std::strpbrk(name, "\\/:") == nullptr)
    return DictionaryRequest(conn, name, lockType, rightsChecking, options, indexFiles);
  if (tableType < 1 || tableType > 3)
    Fail(tableType == 0 ? kUnsupported : kInvalidArgument,
         "The table type " + std::to_string(tableType) + " is not valid for a local table.");
  if (charType != 1 && charType != 2)
    Fail(kInvalidArgument, "The character type " + std::to_string(charType) + " is not valid.");
  if (lockType > 1) Fail(kInvalidArgument, "The lock type " + std::to_string(lockType) + " is not valid.");
  OpenRequest r;
  r.name = name;
  if (std::strpbrk(name, "\\/:") == nullptr) {
    std::string dir = conn.path;
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/' && dir.back() != ':') dir += '\\';
    r.name = dir + name;
  }
  r.type = static_cast<TableType>(tableType);
  r.charType = static_cast<CharType>(charType);
  r.lockType = static_cast<LockType>(lockType);
  r.rightsChecking = rightsChecking != 2;
  r.options = options;
  return r;
}

const FieldDesc& FieldOf(XBEHANDLE h, XBEFIELD field) {
  Table& t = TableOf(h);
  return t.Field(ResolveField(t, field));
}

// Field contents as callers give them: character data ends at the first zero byte.
std::string_view GivenText(const void* data, uint32_t length) {
  if (data == nullptr) return {};
  const char* p = static_cast<const char*>(data);
  const void* zero = std::memchr(p, '\0', length);
  return std::string_view(p, zero ? static_cast<const char*>(zero) - p : length);
}

// Field values given on an index order handle build a key (XbeInitRawKey, XbeBuildRawKey).
IndexOrder* KeyBuilder(XBEHANDLE handle) {
  HandleObject* o = Handles().Find(handle);
  return o != nullptr && o->Kind() == HandleKind::kIndexOrder ? static_cast<OrderObject*>(o)->index : nullptr;
}

// Kept out of XbeGetField, so that its quick path stays small.
[[gnu::noinline]] XBERESULT GetFieldGeneral(XBEHANDLE table, XBEFIELD field, void* buffer, uint32_t* length) {
  return Guarded([&] {
    Table& t = TableOf(table);
    const std::size_t i = ResolveField(t, field);
    const FieldDesc& f = t.Field(i);
    if (IsMemoCode(f.code)) {
      const MemoBlob blob = t.GetMemo(i);
      PutBytes(blob.data, buffer, length, blob.text);
    } else if (const auto text = t.FieldTextInPlace(i)) {
      PutBytes(*text, buffer, length, true);
    } else {
      PutBytes(t.GetFieldText(i), buffer, length, true);
    }
  });
}

}  // namespace

namespace xbe {
XBERESULT OpenTableHandle(const OpenRequest& request, XBEHANDLE connection, XBEHANDLE* table) {
  return Guarded([&] {
    auto object = std::make_unique<TableObject>();
    object->table = Table::Open(request);
    object->connection = connection;
    if (HandleObject* c = Handles().Find(connection); c && c->Kind() == HandleKind::kConnection)
      if (auto& tx = static_cast<ConnectionObject&>(*c).transaction) tx->Attach(*object->table);
    // A CDX table's structural index opens with it.
    std::shared_ptr<IndexFile> structural = IndexFile::OpenStructural(*object->table);
    TableObject& t = *object;
    const XBEHANDLE h = Handles().Add(std::move(object));
    if (structural) {
      try {
        AttachIndexFile(h, t, structural);
      } catch (...) {
        for (std::uint32_t order : t.orders) Handles().Remove(order);
        Handles().Remove(h);
        throw;
      }
    }
    *table = h;
  });
}
}  // namespace xbe

extern "C" {

XBERESULT XbeOpenTable(XBEHANDLE connection, const char* name, const char* /*alias*/, uint16_t tableType,
                       uint16_t charType, uint16_t lockType, uint16_t rightsChecking, uint32_t options,
                       XBEHANDLE* table) {
  OpenRequest request;
  std::vector<std::string> indexFiles;
  XBERESULT r = Guarded([&] {
    Require(table, "table handle");
    request = MakeRequest(connection, name, tableType, charType, lockType, rightsChecking, options, &indexFiles);
  });
  if (r != kOk) return r;
  if (indexFiles.empty()) return OpenTableHandle(request, connection, table);
  // A dictionary table opens with its index files, or not at all.
  XBEHANDLE opened = 0;
  r = OpenTableHandle(request, connection, &opened);
  if (r != kOk) return r;
  r = Guarded([&] {
    TableObject& t = Handles().Get<TableObject>(opened, HandleKind::kTable);
    for (const std::string& file : indexFiles) {
      // A dictionary may list a structural CDX file, which is open already.
      const std::string host = IndexFile::ResolvePath(*t.table, file, nullptr);
      bool open = false;
      for (const auto& f : t.indexFiles) open = open || f->HostPath() == host;
      if (!open) AttachIndexFile(opened, t, IndexFile::Open(*t.table, file));
    }
  });
  if (r != kOk) {
    // The error stays the index file's.
    const LastError failure = ThreadLastError();
    XbeCloseTable(opened);
    return SetLastError(failure.code, failure.text);
  }
  *table = opened;
  return kOk;
}

XBERESULT XbeCloseTable(XBEHANDLE table) {
  return Guarded([&] {
    auto& t = Handles().Get<TableObject>(table, HandleKind::kTable);
    for (std::uint32_t order : t.orders) Handles().Remove(order);
    std::unique_ptr<HandleObject> object = Handles().Remove(table);
    static_cast<TableObject&>(*object).table->Close();  // raises after releasing the files
  });
}

XBERESULT XbeGetTableType(XBEHANDLE table, uint16_t* type) {
  return Guarded([&] {
    Require(type, "type");
    *type = static_cast<uint16_t>(TableOf(table).Type());
  });
}

XBERESULT XbeGetTableCharType(XBEHANDLE table, uint16_t* charType) {
  return Guarded([&] {
    Require(charType, "character type");
    *charType = static_cast<uint16_t>(TableOf(table).Chars());
  });
}

XBERESULT XbeIsTableEncrypted(XBEHANDLE table, uint16_t* encrypted) {
  return Guarded([&] {
    TableOf(table);
    Require(encrypted, "flag");
    *encrypted = 0;
  });
}

XBERESULT XbeIsEncryptionEnabled(XBEHANDLE table, uint16_t* enabled) {
  return Guarded([&] {
    TableOf(table);
    Require(enabled, "flag");
    *enabled = 0;
  });
}

XBERESULT XbeEnableEncryption(XBEHANDLE table, const char*) {
  return Guarded([&] {
    Fail(kUnsupported, "The table " + TableOf(table).DisplayName() + " is not encrypted; DBF tables never are.");
  });
}

XBERESULT XbeGetRecordLength(XBEHANDLE table, uint32_t* length) {
  return Guarded([&] {
    Require(length, "length");
    *length = TableOf(table).Fields().recordLength;
  });
}

XBERESULT XbeGetTableOpenOptions(XBEHANDLE table, uint32_t* options) {
  return Guarded([&] {
    Require(options, "options");
    *options = TableOf(table).ReportedOptions();
  });
}

XBERESULT XbeGetNumFields(XBEHANDLE table, uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    *count = static_cast<uint16_t>(TableOf(table).Fields().fields.size());
  });
}

XBERESULT XbeCacheRecords(XBEHANDLE table, uint16_t records) {
  return Guarded([&] { TableOf(table).CacheRecords(records); });
}

XBERESULT XbeGetLastAutoinc(XBEHANDLE table, uint32_t* value) {
  return Guarded([&] {
    Require(value, "value");
    if (StatementLastAutoInc(table, value)) return;
    *value = TableOf(table).LastAutoInc();
  });
}

XBERESULT XbeGetHandleType(XBEHANDLE handle, uint16_t* type) {
  return Guarded([&] {
    Require(type, "type");
    HandleObject* o = Handles().Find(handle);
    if (o == nullptr) Fail(kInvalidHandle, "Invalid handle " + std::to_string(handle) + ".");
    *type = static_cast<uint16_t>(o->Kind());
  });
}

XBERESULT XbeGetFieldType(XBEHANDLE table, XBEFIELD field, uint16_t* type) {
  return Guarded([&] {
    Require(type, "type");
    *type = FieldOf(table, field).code;
  });
}

XBERESULT XbeGetFieldLength(XBEHANDLE table, XBEFIELD field, uint32_t* length) {
  return Guarded([&] {
    Require(length, "length");
    *length = FieldOf(table, field).length;
  });
}

XBERESULT XbeGetFieldDecimals(XBEHANDLE table, XBEFIELD field, uint16_t* decimals) {
  return Guarded([&] {
    Require(decimals, "decimals");
    const FieldDesc& f = FieldOf(table, field);
    *decimals = f.code == kNumericText ? f.decimals : 0;
  });
}

XBERESULT XbeGetFieldName(XBEHANDLE table, uint16_t ordinal, char* name, uint16_t* length) {
  return Guarded([&] { PutText(FieldOf(table, XBE_FIELD_ORDINAL(ordinal)).name, name, length); });
}

XBERESULT XbeGetFieldOffset(XBEHANDLE table, XBEFIELD field, uint32_t* offset) {
  return Guarded([&] {
    Require(offset, "offset");
    *offset = FieldOf(table, field).offset;
  });
}

XBERESULT XbeGetColumnPermissions(XBEHANDLE table, uint16_t ordinal, uint8_t* permissions) {
  return Guarded([&] {
    Require(permissions, "permissions");
    Table& t = TableOf(table);
    t.FieldIndexOrdinal(ordinal);
    *permissions = t.Writable() ? 2 | 4 : 0;
  });
}

XBERESULT XbeGetRecord(XBEHANDLE table, void* buffer, uint32_t length) {
  return Guarded([&] {
    Require(buffer, "record buffer");
    const std::string& image = TableOf(table).CurrentImage();
    if (length < image.size())
      Fail(kBufferTooSmall, "The record needs a buffer of " + std::to_string(image.size()) + " bytes.");
    // Only the record: the rest of the caller's buffer is its own.
    std::memcpy(buffer, image.data(), image.size());
  });
}

XBERESULT XbeGetField(XBEHANDLE table, XBEFIELD field, void* buffer, uint32_t* length, uint16_t) {
  // A browse reads every field of every record: a field that lies ready in the current record of
  // a table handle used lately, into a buffer that holds it, is served here, where nothing can
  // fail; everything else (and every error) takes the general path.
  EngineLock& lock = EngineMutex();
  lock.lock();
  const Table* quickTable = Registry::RecentTable(table);
  std::string_view quick;
  const bool served = quickTable != nullptr && buffer != nullptr && length != nullptr &&
                      quickTable->QuickFieldText(reinterpret_cast<std::uintptr_t>(field), &quick) &&
                      *length > quick.size();
  if (served) {
    CopyShort(buffer, quick.data(), quick.size());
    static_cast<char*>(buffer)[quick.size()] = '\0';
    *length = static_cast<uint32_t>(quick.size());
  }
  lock.unlock();
  return served ? kOk : GetFieldGeneral(table, field, buffer, length);
}

XBERESULT XbeSetField(XBEHANDLE table, XBEFIELD field, const void* data, uint32_t length) {
  return Guarded([&] {
    Table& t = TableOf(table);
    if (IndexOrder* keys = KeyBuilder(table)) return SetKeyFieldText(*keys, t, ResolveField(t, field), GivenText(data, length));
    const std::size_t i = ResolveField(t, field);
    const FieldDesc& f = t.Field(i);
    if (IsMemoCode(f.code)) {
      if (data == nullptr && length != 0) Fail(kInvalidArgument, "No memo contents were given.");
      t.SetMemo(i, std::string_view(static_cast<const char*>(data), data ? length : 0));
    } else {
      t.SetFieldText(i, GivenText(data, length));
    }
  });
}

XBERESULT XbeSetFieldRaw(XBEHANDLE table, XBEFIELD field, const void* data, uint32_t length) {
  return Guarded([&] {
    Table& t = TableOf(table);
    if (data == nullptr && length != 0) Fail(kInvalidArgument, "No field contents were given.");
    const std::string_view bytes(static_cast<const char*>(data), data ? length : 0);
    if (IndexOrder* keys = KeyBuilder(table)) return SetKeyFieldRaw(*keys, t, ResolveField(t, field), bytes);
    t.SetFieldRaw(ResolveField(t, field), bytes);
  });
}

XBERESULT XbeSetEmpty(XBEHANDLE table, XBEFIELD field) {
  return Guarded([&] {
    if (SetStatementParameterEmpty(table, field)) return;
    Table& t = TableOf(table);
    if (IndexOrder* keys = KeyBuilder(table)) return SetKeyFieldEmpty(*keys, t, ResolveField(t, field));
    t.SetFieldEmpty(ResolveField(t, field));
  });
}

XBERESULT XbeIsEmpty(XBEHANDLE table, XBEFIELD field, uint16_t* empty) {
  return Guarded([&] {
    Require(empty, "flag");
    Table& t = TableOf(table);
    *empty = t.IsFieldEmpty(ResolveField(t, field)) ? 1 : 0;
  });
}

XBERESULT XbeClearRecordBuffer(XBEHANDLE table, void* buffer, uint32_t length) {
  return Guarded([&] {
    Require(buffer, "record buffer");
    const std::string image = TableOf(table).NullRecord();
    std::memcpy(buffer, image.data(), std::min<std::size_t>(length, image.size()));
  });
}

XBERESULT XbeGetNullRecord(XBEHANDLE table, void* buffer, uint32_t length) {
  return XbeClearRecordBuffer(table, buffer, length);
}

XBERESULT XbeConvertStringToJulian(const char* text, uint16_t length, double* julian) {
  return Guarded([&] {
    Require(julian, "julian date");
    Require(text, "text");
    const std::string_view t(text, strnlen(text, length));
    auto j = JulianFromStorageText(t);
    if (!j) Fail(kInvalidValue, "The text '" + std::string(t) + "' is not a date in the form CCYYMMDD.");
    *julian = static_cast<double>(*j);
  });
}

XBERESULT XbeConvertJulianToString(double julian, char* text, uint16_t* length) {
  return Guarded([&] { PutText(StorageTextFromJulian(static_cast<std::int64_t>(julian)), text, length); });
}

}  // extern "C"
