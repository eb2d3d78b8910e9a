// The values an xBase expression computes: character, numeric, date and logical.
#pragma once
#include <cstdint>
#include <string>

namespace xbe::expr {

enum class Type : char {
  kCharacter = 'C',
  kNumeric = 'N',
  kDate = 'D',
  kLogical = 'L',
  kAny = 'U',  // only as a static type: known at evaluation time only (IIF with mixed branches)
};

const char* TypeName(Type t);

struct Value {
  Type type = Type::kLogical;
  std::string text;         // character
  double number = 0;        // numeric
  std::int32_t julian = 0;  // date: julian day number, 0 = the empty date
  bool logical = false;     // logical
  // Numeric display form (STR without a width, index key size): -1 when not known.
  int width = -1;
  int decimals = -1;

  static Value Character(std::string s);
  static Value Numeric(double n, int width = -1, int decimals = -1);
  static Value Date(std::int32_t julian);
  static Value Logical(bool b);
};

}  // namespace xbe::expr
