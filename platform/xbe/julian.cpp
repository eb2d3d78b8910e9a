#include "platform/xbe/julian.h"

namespace xbe {

std::int64_t JulianFromCivil(int year, int month, int day) {
  // Fliegel and Van Flandern, valid for the whole proleptic Gregorian range we store.
  const std::int64_t a = (14 - month) / 12;
  const std::int64_t y = static_cast<std::int64_t>(year) + 4800 - a;
  const std::int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

CivilDate CivilFromJulian(std::int64_t julian) {
  const std::int64_t a = julian + 32044;
  const std::int64_t b = (4 * a + 3) / 146097;
  const std::int64_t c = a - 146097 * b / 4;
  const std::int64_t d = (4 * c + 3) / 1461;
  const std::int64_t e = c - 1461 * d / 4;
  const std::int64_t m = (5 * e + 2) / 153;
  CivilDate r;
  r.day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  r.month = static_cast<int>(m + 3 - 12 * (m / 10));
  r.year = static_cast<int>(100 * b + d - 4800 + m / 10);
  return r;
}

bool IsValidCivil(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dim = kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) dim = 29;
  return day <= dim;
}

std::optional<std::int64_t> JulianFromStorageText(std::string_view text) {
  bool blank = true;
  for (char c : text)
    if (c != ' ' && c != '\0') blank = false;
  if (blank) return 0;
  if (text.size() < 8) return std::nullopt;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v[i] = text[i] - '0';
  }
  for (std::size_t i = 8; i < text.size(); ++i)
    if (text[i] != ' ' && text[i] != '\0') return std::nullopt;
  const int year = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  const int month = v[4] * 10 + v[5];
  const int day = v[6] * 10 + v[7];
  if (!IsValidCivil(year, month, day)) return std::nullopt;
  return JulianFromCivil(year, month, day);
}

std::string StorageTextFromJulian(std::int64_t julian) {
  if (julian <= 0) return std::string(8, ' ');
  const CivilDate d = CivilFromJulian(julian);
  if (d.year < 0 || d.year > 9999) return std::string(8, ' ');
  char buf[9];
  const int parts[8] = {d.year / 1000, d.year / 100 % 10, d.year / 10 % 10, d.year % 10,
                        d.month / 10, d.month % 10, d.day / 10, d.day % 10};
  for (int i = 0; i < 8; ++i) buf[i] = static_cast<char>('0' + parts[i]);
  return std::string(buf, 8);
}

}  // namespace xbe
