// The filter search of locate against the test double: the expression built from each kind of
// value, how it meets filters already on the table, and what a failure leaves behind.
#include <gtest/gtest.h>

#include "engine/xbeset.h"
#include "engine/xbetable.h"
#include "fake_xbe.h"
#include "platform/db/datetime.h"

namespace {

const std::vector<std::string> kSearchCalls = {"XbeSetExact22", "XbeSetXOF",   "XbeSetFilter",
                                               "XbeClearXOF",   "XbeClearFilter", "XbeEvalLogicalExpr",
                                               "XbeSeek",       "XbeGotoBookmark"};

class DoubleSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::E().fields = {{4, 40, 0, "NOMECONV"}, {2, 4, 0, "CODCONV"}, {1, 1, 0, "ATIVO"},
                        {3, 8, 0, "DTCAD"},     {14, 8, 0, "ALTERADO"}};
    fake::E().bookmark = 77;
    table_ = std::make_unique<TXbeTable>(nullptr);
    table_->SetName("Busca");
    table_->XbeTableOptions().SetXbeRightsCheck(false);
    table_->SetTableType(ttXbeNTX);
    table_->SetDatabaseName("F:\\BUSCA");
    table_->SetTableName("ML2");
    table_->Open();
    fake::E().calls.clear();
  }

  std::unique_ptr<TXbeTable> table_;
};

TEST_F(DoubleSearch, TheExpressionOfEachKindOfValue) {
  struct Case {
    const char* fields;
    db::Variant values;
    db::LocateOptions options;
    const char* expression;
    const char* exact;
  };
  const Case cases[] = {
      {"NOMECONV", "ab", {.caseInsensitive = true}, "(UPPER(NOMECONV)=UPPER(\"ab\"))", "1"},
      {"NOMECONV", "ab", {.caseInsensitive = true, .partialKey = true}, "(UPPER(NOMECONV)=UPPER(\"ab\"))", "0"},
      {"NOMECONV", "say \"hi\"", {.caseInsensitive = true},
       "(UPPER(NOMECONV)=UPPER(\"say \"+ Chr(34) + \"hi\"+ Chr(34) + \"\"))", "1"},
      {"CODCONV", 42, {}, "(CODCONV=42)", "1"},
      {"CODCONV", db::Variant::Null(), {}, "(empty(CODCONV))", "1"},
      {"NOMECONV", "", {}, "(empty(NOMECONV))", "1"},
      {"ATIVO", false, {}, "(ATIVO=.FALSE.)", "1"},
      {"NOMECONV;ATIVO", db::Variant::Array({"x", true}), {.partialKey = true},
       "(NOMECONV=\"x\") AND (ATIVO=.TRUE.)", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    fake::E().calls.clear();
    EXPECT_FALSE(table_->Locate(c.fields, c.values, c.options));
    EXPECT_EQ(fake::CallsAmong(kSearchCalls),
              (std::vector<std::string>{std::string("XbeSetExact22(") + c.exact + ")",
                                        std::string("XbeSetXOF('") + c.expression + "',2)", "XbeSetExact22(1)",
                                        "XbeClearXOF()", "XbeGotoBookmark(77)"}));
  }
}

// Dates go in the format the engine was last given, whatever the host's; a timestamp's time
// follows its date.
TEST_F(DoubleSearch, DatesGoInTheEnginesDateFormat) {
  const db::TDateTime day = db::EncodeDate(2024, 3, 15);
  const db::TDateTime moment = day + db::EncodeTime(10, 20, 30, 0);
  fake::E().tableType = 3;  // timestamps hold values on XDT tables only
  TXbeSettings settings(nullptr);
  settings.SetSetHostDate(false);
  struct Case {
    const char* format;
    const char* date;
  };
  const Case cases[] = {{"DD/MM/yyyy", "15/03/2024"}, {"ccyy-MM-dd", "2024-03-15"}, {"MM.D.yy", "03.15.24"},
                        {"MM/dd/ccyy", "03/15/2024"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    settings.SetDateFormat(c.format);
    fake::E().calls.clear();
    table_->Locate("DTCAD", db::Variant::FromDateTime(day), {});
    table_->Locate("ALTERADO", db::Variant::FromDateTime(day), {});
    table_->Locate("ALTERADO", db::Variant::FromDateTime(moment), {});
    const std::string date = c.date;
    EXPECT_EQ(fake::CallsOf("XbeSetXOF"),
              (std::vector<std::string>{"XbeSetXOF('(DTCAD=ctod(\"" + date + "\"))',2)",
                                        "XbeSetXOF('(ALTERADO=ctots(\"" + date + "\"))',2)",
                                        "XbeSetXOF('(ALTERADO=ctots(\"" + date + " 10:20:30\"))',2)"}));
  }
}

TEST_F(DoubleSearch, FiltersAlreadyOnTheTableStay) {
  struct Case {
    bool optimized, plain;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {false, true, {"XbeSetExact22(1)", "XbeSetXOF('(CODCONV=42)',2)", "XbeSetExact22(0)", "XbeClearXOF()"}},
      {true, false, {"XbeSetExact22(1)", "XbeSetFilter('(CODCONV=42)')", "XbeSetExact22(0)", "XbeClearFilter()"}},
      {true, true, {"XbeSetExact22(1)", "XbeSetExact22(0)"}},
  };
  fake::E().exact = 0;
  for (const Case& c : cases) {
    fake::E().calls.clear();
    fake::E().optimizedFilterSet = c.optimized;
    fake::E().filterSet = c.plain;
    EXPECT_FALSE(table_->Locate("CODCONV", 42, {}));
    std::vector<std::string> expected = c.calls;
    expected.push_back("XbeGotoBookmark(77)");
    EXPECT_EQ(fake::CallsAmong(kSearchCalls), expected);
  }
}

TEST_F(DoubleSearch, AFailingSearchLeavesNothingBehind) {
  fake::E().exact = 0;
  fake::E().failures["XbeSetXOF"] = 6018;
  EXPECT_THROW(table_->Locate("CODCONV", 42, {}), EXBEDatabaseError);
  EXPECT_EQ(fake::CallsAmong(kSearchCalls),
            (std::vector<std::string>{"XbeSetExact22(1)", "XbeSetXOF('(CODCONV=42)',2)", "XbeSetExact22(0)",
                                      "XbeClearXOF()", "XbeGotoBookmark(77)"}));
  EXPECT_EQ(table_->State(), db::DSState::Browse);
  // A lookup with a null key touches nothing.
  fake::E().calls.clear();
  EXPECT_TRUE(table_->Lookup("CODCONV", db::Variant::Null(), "NOMECONV").IsNull());
  EXPECT_TRUE(fake::E().calls.empty());
}

}  // namespace
