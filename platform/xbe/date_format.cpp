#include "platform/xbe/date_format.h"

#include <cctype>

#include "platform/xbe/julian.h"

namespace xbe {

namespace {
char Part(char c) {
  switch (c) {
    case 'd': case 'D': return 'd';
    case 'm': case 'M': return 'm';
    case 'y': case 'Y': case 'c': case 'C': return 'y';
    default: return 0;
  }
}
}  // namespace

std::string FormatDate(std::int64_t julian, std::string_view format) {
  const CivilDate d = CivilFromJulian(julian);
  std::string out;
  for (std::size_t i = 0; i < format.size();) {
    const char p = Part(format[i]);
    if (!p) {
      out += format[i++];
      continue;
    }
    std::size_t n = 0;
    while (i < format.size() && Part(format[i]) == p) ++i, ++n;
    int v = p == 'd' ? d.day : p == 'm' ? d.month : d.year;
    int width = p == 'y' ? (n >= 3 ? 4 : 2) : 2;
    if (p == 'y' && width == 2) v %= 100;
    std::string digits = std::to_string(v);
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    out += digits;
  }
  return out;
}

std::optional<std::int64_t> ParseDate(std::string_view text, std::string_view format) {
  int day = 0, month = 0, year = 0;
  std::size_t t = 0;
  for (std::size_t i = 0; i < format.size();) {
    const char p = Part(format[i]);
    if (!p) {
      if (t < text.size() && !std::isdigit(static_cast<unsigned char>(text[t]))) ++t;
      ++i;
      continue;
    }
    std::size_t n = 0;
    while (i < format.size() && Part(format[i]) == p) ++i, ++n;
    const std::size_t maxDigits = p == 'y' ? (n >= 3 ? 4 : 2) : 2;
    std::size_t got = 0;
    int v = 0;
    while (t < text.size() && got < maxDigits && std::isdigit(static_cast<unsigned char>(text[t]))) {
      v = v * 10 + (text[t++] - '0');
      ++got;
    }
    if (got == 0) return std::nullopt;
    if (p == 'y' && got <= 2) v += v < 50 ? 2000 : 1900;
    (p == 'd' ? day : p == 'm' ? month : year) = v;
  }
  if (!IsValidCivil(year, month, day)) return std::nullopt;
  return JulianFromCivil(year, month, day);
}

}  // namespace xbe
