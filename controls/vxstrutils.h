// String helpers of the editor controls.
#pragma once
#include <string>
#include <string_view>

// The part of `s` from `position` (1-based) up to the next character found in `delimiters`,
// or to the end. `position` moves past that delimiter, or to one past the end: repeated calls
// while position <= length walk the parts; two adjacent delimiters give an empty part, a
// delimiter at the very end gives no empty last part.
std::string NextDelimitedPart(std::string_view s, int& position, std::string_view delimiters);

