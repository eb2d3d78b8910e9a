// Case mapping, ASCII comparison, trimming and "%s" formatting of code page 1252 text.
#include "platform/rtl/strutils.h"

namespace rtl {

namespace {

unsigned char AnsiUpperByte(unsigned char b) {
  if (b >= 'a' && b <= 'z') return b - 0x20;
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return b - 0x20;  // not the division sign
  switch (b) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return b;       // sharp s and micro have no single upper-case byte
  }
}

unsigned char AnsiLowerByte(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return b + 0x20;
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return b + 0x20;  // not the multiplication sign
  switch (b) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return b;
  }
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string AnsiUpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(AnsiUpperByte(static_cast<unsigned char>(c)));
  return out;
}

std::string AnsiLowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(AnsiLowerByte(static_cast<unsigned char>(c)));
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    const int cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string Trim(std::string_view s) {
  std::size_t first = 0, last = s.size();
  while (first < last && IsBlankOrControl(s[first])) ++first;
  while (last > first && IsBlankOrControl(s[last - 1])) --last;
  return std::string(s.substr(first, last - first));
}

std::string TrimLeft(std::string_view s) {
  std::size_t first = 0;
  while (first < s.size() && IsBlankOrControl(s[first])) ++first;
  return std::string(s.substr(first));
}

std::string TrimRight(std::string_view s) {
  std::size_t last = s.size();
  while (last > 0 && IsBlankOrControl(s[last - 1])) --last;
  return std::string(s.substr(0, last));
}

std::string FormatS(std::string_view pattern, std::string_view arg) {
  std::string out;
  out.reserve(pattern.size() + arg.size());
  bool used = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      const char next = pattern[i + 1];
      if (next == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (!used && (next == 's' || next == 'd')) {
        out += arg;
        used = true;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace rtl
