// Number texts with the xBase rules: rounding half away from zero, STR's right-aligned fixed
// form with asterisks when the number does not fit, VAL's lenient reading.
#pragma once
#include <string>
#include <string_view>

namespace xbe::expr {

// Rounds half away from zero, correcting the binary error of decimal fractions (2.675 -> 2.68).
double RoundDecimals(double v, int decimals);
// Fixed text with `decimals` decimals, '.' separator, no padding ("-12.50").
std::string FixedText(double v, int decimals);
// STR(v, width, decimals): right-aligned in width; width asterisks when it does not fit.
std::string StrText(double v, int width, int decimals);
// VAL: leading blanks, sign, digits, '.', digits; the rest ignored. Sets the count of decimals seen.
double ValOf(std::string_view s, int* decimals);

}  // namespace xbe::expr
