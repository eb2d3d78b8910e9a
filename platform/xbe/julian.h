// Julian day numbers (day 2415019 is 30 December 1899, 1721426 is 1 January 0001, proleptic
// Gregorian) and the fixed storage text of dates, CCYYMMDD.
#pragma once
#include <cstdint>
#include <cstring>
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
inline bool IsCivilDateText(const char* text) {
  // All eight bytes digits at once: none with its top bit set, none below '0' (taking '0'
  // away borrows into the top bit), none above '9' (adding 0x46 carries into it).
  std::uint64_t x;
  std::memcpy(&x, text, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kTops = kOnes * 0x80;
  if ((x & kTops) || ((x - kOnes * '0') & ~x & kTops) || ((x + kOnes * 0x46) & kTops)) return false;
  const int year = (text[0] - '0') * 1000 + (text[1] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
  const int month = (text[4] - '0') * 10 + (text[5] - '0'), day = (text[6] - '0') * 10 + (text[7] - '0');
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  if (day <= 28) return true;
  return IsValidCivil(year, month, day);
}

// julian -> "CCYYMMDD"; julian <= 0 gives eight blanks.
std::string StorageTextFromJulian(std::int64_t julian);

}  // namespace xbe
