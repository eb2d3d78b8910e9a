// Date-time, BCD and variant conversions that field values rest on.
#include <gtest/gtest.h>

#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/db/variant.h"
#include "platform/rtl/exception.h"

namespace {

using namespace db;

// Restores the process-wide date settings a test changes.
struct HostDateGuard {
  std::string format = HostShortDateFormat;
  char separator = HostDateSeparator;
  ~HostDateGuard() {
    HostShortDateFormat = format;
    HostDateSeparator = separator;
  }
};

TEST(DateTime, DayNumbersAndMilliseconds) {
  EXPECT_EQ(DateTimeToDayNumber(EncodeDate(1, 1, 1)), 1);
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(DateTimeToDayNumber(EncodeDate(2024, 2, 29)), 738945);
  const TDateTime noonOfLeapDay = EncodeDate(2024, 2, 29) + EncodeTime(12, 0, 0, 0);
  EXPECT_DOUBLE_EQ(DateTimeToMSecs(noonOfLeapDay), 738945.0 * 86400000 + 43200000);
  EXPECT_DOUBLE_EQ(MSecsToDateTime(DateTimeToMSecs(noonOfLeapDay)), noonOfLeapDay);
  // Before 1899 the fraction still counts forward from midnight.
  const TDateTime before = EncodeDate(1899, 12, 29) - 0.25;
  EXPECT_EQ(DateTimeToTimeMSecs(before), 6 * 3600 * 1000);
  EXPECT_DOUBLE_EQ(MSecsToDateTime(DateTimeToMSecs(before)), before);
  int y = 0, m = 0, d = 0;
  DecodeDate(before, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_THROW(EncodeDate(2023, 2, 29), rtl::EConvertError);
}

TEST(DateTime, TextsFollowTheHostFormat) {
  HostDateGuard guard;
  struct Case {
    const char* format;
    char separator;
    const char* text;
  } cases[] = {{"dd/MM/yyyy", '/', "05/03/2024"}, {"DD/MM/yyyy", '-', "05-03-2024"},
               {"MM/dd/yy", '/', "03/05/24"},     {"yyyy.mm.dd", '/', "2024.03.05"}};
  for (const Case& c : cases) {
    HostShortDateFormat = c.format;
    HostDateSeparator = c.separator;
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 5)), c.text) << c.format;
    EXPECT_EQ(StrToDate(c.text), EncodeDate(2024, 3, 5)) << c.format;
  }
  HostShortDateFormat = "dd/MM/yyyy";
  HostDateSeparator = '/';
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5) + EncodeTime(13, 4, 5, 0)), "05/03/2024 13:04:05");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "05/03/2024");
  EXPECT_EQ(StrToDateTime("05/03/2024 13:04:05"), EncodeDate(2024, 3, 5) + EncodeTime(13, 4, 5, 0));
  EXPECT_THROW(StrToDate("31/02/2024"), rtl::EConvertError);
  EXPECT_THROW(StrToTime("25:00"), rtl::EConvertError);
}

TEST(Bcd, MoneyConvertsExactly) {
  const Currency values[] = {0, 1, -1, 123456789012345678LL, -99999999999999999LL, 5000};
  for (Currency v : values) {
    const TBcd b = CurrencyToBcd(v, 20, 4);
    EXPECT_EQ(b.precision, 20);
    EXPECT_EQ(b.scale, 4);
    EXPECT_EQ(BcdToCurrency(b), v);
  }
  EXPECT_EQ(BcdToStr(CurrencyToBcd(12345000)), "1234.5");
  EXPECT_EQ(BcdToStr(CurrencyToBcd(-50)), "-0.005");
  EXPECT_EQ(BcdToStr(CurrencyToBcd(30000)), "3");
  EXPECT_EQ(BcdToCurrency(StrToBcd("-12.34567")), -123457);  // rounded to four decimals
  EXPECT_DOUBLE_EQ(BcdToDouble(CurrencyToBcd(12345)), 1.2345);
  EXPECT_TRUE(BcdEqual(StrToBcd("1.5", 20, 4), StrToBcd("1.50", 10, 2)));
  EXPECT_THROW(BcdToCurrency(StrToBcd("99999999999999999999", 32, 0)), rtl::EConvertError);
  EXPECT_THROW(StrToBcd("12a"), rtl::EConvertError);
}

TEST(Variant, ConversionsAndArrays) {
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_EQ(Variant(42).AsString(), "42");
  EXPECT_EQ(Variant("17").AsInteger(), 17);
  EXPECT_DOUBLE_EQ(Variant("2.5").AsFloat(), 2.5);
  EXPECT_TRUE(Variant("True").AsBoolean());
  EXPECT_EQ(Variant::FromCurrency(25000).AsString(), "2.5");
  EXPECT_EQ(Variant(2.5).AsCurrency(), 25000);
  EXPECT_THROW(Variant("abc").AsInteger(), EVariantError);
  EXPECT_THROW(Variant::Null().AsInteger(), EVariantError);
  const Variant a = Variant::Array({Variant(1), Variant("x")});
  ASSERT_TRUE(a.IsArray());
  EXPECT_EQ(a.ArrayCount(), 2);
  EXPECT_EQ(a[1].AsString(), "x");
  EXPECT_THROW(a[2], EVariantError);
}

}  // namespace
