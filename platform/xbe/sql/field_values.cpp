#include "platform/xbe/sql/field_values.h"

#include <cmath>
#include <cstring>

#include "platform/xbe/errors.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/table.h"

namespace xbe::sql {

namespace {

std::uint32_t Le32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the engine runs on little-endian hosts only, as its formats do
}

std::string Le32Bytes(std::uint32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

std::string TrimmedRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return std::string(s.substr(0, n));
}

[[noreturn]] void NotAValue(const FieldDesc& f, const SqlValue& v, const char* what) {
  Fail(kInvalidValue, "The value '" + v.AsText() + "' is not " + what + " for the field " + f.name + ".");
}

}  // namespace

SqlValue FieldValue(Table& table, std::size_t field) {
  const FieldDesc& f = table.Field(field);
  if (IsMemoCode(f.code)) {
    MemoBlob blob = table.GetMemo(field);
    if (blob.data.empty()) return SqlValue::Null();
    return blob.text ? SqlValue::Text(std::move(blob.data)) : SqlValue::Blob(std::move(blob.data));
  }
  if (IsCharacterCode(f.code)) {
    if (const auto text = table.FieldTextInPlace(field)) return SqlValue::Text(TrimmedRight(*text));
    return SqlValue::Text(TrimmedRight(table.GetFieldText(field)));
  }
  const bool xdt = table.IsXdt();
  const char* p = table.CurrentView().Image().data() + f.offset;
  if (f.code == kRaw) return SqlValue::Blob(std::string(p, f.length));
  if (IsBlankValue(f, p, xdt)) return SqlValue::Null();
  switch (f.code) {
    case kLogical: return SqlValue::Integer(LogicalValue(f, p) ? 1 : 0);
    case kDate: case kPackedDate: {
      const auto j = DateJulian(f, p, xdt);
      if (!j) return SqlValue::Text(FieldText(f, p, xdt));
      return *j == 0 ? SqlValue::Null() : SqlValue::Text(DateText(*j));
    }
    case kTime: return SqlValue::Text(TimeText(Le32(p)));
    case kTimestamp: return SqlValue::Text(TimestampText(Le32(p), Le32(p + 4)));
    case kInteger: case kShortInt: case kAutoInc: {
      const auto n = NumericValue(f, p, xdt);
      return n ? SqlValue::Integer(static_cast<std::int64_t>(*n)) : SqlValue::Null();
    }
    default: {
      const auto n = NumericValue(f, p, xdt);
      if (!n) return SqlValue::Text(TrimmedRight(FieldText(f, p, xdt)));  // unreadable: its stored text
      if (f.code == kNumericText && f.decimals == 0 && std::fabs(*n) < 9e15 && *n == std::trunc(*n))
        return SqlValue::Integer(static_cast<std::int64_t>(*n));
      return SqlValue::Real(*n);
    }
  }
}

void StoreValue(Table& table, std::size_t field, const SqlValue& value) {
  const FieldDesc& f = table.Field(field);
  if (IsMemoCode(f.code)) return table.SetMemo(field, value.IsNull() ? std::string() : value.AsText());
  if (value.IsNull()) return table.SetFieldEmpty(field);
  switch (f.code) {
    case kCharacter: case kCiCharacter: return table.SetFieldText(field, value.AsText());
    case kRaw: return table.SetFieldRaw(field, value.bytes.substr(0, f.length));
    case kLogical:
      if (value.kind == SqlValue::Kind::kInteger || value.kind == SqlValue::Kind::kReal)
        return table.SetFieldText(field, *value.AsNumber() != 0 ? "T" : "F");
      return table.SetFieldText(field, value.AsText());
    case kDate: case kPackedDate:
      // A number is read as its digits, CCYYMMDD (20240101); the field refuses any other.
      return table.SetFieldText(field, StorageDateText(value.AsText()));
    case kTime: {
      if (value.kind == SqlValue::Kind::kInteger) return table.SetFieldRaw(field, Le32Bytes(static_cast<std::uint32_t>(value.integer)));
      const auto ms = MillisecondsOf(value.AsText());
      if (!ms) NotAValue(f, value, "a time");
      return table.SetFieldRaw(field, Le32Bytes(*ms));
    }
    case kTimestamp: {
      const std::string text = value.AsText();
      const std::string storage = StorageDateText(text);
      const auto day = JulianFromStorageText(storage.substr(0, 8));
      if (!day || *day == 0) NotAValue(f, value, "a timestamp");
      std::uint32_t ms = 0;
      if (text.size() > 11) {
        const auto t = MillisecondsOf(text.substr(11));
        if (!t) NotAValue(f, value, "a timestamp");
        ms = *t;
      }
      return table.SetFieldRaw(field, Le32Bytes(static_cast<std::uint32_t>(*day)) + Le32Bytes(ms));
    }
    case kInteger: case kShortInt: case kAutoInc:
      if (value.kind == SqlValue::Kind::kReal) return table.SetFieldText(field, std::to_string(std::llround(value.real)));
      return table.SetFieldText(field, value.AsText());
    default: {
      if (!value.AsNumber()) NotAValue(f, value, "a number");
      return table.SetFieldText(field, value.AsText());
    }
  }
}

ColumnType ColumnTypeOf(const FieldDesc& f) {
  switch (f.code) {
    case kCharacter: case kCiCharacter: case kMemo: case kDate: case kPackedDate: case kTime: case kTimestamp:
      return ColumnType::kText;
    case kLogical: case kInteger: case kShortInt: case kAutoInc: return ColumnType::kInteger;
    case kNumericText: return f.decimals == 0 ? ColumnType::kInteger : ColumnType::kReal;
    case kDouble: case kMoney: case kMoneyDouble: return ColumnType::kReal;
    default: return ColumnType::kBlob;
  }
}

std::string ColumnDeclaration(const FieldDesc& f) {
  std::string type;
  switch (ColumnTypeOf(f)) {
    case ColumnType::kText: type = IsCharacterCode(f.code) ? std::string("TEXT COLLATE ") + kCharCollation : "TEXT"; break;
    case ColumnType::kInteger: type = "INTEGER"; break;
    case ColumnType::kReal: type = "REAL"; break;
    case ColumnType::kBlob: type = "BLOB"; break;
  }
  return "\"" + f.name + "\" " + type;
}

}  // namespace xbe::sql
