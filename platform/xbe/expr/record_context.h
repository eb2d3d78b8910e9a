// How an expression reaches a table: the table core implements these two interfaces.
//
// FieldCatalog is what compiling needs (names, types, sizes); RecordContext adds the current
// record. Field bytes are handed over as stored in the record image. For index keys and key
// building they must be the table's own bytes (OEM tables: code page 850), so that keys stay
// byte-identical with the ones the DOS programs wrote; for filters and locate they may be
// converted to code page 1252 first, to match the literals the program writes. UPPER and LOWER
// change ASCII letters only, so both forms give the same keys.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace xbe::expr {

struct FieldInfo {
  std::string name;
  char type = 'C';  // DBF type letter: C N F L D M, and I B Y T of the FoxPro variant
  int length = 0;
  int decimals = 0;
};

class FieldCatalog {
 public:
  virtual ~FieldCatalog() = default;
  // 0-based index of the field with this name, compared without regard to case; -1 if none.
  virtual int FindField(std::string_view name) const = 0;
  virtual FieldInfo FieldAt(int index) const = 0;
  // True when `alias` (from ALIAS->FIELD, any case) names this table.
  virtual bool IsOwnAlias(std::string_view alias) const = 0;
};

class RecordContext : public FieldCatalog {
 public:
  // The stored bytes of a field of the current record (length bytes).
  virtual std::string_view RawField(int index) const = 0;
  // The text of a memo field of the current record ("" when empty).
  virtual std::string MemoText(int index) const { (void)index; return {}; }
  virtual bool IsDeleted() const = 0;
  virtual std::uint32_t RecordNumber() const = 0;
};

}  // namespace xbe::expr
