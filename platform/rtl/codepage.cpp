#include "platform/rtl/codepage.h"

#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage_tables.h"

namespace rtl {

namespace {

char32_t CodePointOfAnsi(unsigned char b) {
  if (b < 0x80 || b >= 0xA0) return b;
  const char32_t cp = detail::kCp1252High[b - 0x80];
  // Undefined bytes keep their value as a C1 control, so every byte survives a round trip.
  return cp != 0 ? cp : static_cast<char32_t>(b);
}

int AnsiOfCodePoint(char32_t cp) {
  if (cp >= 0x80 && cp < 0xA0) {
    // C1 controls exist in 1252 only where it leaves the byte undefined.
    return detail::kCp1252High[cp - 0x80] == 0 ? static_cast<int>(cp) : -1;
  }
  return detail::AnsiByteOf(cp);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when the bytes there are not a
// valid, shortest-form sequence of a Unicode scalar value.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t len;
  char32_t min;
  if (c < 0x80) { cp = c; return 1; }
  if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
  else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
  else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  for (char ch : ansi) AppendUtf8(out, CodePointOfAnsi(static_cast<unsigned char>(ch)));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      out += '?';
      ++i;
      continue;
    }
    const int b = AnsiOfCodePoint(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += len;
  }
  return out;
}

char OemToAnsiChar(char oem) {
  const unsigned char b = static_cast<unsigned char>(oem);
  return b < 0x80 ? oem : static_cast<char>(detail::kOemToAnsiHigh[b - 0x80]);
}

char AnsiToOemChar(char ansi) {
  const unsigned char b = static_cast<unsigned char>(ansi);
  return b < 0x80 ? ansi : static_cast<char>(detail::kAnsiToOemHigh[b - 0x80]);
}

std::string OemToAnsi(std::string_view oem) {
  std::string out(oem);
  for (char& c : out) c = OemToAnsiChar(c);
  return out;
}

std::string AnsiToOem(std::string_view ansi) {
  std::string out(ansi);
  for (char& c : out) c = AnsiToOemChar(c);
  return out;
}

}  // namespace rtl
