// Program text is code page 1252 ("ANSI"); source files are UTF-8. This header turns a UTF-8
// literal into its 1252 bytes at compile time, so that "Não"_ansi is three bytes, as the
// original program's strings were. A literal with a character outside 1252 does not compile.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace rtl {

namespace detail {
// Unicode code points of 1252 bytes 0x80..0x9F (0 where the byte is undefined).
inline constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The 1252 byte for a code point, or -1 when 1252 has none.
constexpr int AnsiByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}

template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  constexpr Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
};

// Decodes the UTF-8 of a literal into its 1252 bytes (zero-padded) and their count.
template <std::size_t N>
struct AnsiResult {
  std::array<char, N> bytes{};
  std::size_t size = 0;
};

template <std::size_t N>
constexpr AnsiResult<N> ConvertUtf8(const Utf8Literal<N>& lit) {
  AnsiResult<N> r{};
  const char* s = lit.bytes;
  const std::size_t len = N - 1;  // without the terminating zero
  std::size_t i = 0;
  while (i < len) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    int extra = 0;
    if (c < 0x80) { cp = c; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else throw "invalid UTF-8 in literal";
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= len) throw "truncated UTF-8 in literal";
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) throw "invalid UTF-8 in literal";
      cp = (cp << 6) | (cc & 0x3F);
    }
    const int b = AnsiByteOf(cp);
    if (b < 0) throw "character not in code page 1252";
    r.bytes[r.size++] = static_cast<char>(b);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return r;
}

template <Utf8Literal L>
struct AnsiStorage {
  static constexpr auto converted = ConvertUtf8(L);
};
}  // namespace detail

namespace literals {
// "Atualização"_ansi: the literal's bytes in code page 1252, as a string_view with static storage.
template <detail::Utf8Literal L>
constexpr std::string_view operator""_ansi() {
  return std::string_view(detail::AnsiStorage<L>::converted.bytes.data(),
                          detail::AnsiStorage<L>::converted.size);
}
}  // namespace literals

}  // namespace rtl
