// Locate and lookup through the real engine land on a record that holds the values searched
// for: dates reach the engine's expression in the engine's date format whatever the host's is,
// and a record the OnFilterRecord handler rejects is passed over, never answered for.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "engine/xbeset.h"
#include "engine/xbetable.h"
#include "platform/db/datetime.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

namespace {

struct Guest {
  const char* name;
  int year, month, day;
};
// Record n holds NUM n; EVA twice, and two dates that differ only in the order of day and month.
const Guest kGuests[] = {{"ABEL", 2024, 3, 4}, {"EVA", 2024, 4, 3}, {"FABIO", 2024, 5, 6}, {"EVA", 2024, 7, 8}};

db::Variant Date(int y, int m, int d) { return db::Variant::FromDateTime(db::EncodeDate(y, m, d)); }

class Guests : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHostFormat_ = db::HostShortDateFormat;
    db::HostShortDateFormat = "dd/MM/yyyy";
    xbe::CreateTable(dir_.str() + "/GUESTS", xbe::TableType::kNtx,
                     {{"NUM", xbe::kNumericText, 3, 0}, {"NAME", xbe::kCharacter, 10, 0}, {"DT", xbe::kDate, 8, 0}});
    table_ = std::make_unique<TXbeTable>(nullptr);
    table_->SetName("Hospedes");
    table_->SetTableType(ttXbeNTX);
    table_->SetDatabaseName(dir_.str());
    table_->SetTableName("GUESTS");
    table_->Open();
    int num = 0;
    for (const Guest& g : kGuests) {
      table_->Append();
      table_->FieldByName("NUM")->SetAsInteger(++num);
      table_->FieldByName("NAME")->SetAsString(g.name);
      table_->FieldByName("DT")->SetAsDateTime(db::EncodeDate(g.year, g.month, g.day));
      table_->Post();
    }
    xbe::CreateNtxIndex(table_->TableHandle(), dir_.str() + "/NAMES.NTX", "NAME");
    table_->Close();
    table_->IndexFiles().Add("NAMES.NTX");
    table_->Open();
  }
  void TearDown() override { db::HostShortDateFormat = savedHostFormat_; }

  int Num() { return table_->FieldByName("NUM")->AsInteger(); }

  testsupport::TempDir dir_;
  std::unique_ptr<TXbeTable> table_;
  std::string savedHostFormat_;
};

// No index on DT: the search is an engine expression with ctod().
TEST_F(Guests, ADateIsSearchedInTheEnginesDateFormat) {
  struct Case {
    db::Variant date;
    int num;  // 0: none holds it
  };
  const Case cases[] = {{Date(2024, 4, 3), 2}, {Date(2024, 3, 4), 1}, {Date(2024, 5, 6), 3}, {Date(2024, 6, 5), 0}};
  auto check = [&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(db::DateToStr(c.date.AsDateTime()));
      table_->Last();
      EXPECT_EQ(table_->Locate("DT", c.date, {}), c.num != 0);
      EXPECT_EQ(Num(), c.num != 0 ? c.num : 4);
      const db::Variant name = table_->Lookup("DT", c.date, "NUM");
      EXPECT_EQ(name.IsNull() ? 0 : name.AsInteger(), c.num);
    }
  };
  {
    SCOPED_TRACE("the format the engine has (its own in a fresh process), the host's day first");
    check();
  }
  TXbeSettings settings(nullptr);
  settings.SetXbeServerTypes({stXBE_LOCAL});  // the engine keeps it after the component
  settings.SetSetHostDate(false);
  for (const char* format : {"ccyy-MM-dd", "DD/MM/yyyy", "MM/dd/ccyy"}) {
    SCOPED_TRACE(format);
    settings.SetDateFormat(format);
    EXPECT_EQ(xbeset::EngineDateFormat(), format);
    check();
  }
  EXPECT_EQ(db::HostShortDateFormat, "dd/MM/yyyy");
}

TEST_F(Guests, ARecordTheFilterHandlerRejectsIsNeverTheOneFound) {
  std::set<int> rejected;
  table_->SetOnFilterRecord(db::TFilterRecordEvent::FromFunction(
      [&](db::TDataSet* d, bool& accept) { accept = rejected.count(d->FieldByName("NUM")->AsInteger()) == 0; }));
  table_->SetFiltered(true);
  struct Case {
    std::set<int> rejected;
    int num;  // the EVA found, 0: none
  };
  const Case cases[] = {{{}, 2}, {{2}, 4}, {{4}, 2}, {{2, 4}, 0}, {{1, 2, 3}, 4}};
  for (const char* order : {"", "NAMES"}) {
    for (const db::LocateOptions options : {db::LocateOptions{}, db::LocateOptions{.caseInsensitive = true}}) {
      for (const Case& c : cases) {
        std::string trace = std::string("order '") + order + "', " +
                            (options.caseInsensitive ? "expression" : "seek") + ", rejected:";
        for (const int n : c.rejected) trace += " " + std::to_string(n);
        SCOPED_TRACE(trace);
        rejected.clear();
        table_->SetIndexName(order);
        table_->First();
        const int before = Num();
        rejected = c.rejected;
        EXPECT_EQ(table_->Locate("NAME", "EVA", options), c.num != 0);
        EXPECT_EQ(Num(), c.num != 0 ? c.num : before);
        const db::Variant found = table_->Lookup("NAME", "EVA", "NUM");
        EXPECT_EQ(found.IsNull() ? 0 : found.AsInteger(), c.num);
      }
    }
  }
}

}  // namespace
