// Parameter markers of an SQL text (":name"), numbered by position: the n-th marker becomes
// "?n", so that a name used twice is two parameters, as callers bind them.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace xbe::sql {

struct NumberedText {
  std::string sql;          // the text with "?1", "?2", ... in place of the markers
  std::size_t markers = 0;  // how many there were
};

// Text between single quotes, double quotes, backquotes or square brackets is not scanned, and
// "::" stands for one colon. A marker's name ends where a name character no longer follows
// (a quoted name ends at its closing quote).
NumberedText NumberMarkers(std::string_view text);

}  // namespace xbe::sql
