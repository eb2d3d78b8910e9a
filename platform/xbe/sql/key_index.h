// An index the table module makes for itself when no open order has a field as its key: the
// record numbers of one column's values, found by a hash of each value. A join asks the inner
// table for the rows equal to each outer row; with this index that is one scan of the table in
// all rather than one per outer row. It may give rows that are not equal (hashes collide, blanks
// at the end are not counted): the SQL engine checks every row it is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/xbe/sql/sql_value.h"

namespace xbe {
class Table;
}

namespace xbe::sql {

class KeyIndex {
 public:
  // Tables beyond this many records are scanned instead (the index takes 16 bytes a record).
  static constexpr std::uint32_t kMaxRecords = 4u << 20;

  // The key of a value as `=` compares it on these columns (under the XBECHAR, BINARY or RTRIM
  // collation): numbers by their value whatever their type, texts without their trailing blanks,
  // blobs as their bytes; nullopt for NULL, which equals nothing.
  static std::optional<std::uint64_t> KeyOf(const SqlValue& value);

  // Reads `column` of every record the table shows (natural order, deleted records as the
  // engine's setting has them); false, and nothing kept, for a table of more than kMaxRecords.
  bool Build(Table& table, std::size_t column);
  bool Built() const { return built_; }

  // The entries [first, last) whose key is `key`, in record order.
  std::pair<std::size_t, std::size_t> Find(std::uint64_t key) const;
  std::uint32_t RecordAt(std::size_t entry) const { return entries_[entry].recno; }

 private:
  struct Entry {
    std::uint64_t key;
    std::uint32_t recno;
  };
  std::vector<Entry> entries_;
  bool built_ = false;
};

}  // namespace xbe::sql
