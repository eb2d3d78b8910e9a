#include "platform/db/fieldclasses.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/rtl/strutils.h"

namespace db {

namespace {

// Number texts follow the host decimal separator.
std::string WithHostSeparator(std::string text) {
  if (HostDecimalSeparator != '.')
    for (char& c : text)
      if (c == '.') c = HostDecimalSeparator;
  return text;
}

std::string WithPoint(std::string text) {
  if (HostDecimalSeparator != '.')
    for (char& c : text)
      if (c == HostDecimalSeparator) c = '.';
  return text;
}

bool IsBlank(const std::string& s) { return rtl::Trim(s).empty(); }

}  // namespace

// ---- string ---------------------------------------------------------------------------------

TStringField::TStringField(classes::TComponent* owner) : TField(owner) {
  SetDataType(ftString);
  SetSize(20);
}

std::string TStringField::GetAsString() const {
  std::vector<Byte> buffer;
  if (!ReadNative(buffer)) return std::string();
  const char* text = reinterpret_cast<const char*>(buffer.data());
  return std::string(text, strnlen(text, static_cast<std::size_t>(Size())));
}

void TStringField::SetAsStringValue(const std::string& v) {
  std::vector<Byte> buffer(static_cast<std::size_t>(DataSize()), Byte{0});
  std::memcpy(buffer.data(), v.data(), std::min(v.size(), static_cast<std::size_t>(Size())));
  SetData(buffer.data());
}

int TStringField::GetAsInteger() const { return rtl::StrToInt(GetAsString()); }
void TStringField::SetAsIntegerValue(int v) { SetAsStringValue(rtl::IntToStr(v)); }
double TStringField::GetAsFloat() const { return rtl::StrToFloat(WithPoint(GetAsString())); }
void TStringField::SetAsFloatValue(double v) { SetAsStringValue(WithHostSeparator(rtl::FloatToStr(v))); }

bool TStringField::GetAsBoolean() const {
  const std::string s = rtl::Trim(GetAsString());
  if (s.empty()) return false;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  if (c == 'T' || c == 'Y') return true;
  if (c == 'F' || c == 'N') return false;
  AccessError("Boolean");
}

void TStringField::SetAsBooleanValue(bool v) { SetAsStringValue(v ? "T" : "F"); }
TDateTime TStringField::GetAsDateTime() const { return StrToDateTime(GetAsString()); }
void TStringField::SetAsDateTimeValue(TDateTime v) { SetAsStringValue(DateTimeToStr(v)); }

Variant TStringField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsString());
}

void TStringField::SetAsVariantValue(const Variant& v) { SetAsStringValue(v.AsString()); }

// ---- integers -------------------------------------------------------------------------------

TIntegerField::TIntegerField(classes::TComponent* owner) : TNumericField(owner) { SetDataType(ftInteger); }

void TIntegerField::StoreInteger(std::int64_t v) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    RangeError(rtl::IntToStr(v));
  const std::int32_t native = static_cast<std::int32_t>(v);
  SetData(&native);
}

bool TIntegerField::LoadInteger(std::int64_t& v) const {
  std::int32_t native = 0;
  if (!GetData(&native)) return false;
  v = native;
  return true;
}

std::string TIntegerField::GetAsString() const {
  std::int64_t v = 0;
  return LoadInteger(v) ? rtl::IntToStr(v) : std::string();
}

void TIntegerField::SetAsStringValue(const std::string& v) {
  if (IsBlank(v))
    Clear();
  else
    StoreInteger(rtl::StrToInt64(v));
}

int TIntegerField::GetAsInteger() const {
  std::int64_t v = 0;
  return LoadInteger(v) ? static_cast<int>(v) : 0;
}

void TIntegerField::SetAsIntegerValue(int v) { StoreInteger(v); }
double TIntegerField::GetAsFloat() const { return GetAsInteger(); }

void TIntegerField::SetAsFloatValue(double v) {
  const double r = std::round(v);
  if (!(std::fabs(r) < 9.0e18)) RangeError(rtl::FloatToStr(v));
  StoreInteger(static_cast<std::int64_t>(r));
}

Variant TIntegerField::GetAsVariant() const {
  std::int64_t v = 0;
  if (!LoadInteger(v)) return Variant::Null();
  return Variant(static_cast<int>(v));
}

void TIntegerField::SetAsVariantValue(const Variant& v) { StoreInteger(v.AsInt64()); }

TSmallintField::TSmallintField(classes::TComponent* owner) : TIntegerField(owner) { SetDataType(ftSmallint); }

void TSmallintField::StoreInteger(std::int64_t v) {
  if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
    RangeError(rtl::IntToStr(v));
  const std::int16_t native = static_cast<std::int16_t>(v);
  SetData(&native);
}

bool TSmallintField::LoadInteger(std::int64_t& v) const {
  std::int16_t native = 0;
  if (!GetData(&native)) return false;
  v = native;
  return true;
}

TWordField::TWordField(classes::TComponent* owner) : TIntegerField(owner) { SetDataType(ftWord); }

void TWordField::StoreInteger(std::int64_t v) {
  if (v < 0 || v > std::numeric_limits<std::uint16_t>::max()) RangeError(rtl::IntToStr(v));
  const std::uint16_t native = static_cast<std::uint16_t>(v);
  SetData(&native);
}

bool TWordField::LoadInteger(std::int64_t& v) const {
  std::uint16_t native = 0;
  if (!GetData(&native)) return false;
  v = native;
  return true;
}

TAutoIncField::TAutoIncField(classes::TComponent* owner) : TIntegerField(owner) { SetDataType(ftAutoInc); }

// ---- float and currency ---------------------------------------------------------------------

TFloatField::TFloatField(classes::TComponent* owner) : TNumericField(owner) { SetDataType(ftFloat); }

std::string TFloatField::GetAsString() const {
  double v = 0;
  return GetData(&v) ? WithHostSeparator(rtl::FloatToStr(v)) : std::string();
}

void TFloatField::SetAsStringValue(const std::string& v) {
  if (IsBlank(v))
    Clear();
  else
    SetAsFloatValue(rtl::StrToFloat(WithPoint(rtl::Trim(v))));
}

int TFloatField::GetAsInteger() const {
  const double v = GetAsFloat();
  if (!(std::fabs(v) < 2147483647.5)) RangeError(rtl::FloatToStr(v));
  return static_cast<int>(std::lround(v));
}

void TFloatField::SetAsIntegerValue(int v) { SetAsFloatValue(v); }

double TFloatField::GetAsFloat() const {
  double v = 0;
  return GetData(&v) ? v : 0.0;
}

void TFloatField::SetAsFloatValue(double v) { SetData(&v); }

db::Currency TFloatField::GetAsCurrency() const { return TField::GetAsCurrency(); }
void TFloatField::SetAsCurrencyValue(db::Currency v) { SetAsFloatValue(static_cast<double>(v) / 10000.0); }

Variant TFloatField::GetAsVariant() const {
  double v = 0;
  if (!GetData(&v)) return Variant::Null();
  return Variant(v);
}

void TFloatField::SetAsVariantValue(const Variant& v) { SetAsFloatValue(v.AsFloat()); }

TCurrencyField::TCurrencyField(classes::TComponent* owner) : TFloatField(owner) {
  SetDataType(ftCurrency);
  SetCurrency(true);
}

// ---- BCD ------------------------------------------------------------------------------------

TBCDField::TBCDField(classes::TComponent* owner) : TNumericField(owner) {
  SetDataType(ftBCD);
  SetSize(4);
}

void TBCDField::StoreBcd(const TBcd& v) { SetData(&v); }

std::string TBCDField::GetAsString() const {
  TBcd v;
  return GetData(&v) ? WithHostSeparator(BcdToStr(v)) : std::string();
}

void TBCDField::SetAsStringValue(const std::string& v) {
  if (IsBlank(v))
    Clear();
  else
    StoreBcd(StrToBcd(WithPoint(v), EffectivePrecision(), Size()));
}

int TBCDField::GetAsInteger() const {
  const db::Currency c = GetAsCurrency();
  const db::Currency whole = (c >= 0 ? c + 5000 : c - 5000) / 10000;
  if (whole > std::numeric_limits<int>::max() || whole < std::numeric_limits<int>::min())
    RangeError(GetAsString());
  return static_cast<int>(whole);
}

void TBCDField::SetAsIntegerValue(int v) { SetAsCurrencyValue(static_cast<db::Currency>(v) * 10000); }

double TBCDField::GetAsFloat() const {
  TBcd v;
  return GetData(&v) ? BcdToDouble(v) : 0.0;
}

void TBCDField::SetAsFloatValue(double v) { StoreBcd(DoubleToBcd(v, EffectivePrecision(), Size())); }

db::Currency TBCDField::GetAsCurrency() const {
  TBcd v;
  return GetData(&v) ? BcdToCurrency(v) : 0;
}

void TBCDField::SetAsCurrencyValue(db::Currency v) { StoreBcd(CurrencyToBcd(v, EffectivePrecision(), Size())); }

Variant TBCDField::GetAsVariant() const {
  TBcd v;
  if (!GetData(&v)) return Variant::Null();
  return Variant::FromCurrency(BcdToCurrency(v));
}

void TBCDField::SetAsVariantValue(const Variant& v) {
  if (v.kind() == Variant::Kind::String)
    SetAsStringValue(v.AsString());
  else
    SetAsCurrencyValue(v.AsCurrency());
}

// ---- Boolean --------------------------------------------------------------------------------

TBooleanField::TBooleanField(classes::TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

std::string TBooleanField::GetAsString() const {
  std::int16_t v = 0;
  if (!GetData(&v)) return std::string();
  return v != 0 ? "True" : "False";
}

void TBooleanField::SetAsStringValue(const std::string& v) {
  const std::string t = rtl::Trim(v);
  if (t.empty()) {
    Clear();
  } else if (rtl::SameText(t, "True") || rtl::SameText(t, "T")) {
    SetAsBooleanValue(true);
  } else if (rtl::SameText(t, "False") || rtl::SameText(t, "F")) {
    SetAsBooleanValue(false);
  } else {
    DatabaseError(rtl::FormatS(kFieldValueText, t) + " " + DisplayName());
  }
}

bool TBooleanField::GetAsBoolean() const {
  std::int16_t v = 0;
  return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBooleanValue(bool v) {
  const std::int16_t native = v ? -1 : 0;
  SetData(&native);
}

int TBooleanField::GetAsInteger() const { return GetAsBoolean() ? 1 : 0; }
void TBooleanField::SetAsIntegerValue(int v) { SetAsBooleanValue(v != 0); }

Variant TBooleanField::GetAsVariant() const {
  std::int16_t v = 0;
  if (!GetData(&v)) return Variant::Null();
  return Variant(v != 0);
}

void TBooleanField::SetAsVariantValue(const Variant& v) { SetAsBooleanValue(v.AsBoolean()); }

// ---- dates and times ------------------------------------------------------------------------

TDateTimeField::TDateTimeField(classes::TComponent* owner) : TField(owner) { SetDataType(ftDateTime); }

bool TDateTimeField::LoadDateTime(TDateTime& v) const {
  double ms = 0;
  if (!GetData(&ms)) return false;
  v = MSecsToDateTime(ms);
  return true;
}

void TDateTimeField::StoreDateTime(TDateTime v) {
  const double ms = DateTimeToMSecs(v);
  SetData(&ms);
}

std::string TDateTimeField::GetAsString() const {
  TDateTime v = 0;
  return LoadDateTime(v) ? Text(v) : std::string();
}

void TDateTimeField::SetAsStringValue(const std::string& v) {
  if (IsBlank(v))
    Clear();
  else
    StoreDateTime(Parse(v));
}

double TDateTimeField::GetAsFloat() const { return GetAsDateTime(); }
void TDateTimeField::SetAsFloatValue(double v) { StoreDateTime(v); }

TDateTime TDateTimeField::GetAsDateTime() const {
  TDateTime v = 0;
  return LoadDateTime(v) ? v : 0.0;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime v) { StoreDateTime(v); }

Variant TDateTimeField::GetAsVariant() const {
  TDateTime v = 0;
  if (!LoadDateTime(v)) return Variant::Null();
  return Variant::FromDateTime(v);
}

void TDateTimeField::SetAsVariantValue(const Variant& v) { StoreDateTime(v.AsDateTime()); }

TDateField::TDateField(classes::TComponent* owner) : TDateTimeField(owner) { SetDataType(ftDate); }

bool TDateField::LoadDateTime(TDateTime& v) const {
  std::int32_t day = 0;
  if (!GetData(&day)) return false;
  v = DayNumberToDateTime(day);
  return true;
}

void TDateField::StoreDateTime(TDateTime v) {
  const std::int32_t day = DateTimeToDayNumber(v);
  SetData(&day);
}

TTimeField::TTimeField(classes::TComponent* owner) : TDateTimeField(owner) { SetDataType(ftTime); }

bool TTimeField::LoadDateTime(TDateTime& v) const {
  std::int32_t ms = 0;
  if (!GetData(&ms)) return false;
  v = TimeMSecsToDateTime(ms);
  return true;
}

void TTimeField::StoreDateTime(TDateTime v) {
  const std::int32_t ms = DateTimeToTimeMSecs(v);
  SetData(&ms);
}

// ---- bytes ----------------------------------------------------------------------------------

TBytesField::TBytesField(classes::TComponent* owner) : TField(owner) {
  SetDataType(ftBytes);
  SetSize(16);
}

std::string TBytesField::LoadBytes(const std::vector<Byte>& native) const {
  return std::string(native.begin(), native.begin() + std::min<std::ptrdiff_t>(Size(), static_cast<std::ptrdiff_t>(native.size())));
}

std::vector<Byte> TBytesField::StoreBytes(const std::string& bytes) const {
  std::vector<Byte> native(static_cast<std::size_t>(std::max(DataSize(), 1)), Byte{0});
  std::memcpy(native.data(), bytes.data(), std::min(bytes.size(), static_cast<std::size_t>(Size())));
  return native;
}

std::string TBytesField::GetAsString() const {
  std::vector<Byte> native;
  return ReadNative(native) ? LoadBytes(native) : std::string();
}

void TBytesField::SetAsStringValue(const std::string& v) {
  const std::vector<Byte> native = StoreBytes(v);
  SetData(native.data());
}

Variant TBytesField::GetAsVariant() const {
  std::vector<Byte> native;
  if (!ReadNative(native)) return Variant::Null();
  const std::string bytes = LoadBytes(native);
  return Variant::FromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void TBytesField::SetAsVariantValue(const Variant& v) {
  const std::vector<std::uint8_t> b = v.AsBytes();
  SetAsStringValue(std::string(b.begin(), b.end()));
}

TVarBytesField::TVarBytesField(classes::TComponent* owner) : TBytesField(owner) { SetDataType(ftVarBytes); }

std::string TVarBytesField::LoadBytes(const std::vector<Byte>& native) const {
  std::uint16_t length = 0;
  std::memcpy(&length, native.data(), 2);
  length = static_cast<std::uint16_t>(std::min<int>(length, Size()));
  return std::string(native.begin() + 2, native.begin() + 2 + length);
}

std::vector<Byte> TVarBytesField::StoreBytes(const std::string& bytes) const {
  std::vector<Byte> native(static_cast<std::size_t>(DataSize()), Byte{0});
  const std::uint16_t length = static_cast<std::uint16_t>(std::min(bytes.size(), static_cast<std::size_t>(Size())));
  std::memcpy(native.data(), &length, 2);
  std::memcpy(native.data() + 2, bytes.data(), length);
  return native;
}

}  // namespace db
