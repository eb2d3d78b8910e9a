#include "platform/xbe/expr/value.h"

#include <utility>

namespace xbe::expr {

const char* TypeName(Type t) {
  switch (t) {
    case Type::kCharacter: return "character";
    case Type::kNumeric: return "numeric";
    case Type::kDate: return "date";
    case Type::kLogical: return "logical";
    case Type::kAny: return "any";
  }
  return "?";
}

Value Value::Character(std::string s) {
  Value v;
  v.type = Type::kCharacter;
  v.text = std::move(s);
  return v;
}

Value Value::Numeric(double n, int width, int decimals) {
  Value v;
  v.type = Type::kNumeric;
  v.number = n;
  v.width = width;
  v.decimals = decimals;
  return v;
}

Value Value::Date(std::int32_t julian) {
  Value v;
  v.type = Type::kDate;
  v.julian = julian < 0 ? 0 : julian;
  return v;
}

Value Value::Logical(bool b) {
  Value v;
  v.type = Type::kLogical;
  v.logical = b;
  return v;
}

}  // namespace xbe::expr
