// The locale-aware comparison of code page 1252 text, as a sort for Portuguese readers expects:
// letters compare by their base letter first, without regard to case or accent ("a" = "A" = "á"),
// then accents decide ("e" < "é" < "è" < "ê"), then, for the case-sensitive form only, case
// (lower before upper). Symbols sort before digits, digits before letters. The ligatures
// "æ", "œ" and the sharp s expand to two letters ("ae", "oe", "ss") with an accent mark, so
// "Æsop" sorts among "Aesop". The order is fixed by the table below and never depends on the
// host's locale.
#include "platform/rtl/strutils.h"

#include <array>
#include <cstdint>

namespace rtl {

namespace {

// Accent weights, the second level. Plain letters and all non-letters carry kNone.
enum Accent : std::uint8_t {
  kNone, kAcute, kGrave, kCircumflex, kCaron, kRing, kDiaeresis, kTilde, kCedilla, kStroke,
  kHook, kOrdinal, kEth, kLigature, kSuperscript,
};

struct Unit {
  std::uint16_t primary = 0;
  std::uint8_t accent = kNone;
  std::uint8_t upper = 0;  // third level: 1 for an upper-case letter
};

struct Entry {
  Unit units[2];
  std::uint8_t count = 1;
};

constexpr std::uint16_t kSymbolBase = 0x0100;  // + the byte: every symbol has its own weight
constexpr std::uint16_t kDigitBase = 0x1000;
constexpr std::uint16_t kLetterBase = 0x2000;  // + 0..25 for a..z
constexpr std::uint16_t kThorn = kLetterBase + 26;
constexpr std::uint16_t kMicro = kLetterBase + 27;

constexpr std::uint16_t Letter(char base) { return kLetterBase + static_cast<std::uint16_t>(base - 'a'); }

struct Decomposition {
  unsigned char byte;
  char base;  // 0 for the letters with their own primary weight
  std::uint16_t primary;
  Accent accent;
  bool upper;
};

// The letters of 1252 above ASCII, by byte.
constexpr Decomposition kLetters[] = {
    {0x83, 'f', 0, kHook, false},      {0x8A, 's', 0, kCaron, true},
    {0x8E, 'z', 0, kCaron, true},      {0x9A, 's', 0, kCaron, false},
    {0x9E, 'z', 0, kCaron, false},     {0x9F, 'y', 0, kDiaeresis, true},
    {0xAA, 'a', 0, kOrdinal, false},   {0xB5, 0, kMicro, kNone, false},
    {0xBA, 'o', 0, kOrdinal, false},
    {0xC0, 'a', 0, kGrave, true},      {0xC1, 'a', 0, kAcute, true},
    {0xC2, 'a', 0, kCircumflex, true}, {0xC3, 'a', 0, kTilde, true},
    {0xC4, 'a', 0, kDiaeresis, true},  {0xC5, 'a', 0, kRing, true},
    {0xC7, 'c', 0, kCedilla, true},    {0xC8, 'e', 0, kGrave, true},
    {0xC9, 'e', 0, kAcute, true},      {0xCA, 'e', 0, kCircumflex, true},
    {0xCB, 'e', 0, kDiaeresis, true},  {0xCC, 'i', 0, kGrave, true},
    {0xCD, 'i', 0, kAcute, true},      {0xCE, 'i', 0, kCircumflex, true},
    {0xCF, 'i', 0, kDiaeresis, true},  {0xD0, 'd', 0, kEth, true},
    {0xD1, 'n', 0, kTilde, true},      {0xD2, 'o', 0, kGrave, true},
    {0xD3, 'o', 0, kAcute, true},      {0xD4, 'o', 0, kCircumflex, true},
    {0xD5, 'o', 0, kTilde, true},      {0xD6, 'o', 0, kDiaeresis, true},
    {0xD8, 'o', 0, kStroke, true},     {0xD9, 'u', 0, kGrave, true},
    {0xDA, 'u', 0, kAcute, true},      {0xDB, 'u', 0, kCircumflex, true},
    {0xDC, 'u', 0, kDiaeresis, true},  {0xDD, 'y', 0, kAcute, true},
    {0xDE, 0, kThorn, kNone, true},
    {0xE0, 'a', 0, kGrave, false},     {0xE1, 'a', 0, kAcute, false},
    {0xE2, 'a', 0, kCircumflex, false}, {0xE3, 'a', 0, kTilde, false},
    {0xE4, 'a', 0, kDiaeresis, false}, {0xE5, 'a', 0, kRing, false},
    {0xE7, 'c', 0, kCedilla, false},   {0xE8, 'e', 0, kGrave, false},
    {0xE9, 'e', 0, kAcute, false},     {0xEA, 'e', 0, kCircumflex, false},
    {0xEB, 'e', 0, kDiaeresis, false}, {0xEC, 'i', 0, kGrave, false},
    {0xED, 'i', 0, kAcute, false},     {0xEE, 'i', 0, kCircumflex, false},
    {0xEF, 'i', 0, kDiaeresis, false}, {0xF0, 'd', 0, kEth, false},
    {0xF1, 'n', 0, kTilde, false},     {0xF2, 'o', 0, kGrave, false},
    {0xF3, 'o', 0, kAcute, false},     {0xF4, 'o', 0, kCircumflex, false},
    {0xF5, 'o', 0, kTilde, false},     {0xF6, 'o', 0, kDiaeresis, false},
    {0xF8, 'o', 0, kStroke, false},    {0xF9, 'u', 0, kGrave, false},
    {0xFA, 'u', 0, kAcute, false},     {0xFB, 'u', 0, kCircumflex, false},
    {0xFC, 'u', 0, kDiaeresis, false}, {0xFD, 'y', 0, kAcute, false},
    {0xFE, 0, kThorn, kNone, false},   {0xFF, 'y', 0, kDiaeresis, false},
};

constexpr std::array<Entry, 256> BuildTable() {
  std::array<Entry, 256> t{};
  for (int b = 0; b < 256; ++b) t[b].units[0] = {static_cast<std::uint16_t>(kSymbolBase + b), kNone, 0};
  for (int d = 0; d <= 9; ++d) t['0' + d].units[0] = {static_cast<std::uint16_t>(kDigitBase + d), kNone, 0};
  t[0xB9].units[0] = {kDigitBase + 1, kSuperscript, 0};
  t[0xB2].units[0] = {kDigitBase + 2, kSuperscript, 0};
  t[0xB3].units[0] = {kDigitBase + 3, kSuperscript, 0};
  for (char c = 'a'; c <= 'z'; ++c) {
    t[static_cast<unsigned char>(c)].units[0] = {Letter(c), kNone, 0};
    t[static_cast<unsigned char>(c - 0x20)].units[0] = {Letter(c), kNone, 1};
  }
  for (const Decomposition& d : kLetters) {
    const std::uint16_t p = d.base != 0 ? Letter(d.base) : d.primary;
    t[d.byte].units[0] = {p, static_cast<std::uint8_t>(d.accent), static_cast<std::uint8_t>(d.upper)};
  }
  const auto ligature = [&t](unsigned char byte, char first, char second, bool upper) {
    t[byte].units[0] = {Letter(first), kLigature, static_cast<std::uint8_t>(upper)};
    t[byte].units[1] = {Letter(second), kLigature, static_cast<std::uint8_t>(upper)};
    t[byte].count = 2;
  };
  ligature(0xC6, 'a', 'e', true);
  ligature(0xE6, 'a', 'e', false);
  ligature(0x8C, 'o', 'e', true);
  ligature(0x9C, 'o', 'e', false);
  ligature(0xDF, 's', 's', false);
  return t;
}

constexpr std::array<Entry, 256> kTable = BuildTable();

// Walks the collation units of a text.
class UnitCursor {
 public:
  explicit UnitCursor(std::string_view s) : s_(s) {}
  bool Next(Unit& u) {
    if (pos_ >= s_.size()) return false;
    const Entry& e = kTable[static_cast<unsigned char>(s_[pos_])];
    u = e.units[sub_];
    if (++sub_ >= e.count) {
      sub_ = 0;
      ++pos_;
    }
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  std::uint8_t sub_ = 0;
};

int Weight(const Unit& u, int level) {
  switch (level) {
    case 0: return u.primary;
    case 1: return u.accent;
    default: return u.upper;
  }
}

int CompareLevel(std::string_view a, std::string_view b, int level) {
  UnitCursor ca(a), cb(b);
  Unit ua, ub;
  for (;;) {
    const bool ha = ca.Next(ua), hb = cb.Next(ub);
    if (!ha || !hb) return ha == hb ? 0 : (ha ? 1 : -1);
    const int wa = Weight(ua, level), wb = Weight(ub, level);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
}

int Compare(std::string_view a, std::string_view b, int levels) {
  for (int level = 0; level < levels; ++level)
    if (const int r = CompareLevel(a, b, level); r != 0) return r;
  return 0;
}

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b) { return Compare(a, b, 2); }

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

int AnsiCompareStr(std::string_view a, std::string_view b) {
  if (const int r = Compare(a, b, 3); r != 0) return r;
  // Every byte has its own weights, so only equal texts get here; the byte order keeps it total.
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace rtl
