#include <gtest/gtest.h>

#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/errors.h"
#include "platform/xbe/expr/keys.h"
#include "platform/xbe/expr/numfmt.h"

namespace xbe::expr {
namespace {

std::string Hex(const std::string& s) {
  static const char* d = "0123456789abcdef";
  std::string r;
  for (unsigned char c : s) {
    r += d[c >> 4];
    r += d[c & 15];
  }
  return r;
}

TEST(KeysTest, NtxNumbersAreZeroPaddedAndNegativesComplemented) {
  KeyLayout layout{KeyFormat::kNtx, Type::kNumeric, 12, 2};
  // As stored in the reference NTX files.
  EXPECT_EQ(EncodeKey(Value::Numeric(999946.96), layout, ""), "000999946.96");
  EXPECT_EQ(EncodeKey(Value::Numeric(-1602.91), layout, ""), ",,,,,+&,*.#+");
  EXPECT_EQ(EncodeKey(Value::Numeric(0), layout, ""), "000000000.00");
  EXPECT_LT(EncodeKey(Value::Numeric(-3922.94), layout, ""), EncodeKey(Value::Numeric(-1939.59), layout, ""));
  EXPECT_LT(EncodeKey(Value::Numeric(-0.01), layout, ""), EncodeKey(Value::Numeric(0), layout, ""));
  KeyLayout code{KeyFormat::kNtx, Type::kNumeric, 6, 0};
  EXPECT_EQ(EncodeKey(Value::Numeric(248), code, ""), "000248");
}

TEST(KeysTest, CdxNumbersAreOrderedDoubles) {
  KeyLayout layout{KeyFormat::kCdx, Type::kNumeric, 8, 0};
  // As stored in the reference CDX file (ESTOQUE -70 and 9950.07).
  EXPECT_EQ(Hex(EncodeKey(Value::Numeric(-70), layout, "")), "3fae7fffffffffff");
  EXPECT_EQ(Hex(EncodeKey(Value::Numeric(0), layout, "")), "8000000000000000");
  EXPECT_EQ(Hex(EncodeKey(Value::Numeric(-0.0), layout, "")), "8000000000000000");
  EXPECT_LT(EncodeKey(Value::Numeric(-70), layout, ""), EncodeKey(Value::Numeric(-1), layout, ""));
  EXPECT_LT(EncodeKey(Value::Numeric(1), layout, ""), EncodeKey(Value::Numeric(2.5), layout, ""));
  KeyLayout date{KeyFormat::kCdx, Type::kDate, 8, 0};
  EXPECT_LT(EncodeKey(Value::Date(0), date, ""), EncodeKey(Value::Date(JulianFromYmd(2000, 1, 1)), date, ""));
}

TEST(KeysTest, CharacterDateAndLogicalKeys) {
  EXPECT_EQ(EncodeKey(Value::Character("AB"), {KeyFormat::kNtx, Type::kCharacter, 4, 0}, ""), "AB  ");
  EXPECT_EQ(EncodeKey(Value::Character("ABCDEF"), {KeyFormat::kCdx, Type::kCharacter, 4, 0}, ""), "ABCD");
  EXPECT_EQ(EncodeKey(Value::Date(JulianFromYmd(1999, 12, 31)), {KeyFormat::kNtx, Type::kDate, 8, 0}, ""),
            "19991231");
  EXPECT_EQ(EncodeKey(Value::Date(0), {KeyFormat::kNtx, Type::kDate, 8, 0}, ""), "        ");
  EXPECT_EQ(EncodeKey(Value::Logical(true), {KeyFormat::kNtx, Type::kLogical, 1, 0}, ""), "T");
  EXPECT_THROW(EncodeKey(Value::Numeric(1), {KeyFormat::kNtx, Type::kCharacter, 4, 0}, "X"), ExprError);
}

TEST(KeysTest, SpecsForNewOrdersAndTextKeys) {
  KeyLayout n = KeyLayoutFor(KeyFormat::kNtx, Value::Numeric(0, 12, 2));
  EXPECT_EQ(n.length, 12);
  EXPECT_EQ(n.decimals, 2);
  EXPECT_EQ(KeyLayoutFor(KeyFormat::kCdx, Value::Numeric(0, 12, 2)).length, 8);
  EXPECT_EQ(KeyLayoutFor(KeyFormat::kNtx, Value::Character("abc")).length, 3);
  EXPECT_EQ(KeyFromText("12.5", n), "000000012.50");
  EXPECT_EQ(KeyFromText("AB", {KeyFormat::kNtx, Type::kCharacter, 4, 0}), "AB");
  EXPECT_EQ(KeyFromText("20240131", {KeyFormat::kNtx, Type::kDate, 8, 0}), "20240131");
}

TEST(KeysTest, NumericKeysFromTextAgreeWithTheValueTheTextHolds) {
  const KeyLayout whole{KeyFormat::kNtx, Type::kNumeric, 8, 0};
  for (const char* text : {"7", "007", "  42", "\t5", "123abc", "12.5", "12.", "-3", "+3", "99999999", "123456789",
                           "0", "000", "", "   ", "x1", "1234567890123456789"}) {
    SCOPED_TRACE(text);
    int dec = 0;
    EXPECT_EQ(KeyFromText(text, whole), EncodeKey(Value::Numeric(ValOf(text, &dec)), whole, text));
  }
}

}  // namespace
}  // namespace xbe::expr
