// Dates as text in the engine's date format (XbeSetDateFormat): "d"/"dd" day, "m"/"mm" month,
// "yy" two-digit year, "yyyy" or "ccyy" four-digit year; any other character is a separator.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xbe {

std::string FormatDate(std::int64_t julian, std::string_view format);
// Parses a text written in the format; a two-digit year reads as 2000 + year below 50, else
// 1900 + year.
std::optional<std::int64_t> ParseDate(std::string_view text, std::string_view format);

}  // namespace xbe
