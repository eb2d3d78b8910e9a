#include "platform/xbe/expr/keys.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/errors.h"
#include "platform/xbe/expr/numfmt.h"

namespace xbe::expr {

namespace {

std::string NtxNumber(double v, int length, int decimals) {
  std::string s = StrText(std::fabs(v), length, decimals);
  for (char& c : s)
    if (c == ' ') c = '0';
  if (v < 0 && RoundDecimals(v, decimals) != 0)
    for (char& c : s)
      if (c >= '0' && c <= '9') c = static_cast<char>(0x5C - c);
  return s;
}

std::string CdxDouble(double v) {
  if (v == 0) v = 0;  // -0.0 sorts with 0
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  if (bits & 0x8000000000000000ull) bits = ~bits;
  else bits |= 0x8000000000000000ull;
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (56 - 8 * i)) & 0xFF);
  return out;
}

std::string Fit(std::string s, int length, char pad) {
  s.resize(static_cast<std::size_t>(length < 0 ? 0 : length), pad);
  return s;
}

}  // namespace

KeyLayout KeyLayoutFor(KeyFormat format, const Value& sample) {
  KeyLayout k;
  k.format = format;
  k.type = sample.type;
  switch (sample.type) {
    case Type::kCharacter:
      k.length = static_cast<int>(sample.text.size());
      break;
    case Type::kNumeric:
      if (format == KeyFormat::kCdx) {
        k.length = 8;
      } else {
        k.decimals = sample.decimals > 0 ? sample.decimals : 0;
        k.length = sample.width > 0 ? sample.width : (k.decimals ? 11 + k.decimals : 10);
      }
      break;
    case Type::kDate:
      k.length = 8;
      break;
    default:
      k.length = 1;
      break;
  }
  return k;
}

char KeyPadByte(const KeyLayout& layout) {
  if (layout.format == KeyFormat::kCdx && (layout.type == Type::kNumeric || layout.type == Type::kDate)) return '\0';
  return ' ';
}

std::string EncodeKey(const Value& v, const KeyLayout& layout, std::string_view expression) {
  if (v.type != layout.type)
    throw ExprError(ErrorKind::kTypeMismatch,
                    std::string("Type mismatch: the index key is ") + TypeName(layout.type) + ", the value " +
                        TypeName(v.type),
                    expression);
  switch (v.type) {
    case Type::kCharacter:
      return Fit(v.text, layout.length, ' ');
    case Type::kNumeric:
      if (layout.format == KeyFormat::kCdx) return Fit(CdxDouble(v.number), layout.length, '\0');
      return NtxNumber(v.number, layout.length, layout.decimals);
    case Type::kDate:
      if (layout.format == KeyFormat::kCdx) return Fit(CdxDouble(v.julian), layout.length, '\0');
      return Fit(DtosFromJulian(v.julian), layout.length, ' ');
    case Type::kLogical:
      return Fit(v.logical ? "T" : "F", layout.length, ' ');
    default:
      return std::string(static_cast<std::size_t>(layout.length), ' ');
  }
}

namespace {
// The NTX key of a whole number given as plain digits (what seeks on code fields pass), as the
// general path would make it: its digits with zeros in front. Nullopt for anything else (signs,
// decimals, a number wider than the key or beyond exact doubles), which takes the general path.
std::optional<std::string> PlainNtxInteger(std::string_view text, const KeyLayout& layout) {
  if (layout.format != KeyFormat::kNtx || layout.decimals != 0 || layout.length < 1) return std::nullopt;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t begin = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  const std::size_t end = i;
  if (end == begin || end - begin > 15 || (i < text.size() && text[i] == '.')) return std::nullopt;
  while (begin + 1 < end && text[begin] == '0') ++begin;
  const std::size_t digits = end - begin;
  const std::size_t length = static_cast<std::size_t>(layout.length);
  if (digits > length) return std::nullopt;
  std::string key(length - digits, '0');
  key.append(text.substr(begin, digits));
  return key;
}
}  // namespace

std::string KeyFromText(std::string_view text, const KeyLayout& layout) {
  switch (layout.type) {
    case Type::kNumeric: {
      if (auto key = PlainNtxInteger(text, layout)) return std::move(*key);
      int dec = 0;
      return EncodeKey(Value::Numeric(ValOf(text, &dec)), layout, text);
    }
    case Type::kDate:
      return EncodeKey(Value::Date(JulianFromDtos(text)), layout, text);
    case Type::kLogical: {
      const bool t = !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
      return EncodeKey(Value::Logical(t), layout, text);
    }
    default:
      return std::string(text.substr(0, static_cast<std::size_t>(layout.length)));
  }
}

}  // namespace xbe::expr
