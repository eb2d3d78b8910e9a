// The query component through the real engine on copies of the reference tables: results
// against the dumps, parameters of every type, live and static cursors, statements that change
// data, a master that drives the parameters, the statement's lifecycle and a stored form.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "dump.h"
#include "engine/xbequery.h"
#include "enginetest.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/db/datetime.h"
#include "platform/rtl/codepage.h"
#include "platform/xbe/handles.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::size_t OpenStatements() { return xbe::Handles().Count(xbe::HandleKind::kStatement); }

// people.dbf: CODIGO NOME CIDADE VALOR QTD ATIVO DATA OBS.
struct Person {
  int recno;
  int codigo;
  std::string nome;  // code page 850, trailing blanks removed
  std::string cidade;
  double valor;
  int qtd;
  bool ativo;
  std::string data;  // YYYYMMDD or blanks
};

std::vector<Person> VisiblePeople() {
  const enginetest::Dump dump = enginetest::ReadDump((testsupport::FixturesDir() / "expected" / "people.txt").string());
  std::vector<Person> out;
  for (const auto& r : dump.records) {
    if (r.deleted) continue;
    out.push_back({r.recno, std::stoi(r.values[0]), TrimRight(r.values[1]), TrimRight(r.values[2]),
                   std::stod(r.values[3]), std::stoi(r.values[4]), r.values[5] == "T", r.values[6]});
  }
  return out;
}

class Query : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", dir_.path());
    people_ = VisiblePeople();
  }

  // A query as a program would set it up over the copied folder: OEM tables, plain locks.
  std::unique_ptr<TXbeQuery> NewQuery(const std::string& sql, const char* name = "Consulta") {
    auto q = std::make_unique<TXbeQuery>(&form_);
    q->SetName(name);
    Configure(*q);
    q->SQL().SetText(sql);
    return q;
  }

  void Configure(TXbeQuery& q) {
    q.XbeTableOptions().SetXbeLockType(Compatible);
    q.XbeTableOptions().SetXbeCharType(OEM);
    q.XbeTableOptions().SetXbeRightsCheck(false);
    q.SetSourceTableType(ttXbeDefault);
    q.SetDatabaseName(dir_.str());
  }

  // The CODIGO of every record, walking forward and backward (the two must agree).
  static std::vector<int> Codes(TXbeQuery& q) {
    std::vector<int> forward, backward;
    for (q.First(); !q.Eof(); q.Next()) forward.push_back(q.FieldByName("CODIGO")->AsInteger());
    for (q.Last(); !q.Bof(); q.Prior()) backward.push_back(q.FieldByName("CODIGO")->AsInteger());
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    return forward;
  }

  std::vector<int> CodesOf(const std::function<bool(const Person&)>& pass) const {
    std::vector<int> out;
    for (const Person& p : people_)
      if (pass(p)) out.push_back(p.codigo);
    return out;
  }

  classes::TComponent form_{nullptr};
  testsupport::TempDir dir_;
  std::vector<Person> people_;
};

// Each row's name, by its code, as the dump has it.
std::vector<std::string> NamesOf(const std::vector<int>& codes, const std::vector<Person>& people) {
  std::map<int, std::string> byCode;
  for (const Person& p : people) byCode[p.codigo] = p.nome;
  std::vector<std::string> names;
  for (int c : codes) names.push_back(byCode.count(c) ? byCode[c] : "<unknown " + std::to_string(c) + ">");
  return names;
}

TEST_F(Query, ParametersOfEverySupportedTypeSelectTheDumpsRecords) {
  auto q = NewQuery(
      "SELECT * FROM people WHERE codigo > :cod AND qtd <> :qtd AND valor < :val AND valor <> :moeda "
      "AND ativo = :ativo AND data >= :desde AND nome >= :nome AND codigo <> :grande AND cidade <> :nada");
  ASSERT_EQ(q->Params().Count(), 9);
  q->Params().ParamByName("cod")->SetAsInteger(100000);
  q->Params().ParamByName("qtd")->SetDataType(db::ftSmallint);
  q->Params().ParamByName("qtd")->SetAsInteger(-452);
  q->Params().ParamByName("val")->SetAsFloat(900000.5);
  q->Params().ParamByName("moeda")->SetDataType(db::ftCurrency);
  q->Params().ParamByName("moeda")->SetAsFloat(0.25);
  q->Params().ParamByName("ativo")->SetAsBoolean(true);
  q->Params().ParamByName("desde")->SetDataType(db::ftDate);
  q->Params().ParamByName("desde")->SetAsDateTime(db::EncodeDate(2000, 1, 1));
  q->Params().ParamByName("nome")->SetAsString("B");
  q->Params().ParamByName("grande")->SetDataType(db::ftLargeint);
  q->Params().ParamByName("grande")->SetValue(db::Variant(std::int64_t{5000000000}));
  q->Params().ParamByName("nada")->SetAsString("NENHUMA");
  q->Open();
  const std::vector<int> expected = CodesOf([](const Person& p) {
    return p.codigo > 100000 && p.qtd != -452 && p.valor < 900000.5 && p.valor != 0.25 && p.ativo &&
           p.data != "        " && p.data >= "20000101" && p.nome >= "B" && p.cidade != "NENHUMA";
  });
  ASSERT_GT(expected.size(), 5u);
  EXPECT_EQ(Codes(*q), expected);

  // The engine filters the cursor like a table; index files open on it.
  q->SetFilterText("QTD > 5000");
  q->SetFiltered(true);
  std::vector<int> filtered = CodesOf([&](const Person& p) {
    return std::find(expected.begin(), expected.end(), p.codigo) != expected.end() && p.qtd > 5000;
  });
  EXPECT_EQ(Codes(*q), filtered);
  q->Close();
  q->SetFiltered(false);
  q->IndexFiles().Add("peocod.ntx");
  q->Open();
  ASSERT_EQ(q->IndexDefs().Count(), 1);
  EXPECT_EQ(q->IndexDefs().Items(0).Fields(), "CODIGO");
  EXPECT_EQ(Codes(*q), expected);
  q->Close();
  EXPECT_FALSE(q->Active());

  // The other types: a time and a date-time compare as the texts the engine gives them, the
  // remaining number and text types go as text, bytes as a blob.
  auto t = NewQuery(
      "SELECT codigo FROM people WHERE :hora < '12:00:01' AND :quando > '2024-03-15' AND codigo = :w "
      "AND codigo = :bcd AND codigo = :auto AND nome = :fixo AND nome = :memo AND length(:bytes) = 3",
      "Outros");
  const std::vector<std::pair<db::TFieldType, db::Variant>> values = {
      {db::ftTime, db::Variant::FromDateTime(db::EncodeTime(12, 0, 0, 0))},
      {db::ftDateTime, db::Variant::FromDateTime(db::EncodeDate(2024, 3, 15) + db::EncodeTime(8, 30, 0, 0))},
      {db::ftWord, db::Variant(248)},
      {db::ftBCD, db::Variant(248)},
      {db::ftAutoInc, db::Variant(248)},
      {db::ftFixedChar, db::Variant(std::string("Zeca"))},
      {db::ftMemo, db::Variant(std::string("Zeca"))},
      {db::ftBlob, db::Variant::FromBytes({'a', 'b', 'c'})},
  };
  ASSERT_EQ(t->Params().Count(), static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    t->Params().Items(static_cast<int>(i)).SetDataType(values[i].first);
    t->Params().Items(static_cast<int>(i)).SetValue(values[i].second);
  }
  t->Open();
  EXPECT_EQ(Codes(*t), std::vector<int>{248});
}

TEST_F(Query, ALiveQuerysEditReachesTheTableAndItsOrders) {
  auto q = NewQuery("SELECT * FROM people WHERE cidade = :c");
  q->SetRequestLive(true);
  q->IndexFiles().Add("peonom.ntx");
  q->Params().Items(0).SetAsString("CURITIBA");
  q->Open();
  EXPECT_FALSE(q->ReadOnly());
  EXPECT_TRUE(q->CanModify());
  std::vector<int> curitiba = CodesOf([](const Person& p) { return p.cidade == "CURITIBA"; });
  std::vector<int> codes = Codes(*q);
  std::sort(codes.begin(), codes.end());
  std::sort(curitiba.begin(), curitiba.end());
  EXPECT_EQ(codes, curitiba);

  q->First();
  const int code = q->FieldByName("CODIGO")->AsInteger();
  q->Edit();
  q->FieldByName("NOME")->SetAsString("AAA PRIMEIRO NOME");
  q->Post();
  q->Close();

  // The base table shows the change, and its name order puts the record first.
  auto table = enginetest::UpdaterTable(nullptr, "Pessoas", dir_.str(), "people", false);
  table->IndexFiles().Add("peonom.ntx");
  table->Open();
  table->SetIndexName(table->IndexDefs().Items(0).Name());
  std::vector<std::pair<int, std::string>> byName;
  for (table->First(); !table->Eof(); table->Next())
    byName.emplace_back(table->FieldByName("CODIGO")->AsInteger(), TrimRight(table->FieldByName("NOME")->AsString()));
  const auto at = std::find_if(byName.begin(), byName.end(), [&](const auto& e) { return e.first == code; });
  ASSERT_NE(at, byName.end());
  EXPECT_EQ(at->second, "AAA PRIMEIRO NOME");
  ASSERT_TRUE(at != byName.begin() && at + 1 != byName.end());
  EXPECT_LE((at - 1)->second, "AAA PRIMEIRO NOME");
  EXPECT_GE((at + 1)->second, "AAA PRIMEIRO NOME");
}

TEST_F(Query, AStaticQueryRefusesWrites) {
  auto q = NewQuery("SELECT cidade, COUNT(*) AS n FROM people GROUP BY cidade");
  q->SetRequestLive(true);
  q->Open();
  EXPECT_TRUE(q->ReadOnly());
  EXPECT_FALSE(q->CanModify());
  // The dataset refuses before the engine would (its static result answers 5064 to a write).
  EXPECT_EQ(MessageOf([&] { q->Edit(); }), "Consulta: " + std::string(db::kDataSetReadOnlyText));
  EXPECT_EQ(MessageOf([&] { q->Append(); }), "Consulta: " + std::string(db::kDataSetReadOnlyText));
}

TEST_F(Query, ExecSqlCountsTheRowsItChanged) {
  const auto curitiba = CodesOf([](const Person& p) { return p.cidade == "CURITIBA"; }).size();
  const auto belem = CodesOf([](const Person& p) { return p.cidade == rtl::AnsiToOem("BEL\xC9M"); }).size();
  ASSERT_GT(curitiba, 0u);
  ASSERT_GT(belem, 0u);
  struct Case {
    std::string sql;
    std::vector<std::pair<db::TFieldType, db::Variant>> params;
    std::int32_t affected;
  };
  const std::vector<Case> cases = {
      {"INSERT INTO people (codigo, nome, cidade) VALUES (:c, :n, :ci)",
       {{db::ftInteger, db::Variant(999001)}, {db::ftString, db::Variant(std::string("NOVO"))},
        {db::ftString, db::Variant(std::string("CURITIBA"))}},
       1},
      {"UPDATE people SET qtd = :q WHERE cidade = :c",
       {{db::ftInteger, db::Variant(1)}, {db::ftString, db::Variant(std::string("CURITIBA"))}},
       static_cast<std::int32_t>(curitiba + 1)},
      {"DELETE FROM people WHERE cidade = :c", {{db::ftString, db::Variant(std::string("BEL\xC9M"))}},
       static_cast<std::int32_t>(belem)},
  };
  auto q = NewQuery("SELECT * FROM people");
  for (const Case& c : cases) {
    q->SQL().SetText(c.sql);
    for (std::size_t i = 0; i < c.params.size(); ++i) {
      q->Params().Items(static_cast<int>(i)).SetDataType(c.params[i].first);
      q->Params().Items(static_cast<int>(i)).SetValue(c.params[i].second);
    }
    q->ExecSQL();
    EXPECT_EQ(q->AffectedRowCount(), c.affected) << c.sql;
    EXPECT_FALSE(q->Active());
  }
  // The same statements cannot open a dataset.
  EXPECT_EQ(MessageOf([&] { q->Open(); }),
            "Consulta: The SQL statement did not generate a cursor handle.  Use TXbeQuery.ExecSQL to execute SQL "
            "statements that are not SELECT statements");

  q->SQL().SetText("SELECT * FROM people WHERE qtd = 1");
  q->Open();
  EXPECT_EQ(Codes(*q).size(), curitiba + 1);
}

TEST_F(Query, AMasterDrivesTheDetailsParameters) {
  auto master = NewQuery("SELECT * FROM people WHERE codigo IN (248, 905233, 267993) ORDER BY codigo", "Mestre");
  db::TDataSource source(&form_);
  source.SetDataSet(master.get());
  auto detail = NewQuery("SELECT * FROM people WHERE cidade = :CIDADE AND codigo <> :CODIGO", "Detalhe");
  detail->SetDataSource(&source);
  master->Open();
  detail->Open();

  std::set<std::string> seen;
  for (master->First(); !master->Eof(); master->Next()) {
    const std::string city = rtl::AnsiToOem(TrimRight(master->FieldByName("CIDADE")->AsString()));
    const int code = master->FieldByName("CODIGO")->AsInteger();
    ASSERT_TRUE(detail->Active());
    std::vector<int> expected = CodesOf([&](const Person& p) { return p.cidade == city && p.codigo != code; });
    std::vector<int> codes = Codes(*detail);
    std::sort(expected.begin(), expected.end());
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, expected) << city;
    seen.insert(city);
  }
  EXPECT_EQ(seen.size(), 2u);  // two of the three codes live in CURITIBA

  // A parameter given a value of its own keeps it whatever the master shows.
  master->First();
  detail->Params().ParamByName("CODIGO")->SetAsInteger(905233);
  master->Next();  // 267993, in CURITIBA
  ASSERT_EQ(master->FieldByName("CODIGO")->AsInteger(), 267993);
  std::vector<int> codes = Codes(*detail);
  EXPECT_EQ(codes.size(), CodesOf([](const Person& p) { return p.cidade == "CURITIBA"; }).size() - 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 905233), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 267993), 1);
  detail->Close();
  detail->SetDataSource(nullptr);
}

TEST_F(Query, TheStatementIsReusedAndReleasedOnItsOccasions) {
  const std::size_t before = OpenStatements();
  auto q = NewQuery("SELECT * FROM people WHERE cidade = 'CURITIBA'");
  q->Open();
  const XBEHANDLE statement = q->StatementHandle();
  EXPECT_EQ(OpenStatements(), before + 1);
  q->Close();
  q->Open();
  EXPECT_NE(MessageOf([&] { q->ExecSQL(); }), "<no exception>");  // refused while open
  q->Close();
  q->ExecSQL();
  EXPECT_EQ(q->StatementHandle(), statement);
  EXPECT_EQ(OpenStatements(), before + 1);

  // Another directory closes it; the next execution makes one on the new connection.
  testsupport::TempDir other;
  testsupport::CopyFixture("ntx", other.path());
  q->SetDatabaseName(other.str());
  EXPECT_EQ(OpenStatements(), before);
  q->Open();
  EXPECT_EQ(OpenStatements(), before + 1);
  q->Close();

  // Design mode closes it with the dataset.
  q->SetDesigning(true);
  q->Open();
  q->Close();
  EXPECT_EQ(OpenStatements(), before);
  q->SetDesigning(false);

  // A failed execution that does not name 7209 keeps it.
  q->SQL().SetText("SELECT * FROM tabela_que_nao_existe");
  EXPECT_NE(MessageOf([&] { q->Open(); }), "<no exception>");
  EXPECT_EQ(OpenStatements(), before + 1);

  q.reset();
  EXPECT_EQ(OpenStatements(), before);
}

// An index order opened on the query's live cursor walks the result's records only, in key order.
TEST_F(Query, AnIndexOrderOnTheCursorWalksTheResultInKeyOrder) {
  auto q = NewQuery("SELECT * FROM people WHERE codigo > 500000 ORDER BY nome");
  q->IndexFiles().Add("peocod.ntx");
  q->Open();
  q->SetIndexName(q->IndexDefs().Items(0).Name());
  std::vector<int> expected = CodesOf([](const Person& p) { return p.codigo > 500000; });
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Codes(*q), expected);
}

class TQueryForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TQueryForm(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeQuery* PorCidade = nullptr;
};

}  // namespace

const classes::TClassInfo& TQueryForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TQueryForm, classes::TComponent>(
      "TQueryForm", [](auto& c) { c.Field("PorCidade", &TQueryForm::PorCidade); });
  return info;
}

namespace {

TEST_F(Query, AStoredQueryWalksTheCitysRecordsInNameOrder) {
  std::string description = R"(object QueryForm: TQueryForm
  object PorCidade: TXbeQuery
    DatabaseName = 'DIR'
    XbeTableOptions.XbeLockType = Compatible
    XbeTableOptions.XbeCharType = OEM
    XbeTableOptions.XbeRightsCheck = False
    SQL.Strings = (
      'SELECT * FROM people WHERE cidade = :c ORDER BY nome')
    SourceTableType = ttXbeDefault
    ParamData = <
      item
        DataType = ftString
        Name = 'c'
        ParamType = ptInput
      end>
  end
end
)";
  description.replace(description.find("DIR"), 3, dir_.str());
  TQueryForm form(nullptr);
  classes::ReadRootComponent(form, description);
  TXbeQuery& q = *form.PorCidade;
  q.Params().ParamByName("c")->SetAsString("CURITIBA");
  q.Open();

  std::vector<Person> expected;
  for (const Person& p : people_)
    if (p.cidade == "CURITIBA") expected.push_back(p);
  std::stable_sort(expected.begin(), expected.end(),
                   [](const Person& a, const Person& b) { return rtl::OemToAnsi(a.nome) < rtl::OemToAnsi(b.nome); });
  std::vector<std::string> expectedNames;
  std::multiset<int> expectedCodes;
  for (const Person& p : expected) {
    expectedNames.push_back(p.nome);
    expectedCodes.insert(p.codigo);
  }
  ASSERT_GT(expected.size(), 20u);

  // Records of the same name may come in any order among themselves.
  const std::vector<int> codes = Codes(q);
  EXPECT_EQ(NamesOf(codes, people_), expectedNames);
  EXPECT_EQ(std::multiset<int>(codes.begin(), codes.end()), expectedCodes);
}

}  // namespace
