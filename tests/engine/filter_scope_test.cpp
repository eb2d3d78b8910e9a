// Filters and scopes of a dataset through the real engine on a copy of the people table: the
// engine's own navigation never lands on a record outside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "enginetest.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

struct Person {
  int recno;
  int codigo;
  std::string nome;    // trailing blanks removed
  std::string cidade;  // trailing blanks removed
  int qtd;
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

class People : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", dir_.path());
    table_ = enginetest::UpdaterTable(&form_, "Pessoas", dir_.str(), "people", false);
    table_->IndexFiles().Add("peonom.ntx");
    table_->Open();
    for (table_->First(); !table_->Eof(); table_->Next()) all_.push_back(Current());
    ASSERT_GT(all_.size(), 300u);  // deleted records are hidden
    nameOrder_ = table_->IndexDefs().Items(0).Name();
  }

  Person Current() {
    return {table_->RecNo(), table_->FieldByName("CODIGO")->AsInteger(),
            TrimRight(table_->FieldByName("NOME")->AsString()), TrimRight(table_->FieldByName("CIDADE")->AsString()),
            table_->FieldByName("QTD")->AsInteger()};
  }

  const Person& At(int recno) const {
    return *std::find_if(all_.begin(), all_.end(), [&](const Person& p) { return p.recno == recno; });
  }

  std::vector<int> Expected(const std::function<bool(const Person&)>& pass) {
    std::vector<int> out;
    for (const Person& p : all_)
      if (pass(p)) out.push_back(p.recno);
    return out;
  }

  // Record numbers forwards, then backwards (reversed back into forward order); both walks must
  // agree, and neither may show a record twice.
  std::vector<int> Walk() {
    std::vector<int> forward, backward;
    for (table_->First(); !table_->Eof(); table_->Next()) forward.push_back(table_->RecNo());
    for (table_->Last(); !table_->Bof(); table_->Prior()) backward.push_back(table_->RecNo());
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    return forward;
  }

  int RespectedCount() {
    table_->XbeTableOptions().SetXbeFilterOptions(RESPECT_WHEN_COUNTING);
    const int n = table_->RecordCount();
    table_->XbeTableOptions().SetXbeFilterOptions(IGNORE_WHEN_COUNTING);
    return n;
  }

  bool EngineHas(XBERESULT (*get)(XBEHANDLE, char*, uint16_t*)) {
    uint16_t length = 0;
    return get(table_->TableHandle(), nullptr, &length) == 5005;
  }

  testsupport::TempDir dir_;
  classes::TComponent form_{nullptr};
  std::unique_ptr<TXbeTable> table_;
  std::vector<Person> all_;
  std::string nameOrder_;
};

struct FilterCase {
  const char* text;
  std::function<bool(const Person&)> pass;
};

TEST_F(People, FilterTextsShowOnlyMatchingRecordsBothWaysAndInTheCount) {
  const std::vector<FilterCase> cases = {
      {"CODIGO > 500000", [](const Person& p) { return p.codigo > 500000; }},
      {"CIDADE = 'CURITIBA' .AND. QTD < 5000", [](const Person& p) { return p.cidade == "CURITIBA" && p.qtd < 5000; }},
      // A trailing asterisk asks for the leading characters; exact matching is off.
      {"NOME = 'ana*'", [](const Person& p) { return p.nome.rfind("ana", 0) == 0; }},
      // Without one the comparison is exact (trailing blanks aside).
      {"NOME = 'ana'", [](const Person& p) { return p.nome == "ana"; }},
      {"CODIGO < 0", [](const Person&) { return false; }},
  };
  for (const bool optimized : {true, false}) {
    table_->XbeTableOptions().SetXbeOptimizedFilters(optimized);
    for (const FilterCase& c : cases) {
      SCOPED_TRACE(std::string(c.text) + (optimized ? " (optimized)" : " (plain)"));
      table_->SetFilterText(c.text);
      table_->SetFiltered(true);
      const std::vector<int> wanted = Expected(c.pass);
      EXPECT_EQ(Walk(), wanted);
      EXPECT_EQ(RespectedCount(), static_cast<int>(wanted.size()));
      EXPECT_EQ(table_->IsEmpty(), wanted.empty());
      EXPECT_EQ(EngineHas(XbeGetXOF), optimized);
      EXPECT_EQ(EngineHas(XbeGetFilter), !optimized);
      table_->SetFiltered(false);
      EXPECT_FALSE(EngineHas(XbeGetXOF) || EngineHas(XbeGetFilter));
    }
  }
  EXPECT_EQ(Walk().size(), all_.size());
}

TEST_F(People, FilterEventAndFilterTextBothApply) {
  table_->SetOnFilterRecord(db::TFilterRecordEvent::FromFunction(
      [](db::TDataSet* d, bool& accept) { accept = d->FieldByName("QTD")->AsInteger() % 2 == 0; }));
  table_->SetFilterText("CODIGO > 300000");
  table_->SetFiltered(true);
  EXPECT_EQ(Walk(), Expected([](const Person& p) { return p.codigo > 300000 && p.qtd % 2 == 0; }));
  // The event alone, with no text: no engine filter.
  table_->SetFilterText("");
  EXPECT_FALSE(EngineHas(XbeGetXOF) || EngineHas(XbeGetFilter));
  EXPECT_EQ(Walk(), Expected([](const Person& p) { return p.qtd % 2 == 0; }));
}

TEST_F(People, FilterPropertiesAcrossChangesAndReopening) {
  // Filtered with no text, and clearing what was never set, leave the engine alone and raise nothing.
  table_->SetFiltered(true);
  EXPECT_EQ(Walk().size(), all_.size());
  table_->SetFiltered(false);
  table_->SetFiltered(false);

  table_->SetFilterText("QTD < 1000");
  EXPECT_EQ(Walk().size(), all_.size()) << "the text alone filters nothing";
  table_->SetFiltered(true);
  const auto small = Expected([](const Person& p) { return p.qtd < 1000; });
  EXPECT_EQ(Walk(), small);
  // A new text while filtered applies at once and goes to the first record.
  table_->SetFilterText("QTD >= 9000");
  const auto large = Expected([](const Person& p) { return p.qtd >= 9000; });
  ASSERT_FALSE(large.empty());
  EXPECT_EQ(table_->RecNo(), large.front());
  EXPECT_EQ(Walk(), large);
  // Switching the kind of filter on an open, filtered dataset moves it to the other kind.
  table_->XbeTableOptions().SetXbeOptimizedFilters(false);
  EXPECT_TRUE(EngineHas(XbeGetFilter));
  EXPECT_FALSE(EngineHas(XbeGetXOF));
  EXPECT_EQ(Walk(), large);
  // The properties outlive the handle; opening applies the filter again.
  table_->Close();
  table_->Open();
  EXPECT_EQ(Walk(), large);
  // A filter the engine refuses on an open dataset raises and leaves it unfiltered, saying so.
  table_->SetFiltered(false);
  table_->SetFilterText("NO_SUCH_FIELD = 1");
  EXPECT_NE(MessageOf([&] { table_->SetFiltered(true); }), "<no exception>");
  EXPECT_FALSE(table_->Filtered());
  EXPECT_EQ(Walk().size(), all_.size());
  table_->Close();
  table_->Open();
  EXPECT_EQ(Walk().size(), all_.size());
  // A filter the engine refuses fails the open.
  table_->Close();
  table_->SetFiltered(true);
  EXPECT_NE(MessageOf([&] { table_->Open(); }), "<no exception>");
  EXPECT_FALSE(table_->Active());
}

TEST_F(People, ExactFlagFollowsTheLastAppliedText) {
  const struct {
    const char* text;
    uint16_t exact;
  } cases[] = {
      {"NOME = 'ana*'", 0},
      {"NOME = 'ana'", 1},
      {"NOME = '*'", 1},
      {"CONTAINS(NOME, 'ana*')", 1},
  };
  table_->SetFiltered(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    table_->SetFilterText(c.text);
    uint16_t exact = 9;
    ASSERT_EQ(XbeGetExact22(table_->TableHandle(), &exact), 0u);
    EXPECT_EQ(exact, c.exact);
  }
}

TEST(FilterTranslation, AsterisksAndExactMatching) {
  const struct {
    const char* text;
    const char* expression;
    bool exact;
  } cases[] = {
      {"Name = 'AB*'", "Name = 'AB'", false},
      {"Name = '*'", "Name = '*'", true},
      {"Name = '***'", "Name = '***'", true},
      {"Name = 'AB**'", "Name = 'AB*'", false},
      {"Name = \"AB*\"", "Name = \"AB\"", false},
      {"Name = \"it's*\"", "Name = \"it's\"", false},
      {"Name = 'A*B'", "Name = 'A*B'", true},
      {"A = 'x*' AND B = 'y'", "A = 'x' AND B = 'y'", false},
      {"A = 'x*' AND B = 'y*'", "A = 'x' AND B = 'y'", false},
      {"CONTAINS(Notes, 'abc*')", "CONTAINS(Notes, 'abc*')", true},
      {"contains  (Notes, 'a(b*', [x)*])", "contains  (Notes, 'a(b*', [x)*])", true},
      {"CONTAINS(Notes, 'abc*') .AND. Name = 'x*'", "CONTAINS(Notes, 'abc*') .AND. Name = 'x'", false},
      // Without its closing parenthesis the argument list is scanned like the rest.
      {"CONTAINS(Notes, 'abc*'", "CONTAINS(Notes, 'abc'", false},
      {"", "", true},
  };
  TXbeTable table(nullptr);
  table.SetTableType(ttXbeNTX);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    table.SetFilterText(c.text);
    bool exact = !c.exact;
    EXPECT_EQ(table.TranslateFilterText(exact), c.expression);
    EXPECT_EQ(exact, c.exact);
  }
  EXPECT_EQ(TXbeDataSet::SkipParenthesized("(a 'b)' (c))", 0), 11u);
  EXPECT_EQ(TXbeDataSet::SkipParenthesized("(a 'b)", 0), 0u);
  EXPECT_EQ(TXbeDataSet::SkipParenthesized("x (a", 2), 2u);
}

TEST(FilterTranslation, OptimizedFilterOptionMask) {
  TXbeTable table(nullptr);
  const struct {
    TXbeXOFTypes type;
    bool immediate;
    uint16_t mask;
  } cases[] = {{atDynamic, false, 2}, {atDynamic, true, 1}, {atKeySet, false, 6},
               {atKeySet, true, 5},   {atFixed, false, 10},  {atFixed, true, 9}};
  for (const auto& c : cases) {
    table.XbeTableOptions().SetXbeXOFType(c.type);
    table.XbeTableOptions().SetXbeXOFResolveImmediate(c.immediate);
    EXPECT_EQ(table.GetXOFOptions(), c.mask);
  }
}

TEST_F(People, ExpressionNamesComeBackAsTheTableSpellsThem) {
  const XBEHANDLE h = table_->TableHandle();
  char buffer[128];
  for (auto* convert : {XbeExpressionLongToShort, XbeExpressionShortToLong}) {
    uint16_t length = sizeof buffer;
    ASSERT_EQ(convert(h, "codigo > 5 .and. Upper(nome) = 'nome*' .and. people->cidade = 'X'", buffer, &length), 0u);
    EXPECT_STREQ(buffer, "CODIGO > 5 .and. Upper(NOME) = 'nome*' .and. people->CIDADE = 'X'");
    EXPECT_EQ(length, std::strlen(buffer));
    length = 5;
    EXPECT_EQ(convert(h, "CODIGO > 5", buffer, &length), 5005u);
    length = sizeof buffer;
    EXPECT_NE(convert(h, "NOME = 'open", buffer, &length), 0u);
  }
}

// Names whose upper-case form starts from `top` up to `bottom` (each compared as a prefix).
bool InNameScope(const Person& p, const std::string& top, const std::string& bottom) {
  const std::string key = Upper(p.nome);
  return (top.empty() || key.substr(0, top.size()) >= top) && (bottom.empty() || key.substr(0, bottom.size()) <= bottom);
}

TEST_F(People, ScopesShowOnlyTheirKeysInIndexOrder) {
  table_->SetIndexName(nameOrder_);
  std::vector<int> byName = Walk();
  ASSERT_EQ(byName.size(), all_.size());
  const struct {
    const char* top;
    const char* bottom;
  } cases[] = {{"B", "D"}, {"MA", ""}, {"", "C"}, {"ZZZ", ""}, {"D", "B"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.top) + " .. " + c.bottom);
    table_->SetScopeBegin(c.top);
    table_->SetScopeEnd(c.bottom);
    table_->SetScoped(true);
    std::vector<int> wanted;
    for (int recno : byName)
      if (InNameScope(At(recno), c.top, c.bottom)) wanted.push_back(recno);
    EXPECT_EQ(Walk(), wanted);
    EXPECT_EQ(table_->IsEmpty(), wanted.empty());
    table_->XbeTableOptions().SetXbeScopeOptions(RESPECT_SCOPES_WHEN_COUNTING);
    EXPECT_EQ(table_->RecordCount(), static_cast<int>(wanted.size()));
    table_->XbeTableOptions().SetXbeScopeOptions(IGNORE_SCOPES_WHEN_COUNTING);
    table_->SetScoped(false);
    EXPECT_EQ(Walk(), byName);
  }
}

TEST_F(People, ScopeWithFilterAndPositionAcrossSwitches) {
  table_->SetIndexName(nameOrder_);
  table_->SetScopeBegin("C");
  table_->SetScopeEnd("M");
  auto inScope = [](const Person& p) { return InNameScope(p, "C", "M"); };
  // Switching on while the current record lies outside goes to the scope's first record.
  table_->First();
  ASSERT_FALSE(inScope(At(table_->RecNo())));
  table_->SetScoped(true);
  EXPECT_TRUE(table_->Scoped());
  const std::vector<int> scoped = Walk();
  ASSERT_GT(scoped.size(), 2u);
  table_->First();
  EXPECT_EQ(table_->RecNo(), scoped.front());
  // Switching off keeps the current record; switching on with it inside keeps it too.
  table_->Next();
  const int kept = table_->RecNo();
  table_->SetScoped(false);
  EXPECT_EQ(table_->RecNo(), kept);
  table_->SetScoped(true);
  EXPECT_EQ(table_->RecNo(), kept);
  // Scope and filter together.
  table_->SetFilterText("QTD < 5000");
  table_->SetFiltered(true);
  std::vector<int> both;
  for (int recno : scoped)
    if (At(recno).qtd < 5000) both.push_back(recno);
  EXPECT_EQ(Walk(), both);
  // New scope texts wait for the next switch; reopening applies scope and filter again.
  table_->SetScopeBegin("X");
  EXPECT_EQ(Walk(), both);
  table_->SetScopeBegin("C");
  table_->Close();
  table_->Open();
  EXPECT_TRUE(table_->Scoped());
  EXPECT_EQ(Walk(), both);
  // Another index drops the scope.
  table_->SetIndexName("");
  EXPECT_FALSE(table_->Scoped());
  EXPECT_EQ(Walk(), Expected([](const Person& p) { return p.qtd < 5000; }));
}

TEST_F(People, ScopeRefusalsAndLimits) {
  // No active index: stored while closed, refused at the next open.
  table_->SetScopeBegin("A");
  EXPECT_EQ(MessageOf([&] { table_->SetScoped(true); }),
            "Pessoas: Cannot activate scope when there is no active index.");
  EXPECT_FALSE(table_->Scoped());
  table_->Close();
  table_->SetScoped(true);
  EXPECT_TRUE(table_->Scoped());
  EXPECT_EQ(MessageOf([&] { table_->Open(); }), "Pessoas: Cannot activate scope when there is no active index.");
  EXPECT_FALSE(table_->Active());
  table_->SetScoped(false);
  table_->SetIndexName(nameOrder_);
  table_->Open();

  // A scope already held on the index (a range) blocks the switch, which stays off.
  ASSERT_EQ(XbeSetScope(table_->ActiveHandle(), 1, "B", 1, 2), 0u);
  EXPECT_EQ(MessageOf([&] { table_->SetScoped(true); }),
            "Pessoas: Cannot activate scope when there is an active range.");
  EXPECT_FALSE(table_->Scoped());
  ASSERT_EQ(XbeClearScope(table_->ActiveHandle(), 1), 0u);

  // Scope texts up to 4083 characters.
  table_->SetScopeEnd(std::string(4083, 'Z'));
  EXPECT_EQ(table_->ScopeEnd().size(), 4083u);
  EXPECT_EQ(MessageOf([&] { table_->SetScopeBegin(std::string(4084, 'A')); }),
            "Pessoas: Scope text length exceeded 4082");
  EXPECT_EQ(table_->ScopeBegin(), "A");
}

}  // namespace
