#include "platform/xbe/expr/dates.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <vector>

namespace xbe::expr {

namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// One component of a date format: 'D', 'M', 'Y' with its width, or a literal run.
struct FormatPart {
  char kind;  // 'D', 'M', 'Y', or 0 for literal text
  int width;
  std::string literal;
};

std::vector<FormatPart> SplitFormat(std::string_view format) {
  std::vector<FormatPart> parts;
  for (std::size_t i = 0; i < format.size();) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(format[i])));
    if (c == 'C') c = 'Y';  // "ccyy": the century belongs to the year
    if (c == 'D' || c == 'M' || c == 'Y') {
      std::size_t j = i;
      while (j < format.size()) {
        char d = static_cast<char>(std::toupper(static_cast<unsigned char>(format[j])));
        if (d == 'C') d = 'Y';
        if (d != c) break;
        ++j;
      }
      parts.push_back({c, static_cast<int>(j - i), {}});
      i = j;
    } else {
      if (parts.empty() || parts.back().kind != 0) parts.push_back({0, 0, {}});
      parts.back().literal += format[i];
      ++i;
    }
  }
  return parts;
}
}  // namespace

std::int32_t JulianFromYmd(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysIn(y, m)) return 0;
  // Fliegel & Van Flandern, proleptic Gregorian.
  const long a = (14 - m) / 12;
  const long yy = y + 4800 - a;
  const long mm = m + 12 * a - 3;
  return static_cast<std::int32_t>(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 +
                                   yy / 400 - 32045);
}

Ymd YmdFromJulian(std::int32_t j) {
  if (j <= 0) return {};
  long a = j + 32044;
  long b = (4 * a + 3) / 146097;
  long c = a - 146097 * b / 4;
  long d = (4 * c + 3) / 1461;
  long e = c - 1461 * d / 4;
  long m = (5 * e + 2) / 153;
  Ymd r;
  r.day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  r.month = static_cast<int>(m + 3 - 12 * (m / 10));
  r.year = static_cast<int>(100 * b + d - 4800 + m / 10);
  return r;
}

std::int32_t JulianFromDtos(std::string_view s) {
  if (s.size() < 8) return 0;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return 0;
    v[i] = s[i] - '0';
  }
  return JulianFromYmd(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5],
                       v[6] * 10 + v[7]);
}

std::string DtosFromJulian(std::int32_t julian) {
  if (julian <= 0) return std::string(8, ' ');
  Ymd d = YmdFromJulian(julian);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year % 10000, d.month, d.day);
  return buf;
}

std::int32_t JulianFromFormatted(std::string_view s, std::string_view format, int epoch) {
  // The numbers of the text are taken in order and given to the components of the format in
  // their order, as xBase runtimes do; separators need not match.
  std::vector<FormatPart> parts = SplitFormat(format);
  std::vector<std::pair<long, int>> numbers;  // value, digit count
  for (std::size_t i = 0; i < s.size();) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) {
      long v = 0;
      int n = 0;
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (n < 9) v = v * 10 + (s[i] - '0');
        ++n;
        ++i;
      }
      numbers.push_back({v, n});
    } else {
      ++i;
    }
  }
  if (numbers.empty()) return 0;
  int y = -1, m = -1, d = -1;
  std::size_t k = 0;
  int yearDigits = 4;
  for (const FormatPart& p : parts) {
    if (p.kind == 0) continue;
    if (k >= numbers.size()) return 0;
    const long v = numbers[k].first;
    if (p.kind == 'D') d = static_cast<int>(v);
    if (p.kind == 'M') m = static_cast<int>(v);
    if (p.kind == 'Y') {
      y = static_cast<int>(v);
      yearDigits = numbers[k].second;
    }
    ++k;
  }
  if (y < 0 || m < 0 || d < 0) return 0;
  if (yearDigits <= 2) {
    int century = epoch / 100 * 100;
    y += century;
    if (y < epoch) y += 100;
  }
  return JulianFromYmd(y, m, d);
}

std::string FormattedFromJulian(std::int32_t julian, std::string_view format) {
  std::vector<FormatPart> parts = SplitFormat(format);
  std::string out;
  Ymd d = YmdFromJulian(julian);
  for (const FormatPart& p : parts) {
    if (p.kind == 0) {
      out += p.literal;
      continue;
    }
    if (julian <= 0) {
      out.append(static_cast<std::size_t>(p.width), ' ');
      continue;
    }
    long v = p.kind == 'D' ? d.day : p.kind == 'M' ? d.month : d.year;
    std::string digits = std::to_string(v);
    if (static_cast<int>(digits.size()) < p.width)
      digits.insert(0, static_cast<std::size_t>(p.width) - digits.size(), '0');
    if (static_cast<int>(digits.size()) > p.width)
      digits = digits.substr(digits.size() - static_cast<std::size_t>(p.width));
    out += digits;
  }
  return out;
}

std::int32_t TodayJulian() {
  std::time_t t = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&t, &tmv);
  return JulianFromYmd(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

}  // namespace xbe::expr
