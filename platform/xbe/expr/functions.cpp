#include "platform/xbe/expr/functions.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/eval_ops.h"
#include "platform/xbe/expr/numfmt.h"

namespace xbe::expr {

namespace {

using Args = std::vector<Value>;

int IntArg(const Value& v) {
  if (!std::isfinite(v.number)) return 0;
  if (v.number > 1e9) return 1000000000;
  if (v.number < -1e9) return -1000000000;
  return static_cast<int>(v.number);
}

std::string RTrim(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

std::string LTrim(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return std::string(s.substr(i));
}

// The text PADL/PADR/PADC give other types.
std::string AsText(const Value& v, const EvalSettings& s) {
  switch (v.type) {
    case Type::kCharacter: return v.text;
    case Type::kNumeric: return LTrim(StrText(v.number, v.width > 0 ? v.width : 20, v.decimals > 0 ? v.decimals : 0));
    case Type::kDate: return FormattedFromJulian(v.julian, s.dateFormat);
    case Type::kLogical: return v.logical ? "T" : "F";
    default: return {};
  }
}

// STR's width and decimals for a number given without them.
void DefaultStrLayout(const Value& v, const EvalSettings& s, int* width, int* decimals) {
  int dec = v.decimals;
  if (dec < 0) dec = v.number == std::trunc(v.number) ? 0 : s.decimals;
  int w = v.width;
  if (w <= 0) w = dec > 0 ? 11 + dec : 10;
  *width = w;
  *decimals = dec;
}

Value FUpper(Args& a, const EvalEnv&) { return Value::Character(UpperAscii(a[0].text)); }
Value FLower(Args& a, const EvalEnv&) { return Value::Character(LowerAscii(a[0].text)); }
Value FRTrim(Args& a, const EvalEnv&) { return Value::Character(RTrim(a[0].text)); }
Value FLTrim(Args& a, const EvalEnv&) { return Value::Character(LTrim(a[0].text)); }
Value FAllTrim(Args& a, const EvalEnv&) { return Value::Character(LTrim(RTrim(a[0].text))); }

Value FSubstr(Args& a, const EvalEnv&) {
  const std::string& s = a[0].text;
  const long n = static_cast<long>(s.size());
  long start = IntArg(a[1]);
  if (start < 0) start = n + start + 1;  // counted from the end
  if (start < 1) start = 1;
  if (start > n) return Value::Character("");
  long len = a.size() > 2 ? IntArg(a[2]) : n - start + 1;
  if (len <= 0) return Value::Character("");
  if (len > n - start + 1) len = n - start + 1;
  return Value::Character(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len)));
}

Value FLeft(Args& a, const EvalEnv&) {
  const int n = IntArg(a[1]);
  if (n <= 0) return Value::Character("");
  return Value::Character(a[0].text.substr(0, static_cast<std::size_t>(n)));
}

Value FRight(Args& a, const EvalEnv&) {
  const int n = IntArg(a[1]);
  const std::string& s = a[0].text;
  if (n <= 0) return Value::Character("");
  if (static_cast<std::size_t>(n) >= s.size()) return Value::Character(s);
  return Value::Character(s.substr(s.size() - static_cast<std::size_t>(n)));
}

Value FStr(Args& a, const EvalEnv& env) {
  int width, dec;
  DefaultStrLayout(a[0], env.settings, &width, &dec);
  if (a.size() > 1) {
    width = IntArg(a[1]);
    dec = a.size() > 2 ? IntArg(a[2]) : 0;
    if (width < 1 || width > 255) RuntimeFail(env, "STR width out of range");
  }
  if (dec < 0) dec = 0;
  return Value::Character(StrText(a[0].number, width, dec));
}

Value FStrZero(Args& a, const EvalEnv& env) {
  Value s = FStr(a, env);
  std::string& t = s.text;
  if (t.find('*') != std::string::npos) return s;
  const bool negative = t.find('-') != std::string::npos;
  for (char& c : t)
    if (c == ' ' || c == '-') c = '0';
  if (negative && !t.empty()) t[0] = '-';
  return s;
}

Value FVal(Args& a, const EvalEnv&) {
  int dec = 0;
  const double v = ValOf(a[0].text, &dec);
  return Value::Numeric(v, -1, dec);
}

Value FDtos(Args& a, const EvalEnv&) { return Value::Character(DtosFromJulian(a[0].julian)); }
Value FStod(Args& a, const EvalEnv&) { return Value::Date(JulianFromDtos(a[0].text)); }
Value FCtod(Args& a, const EvalEnv& env) {
  return Value::Date(JulianFromFormatted(a[0].text, env.settings.dateFormat, env.settings.epoch));
}
Value FDtoc(Args& a, const EvalEnv& env) {
  return Value::Character(FormattedFromJulian(a[0].julian, env.settings.dateFormat));
}
Value FDate(Args&, const EvalEnv& env) {
  return Value::Date(env.settings.today ? env.settings.today : TodayJulian());
}
Value FYear(Args& a, const EvalEnv&) { return Value::Numeric(YmdFromJulian(a[0].julian).year, -1, 0); }
Value FMonth(Args& a, const EvalEnv&) { return Value::Numeric(YmdFromJulian(a[0].julian).month, -1, 0); }
Value FDay(Args& a, const EvalEnv&) { return Value::Numeric(YmdFromJulian(a[0].julian).day, -1, 0); }
Value FDeleted(Args&, const EvalEnv& env) { return Value::Logical(env.record.IsDeleted()); }
Value FRecno(Args&, const EvalEnv& env) { return Value::Numeric(env.record.RecordNumber(), -1, 0); }
Value FEmpty(Args& a, const EvalEnv&) { return Value::Logical(IsEmptyValue(a[0])); }

Value FSpace(Args& a, const EvalEnv& env) {
  const int n = IntArg(a[0]);
  if (n <= 0) return Value::Character("");
  CheckLength(env, static_cast<std::size_t>(n));
  return Value::Character(std::string(static_cast<std::size_t>(n), ' '));
}

Value FReplicate(Args& a, const EvalEnv& env) {
  const int n = IntArg(a[1]);
  if (n <= 0 || a[0].text.empty()) return Value::Character("");
  CheckLength(env, static_cast<std::size_t>(n) * a[0].text.size());
  std::string r;
  r.reserve(static_cast<std::size_t>(n) * a[0].text.size());
  for (int i = 0; i < n; ++i) r += a[0].text;
  return Value::Character(r);
}

Value FLen(Args& a, const EvalEnv&) { return Value::Numeric(static_cast<double>(a[0].text.size()), -1, 0); }

Value FAt(Args& a, const EvalEnv&) {
  if (a[0].text.empty()) return Value::Numeric(0, -1, 0);
  const std::size_t p = a[1].text.find(a[0].text);
  return Value::Numeric(p == std::string::npos ? 0 : static_cast<double>(p + 1), -1, 0);
}

Value Pad(Args& a, const EvalEnv& env, char how) {
  std::string s = AsText(a[0], env.settings);
  const int n = IntArg(a[1]);
  if (n <= 0) return Value::Character("");
  CheckLength(env, static_cast<std::size_t>(n));
  char fill = ' ';
  if (a.size() > 2) {
    if (a[2].type != Type::kCharacter) TypeFail(env, "argument 3 of PAD must be character");
    if (!a[2].text.empty()) fill = a[2].text[0];
  }
  const std::size_t len = static_cast<std::size_t>(n);
  if (s.size() >= len) return Value::Character(how == 'L' ? s.substr(s.size() - len) : s.substr(0, len));
  const std::size_t missing = len - s.size();
  if (how == 'L') return Value::Character(std::string(missing, fill) + s);
  if (how == 'R') return Value::Character(s + std::string(missing, fill));
  const std::size_t left = missing / 2;
  return Value::Character(std::string(left, fill) + s + std::string(missing - left, fill));
}
Value FPadL(Args& a, const EvalEnv& env) { return Pad(a, env, 'L'); }
Value FPadR(Args& a, const EvalEnv& env) { return Pad(a, env, 'R'); }
Value FPadC(Args& a, const EvalEnv& env) { return Pad(a, env, 'C'); }

Value FAbs(Args& a, const EvalEnv&) {
  Value v = a[0];
  v.number = std::fabs(v.number);
  return v;
}
Value FInt(Args& a, const EvalEnv&) { return Value::Numeric(std::trunc(a[0].number), -1, 0); }
Value FRound(Args& a, const EvalEnv&) {
  const int d = IntArg(a[1]);
  return Value::Numeric(RoundDecimals(a[0].number, d), -1, d > 0 ? d : 0);
}

Value MinMax(Args& a, const EvalEnv& env, bool wantMax) {
  if (a[0].type != a[1].type)
    TypeFail(env, std::string(wantMax ? "MAX" : "MIN") + " of " + TypeName(a[0].type) + " and " + TypeName(a[1].type));
  if (a[0].type == Type::kLogical) TypeFail(env, std::string(wantMax ? "MAX" : "MIN") + " of logical values");
  const int c = CompareValues(a[0], a[1], true, env);
  return (wantMax ? c >= 0 : c <= 0) ? a[0] : a[1];
}
Value FMin(Args& a, const EvalEnv& env) { return MinMax(a, env, false); }
Value FMax(Args& a, const EvalEnv& env) { return MinMax(a, env, true); }

Value FTransform(Args& a, const EvalEnv& env) {
  std::string r = Transform(a[0], a[1].text, env.settings);
  CheckLength(env, r.size());
  return Value::Character(r);
}

Value FChr(Args& a, const EvalEnv&) {
  const int c = IntArg(a[0]) & 0xFF;
  return Value::Character(std::string(1, static_cast<char>(c)));
}

// CONTAINS(text, pattern): the pattern's words, a trailing "*" meaning any ending, must all
// occur in the text, without regard to ASCII case.
Value FContains(Args& a, const EvalEnv&) {
  const std::string text = UpperAscii(a[0].text);
  const std::string pattern = UpperAscii(a[1].text);
  std::size_t i = 0;
  bool any = false;
  while (i < pattern.size()) {
    while (i < pattern.size() && pattern[i] == ' ') ++i;
    std::size_t j = i;
    while (j < pattern.size() && pattern[j] != ' ') ++j;
    std::string word = pattern.substr(i, j - i);
    i = j;
    while (!word.empty() && word.back() == '*') word.pop_back();
    if (word.empty()) continue;
    any = true;
    if (text.find(word) == std::string::npos) return Value::Logical(false);
  }
  return Value::Logical(any || pattern.find('*') != std::string::npos);
}

const FunctionDef kFunctions[] = {
    {"UPPER", 1, 1, "C", 'C', FUpper},
    {"LOWER", 1, 1, "C", 'C', FLower},
    {"TRIM", 1, 1, "C", 'C', FRTrim},
    {"RTRIM", 1, 1, "C", 'C', FRTrim},
    {"LTRIM", 1, 1, "C", 'C', FLTrim},
    {"ALLTRIM", 1, 1, "C", 'C', FAllTrim},
    {"SUBSTR", 2, 3, "CN", 'C', FSubstr},
    {"LEFT", 2, 2, "CN", 'C', FLeft},
    {"RIGHT", 2, 2, "CN", 'C', FRight},
    {"STR", 1, 3, "N", 'C', FStr},
    {"STRZERO", 1, 3, "N", 'C', FStrZero},
    {"VAL", 1, 1, "C", 'N', FVal},
    {"DTOS", 1, 1, "D", 'C', FDtos},
    {"STOD", 1, 1, "C", 'D', FStod},
    {"CTOD", 1, 1, "C", 'D', FCtod},
    {"DTOC", 1, 1, "D", 'C', FDtoc},
    {"DATE", 0, 0, "*", 'D', FDate},
    {"YEAR", 1, 1, "D", 'N', FYear},
    {"MONTH", 1, 1, "D", 'N', FMonth},
    {"DAY", 1, 1, "D", 'N', FDay},
    {"IIF", 3, 3, "L*", 'I', nullptr},
    {"DELETED", 0, 0, "*", 'L', FDeleted},
    {"RECNO", 0, 0, "*", 'N', FRecno},
    {"EMPTY", 1, 1, "*", 'L', FEmpty},
    {"SPACE", 1, 1, "N", 'C', FSpace},
    {"REPLICATE", 2, 2, "CN", 'C', FReplicate},
    {"LEN", 1, 1, "C", 'N', FLen},
    {"AT", 2, 2, "C", 'N', FAt},
    {"PADL", 2, 3, "*NC", 'C', FPadL},
    {"PADR", 2, 3, "*NC", 'C', FPadR},
    {"PADC", 2, 3, "*NC", 'C', FPadC},
    {"ABS", 1, 1, "N", 'N', FAbs},
    {"INT", 1, 1, "N", 'N', FInt},
    {"ROUND", 2, 2, "N", 'N', FRound},
    {"MIN", 2, 2, "*", '0', FMin},
    {"MAX", 2, 2, "*", '0', FMax},
    {"TRANSFORM", 2, 2, "*C", 'C', FTransform},
    {"CHR", 1, 1, "N", 'C', FChr},
    {"CONTAINS", 2, 2, "C", 'L', FContains},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

const FunctionDef* FindFunction(std::string_view name) {
  for (const FunctionDef& f : kFunctions)
    if (SameName(f.name, name)) return &f;
  // DOS programs wrote abbreviated names such as SUBS( or TRAN(.
  if (name.size() < 4) return nullptr;
  const FunctionDef* found = nullptr;
  for (const FunctionDef& f : kFunctions) {
    const std::string_view full(f.name);
    if (full.size() > name.size() && SameName(full.substr(0, name.size()), name)) {
      if (found) return nullptr;  // ambiguous
      found = &f;
    }
  }
  return found;
}

char ArgTypeOf(const FunctionDef& f, int i) {
  const std::size_t n = std::strlen(f.argTypes);
  if (n == 0) return '*';
  return f.argTypes[static_cast<std::size_t>(i) < n ? static_cast<std::size_t>(i) : n - 1];
}

}  // namespace xbe::expr
