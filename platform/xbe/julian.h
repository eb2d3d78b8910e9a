// Julian day numbers (day 2415019 is 30 December 1899, 1721426 is 1 January 0001, proleptic
// Gregorian) and the fixed storage text of dates, CCYYMMDD.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xbe {

struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

std::int64_t JulianFromCivil(int year, int month, int day);
CivilDate CivilFromJulian(std::int64_t julian);
bool IsValidCivil(int year, int month, int day);

// "CCYYMMDD" -> julian; nullopt for a text that is not a valid date. An all-blank (or empty)
// text is the empty date, julian 0.
std::optional<std::int64_t> JulianFromStorageText(std::string_view text);
// Whether the eight bytes at `text` are a valid date as CCYYMMDD digits (so that the text a
// date conversion gives back is those very bytes).
bool IsCivilDateText(const char* text);
// julian -> "CCYYMMDD"; julian <= 0 gives eight blanks.
std::string StorageTextFromJulian(std::int64_t julian);

}  // namespace xbe
