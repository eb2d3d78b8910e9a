// The framework's packed decimal value: the native form of BCD fields (precision up to 32
// digits, a fixed number of them after the point).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// 64-bit count of ten-thousandths, the money form the tables store.
using Currency = std::int64_t;

struct TBcd {
  static constexpr int kMaxPrecision = 32;
  std::uint8_t precision = 1;   // digits held
  std::uint8_t scale = 0;       // digits after the point
  std::uint8_t negative = 0;
  std::uint8_t digits[kMaxPrecision] = {};  // most significant first; digits[precision-1] is last
};

// Exact: a currency amount as a BCD of the given precision and scale (20 and 4 for money).
TBcd CurrencyToBcd(Currency value, int precision = 20, int scale = 4);
// Exact to four decimals (further decimals are rounded half away from zero); a value beyond
// the 64-bit range raises rtl::EConvertError.
Currency BcdToCurrency(const TBcd& value);
double BcdToDouble(const TBcd& value);
TBcd DoubleToBcd(double value, int precision = 20, int scale = 4);
// "-12.5"; no trailing zeros after the point, no point for whole numbers.
std::string BcdToStr(const TBcd& value);
// Raises rtl::EConvertError for a text that is no decimal number or does not fit.
TBcd StrToBcd(std::string_view text, int precision = 20, int scale = 4);
// Numeric equality, whatever the precision and scale.
bool BcdEqual(const TBcd& a, const TBcd& b);

}  // namespace db
