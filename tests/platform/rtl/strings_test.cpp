#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace {

struct CaseMapping {
  std::string_view text, ascii, ansi;
};

TEST(CaseMapping, UpperCaseIsAsciiOnlyAndAnsiUpperCaseKnowsAccents) {
  const CaseMapping cases[] = {
      {"", "", ""},
      {"pathlis", "PATHLIS", "PATHLIS"},
      {"ação"_ansi, "AçãO"_ansi, "AÇÃO"_ansi},
      {"é às vezes ÿ"_ansi, "é àS VEZES ÿ"_ansi, "É ÀS VEZES Ÿ"_ansi},
      {"š ž œ"_ansi, "š ž œ"_ansi, "Š Ž Œ"_ansi},
      {"ß µ ÷ 1ª"_ansi, "ß µ ÷ 1ª"_ansi, "ß µ ÷ 1ª"_ansi},  // no upper-case forms
  };
  for (const CaseMapping& c : cases) {
    EXPECT_EQ(rtl::UpperCase(c.text), c.ascii);
    EXPECT_EQ(rtl::AnsiUpperCase(c.text), c.ansi);
  }
}

TEST(CaseMapping, LowerCaseIsAsciiOnlyAndAnsiLowerCaseKnowsAccents) {
  const CaseMapping cases[] = {
      {"TESQUELN.INI", "tesqueln.ini", "tesqueln.ini"},
      {"AÇÃO"_ansi, "aÇÃo"_ansi, "ação"_ansi},
      {"Ÿ Š Ž Œ Þ × ©"_ansi, "Ÿ Š Ž Œ Þ × ©"_ansi, "ÿ š ž œ þ × ©"_ansi},
  };
  for (const CaseMapping& c : cases) {
    EXPECT_EQ(rtl::LowerCase(c.text), c.ascii);
    EXPECT_EQ(rtl::AnsiLowerCase(c.text), c.ansi);
  }
}

int Sign(int v) { return (v > 0) - (v < 0); }

struct Comparison {
  std::string_view a, b;
  int sign;
};

TEST(AnsiCompareText, IgnoresCaseAndAccentsFirstThenLetsAccentsDecide) {
  const Comparison cases[] = {
      {"", "", 0},
      {"", "a", -1},
      {"a", "A", 0},
      {"ação"_ansi, "AÇÃO"_ansi, 0},
      {"joão"_ansi, "JOÃO"_ansi, 0},
      {"a", "á"_ansi, -1},
      {"á"_ansi, "à"_ansi, -1},
      {"Sao", "São"_ansi, -1},
      {"São Paulo"_ansi, "Sao Paulo", 1},
      {"cote", "coté"_ansi, -1},
      {"coté"_ansi, "côte"_ansi, -1},
      {"côte"_ansi, "côté"_ansi, -1},
      {"Álvaro"_ansi, "Alvo", -1},       // the letters decide before any accent
      {"ábaco"_ansi, "abacaxi", 1},
      {"ç"_ansi, "Z", -1},               // unlike the byte order
      {"Çapo"_ansi, "cara", -1},
      {"Ébano"_ansi, "ebanos", -1},
      {"abc", "ab", 1},
      {"1", "a", -1},                    // digits before letters
      {"-", "0", -1},                    // symbols before digits
      {"item 2", "item 10", 1},          // no numeric ordering
      {"æ"_ansi, "ae", 1},               // ligatures as two letters, then the mark
      {"æ"_ansi, "af", -1},
      {"ß"_ansi, "ss", 1},
      {"ß"_ansi, "st", -1},
      {"¹"_ansi, "1", 1},
      {"ML2.DBF", "ml2.dbf", 0},
  };
  for (const Comparison& c : cases) {
    EXPECT_EQ(Sign(rtl::AnsiCompareText(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(rtl::AnsiCompareText(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
    EXPECT_EQ(rtl::AnsiSameText(c.a, c.b), c.sign == 0);
  }
}

TEST(AnsiCompareText, SortsPortugueseWordsAsADictionaryDoes) {
  std::vector<std::string> words = {"Zebra", "ovo", std::string("ábaco"_ansi), "elefante", "Abacate",
           std::string("Ótimo"_ansi), std::string("çapo"_ansi), "abacaxi", std::string("Élan"_ansi)};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return rtl::AnsiCompareText(a, b) < 0; });
  const std::vector<std::string> expected = {
      "Abacate", "abacaxi", std::string("ábaco"_ansi), std::string("çapo"_ansi), std::string("Élan"_ansi),
      "elefante", std::string("Ótimo"_ansi), "ovo", "Zebra"};
  EXPECT_EQ(words, expected);
}

TEST(AnsiCompareText, IsATotalOrderOverEverySingleByte) {
  // Transitive and antisymmetric over all texts of one byte and a few of two, so that sorting
  // with it is well defined.
  std::vector<std::string> texts;
  for (int b = 1; b < 256; ++b) texts.emplace_back(1, static_cast<char>(b));
  for (const char* t : {"ae", "ss", "oe", "AE", "11"}) texts.emplace_back(t);
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      const int ab = Sign(rtl::AnsiCompareText(a, b));
      ASSERT_EQ(ab, -Sign(rtl::AnsiCompareText(b, a))) << a << " " << b;
      ASSERT_EQ(Sign(rtl::AnsiCompareStr(a, b)), -Sign(rtl::AnsiCompareStr(b, a)));
      if (a != b) {
        ASSERT_NE(rtl::AnsiCompareStr(a, b), 0) << a << " " << b;
      }
      // Equal without regard to case means the same letter in the other case.
      if (ab == 0 && a != b) {
        ASSERT_EQ(rtl::AnsiUpperCase(a), rtl::AnsiUpperCase(b)) << a << " " << b;
      }
    }
  }
  std::vector<std::string> sorted = texts;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return rtl::AnsiCompareText(a, b) < 0; });
  for (std::size_t i = 1; i < sorted.size(); ++i) ASSERT_LE(rtl::AnsiCompareText(sorted[i - 1], sorted[i]), 0);
}

TEST(AnsiCompareStr, LetsCaseDecideLastLowerFirst) {
  const Comparison cases[] = {
      {"a", "a", 0},  {"a", "A", -1}, {"A", "b", -1}, {"ação"_ansi, "Ação"_ansi, -1},
      {"Ação"_ansi, "acao", 1},  // the accent outweighs the case
  };
  for (const Comparison& c : cases) {
    EXPECT_EQ(Sign(rtl::AnsiCompareStr(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(rtl::AnsiCompareStr(c.b, c.a)), -c.sign);
  }
}

TEST(CompareText, IgnoresTheCaseOfAsciiLettersOnly) {
  const Comparison cases[] = {
      {"abc", "ABC", 0},  {"F:\\Data", "f:\\DATA", 0}, {"a", "b", -1}, {"ab", "abc", -1},
      {"ação"_ansi, "AÇÃO"_ansi, 1},  // accented letters compare as bytes
      {"[", "a", 1},                   // letters compare in upper case, before "["
  };
  for (const Comparison& c : cases) {
    EXPECT_EQ(Sign(rtl::CompareText(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(rtl::SameText(c.a, c.b), c.sign == 0);
  }
}

struct TrimCase {
  std::string_view text, both, left, right;
};

TEST(Trim, DropsBlanksAndControlCharacters) {
  const TrimCase cases[] = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"  a b  ", "a b", "a b  ", "  a b"},
      {"\t\r\na\x01", "a", "a\x01", "\t\r\na"},
      {std::string_view("\0x\0", 3), "x", std::string_view("x\0", 2), std::string_view("\0x", 2)},
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},  // a no-break space is a character
  };
  for (const TrimCase& c : cases) {
    EXPECT_EQ(rtl::Trim(c.text), c.both);
    EXPECT_EQ(rtl::TrimLeft(c.text), c.left);
    EXPECT_EQ(rtl::TrimRight(c.text), c.right);
  }
}

TEST(FormatS, SubstitutesTheArgumentOnce) {
  const struct {
    std::string_view pattern, arg, expected;
  } cases[] = {
      {"Unable to write to %s", "tesqueln.ini", "Unable to write to tesqueln.ini"},
      {"%d items", "3", "3 items"},
      {"100%% of %s", "x", "100% of x"},
      {"%s and %s", "x", "x and %s"},
      {"no place", "x", "no place"},
      {"ends in %", "x", "ends in %"},
      {"%x %s", "y", "%x y"},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::FormatS(c.pattern, c.arg), c.expected);
}

}  // namespace
