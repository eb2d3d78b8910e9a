#include "platform/db/datetime.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "platform/rtl/exception.h"

namespace db {

std::string HostShortDateFormat = "dd/MM/yyyy";
char HostDateSeparator = '/';
char HostDecimalSeparator = '.';

namespace {

constexpr int kDayNumberOf1970 = 719163;  // 1970-01-01

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

TDateTime Combine(double days, double msecs) {
  const double frac = msecs / static_cast<double>(kMSecsPerDay);
  return days >= 0 ? days + frac : days - frac;
}

std::string Pad(int v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

[[noreturn]] void BadText(const char* what, std::string_view text) {
  throw rtl::EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

// The numbers of a text, split at anything that is not a digit.
std::vector<int> NumbersOf(std::string_view text, bool& ok) {
  std::vector<int> numbers;
  ok = true;
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      long v = 0;
      std::size_t start = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + (text[i] - '0');
        if (i - start > 8) { ok = false; return numbers; }
        ++i;
      }
      numbers.push_back(static_cast<int>(v));
    } else {
      const char c = text[i];
      if (c != HostDateSeparator && c != '/' && c != '-' && c != '.' && c != ':' && c != ' ')
        ok = false;
      ++i;
    }
  }
  return numbers;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool TryParseDate(std::string_view text, TDateTime& out) {
  bool ok = false;
  const std::vector<int> n = NumbersOf(text, ok);
  if (!ok || n.size() != 3) return false;
  // The order of day, month and year follows the short date format.
  int posD = -1, posM = -1, posY = -1, order = 0;
  char last = 0;
  for (char c : HostShortDateFormat) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((u == 'D' || u == 'M' || u == 'Y') && u != last) {
      if (u == 'D' && posD < 0) posD = order++;
      if (u == 'M' && posM < 0) posM = order++;
      if (u == 'Y' && posY < 0) posY = order++;
    }
    last = u;
  }
  if (posD < 0 || posM < 0 || posY < 0) { posD = 0; posM = 1; posY = 2; }
  int year = n[static_cast<std::size_t>(posY)];
  if (year < 100 && text.size() < 9) year += year < 50 ? 2000 : 1900;
  const int month = n[static_cast<std::size_t>(posM)];
  const int day = n[static_cast<std::size_t>(posD)];
  if (!IsValidDate(year, month, day)) return false;
  out = EncodeDate(year, month, day);
  return true;
}

bool TryParseTime(std::string_view text, TDateTime& out) {
  bool ok = false;
  const std::vector<int> n = NumbersOf(text, ok);
  if (!ok || n.size() < 2 || n.size() > 4) return false;
  const int h = n[0], m = n[1], s = n.size() > 2 ? n[2] : 0, ms = n.size() > 3 ? n[3] : 0;
  if (h > 23 || m > 59 || s > 59 || ms > 999) return false;
  out = EncodeTime(h, m, s, ms);
  return true;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw rtl::EConvertError("Invalid argument to date encode");
  const std::int64_t dayNumber =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kDayNumberOf1970;
  return static_cast<double>(dayNumber - kDateDelta);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      msec < 0 || msec > 999)
    throw rtl::EConvertError("Invalid argument to time encode");
  return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) /
         static_cast<double>(kMSecsPerDay);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  const std::int64_t dayNumber = static_cast<std::int64_t>(std::trunc(value)) + kDateDelta;
  CivilFromDays(dayNumber - kDayNumberOf1970, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  std::int32_t ms = DateTimeToTimeMSecs(value);
  msec = ms % 1000;
  ms /= 1000;
  second = ms % 60;
  ms /= 60;
  minute = ms % 60;
  hour = ms / 60;
}

std::int32_t DateTimeToDayNumber(TDateTime value) {
  return static_cast<std::int32_t>(std::trunc(value)) + kDateDelta;
}

TDateTime DayNumberToDateTime(std::int32_t dayNumber) {
  return static_cast<double>(dayNumber) - kDateDelta;
}

std::int32_t DateTimeToTimeMSecs(TDateTime value) {
  const double frac = std::fabs(value - std::trunc(value));
  std::int64_t ms = std::llround(frac * static_cast<double>(kMSecsPerDay));
  if (ms >= kMSecsPerDay) ms = kMSecsPerDay - 1;
  return static_cast<std::int32_t>(ms);
}

TDateTime TimeMSecsToDateTime(std::int32_t msecs) {
  return static_cast<double>(msecs) / static_cast<double>(kMSecsPerDay);
}

double DateTimeToMSecs(TDateTime value) {
  return static_cast<double>(DateTimeToDayNumber(value)) * static_cast<double>(kMSecsPerDay) +
         DateTimeToTimeMSecs(value);
}

TDateTime MSecsToDateTime(double msecs) {
  const double day = std::trunc(msecs / static_cast<double>(kMSecsPerDay));
  const double time = msecs - day * static_cast<double>(kMSecsPerDay);
  return Combine(day - kDateDelta, time);
}

std::string DateToStr(TDateTime value) {
  int y = 0, m = 0, d = 0;
  DecodeDate(value, y, m, d);
  std::string out;
  const std::string& f = HostShortDateFormat;
  for (std::size_t i = 0; i < f.size();) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(f[i])));
    std::size_t run = 1;
    while (i + run < f.size() &&
           std::toupper(static_cast<unsigned char>(f[i + run])) == static_cast<unsigned char>(u))
      ++run;
    if (u == 'D') {
      out += Pad(d, run >= 2 ? 2 : 1);
    } else if (u == 'M') {
      out += Pad(m, run >= 2 ? 2 : 1);
    } else if (u == 'Y') {
      out += run <= 2 ? Pad(y % 100, 2) : Pad(y, 4);
    } else {
      for (std::size_t k = 0; k < run; ++k) out += f[i] == '/' ? HostDateSeparator : f[i];
    }
    i += run;
  }
  return out;
}

std::string TimeToStr(TDateTime value) {
  int h = 0, n = 0, s = 0, ms = 0;
  DecodeTime(value, h, n, s, ms);
  return Pad(h, 2) + ":" + Pad(n, 2) + ":" + Pad(s, 2);
}

std::string DateTimeToStr(TDateTime value) {
  std::string text = DateToStr(value);
  if (DateTimeToTimeMSecs(value) != 0) text += " " + TimeToStr(value);
  return text;
}

TDateTime StrToDate(std::string_view text) {
  TDateTime v = 0;
  if (!TryParseDate(TrimBlanks(text), v)) BadText("date", text);
  return v;
}

TDateTime StrToTime(std::string_view text) {
  TDateTime v = 0;
  if (!TryParseTime(TrimBlanks(text), v)) BadText("time", text);
  return v;
}

TDateTime StrToDateTime(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  const std::size_t blank = t.find(' ');
  TDateTime date = 0, time = 0;
  if (blank == std::string_view::npos) {
    if (!TryParseDate(t, date)) BadText("date and time", text);
    return date;
  }
  if (!TryParseDate(t.substr(0, blank), date) || !TryParseTime(TrimBlanks(t.substr(blank)), time))
    BadText("date and time", text);
  return date >= 0 ? date + time : date - time;
}

}  // namespace db
