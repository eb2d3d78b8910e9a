#include "platform/xbe/field_codec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/rtl/strutils.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/memo_store.h"

namespace xbe {

namespace {

std::uint32_t GetLe32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the hosts we build for are little-endian, as the file format
}
void PutLe32(char* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

bool AllOf(const char* p, std::uint32_t n, bool (*pred)(char)) {
  for (std::uint32_t i = 0; i < n; ++i)
    if (!pred(p[i])) return false;
  return true;
}
bool BlankOrZero(char c) { return c == ' ' || c == '\0'; }
bool Zero(char c) { return c == '\0'; }

std::string Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\0')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\0')) --e;
  return std::string(s.substr(b, e - b));
}

std::string ShortestDouble(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

[[noreturn]] void Invalid(const FieldDesc& f, std::string_view text, const char* why) {
  Fail(kInvalidValue, "The value '" + std::string(text) + "' cannot be stored in field " + f.name + ": " + why + ".");
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return std::nullopt;
  std::int64_t v = 0;
  const char* b = t.data();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
  return v;
}

void PackDate(char* p, std::int64_t julian) {
  const CivilDate d = CivilFromJulian(julian);
  const unsigned w = static_cast<unsigned>((d.year << 1) | (d.month >> 3)) & 0xFFFF;
  p[0] = static_cast<char>(w >> 8);
  p[1] = static_cast<char>(w & 0xFF);
  p[2] = static_cast<char>(((d.month << 5) | d.day) & 0xFF);
}

std::optional<std::int64_t> UnpackDate(const char* p) {
  const auto b0 = static_cast<unsigned char>(p[0]), b1 = static_cast<unsigned char>(p[1]),
             b2 = static_cast<unsigned char>(p[2]);
  const int year = b0 * 128 + b1 / 2;
  const int month = (b1 & 1) * 8 + b2 / 32;
  const int day = b2 & 31;
  if (!IsValidCivil(year, month, day)) return std::nullopt;
  return JulianFromCivil(year, month, day);
}

std::string TimeText(std::uint32_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", ms / 3600000 % 100, ms / 60000 % 60, ms / 1000 % 60);
  return buf;
}

std::optional<std::uint32_t> ParseTime(std::string_view t) {
  unsigned h = 0, m = 0, s = 0;
  const std::string text = Trimmed(t);
  if (text.empty()) return std::nullopt;
  if (text.find(':') == std::string::npos) {
    auto v = ParseInteger(text);
    if (!v || *v < 0 || *v >= 86400000) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
  }
  int n = 0;
  if (std::sscanf(text.c_str(), "%2u:%2u:%2u%n", &h, &m, &s, &n) < 2) return std::nullopt;
  if (h > 23 || m > 59 || s > 59) return std::nullopt;
  return (h * 3600 + m * 60 + s) * 1000;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return std::nullopt;
  std::size_t i = 0;
  if (t[i] == '-' || t[i] == '+') ++i;
  bool digits = false, dot = false;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] >= '0' && t[k] <= '9') digits = true;
    else if (t[k] == '.' && !dot) dot = true;
    else return std::nullopt;
  }
  if (!digits) return std::nullopt;
  double v = 0;
  const char* b = t.data() + (t[0] == '+' ? 1 : 0);
  auto r = std::from_chars(b, t.data() + t.size(), v);
  if (r.ec != std::errc()) return std::nullopt;
  return v;
}

std::optional<std::string> FormatNumericText(std::string_view text, std::uint32_t length, std::uint16_t decimals) {
  // Rounded on the decimal digits as written, half away from zero, as xBase programs store them.
  const std::string rounded = rtl::RoundDecimalText(text, decimals);
  if (length == 0 || rounded.size() > length) return std::nullopt;
  return std::string(length - rounded.size(), ' ') + rounded;
}

std::optional<std::string> FormatNumeric(double value, std::uint32_t length, std::uint16_t decimals) {
  if (!std::isfinite(value)) return std::nullopt;
  // The shortest decimal text that reads back to the value (never an exponent), then rounded
  // as a text: 2.675 is stored as 2.68 although its binary value lies just below.
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (r.ec != std::errc()) return std::nullopt;
  return FormatNumericText(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), length, decimals);
}

bool IsBlankValue(const FieldDesc& f, const char* p, bool xdt) {
  const std::uint32_t L = f.length;
  if (IsMemoCode(f.code)) return DecodeMemoReference(std::string_view(p, L)) == 0;
  if (xdt) {
    switch (f.code) {
      case kLogical: return p[0] == ' ' || p[0] == '\0';
      case kMoneyDouble: case kDouble: return GetLe32(p) == 32 && GetLe32(p + 4) == 0x80000000u;
      case kInteger: return GetLe32(p) == 0x80000000u;
      case kShortInt: return static_cast<unsigned char>(p[0]) == 0 && static_cast<unsigned char>(p[1]) == 0x80;
      case kTime: case kAutoInc: return GetLe32(p) == 0xFFFFFFFFu;
      case kTimestamp: return GetLe32(p) == 0;
      case kMoney: return GetLe32(p) == 0 && GetLe32(p + 4) == 0x80000000u;
      default: return AllOf(p, L, Zero);
    }
  }
  switch (f.code) {
    case kLogical: case kNumericText: case kCharacter: case kCiCharacter: case kTimestamp:
      return AllOf(p, L, BlankOrZero);
    case kDate: return L == 4 ? GetLe32(p) == 0 : AllOf(p, L, BlankOrZero);
    case kPackedDate: return AllOf(p, L, Zero);
    default: return false;  // binary numbers always hold a value in DBF files
  }
}

void WriteBlankValue(const FieldDesc& f, char* p, bool xdt) {
  const std::uint32_t L = f.length;
  if (IsMemoCode(f.code)) {
    std::memset(p, L == 4 ? 0 : ' ', L);
    return;
  }
  if (xdt) {
    switch (f.code) {
      case kLogical: p[0] = ' '; return;
      case kDouble: case kMoneyDouble: PutLe32(p, 32); PutLe32(p + 4, 0x80000000u); return;
      case kInteger: PutLe32(p, 0x80000000u); return;
      case kShortInt: p[0] = 0; p[1] = static_cast<char>(0x80); return;
      case kTime: case kAutoInc: PutLe32(p, 0xFFFFFFFFu); return;
      case kTimestamp: PutLe32(p, 0); PutLe32(p + 4, 0xFFFFFFFFu); return;
      case kMoney: PutLe32(p, 0); PutLe32(p + 4, 0x80000000u); return;
      default: std::memset(p, 0, L); return;
    }
  }
  switch (f.code) {
    case kDouble: case kMoneyDouble: case kInteger: case kShortInt: case kPackedDate: case kRaw:
      std::memset(p, 0, L);
      return;
    case kMoney: case kTimestamp:
      if (f.letter == 'Y' || f.letter == 'T') { std::memset(p, 0, L); return; }  // FoxPro binary fields
      std::memset(p, ' ', L);
      return;
    default:
      std::memset(p, ' ', L);
      return;
  }
}

std::optional<double> NumericValue(const FieldDesc& f, const char* p, bool xdt) {
  if (IsBlankValue(f, p, xdt)) return std::nullopt;
  switch (f.code) {
    case kNumericText: return ParseDecimal(std::string_view(p, f.length));
    case kDouble: case kMoneyDouble: { double d; std::memcpy(&d, p, 8); return d; }
    case kInteger: case kAutoInc: return static_cast<double>(static_cast<std::int32_t>(GetLe32(p)));
    case kShortInt: { std::int16_t v; std::memcpy(&v, p, 2); return v; }
    case kMoney: { std::int64_t v; std::memcpy(&v, p, 8); return static_cast<double>(v) / 10000.0; }
    default: return std::nullopt;
  }
}

std::optional<std::int64_t> DateJulian(const FieldDesc& f, const char* p, bool xdt) {
  if (IsBlankValue(f, p, xdt)) return 0;
  if (f.code == kPackedDate) return UnpackDate(p);
  if (f.code == kTimestamp) return static_cast<std::int64_t>(GetLe32(p));
  if (f.code != kDate) return std::nullopt;
  if (f.length == 4) return static_cast<std::int64_t>(GetLe32(p));
  return JulianFromStorageText(std::string_view(p, f.length));
}

bool LogicalValue(const FieldDesc& f, const char* p) {
  (void)f;
  const char c = p[0];
  return c == 'T' || c == 't' || c == 'Y' || c == 'y' || c == '1';
}

std::optional<std::string_view> FieldTextInPlace(const FieldDesc& f, const char* p, bool xdt) {
  const std::uint32_t L = f.length;
  switch (f.code) {
    case kCharacter: case kCiCharacter: case kRaw:
      return std::string_view(p, L);
    case kNumericText: return TrimmedNumericText(p, L);
    // A valid stored date converts back to its own digits (a blank one is no digits).
    case kDate:
      if (L == 8 && IsCivilDateText(p)) return std::string_view(p, 8);
      break;
    default: break;
  }
  if (IsBlankValue(f, p, xdt)) return std::string_view(p, 0);
  switch (f.code) {
    case kLogical: return std::string_view(LogicalValue(f, p) ? "T" : "F");
    default: return std::nullopt;
  }
}

std::string FieldText(const FieldDesc& f, const char* p, bool xdt) {
  const std::uint32_t L = f.length;
  if (const auto text = FieldTextInPlace(f, p, xdt)) return std::string(*text);
  switch (f.code) {
    case kDate: case kPackedDate: {
      auto j = DateJulian(f, p, xdt);
      if (!j) return Trimmed(std::string_view(p, L));
      return StorageTextFromJulian(*j);
    }
    case kDouble: case kMoneyDouble: case kInteger: case kShortInt: case kAutoInc:
      return ShortestDouble(*NumericValue(f, p, xdt));
    case kMoney: {
      std::int64_t v;
      std::memcpy(&v, p, 8);
      char buf[64];
      std::snprintf(buf, sizeof buf, "%s%lld.%04lld", v < 0 ? "-" : "", static_cast<long long>(std::llabs(v / 10000)),
                    static_cast<long long>(std::llabs(v % 10000)));
      return buf;
    }
    case kTime: return TimeText(GetLe32(p));
    case kTimestamp: return StorageTextFromJulian(GetLe32(p)) + " " + TimeText(GetLe32(p + 4));
    default: return {};
  }
}

void StoreFieldText(const FieldDesc& f, char* p, std::string_view text, bool xdt) {
  const std::uint32_t L = f.length;
  if (f.code == kCharacter || f.code == kCiCharacter) {
    if (text.empty() && xdt) { std::memset(p, 0, L); return; }
    std::memset(p, ' ', L);
    std::memcpy(p, text.data(), std::min<std::size_t>(text.size(), L));
    return;
  }
  if (f.code == kRaw) {
    std::memset(p, 0, L);
    std::memcpy(p, text.data(), std::min<std::size_t>(text.size(), L));
    return;
  }
  if (IsMemoCode(f.code)) Invalid(f, "", "memo contents go to the memo file");
  const std::string t = Trimmed(text);
  if (t.empty()) { WriteBlankValue(f, p, xdt); return; }
  switch (f.code) {
    case kLogical: {
      const char c = t.size() == 3 && t[0] == '.' && t[2] == '.' ? t[1] : (t.size() == 1 ? t[0] : '?');
      if (std::strchr("TtYy1", c) && c) p[0] = 'T';
      else if (std::strchr("FfNn0", c) && c) p[0] = 'F';
      else Invalid(f, text, "not a logical value");
      return;
    }
    case kNumericText: {
      if (!ParseDecimal(t)) Invalid(f, text, "not a number");
      auto s = FormatNumericText(t, L, f.decimals);
      if (!s) Invalid(f, text, "the number does not fit the field's width");
      std::memcpy(p, s->data(), L);
      return;
    }
    case kDate: case kPackedDate: {
      auto j = JulianFromStorageText(t);
      if (!j || *j == 0) Invalid(f, text, "not a date in the form CCYYMMDD");
      if (f.code == kPackedDate) PackDate(p, *j);
      else if (L == 4) PutLe32(p, static_cast<std::uint32_t>(*j));
      else { const std::string s = StorageTextFromJulian(*j); std::memset(p, ' ', L); std::memcpy(p, s.data(), std::min<std::size_t>(8, L)); }
      return;
    }
    case kDouble: case kMoneyDouble: {
      auto v = ParseDecimal(t);
      if (!v) Invalid(f, text, "not a number");
      std::memcpy(p, &*v, 8);
      return;
    }
    case kInteger: case kAutoInc: case kShortInt: {
      auto v = ParseInteger(t);
      const bool shortInt = f.code == kShortInt;
      if (!v || *v < (shortInt ? -32767 : -2147483647) || *v > (shortInt ? 32767 : 2147483647))
        Invalid(f, text, "not an integer in the field's range");
      if (shortInt) { const std::int16_t s = static_cast<std::int16_t>(*v); std::memcpy(p, &s, 2); }
      else PutLe32(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(*v)));
      return;
    }
    case kMoney: {
      auto v = ParseDecimal(t);
      if (!v || std::fabs(*v) > 9.2e14) Invalid(f, text, "not an amount in the field's range");
      const std::int64_t c = static_cast<std::int64_t>(std::llround(*v * 10000.0));
      std::memcpy(p, &c, 8);
      return;
    }
    case kTime: {
      auto ms = ParseTime(t);
      if (!ms) Invalid(f, text, "not a time");
      PutLe32(p, *ms);
      return;
    }
    case kTimestamp: {
      auto j = JulianFromStorageText(t.substr(0, 8));
      if (!j || *j == 0) Invalid(f, text, "not a timestamp in the form CCYYMMDD HH:MM:SS");
      std::uint32_t ms = 0;
      if (t.size() > 8) {
        auto m = ParseTime(t.substr(8));
        if (!m) Invalid(f, text, "not a timestamp in the form CCYYMMDD HH:MM:SS");
        ms = *m;
      }
      PutLe32(p, static_cast<std::uint32_t>(*j));
      PutLe32(p + 4, ms);
      return;
    }
    default:
      Invalid(f, text, "the field's type takes no text");
  }
}

}  // namespace xbe
