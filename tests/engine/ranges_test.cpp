// Ranges through key buffers on the real engine: the records a range lets through, the range
// kept until cancelled or the index changes, and the refusals.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "enginetest.h"
#include "platform/db/dberrors.h"
#include "platform/rtl/strutils.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

class PeopleRanges : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    XbeShowDeleted(1);
    testsupport::CopyFixture("ntx", dir_.path());
    table_ = std::make_unique<TXbeTable>(nullptr);
    table_->SetName("Tabela");
    table_->XbeTableOptions().SetXbeCharType(OEM);
    table_->XbeTableOptions().SetXbeAutoKeyFieldCount(true);
    table_->SetTableType(ttXbeNTX);
    table_->SetDatabaseName(dir_.str());
    table_->SetTableName("people");
    for (const char* f : {"peocod.ntx", "peouni.ntx"}) table_->IndexFiles().Add(f);
    table_->Open();
  }
  void TearDown() override { XbeShowDeleted(0); }

  std::string OrderNamed(const std::string& file) {
    table_->IndexDefs().Update();
    for (int i = 0; i < table_->IndexDefs().Count(); ++i)
      if (rtl::SameText(table_->IndexDefs().Items(i).Name(), file)) return table_->IndexDefs().Items(i).Name();
    return file;
  }
  std::vector<std::string> Values(const char* field) {
    std::vector<std::string> out;
    for (table_->First(); !table_->Eof(); table_->Next()) out.push_back(table_->FieldByName(field)->AsString());
    return out;
  }

  testsupport::TempDir dir_;
  std::unique_ptr<TXbeTable> table_;
};

TEST_F(PeopleRanges, ARangeShowsTheKeysBetweenItsBounds) {
  struct Case {
    const char* order;
    const char* field;
    const char* start;  // nullptr: bound not given
    const char* end;
  };
  const Case cases[] = {
      {"peoCOD", "CODIGO", "1000", "500000"}, {"peoCOD", "CODIGO", "900000", nullptr},
      {"peoCOD", "CODIGO", nullptr, "5000"},  {"peoCOD", "CODIGO", "5000", "1000"},
      {"peoCOD", "CODIGO", "248", "248"},     {"peoUNI", "CIDADE", "CURITIBA", "CURITIBA"},
      {"peoUNI", "CIDADE", "BELO", "RECIFE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.order) + " " + (c.start ? c.start : "-") + " .. " + (c.end ? c.end : "-"));
    table_->SetIndexName(OrderNamed(c.order));
    const auto all = Values(c.field);
    const bool numeric = std::string(c.field) == "CODIGO";
    auto within = [&](const std::string& v) {
      auto below = [&](const std::string& a, const std::string& b) {
        return numeric ? std::stod(a) < std::stod(b) : a < b;
      };
      return !(c.start && below(v, c.start)) && !(c.end && below(c.end, v));
    };
    std::vector<std::string> expected;
    for (const auto& v : all)
      if (within(v)) expected.push_back(v);

    // A bound never edited since the open leaves its side open (edited bounds last until close).
    table_->Close();
    table_->Open();
    if (c.start) {
      table_->EditRangeStart();
      table_->FieldByName(c.field)->SetAsString(c.start);
    }
    if (c.end) {
      table_->EditRangeEnd();
      table_->FieldByName(c.field)->SetAsString(c.end);
    }
    table_->ApplyRange();
    EXPECT_EQ(table_->State(), db::DSState::Browse);
    EXPECT_EQ(Values(c.field), expected);
    table_->Last();
    EXPECT_EQ(table_->IsEmpty() ? std::string() : table_->FieldByName(c.field)->AsString(),
              expected.empty() ? std::string() : expected.back());
    table_->CancelRange();
    EXPECT_EQ(Values(c.field), all);
  }
}

TEST_F(PeopleRanges, AnUnchangedRangeIsNotAppliedAgainAndAnIndexChangeCancelsIt) {
  table_->SetIndexName(OrderNamed("peoCOD"));
  const auto all = Values("CODIGO");
  table_->EditRangeStart();
  table_->FieldByName("CODIGO")->SetAsInteger(900000);
  EXPECT_TRUE(table_->ApplyKeyRange());
  table_->First();
  const auto ranged = Values("CODIGO");
  ASSERT_LT(ranged.size(), all.size());
  EXPECT_FALSE(table_->ApplyKeyRange());
  EXPECT_EQ(Values("CODIGO"), ranged);
  // A cancelled key edit restores the bound as it was.
  table_->EditRangeStart();
  table_->FieldByName("CODIGO")->SetAsInteger(1000);
  table_->Cancel();
  EXPECT_EQ(table_->State(), db::DSState::Browse);
  EXPECT_FALSE(table_->ApplyKeyRange());
  EXPECT_EQ(Values("CODIGO"), ranged);

  table_->SetIndexName(OrderNamed("peoUNI"));
  table_->SetIndexName(OrderNamed("peoCOD"));
  EXPECT_EQ(Values("CODIGO"), all);
}

// The end bound edited for the first index must not close the range set on the second.
TEST_F(PeopleRanges, BoundsEditedForAnotherIndexDoNotApply) {
  table_->SetIndexName(OrderNamed("peoCOD"));
  table_->EditRangeStart();
  table_->FieldByName("CODIGO")->SetAsInteger(1000);
  table_->EditRangeEnd();
  table_->FieldByName("CODIGO")->SetAsInteger(500000);
  table_->ApplyRange();
  ASSERT_FALSE(table_->IsEmpty());

  table_->SetIndexName(OrderNamed("peoUNI"));
  std::vector<std::string> fromRecife;
  for (const std::string& city : Values("CIDADE"))
    if (city >= "RECIFE") fromRecife.push_back(city);
  ASSERT_FALSE(fromRecife.empty());
  table_->EditRangeStart();
  table_->FieldByName("CIDADE")->SetAsString("RECIFE");
  table_->ApplyRange();
  EXPECT_EQ(Values("CIDADE"), fromRecife);
  // Nothing edited for this index since the change: no range to apply.
  table_->CancelRange();
  table_->SetIndexName(OrderNamed("peoCOD"));
  EXPECT_FALSE(table_->ApplyKeyRange());
}

TEST_F(PeopleRanges, RangesOfAClosedDataSetAreRefused) {
  table_->Close();
  const std::string closed = "Tabela: " + std::string(db::kDataSetClosedText);
  EXPECT_EQ(MessageOf([&] { table_->ApplyKeyRange(); }), closed);
  EXPECT_EQ(MessageOf([&] { table_->ResetKeyRange(); }), closed);
}

TEST_F(PeopleRanges, KeyEditingRefusals) {
  EXPECT_EQ(MessageOf([&] { table_->EditRangeStart(); }), "Tabela: Index is not set.");
  EXPECT_EQ(table_->ActiveIndexFieldNames(), "");
  table_->SetIndexName(OrderNamed("peoCOD"));
  EXPECT_EQ(table_->ActiveIndexFieldNames(), "CODIGO");
  table_->EditRangeStart();
  EXPECT_EQ(table_->State(), db::DSState::SetKey);
  EXPECT_EQ(MessageOf([&] { table_->FieldByName("NOME")->SetAsString("x"); }),
            "Tabela: Field 'NOME' is not indexed and cannot be modified");
  table_->FieldByName("CODIGO")->SetAsInteger(1);
  table_->ApplyRange();
  EXPECT_EQ(table_->State(), db::DSState::Browse);
  // A scope and a range would fight over the same engine bounds.
  table_->CancelRange();
  table_->SetScopeBegin("1000");
  table_->SetScoped(true);
  table_->EditRangeStart();
  table_->FieldByName("CODIGO")->SetAsInteger(2000);
  EXPECT_EQ(MessageOf([&] { table_->ApplyRange(); }), "Tabela: Cannot set range on table when there is an active scope.");
}

// Record search runs the filter text without filtering the dataset's own walk.
TEST_F(PeopleRanges, FindWalksTheRecordsTheFilterTextLetsThrough) {
  table_->SetIndexName(OrderNamed("peoCOD"));
  std::vector<std::string> want;
  for (const std::string& v : Values("CODIGO"))
    if (std::stoi(v) >= 900000) want.push_back(v);
  ASSERT_FALSE(want.empty());
  table_->SetFilterText("CODIGO >= 900000");
  std::vector<std::string> found;
  for (bool more = table_->FindFirst(); more; more = table_->FindNext())
    found.push_back(table_->FieldByName("CODIGO")->AsString());
  EXPECT_EQ(found, want);
  EXPECT_FALSE(table_->Filtered());
  EXPECT_GT(Values("CODIGO").size(), want.size());
}

}  // namespace
