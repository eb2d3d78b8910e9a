#include "platform/db/variant.h"

#include <cmath>
#include <limits>

#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace db {

Variant Variant::Null() { return Variant(Kind::Null, std::monostate{}); }
Variant Variant::FromCurrency(Currency v) { return Variant(Kind::Currency, v); }
Variant Variant::FromDateTime(TDateTime v) { return Variant(Kind::DateTime, v); }
Variant Variant::FromBytes(std::vector<std::uint8_t> b) { return Variant(Kind::Bytes, std::move(b)); }
Variant Variant::Array(std::vector<Variant> items) { return Variant(Kind::Array, std::move(items)); }

const char* Variant::KindName() const {
  static constexpr const char* kNames[] = {"Empty", "Null", "Boolean", "Integer", "Int64", "Double",
                                           "Currency", "Date", "String", "Bytes", "Array"};
  return kNames[static_cast<int>(kind_)];
}

void Variant::CannotConvert(const char* target) const {
  throw EVariantError(std::string("Não foi possível converter variante do tipo ("_ansi) + KindName() +
                      ") para o tipo (" + target + ")");
}

int Variant::ArrayCount() const {
  return kind_ == Kind::Array ? static_cast<int>(std::get<std::vector<Variant>>(value_).size()) : 0;
}

const Variant& Variant::operator[](int i) const {
  if (i < 0 || i >= ArrayCount())
    throw EVariantError(std::string("Índice de variante fora dos limites"_ansi));
  return std::get<std::vector<Variant>>(value_)[static_cast<std::size_t>(i)];
}

std::string Variant::AsString() const {
  switch (kind_) {
    case Kind::Empty: case Kind::Null: return std::string();
    case Kind::Boolean: return std::get<bool>(value_) ? "True" : "False";
    case Kind::Integer: case Kind::Int64: return rtl::IntToStr(std::get<std::int64_t>(value_));
    case Kind::Double: return rtl::FloatToStr(std::get<double>(value_));
    case Kind::Currency: return BcdToStr(CurrencyToBcd(std::get<std::int64_t>(value_)));
    case Kind::DateTime: return DateTimeToStr(std::get<double>(value_));
    case Kind::String: return std::get<std::string>(value_);
    case Kind::Bytes: {
      const auto& b = std::get<std::vector<std::uint8_t>>(value_);
      return std::string(b.begin(), b.end());
    }
    case Kind::Array: break;
  }
  CannotConvert("String");
}

std::int64_t Variant::AsInt64() const {
  switch (kind_) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return std::get<bool>(value_) ? -1 : 0;
    case Kind::Integer: case Kind::Int64: return std::get<std::int64_t>(value_);
    case Kind::Double: case Kind::DateTime: {
      const double d = std::round(std::get<double>(value_));
      if (std::fabs(d) < 9.2e18) return static_cast<std::int64_t>(d);
      break;
    }
    case Kind::Currency: {
      const std::int64_t c = std::get<std::int64_t>(value_);
      return (c >= 0 ? c + 5000 : c - 5000) / 10000;
    }
    case Kind::String: {
      std::int64_t v = 0;
      try {
        v = rtl::StrToInt64(std::get<std::string>(value_));
      } catch (const rtl::EConvertError&) {
        CannotConvert("Integer");
      }
      return v;
    }
    default: break;
  }
  CannotConvert("Integer");
}

int Variant::AsInteger() const {
  const std::int64_t v = AsInt64();
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
    CannotConvert("Integer");
  return static_cast<int>(v);
}

double Variant::AsFloat() const {
  switch (kind_) {
    case Kind::Empty: return 0.0;
    case Kind::Boolean: return std::get<bool>(value_) ? -1.0 : 0.0;
    case Kind::Integer: case Kind::Int64: return static_cast<double>(std::get<std::int64_t>(value_));
    case Kind::Double: case Kind::DateTime: return std::get<double>(value_);
    case Kind::Currency: return static_cast<double>(std::get<std::int64_t>(value_)) / 10000.0;
    case Kind::String: {
      double v = 0;
      if (rtl::TryStrToFloat(std::get<std::string>(value_), v)) return v;
      break;
    }
    default: break;
  }
  CannotConvert("Double");
}

bool Variant::AsBoolean() const {
  switch (kind_) {
    case Kind::Empty: return false;
    case Kind::Boolean: return std::get<bool>(value_);
    case Kind::Integer: case Kind::Int64: case Kind::Currency: return std::get<std::int64_t>(value_) != 0;
    case Kind::Double: return std::get<double>(value_) != 0.0;
    case Kind::String: {
      const std::string& s = std::get<std::string>(value_);
      if (rtl::SameText(s, "True")) return true;
      if (rtl::SameText(s, "False")) return false;
      int v = 0;
      if (rtl::TryStrToInt(s, v)) return v != 0;
      break;
    }
    default: break;
  }
  CannotConvert("Boolean");
}

TDateTime Variant::AsDateTime() const {
  switch (kind_) {
    case Kind::Empty: return 0.0;
    case Kind::Integer: case Kind::Int64: return static_cast<double>(std::get<std::int64_t>(value_));
    case Kind::Double: case Kind::DateTime: return std::get<double>(value_);
    case Kind::Currency: return static_cast<double>(std::get<std::int64_t>(value_)) / 10000.0;
    case Kind::String: {
      try {
        return StrToDateTime(std::get<std::string>(value_));
      } catch (const rtl::EConvertError&) {
        break;
      }
    }
    default: break;
  }
  CannotConvert("Date");
}

Currency Variant::AsCurrency() const {
  switch (kind_) {
    case Kind::Currency: return std::get<std::int64_t>(value_);
    case Kind::Integer: case Kind::Int64: return std::get<std::int64_t>(value_) * 10000;
    case Kind::String: {
      try {
        return BcdToCurrency(StrToBcd(std::get<std::string>(value_)));
      } catch (const rtl::EConvertError&) {
        break;
      }
    }
    default: {
      if (kind_ == Kind::Array || kind_ == Kind::Bytes || kind_ == Kind::Null) break;
      const double d = std::round(AsFloat() * 10000.0);
      if (std::fabs(d) < 9.2e18) return static_cast<Currency>(d);
    }
  }
  CannotConvert("Currency");
}

std::vector<std::uint8_t> Variant::AsBytes() const {
  if (kind_ == Kind::Bytes) return std::get<std::vector<std::uint8_t>>(value_);
  if (kind_ == Kind::String) {
    const std::string& s = std::get<std::string>(value_);
    return std::vector<std::uint8_t>(s.begin(), s.end());
  }
  if (kind_ == Kind::Empty) return {};
  CannotConvert("Bytes");
}

bool operator==(const Variant& a, const Variant& b) {
  return a.kind_ == b.kind_ && a.value_ == b.value_;
}

}  // namespace db
