#include "platform/db/bcd.h"

#include <cmath>

#include "platform/rtl/exception.h"

namespace db {

namespace {

using Int128 = __int128;

Int128 Pow10(int n) {
  Int128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

int ClampPrecision(int precision) {
  return precision < 1 ? 1 : precision > TBcd::kMaxPrecision ? TBcd::kMaxPrecision : precision;
}

// The unscaled value (value x 10^scale).
Int128 Unscaled(const TBcd& b) {
  Int128 v = 0;
  for (int i = 0; i < b.precision && i < TBcd::kMaxPrecision; ++i) v = v * 10 + b.digits[i];
  return b.negative ? -v : v;
}

// Rescales an unscaled value, rounding half away from zero when digits are dropped.
Int128 Rescale(Int128 v, int from, int to) {
  if (to >= from) return v * Pow10(to - from);
  const Int128 div = Pow10(from - to);
  Int128 q = v / div;
  const Int128 r = v % div;
  if (r * 2 >= div) ++q;
  if (-r * 2 >= div) --q;
  return q;
}

TBcd FromUnscaled(Int128 v, int precision, int scale) {
  TBcd b;
  b.precision = static_cast<std::uint8_t>(ClampPrecision(precision));
  b.scale = static_cast<std::uint8_t>(scale < 0 ? 0 : scale > b.precision ? b.precision : scale);
  b.negative = v < 0 ? 1 : 0;
  Int128 a = v < 0 ? -v : v;
  if (a >= Pow10(b.precision)) throw rtl::EConvertError("BCD overflow");
  for (int i = b.precision - 1; i >= 0; --i) {
    b.digits[i] = static_cast<std::uint8_t>(a % 10);
    a /= 10;
  }
  if (Unscaled(b) == 0) b.negative = 0;
  return b;
}

}  // namespace

TBcd CurrencyToBcd(Currency value, int precision, int scale) {
  return FromUnscaled(Rescale(static_cast<Int128>(value), 4, scale), precision, scale);
}

Currency BcdToCurrency(const TBcd& value) {
  const Int128 v = Rescale(Unscaled(value), value.scale, 4);
  if (v > static_cast<Int128>(INT64_MAX) || v < static_cast<Int128>(INT64_MIN))
    throw rtl::EConvertError("BCD overflow");
  return static_cast<Currency>(v);
}

double BcdToDouble(const TBcd& value) {
  return static_cast<double>(Unscaled(value)) / static_cast<double>(Pow10(value.scale));
}

TBcd DoubleToBcd(double value, int precision, int scale) {
  if (!std::isfinite(value)) throw rtl::EConvertError("BCD overflow");
  const double scaled = std::round(value * std::pow(10.0, scale));
  if (std::fabs(scaled) >= 1e38) throw rtl::EConvertError("BCD overflow");
  return FromUnscaled(static_cast<Int128>(scaled), precision, scale);
}

std::string BcdToStr(const TBcd& value) {
  Int128 v = Unscaled(value);
  const bool negative = v < 0;
  if (negative) v = -v;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  while (static_cast<int>(digits.size()) <= value.scale) digits.insert(digits.begin(), '0');
  std::string whole = digits.substr(0, digits.size() - value.scale);
  std::string frac = digits.substr(digits.size() - value.scale);
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  std::string out = negative ? "-" : "";
  out += whole;
  if (!frac.empty()) out += "." + frac;
  return out;
}

TBcd StrToBcd(std::string_view text, int precision, int scale) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  Int128 v = 0;
  int decimals = 0, count = 0;
  bool point = false;
  for (char c : t) {
    if ((c == '.' || c == ',') && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (++count > 36) throw rtl::EConvertError("'" + std::string(text) + "' is not a valid BCD value");
      v = v * 10 + (c - '0');
      if (point) ++decimals;
    } else {
      count = 0;
      break;
    }
  }
  if (count == 0) throw rtl::EConvertError("'" + std::string(text) + "' is not a valid BCD value");
  return FromUnscaled(Rescale(negative ? -v : v, decimals, scale), precision, scale);
}

bool BcdEqual(const TBcd& a, const TBcd& b) {
  const int scale = a.scale > b.scale ? a.scale : b.scale;
  return Rescale(Unscaled(a), a.scale, scale) == Rescale(Unscaled(b), b.scale, scale);
}

}  // namespace db
