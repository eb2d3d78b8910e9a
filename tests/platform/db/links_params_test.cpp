// Data sources and links, the master link, the circular-link test and statement parameters.
#include <gtest/gtest.h>

#include "memdataset.h"
#include "platform/db/datasource.h"
#include "platform/db/params.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::TMemDataSet;

class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> log;

 protected:
  void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
  void RecordChanged(TField* f) override { log.push_back(f ? "record:" + f->FieldName() : "record"); }
  void DataSetChanged() override { log.push_back("changed"); }
  void DataSetScrolled(int) override { log.push_back("scrolled"); }
  void EditingChanged() override { log.push_back("editing"); }
  void CheckBrowseMode() override { log.push_back("check"); }
};

TEST(DataLinks, NotificationsFollowTheDataset) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 3);
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  RecordingLink link;
  link.SetDataSource(&source);
  EXPECT_FALSE(link.Active());
  ds.Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(source.State(), DSState::Browse);
  link.log.clear();
  ds.Next();
  EXPECT_EQ(link.log, (std::vector<std::string>{"check", "scrolled"}));
  link.log.clear();
  ds.Edit();
  ds.FieldByName("ID")->SetAsInteger(9);
  EXPECT_EQ(link.log, (std::vector<std::string>{"check", "editing", "record", "record:ID"}));
  ds.Cancel();
  // Held back while controls are disabled, then one "changed".
  ds.DisableControls();
  link.log.clear();
  ds.Next();
  ds.Next();
  EXPECT_EQ(link.log, (std::vector<std::string>{"check", "check"}));
  ds.EnableControls();
  EXPECT_EQ(link.log.back(), "changed");
  // Temporary states tell no one.
  link.log.clear();
  const DSState old = ds.SetTempState(DSState::CalcFields);
  ds.RestoreState(old);
  EXPECT_TRUE(link.log.empty());
  ds.Close();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.log.back(), "inactive");
}

TEST(DataLinks, DestroyingEitherSideDetaches) {
  auto ds = std::make_unique<TMemDataSet>(nullptr);
  dbtest::FillNumbers(*ds, 1);
  RecordingLink link;
  {
    TDataSource source(nullptr);
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
    ds->Open();
    ds.reset();  // the dataset goes first
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
  }
  EXPECT_EQ(link.DataSource(), nullptr);
}

TEST(MasterLink, TellsTheDetailWhenTheMasterMoves) {
  TMemDataSet master(nullptr), detail(nullptr);
  dbtest::FillNumbers(master, 3);
  dbtest::FillNumbers(detail, 2);
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  TMasterDataLink link(&detail);
  int changes = 0, disables = 0;
  link.OnMasterChange = TMasterDataLink::THandler::FromFunction([&] { ++changes; });
  link.OnMasterDisable = TMasterDataLink::THandler::FromFunction([&] { ++disables; });
  link.SetFieldNames("ID");
  link.SetDataSource(&source);
  EXPECT_EQ(link.DetailDataSet(), &detail);
  EXPECT_FALSE(link.Active());
  master.Open();  // the detail is closed: nobody is told
  EXPECT_EQ(link.Fields().size(), 1u);
  EXPECT_EQ(changes + disables, 0);
  detail.Open();
  master.Next();
  EXPECT_EQ(changes, 1);
  master.Close();
  EXPECT_EQ(disables, 1);
  EXPECT_TRUE(link.Fields().empty());
  link.SetFieldNames("NOPE");
  EXPECT_THROW(master.Open(), EDatabaseError);  // the names must resolve
}

class TLinkedDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  TDataSource* master = nullptr;

 protected:
  TDataSource* GetDataSource() const override { return master; }
};

TEST(MasterLink, CircularLinkTest) {
  TLinkedDataSet a(nullptr), b(nullptr), c(nullptr);
  TDataSource sa(nullptr), sb(nullptr), sc(nullptr);
  sa.SetDataSet(&a);
  sb.SetDataSet(&b);
  sc.SetDataSet(&c);
  b.master = &sa;  // a -> b
  c.master = &sb;  // b -> c
  EXPECT_TRUE(a.IsLinkedTo(&sa));
  EXPECT_TRUE(a.IsLinkedTo(&sc));   // c shows b, whose master shows a
  EXPECT_FALSE(c.IsLinkedTo(&sa));
  EXPECT_FALSE(a.IsLinkedTo(nullptr));
  a.master = &sc;  // a loop a -> b -> c -> a that does not reach a fourth dataset
  TLinkedDataSet d(nullptr);
  EXPECT_FALSE(d.IsLinkedTo(&sa));
}

TEST(Params, ParseSqlMarkers) {
  struct Case {
    const char* sql;
    std::vector<std::string> names;
  } cases[] = {
      {"select * from t where a = :a and b=:b", {"a", "b"}},
      {"insert into t values (:x,:y)", {"x", "y"}},
      {"where a = ':notme' and b = \":nor\" and c = `:nor`", {}},
      {"where a = :\"quoted name\" and b = :b", {"quoted name", "b"}},
      {"select '12::30', a::b from t where x = :x;", {"x"}},
      {"where a = :p or b = :p", {"p", "p"}},
      {"where a = :first\r\nand b = :second\n", {"first", "second"}},
      {"ends with a colon :", {}},
  };
  for (const Case& c : cases) {
    TParams params;
    EXPECT_EQ(params.ParseSQL(c.sql, true), c.names) << c.sql;
    ASSERT_EQ(params.Count(), static_cast<int>(c.names.size()));
    for (int i = 0; i < params.Count(); ++i) {
      EXPECT_EQ(params.Items(i).DataType(), ftUnknown);
      EXPECT_EQ(params.Items(i).ParamType(), TParamType::ptUnknown);
      EXPECT_TRUE(params.Items(i).IsNull());
    }
  }
}

TEST(Params, ValuesFieldsAndCopies) {
  TParams params;
  params.ParseSQL("where a = :CODE and b = :Name", true);
  TParam* code = params.ParamByName("code");
  EXPECT_FALSE(code->Bound());
  code->SetAsInteger(5);
  EXPECT_TRUE(code->Bound());
  EXPECT_EQ(code->DataType(), ftInteger);
  EXPECT_EQ(code->AsString(), "5");
  try {
    params.ParamByName("missing");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Parâmetro 'missing' não encontrado"_ansi));
  }
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  ds.Open();
  TParam* name = params.ParamByName("NAME");
  name->AssignField(ds.FieldByName("NAME"));
  EXPECT_EQ(name->Name(), "NAME");
  EXPECT_EQ(name->DataType(), ftString);
  EXPECT_EQ(name->AsString(), "N1");
  EXPECT_EQ(name->GetDataSize(), 3);
  TParams other;
  other.ParseSQL(":name :unknown", true);
  other.AssignValues(params);
  EXPECT_EQ(other.Items(0).AsString(), "N1");
  EXPECT_TRUE(other.Items(1).IsNull());
}

}  // namespace

#include "platform/db/sqltext.h"

namespace {

TEST(SqlText, TableNameAndOrder) {
  EXPECT_EQ(db::TableNameFromSQL("select a, b from CLIENTES where x = 'from y'"), "CLIENTES");
  EXPECT_EQ(db::TableNameFromSQL("SELECT * FROM \"my table\" t"), "my table");
  EXPECT_EQ(db::TableNameFromSQL("select 1"), "");
  auto order = db::IndexDefFromOrderBy("select * from t order by NOME, codigo desc");
  ASSERT_NE(order, nullptr);
  EXPECT_EQ(order->Fields(), "NOME;codigo");
  EXPECT_TRUE(order->Options().Contains(db::ixDescending));
  order = db::IndexDefFromOrderBy("select * from t ORDER BY a ASC;");
  EXPECT_EQ(order->Fields(), "a");
  EXPECT_FALSE(order->Options().Contains(db::ixDescending));
  EXPECT_EQ(db::IndexDefFromOrderBy("select * from t"), nullptr);
}

}  // namespace
