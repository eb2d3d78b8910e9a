// A value on its way into or out of the SQL engine, and the texts that dates and times take
// there: "YYYY-MM-DD", "HH:MM:SS" (".mmm" added when there are milliseconds) and
// "YYYY-MM-DD HH:MM:SS[.mmm]", which compare as the values they stand for.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_value;
struct sqlite3_stmt;
struct sqlite3_context;

namespace xbe::sql {

struct SqlValue {
  enum class Kind { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text or blob

  static SqlValue Null() { return {}; }
  static SqlValue Integer(std::int64_t v) { SqlValue s; s.kind = Kind::kInteger; s.integer = v; return s; }
  static SqlValue Real(double v) { SqlValue s; s.kind = Kind::kReal; s.real = v; return s; }
  static SqlValue Text(std::string v) { SqlValue s; s.kind = Kind::kText; s.bytes = std::move(v); return s; }
  static SqlValue Blob(std::string v) { SqlValue s; s.kind = Kind::kBlob; s.bytes = std::move(v); return s; }
  static SqlValue From(sqlite3_value* value);

  bool IsNull() const { return kind == Kind::kNull; }
  // Numbers as plain decimal text (no exponent), texts and blobs as they are, null as "".
  std::string AsText() const;
  std::optional<double> AsNumber() const;

  void Bind(sqlite3_stmt* statement, int position) const;
  void Result(sqlite3_context* context) const;
};

std::string DateText(std::int64_t julian);
std::string TimeText(std::uint32_t milliseconds);
std::string TimestampText(std::int64_t julian, std::uint32_t milliseconds);
// "YYYY-MM-DD" (or "YYYYMMDD") and a time after it -> the engine's storage text
// "CCYYMMDD[ HH:MM:SS]"; other texts come back unchanged for the field to judge.
std::string StorageDateText(std::string_view text);
// Milliseconds of "HH:MM:SS[.mmm]"; nullopt for another text.
std::optional<std::uint32_t> MillisecondsOf(std::string_view text);

}  // namespace xbe::sql
