#include <iconv.h>

#include <gtest/gtest.h>

#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage.h"

using namespace rtl::literals;

namespace {

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

struct SharedLetter {
  int oem;
  int ansi;
  const char* what;
};

// Letters of Portuguese text and signs of the tables' data, in both pages.
const SharedLetter kShared[] = {
    {0x80, 0xC7, "C cedilla"}, {0x87, 0xE7, "c cedilla"}, {0x90, 0xC9, "E acute"},
    {0x82, 0xE9, "e acute"},   {0xC7, 0xC3, "A tilde"},   {0xC6, 0xE3, "a tilde"},
    {0xE5, 0xD5, "O tilde"},   {0xE4, 0xF5, "o tilde"},   {0xA0, 0xE1, "a acute"},
    {0xB5, 0xC1, "A acute"},   {0x85, 0xE0, "a grave"},   {0x83, 0xE2, "a circumflex"},
    {0x88, 0xEA, "e circumflex"}, {0xA2, 0xF3, "o acute"}, {0x93, 0xF4, "o circumflex"},
    {0xA3, 0xFA, "u acute"},   {0x81, 0xFC, "u diaeresis"}, {0xA1, 0xED, "i acute"},
    {0xA6, 0xAA, "feminine ordinal"}, {0xA7, 0xBA, "masculine ordinal"},
    {0xF8, 0xB0, "degree"},    {0xFF, 0xA0, "no-break space"}, {0x9F, 0x83, "f hook"},
};

TEST(CodePage, SharedCharactersMapBothWays) {
  for (const SharedLetter& c : kShared) {
    EXPECT_EQ(rtl::OemToAnsi(Byte(c.oem)), Byte(c.ansi)) << c.what;
    EXPECT_EQ(rtl::AnsiToOem(Byte(c.ansi)), Byte(c.oem)) << c.what;
  }
  EXPECT_EQ(rtl::OemToAnsi("S\xC7O JO\xC7O"), "SÃO JOÃO"_ansi);
  EXPECT_EQ(rtl::AnsiToOem("Atualização"_ansi), "Atualiza\x87\xC6o");
}

struct BestFit {
  int from;
  char to;
  const char* what;
};

TEST(CodePage, OemCharactersThatAnsiLacksGetTheDocumentedFit) {
  const BestFit cases[] = {
      {0xC4, '-', "light horizontal"}, {0xCD, '-', "double horizontal"}, {0xB3, '|', "light vertical"},
      {0xBA, '|', "double vertical"},  {0xDA, '+', "corner"},            {0xC5, '+', "cross"},
      {0xCA, '+', "double tee"},       {0xB0, '?', "light shade"},       {0xDB, '?', "full block"},
      {0xFE, '?', "black square"},     {0xD5, 'i', "dotless i"},         {0xF2, '_', "double low line"},
  };
  for (const BestFit& c : cases) EXPECT_EQ(rtl::OemToAnsiChar(static_cast<char>(c.from)), c.to) << c.what;
}

TEST(CodePage, AnsiCharactersThatOemLacksGetTheDocumentedFit) {
  const BestFit cases[] = {
      {0x80, '?', "euro"},         {0x81, '?', "undefined"},       {0x8D, '?', "undefined"},
      {0x91, '\'', "left quote"},  {0x92, '\'', "right quote"},    {0x93, '"', "left double quote"},
      {0x94, '"', "right double"}, {0x96, '-', "en dash"},         {0x97, '-', "em dash"},
      {0x85, '.', "ellipsis"},     {0x8A, 'S', "S caron"},         {0x9C, 'o', "oe"},
      {0x99, 'T', "trade mark"},   {0x9F, 'Y', "Y diaeresis"},
  };
  for (const BestFit& c : cases) EXPECT_EQ(rtl::AnsiToOemChar(static_cast<char>(c.from)), c.to) << c.what;
}

TEST(CodePage, ConversionKeepsLengthAndAsciiAndRoundTripsSharedCharacters) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string ansi = rtl::OemToAnsi(all);
  const std::string oem = rtl::AnsiToOem(all);
  ASSERT_EQ(ansi.size(), 256u);
  ASSERT_EQ(oem.size(), 256u);
  EXPECT_EQ(ansi.substr(0, 128), all.substr(0, 128));
  EXPECT_EQ(oem.substr(0, 128), all.substr(0, 128));
  int shared = 0;
  for (int b = 0x80; b < 256; ++b) {
    const unsigned char a = static_cast<unsigned char>(ansi[b]);
    if (a < 0x80) continue;  // a best fit
    ++shared;
    EXPECT_EQ(static_cast<unsigned char>(rtl::AnsiToOemChar(static_cast<char>(a))), b) << std::hex << b;
  }
  EXPECT_EQ(shared, 97);  // all of Latin-1's upper half and the f hook
}

// An independent check of both tables: wherever the host's converter knows an exact mapping,
// the table must agree with it.
TEST(CodePage, TablesAgreeWithTheHostConverter) {
  const auto check = [](const char* from, const char* to, char (*ours)(char)) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    for (int b = 0x80; b < 256; ++b) {
      char in = static_cast<char>(b), out[8] = {};
      char* inp = &in;
      char* outp = out;
      std::size_t inLeft = 1, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) continue;
      if (outp - out != 1) continue;
      EXPECT_EQ(static_cast<unsigned char>(ours(in)), static_cast<unsigned char>(out[0]))
          << from << " -> " << to << " byte " << std::hex << b;
    }
    iconv_close(cd);
    return true;
  };
  if (!check("CP850", "CP1252", rtl::OemToAnsiChar) || !check("CP1252", "CP850", rtl::AnsiToOemChar))
    GTEST_SKIP() << "the host has no CP850/CP1252 converter";
}

TEST(AnsiLiterals, AreTheCodePage1252BytesOfTheUtf8Source) {
  static_assert("Não"_ansi.size() == 3);
  EXPECT_EQ("Não"_ansi, std::string_view("N\xE3o", 3));
  EXPECT_EQ("Assistente de Configuração"_ansi, "Assistente de Configura\xE7\xE3o");
  EXPECT_EQ("€ŸŽ"_ansi, "\x80\x9F\x8E");
  EXPECT_EQ(""_ansi, "");
}

struct Utf8Case {
  std::string ansi;
  std::string utf8;
};

TEST(CodePage, AnsiAndUtf8ConvertBothWays) {
  const Utf8Case cases[] = {
      {"", ""},
      {"PathLIS", "PathLIS"},
      {std::string("Atualização"_ansi), "Atualização"},
      {std::string("Não foi encontrado"_ansi), "Não foi encontrado"},
      {std::string("€ – “x” ™"_ansi), "€ – “x” ™"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // 1252 leaves them undefined
      {std::string("ÿ"_ansi), "ÿ"},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(rtl::AnsiToUtf8(c.ansi), c.utf8);
    EXPECT_EQ(rtl::Utf8ToAnsi(c.utf8), c.ansi);
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(rtl::Utf8ToAnsi(rtl::AnsiToUtf8(all)), all);
}

TEST(CodePage, Utf8ThatAnsiCannotHoldBecomesQuestionMarks) {
  const Utf8Case cases[] = {
      {"?", "\xFF"},                   // never valid in UTF-8
      {"a?", "a\xC3"},                 // truncated sequence
      {"??", "\xC0\xAF"},              // overlong form
      {"???", "\xED\xA0\x80"},         // a surrogate
      {"?", "中"},                     // outside 1252
      {"x?y", "x\xF0\x9F\x98\x80y"},   // outside the basic plane
      {"??A", "\xE2\x82" "A"},         // broken in the middle
  };
  for (const Utf8Case& c : cases) EXPECT_EQ(rtl::Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

}  // namespace
