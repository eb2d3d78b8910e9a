// Julian day numbers (standard numbering: 2415019 is 30 December 1899) and the date texts of
// expressions: DTOS/STOD storage form and the CTOD/DTOC form steered by a date format.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace xbe::expr {

struct Ymd {
  int year = 0;
  int month = 0;
  int day = 0;
};

std::int32_t JulianFromYmd(int year, int month, int day);  // 0 when not a valid date
Ymd YmdFromJulian(std::int32_t julian);                    // {0,0,0} for 0
// "YYYYMMDD" -> julian; blanks, empty text and invalid dates give 0 (the empty date).
std::int32_t JulianFromDtos(std::string_view s);
std::string DtosFromJulian(std::int32_t julian);  // eight blanks for the empty date
// Text in the date format -> julian (0 when it is no valid date).
std::int32_t JulianFromFormatted(std::string_view s, std::string_view format, int epoch);
std::string FormattedFromJulian(std::int32_t julian, std::string_view format);
std::int32_t TodayJulian();

}  // namespace xbe::expr
