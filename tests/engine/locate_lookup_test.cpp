// Locate and lookup through the real engine on a copy of the people table with its orders and
// two more (NOME + CIDADE, and CODIGO for active records only): which record each search lands on shows whether it
// sought on an index (the first match in that index's order) or ran an engine filter (the first
// match in the dataset's own order), and nothing of the search stays behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "enginetest.h"
#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"
#include "platform/xbe/index_create.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

struct Person {
  int recno = 0;
  int codigo = 0;
  std::string nome;    // trailing blanks removed
  std::string cidade;  // trailing blanks removed
  bool ativo = false;
  std::string data;  // YYYYMMDD, empty for no date
  double valor = 0;
  int qtd = 0;
};

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

db::Variant Date(int y, int m, int d) { return db::Variant::FromDateTime(db::EncodeDate(y, m, d)); }

class PeopleSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", dir_.path());
    XBEHANDLE connection = 0, t = 0;
    ASSERT_EQ(XbeConnect(dir_.str().c_str(), &connection), 0u);
    ASSERT_EQ(XbeOpenTable(connection, (dir_.str() + "/people").c_str(), nullptr, XBE_NTX, XBE_OEM, 0, 1, 0, &t), 0u);
    xbe::CreateNtxIndex(t, dir_.str() + "/pnc.ntx", "NOME + CIDADE");
    xbe::CreateNtxIndex(t, dir_.str() + "/pativos.ntx", "CODIGO", "ATIVO");
    ASSERT_EQ(XbeCloseTable(t), 0u);
    XbeDisconnect(connection);

    table_ = enginetest::UpdaterTable(&form_, "Pessoas", dir_.str(), "people", false);
    // Orders open in file-name order: the conditional pativos comes before the plain peocod on
    // the same field, and a seek must pass it over.
    for (const char* f : {"pativos.ntx", "peocod.ntx", "peodat.ntx", "peonom.ntx", "peouni.ntx", "pnc.ntx"})
      table_->IndexFiles().Add(f);
    table_->Open();
  }

  std::string OrderNamed(const std::string& file) {
    table_->IndexDefs().Update();
    for (int i = 0; i < table_->IndexDefs().Count(); ++i)
      if (rtl::SameText(table_->IndexDefs().Items(i).Name(), file)) return table_->IndexDefs().Items(i).Name();
    ADD_FAILURE() << "no order " << file;
    return file;
  }

  void Activate(const std::string& order) { table_->SetIndexName(order.empty() ? order : OrderNamed(order)); }

  Person Current() {
    Person p;
    p.recno = table_->RecNo();
    p.codigo = table_->FieldByName("CODIGO")->AsInteger();
    p.nome = TrimRight(table_->FieldByName("NOME")->AsString());
    p.cidade = TrimRight(table_->FieldByName("CIDADE")->AsString());
    p.ativo = table_->FieldByName("ATIVO")->AsBoolean();
    db::TField* data = table_->FieldByName("DATA");
    if (!data->IsNull()) {
      int y = 0, m = 0, d = 0;
      db::DecodeDate(data->AsDateTime(), y, m, d);
      char text[16];
      std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
      p.data = text;
    }
    p.valor = table_->FieldByName("VALOR")->AsFloat();
    p.qtd = table_->FieldByName("QTD")->AsInteger();
    return p;
  }

  // The records in the order given ("" = record order), the active order kept.
  std::vector<Person> Walk(const std::string& order) {
    const std::string active = table_->IndexName();
    table_->SetIndexName(order.empty() ? order : OrderNamed(order));
    std::vector<Person> out;
    for (table_->First(); !table_->Eof(); table_->Next()) out.push_back(Current());
    table_->SetIndexName(active);
    return out;
  }

  int FirstMatch(const std::string& order, const std::function<bool(const Person&)>& match) {
    for (const Person& p : Walk(order))
      if (match(p)) return p.recno;
    return 0;
  }

  // Moves to a record from the middle of the active order, away from every expected answer.
  int StandOnSomeRecord() {
    table_->First();
    table_->MoveBy(57);
    return table_->RecNo();
  }

  struct EngineFilters {
    XBERESULT optimized, plain;
    std::uint16_t exact;
    bool operator==(const EngineFilters&) const = default;
  };
  EngineFilters Filters() {
    EngineFilters f{};
    std::uint16_t none = 0;
    f.optimized = XbeGetXOF(table_->TableHandle(), nullptr, &none);
    none = 0;
    f.plain = XbeGetFilter(table_->TableHandle(), nullptr, &none);
    XbeGetExact22(table_->TableHandle(), &f.exact);
    return f;
  }

  testsupport::TempDir dir_;
  classes::TComponent form_{nullptr};
  std::unique_ptr<TXbeTable> table_;
};

TEST_F(PeopleSearch, LocateSeeksWhereAnIndexFitsAndFiltersWhereNoneDoes) {
  struct Case {
    const char* what;
    const char* active;  // the dataset's order ("" = none)
    const char* fields;
    db::Variant values;
    db::LocateOptions options;
    const char* foundIn;  // the order whose first match is found ("" = the dataset's own)
    std::function<bool(const Person&)> match;
  };
  const db::LocateOptions none{}, ci{.caseInsensitive = true}, partial{.partialKey = true},
      both{.caseInsensitive = true, .partialKey = true};
  const Case cases[] = {
      {"a seek on the index of the field (whose key is upper case)", "peocod", "NOME", "zuleica", none, "peonom",
       [](const Person& p) { return Upper(p.nome) == "ZULEICA"; }},
      {"a case-insensitive locate never seeks", "peocod", "NOME", "zuleica", ci, "",
       [](const Person& p) { return Upper(p.nome) == "ZULEICA"; }},
      {"a whole character field must match without the partial option", "peocod", "NOME", "JOS", none, "peonom",
       [](const Person&) { return false; }},
      {"a partial key seeks the prefix", "peocod", "NOME", "JOS", partial, "peonom",
       [](const Person& p) { return StartsWith(Upper(p.nome), "JOS"); }},
      {"a partial key by expression matches the prefix", "peocod", "NOME", "jos", both, "",
       [](const Person& p) { return StartsWith(Upper(p.nome), "JOS"); }},
      {"an expression without the partial option matches whole values", "peocod", "NOME", "jos", ci, "",
       [](const Person&) { return false; }},
      {"a unique index serves only when active", "peocod", "CIDADE", "CURITIBA", none, "",
       [](const Person& p) { return p.cidade == "CURITIBA"; }},
      {"the active unique index serves", "peouni", "CIDADE", "CURITIBA", none, "peouni",
       [](const Person& p) { return p.cidade == "CURITIBA"; }},
      {"an active unique index that does not fit: its records only", "peouni", "NOME", "ZULEICA", none, "peouni",
       [](const Person& p) { return p.nome == "ZULEICA"; }},
      {"two fields in either order seek on the compound index", "peocod", "CIDADE;NOME",
       db::Variant::Array({"RIO DE JANEIRO", "PEDRO"}), none, "pnc",
       [](const Person& p) { return p.nome == "PEDRO" && p.cidade == "RIO DE JANEIRO"; }},
      {"the leading field of the active compound index", "pnc", "NOME", "ana paula", none, "pnc",
       [](const Person& p) { return p.nome == "ana paula"; }},
      {"a conditional index is passed over", "", "CODIGO", 905233, none, "peocod",
       [](const Person& p) { return p.codigo == 905233; }},
      {"a number by expression", "peonom", "VALOR", 82020.42, ci, "",
       [](const Person& p) { return p.valor == 82020.42; }},
      {"a null value searches for empty fields", "peonom", "CIDADE", db::Variant::Null(), none, "",
       [](const Person& p) { return p.cidade.empty(); }},
      {"a logical value", "peocod", "ATIVO", true, none, "", [](const Person& p) { return p.ativo; }},
      {"a date by seek", "peocod", "DATA", Date(2004, 5, 13), none, "peodat",
       [](const Person& p) { return p.data == "20040513"; }},
      {"a date by expression", "peocod", "DATA", Date(2004, 5, 13), ci, "",
       [](const Person& p) { return p.data == "20040513"; }},
      {"nothing found", "peocod", "CODIGO", 1, none, "peocod", [](const Person&) { return false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Activate(c.active);
    const int expected = FirstMatch(*c.foundIn ? c.foundIn : c.active, c.match);
    const int before = StandOnSomeRecord();
    const EngineFilters filters = Filters();
    const bool found = table_->Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, expected != 0);
    EXPECT_EQ(table_->RecNo(), found ? expected : before);
    EXPECT_EQ(table_->State(), db::DSState::Browse);
    EXPECT_TRUE(Filters() == filters);
    // The dataset goes on from the record found (or from where it stood).
    const int at = table_->RecNo();
    table_->Next();
    table_->Prior();
    EXPECT_EQ(table_->RecNo(), at);
  }
}

// The answers above must tell the two searches apart: each pair finds different records.
TEST_F(PeopleSearch, TheOrdersOfTheCasesTellSeekFromFilter) {
  Activate("peocod");
  auto zuleica = [](const Person& p) { return Upper(p.nome) == "ZULEICA"; };
  EXPECT_NE(FirstMatch("peonom", zuleica), FirstMatch("peocod", zuleica));
  auto jos = [](const Person& p) { return StartsWith(Upper(p.nome), "JOS"); };
  EXPECT_NE(FirstMatch("peonom", jos), FirstMatch("peocod", jos));
  auto curitiba = [](const Person& p) { return p.cidade == "CURITIBA"; };
  EXPECT_NE(FirstMatch("peouni", curitiba), FirstMatch("peocod", curitiba));
  auto inactive = [](const Person& p) { return p.codigo == 905233; };
  EXPECT_EQ(FirstMatch("pativos", inactive), 0);
  EXPECT_NE(FirstMatch("peocod", inactive), 0);
}

TEST_F(PeopleSearch, AQuoteInTheValueIsSearchedAsItStands) {
  Activate("peocod");
  table_->Locate("CODIGO", 248, {});
  table_->Edit();
  table_->FieldByName("NOME")->SetAsString("JOSE \"ZE\" SILVA");
  table_->Post();
  const int quoted = table_->RecNo();
  // By expression, where the quote must not end the literal, and by seek.
  for (const char* value : {"jose \"ze\" silva", "JOSE \"ZE\" SILVA"}) {
    table_->First();
    EXPECT_TRUE(table_->Locate("NOME", value, {.caseInsensitive = true})) << value;
    EXPECT_EQ(table_->RecNo(), quoted);
  }
  table_->First();
  EXPECT_TRUE(table_->Locate("NOME", "JOSE \"ZE\" SILVA", {}));
  EXPECT_EQ(table_->RecNo(), quoted);
  EXPECT_FALSE(table_->Locate("NOME", "JOSE \"ZE\"", {.caseInsensitive = true}));
}

TEST_F(PeopleSearch, TheDataSetsFilterStaysInForceDuringAndAfterTheSearch) {
  Activate("peocod");
  auto qtdAbove = [](int n) { return [n](const Person& p) { return p.qtd > n; }; };
  for (const bool optimized : {true, false}) {
    SCOPED_TRACE(optimized ? "optimized filter" : "plain filter");
    table_->XbeTableOptions().SetXbeOptimizedFilters(optimized);
    table_->SetFilterText("QTD > 0");
    table_->SetFiltered(true);
    const std::size_t shown = Walk("peocod").size();
    auto zuleica = [&](const Person& p) { return Upper(p.nome) == "ZULEICA" && qtdAbove(0)(p); };
    const int expected = FirstMatch("peocod", zuleica);
    ASSERT_NE(expected, 0);
    const EngineFilters filters = Filters();
    EXPECT_TRUE(table_->Locate("NOME", "zuleica", {.caseInsensitive = true}));
    EXPECT_EQ(table_->RecNo(), expected);
    EXPECT_TRUE(Filters() == filters);
    EXPECT_EQ(Walk("peocod").size(), shown);
    table_->SetFiltered(false);
  }

  // With both kinds of filter on the table the search goes record by record through both.
  table_->XbeTableOptions().SetXbeOptimizedFilters(true);
  table_->SetFilterText("QTD > 0");
  table_->SetFiltered(true);
  ASSERT_EQ(XbeSetFilter(table_->TableHandle(), "QTD > 5000"), 0u);
  const int expected =
      FirstMatch("peocod", [&](const Person& p) { return Upper(p.nome) == "ZULEICA" && p.qtd > 5000; });
  ASSERT_NE(expected, 0);
  const EngineFilters filters = Filters();
  EXPECT_TRUE(table_->Locate("NOME", "zuleica", {.caseInsensitive = true}));
  EXPECT_EQ(table_->RecNo(), expected);
  EXPECT_TRUE(Filters() == filters);
  XbeClearFilter(table_->TableHandle());
}

TEST_F(PeopleSearch, ARangeOnTheActiveIndexBoundsTheSearch) {
  Activate("peocod");
  table_->EditRangeStart();
  table_->FieldByName("CODIGO")->SetAsInteger(500000);
  table_->EditRangeEnd();
  table_->FieldByName("CODIGO")->SetAsInteger(900000);
  table_->ApplyRange();
  std::vector<Person> inRange;
  for (table_->First(); !table_->Eof(); table_->Next()) inRange.push_back(Current());
  ASSERT_GT(inRange.size(), 10u);
  const Person& inside = inRange[inRange.size() / 2];
  EXPECT_TRUE(table_->Locate("CODIGO", inside.codigo, {}));
  EXPECT_EQ(table_->RecNo(), inside.recno);
  const int before = table_->RecNo();
  EXPECT_FALSE(table_->Locate("CODIGO", 248, {}));  // record 1, outside the range
  EXPECT_EQ(table_->RecNo(), before);
  // A field the range's index does not lead with: the filter search sees the range's records.
  const Person* zuleica = nullptr;
  for (const Person& p : inRange)
    if (Upper(p.nome) == "ZULEICA" && zuleica == nullptr) zuleica = &p;
  ASSERT_NE(zuleica, nullptr);
  EXPECT_TRUE(table_->Locate("NOME", "ZULEICA", {}));
  EXPECT_EQ(table_->RecNo(), zuleica->recno);
}

TEST_F(PeopleSearch, LookupReadsTheRecordFoundAndStaysWhereItWas) {
  Activate("peonom");
  const std::vector<Person> all = Walk("");
  const int before = StandOnSomeRecord();
  const std::string name = table_->FieldByName("NOME")->AsString();

  const db::Variant one = table_->Lookup("CODIGO", 248, "NOME");
  EXPECT_EQ(TrimRight(one.AsString()), all[0].nome);
  const db::Variant two = table_->Lookup("CODIGO", 248, "CIDADE;QTD");
  ASSERT_TRUE(two.IsArray());
  EXPECT_EQ(TrimRight(two[0].AsString()), all[0].cidade);
  EXPECT_EQ(two[1].AsInteger(), all[0].qtd);
  EXPECT_TRUE(table_->Lookup("CODIGO", 1, "NOME").IsNull());
  EXPECT_TRUE(table_->Lookup("CODIGO", db::Variant::Null(), "NOME").IsNull());
  EXPECT_EQ(table_->RecNo(), before);
  EXPECT_EQ(table_->FieldByName("NOME")->AsString(), name);
  // The next move starts from the visible record, not from the one read.
  const std::vector<Person> ordered = Walk("peonom");
  StandOnSomeRecord();
  table_->Lookup("CODIGO", 248, "NOME");
  table_->Next();
  for (std::size_t i = 0; i + 1 < ordered.size(); ++i)
    if (ordered[i].recno == before) EXPECT_EQ(table_->RecNo(), ordered[i + 1].recno);
}

TEST_F(PeopleSearch, SearchRefusals) {
  Activate("peocod");
  const int before = StandOnSomeRecord();
  EXPECT_NE(MessageOf([&] { table_->Locate("NOSUCH", 1, {}); }), "<no exception>");
  EXPECT_EQ(table_->RecNo(), before);
  EXPECT_EQ(table_->State(), db::DSState::Browse);
  // A locate settles a pending edit first.
  table_->Edit();
  table_->FieldByName("QTD")->SetAsInteger(4321);
  EXPECT_TRUE(table_->Locate("CODIGO", 248, {}));
  EXPECT_TRUE(table_->Locate("QTD", 4321, {}));
  EXPECT_EQ(table_->RecNo(), before);
}

}  // namespace

namespace {

// The framework's index hooks, reached as the framework reaches them.
class HookedTable : public TXbeTable {
 public:
  using TXbeTable::TXbeTable;
  using TXbeDataSet::CopyCurrentRecord;
};

TEST_F(PeopleSearch, IndexHooksOfTheFramework) {
  EXPECT_FALSE(table_->FieldByName("CODIGO")->IsIndexField());
  EXPECT_EQ(table_->ActiveIndexSegmentCount(), 0);
  EXPECT_EQ(MessageOf([&] { table_->GetSegmentFieldNum(0); }),
            "Pessoas: Internal Error: GetSegmentFieldNum : No Active Index");
  Activate("pnc");
  EXPECT_EQ(table_->ActiveIndexSegmentCount(), 2);
  EXPECT_EQ(table_->GetSegmentFieldNum(1), table_->FieldByName("CIDADE")->FieldNo());
  EXPECT_TRUE(table_->FieldByName("NOME")->IsIndexField());
  EXPECT_TRUE(table_->FieldByName("CIDADE")->IsIndexField());
  EXPECT_FALSE(table_->FieldByName("CODIGO")->IsIndexField());
  EXPECT_FALSE(table_->IsSequenced());
  table_->SetSequenced(true);
  EXPECT_TRUE(table_->IsSequenced());

  HookedTable hooked(&form_);  // ANSI: the record as stored
  hooked.SetTableType(ttXbeNTX);
  hooked.SetDatabaseName(dir_.str());
  hooked.SetTableName("people");
  hooked.Open();
  hooked.MoveBy(3);
  std::vector<db::Byte> copy(hooked.RecordSize() + 1, 0xEE);
  ASSERT_TRUE(hooked.CopyCurrentRecord(copy.data()));
  std::vector<db::Byte> stored(hooked.RecordSize());
  ASSERT_EQ(XbeGotoRecord(hooked.TableHandle(), static_cast<uint32_t>(hooked.RecNo())), 0u);
  ASSERT_EQ(XbeGetRecord(hooked.TableHandle(), stored.data(), hooked.RecordSize()), 0u);
  // The record as read, but for the memo reference, which the buffer holds as an empty mark.
  const TXbeFieldDef* memo = hooked.XbeFieldDefs().GetDef(hooked.XbeFieldDefs().IndexOfName("OBS"));
  for (std::uint32_t i = memo->Offset; i < memo->Offset + 4; ++i) stored[i] = copy[i];
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), copy.begin()));
  EXPECT_EQ(copy.back(), 0xEE);
  hooked.SetFilterText("CODIGO = 1");
  hooked.SetFiltered(true);
  EXPECT_FALSE(hooked.CopyCurrentRecord(copy.data()));
}

}  // namespace
