// The read-only view of one record that index keys, conditions and filters are evaluated on:
// fields by name or ordinal with their type, length, decimals and raw bytes, the deletion
// flag, the record number and the memo contents.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/xbe/memo_store.h"
#include "platform/xbe/schema.h"

namespace xbe {

class RecordView {
 public:
  virtual ~RecordView() = default;
  virtual const Schema& Fields() const = 0;
  // 0 for a record not stored yet.
  virtual std::uint32_t RecordNumber() const = 0;
  // The whole record as stored (byte 0 is the deletion flag, '*' when deleted).
  virtual std::string_view Image() const = 0;
  // True for the engine's own format, whose blank values differ from DBF ones.
  virtual bool IsXdt() const = 0;
  // A character field's bytes in the program's code page (converted from OEM when the table is).
  virtual std::string FieldString(std::size_t index) const = 0;
  // The contents of a memo field (text memos converted like character fields).
  virtual MemoBlob Memo(std::size_t index) const = 0;

  bool IsDeleted() const { return !Image().empty() && Image()[0] == '*'; }
  std::optional<std::size_t> FieldIndex(std::string_view name) const { return Fields().Find(name); }
  const FieldDesc& Field(std::size_t index) const { return Fields().fields.at(index); }
  std::string_view FieldBytes(std::size_t index) const {
    const FieldDesc& f = Field(index);
    return Image().substr(f.offset, f.length);
  }
};

}  // namespace xbe
