// TRANSFORM pictures: "@" functions (E Z B ( C X ! R D) and a template.
#include <cctype>
#include <cmath>
#include <string>

#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/eval_ops.h"
#include "platform/xbe/expr/numfmt.h"

namespace xbe::expr {

namespace {

struct Picture {
  std::string functions;  // upper-case letters after "@"
  std::string mask;       // the template
  bool Has(char f) const { return functions.find(f) != std::string::npos; }
};

Picture SplitPicture(std::string_view p) {
  Picture r;
  if (!p.empty() && p[0] == '@') {
    std::size_t i = 1;
    while (i < p.size() && p[i] != ' ') {
      r.functions += static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
      ++i;
    }
    if (i < p.size()) ++i;
    r.mask = std::string(p.substr(i));
  } else {
    r.mask = std::string(p);
  }
  return r;
}

bool IsDigitSlot(char c) { return c == '9' || c == '#' || c == '*' || c == '$'; }

std::string NumberWithMask(double v, const std::string& mask) {
  const std::size_t dot = mask.find('.');
  int decimals = 0;
  if (dot != std::string::npos)
    for (std::size_t i = dot + 1; i < mask.size(); ++i) decimals += IsDigitSlot(mask[i]) ? 1 : 0;
  const std::string digits = FixedText(std::fabs(v), decimals);
  const std::size_t ddot = digits.find('.');
  std::string intPart = digits.substr(0, ddot);
  const std::string fracPart = ddot == std::string::npos ? "" : digits.substr(ddot + 1);
  if (intPart == "0") intPart.clear();  // ".50" fills as blanks before the point
  const bool negative = v < 0 && RoundDecimals(v, decimals) != 0;
  std::string out = mask;
  const std::size_t intEnd = dot == std::string::npos ? mask.size() : dot;
  // Integer digits, right to left.
  long k = static_cast<long>(intPart.size()) - 1;
  long firstDigit = -1;
  for (long i = static_cast<long>(intEnd) - 1; i >= 0; --i) {
    const char m = mask[static_cast<std::size_t>(i)];
    if (IsDigitSlot(m)) {
      if (k >= 0) {
        out[static_cast<std::size_t>(i)] = intPart[static_cast<std::size_t>(k--)];
        firstDigit = i;
      } else {
        out[static_cast<std::size_t>(i)] = m == '*' ? '*' : m == '$' ? '$' : ' ';
      }
    } else if (m == ',') {
      if (k < 0) out[static_cast<std::size_t>(i)] = ' ';
    }
  }
  if (k >= 0) return std::string(mask.size(), '*');  // too many digits
  if (intPart.empty() && dot != std::string::npos && intEnd > 0 && IsDigitSlot(mask[intEnd - 1])) {
    out[intEnd - 1] = '0';
    firstDigit = static_cast<long>(intEnd) - 1;
  }
  if (dot != std::string::npos) {
    std::size_t f = 0;
    for (std::size_t i = dot + 1; i < mask.size(); ++i)
      if (IsDigitSlot(mask[i])) out[i] = f < fracPart.size() ? fracPart[f++] : '0';
  }
  if (negative) {
    long at = (firstDigit < 0 ? static_cast<long>(intEnd) : firstDigit) - 1;
    while (at >= 0 && out[static_cast<std::size_t>(at)] != ' ') --at;
    if (at < 0) return std::string(mask.size(), '*');
    out[static_cast<std::size_t>(at)] = '-';
  }
  return out;
}

std::string NumberPicture(const Value& v, const Picture& p, const EvalSettings& s) {
  std::string out;
  if (p.mask.empty()) {
    int width = v.width > 0 ? v.width : 10;
    int dec = v.decimals >= 0 ? v.decimals : (v.number == std::trunc(v.number) ? 0 : s.decimals);
    out = StrText(v.number, width, dec);
  } else {
    out = NumberWithMask(v.number, p.mask);
  }
  if (p.Has('(') && v.number < 0) {
    const std::size_t minus = out.find('-');
    if (minus != std::string::npos) out[minus] = ' ';
    std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) first = out.size();
    if (first > 0) out[first - 1] = '(';
    else out.insert(0, "(");
    out += ')';
  }
  if (p.Has('C') && v.number > 0) out += " CR";
  if (p.Has('X') && v.number < 0) {
    const std::size_t minus = out.find('-');
    if (minus != std::string::npos) out[minus] = ' ';
    out += " DB";
  }
  if (p.Has('E'))
    for (char& c : out) c = c == ',' ? '.' : c == '.' ? ',' : c;
  if (p.Has('B')) {
    const std::size_t first = out.find_first_not_of(' ');
    if (first != std::string::npos && first > 0) out = out.substr(first) + std::string(first, ' ');
  }
  if (p.Has('Z') && v.number == 0) out = std::string(out.size(), ' ');
  return out;
}

std::string TextPicture(const std::string& text, const Picture& p) {
  std::string s = p.Has('!') ? UpperAscii(text) : text;
  if (p.mask.empty()) return s;
  std::string out;
  std::size_t k = 0;
  const bool insert = p.Has('R');
  for (char m : p.mask) {
    const bool slot = m == '!' || m == 'X' || m == '9' || m == 'A' || m == 'N' || m == '#' ||
                      m == 'L' || m == 'Y' || m == 'x' || m == 'a' || m == 'n';
    if (slot) {
      char c = k < s.size() ? s[k] : ' ';
      ++k;
      if (m == '!' && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      out += c;
    } else {
      out += m;
      if (!insert) ++k;  // without @R a literal takes the place of a character
    }
  }
  return out;
}

}  // namespace

std::string Transform(const Value& v, std::string_view picture, const EvalSettings& settings) {
  const Picture p = SplitPicture(picture);
  switch (v.type) {
    case Type::kNumeric:
      return NumberPicture(v, p, settings);
    case Type::kDate: {
      std::string format = settings.dateFormat;
      if (p.Has('E')) format = "DD/MM/YY";
      std::string out = FormattedFromJulian(v.julian, format);
      if (p.Has('Z') && v.julian == 0) out = std::string(out.size(), ' ');
      return out;
    }
    case Type::kLogical: {
      const bool yn = p.mask.find_first_of("Yy") != std::string::npos;
      return yn ? (v.logical ? "Y" : "N") : (v.logical ? "T" : "F");
    }
    case Type::kCharacter:
      return TextPicture(v.text, p);
    default:
      return {};
  }
}

}  // namespace xbe::expr
