// The settings an evaluation depends on.
#pragma once
#include <cstdint>
#include <string>

namespace xbe::expr {

struct EvalSettings {
  // "=" and the other relational operators on character values: false compares only up to the
  // length of the right operand ("AB" = "A" is true); true compares whole values with trailing
  // blanks not significant. "==" is always exact, byte for byte.
  bool exact = false;
  // CTOD / DTOC / TRANSFORM of dates: letters D, M, Y (yy or yyyy), C (century), any case;
  // everything else is a separator.
  std::string dateFormat = "MM/DD/YYYY";
  // Two-digit years read by CTOD fall into epoch .. epoch + 99.
  int epoch = 1900;
  // Decimals STR gives a computed number that has none of its own.
  int decimals = 2;
  // The julian day DATE() returns; 0 = today by the system clock.
  std::int32_t today = 0;
};

}  // namespace xbe::expr
