// A small variant: the values that locate, lookup, key, parameter and field Value exchange.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/rtl/exception.h"

namespace db {

class EVariantError : public rtl::Exception {
 public:
  using Exception::Exception;
};

class Variant {
 public:
  enum class Kind { Empty, Null, Boolean, Integer, Int64, Double, Currency, DateTime, String, Bytes, Array };

  Variant() = default;
  Variant(bool v) : kind_(Kind::Boolean), value_(v) {}
  Variant(int v) : kind_(Kind::Integer), value_(static_cast<std::int64_t>(v)) {}
  Variant(std::int64_t v) : kind_(Kind::Int64), value_(v) {}
  Variant(double v) : kind_(Kind::Double), value_(v) {}
  Variant(std::string v) : kind_(Kind::String), value_(std::move(v)) {}
  Variant(const char* v) : kind_(Kind::String), value_(std::string(v)) {}

  static Variant Null();
  static Variant FromCurrency(Currency tenThousandths);
  static Variant FromDateTime(TDateTime value);
  static Variant FromBytes(std::vector<std::uint8_t> bytes);
  static Variant Array(std::vector<Variant> items);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool IsEmpty() const { return kind_ == Kind::Empty; }
  // Null or empty: "no value".
  bool IsClear() const { return kind_ == Kind::Null || kind_ == Kind::Empty; }
  bool IsArray() const { return kind_ == Kind::Array; }
  int ArrayCount() const;
  // Element i of an array; raises EVariantError outside 0 .. count-1 or on a non-array.
  const Variant& operator[](int i) const;

  // Conversions; each raises EVariantError when the value has no such form.
  std::string AsString() const;
  int AsInteger() const;
  std::int64_t AsInt64() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  Currency AsCurrency() const;
  std::vector<std::uint8_t> AsBytes() const;

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string,
                               std::vector<std::uint8_t>, std::vector<Variant>>;
  Variant(Kind kind, Storage value) : kind_(kind), value_(std::move(value)) {}
  [[noreturn]] void CannotConvert(const char* target) const;
  const char* KindName() const;

  Kind kind_ = Kind::Empty;
  Storage value_;
};

}  // namespace db
