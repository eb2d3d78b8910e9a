// One index order (an NTX file, or one tag of a CDX file) seen as a sorted list of
// (key, record number) entries, walked in the order's own sequence: a descending order is
// walked from its largest key, whatever the file stores first.
//
// Keys are the fixed-length bytes of xbe::expr::EncodeKey. Equal keys follow each other by
// record number: ascending in the walk (also for descending NTX orders, which store the keys
// largest first); a descending CDX tag is its ascending storage walked backwards, so there
// equal keys come by descending record number.
// The table core evaluates key and condition expressions; an order only stores what it is given.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/expr/value.h"

namespace xbe::index {

struct KeyEntry {
  std::string key;
  std::uint32_t recno = 0;
  bool operator==(const KeyEntry&) const = default;
};

struct OrderInfo {
  std::string name;           // NTX: the file's base name in upper case; CDX: the tag name
  std::string keyExpression;  // as stored
  std::string forExpression;  // "" when the order has no condition
  bool unique = false;
  bool descending = false;
  int keyLength = 0;
  int keyDecimals = 0;  // NTX numeric keys
  int pageSize = 0;     // 1024 for NTX, 512 for CDX
};

// A position in an order. Valid() is false before the first and after the last entry.
// A cursor survives changes of its order made through the same Order object: it then finds
// its entry again (or the next one when its entry is gone).
class OrderCursor {
 public:
  virtual ~OrderCursor() = default;
  virtual bool First() = 0;
  virtual bool Last() = 0;
  virtual bool Next() = 0;
  virtual bool Prev() = 0;
  // Positions on the first entry, in walk order, whose key does not come before `key` when
  // only the first key.size() bytes are compared (a shorter key is a prefix). Returns true
  // when that entry's key starts with `key` (found); false with the cursor on the following
  // entry (soft seek) or off the end.
  virtual bool Seek(std::string_view key) = 0;
  // Like Seek, but the last entry whose key starts with `key` (seek-last).
  virtual bool SeekLast(std::string_view key) = 0;
  // Positions exactly on that entry; false (cursor off the end) when the order does not hold it.
  virtual bool Find(const KeyEntry& entry) = 0;
  virtual bool Valid() const = 0;
  virtual const KeyEntry& Current() const = 0;
};

class Order {
 public:
  virtual ~Order() = default;
  virtual const OrderInfo& Info() const = 0;
  virtual std::unique_ptr<OrderCursor> NewCursor() = 0;
  virtual std::uint64_t KeyCount() = 0;
  // Adds an entry. A unique order keeps only the first entry of a key: false when the key is
  // there already (nothing stored).
  virtual bool Insert(const KeyEntry& entry) = 0;
  // Removes exactly that entry; false when the order does not hold it.
  virtual bool Remove(const KeyEntry& entry) = 0;
  // A record's key changed: the old entry goes, the new one comes (no-op when equal).
  void Replace(const KeyEntry& before, const KeyEntry& after) {
    if (before == after) return;
    Remove(before);
    Insert(after);
  }
  // Replaces the whole contents with these entries (any order; a unique order keeps the first
  // record of each key), written the way a fresh index is.
  virtual void Build(std::vector<KeyEntry> entries) = 0;
  // All entries in walk order (tests, rebuild checks).
  std::vector<KeyEntry> Entries();
  // Reads every page and checks links, counts and key order; raises IndexError(kCorrupt).
  virtual void Check() = 0;
  // Forgets what is cached about the file, after another program may have changed it.
  virtual void Reload() = 0;
  // The type of the key expression's values, once compiled (CDX needs it to read its leaves).
  virtual void SetKeyType(expr::Type) {}
};

}  // namespace xbe::index
