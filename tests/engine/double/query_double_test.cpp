// The query component against the test double: the engine calls of its statement, binding and
// lifecycle, its stored form, its master and the provider support of the dataset core.
#include <gtest/gtest.h>

#include <algorithm>

#include "../messageof.h"
#include "engine/xbecnnct.h"
#include "engine/xbequery.h"
#include "fake_xbe.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/db/datetime.h"
#include "platform/db/fieldclasses.h"

namespace {

std::size_t Count(const std::string& function) { return fake::CallsOf(function).size(); }

// The calls of the functions listed, each without its first argument (the statement handle).
std::vector<std::string> CallsWithoutHandle(const std::vector<std::string>& functions) {
  std::vector<std::string> out;
  for (std::string call : fake::CallsAmong(functions)) {
    const std::size_t open = call.find('('), comma = call.find(',', open);
    out.push_back(comma == std::string::npos ? call : call.substr(0, open + 1) + call.substr(comma + 1));
  }
  return out;
}

// What position 1 of the statement received, as the engine logged it; empty when nothing.
std::string BoundFirst() {
  for (const std::string& call : fake::CallsAmong({"XbeSetString", "XbeSetDouble", "XbeSetLogical", "XbeSetJulian",
                                                    "XbeSetMilliseconds", "XbeSetTimeStampRaw", "XbeSetBinary"}))
    if (call.find("(1,") != std::string::npos) return call;
  return "";
}

class QueryDouble : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::E().fields = {{2, 4, 0, "CODCONV"}, {4, 40, 0, "NOMECONV"}};
  }
  // Every test gets its own directory: implicit connections live as long as the process.
  std::unique_ptr<TXbeQuery> Query(const std::string& sql) {
    auto q = std::make_unique<TXbeQuery>(nullptr);
    q->SetName("Consulta");
    q->SetDatabaseName("C:\\q\\" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    q->SQL().SetText(sql);
    return q;
  }
};

TEST_F(QueryDouble, Defaults) {
  TXbeQuery q(nullptr);
  EXPECT_FALSE(q.ReadAllColumns());
  EXPECT_FALSE(q.Constrained());
  EXPECT_TRUE(q.ParamCheck());
  EXPECT_FALSE(q.RequestLive());
  EXPECT_FALSE(q.Prepared());
  EXPECT_EQ(q.SourceTableType(), ttXbeXDT);
  EXPECT_EQ(q.StatementHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(q.DataSource(), nullptr);
}

TEST_F(QueryDouble, SourceTableTypeRefusesNtxWithoutADictionaryConnection) {
  TXbeQuery q(nullptr);
  EXPECT_EQ(MessageOf([&] { q.SetSourceTableType(ttXbeNTX); }),
            "The TXbeQuery component does not support the NTX table type");
  EXPECT_EQ(q.SourceTableType(), ttXbeXDT);
  for (TXbeTableTypes t : {ttXbeCDX, ttXbeXDT, ttXbeDefault}) {
    q.SetSourceTableType(t);
    EXPECT_EQ(q.SourceTableType(), t);
  }
}

TEST_F(QueryDouble, TheSqlTextRebuildsTheParameters) {
  auto q = Query("SELECT * FROM t WHERE a = :a AND b = :b");
  ASSERT_EQ(q->Params().Count(), 2);
  EXPECT_EQ(q->Params().Items(0).Name(), "a");
  EXPECT_EQ(q->Params().Items(1).Name(), "b");
  EXPECT_EQ(q->Params().Items(0).DataType(), db::ftUnknown);
  EXPECT_EQ(fake::CallsOf("XbeGetSQLStmtParams").back(),
            "XbeGetSQLStmtParams('SELECT * FROM t WHERE a = :a AND b = :b\r\n')");
  q->Params().Items(1).SetAsInteger(7);

  // A parameter named like an old one (without regard to case) keeps its value; quoted text and
  // "::" hold no marker.
  q->SQL().SetText("SELECT * FROM t WHERE c = :c AND x = '::q :r' AND b = :B");
  ASSERT_EQ(q->Params().Count(), 2);
  EXPECT_EQ(q->Params().Items(0).Name(), "c");
  EXPECT_TRUE(q->Params().Items(0).IsNull());
  EXPECT_EQ(q->Params().Items(1).AsInteger(), 7);

  q->SetParamCheck(false);
  q->SQL().SetText("SELECT * FROM t WHERE z = :z");
  ASSERT_EQ(q->Params().Count(), 2);
  EXPECT_EQ(q->Params().Items(0).Name(), "c");

  EXPECT_EQ(MessageOf([&] {
              fake::E().failures["XbeGetSQLStmtParams"] = 7200;
              q->SQL().SetText("SELECT");
            }),
            "Consulta: Error 7200: XbeGetSQLStmtParams failed");
}

TEST_F(QueryDouble, TheSameTextLeavesAnOpenQueryAlone) {
  auto q = Query("SELECT * FROM t WHERE a = :a");
  q->Params().Items(0).SetAsString("x");
  q->Open();
  classes::TStringList same;
  same.SetText("SELECT * FROM t WHERE a = :a");
  q->SetSQL(same);
  EXPECT_TRUE(q->Active());
  EXPECT_EQ(q->Params().Items(0).AsString(), "x");

  classes::TStringList other;
  other.SetText("SELECT * FROM t WHERE a = :a ");
  const auto checks = Count("XbeGetSQLStmtParams");
  q->SetSQL(other);
  EXPECT_FALSE(q->Active());
  EXPECT_FALSE(q->Prepared());
  EXPECT_EQ(Count("XbeGetSQLStmtParams"), checks + 1);  // one notification for the whole text
  EXPECT_EQ(q->Params().Items(0).AsString(), "x");
}

TEST_F(QueryDouble, StatementOptionsInOrder) {
  struct Case {
    bool live, constrained, readAll, rights;
    TXbeLockTypes lock;
    TXbeCharTypes chars;
    TXbeTableTypes type;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {false, false, false, true, Proprietary, ANSI, ttXbeXDT,
       {"XbeStmtSetTableLockType(1)", "XbeStmtSetTableCharType(1)", "XbeStmtSetTableRights(1)",
        "XbeStmtSetTableReadOnly(1)", "XbeStmtSetTableType(3)", "XbeStmtConstrainUpdates(2)",
        "XbeStmtReadAllColumns(2)"}},
      {true, true, true, false, Compatible, OEM, ttXbeCDX,
       {"XbeStmtSetTableLockType(0)", "XbeStmtSetTableCharType(2)", "XbeStmtSetTableRights(2)",
        "XbeStmtSetTableReadOnly(2)", "XbeStmtSetTableType(2)", "XbeStmtConstrainUpdates(1)",
        "XbeStmtReadAllColumns(1)"}},
      {false, false, false, true, Proprietary, ANSI, ttXbeDefault,
       {"XbeStmtSetTableLockType(1)", "XbeStmtSetTableCharType(1)", "XbeStmtSetTableRights(1)",
        "XbeStmtSetTableReadOnly(1)", "XbeStmtSetTableType(1)", "XbeStmtConstrainUpdates(2)",
        "XbeStmtReadAllColumns(2)"}},
  };
  for (const Case& c : cases) {
    fake::Reset();
    auto q = Query("DELETE FROM t");
    q->SetRequestLive(c.live);
    q->SetConstrained(c.constrained);
    q->SetReadAllColumns(c.readAll);
    q->XbeTableOptions().SetXbeRightsCheck(c.rights);
    q->XbeTableOptions().SetXbeLockType(c.lock);
    q->XbeTableOptions().SetXbeCharType(c.chars);
    q->SetSourceTableType(c.type);
    q->ExecSQL();
    const auto calls = CallsWithoutHandle({"XbeStmtSetTableLockType", "XbeStmtSetTableCharType", "XbeStmtSetTableRights",
                                         "XbeStmtSetTableReadOnly", "XbeStmtSetTableType", "XbeStmtConstrainUpdates",
                                         "XbeStmtReadAllColumns"});
    EXPECT_EQ(calls, c.calls);
  }
}

TEST_F(QueryDouble, ExecutionSequence) {
  fake::E().recordCount = 3;
  auto q = Query("UPDATE t SET a = :a");
  q->Params().Items(0).SetAsInteger(5);
  q->ExecSQL();
  const std::vector<std::string> calls = fake::CallsAmong(
      {"XbeConnect", "XbeCreateSQLStatement", "XbePrepareSQL", "XbeSetString", "XbeExecuteSQL",
       "XbeSqlPeekStatement", "XbeGetRecordCount", "XbeCloseTable"});
  const std::vector<std::string> expected = {"XbeConnect('C:\\q\\ExecutionSequence')",
                                             "XbeCreateSQLStatement(100)",
                                             "XbePrepareSQL(101,'UPDATE t SET a = :a\r\n')",
                                             "XbeSetString(1,'5',1)",
                                             "XbeExecuteSQL(101,1)",
                                             "XbeSqlPeekStatement()",
                                             "XbeGetRecordCount(101,2)",
                                             "XbeCloseTable(102)"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(q->AffectedRowCount(), 3);
  EXPECT_TRUE(q->Prepared());
  EXPECT_FALSE(q->Active());

  // No count from the engine is no error.
  fake::E().failures["XbeGetRecordCount"] = 5117;
  q->ExecSQL();
  EXPECT_EQ(q->AffectedRowCount(), -1);
  // Any other refusal is, and the cursor the execution made is not left open.
  fake::E().failures["XbeGetRecordCount"] = 5000;
  const auto closes = Count("XbeCloseTable");
  EXPECT_EQ(MessageOf([&] { q->ExecSQL(); }), "Consulta: Error 5000: XbeGetRecordCount failed");
  EXPECT_EQ(Count("XbeCloseTable"), closes + 1);
}

TEST_F(QueryDouble, ParameterBindingByType) {
  struct Case {
    db::TFieldType type;
    db::Variant value;
    std::string bound;  // what the engine received for position 1; empty: nothing
  };
  const db::TDateTime noon = 0.5;
  const std::vector<Case> cases = {
      {db::ftString, db::Variant(std::string("CURITIBA")), "XbeSetString(1,'CURITIBA',8)"},
      {db::ftInteger, db::Variant(42), "XbeSetString(1,'42',2)"},
      {db::ftSmallint, db::Variant(-3), "XbeSetString(1,'-3',2)"},
      {db::ftLargeint, db::Variant(std::int64_t{5000000000}), "XbeSetString(1,'5000000000',10)"},
      {db::ftMemo, db::Variant(std::string("texto")), "XbeSetString(1,'texto',5)"},
      {db::ftBoolean, db::Variant(true), "XbeSetLogical(1,1)"},
      {db::ftBoolean, db::Variant(false), "XbeSetLogical(1,0)"},
      {db::ftFloat, db::Variant(2.5), "XbeSetDouble(1,2.5)"},
      {db::ftCurrency, db::Variant(-1.25), "XbeSetDouble(1,-1.25)"},
      {db::ftDate, db::Variant::FromDateTime(0), "XbeSetJulian(1,2415019)"},
      {db::ftDate, db::Variant::FromDateTime(db::EncodeDate(2024, 3, 15) + noon), "XbeSetJulian(1,2460385)"},
      {db::ftTime, db::Variant::FromDateTime(noon), "XbeSetMilliseconds(1,43200000)"},
      {db::ftTime, db::Variant::FromDateTime(45000 + db::EncodeTime(0, 0, 1, 500)), "XbeSetMilliseconds(1,1500)"},
      {db::ftDateTime, db::Variant::FromDateTime(1 + noon), "XbeSetTimeStampRaw(1,2415020,43200000,8)"},
      {db::ftBlob, db::Variant::FromBytes({'a', 'b', 'c'}), "XbeSetBinary(1,6,3,0,'abc',3)"},
      {db::ftBytes, db::Variant::FromBytes({'z'}), "XbeSetBinary(1,6,1,0,'z',1)"},
      {db::ftOraBlob, db::Variant(std::string("x")), ""},
      {db::ftGuid, db::Variant(std::string("x")), ""},
  };
  for (const Case& c : cases) {
    fake::Reset();
    auto q = Query("SELECT * FROM t WHERE a = :a");
    q->Params().Items(0).SetDataType(c.type);
    q->Params().Items(0).SetValue(c.value);
    q->ExecSQL();
    EXPECT_EQ(BoundFirst(), c.bound) << c.type;
  }
}

TEST_F(QueryDouble, NullAndRefusedParameterTypes) {
  auto q = Query("SELECT * FROM t WHERE a = :a AND b = :b");
  // A null parameter is bound empty whatever its type, ftUnknown too.
  q->Params().Items(1).SetDataType(db::ftDate);
  q->ExecSQL();
  EXPECT_EQ(fake::E().written[1], "<empty>");
  EXPECT_EQ(fake::E().written[2], "<empty>");

  q->Params().Items(0).SetValue(db::Variant(1));
  q->Params().Items(0).SetDataType(db::ftUnknown);
  EXPECT_EQ(MessageOf([&] { q->ExecSQL(); }),
            "Consulta: The field named: 'a' has the DataType of ftUnknown, which is invalid.");
  for (db::TFieldType t : {db::ftParadoxOle, db::ftDBaseOle, db::ftTypedBinary, db::ftCursor, db::ftWideString,
                           db::ftADT, db::ftArray, db::ftReference, db::ftDataSet}) {
    q->Params().Items(0).SetDataType(t);
    const auto executions = Count("XbeExecuteSQL");
    EXPECT_EQ(MessageOf([&] { q->ExecSQL(); }), "Consulta: The field named: 'a' has a DataType that is not supported.")
        << t;
    EXPECT_EQ(Count("XbeExecuteSQL"), executions);
  }
}

TEST_F(QueryDouble, TheStatementIsReusedUntilReleased) {
  auto q = Query("SELECT * FROM t");
  q->Open();
  q->Close();
  q->Open();
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 1u);
  EXPECT_EQ(Count("XbeConnect"), 1u);
  const XBEHANDLE statement = q->StatementHandle();
  q->Close();
  EXPECT_EQ(q->StatementHandle(), statement);
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 0u);

  // The same name again keeps it; another name closes it.
  q->SetDatabaseName(q->DatabaseName());
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 0u);
  q->SetDatabaseName("C:\\q\\outra");
  EXPECT_EQ(fake::CallsOf("XbeCloseSQLStatement"), std::vector<std::string>{"XbeCloseSQLStatement(" +
                                                                            std::to_string(statement) + ")"});
  EXPECT_EQ(q->StatementHandle(), 0xFFFFFFFFu);
  q->Open();
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 2u);

  // Open, the statement cannot be released.
  EXPECT_EQ(MessageOf([&] { q->ConnectionClosing(); }), "Consulta: Cannot perform this operation on an open dataset");
  q->Close();
  // The connection going away forgets the statement without closing it.
  q->ConnectionClosing();
  EXPECT_EQ(q->StatementHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 1u);
}

TEST_F(QueryDouble, AStatementTheEngineForgotOnTheImplicitConnection) {
  auto q = Query("SELECT * FROM t");
  q->Open();
  q->Close();
  fake::E().statements.clear();
  EXPECT_EQ(MessageOf([&] { q->Open(); }), "Consulta: Internal Error: invalid connection handle.");
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 1u);
}

TEST_F(QueryDouble, Error7209ReleasesTheStatement) {
  auto q = Query("SELECT * FROM t");
  fake::E().failures["XbeExecuteSQL"] = 7209;
  EXPECT_EQ(MessageOf([&] { q->Open(); }), "Consulta: Error 7209: XbeExecuteSQL failed");
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 1u);
  EXPECT_EQ(q->StatementHandle(), 0xFFFFFFFFu);
  fake::E().failures.clear();
  q->Open();
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 2u);

  // Any other failure leaves the statement for the next execution.
  q->Close();
  fake::E().failures["XbeExecuteSQL"] = 7200;
  EXPECT_EQ(MessageOf([&] { q->Open(); }), "Consulta: Error 7200: XbeExecuteSQL failed");
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 1u);
  EXPECT_NE(q->StatementHandle(), 0xFFFFFFFFu);
}

TEST_F(QueryDouble, DesignModeAndDestructionCloseTheStatement) {
  auto q = Query("SELECT * FROM t");
  q->SetDesigning(true);
  q->Open();
  q->Close();
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 1u);
  EXPECT_EQ(q->StatementHandle(), 0xFFFFFFFFu);
  q->SetDesigning(false);
  q->Open();
  q.reset();
  EXPECT_EQ(Count("XbeCloseSQLStatement"), 2u);
  EXPECT_TRUE(fake::E().statements.empty());
}

TEST_F(QueryDouble, DatabaseNameIsRequired) {
  TXbeQuery q(nullptr);
  q.SetName("Consulta");
  q.SQL().SetText("SELECT * FROM t");
  EXPECT_EQ(MessageOf([&] { q.Open(); }), "Consulta: The DatabaseName property has not been assigned a value.");
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 0u);
}

TEST_F(QueryDouble, AStaticCursorIsReadOnly) {
  auto q = Query("SELECT * FROM t");
  q->XbeTableOptions().SetXbeCharType(OEM);
  q->Open();
  EXPECT_TRUE(q->ReadOnly());
  EXPECT_FALSE(q->CanModify());
  // Only a live cursor tells the character type of its table.
  EXPECT_EQ(Count("XbeGetTableCharType"), 0u);
  EXPECT_EQ(q->XbeTableOptions().XbeCharType(), OEM);
}

TEST_F(QueryDouble, IndexFilesOpenOnTheCursor) {
  fake::E().indexFiles["PEONOM.NTX"] = {fake::Order{"PEONOM", "", {"NOME"}}};
  auto q = Query("SELECT * FROM t");
  q->IndexFiles().Add("peonom.ntx");
  q->Open();
  const auto opens = fake::CallsOf("XbeOpenIndex");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_NE(opens[0].find("C:\\q\\IndexFilesOpenOnTheCursor\\peonom.ntx"), std::string::npos) << opens[0];
  q->Close();

  // A file that fails closes the cursor before the error goes on.
  fake::E().failIndexFile = "PEONOM.NTX";
  const auto closes = Count("XbeCloseTable");
  EXPECT_NE(MessageOf([&] { q->Open(); }), "<no exception>");
  EXPECT_EQ(Count("XbeCloseTable"), closes + 1);
  EXPECT_FALSE(q->Active());
}

TEST_F(QueryDouble, LastAutoIncUsesTheStatementWhenNoCursorIsOpen) {
  auto q = Query("INSERT INTO t VALUES (1)");
  q->ExecSQL();
  EXPECT_EQ(q->GetLastAutoIncValue(), 0);
  EXPECT_EQ(Count("XbeGetLastAutoinc"), 1u);
}

class TQueryForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TQueryForm(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeQuery* Consulta = nullptr;
};

}  // namespace

const classes::TClassInfo& TQueryForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TQueryForm, classes::TComponent>(
      "TQueryForm", [](auto& c) { c.Field("Consulta", &TQueryForm::Consulta); });
  return info;
}

namespace {

TEST_F(QueryDouble, StoredFormKeepsDataAndReadsParamData) {
  TQueryForm form(nullptr);
  classes::ReadRootComponent(form, R"(object QueryForm: TQueryForm
  object Consulta: TXbeQuery
    DatabaseName = 'C:\q\stored'
    SQL.Strings = (
      'SELECT * FROM people'
      'WHERE cidade = :c')
    Data = {0102FF}
    ParamData = <
      item
        DataType = ftString
        Name = 'c'
        ParamType = ptInput
      end>
    WaitCursor = crHourGlass
    SourceTableType = ttXbeCDX
  end
end
)");
  TXbeQuery& q = *form.Consulta;
  EXPECT_EQ(fake::CallsOf("XbeGetSQLStmtParams"),
            std::vector<std::string>{"XbeGetSQLStmtParams('SELECT * FROM people\r\nWHERE cidade = :c\r\n')"});
  ASSERT_EQ(q.Params().Count(), 1);
  EXPECT_EQ(q.Params().Items(0).DataType(), db::ftString);
  EXPECT_EQ(q.Params().Items(0).ParamType(), db::TParamType::ptInput);
  ASSERT_TRUE(q.StoredStatementData().has_value());
  EXPECT_EQ(*q.StoredStatementData(), (std::vector<std::uint8_t>{1, 2, 0xFF}));

  const std::string written = classes::WriteRootComponent(form);
  EXPECT_NE(written.find("    Data = {\n      0102FF}"), std::string::npos) << written;
  EXPECT_NE(written.find("ParamData = <"), std::string::npos) << written;
  EXPECT_EQ(written.find("WaitCursor"), std::string::npos) << written;
  EXPECT_EQ(written.find("Params"), std::string::npos) << written;

  // A changed text drops the block and rebuilds the parameters, keeping the type of "c".
  q.SQL().SetText("SELECT * FROM people WHERE cidade = :c AND uf = :uf");
  EXPECT_FALSE(q.StoredStatementData().has_value());
  ASSERT_EQ(q.Params().Count(), 2);
  EXPECT_EQ(q.Params().Items(0).DataType(), db::ftString);
  const std::string again = classes::WriteRootComponent(form);
  EXPECT_EQ(again.find("    Data = "), std::string::npos) << again;
}

TEST_F(QueryDouble, WaitCursorAsAnInteger) {
  TQueryForm form(nullptr);
  classes::ReadRootComponent(form, R"(object QueryForm: TQueryForm
  object Consulta: TXbeQuery
    WaitCursor = -11
    ParamCheck = False
  end
end
)");
  EXPECT_FALSE(form.Consulta->ParamCheck());
}

// ---- master ------------------------------------------------------------------------------

TEST_F(QueryDouble, MasterGivesUnboundParametersAndRefusesCircles) {
  TXbeTable master(nullptr);
  master.SetName("Mestre");
  master.SetDatabaseName("C:\\q\\mestre");
  master.SetTableName("ML2");
  db::TDataSource source(nullptr);
  source.SetDataSet(&master);
  master.Open();

  auto q = Query("SELECT * FROM t WHERE c = :CODCONV AND n = :nome");
  q->SetDataSource(&source);
  q->Params().Items(1).SetAsString("fixo");
  q->ExecSQL();
  // The master's empty field makes an empty value of the field's type; the bound one stays.
  EXPECT_EQ(fake::E().written[1], "<empty>");
  EXPECT_EQ(q->Params().Items(0).DataType(), master.FieldByName("CODCONV")->DataType());
  EXPECT_FALSE(q->Params().Items(0).Bound());
  EXPECT_EQ(q->Params().Items(0).Name(), "CODCONV");
  EXPECT_EQ(fake::CallsOf("XbeSetString"), std::vector<std::string>{"XbeSetString(2,'fixo',4)"});

  q->Params().Items(1).SetBound(false);
  EXPECT_NE(MessageOf([&] { q->ExecSQL(); }).find("nome"), std::string::npos);

  // A source over the query itself, or over a dataset the query leads to, is a circle.
  db::TDataSource own(nullptr);
  own.SetDataSet(q.get());
  EXPECT_EQ(MessageOf([&] { q->SetDataSource(&own); }), "Consulta: Circular Data Link");
  EXPECT_EQ(q->DataSource(), &source);
  TXbeQuery third(nullptr);
  third.SetDataSource(&own);
  db::TDataSource overThird(nullptr);
  overThird.SetDataSet(&third);
  EXPECT_EQ(MessageOf([&] { q->SetDataSource(&overThird); }), "Consulta: Circular Data Link");
  third.SetDataSource(nullptr);
  q->SetDataSource(nullptr);
}

TEST_F(QueryDouble, AnOpenDetailRunsAgainWhenTheMasterOpens) {
  TXbeTable master(nullptr);
  master.SetDatabaseName("C:\\q\\mestre2");
  master.SetTableName("ML2");
  db::TDataSource source(nullptr);
  source.SetDataSet(&master);
  auto q = Query("SELECT * FROM t WHERE c = :codconv");
  q->Params().Items(0).SetAsInteger(1);
  q->SetDataSource(&source);
  q->Open();
  const auto executions = Count("XbeExecuteSQL");
  master.Open();
  EXPECT_EQ(Count("XbeExecuteSQL"), executions + 1);
  EXPECT_TRUE(q->Active());
  // A master that closes leaves the query as it is.
  master.Close();
  EXPECT_EQ(Count("XbeExecuteSQL"), executions + 1);
  EXPECT_TRUE(q->Active());
}

// ---- provider support ---------------------------------------------------------------------

TEST_F(QueryDouble, RefusedOperations) {
  auto q = Query("SELECT * FROM t");
  EXPECT_EQ(MessageOf([&] { q->BatchMove(nullptr, 0); }),
            "Consulta: The method BatchMove in TXbeDataSet is not supported.");
  EXPECT_EQ(MessageOf([&] { q->RenameTable("X"); }),
            "Consulta: The method RenameTable in TXbeDataSet is not supported.");
  EXPECT_EQ(MessageOf([&] { q->UpdateStatus(); }),
            "Consulta: The method UpdateStatus in TXbeDataSet is not supported.");
}

TEST_F(QueryDouble, UpdateRecordHandlerDecides) {
  auto q = Query("SELECT * FROM t");
  TXbeTable delta(nullptr);
  EXPECT_FALSE(q->ProviderUpdateRecord(db::UpdateKind::Modify, &delta));
  struct Case {
    db::TUpdateAction action;
    bool applied;
  };
  for (const Case& c : {Case{db::TUpdateAction::uaApplied, true}, Case{db::TUpdateAction::uaFail, false},
                        Case{db::TUpdateAction::uaSkip, false}, Case{db::TUpdateAction::uaAbort, false},
                        Case{db::TUpdateAction::uaRetry, false}}) {
    db::TUpdateAction seen = db::TUpdateAction::uaApplied;
    db::TDataSet* seenDelta = nullptr;
    db::UpdateKind seenKind = db::UpdateKind::Modify;
    q->OnUpdateRecord = TXbeDataSet::TUpdateRecordEvent::FromFunction(
        [&](db::TDataSet* d, db::UpdateKind kind, db::TUpdateAction& action) {
          seen = action;
          seenDelta = d;
          seenKind = kind;
          action = c.action;
        });
    EXPECT_EQ(q->ProviderUpdateRecord(db::UpdateKind::Delete, &delta), c.applied);
    EXPECT_EQ(seen, db::TUpdateAction::uaFail);
    EXPECT_EQ(seenDelta, &delta);
    EXPECT_EQ(seenKind, db::UpdateKind::Delete);
  }
}

TEST_F(QueryDouble, ProviderHooksWithoutAConnection) {
  auto q = Query("SELECT * FROM people ORDER BY nome, cidade DESC");
  EXPECT_TRUE(q->ProviderSqlSupported());
  EXPECT_TRUE(q->ProviderSqlBased());
  EXPECT_EQ(q->ProviderQuoteChar(), "");
  EXPECT_FALSE(q->ProviderInTransaction());
  q->ProviderStartTransaction();
  q->ProviderEndTransaction(true);
  q->ProviderEndTransaction(false);
  EXPECT_EQ(Count("XbeBeginTransaction") + Count("XbeRollbackTransaction"), 0u);
  EXPECT_EQ(MessageOf([&] { q->ProviderExecuteStatement("DELETE FROM t", nullptr, nullptr); }),
            "Consulta: A TXbeConnection component is required for TClientDataSet/IProvider support. Use either the "
            "XbeConnection  property or the Database property to specify a TXbeConnection instance.");

  // ProviderReset goes to the top only when open.
  q->ProviderReset();
  EXPECT_EQ(Count("XbeGotoTop"), 0u);
  q->Open();
  fake::E().calls.clear();
  q->ProviderReset();
  EXPECT_EQ(Count("XbeGotoTop"), 1u);
}

TEST_F(QueryDouble, QueryProviderOperations) {
  auto q = Query("SELECT * FROM people WHERE a = :a ORDER BY nome, cidade DESC");
  EXPECT_EQ(q->ProviderTableName(), "people");
  auto order = q->ProviderDefaultOrder();
  ASSERT_NE(order, nullptr);
  EXPECT_EQ(order->Fields(), "nome;cidade");
  EXPECT_EQ(q->ProviderParams(), &q->Params());

  q->Open();
  db::TParams empty;
  q->ProviderSetParams(empty);
  EXPECT_FALSE(q->Active());
  EXPECT_EQ(q->Params().Count(), 1);
  db::TParams replacement;
  replacement.CreateParam(db::ftInteger, "x", db::TParamType::ptInput)->SetAsInteger(3);
  replacement.CreateParam(db::ftInteger, "y", db::TParamType::ptInput);
  q->ProviderSetParams(replacement);
  ASSERT_EQ(q->Params().Count(), 2);
  EXPECT_EQ(q->Params().Items(0).Name(), "x");
  EXPECT_EQ(q->Params().Items(0).AsInteger(), 3);

  q->ProviderSetCommandText("");
  EXPECT_EQ(q->SQL().Text(), "SELECT * FROM people WHERE a = :a ORDER BY nome, cidade DESC\r\n");
  q->ProviderSetCommandText("SELECT * FROM ml2");
  EXPECT_EQ(q->SQL().Text(), "SELECT * FROM ml2\r\n");
  EXPECT_EQ(q->Params().Count(), 0);
  EXPECT_EQ(q->ProviderDefaultOrder(), nullptr);
}

TEST_F(QueryDouble, AttachCursor) {
  TXbeQuery q(nullptr);
  for (XBEHANDLE none : {0xFFFFFFFFu, 0u}) {
    q.AttachCursor(none);
    EXPECT_FALSE(q.Active());
  }
  q.AttachCursor(555);
  EXPECT_TRUE(q.Active());
  EXPECT_EQ(q.TableHandle(), 555u);
  EXPECT_EQ(Count("XbeCreateSQLStatement"), 0u);
  q.Close();
  EXPECT_EQ(fake::CallsOf("XbeCloseTable"), std::vector<std::string>{"XbeCloseTable(555)"});

  // A cursor the open cannot use is forgotten.
  fake::E().failures["XbeGetRecordLength"] = 6001;
  EXPECT_NE(MessageOf([&] { q.AttachCursor(556); }), "<no exception>");
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.ActiveHandle(), 0xFFFFFFFFu);
}

// ---- with a connection component ---------------------------------------------------------

TEST_F(QueryDouble, AConnectionComponentGivesTheStatementItsHandle) {
  TXbeConnection connection(nullptr);
  connection.SetName("Conexao");
  connection.SetConnectPath("C:\\dados");
  connection.SetReadOnly(true);
  auto q = Query("SELECT * FROM t");
  q->SetDatabaseName("Conexao");
  ASSERT_EQ(q->XbeConnection(), &connection);
  q->SetRequestLive(true);
  q->Open();
  EXPECT_TRUE(connection.IsConnected());
  EXPECT_EQ(fake::CallsOf("XbeCreateSQLStatement"),
            std::vector<std::string>{"XbeCreateSQLStatement(" + std::to_string(connection.ConnectionHandle()) + ")"});
  EXPECT_EQ(Count("XbeConnect"), 0u);
  // A read-only connection takes back the live cursor asked for.
  EXPECT_EQ(CallsWithoutHandle({"XbeStmtSetTableReadOnly"}),
            (std::vector<std::string>{"XbeStmtSetTableReadOnly(2)", "XbeStmtSetTableReadOnly(1)"}));

  // Disconnecting closes the query and forgets the statement without closing it (the engine
  // closes it with the connection).
  const XBEHANDLE statement = q->StatementHandle();
  connection.SetIsConnected(false);
  EXPECT_FALSE(q->Active());
  EXPECT_EQ(q->StatementHandle(), 0xFFFFFFFFu);
  const auto closes = fake::CallsOf("XbeCloseSQLStatement");
  EXPECT_EQ(std::count(closes.begin(), closes.end(), "XbeCloseSQLStatement(" + std::to_string(statement) + ")"), 0);

  // The connection is set but DatabaseName is empty: still refused.
  TXbeQuery bare(nullptr);
  bare.SetName("Outra");
  bare.SQL().SetText("SELECT * FROM t");
  bare.SetXbeConnection(&connection);
  bare.SetDatabaseName("");
  EXPECT_EQ(MessageOf([&] { bare.Open(); }), "Outra: The DatabaseName property has not been assigned a value.");
  bare.SetXbeConnection(nullptr);
  q.reset();
}

TEST_F(QueryDouble, ProviderTransactionsGoThroughTheConnection) {
  TXbeConnection connection(nullptr);
  connection.SetName("Conexao");
  connection.SetConnectPath("C:\\dados");
  auto q = Query("SELECT * FROM t");
  q->SetDatabaseName("Conexao");
  // Disconnected: no transaction, and no error either.
  EXPECT_FALSE(q->ProviderInTransaction());
  EXPECT_NE(MessageOf([&] { q->ProviderStartTransaction(); }), "<no exception>");
  connection.SetIsConnected(true);
  q->ProviderStartTransaction();
  EXPECT_TRUE(q->ProviderInTransaction());
  q->ProviderEndTransaction(false);
  EXPECT_FALSE(q->ProviderInTransaction());
  q->ProviderStartTransaction();
  q->ProviderEndTransaction(true);
  EXPECT_EQ(fake::CallsAmong({"XbeBeginTransaction", "XbeCommitTransaction", "XbeRollbackTransaction"}).size(), 4u);
  EXPECT_EQ(Count("XbeRollbackTransaction"), 1u);
  EXPECT_EQ(Count("XbeCommitTransaction"), 1u);
  q.reset();
}

TEST_F(QueryDouble, ProviderStatementsWithAndWithoutAResultSet) {
  TXbeConnection connection(nullptr);
  connection.SetName("Conexao");
  connection.SetConnectPath("C:\\dados");
  auto q = Query("SELECT * FROM t");
  q->SetDatabaseName("Conexao");
  q->XbeTableOptions().SetXbeCharType(OEM);
  q->XbeTableOptions().SetXbeLockType(Compatible);
  q->XbeTableOptions().SetXbeRightsCheck(false);
  q->SetSourceTableType(ttXbeCDX);
  fake::E().recordCount = 4;
  EXPECT_EQ(q->ProviderExecuteStatement("DELETE FROM t", nullptr, nullptr), 4);
  EXPECT_EQ(CallsWithoutHandle({"XbeStmtSetTableType", "XbeStmtSetTableCharType", "XbeStmtSetTableLockType",
                                "XbeStmtSetTableRights"}),
            (std::vector<std::string>{"XbeStmtSetTableType(2)", "XbeStmtSetTableCharType(2)",
                                      "XbeStmtSetTableLockType(0)", "XbeStmtSetTableRights(2)"}));

  db::TDataSet* result = nullptr;
  EXPECT_EQ(q->ProviderExecuteStatement("SELECT * FROM t", nullptr, &result), 0);
  ASSERT_NE(result, nullptr);
  std::unique_ptr<db::TDataSet> owned(result);
  auto* query = dynamic_cast<TXbeQuery*>(result);
  ASSERT_NE(query, nullptr);
  EXPECT_TRUE(query->Active());
  EXPECT_EQ(query->Owner(), nullptr);
  EXPECT_EQ(query->StatementHandle(), 0xFFFFFFFFu);  // the cursor came from the connection
  owned.reset();

  // A cursor the new query cannot open leaves neither a query nor an open cursor behind.
  fake::E().failures["XbeGetRecordLength"] = 6001;
  db::TDataSet* none = nullptr;
  const auto closes = Count("XbeCloseTable");
  EXPECT_EQ(MessageOf([&] { q->ProviderExecuteStatement("SELECT * FROM t", nullptr, &none); }),
            "Error 6001: XbeGetRecordLength failed");
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(Count("XbeCloseTable"), closes + 1);
  q.reset();
}

}  // namespace
