#include "platform/xbe/expr/numfmt.h"

#include <cctype>
#include <charconv>
#include <string>
#include <cmath>
#include <cstdio>

namespace xbe::expr {

double RoundDecimals(double v, int decimals) {
  if (!std::isfinite(v)) return v;
  if (decimals > 15) decimals = 15;
  if (decimals < -15) decimals = -15;
  const double p = std::pow(10.0, decimals);
  const double scaled = v * p;
  if (std::fabs(scaled) >= 1e17) return v;
  // A value like 2.675 is 2.67499999... in binary; a relative nudge brings it to the half it
  // was written as.
  const double nudged = scaled + std::copysign(std::fabs(scaled) * 4e-16 + 1e-9, scaled);
  return std::trunc(nudged + std::copysign(0.5, scaled)) / p;
}

std::string FixedText(double v, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 15) decimals = 15;
  const double r = RoundDecimals(v, decimals);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
  std::string s = buf;
  if (s == "-0" || (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos))
    s.erase(0, 1);  // no "-0.00"
  return s;
}

std::string StrText(double v, int width, int decimals) {
  if (width <= 0) width = 10;
  if (width > 255) width = 255;
  if (decimals < 0) decimals = 0;
  if (decimals >= width) decimals = width > 1 ? width - 2 : 0;
  if (!std::isfinite(v)) return std::string(static_cast<std::size_t>(width), '*');
  std::string s = FixedText(v, decimals);
  if (static_cast<int>(s.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

double ValOf(std::string_view s, int* decimals) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string text;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    if (s[i] == '-') text += '-';
    ++i;
  }
  int dec = 0;
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    text += s[i++];
    digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    text += s[i++];
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
      text += s[i++];
      ++dec;
      digits = true;
    }
  }
  if (decimals) *decimals = dec;
  if (!digits) return 0;
  if (text.back() == '.') text.pop_back();
  if (text.size() > 300) return 0;
  // Correctly rounded, whatever the locale: the same double the DOS programs computed.
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

}  // namespace xbe::expr
