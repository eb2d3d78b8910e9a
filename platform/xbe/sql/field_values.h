// Fields of the engine's tables as SQL values, and SQL values stored back into fields.
// Character fields come without their trailing blanks (SQL CHAR), in the program's code page;
// numbers as integers or reals, logicals as 1 and 0, dates and times as the texts of
// sql_value.h; blank values other than character ones are NULL; text memos are texts, binary
// contents blobs.
#pragma once
#include <cstddef>
#include <string>

#include "platform/xbe/schema.h"
#include "platform/xbe/sql/sql_value.h"

namespace xbe {
class Table;
}

namespace xbe::sql {

// The collation of character columns: trailing blanks do not count.
constexpr const char* kCharCollation = "XBECHAR";

SqlValue FieldValue(Table& table, std::size_t field);
// Writes `value` into the field of the table's pending record; raises the engine's errors for a
// value the field cannot hold.
void StoreValue(Table& table, std::size_t field, const SqlValue& value);
// The column's declaration in the SQL table ("NAME" TEXT COLLATE XBECHAR, ...).
std::string ColumnDeclaration(const FieldDesc& field);
// Its type there, which decides how the SQL engine converts a value compared with it.
enum class ColumnType { kText, kInteger, kReal, kBlob };
ColumnType ColumnTypeOf(const FieldDesc& field);

}  // namespace xbe::sql
