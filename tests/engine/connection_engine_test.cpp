// The connection component through the real engine on copies of the reference tables: a
// connection read from a stored description runs SQL that tables bound to it see, and a
// dictionary connection logs in, lists its objects and groups and opens tables by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "dump.h"
#include "engine/xbecnnct.h"
#include "enginetest.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

class TPeopleForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TPeopleForm(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeConnection* Conn1 = nullptr;
  TXbeTable* Table1 = nullptr;
};

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> Items(const classes::TStrings& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

// QTD of every visible (not deleted) record of the people dump, by record number, and the
// record numbers whose CIDADE is CURITIBA.
struct PeopleQuantities {
  std::map<int, int> qtd;
  std::vector<int> curitiba;
};

PeopleQuantities ExpectedPeople() {
  const enginetest::Dump dump = enginetest::ReadDump((testsupport::FixturesDir() / "expected" / "people.txt").string());
  PeopleQuantities out;
  for (const auto& r : dump.records) {
    if (r.deleted) continue;
    out.qtd[r.recno] = std::stoi(r.values[4]);
    if (TrimRight(r.values[2]) == "CURITIBA") out.curitiba.push_back(r.recno);
  }
  return out;
}

}  // namespace

const classes::TClassInfo& TPeopleForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TPeopleForm, classes::TComponent>("TPeopleForm", [](auto& c) {
    c.Field("Conn1", &TPeopleForm::Conn1);
    c.Field("Table1", &TPeopleForm::Table1);
  });
  return info;
}

TEST(ConnectionEngine, StoredConnectionRunsSqlThatABoundTableSees) {
  REQUIRE_FIXTURES();
  testsupport::TempDir dir;
  testsupport::CopyFixture("ntx", dir.path());
  const std::string text = "object PeopleForm: TPeopleForm\n"
                           "  object Table1: TXbeTable\n"
                           "    DatabaseName = 'Conn1'\n"
                           "    XbeTableOptions.XbeLockType = Compatible\n"
                           "    XbeTableOptions.XbeCharType = OEM\n"
                           "    TableName = 'people'\n"
                           "    TableType = ttXbeNTX\n"
                           "  end\n"
                           "  object Conn1: TXbeConnection\n"
                           "    IsConnected = True\n"
                           "    ConnectPath = '" + dir.str() + "'\n"
                           "    XbeServerTypes = [stXBE_LOCAL]\n"
                           "    LoginPrompt = True\n"
                           "  end\n"
                           "end\n";
  TPeopleForm form(nullptr);
  classes::ReadRootComponent(form, text);
  ASSERT_TRUE(form.Conn1->IsConnected());
  EXPECT_EQ(form.Conn1->GetConnectionType(), "Local");
  ASSERT_EQ(form.Table1->XbeConnection(), form.Conn1);

  const PeopleQuantities expected = ExpectedPeople();
  ASSERT_FALSE(expected.curitiba.empty());
  EXPECT_EQ(form.Conn1->ExecuteSQL("UPDATE people SET qtd = qtd + 1 WHERE cidade = 'CURITIBA'"),
            static_cast<std::int32_t>(expected.curitiba.size()));

  form.Table1->Open();
  std::map<int, int> seen;
  for (form.Table1->First(); !form.Table1->Eof(); form.Table1->Next())
    seen[form.Table1->RecNo()] = form.Table1->FieldByName("QTD")->AsInteger();
  std::map<int, int> wanted = expected.qtd;
  for (int recno : expected.curitiba) ++wanted[recno];
  EXPECT_EQ(seen, wanted);

  // Disconnecting closes the bound table; the next open connects again.
  form.Conn1->Disconnect();
  EXPECT_FALSE(form.Table1->Active());
  form.Table1->Open();
  EXPECT_TRUE(form.Conn1->IsConnected());
}

TEST(ConnectionEngine, ParametersCursorsAndTableLists) {
  REQUIRE_FIXTURES();
  testsupport::TempDir dir;
  testsupport::CopyFixture("ntx", dir.path());
  TXbeConnection conn(nullptr);
  conn.SetConnectPath(dir.str() + "/");
  conn.SetXbeServerTypes({stXBE_LOCAL});

  classes::TStringList tables;
  EXPECT_EQ(MessageOf([&] { conn.GetTableNames(&tables, "*.dbf"); }), "No connection to Xbase server.");
  conn.Connect();
  conn.GetTableNames(&tables, "*.dbf");
  EXPECT_EQ(Items(tables), std::vector<std::string>{"people"});
  conn.GetTableNames(&tables, "*.nada");  // nothing found: no error, nothing added
  EXPECT_EQ(tables.Count(), 1);

  const PeopleQuantities expected = ExpectedPeople();
  const int recno = expected.curitiba.front();
  db::TParams params;
  params.CreateParam(db::ftInteger, "qtd", db::TParamType::ptInput)->SetAsInteger(-77);
  params.CreateParam(db::ftString, "cidade", db::TParamType::ptInput)->SetAsString("CURITIBA");
  EXPECT_EQ(conn.ExecuteSQL("UPDATE people SET qtd = :qtd WHERE cidade = :cidade", &params, true),
            static_cast<std::int32_t>(expected.curitiba.size()));

  XBEHANDLE cursor = 0;
  EXPECT_EQ(conn.ExecuteSQL("SELECT codigo, qtd FROM people WHERE qtd = -77", nullptr, false, &cursor), 0);
  ASSERT_NE(cursor, 0u);
  std::size_t count = 0;
  std::uint16_t atEnd = 0;
  EXPECT_EQ(XbeGotoTop(cursor), 0u);
  while (XbeAtEOF(cursor, &atEnd) == 0 && !atEnd && count <= expected.qtd.size()) {
    ++count;
    XbeSkip(cursor, 1);
  }
  EXPECT_EQ(count, expected.curitiba.size());
  EXPECT_EQ(XbeCloseTable(cursor), 0u);

  // SQL errors come back through the result check with the engine's text.
  try {
    conn.ExecuteSQL("UPDATE nada SET x = 1");
    ADD_FAILURE() << "no error";
  } catch (const EXBEDatabaseError& e) {
    EXPECT_NE(e.EngineCode, 0);
    EXPECT_FALSE(e.Message().empty());
  }
  auto table = enginetest::UpdaterTable(nullptr, "", dir.str(), "people", false);
  table->Open();
  table->SetRecNo(recno);
  EXPECT_EQ(table->FieldByName("QTD")->AsInteger(), -77);
  table->Close();
  conn.Disconnect();  // closes the kept statement
}

class DictionaryConnection : public ::testing::Test {
 protected:
  // The people table and its index files beside a dictionary "loja.xdd" that lists PESSOAS
  // (default index PEONOM) and AVULSA, and the user ANA (password "s3nha", two groups) and
  // BETO (no group).
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", dir.path());
    path = dir.str() + "/loja.xdd";
    auto d = xbe::dictionary::Dictionary::Create(path);
    d->AddTable({"PESSOAS", "people", xbe::TableType::kNtx, xbe::CharType::kOem, "PEONOM", {"peonom.ntx"}});
    d->AddTable({"AVULSA", "people", xbe::TableType::kNtx, xbe::CharType::kOem, "", {}});
    d->AddGroup("Caixa");
    d->AddGroup("Gerencia");
    d->AddUser("ANA", "s3nha", {"Caixa", "Gerencia"});
    d->AddUser("BETO", "");
  }
  std::unique_ptr<TXbeConnection> Connection(const std::string& user, const std::string& password) {
    auto c = std::make_unique<TXbeConnection>(nullptr);
    c->SetConnectPath(path);
    c->SetXbeServerTypes({stXBE_LOCAL});
    c->SetLoginPrompt(false);
    c->SetUsername(user);
    c->SetPassword(password);
    return c;
  }
  testsupport::TempDir dir;
  std::string path;
};

TEST_F(DictionaryConnection, RightAndWrongPassword) {
  auto wrong = Connection("ANA", "errada");
  EXPECT_TRUE(wrong->IsDictionaryConnection());
  EXPECT_THROW(wrong->Connect(), EXBEDatabaseError);
  EXPECT_FALSE(wrong->IsConnected());
  EXPECT_EQ(wrong->ConnectionHandle(), 0);

  auto right = Connection("ANA", "s3nha");
  right->Connect();
  EXPECT_TRUE(right->IsConnected());
  EXPECT_EQ(right->GetDataDirectory(), dir.str());
}

TEST_F(DictionaryConnection, ObjectsGroupsAndTablesByName) {
  auto conn = Connection("ANA", "s3nha");
  classes::TStringList objects;
  conn->GetDictionaryObjectNames(&objects);  // connects on demand
  EXPECT_EQ(Items(objects), (std::vector<std::string>{"PESSOAS", "AVULSA"}));
  EXPECT_EQ(Items(conn->GetUserGroups()), (std::vector<std::string>{"Caixa", "Gerencia"}));
  EXPECT_EQ(conn->GetUserGroupsText(), "Caixa;Gerencia");
  classes::TStringList listed;
  conn->GetTableNames(&listed, "*.dbf");  // a dictionary lists its own tables, whatever the mask
  EXPECT_EQ(Items(listed), (std::vector<std::string>{"PESSOAS", "AVULSA"}));

  auto beto = Connection("BETO", "");
  beto->Connect();
  EXPECT_EQ(beto->GetUserGroupsText(), "");
  EXPECT_EQ(beto->GetUserGroups().Count(), 0);

  // A table by its dictionary name takes the dictionary's settings and default index.
  TXbeTable pessoas(nullptr);
  pessoas.SetXbeConnection(conn.get());
  pessoas.SetTableName("PESSOAS");
  EXPECT_EQ(pessoas.IndexName(), "XBE_DEFAULT");
  pessoas.Open();
  EXPECT_EQ(pessoas.TableType(), ttXbeNTX);
  EXPECT_EQ(pessoas.XbeTableOptions().XbeCharType(), OEM);
  std::vector<std::string> names;
  for (pessoas.First(); !pessoas.Eof(); pessoas.Next()) names.push_back(pessoas.FieldByName("NOME")->AsString());
  EXPECT_GT(names.size(), 300u);
  std::vector<std::string> upper = names;
  for (auto& n : upper) std::transform(n.begin(), n.end(), n.begin(), [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  EXPECT_TRUE(std::is_sorted(upper.begin(), upper.end()));  // in the default index's order
  pessoas.Close();

  // A table the dictionary does not list opens as a free table of its directory.
  TXbeTable people(nullptr);
  people.SetXbeConnection(conn.get());
  people.SetTableType(ttXbeNTX);
  people.SetTableName("people");
  people.Open();
  EXPECT_GT(people.RecordCount(), 300);
}
