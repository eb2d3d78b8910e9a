#include "platform/xbe/sql/sql_value.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/xbe/julian.h"

namespace xbe::sql {

SqlValue SqlValue::From(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return Integer(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return Real(sqlite3_value_double(value));
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return Text(std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(value))));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const char*>(sqlite3_value_blob(value));
      return Blob(std::string(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(value))));
    }
    default: return Null();
  }
}

std::string SqlValue::AsText() const {
  switch (kind) {
    case Kind::kInteger: return std::to_string(integer);
    case Kind::kReal: {
      if (!std::isfinite(real)) return "";
      // Shortest text that reads back as the same double, written without an exponent.
      char buf[400];
      for (int digits = 0; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*f", digits, real);
        if (std::strtod(buf, nullptr) == real) break;
      }
      return buf;
    }
    case Kind::kText: case Kind::kBlob: return bytes;
    default: return "";
  }
}

std::optional<double> SqlValue::AsNumber() const {
  switch (kind) {
    case Kind::kInteger: return static_cast<double>(integer);
    case Kind::kReal: return real;
    case Kind::kText: {
      char* end = nullptr;
      const double d = std::strtod(bytes.c_str(), &end);
      if (end == bytes.c_str()) return std::nullopt;
      while (*end == ' ') ++end;
      if (*end != '\0') return std::nullopt;
      return d;
    }
    default: return std::nullopt;
  }
}

void SqlValue::Bind(sqlite3_stmt* statement, int position) const {
  switch (kind) {
    case Kind::kNull: sqlite3_bind_null(statement, position); break;
    case Kind::kInteger: sqlite3_bind_int64(statement, position, integer); break;
    case Kind::kReal: sqlite3_bind_double(statement, position, real); break;
    case Kind::kText:
      sqlite3_bind_text64(statement, position, bytes.data(), bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Kind::kBlob: sqlite3_bind_blob64(statement, position, bytes.data(), bytes.size(), SQLITE_TRANSIENT); break;
  }
}

void SqlValue::Result(sqlite3_context* context) const {
  switch (kind) {
    case Kind::kNull: sqlite3_result_null(context); break;
    case Kind::kInteger: sqlite3_result_int64(context, integer); break;
    case Kind::kReal: sqlite3_result_double(context, real); break;
    case Kind::kText:
      sqlite3_result_text64(context, bytes.data(), bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Kind::kBlob: sqlite3_result_blob64(context, bytes.data(), bytes.size(), SQLITE_TRANSIENT); break;
  }
}

std::string DateText(std::int64_t julian) {
  const CivilDate d = CivilFromJulian(julian);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

std::string TimeText(std::uint32_t milliseconds) {
  char buf[32];
  const unsigned ms = milliseconds % 1000;
  const unsigned s = milliseconds / 1000;
  if (ms == 0) std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%03u", s / 3600, s / 60 % 60, s % 60, ms);
  return buf;
}

std::string TimestampText(std::int64_t julian, std::uint32_t milliseconds) {
  return DateText(julian) + " " + TimeText(milliseconds);
}

std::string StorageDateText(std::string_view text) {
  std::string date;
  std::size_t i = 0;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    date = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    i = 10;
  } else if (text.size() >= 8) {
    date = std::string(text.substr(0, 8));
    i = 8;
  } else {
    return std::string(text);
  }
  std::string_view rest = text.substr(i);
  if (!rest.empty() && (rest[0] == ' ' || rest[0] == 'T')) rest.remove_prefix(1);
  // The engine's time texts take whole seconds.
  if (rest.size() > 8 && rest[8] == '.') rest = rest.substr(0, 8);
  return rest.empty() ? date : date + " " + std::string(rest);
}

std::optional<std::uint32_t> MillisecondsOf(std::string_view text) {
  unsigned h = 0, m = 0, s = 0, ms = 0;
  int used = 0;
  const std::string t(text);
  if (std::sscanf(t.c_str(), "%2u:%2u:%2u%n", &h, &m, &s, &used) != 3) return std::nullopt;
  std::size_t i = static_cast<std::size_t>(used);
  if (i < t.size() && t[i] == '.') {
    unsigned scale = 100;
    for (++i; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i, scale /= 10)
      ms += static_cast<unsigned>(t[i] - '0') * scale;
  }
  if (i != t.size() || h > 23 || m > 59 || s > 59) return std::nullopt;
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

}  // namespace xbe::sql
