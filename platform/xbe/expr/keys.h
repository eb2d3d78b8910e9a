// Index keys: an expression's value encoded to the fixed key bytes of an NTX or CDX order.
//
// Character keys are padded with blanks (or cut) to the key length in both formats. NTX stores
// numbers as their STR text with leading zeros (negative numbers with each digit d replaced by
// 0x5C - d, so that they sort below the positive ones) and dates as DTOS text; CDX stores
// numbers and dates (as julian day number) as big-endian IEEE doubles whose sign bit is flipped
// (positive) or all of whose bits are inverted (negative), so that bytes sort like values.
#pragma once
#include <string>
#include <string_view>

#include "platform/xbe/expr/value.h"

namespace xbe::expr {

enum class KeyFormat { kNtx, kCdx };

struct KeyLayout {
  KeyFormat format = KeyFormat::kNtx;
  Type type = Type::kCharacter;  // the key expression's result type
  int length = 0;                // key bytes
  int decimals = 0;              // NTX numeric keys
};

// The layout a new order gets for key values like `sample` (evaluated on a blank record):
// character: the text length; NTX numbers: the value's width (10 when unknown) and decimals;
// NTX dates 8; CDX numbers and dates 8; logical 1.
KeyLayout KeyLayoutFor(KeyFormat format, const Value& sample);
// The key bytes (exactly layout.length). Raises ExprError(kTypeMismatch) when the value's type
// is not the layout's.
std::string EncodeKey(const Value& v, const KeyLayout& layout, std::string_view expression);
// A key given as text (scope texts): character keys take the text as it is (a prefix when
// shorter); numeric keys read a number; date keys read YYYYMMDD.
std::string KeyFromText(std::string_view text, const KeyLayout& layout);
// The byte that fills the unused end of a key: blank for character keys, zero for CDX binary.
char KeyPadByte(const KeyLayout& layout);

}  // namespace xbe::expr
