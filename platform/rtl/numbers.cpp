// Integer and float texts. Every text built here uses "." as the decimal separator, whatever
// the host's locale: the engine reads these texts back.
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/rtl/exception.h"
#include "platform/rtl/strutils.h"

namespace rtl {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads an integer with the run-time library's syntax. Hexadecimal texts give the bit pattern
// of `bits` bits ("$FFFFFFFF" is -1 as a 32-bit value), decimal texts must fit the signed range.
bool ParseInteger(std::string_view s, int bits, std::int64_t& out) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  const std::uint64_t limitMagnitude =
      hex ? (bits == 64 ? std::numeric_limits<std::uint64_t>::max() : (std::uint64_t{1} << bits) - 1)
          : (std::uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  const unsigned base = hex ? 16 : 10;
  std::uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const int d = hex ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return false;
    if (value > (limitMagnitude - static_cast<unsigned>(d)) / base) return false;
    value = value * base + static_cast<unsigned>(d);
  }
  if (hex && bits < 64 && value >= (std::uint64_t{1} << (bits - 1))) {
    // The upper half of a hexadecimal range is the negative bit pattern.
    out = static_cast<std::int64_t>(value) - (std::int64_t{1} << bits);
  } else {
    out = static_cast<std::int64_t>(value);
  }
  if (negative) out = static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(out));
  return true;
}

[[noreturn]] void ThrowNotInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

std::string ToChars(double v, std::chars_format fmt, int precision) {
  char buf[400];
  const auto r = precision < 0 ? std::to_chars(buf, buf + sizeof buf, v)
                               : std::to_chars(buf, buf + sizeof buf, v, fmt, precision);
  return std::string(buf, r.ptr);
}

std::string NonFiniteText(double v) {
  if (std::isnan(v)) return "NAN";
  return v < 0 ? "-INF" : "INF";
}

// Rounds the magnitude `digits` (the first `point` of them before the decimal point) half away
// from zero to `decimals` decimals, on the digits themselves. A result of zero has no sign.
std::string RoundDigits(std::string digits, int point, bool negative, int decimals) {
  if (point <= 0) {
    digits.insert(0, static_cast<std::size_t>(1 - point), '0');
    point = 1;
  }
  const std::size_t keep = static_cast<std::size_t>(point + decimals);
  if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');
  const bool roundUp = digits[keep] >= '5';
  digits.resize(keep);
  if (roundUp) {
    std::size_t i = keep;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(0, 1, '1');
      ++point;
    } else {
      ++digits[i - 1];
    }
  }
  std::string integer = digits.substr(0, static_cast<std::size_t>(point));
  const std::size_t firstNonZero = integer.find_first_not_of('0');
  integer = firstNonZero == std::string::npos ? "0" : integer.substr(firstNonZero);
  std::string text = integer;
  if (decimals > 0) text += "." + digits.substr(static_cast<std::size_t>(point));
  if (negative && digits.find_first_not_of('0') != std::string::npos) text.insert(0, 1, '-');
  return text;
}

}  // namespace

std::string IntToStr(std::int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::int64_t StrToInt64(std::string_view s) {
  std::int64_t v = 0;
  if (!ParseInteger(s, 64, v)) ThrowNotInteger(s);
  return v;
}

int StrToInt(std::string_view s) {
  std::int64_t v = 0;
  if (!ParseInteger(s, 32, v)) ThrowNotInteger(s);
  return static_cast<int>(v);
}

bool TryStrToInt(std::string_view s, int& out) {
  std::int64_t v = 0;
  if (!ParseInteger(s, 32, v)) return false;
  out = static_cast<int>(v);
  return true;
}

int StrToIntDef(std::string_view s, int def) {
  int v = 0;
  return TryStrToInt(s, v) ? v : def;
}

std::string FloatToStr(double v) {
  if (!std::isfinite(v)) return NonFiniteText(v);
  if (v == 0) return "0";
  return ToChars(v, std::chars_format::general, -1);
}

std::string FloatToStrFixed(double v, int decimals) {
  if (!std::isfinite(v)) return NonFiniteText(v);
  if (decimals < 0) decimals = 0;
  if (decimals > 18) decimals = 18;
  // As the run-time library does: the value to 15 significant digits first, then rounded half
  // away from zero to the decimals asked, so 1.005 gives "1.01" and 0.125 gives "0.13".
  const std::string sci = ToChars(std::fabs(v), std::chars_format::scientific, 14);  // d.ddde+XX
  const std::size_t e = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, e - 2);
  int point = std::stoi(sci.substr(e + 1)) + 1;  // digits before the decimal point
  if (v == 0) point = 1;
  return RoundDigits(std::move(digits), point, v < 0, decimals);
}

std::string RoundDecimalText(std::string_view text, int decimals) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  std::string digits;
  int point = -1;  // digits before the decimal point, once a point is seen
  bool plain = true;
  for (char c : t) {
    if (c >= '0' && c <= '9') digits += c;
    else if (c == '.' && point < 0) point = static_cast<int>(digits.size());
    else plain = false;
  }
  if (!plain || digits.empty()) throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  if (point < 0) point = static_cast<int>(digits.size());
  return RoundDigits(std::move(digits), point, negative, decimals < 0 ? 0 : decimals);
}

bool TryStrToFloat(std::string_view s, double& out) {
  std::size_t first = 0, last = s.size();
  while (first < last && s[first] == ' ') ++first;
  while (last > first && s[last - 1] == ' ') --last;
  std::string_view t = s.substr(first, last - first);
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  // Digits or "." must come first: no "inf", "nan", no second sign.
  if (t.empty() || !((t[0] >= '0' && t[0] <= '9') || t[0] == '.')) return false;
  double v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  out = negative ? -v : v;
  return true;
}

double StrToFloat(std::string_view s) {
  double v = 0;
  if (!TryStrToFloat(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  return v;
}

}  // namespace rtl
