// String routines on code page 1252 text, with the run-time library's rules.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

// ASCII-only case mapping: only 'a'..'z' / 'A'..'Z' change.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// 1252-aware case mapping (accented letters too).
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// The platform's locale-aware case-insensitive comparison in code page 1252: <0, 0 or >0.
// Letters compare without regard to case or accent first, then accented after plain.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// Locale-aware, case-sensitive.
int AnsiCompareStr(std::string_view a, std::string_view b);
// ASCII case-insensitive comparison (<0, 0, >0) and equality.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Removal of leading / trailing blanks and control characters (every byte <= ' ').
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Integers in decimal. Parsing takes optional leading blanks, an optional sign and digits (or "$" /
// "0x" hexadecimal); anything else, overflow included, raises EConvertError
// "'%s' is not a valid integer value".
std::string IntToStr(std::int64_t v);
std::int64_t StrToInt64(std::string_view s);
int StrToInt(std::string_view s);
bool TryStrToInt(std::string_view s, int& out);
int StrToIntDef(std::string_view s, int def);

// Floats with "." as the decimal separator in every text the system builds, whatever the host's
// locale. FloatToStr gives the shortest text that reads back to the same value ("1.5", "-4",
// "0.1", "1e+20"); not-a-number and infinities are "NAN", "INF", "-INF".
std::string FloatToStr(double v);
// Fixed number of decimals (0..18): FloatToStrFixed(3.14159, 2) == "3.14". The value is taken
// to 15 significant digits, then rounded half away from zero ("1.005" -> "1.01").
std::string FloatToStrFixed(double v, int decimals);
// A plain decimal text (blanks, a sign, digits with at most one ".") with exactly `decimals`
// decimals, rounded half away from zero on its digits, never through a binary value:
// "2.675" -> "2.68", "-0.125" -> "-0.13", "99.995" -> "100.00"; a zero result has no sign.
// Any other text (an exponent included) raises EConvertError as StrToFloat does.
std::string RoundDecimalText(std::string_view text, int decimals);
// Blanks around the number, a sign, digits with "." and an exponent; anything else ("1,5",
// "inf", overflow) raises EConvertError "'%s' is not a valid floating point value".
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& out);

// "%s" substitution (the only format the system's own texts use): the first "%s" or "%d" takes
// `arg`, "%%" gives "%", anything else stays as written.
std::string FormatS(std::string_view pattern, std::string_view arg);

}  // namespace rtl
