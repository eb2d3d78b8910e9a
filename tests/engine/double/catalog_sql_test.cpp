// The connection's catalogue and SQL execution against the test double: search patterns,
// empty answers, the statement cache, parameters by position, server time and links.
#include <gtest/gtest.h>

#include <fstream>

#include "../messageof.h"
#include "engine/xbecnnct.h"
#include "fake_xbe.h"
#include "platform/db/datetime.h"
#include "testsupport.h"

namespace {

std::vector<std::string> Items(const classes::TStrings& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

class Catalog : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
  std::unique_ptr<TXbeConnection> Connected(const std::string& path) {
    auto c = std::make_unique<TXbeConnection>(nullptr);
    c->SetConnectPath(path);
    c->SetLoginPrompt(false);
    c->SetUsername("ANA");
    c->Connect();
    return c;
  }
};

}  // namespace

TEST_F(Catalog, TableSearchPatternFollowsTheAliasType) {
  testsupport::TempDir dir;
  testsupport::ScopedEnv windir("WINDIR", dir.str());
  std::ofstream(dir.path() / "xbe.ini", std::ios::binary)
      << "[Databases]\r\nN=C:\\DATA\\;N\r\nC=C:\\DATA;C\r\nA=C:\\DATA/;A\r\nX=C:\\DATA\r\n";
  struct Case {
    const char* alias;
    const char* pattern;
  };
  for (const Case& c : {Case{"N", "C:\\DATA\\*.dbf"}, Case{"C", "C:\\DATA\\*.dbf"}, Case{"A", "C:\\DATA\\*.xdt"},
                        Case{"X", "C:\\DATA\\ML*.DBF"}}) {
    SCOPED_TRACE(c.alias);
    fake::E().calls.clear();
    TXbeConnection conn(nullptr);
    conn.SetAliasName(c.alias);
    conn.Connect();
    classes::TStringList list;
    conn.GetTableNames(&list, "ML*.DBF");
    EXPECT_EQ(fake::CallsOf("XbeFindFirstTable"),
              std::vector<std::string>{"XbeFindFirstTable('" + std::string(c.pattern) + "',260)"});
  }
  // A path of its own takes the caller's mask; a dictionary searches with an empty pattern.
  fake::E().calls.clear();
  classes::TStringList list;
  Connected("F:\\DADOS\\")->GetTableNames(&list, "*.DBF");
  Connected("F:\\LOJA\\LOJA.XDD")->GetTableNames(&list, "*.DBF");
  EXPECT_EQ(fake::CallsOf("XbeFindFirstTable"),
            (std::vector<std::string>{"XbeFindFirstTable('F:\\DADOS\\*.DBF',260)", "XbeFindFirstTable('',260)"}));
}

TEST_F(Catalog, TableListsAndTheirSearchHandle) {
  auto conn = Connected("F:\\DADOS");
  classes::TStringList names;
  names.Add("JA");
  // Nothing found (5059): the list stays as it was and no search is closed.
  conn->GetTableNames(&names, "*.DBF");
  EXPECT_EQ(Items(names), std::vector<std::string>{"JA"});
  EXPECT_TRUE(fake::CallsOf("XbeFindClose").empty());

  fake::E().tableNames = {"ML2", "ML6", "PEOPLE"};
  fake::E().tableFiles = {"ML2.DBF", "ML6.DBF", "people.dbf"};
  conn->GetTableNames(&names, "*.DBF");
  EXPECT_EQ(Items(names), (std::vector<std::string>{"JA", "ML2", "ML6", "PEOPLE"}));
  EXPECT_EQ(fake::CallsOf("XbeFindClose").size(), 1u);

  classes::TStringList first, second;
  conn->GetTableNameLists(&first, &second, "*.DBF");
  EXPECT_EQ(Items(first), (std::vector<std::string>{"ML2", "ML6", "PEOPLE"}));
  EXPECT_EQ(Items(second), (std::vector<std::string>{"ML2.DBF", "ML6.DBF", "people.dbf"}));
  classes::TStringList onlySecond;
  conn->GetTableNameLists(nullptr, &onlySecond, "*.DBF");
  EXPECT_EQ(onlySecond.Count(), 3);
  for (const auto& call : fake::CallsOf("XbeFindNextTable62")) EXPECT_NE(call.find(",260,260)"), std::string::npos);

  // A failure in the middle raises the engine's text and still closes the search.
  fake::E().failures["XbeFindNextTable"] = 6013;
  const std::size_t closes = fake::CallsOf("XbeFindClose").size();
  EXPECT_EQ(MessageOf([&] { conn->GetTableNames(&names, "*.DBF"); }), "Error 6013: XbeFindNextTable failed");
  EXPECT_EQ(fake::CallsOf("XbeFindClose").size(), closes + 1);

  TXbeConnection closed(nullptr);
  EXPECT_EQ(MessageOf([&] { closed.GetTableNames(&names, "*"); }), "No connection to Xbase server.");
  EXPECT_EQ(MessageOf([&] { closed.GetTableNameLists(&names, nullptr, "*"); }), "No connection to Xbase server.");
}

TEST_F(Catalog, DictionaryObjectsAndUserGroups) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\LOJA\\LOJA.XDD");
  conn.SetLoginPrompt(false);
  conn.SetUsername("ANA");
  classes::TStringList objects;
  conn.GetDictionaryObjectNames(&objects);  // connects on demand; no objects (5137)
  EXPECT_TRUE(conn.IsConnected());
  EXPECT_EQ(objects.Count(), 0);
  EXPECT_TRUE(fake::CallsOf("XbeDDFindClose").empty());
  fake::E().dictionaryObjects = {"CLIENTES", "PEDIDOS"};
  conn.GetDictionaryObjectNames(&objects);
  EXPECT_EQ(Items(objects), (std::vector<std::string>{"CLIENTES", "PEDIDOS"}));
  EXPECT_EQ(fake::CallsOf("XbeDDFindFirstObject").back(), "XbeDDFindFirstObject(10,'',200)");
  EXPECT_EQ(fake::CallsOf("XbeDDFindClose").size(), 1u);

  // No group value: empty, and asked again at the next read.
  EXPECT_EQ(conn.GetUserGroupsText(), "");
  EXPECT_EQ(conn.GetUserGroups().Count(), 0);
  EXPECT_EQ(fake::CallsOf("XbeDDGetUserProperty").size(), 2u);
  fake::E().userGroups = "Caixa;Gerentes";
  EXPECT_EQ(Items(conn.GetUserGroups()), (std::vector<std::string>{"Caixa", "Gerentes"}));
  EXPECT_EQ(conn.GetUserGroupsText(), "Caixa;Gerentes");
  EXPECT_EQ(fake::CallsOf("XbeDDGetUserProperty"),
            (std::vector<std::string>{"XbeDDGetUserProperty('ANA',1102,0)", "XbeDDGetUserProperty('ANA',1102,0)",
                                      "XbeDDGetUserProperty('ANA',1102,0)", "XbeDDGetUserProperty('ANA',1102,15)"}));
  // Loaded once; a reconnect asks again.
  fake::E().userGroups = "Caixa";
  EXPECT_EQ(conn.GetUserGroupsText(), "Caixa;Gerentes");
  conn.Disconnect();
  conn.Connect();
  EXPECT_EQ(conn.GetUserGroupsText(), "Caixa");

  // A directory connection has neither.
  auto plain = Connected("F:\\DADOS");
  plain->GetDictionaryObjectNames(&objects);
  EXPECT_EQ(plain->GetUserGroupsText(), "");
  EXPECT_EQ(fake::CallsOf("XbeDDFindFirstObject").size(), 2u);
}

TEST_F(Catalog, ServerTimeActiveLinksAndCachedTables) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  fake::E().serverMilliseconds = 43200000 + 1500;
  const db::TDateTime now = conn.GetServerTime();  // connects on demand
  EXPECT_DOUBLE_EQ(now, db::EncodeDate(2024, 3, 15) + (43200000.0 + 1500) / 86400000.0);
  EXPECT_EQ(fake::CallsOf("XbeGetServerTime"), std::vector<std::string>{"XbeGetServerTime(69,69)"});
  EXPECT_EQ(fake::CallsOf("XbeConvertDateToJulian"), std::vector<std::string>{"XbeConvertDateToJulian('15/03/2024')"});

  fake::E().activeLinks = 2;
  EXPECT_EQ(conn.GetActiveLinkCount(), 2);
  struct Case {
    const char* info;
    std::vector<std::string> parts;
  };
  for (const Case& c : {Case{"a;b;c", {"a", "b"}}, Case{"a;b;c;", {"a", "b", "c"}}, Case{"abc", {}},
                        Case{";;x", {"", ""}}}) {
    fake::E().activeLinkInfo = c.info;
    classes::TStringList parts;
    conn.GetActiveLinkInfo(1, &parts);
    EXPECT_EQ(Items(parts), c.parts) << c.info;
  }
  EXPECT_EQ(fake::CallsOf("XbeGetActiveLinkInfo")[0], "XbeGetActiveLinkInfo(1,664)");

  conn.CloseCachedTables();
  conn.Disconnect();
  conn.CloseCachedTables();  // not connected: nothing
  EXPECT_EQ(fake::CallsOf("XbeCloseCachedTables").size(), 1u);
  // Not connected, the links are asked for handle 0 and the engine's answer raised.
  fake::E().failures["XbeGetNumActiveLinks"] = 6001;
  EXPECT_EQ(MessageOf([&] { conn.GetActiveLinkCount(); }), "Error 6001: XbeGetNumActiveLinks failed");
  EXPECT_EQ(fake::CallsOf("XbeGetNumActiveLinks").back(), "XbeGetNumActiveLinks(0)");
}

TEST(StatementTextHash, Values) {
  struct Case {
    std::string text;
    std::int32_t hash;
  };
  for (const Case& c : {Case{"", 0}, Case{"a", 97}, Case{"abc", 136518}, Case{"ABC", 91494},
                        Case{"\xE9\xE9", 8854},  // bytes count unsigned
                        Case{"0123456789abcde", 1011943616},
                        Case{"0123456789abcdef", -1022892329},  // 16 characters: every 2nd, times 39
                        Case{"SELECT * FROM people", -196110376}, Case{"select * from people", 2047503032},
                        Case{"UPDATE people SET qtd = qtd + 1 WHERE cidade = 'CURITIBA'", -974427793}})
    EXPECT_EQ(StatementTextHash(c.text), c.hash) << c.text;
}

TEST_F(Catalog, StatementCacheByHashAndTextIgnoringCase) {
  auto conn = Connected("F:\\DADOS");
  const std::string upper = "SELECT * FROM people";
  const std::string lower = "select * from people";
  fake::E().recordCount = 7;
  EXPECT_EQ(conn->ExecuteSQL(upper, nullptr, true), 7);
  EXPECT_EQ(conn->ExecuteSQL(upper, nullptr, true), 7);
  EXPECT_EQ(fake::CallsOf("XbeCreateSQLStatement").size(), 1u);  // reused as prepared
  EXPECT_EQ(fake::CallsOf("XbePrepareSQL").size(), 1u);
  conn->ExecuteSQL(lower, nullptr, true);  // another hash: another statement
  EXPECT_EQ(fake::CallsOf("XbeCreateSQLStatement").size(), 2u);
  ASSERT_NE(conn->StatementCache(), nullptr);
  EXPECT_EQ(conn->StatementCache()->size(), 2u);
  EXPECT_TRUE(fake::CallsOf("XbeCloseSQLStatement").empty());

  // Same hash, same text in another case: the cached statement answers.
  TStmtInfo& first = const_cast<TStmtInfo&>(conn->StatementCache()->front());
  first.SQL = "SELECT * FROM PEOPLE";
  conn->ExecuteSQL(upper, nullptr, true);
  EXPECT_EQ(fake::CallsOf("XbeCreateSQLStatement").size(), 2u);

  // Commit, rollback and disconnect close the cache.
  conn->BeginTransaction();
  conn->Commit();
  EXPECT_EQ(fake::CallsOf("XbeCloseSQLStatement").size(), 2u);
  EXPECT_TRUE(conn->StatementCache()->empty());
  conn->ExecuteSQL(upper, nullptr, true);
  conn->Disconnect();
  EXPECT_EQ(fake::CallsOf("XbeCloseSQLStatement").size(), 3u);
  EXPECT_TRUE(fake::E().statements.empty());
}

TEST_F(Catalog, StatementsWithoutCacheCursorsAndCounts) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  fake::E().recordCount = 3;
  // Connects on demand; creates, prepares, runs and closes its own statement each time.
  EXPECT_EQ(conn.ExecuteSQL("DELETE FROM ml2"), 3);
  EXPECT_EQ(conn.ExecuteSQL("DELETE FROM ml2"), 3);
  EXPECT_EQ(fake::CallsAmong({"XbeCreateSQLStatement", "XbeStmtSetTableReadOnly", "XbePrepareSQL",
                              "XbeExecuteSQLDirect", "XbeGetRecordCount", "XbeCloseSQLStatement"})
                .size(),
            10u);
  EXPECT_TRUE(fake::E().statements.empty());

  // A cursor asks for read-only tables, returns 0 and counts nothing.
  fake::E().calls.clear();
  XBEHANDLE cursor = 0;
  EXPECT_EQ(conn.ExecuteSQL("SELECT * FROM ml2", nullptr, false, &cursor), 0);
  EXPECT_NE(cursor, 0u);
  EXPECT_EQ(fake::CallsOf("XbeStmtSetTableReadOnly").size(), 1u);
  EXPECT_NE(fake::CallsOf("XbeStmtSetTableReadOnly")[0].find(",1)"), std::string::npos);
  EXPECT_TRUE(fake::CallsOf("XbeGetRecordCount").empty());

  // No count (5117): none for ExecuteSQL, an error for ExecuteSQLWithOptions.
  fake::E().failures["XbeGetRecordCount"] = 5117;
  EXPECT_EQ(conn.ExecuteSQL("CREATE TABLE x (a CHAR(1))"), 0);
  const StatementOptions options{1, 2, 1, 1};
  fake::E().calls.clear();
  EXPECT_EQ(MessageOf([&] { conn.ExecuteSQLWithOptions(options, "CREATE TABLE y (a CHAR(1))"); }),
            "Error 5117: XbeGetRecordCount failed");
  EXPECT_TRUE(fake::E().statements.empty());  // closed also on failure
  const auto settings = fake::CallsAmong({"XbeStmtSetTableType", "XbeStmtSetTableCharType",
                                          "XbeStmtSetTableLockType", "XbeStmtSetTableRights", "XbePrepareSQL"});
  ASSERT_EQ(settings.size(), 5u);
  EXPECT_NE(settings[0].find("XbeStmtSetTableType(") , std::string::npos);
  EXPECT_NE(settings[0].find(",1)"), std::string::npos);
  EXPECT_NE(settings[1].find(",2)"), std::string::npos);  // character type
  EXPECT_NE(settings[2].find(",1)"), std::string::npos);  // lock type
  EXPECT_NE(settings[3].find("XbeStmtSetTableRights("), std::string::npos);
  EXPECT_NE(settings[4].find("XbePrepareSQL("), std::string::npos);
}

TEST_F(Catalog, FailedPrepareLeavesNothingBehind) {
  auto conn = Connected("F:\\DADOS");
  fake::E().failures["XbePrepareSQL"] = 7200;
  EXPECT_EQ(MessageOf([&] { conn->ExecuteSQL("SELEC nada", nullptr, true); }), "Error 7200: XbePrepareSQL failed");
  EXPECT_TRUE(fake::E().statements.empty());
  EXPECT_TRUE(conn->StatementCache()->empty());
  fake::E().failures.clear();
  // The disconnect closes only what was prepared.
  conn->Disconnect();
  EXPECT_EQ(fake::CallsOf("XbeCloseSQLStatement").size(), 1u);
}

TEST_F(Catalog, ParametersBoundByPositionAndType) {
  auto conn = Connected("F:\\DADOS");
  db::TParams params;
  const auto add = [&](db::TFieldType type, const std::string& name) {
    return params.CreateParam(type, name, db::TParamType::ptInput);
  };
  add(db::ftString, "nome")->SetAsString("ANA");
  add(db::ftInteger, "qtd")->SetAsInteger(-12);
  add(db::ftBoolean, "ativo")->SetAsBoolean(true);
  add(db::ftFloat, "valor")->SetAsFloat(2.5);
  add(db::ftDate, "data")->SetAsDateTime(db::EncodeDate(2024, 3, 15) + 0.75);
  add(db::ftTime, "hora")->SetAsDateTime(db::EncodeTime(12, 0, 0, 1));
  add(db::ftDateTime, "quando")->SetAsDateTime(db::EncodeDate(1899, 12, 30) + 0.5);
  add(db::ftBlob, "dados")->SetValue(db::Variant::FromBytes({'a', 0, 'b'}));
  add(db::ftString, "vazio");  // no value: bound empty
  fake::E().recordCount = 1;
  EXPECT_EQ(conn->ExecuteSQL("UPDATE t SET a=?", &params), 1);
  const auto bound = fake::CallsAmong({"XbeSetString", "XbeSetLogical", "XbeSetDouble", "XbeSetJulian",
                                       "XbeSetMilliseconds", "XbeSetTimeStampRaw", "XbeSetBinary", "XbeSetEmpty",
                                       "XbeExecuteSQL", "XbeExecuteSQLDirect"});
  const std::vector<std::string> expected = {
      "XbeSetString(1,'ANA',3)",
      "XbeSetString(2,'-12',3)",
      "XbeSetLogical(3,1)",
      "XbeSetDouble(4,2.5)",
      "XbeSetJulian(5,2460385)",  // whole days only
      "XbeSetMilliseconds(6,43200001)",
      "XbeSetTimeStampRaw(7,2415019,43200000,8)",
      "XbeSetBinary(8,6,3,0,'a.b',3)",
      "XbeSetEmpty()",
  };
  ASSERT_EQ(bound.size(), expected.size() + 1);
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(bound[i].substr(0, expected[i].size()), expected[i]);
  EXPECT_EQ(bound.back().rfind("XbeExecuteSQL(", 0), 0u) << bound.back();
}

TEST_F(Catalog, UnsupportedParameterTypesFailBeforeExecution) {
  auto conn = Connected("F:\\DADOS");
  struct Case {
    db::TFieldType type;
    const char* message;
  };
  for (const Case& c :
       {Case{db::ftWideString, "The field named: 'p2' has a DataType that is not supported."},
        Case{db::ftCursor, "The field named: 'p2' has a DataType that is not supported."},
        Case{db::ftVariant, "The field named: 'p2' has a DataType that is not supported."},
        Case{db::ftUnknown, "The field named: 'p2' has the DataType of ftUnknown, which is invalid."}}) {
    fake::E().calls.clear();
    db::TParams params;
    params.CreateParam(db::ftString, "p1", db::TParamType::ptInput)->SetAsString("x");
    db::TParam* p2 = params.CreateParam(c.type, "p2", db::TParamType::ptInput);
    p2->SetValue(db::Variant(std::string("y")));
    p2->SetDataType(c.type);
    try {
      conn->ExecuteSQL("UPDATE t SET a=?, b=?", &params);
      ADD_FAILURE() << "no error";
    } catch (const EXBEDatabaseError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.EngineCode, 5121);
    }
    EXPECT_TRUE(fake::CallsOf("XbeExecuteSQL").empty());
    EXPECT_TRUE(fake::E().statements.empty());
  }
}
