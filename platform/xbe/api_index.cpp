// Index files and orders: opening and closing, what an order is, key building, seeks and
// scopes. Every order handle moves its table's one cursor.
#include <algorithm>
#include <cstring>

#include "platform/rtl/strutils.h"
#include "platform/xbe/api_support.h"
#include "platform/xbe/index_order.h"
#include "platform/xbe/key_record.h"
#include "platform/xbe/settings.h"

using namespace xbe;

namespace xbe {

void AttachIndexFile(XBEHANDLE tableHandle, TableObject& table, const std::shared_ptr<IndexFile>& file) {
  table.indexFiles.push_back(file);
  for (std::size_t i = 0; i < file->Tags().size(); ++i) {
    auto order = std::make_shared<IndexOrder>(*file, i);
    auto object = std::make_unique<OrderObject>();
    object->table = table.table.get();
    object->tableHandle = tableHandle;
    object->index = order.get();
    object->pageSize = static_cast<std::uint32_t>(order->Info().pageSize);
    object->order = std::move(order);
    object->file = file;
    table.orders.push_back(Handles().Add(std::move(object)));
  }
}

TableObject& TableObjectOf(XBEHANDLE handle) {
  HandleObject* o = Handles().Find(handle);
  if (o != nullptr && o->Kind() == HandleKind::kIndexOrder)
    return Handles().Get<TableObject>(static_cast<OrderObject*>(o)->tableHandle, HandleKind::kTable);
  return Handles().Get<TableObject>(handle, HandleKind::kTable);
}

OrderObject& OrderOf(XBEHANDLE handle) {
  auto& o = Handles().Get<OrderObject>(handle, HandleKind::kIndexOrder);
  o.Prepare();
  return o;
}

}  // namespace xbe

namespace {

void PutYes(uint16_t* out, bool yes) {
  Require(out, "answer");
  *out = yes ? 1 : 0;
}

// Texts from the files are in the table's code page.
std::string ProgramText(const OrderObject& o, const std::string& stored) { return o.table->ToAnsi(stored); }

std::string GivenKey(OrderObject& o, const void* key, uint16_t length, uint16_t keyType) {
  if (key == nullptr && length != 0) Fail(kInvalidArgument, "No key was given.");
  const char* p = static_cast<const char*>(key);
  if (keyType == XBE_RAW_KEY) {
    std::string raw(p ? p : "", p ? length : 0);
    if (raw.size() > static_cast<std::size_t>(o.index->Layout().length))
      raw.resize(static_cast<std::size_t>(o.index->Layout().length));
    return raw;
  }
  if (keyType == XBE_TEXT_KEY) return o.index->KeyFromText(std::string_view(p ? p : "", p ? strnlen(p, length) : 0));
  Fail(kInvalidArgument, "The key type " + std::to_string(keyType) + " is not valid.");
}

IndexOrder::Bound BoundOf(uint16_t which) {
  if (which != XBE_TOP_SCOPE && which != XBE_BOTTOM_SCOPE)
    Fail(kInvalidArgument, "The scope " + std::to_string(which) + " is neither top (1) nor bottom (2).");
  return static_cast<IndexOrder::Bound>(which);
}

void CloseIndexFileOf(XBEHANDLE orderHandle) {
  OrderObject& order = Handles().Get<OrderObject>(orderHandle, HandleKind::kIndexOrder);
  TableObject& table = Handles().Get<TableObject>(order.tableHandle, HandleKind::kTable);
  const std::shared_ptr<IndexFile> file = order.file;
  // A pending record reaches the file, and this index, first.
  table.table->Write();
  std::vector<std::uint32_t> kept;
  for (std::uint32_t h : table.orders) {
    auto* o = static_cast<OrderObject*>(Handles().Find(h));
    if (o != nullptr && o->file == file) Handles().Remove(h);
    else kept.push_back(h);
  }
  table.orders = std::move(kept);
  std::erase(table.indexFiles, file);
}

}  // namespace

extern "C" {

XBERESULT XbeOpenIndex(XBEHANDLE table, const char* fileName, XBEHANDLE* orders, uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    if (fileName == nullptr || *fileName == '\0') Fail(kInvalidArgument, "No index file name was given.");
    TableObject& t = Handles().Get<TableObject>(table, HandleKind::kTable);
    const std::size_t before = t.orders.size();
    // A file open already keeps its orders: they are delivered again.
    const std::string host = IndexFile::ResolvePath(*t.table, fileName, nullptr);
    std::vector<std::uint32_t> opened;
    for (std::uint32_t h : t.orders)
      if (static_cast<OrderObject*>(Handles().Find(h))->file->HostPath() == host) opened.push_back(h);
    if (opened.empty()) {
      AttachIndexFile(table, t, IndexFile::Open(*t.table, fileName));
      opened.assign(t.orders.begin() + static_cast<std::ptrdiff_t>(before), t.orders.end());
    }
    const std::size_t room = orders ? *count : 0;
    for (std::size_t i = 0; i < opened.size() && i < room; ++i) orders[i] = opened[i];
    *count = static_cast<uint16_t>(std::min(opened.size(), room));
    if (opened.size() > room)
      Fail(kBufferTooSmall, "The index file " + std::string(fileName) + " holds " + std::to_string(opened.size()) +
                                " orders.");
  });
}

XBERESULT XbeCloseIndex(XBEHANDLE order) {
  return Guarded([&] { CloseIndexFileOf(order); });
}

XBERESULT XbeGetIndexHandle(XBEHANDLE table, const char* name, XBEHANDLE* order) {
  return Guarded([&] {
    Require(order, "order handle");
    TableObject& t = TableObjectOf(table);
    // A table has no current order of its own: an empty name never names one.
    if (name == nullptr || *name == '\0')
      Fail(kIndexNotFound, "No index order name was given for the table " + t.table->DisplayName() + ".");
    for (std::uint32_t h : t.orders)
      if (rtl::AnsiSameText(static_cast<OrderObject*>(Handles().Find(h))->index->Info().name, name)) {
        *order = h;
        return;
      }
    Fail(kIndexNotFound, "The table " + t.table->DisplayName() + " has no index order named " + name + ".");
  });
}

XBERESULT XbeGetIndexName(XBEHANDLE order, char* name, uint16_t* length) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    PutText(ProgramText(o, o.index->Info().name), name, length);
  });
}

XBERESULT XbeGetIndexFilename(XBEHANDLE order, uint16_t option, char* name, uint16_t* length) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    PutText(option == XBE_INDEX_FILE_NAME ? o.file->FileName() : o.file->WindowsPath(), name, length);
  });
}

XBERESULT XbeGetIndexExpression(XBEHANDLE order, char* expression, uint16_t* length) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    PutText(ProgramText(o, o.index->Info().keyExpression), expression, length);
  });
}

XBERESULT XbeGetIndexCondition(XBEHANDLE order, char* condition, uint16_t* length) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    PutText(ProgramText(o, o.index->Info().forExpression), condition, length);
  });
}

XBERESULT XbeGetIndexFlags(XBEHANDLE order, uint32_t* flags) {
  return Guarded([&] {
    Require(flags, "flags");
    OrderOf(order);
    *flags = 0;
  });
}

XBERESULT XbeIsIndexUnique(XBEHANDLE order, uint16_t* unique) {
  return Guarded([&] { PutYes(unique, OrderOf(order).index->Info().unique); });
}

XBERESULT XbeIsIndexDescending(XBEHANDLE order, uint16_t* descending) {
  return Guarded([&] { PutYes(descending, OrderOf(order).index->Info().descending); });
}

XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE order, uint16_t* primary) {
  return Guarded([&] {
    OrderOf(order);
    PutYes(primary, false);
  });
}

XBERESULT XbeIsIndexCustom(XBEHANDLE order, uint16_t* custom) {
  return Guarded([&] {
    Require(custom, "answer");
    OrderObject& o = OrderOf(order);
    Fail(kNotCustom, "The index order " + o.index->Info().name + " is not a custom index.");
  });
}

XBERESULT XbeGetKeyLength(XBEHANDLE order, uint16_t* length) {
  return Guarded([&] {
    Require(length, "length");
    *length = static_cast<uint16_t>(OrderOf(order).index->Layout().length);
  });
}

XBERESULT XbeGetNumSegments(XBEHANDLE order, uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    *count = static_cast<uint16_t>(OrderOf(order).index->Tag().bound->SegmentFields().size());
  });
}

XBERESULT XbeGetSegmentFieldname(XBEHANDLE order, uint16_t segment, char* name, uint16_t* length) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    const auto& fields = o.index->Tag().bound->SegmentFields();
    if (segment >= fields.size())
      Fail(kInvalidArgument, "The index order " + o.index->Info().name + " has " + std::to_string(fields.size()) +
                                 " segments.");
    PutText(fields[segment], name, length);
  });
}

XBERESULT XbeInitRawKey(XBEHANDLE order) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    InitKeyRecord(*o.index, *o.table);
  });
}

XBERESULT XbeBuildRawKey(XBEHANDLE order, void* key, uint16_t* length) {
  return Guarded([&] {
    Require(length, "key length");
    OrderObject& o = OrderOf(order);
    const std::string raw = BuildRawKey(*o.index, *o.table);
    if (key == nullptr || *length < raw.size()) {
      *length = static_cast<uint16_t>(raw.size() + 1);
      Fail(kBufferTooSmall, "The key needs " + std::to_string(raw.size()) + " bytes.");
    }
    std::memcpy(key, raw.data(), raw.size());
    if (*length > raw.size()) static_cast<char*>(key)[raw.size()] = '\0';
    *length = static_cast<uint16_t>(raw.size());
  });
}

XBERESULT XbeSeek(XBEHANDLE order, const void* key, uint16_t length, uint16_t keyType, uint16_t mode,
                  uint16_t* found) {
  return Guarded([&] {
    Require(found, "found flag");
    OrderObject& o = OrderOf(order);
    const bool soft = (mode & XBE_SOFT_SEEK) != 0;
    const bool last = (mode & XBE_SEEK_LAST) != 0;
    if ((mode & ~(XBE_HARD_SEEK | XBE_SOFT_SEEK | XBE_SEEK_LAST)) != 0 || (mode & 3) == 0 || (mode & 3) == 3)
      Fail(kInvalidArgument, "The seek mode " + std::to_string(mode) + " is not valid.");
    const std::string k = GivenKey(o, key, length, keyType);
    Table& t = *o.table;
    IndexOrder& index = *o.index;
    const auto onKey = [&] { return index.CurrentKeyStartsWith(t.CurrentView(), k); };
    bool on = t.SettleOn(index, index.SeekPosition(k, last), !last);
    bool hit = on && onKey();
    if (!hit && last) {
      // No visible record with that key: a soft seek stands on the next one.
      on = t.SettleOn(index, index.SeekPosition(k, false), true);
      hit = on && onKey();
    }
    if (!hit && !soft && on) t.GotoRecord(0);
    *found = hit ? 1 : 0;
  });
}

XBERESULT XbeSetScope(XBEHANDLE order, uint16_t which, const void* key, uint16_t length, uint16_t keyType) {
  return Guarded([&] {
    OrderObject& o = OrderOf(order);
    const IndexOrder::Bound b = BoundOf(which);
    if (length > 4082) Fail(kInvalidArgument, "A scope holds at most 4082 characters.");
    const std::string k = GivenKey(o, key, length, keyType);
    const char* p = static_cast<const char*>(key);
    std::string given = keyType == XBE_TEXT_KEY ? std::string(p ? p : "", p ? strnlen(p, length) : 0) : k;
    o.index->SetScope(b, k, std::move(given));
  });
}

XBERESULT XbeGetScope(XBEHANDLE order, uint16_t which, char* key, uint16_t* length) {
  return Guarded([&] {
    Require(length, "length");
    OrderObject& o = OrderOf(order);
    const auto& given = o.index->ScopeGiven(BoundOf(which));
    if (!given) Fail(kNoScope, "");
    if (key == nullptr || *length < given->size() + 1) {
      *length = static_cast<uint16_t>(given->size() + 1);
      Fail(kBufferTooSmall, "The scope needs a buffer of " + std::to_string(given->size() + 1) + " characters.");
    }
    std::memcpy(key, given->data(), given->size());
    key[given->size()] = '\0';
    *length = static_cast<uint16_t>(given->size());
  });
}

XBERESULT XbeClearScope(XBEHANDLE order, uint16_t which) {
  return Guarded([&] {
    if (!OrderOf(order).index->ClearScope(BoundOf(which))) Fail(kNoScope, "");
  });
}

XBERESULT XbeClearAllScopes(XBEHANDLE table) {
  return Guarded([&] {
    for (std::uint32_t h : TableObjectOf(table).orders) {
      auto& o = Handles().Get<OrderObject>(h, HandleKind::kIndexOrder);
      o.index->ClearScope(IndexOrder::kTop);
      o.index->ClearScope(IndexOrder::kBottom);
    }
  });
}

}  // extern "C"
