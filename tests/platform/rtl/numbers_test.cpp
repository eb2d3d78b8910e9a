#include <clocale>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/rtl/exception.h"
#include "platform/rtl/strutils.h"

namespace {

struct IntCase {
  std::string_view text;
  int value;
};

TEST(Integers, ParseDecimalAndHexadecimalTexts) {
  const IntCase cases[] = {
      {"0", 0},       {"123", 123},        {"-45", -45},         {"+7", 7},
      {"  12", 12},   {"007", 7},          {"$FF", 255},         {"$ff", 255},
      {"0x1A", 26},   {"0X1a", 26},        {"-$10", -16},        {"$FFFFFFFF", -1},
      {"$7FFFFFFF", 2147483647},           {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int>::min()},
  };
  for (const IntCase& c : cases) {
    EXPECT_EQ(rtl::StrToInt(c.text), c.value) << c.text;
    int out = 0;
    EXPECT_TRUE(rtl::TryStrToInt(c.text, out));
    EXPECT_EQ(out, c.value);
    EXPECT_EQ(rtl::StrToIntDef(c.text, -99), c.value);
  }
}

TEST(Integers, TextsThatAreNoIntegerRaiseAConversionError) {
  const std::string_view bad[] = {"",     " ",     "12a",  "1.5",        "12 ",         "2147483648",
                                  "-2147483649", "$",  "0x", "--1",      "$100000000",  "abc",
                                  "1e3",  "+",     "- 1",  "\t1",        "1\n"};
  for (std::string_view text : bad) {
    try {
      rtl::StrToInt(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const rtl::EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
    }
    int out = 42;
    EXPECT_FALSE(rtl::TryStrToInt(text, out));
    EXPECT_EQ(rtl::StrToIntDef(text, -99), -99);
  }
}

TEST(Integers, SixtyFourBitRangeIsExact) {
  EXPECT_EQ(rtl::StrToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(rtl::StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(rtl::StrToInt64("4294967296"), 4294967296LL);
  EXPECT_EQ(rtl::StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_THROW(rtl::StrToInt64("9223372036854775808"), rtl::EConvertError);
  EXPECT_THROW(rtl::StrToInt64("$10000000000000000"), rtl::EConvertError);
  EXPECT_THROW(rtl::StrToInt64("x"), rtl::Exception);  // the common base of every error
  EXPECT_EQ(rtl::IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(rtl::IntToStr(0), "0");
  EXPECT_EQ(rtl::IntToStr(-17), "-17");
}

// The texts must not change with the host's locale (a Portuguese one writes "1,5").
class FloatTexts : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (GetParam()[0] != '\0' && std::setlocale(LC_ALL, GetParam()) == nullptr)
      GTEST_SKIP() << "locale " << GetParam() << " not installed";
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(FloatTexts, FloatToStrGivesTheShortestTextThatReadsBack) {
  const struct {
    double value;
    std::string_view text;
  } cases[] = {
      {1.5, "1.5"},    {-4, "-4"},          {0.1, "0.1"},        {0, "0"},
      {-0.0, "0"},     {1e20, "1e+20"},     {123456.789, "123456.789"},
      {1.0 / 3, "0.3333333333333333"},      {2.5e-7, "2.5e-07"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::nan(""), "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::FloatToStr(c.value), c.text);
  for (double v : {0.1, 1.0 / 3, 1e-300, 123456789.125, -2.75, 1e15 + 0.5})
    EXPECT_EQ(rtl::StrToFloat(rtl::FloatToStr(v)), v);
}

TEST_P(FloatTexts, FixedDecimalsRoundHalfAwayFromZero) {
  const struct {
    double value;
    int decimals;
    std::string_view text;
  } cases[] = {
      {3.14159, 2, "3.14"}, {2.5, 0, "3"},      {-2.5, 0, "-3"},   {0.125, 2, "0.13"},
      {1.005, 2, "1.01"},   {0, 2, "0.00"},     {-0.001, 2, "0.00"}, {99.995, 2, "100.00"},
      {1234567.5, 1, "1234567.5"}, {0.0001, 3, "0.000"}, {0.0005, 3, "0.001"}, {42, 0, "42"},
      {-7.25, 1, "-7.3"},  {1e20, 2, "100000000000000000000.00"}, {5, -1, "5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rtl::FloatToStrFixed(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
}

// Texts round on their digits: no binary value in between, so "2.675" is not 2.67499...
TEST_P(FloatTexts, DecimalTextsRoundHalfAwayFromZeroOnTheirDigits) {
  const struct {
    std::string_view text;
    int decimals;
    std::string_view rounded;
  } cases[] = {
      {"2.675", 2, "2.68"},   {"-0.125", 2, "-0.13"}, {"1.005", 2, "1.01"},   {" +2.5 ", 0, "3"},
      {"-2.5", 0, "-3"},      {"0.49999", 0, "0"},    {"-0.004", 2, "0.00"},  {"-0", 1, "0.0"},
      {"99.995", 2, "100.00"}, {".5", 0, "1"},        {"5.", 2, "5.00"},      {"007.10", 3, "7.100"},
      {"12345678901234567890.5", 0, "12345678901234567891"}, {"1.0049999999999999", 2, "1.00"},
      {"3", -1, "3"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rtl::RoundDecimalText(c.text, c.decimals), c.rounded) << c.text << " with " << c.decimals;
  for (std::string_view text : {"", "-", ".", "1e5", "1,5", "1.2.3", "--1", "0x10", "1 2"})
    EXPECT_THROW(rtl::RoundDecimalText(text, 2), rtl::EConvertError) << text;
}

TEST_P(FloatTexts, StrToFloatReadsDotDecimalsAndRejectsTheRest) {
  const struct {
    std::string_view text;
    double value;
  } good[] = {{"1.5", 1.5}, {" 2.25 ", 2.25}, {"-3", -3}, {"+4.5", 4.5}, {".5", 0.5},
              {"5.", 5},    {"1e3", 1000},    {"1E-2", 0.01}, {"0", 0}};
  for (const auto& c : good) {
    EXPECT_EQ(rtl::StrToFloat(c.text), c.value) << c.text;
    double out = 0;
    EXPECT_TRUE(rtl::TryStrToFloat(c.text, out));
  }
  for (std::string_view text : {"", " ", "1,5", "abc", "inf", "nan", "1.5x", "--1", "1e999", "0x10", "+-1", "e5"}) {
    try {
      rtl::StrToFloat(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const rtl::EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid floating point value");
    }
    double out = 0;
    EXPECT_FALSE(rtl::TryStrToFloat(text, out)) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, FloatTexts, ::testing::Values("", "pt_BR.UTF-8", "de_DE.UTF-8"),
                         [](const auto& info) {
                           std::string name = info.param[0] ? info.param : "C";
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
