// Numbers written with more decimals than a numeric field holds: rounded half away from zero on
// the decimal value as written, the way xBase programs store them, whichever path writes them.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

struct Case {
  const char* field;
  const char* written;
  const char* stored;  // the field's bytes; nullptr: refused, the field keeps its value
};

// A: N(8,2), B: N(6,0), C: N(6,2), D: N(5,2), E: N(20,0), G: N(20,2), F: F(8,2).
const Case kCases[] = {
    {"A", "2.675", "    2.68"},   {"A", "0.125", "    0.13"},    {"A", "-0.125", "   -0.13"},
    {"A", "1.005", "    1.01"},   {"A", "10.555", "   10.56"},   {"A", "0.045", "    0.05"},
    {"A", "-2.675", "   -2.68"},  {"A", "0", "    0.00"},        {"A", "-0.004", "    0.00"},
    {"A", "-0.005", "   -0.01"},  {"A", "+.5", "    0.50"},      {"A", "7.", "    7.00"},
    {"A", "99999.994", "99999.99"}, {"A", "-9999.994", "-9999.99"}, {"A", "-9999.995", nullptr},
    {"A", "99999.995", nullptr},  {"B", "2.5", "     3"},        {"B", "-2.5", "    -3"},
    {"B", "0.5", "     1"},       {"B", "0.49", "     0"},       {"B", "-0.5", "    -1"},
    {"B", "999999.4", "999999"},  {"B", "999999.5", nullptr},    {"B", "-99999.5", nullptr},
    {"C", "99.995", "100.00"},    {"D", "99.995", nullptr},      {"D", "99.994", "99.99"},
    {"E", "99999999999999999999", "99999999999999999999"},
    {"E", "-9999999999999999999.4", "-9999999999999999999"},
    {"G", "12345678901234567.895", "12345678901234567.90"},
    {"F", "2.675", "    2.68"},   {"F", "-0.125", "   -0.13"},
};

class NumericRounding : public ::testing::Test {
 protected:
  void SetUp() override {
    using xbe::NewField;
    const std::vector<NewField> fields = {{"A", xbe::kNumericText, 8, 2},  {"B", xbe::kNumericText, 6, 0},
                                          {"C", xbe::kNumericText, 6, 2},  {"D", xbe::kNumericText, 5, 2},
                                          {"E", xbe::kNumericText, 20, 0}, {"G", xbe::kNumericText, 20, 2},
                                          {"F", xbe::kNumericText, 8, 2},  {"X", xbe::kNumericText, 8, 3}};
    xbe::CreateTable(tmp_.str() + "/NUMS", xbe::TableType::kNtx, fields);
    // The last but one field is a float (F) field: the same text form under another letter.
    const std::string path = tmp_.str() + "/NUMS.dbf";
    std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes[32 + 32 * 6], 'F');
    bytes[32 + 32 * 6 + 11] = 'F';
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  XBEHANDLE Open(const Connection& c) { return OpenTable(c, "NUMS"); }
  static std::string Raw(XBEHANDLE t, const char* field) {
    uint32_t offset = 0, length = 0, record = 0;
    EXPECT_EQ(XbeGetFieldOffset(t, field, &offset), 0u);
    EXPECT_EQ(XbeGetFieldLength(t, field, &length), 0u);
    EXPECT_EQ(XbeGetRecordLength(t, &record), 0u);
    std::string image(record, '\0');
    EXPECT_EQ(XbeGetRecord(t, image.data(), record), 0u);
    return image.substr(offset, length);
  }
  testsupport::TempDir tmp_;
};

TEST_F(NumericRounding, TextsRoundHalfAwayFromZeroOnTheirDigits) {
  Connection c(tmp_.str());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  for (const Case& k : kCases) {
    XBE_OK(XbeAppendRecord(t));
    SetText(t, k.field, "1");
    XBE_OK(XbeWriteRecord(t));
    const std::string before = Raw(t, k.field);
    const XBERESULT r = XbeSetField(t, k.field, k.written, static_cast<uint32_t>(std::strlen(k.written)));
    if (k.stored == nullptr) {
      EXPECT_EQ(r, 6014u) << k.field << " " << k.written;
      XBE_OK(XbeWriteRecord(t));
      EXPECT_EQ(Raw(t, k.field), before) << k.field << " " << k.written;
      continue;
    }
    EXPECT_EQ(r, 0u) << k.field << " " << k.written << ": " << LastErrorText();
    XBE_OK(XbeWriteRecord(t));
    EXPECT_EQ(Raw(t, k.field), k.stored) << k.field << " " << k.written;
  }
  XBE_OK(XbeCloseTable(t));
}

// A double lands as the text it reads as: its shortest decimal text, rounded the same way.
TEST(NumericDoubles, LandAsTheirShortestTextDoes) {
  const struct {
    uint32_t length;
    uint16_t decimals;
  } widths[] = {{8, 2}, {6, 0}, {6, 2}, {5, 2}, {20, 0}, {20, 2}, {8, 2}};
  const std::string names = "ABCDEGF";
  for (const Case& k : kCases) {
    // Only texts a double holds exactly enough to give them back (15 digits at most).
    const std::string written = k.written;
    if (std::count_if(written.begin(), written.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) > 15) continue;
    double v = 0;
    const char* b = k.written + (k.written[0] == '+' ? 1 : 0);
    ASSERT_EQ(std::from_chars(b, b + std::strlen(b), v).ec, std::errc()) << k.written;
    const auto w = widths[names.find(k.field[0])];
    const auto stored = xbe::FormatNumeric(v, w.length, w.decimals);
    if (k.stored == nullptr) EXPECT_FALSE(stored) << k.written;
    else EXPECT_EQ(stored, k.stored) << k.written;
    EXPECT_EQ(stored, xbe::FormatNumericText(k.written, w.length, w.decimals)) << k.written;
  }
  EXPECT_EQ(xbe::FormatNumeric(-0.0, 6, 2), "  0.00");
  EXPECT_EQ(xbe::FormatNumeric(1e-300, 6, 2), "  0.00");
  EXPECT_EQ(xbe::FormatNumeric(1e19, 20, 0), "10000000000000000000");
  EXPECT_FALSE(xbe::FormatNumeric(1e300, 20, 0));
}

// Keys are built from the stored bytes, so an order finds the rounded value.
TEST_F(NumericRounding, IndexKeysFollowTheStoredValue) {
  Connection c(tmp_.str());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  xbe::CreateNtxIndex(t, c.directory() + "\\NUMSA", "A");
  XBEHANDLE orders[4] = {};
  uint16_t count = 4;
  XBE_OK(XbeOpenIndex(t, (c.directory() + "\\NUMSA.ntx").c_str(), orders, &count));
  ASSERT_EQ(count, 1);
  for (const char* v : {"3.125", "2.675", "1.004"}) {
    XBE_OK(XbeAppendRecord(t));
    SetText(t, "A", v);
    XBE_OK(XbeWriteRecord(t));
  }
  uint16_t found = 0;
  XBE_OK(XbeSeek(orders[0], "2.68", 4, XBE_TEXT_KEY, XBE_HARD_SEEK, &found));
  EXPECT_EQ(found, 1);
  uint32_t recno = 0;
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 2u);
  XBE_OK(XbeSeek(orders[0], "3.13", 4, XBE_TEXT_KEY, XBE_HARD_SEEK, &found));
  EXPECT_EQ(found, 1);
  XBE_OK(XbeCloseTable(t));
}

// A restructure that takes decimals away rounds each value the same way, or stops at one that
// no longer fits.
TEST_F(NumericRounding, RestructureConversionsRoundTheSameWay) {
  Connection c(tmp_.str());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  for (const char* v : {"2.675", "-0.125", "1.005", "9999.995"}) {
    XBE_OK(XbeAppendRecord(t));
    SetText(t, "X", v);
    XBE_OK(XbeWriteRecord(t));
  }
  XBE_OK(XbeCloseTable(t));
  const std::string table = c.directory() + "\\NUMS";
  XBE_OK(XbeRestructureTable(c.handle(), table.c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, XBE_IGNORE_RIGHTS, nullptr,
                             nullptr, "X,X,N,9,2"));
  t = Open(c);
  const char* expected[] = {"2.68", "-0.13", "1.01", "10000.00"};
  for (uint32_t r = 1; r <= 4; ++r) {
    XBE_OK(XbeGotoRecord(t, r));
    EXPECT_EQ(FieldText(t, "X"), expected[r - 1]) << r;
  }
  XBE_OK(XbeCloseTable(t));
  // Into N(6,1) the last value no longer fits: the restructure stops and names the record.
  const std::string before = ReadFile(tmp_.str() + "/NUMS.dbf");
  EXPECT_EQ(XbeRestructureTable(c.handle(), table.c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, XBE_IGNORE_RIGHTS,
                                nullptr, nullptr, "X,X,N,6,1"),
            6005u);
  EXPECT_NE(LastErrorText().find("record 4"), std::string::npos) << LastErrorText();
  EXPECT_EQ(ReadFile(tmp_.str() + "/NUMS.dbf"), before);
}

}  // namespace
