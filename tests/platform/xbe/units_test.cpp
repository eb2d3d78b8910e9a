// The engine's small parts and its process-wide calls: dates, numbers, memo references,
// errors and buffers, settings, connections and the table catalogue.
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/memo_store.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

TEST(Julian, KnownDaysAndRoundTrips) {
  EXPECT_EQ(xbe::JulianFromCivil(1899, 12, 30), 2415019);
  EXPECT_EQ(xbe::JulianFromCivil(1, 1, 1), 1721426);
  EXPECT_EQ(xbe::JulianFromCivil(2000, 2, 29), 2451604);
  for (std::int64_t j = 1721426; j < 5373484; j += 997) {
    const auto d = xbe::CivilFromJulian(j);
    EXPECT_EQ(xbe::JulianFromCivil(d.year, d.month, d.day), j);
  }
  EXPECT_EQ(xbe::JulianFromStorageText("20240229"), xbe::JulianFromCivil(2024, 2, 29));
  EXPECT_EQ(xbe::JulianFromStorageText("        "), 0);
  EXPECT_FALSE(xbe::JulianFromStorageText("20230229"));
  EXPECT_FALSE(xbe::JulianFromStorageText("2024AB01"));
  EXPECT_EQ(xbe::StorageTextFromJulian(2415019), "18991230");
}

TEST(Julian, ConversionCalls) {
  double j = 0;
  XBE_OK(XbeConvertStringToJulian("20240315xyz", 8, &j));
  EXPECT_EQ(j, 2460385.0);
  EXPECT_EQ(XbeConvertStringToJulian("2024-03-15", 10, &j), 6014u);
  char text[13];
  uint16_t length = 13;
  XBE_OK(XbeConvertJulianToString(2460385.0, text, &length));
  EXPECT_STREQ(text, "20240315");
  EXPECT_EQ(length, 8);
  length = 8;  // no room for the terminating zero
  EXPECT_EQ(XbeConvertJulianToString(2460385.0, text, &length), 5005u);
  EXPECT_EQ(length, 9);
}

TEST(Numbers, FixedWidthTexts) {
  EXPECT_EQ(xbe::FormatNumeric(-12.5, 10, 2), "    -12.50");
  EXPECT_EQ(xbe::FormatNumeric(123456, 6, 0), "123456");
  EXPECT_FALSE(xbe::FormatNumeric(1234567, 6, 0));
  EXPECT_FALSE(xbe::FormatNumeric(99.999, 5, 2));  // rounds to 100.00, seven characters
  EXPECT_EQ(xbe::FormatNumeric(-0.001, 5, 2), " 0.00");
  EXPECT_EQ(xbe::ParseDecimal("  -4.5 "), -4.5);
  EXPECT_FALSE(xbe::ParseDecimal("4.5.1"));
  EXPECT_FALSE(xbe::ParseDecimal("1e5"));
  EXPECT_FALSE(xbe::ParseDecimal(" - "));
}

TEST(MemoReferences, BothForms) {
  char ten[10];
  xbe::EncodeMemoReference(1234, ten, 10);
  EXPECT_EQ(std::string(ten, 10), "      1234");
  EXPECT_EQ(xbe::DecodeMemoReference(std::string_view(ten, 10)), 1234u);
  xbe::EncodeMemoReference(0, ten, 10);
  EXPECT_EQ(std::string(ten, 10), std::string(10, ' '));
  EXPECT_EQ(xbe::DecodeMemoReference("   12x    "), 0u);
  EXPECT_EQ(xbe::DecodeMemoReference("99999999999"), 0u);
  char four[4];
  xbe::EncodeMemoReference(0x01020304, four, 4);
  EXPECT_EQ(xbe::DecodeMemoReference(std::string_view(four, 4)), 0x01020304u);
}

TEST(Errors, LastErrorIsPerThreadAndBuffersFollowTheCapacityRule) {
  uint16_t n = 0;
  EXPECT_EQ(XbeGetNumFields(77, &n), 6001u);
  uint32_t code = 0;
  uint16_t length = 0;
  XBE_OK(XbeGetLastError(&code, nullptr, &length));  // no buffer: never fails
  EXPECT_EQ(code, 6001u);
  EXPECT_GT(length, 10);
  char small[8];
  length = sizeof small;
  XBE_OK(XbeGetLastError(&code, small, &length));
  EXPECT_EQ(length, 7);
  EXPECT_EQ(std::string(small), "Error 6");
  std::thread([] {
    uint32_t c = 1;
    uint16_t l = 0;
    XbeGetLastError(&c, nullptr, &l);
    EXPECT_EQ(c, 0u);
  }).join();
  EXPECT_EQ(XbeSetLastError(5054, "Update permission not granted on this table."), 5054u);
  char text[601];
  length = 600;
  XBE_OK(XbeGetLastError(&code, text, &length));
  EXPECT_EQ(code, 5054u);
  EXPECT_STREQ(text, "Update permission not granted on this table.");
  length = 600;
  XBE_OK(XbeGetErrorString(6004, text, &length));
  EXPECT_NE(std::string(text).find("in use"), std::string::npos);
  uint32_t major = 0, minor = 0;
  char letter = 0;
  length = 0;
  XBE_OK(XbeGetVersion(&major, &minor, &letter, nullptr, &length));
  EXPECT_EQ(major, 7u);
}

TEST(Settings, TheUpdatersSequence) {
  XBE_OK(XbeCacheOpenCursors(25));
  XBE_OK(XbeSetDateFormat("dd/MM/yyyy"));
  uint16_t decimals = 0, deleted = 1;
  XBE_OK(XbeGetDecimals(&decimals));
  XBE_OK(XbeGetDeleted(&deleted));
  XBE_OK(XbeSetServerType(6));
  XBEHANDLE c = 0;
  EXPECT_EQ(XbeConnect("/tmp", &c), 6015u);
  EXPECT_NE(LastErrorText().find("local"), std::string::npos);
  XBE_OK(XbeSetDateFormat("DD/MM/yyyy"));
  XBE_OK(XbeSetDecimals(2));
  XBE_OK(XbeShowDeleted(0));
  XBE_OK(XbeSetServerType(1));
  EXPECT_EQ(XbeSetDateFormat("hh:mm"), 6010u);
  EXPECT_EQ(XbeSetDateFormat(""), 6010u);
  XBE_OK(XbeConnect("/tmp", &c));
  double julian = 0;
  XBE_OK(XbeConvertDateToJulian(c, "15/03/2024", 10, &julian));
  EXPECT_EQ(julian, 2460385.0);
  char date[69], time[69];
  uint16_t dl = 69, tl = 69;
  uint32_t ms = 0;
  XBE_OK(XbeGetServerTime(c, date, &dl, &ms, time, &tl));
  EXPECT_EQ(dl, 10);
  XBE_OK(XbeDisconnect(c));
  EXPECT_EQ(XbeDisconnect(c), 5024u);
  XBE_OK(XbeSetDateFormat("MM/dd/ccyy"));
}

TEST(Connections, HandlesAreDistinctAndTyped) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  testsupport::CopyFixture("ml/installed", tmp.path() / "d");
  Connection c((tmp.path() / "d").string());
  XBEHANDLE a = OpenTable(c, "ML2");
  XBEHANDLE b = OpenTable(c, "ML6.DBF");
  std::set<XBEHANDLE> handles = {c.handle(), a, b};
  EXPECT_EQ(handles.size(), 3u);
  for (XBEHANDLE h : handles) EXPECT_TRUE(h > 0 && h < 0x80000000u);
  uint16_t type = 0;
  XBE_OK(XbeGetHandleType(a, &type));
  EXPECT_EQ(type, XBE_TABLE_HANDLE);
  XBE_OK(XbeGetHandleType(c.handle(), &type));
  EXPECT_EQ(type, XBE_CONNECTION_HANDLE);
  uint16_t open = 0;
  XBE_OK(XbeGetNumOpenTables(&open));
  EXPECT_EQ(open, 2);
  XBE_OK(XbeCloseTable(a));
  XBE_OK(XbeCloseTable(b));
  EXPECT_EQ(XbeGetHandleType(a, &type), 6001u);

  // The catalogue: base names of the matching files, then 5059.
  char name[260];
  uint16_t length = 260;
  XBEHANDLE search = 0;
  const std::string pattern = c.directory() + "\\*.dbf";
  XBE_OK(XbeFindFirstTable(c.handle(), pattern.c_str(), name, &length, &search));
  std::set<std::string> names = {name};
  length = 260;
  XBE_OK(XbeFindNextTable(c.handle(), search, name, &length));
  names.insert(name);
  length = 260;
  EXPECT_EQ(XbeFindNextTable(c.handle(), search, name, &length), 5059u);
  XBE_OK(XbeFindClose(c.handle(), search));
  EXPECT_EQ(names, (std::set<std::string>{"ML2", "ML6"}));
  EXPECT_EQ(XbeFindFirstTable(c.handle(), (c.directory() + "\\*.xdt").c_str(), name, &length, &search), 5059u);
}

TEST(Fields, IdentifiedByOrdinalOrName) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  testsupport::CopyFixture("ml/installed", tmp.path() / "d");
  Connection c((tmp.path() / "d").string());
  XBEHANDLE t = OpenTable(c, "ML2");
  uint32_t byOrdinal = 0, byName = 0;
  XBE_OK(XbeGetFieldOffset(t, XBE_FIELD_ORDINAL(3), &byOrdinal));
  XBE_OK(XbeGetFieldOffset(t, "cgc", &byName));
  EXPECT_EQ(byOrdinal, byName);
  EXPECT_EQ(XbeGetFieldOffset(t, XBE_FIELD_ORDINAL(10), &byName), 6012u);
  uint8_t permissions = 0;
  XBE_OK(XbeGetColumnPermissions(t, 1, &permissions));
  EXPECT_EQ(permissions, 6);
  uint32_t options = 0;
  XBE_OK(XbeGetTableOpenOptions(t, &options));
  EXPECT_EQ(options, 0x60u);
  // The null record: blanks everywhere.
  uint32_t recordLength = 0;
  XBE_OK(XbeGetRecordLength(t, &recordLength));
  std::string image(recordLength + 4, 'Z');
  XBE_OK(XbeGetNullRecord(t, image.data(), recordLength));
  EXPECT_EQ(image, std::string(recordLength, ' ') + "ZZZZ");
  char field[129];
  uint16_t length = 3;
  EXPECT_EQ(XbeGetFieldName(t, 2, field, &length), 5005u);
  EXPECT_EQ(length, 9);
  XBE_OK(XbeCloseTable(t));
}

// Dates are handed out as their stored digits; a text that is no date stays as stored.
TEST(Fields, DateTexts) {
  const xbe::FieldDesc date{"D", 'D', xbe::kDate, 8, 0, 0};
  const struct {
    const char* stored;
    const char* text;
  } cases[] = {{"20240229", "20240229"}, {"00010101", "00010101"}, {"        ", ""},
               {"20230229", "20230229"}, {"2024 101", "2024 101"}, {"  1990  ", "1990"}};
  for (const auto& c : cases) {
    EXPECT_EQ(xbe::FieldText(date, c.stored, false), c.text) << c.stored;
    const auto inPlace = xbe::FieldTextInPlace(date, c.stored, false);
    if (inPlace) {
      EXPECT_EQ(*inPlace, c.text) << c.stored;
    }
  }
}

}  // namespace

