// The framework's date-time value and the host's date settings that field texts follow.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// Days since 1899-12-30; the fraction is the time of day (its magnitude, also before 1899).
using TDateTime = double;

// Day number 1 is 0001-01-01; a date-time's whole days plus this delta give the day number.
inline constexpr int kDateDelta = 693594;
inline constexpr std::int64_t kMSecsPerDay = 86400000;

// Process-wide short date format (letters d, m, y in either case; "/" stands for the date
// separator), date separator and decimal separator, read at call time by field texts and the
// conversions below. The settings component rewrites the first two.
extern std::string HostShortDateFormat;   // "dd/MM/yyyy"
extern char HostDateSeparator;            // '/'
extern char HostDecimalSeparator;         // '.'

bool IsValidDate(int year, int month, int day);
// Raise rtl::EConvertError for an impossible date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Native forms of date and time fields.
std::int32_t DateTimeToDayNumber(TDateTime value);          // whole days + kDateDelta
TDateTime DayNumberToDateTime(std::int32_t dayNumber);
std::int32_t DateTimeToTimeMSecs(TDateTime value);          // milliseconds since midnight
TDateTime TimeMSecsToDateTime(std::int32_t msecs);
double DateTimeToMSecs(TDateTime value);                     // day number x 86400000 + time
TDateTime MSecsToDateTime(double msecs);

// Texts by the host settings: dates by HostShortDateFormat, times as hh:nn:ss, date-times as
// both (the time left out when it is midnight).
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value);
// Parse by the same rules; raise rtl::EConvertError "'%s' is not a valid date" (time,
// date and time) when the text does not fit.
TDateTime StrToDate(std::string_view text);
TDateTime StrToTime(std::string_view text);
TDateTime StrToDateTime(std::string_view text);

}  // namespace db
