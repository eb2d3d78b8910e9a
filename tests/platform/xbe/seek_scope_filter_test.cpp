// Seeks, scopes and filters through the C interface on the reference NTX table, with the
// expected answers worked out from the reference dump.
#include <algorithm>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

struct DumpRecord {
  bool deleted = false;
  std::vector<std::string> values;  // stored (code page 850) text
};

std::vector<DumpRecord> DumpRecords(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<DumpRecord> out(1);  // 1-based
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
    const std::size_t bar = line.find('|');
    if (bar == std::string::npos || bar == 0) continue;
    DumpRecord r;
    r.deleted = line[bar - 1] == '*';
    std::size_t from = bar + 1;
    for (;;) {
      const std::size_t to = line.find('|', from);
      r.values.push_back(line.substr(from, to == std::string::npos ? std::string::npos : to - from));
      if (to == std::string::npos) break;
      from = to + 1;
    }
    out.push_back(r);
  }
  return out;
}

std::string AsciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

class PeopleOrders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files not found; skipped";
    testsupport::CopyFixture("ntx", tmp_.path() / "d");
    conn_ = std::make_unique<Connection>((tmp_.path() / "d").string());
    OpenOptions o;
    o.charType = XBE_OEM;
    t_ = OpenTable(*conn_, "people", o);
    ASSERT_NE(t_, 0u);
    for (const char* f : {"peonom", "peocod", "peodat", "peodes", "peofor", "peouni"})
      orders_[f] = OpenIndex(t_, conn_->directory() + "\\" + f + ".ntx");
    const auto dir = testsupport::FixturesDir() / "expected";
    records_ = DumpRecords((dir / "people.txt").string());
    for (const auto& e : ExpectedOrders((dir / "people.txt").string())) expected_[AsciiUpper(e.name)] = e.records;
    ShowDeleted(false);
  }
  void TearDown() override {
    if (t_) XbeCloseTable(t_);
    ShowDeleted(false);
  }
  // The reference order, deleted records left out when hidden, and only records passing `keep`.
  std::vector<uint32_t> Reference(const char* order, bool deletedShown,
                                  const std::function<bool(const DumpRecord&)>& keep = nullptr) {
    std::vector<uint32_t> out;
    for (uint32_t r : expected_[AsciiUpper(order)])
      if ((deletedShown || !records_[r].deleted) && (!keep || keep(records_[r]))) out.push_back(r);
    return out;
  }
  std::string Nome(uint32_t r) { return AsciiUpper(records_[r].values[1]); }

  testsupport::TempDir tmp_;
  std::unique_ptr<Connection> conn_;
  XBEHANDLE t_ = 0;
  std::map<std::string, XBEHANDLE> orders_;
  std::vector<DumpRecord> records_;
  std::map<std::string, std::vector<uint32_t>> expected_;
};

uint16_t Seek(XBEHANDLE order, const std::string& key, uint16_t type, uint16_t mode) {
  uint16_t found = 9;
  EXPECT_EQ(XbeSeek(order, key.data(), static_cast<uint16_t>(key.size()), type, mode, &found), 0u) << LastErrorText();
  return found;
}

TEST_F(PeopleOrders, SeeksExactSoftPartialAndLast) {
  const auto names = Reference("PEONOM", false);
  auto firstWith = [&](const std::string& prefix) -> uint32_t {
    for (uint32_t r : names)
      if (Nome(r).compare(0, prefix.size(), prefix) == 0) return r;
    return 0;
  };
  auto firstAtOrAfter = [&](const std::string& key) -> uint32_t {
    for (uint32_t r : names)
      if (Nome(r).substr(0, key.size()) >= key) return r;
    return 0;
  };
  auto lastWith = [&](const std::string& prefix) -> uint32_t {
    uint32_t last = 0;
    for (uint32_t r : names)
      if (Nome(r).compare(0, prefix.size(), prefix) == 0) last = r;
    return last;
  };
  struct Row {
    std::string key;  // program text (1252)
    std::string stored;
    uint16_t mode;
    bool found;
    uint32_t record;  // 0 = EOF
  };
  const std::vector<Row> rows = {
      {"JO\xC3O SILVA", "JO\xC7O SILVA", XBE_HARD_SEEK, true, firstWith("JO\xC7O SILVA")},
      {"JO", "JO", XBE_HARD_SEEK, true, firstWith("JO")},
      {"JO", "JO", XBE_HARD_SEEK | XBE_SEEK_LAST, true, lastWith("JO")},
      {"JOZ", "JOZ", XBE_HARD_SEEK, false, 0},
      {"JOZ", "JOZ", XBE_SOFT_SEEK, false, firstAtOrAfter("JOZ")},
      {"JOZ", "JOZ", XBE_SOFT_SEEK | XBE_SEEK_LAST, false, firstAtOrAfter("JOZ")},
      {"\xFF", "\xFF", XBE_SOFT_SEEK, false, 0},
      {"", "", XBE_HARD_SEEK, true, names.front()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key + " mode " + std::to_string(row.mode));
    ASSERT_NE(row.found ? row.record : 1u, 0u);
    EXPECT_EQ(Seek(orders_["peonom"], row.key, XBE_TEXT_KEY, row.mode), row.found ? 1 : 0);
    EXPECT_EQ(AtEof(t_), row.record == 0);
    if (row.record) {
      EXPECT_EQ(CurrentRecord(t_), row.record);
    }
  }
  // A numeric key as text, and the key number of the record found.
  EXPECT_EQ(Seek(orders_["peocod"], "248", XBE_TEXT_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), 1u);
  EXPECT_EQ(Seek(orders_["peocod"], "247", XBE_TEXT_KEY, XBE_HARD_SEEK), 0);
  // Bad arguments are errors, not answers.
  uint16_t found = 0;
  EXPECT_EQ(XbeSeek(orders_["peonom"], "A", 1, 7, XBE_HARD_SEEK, &found), 6010u);
  EXPECT_EQ(XbeSeek(orders_["peonom"], "A", 1, XBE_TEXT_KEY, 0, &found), 6010u);
  EXPECT_EQ(XbeSeek(t_, "A", 1, XBE_TEXT_KEY, XBE_HARD_SEEK, &found), 6001u);
}

TEST_F(PeopleOrders, SeeksSeeDeletedRecordsOnlyWhenShown) {
  // The first record of a repeated name, and the only record of another, are deleted.
  // (Names in plain ASCII: the keys are given as program text.)
  const auto all = Reference("PEONOM", false);
  auto plain = [&](uint32_t r) {
    const std::string n = Nome(r);
    return n[0] != ' ' && std::all_of(n.begin(), n.end(), [](char c) { return (c & 0x80) == 0; });
  };
  uint32_t first = 0, second = 0, single = 0;
  for (std::size_t i = 0; i + 1 < all.size() && !first; ++i)
    if (plain(all[i]) && Nome(all[i]) == Nome(all[i + 1])) first = all[i], second = all[i + 1];
  for (std::size_t i = 1; i + 1 < all.size() && !single; ++i)
    if (plain(all[i]) && Nome(all[i]) != Nome(all[i - 1]) && Nome(all[i]) != Nome(all[i + 1])) single = all[i];
  ASSERT_TRUE(first && single);
  for (uint32_t r : {first, single}) {
    XBE_OK(XbeGotoRecord(t_, r));
    XBE_OK(XbeDeleteRecord(t_));
    XBE_OK(XbeWriteRecord(t_));
  }
  auto keyOf = [&](uint32_t r) {
    const std::string n = Nome(r);
    return n.substr(0, n.find_last_not_of(' ') + 1);
  };
  const std::string repeated = keyOf(first), alone = keyOf(single);
  EXPECT_EQ(Seek(orders_["peonom"], repeated, XBE_TEXT_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), second);
  EXPECT_EQ(Seek(orders_["peonom"], alone, XBE_TEXT_KEY, XBE_HARD_SEEK), 0);
  EXPECT_TRUE(AtEof(t_));
  ShowDeleted(true);
  EXPECT_EQ(Seek(orders_["peonom"], repeated, XBE_TEXT_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), first);
  EXPECT_EQ(Seek(orders_["peonom"], alone, XBE_TEXT_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), single);
}

TEST_F(PeopleOrders, RawKeysFromTheKeyBuildingRecord) {
  const XBEHANDLE nom = orders_["peonom"];
  char key[4083];
  uint16_t length = sizeof key;
  // A partial character segment ends the key after the characters given (lower case: the key
  // expression upper-cases them).
  XBE_OK(XbeInitRawKey(nom));
  XBE_OK(XbeSetField(nom, "nome", "jo", 2));
  XBE_OK(XbeBuildRawKey(nom, key, &length));
  EXPECT_EQ(std::string(key, length), "JO");
  EXPECT_EQ(Seek(nom, std::string(key, length), XBE_RAW_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(Nome(CurrentRecord(t_)).substr(0, 2), "JO");
  // A whole segment gives the whole key.
  uint16_t keyLength = 0;
  XBE_OK(XbeGetKeyLength(nom, &keyLength));
  EXPECT_EQ(keyLength, 40);
  const std::string full = "jo\xE3o silva" + std::string(30, ' ');
  XBE_OK(XbeSetField(nom, "NOME", full.data(), 40));
  length = sizeof key;
  XBE_OK(XbeBuildRawKey(nom, key, &length));
  EXPECT_EQ(std::string(key, length), "JO\xC6O SILVA" + std::string(30, ' '));  // ASCII letters only
  // A compound key from raw segments finds record 1 (DATA 19970503, CODIGO 248).
  const XBEHANDLE dat = orders_["peodat"];
  XBE_OK(XbeInitRawKey(dat));
  XBE_OK(XbeSetFieldRaw(dat, "DATA", "19970503", 8));
  XBE_OK(XbeSetFieldRaw(dat, "CODIGO", "   248", 6));
  length = sizeof key;
  XBE_OK(XbeBuildRawKey(dat, key, &length));
  EXPECT_EQ(std::string(key, length), "19970503   248");
  EXPECT_EQ(Seek(dat, std::string(key, length), XBE_RAW_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), 1u);
  // A leading segment alone ends the key before the segments left out, so that it finds the
  // first record of that date; left out first, a segment is blank in the key.
  XBE_OK(XbeInitRawKey(dat));
  XBE_OK(XbeSetFieldRaw(dat, "DATA", "19970503", 8));
  length = sizeof key;
  XBE_OK(XbeBuildRawKey(dat, key, &length));
  EXPECT_EQ(std::string(key, length), "19970503");
  EXPECT_EQ(Seek(dat, std::string(key, length), XBE_RAW_KEY, XBE_HARD_SEEK), 1);
  EXPECT_EQ(CurrentRecord(t_), 1u);
  XBE_OK(XbeInitRawKey(dat));
  XBE_OK(XbeSetFieldRaw(dat, "CODIGO", "   248", 6));
  length = sizeof key;
  XBE_OK(XbeBuildRawKey(dat, key, &length));
  EXPECT_EQ(std::string(key, length), std::string(8, ' ') + "   248");
  // Segments, and the failure after the last one that ends the callers' loop.
  char name[129];
  uint16_t n = 0, nameLength = sizeof name;
  XBE_OK(XbeGetNumSegments(dat, &n));
  EXPECT_EQ(n, 2);
  XBE_OK(XbeGetSegmentFieldname(dat, 1, name, &nameLength));
  EXPECT_EQ(std::string(name, nameLength), "CODIGO");
  nameLength = sizeof name;
  EXPECT_NE(XbeGetSegmentFieldname(dat, 2, name, &nameLength), 0u);
  // Key building never touches the table's record.
  EXPECT_EQ(XbeCancelUpdate(t_), 5085u);
}

TEST_F(PeopleOrders, ScopesBoundWalksCountsAndSeeks) {
  const XBEHANDLE nom = orders_["peonom"];
  XBE_OK(XbeSetScope(nom, XBE_TOP_SCOPE, "b", 1, XBE_TEXT_KEY));  // compared as given
  XBE_OK(XbeSetScope(nom, XBE_TOP_SCOPE, "B", 1, XBE_TEXT_KEY));
  XBE_OK(XbeSetScope(nom, XBE_BOTTOM_SCOPE, "C", 1, XBE_TEXT_KEY));
  const auto expected = Reference("PEONOM", false, [](const DumpRecord& r) {
    const char c = AsciiUpper(r.values[1])[0];
    return c == 'B' || c == 'C';
  });
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Walk(t_, nom), expected);
  EXPECT_EQ(WalkBackwards(t_, nom), expected);
  uint32_t count = 0;
  XBE_OK(XbeGetRecordCount(nom, 3, &count));
  EXPECT_EQ(count, expected.size());
  XBE_OK(XbeGetRecordCount(nom, 1, &count));
  EXPECT_EQ(count, expected.size());
  XBE_OK(XbeGetRecordCount(nom, 2, &count));
  EXPECT_EQ(count, 400u);
  // Seeks stay inside.
  EXPECT_EQ(Seek(nom, "JO", XBE_TEXT_KEY, XBE_HARD_SEEK), 0);
  EXPECT_EQ(Seek(nom, "A", XBE_TEXT_KEY, XBE_SOFT_SEEK), 0);
  EXPECT_EQ(CurrentRecord(t_), expected.front());
  // Visibility of a record outside, reached by number.
  XBE_OK(XbeGotoRecord(t_, 1));  // Zeca
  uint16_t visible = 9;
  XBE_OK(XbeIsRecordVisible(nom, &visible));
  EXPECT_EQ(visible, 0);
  XBE_OK(XbeIsRecordVisible(t_, &visible));
  EXPECT_EQ(visible, 1);
  // The bounds come back as given; clearing answers 5038 once nothing is left.
  char bound[4082];
  uint16_t length = sizeof bound;
  XBE_OK(XbeGetScope(nom, XBE_BOTTOM_SCOPE, bound, &length));
  EXPECT_EQ(std::string(bound, length), "C");
  XBE_OK(XbeClearScope(nom, XBE_BOTTOM_SCOPE));
  EXPECT_EQ(XbeClearScope(nom, XBE_BOTTOM_SCOPE), 5038u);
  length = sizeof bound;
  EXPECT_EQ(XbeGetScope(nom, XBE_BOTTOM_SCOPE, bound, &length), 5038u);
  XBE_OK(XbeClearAllScopes(t_));
  EXPECT_EQ(XbeGetScope(nom, XBE_TOP_SCOPE, bound, &length), 5038u);
  EXPECT_EQ(Walk(t_, nom), Reference("PEONOM", false));
  // An empty range is at both ends.
  XBE_OK(XbeSetScope(nom, XBE_TOP_SCOPE, "X", 1, XBE_TEXT_KEY));
  XBE_OK(XbeSetScope(nom, XBE_BOTTOM_SCOPE, "W", 1, XBE_TEXT_KEY));
  XBE_OK(XbeGotoTop(nom));
  uint16_t bof = 0;
  XBE_OK(XbeAtBOF(t_, &bof));
  EXPECT_TRUE(AtEof(t_) && bof);
}

TEST_F(PeopleOrders, ScopesOnNumericAndDescendingOrders) {
  auto valor = [](const DumpRecord& r) { return std::stod(r.values[3]); };
  const XBEHANDLE des = orders_["peodes"];  // VALOR, descending: the top bound is the larger
  XBE_OK(XbeSetScope(des, XBE_TOP_SCOPE, "900000", 6, XBE_TEXT_KEY));
  XBE_OK(XbeSetScope(des, XBE_BOTTOM_SCOPE, "800000", 6, XBE_TEXT_KEY));
  const auto expected =
      Reference("PEODES", false, [&](const DumpRecord& r) { return valor(r) >= 800000 && valor(r) <= 900000; });
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Walk(t_, des), expected);
  // Raw bounds from built keys on an ascending numeric order.
  const XBEHANDLE cod = orders_["peocod"];
  char key[4083];
  for (auto [which, value] : {std::pair{XBE_TOP_SCOPE, "  1000"}, std::pair{XBE_BOTTOM_SCOPE, " 99999"}}) {
    XBE_OK(XbeInitRawKey(cod));
    XBE_OK(XbeSetFieldRaw(cod, "CODIGO", value, 6));
    uint16_t length = sizeof key;
    XBE_OK(XbeBuildRawKey(cod, key, &length));
    XBE_OK(XbeSetScope(cod, static_cast<uint16_t>(which), key, length, XBE_RAW_KEY));
  }
  const auto codes = Reference("PEOCOD", false, [](const DumpRecord& r) {
    const long c = std::stol(r.values[0]);
    return c >= 1000 && c <= 99999;
  });
  EXPECT_EQ(Walk(t_, cod), codes);
  // Relative positions and key numbers follow the scoped order.
  XBE_OK(XbeSetRelKeyPos(cod, 1.0));
  EXPECT_EQ(CurrentRecord(t_), codes.back());
  uint32_t keyNumber = 0;
  XBE_OK(XbeGetKeyNum(cod, 1, &keyNumber));
  EXPECT_EQ(keyNumber, codes.size());
  double position = 0;
  XBE_OK(XbeGetRelKeyPos(cod, &position));
  EXPECT_DOUBLE_EQ(position, 1.0);
}

TEST_F(PeopleOrders, ConditionsAndUniqueOrdersDecideVisibility) {
  const XBEHANDLE cond = orders_["peofor"];  // ATIVO .AND. ! Deleted()
  const XBEHANDLE uni = orders_["peouni"];
  uint16_t visible = 9;
  for (uint32_t r = 1; r <= 30; ++r) {
    XBE_OK(XbeGotoRecord(t_, r));
    XBE_OK(XbeIsRecordVisible(cond, &visible));
    EXPECT_EQ(visible, records_[r].values[5] == "T" && !records_[r].deleted ? 1 : 0) << r;
    const auto& holders = expected_["PEOUNI"];
    XBE_OK(XbeIsRecordVisible(uni, &visible));
    EXPECT_EQ(visible, !records_[r].deleted && std::count(holders.begin(), holders.end(), r) ? 1 : 0) << r;
  }
  EXPECT_EQ(Walk(t_, cond), Reference("PEOFOR", false));
  uint16_t custom = 9;
  EXPECT_EQ(XbeIsIndexCustom(cond, &custom), 5017u);
  EXPECT_EQ(custom, 9);
  uint32_t flags = 9;
  XBE_OK(XbeGetIndexFlags(cond, &flags));
  EXPECT_EQ(flags, 0u);
}

std::string Text(XBERESULT (*get)(XBEHANDLE, char*, uint16_t*), XBEHANDLE t, XBERESULT* r) {
  char text[512];
  uint16_t length = sizeof text;
  *r = get(t, text, &length);
  return *r == 0 ? std::string(text, length) : std::string();
}

TEST_F(PeopleOrders, FiltersRestrictEveryOrderAndCount) {
  auto cidade = [](const DumpRecord& r) { return r.values[2].substr(0, r.values[2].find_last_not_of(' ') + 1); };
  struct Row {
    const char* expression;
    uint16_t exact;
    std::function<bool(const DumpRecord&)> keep;
  };
  const std::vector<Row> rows = {
      {"CIDADE = 'BEL\xC9M'", 1, [&](const DumpRecord& r) { return cidade(r) == "BEL\x90M"; }},
      {"CIDADE = 'BEL'", 0, [&](const DumpRecord& r) { return cidade(r).rfind("BEL", 0) == 0; }},
      {"CIDADE = 'BEL'", 1, [&](const DumpRecord&) { return false; }},
      {"(empty(DATA)) AND (ATIVO=.TRUE.)", 1,
       [](const DumpRecord& r) { return r.values[6] == "        " && r.values[5] == "T"; }},
      {"(DATA=ctod(\"03/05/1997\"))", 1, [](const DumpRecord& r) { return r.values[6] == "19970503"; }},
      {"(UPPER(NOME)=UPPER(\"ana\"))", 0, [](const DumpRecord& r) { return AsciiUpper(r.values[1]).rfind("ANA", 0) == 0; }},
      {"VALOR > 500000 .AND. QTD < 0", 1,
       [](const DumpRecord& r) { return std::stod(r.values[3]) > 500000 && std::stol(r.values[4]) < 0; }},
  };
  XBE_OK(XbeSetDateFormat("DD/MM/yyyy"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expression);
    XBE_OK(XbeSetExact22(t_, row.exact));
    XBE_OK(XbeSetFilter(t_, row.expression));
    std::vector<uint32_t> natural;
    for (uint32_t r = 1; r < records_.size(); ++r)
      if (!records_[r].deleted && row.keep(records_[r])) natural.push_back(r);
    EXPECT_EQ(Walk(t_, t_), natural);
    EXPECT_EQ(Walk(t_, orders_["peonom"]), Reference("PEONOM", false, row.keep));
    uint32_t count = 0;
    XBE_OK(XbeGetRecordCount(t_, 1, &count));
    EXPECT_EQ(count, natural.size());
    if (natural.empty()) {
      uint16_t bof = 0;
      XBE_OK(XbeAtBOF(t_, &bof));
      EXPECT_TRUE(bof && AtEof(t_));
    }
  }
  // Both kinds at once: a record must pass both.
  XBE_OK(XbeSetExact22(t_, 1));
  XBE_OK(XbeSetFilter(t_, "ATIVO"));
  XBE_OK(XbeSetXOF(t_, "CIDADE = 'CURITIBA'", XBE_XOF_RESOLVE_DYNAMIC));
  std::vector<uint32_t> both;
  for (uint32_t r = 1; r < records_.size(); ++r)
    if (!records_[r].deleted && records_[r].values[5] == "T" && cidade(records_[r]) == "CURITIBA") both.push_back(r);
  EXPECT_EQ(Walk(t_, t_), both);
  // Asked with no buffer, a set filter answers 5005; the text comes back whole.
  uint16_t length = 0;
  EXPECT_EQ(XbeGetFilter(t_, nullptr, &length), 5005u);
  EXPECT_EQ(XbeGetXOF(t_, nullptr, &length), 5005u);
  XBERESULT r = 0;
  EXPECT_EQ(Text(XbeGetXOF, t_, &r), "CIDADE = 'CURITIBA'");
  // A bad expression is refused and leaves the filter in force.
  EXPECT_EQ(XbeSetFilter(t_, "ATIVO .AND."), 6018u);
  EXPECT_NE(LastErrorText().find("ATIVO .AND."), std::string::npos);
  EXPECT_EQ(XbeSetFilter(t_, "NOSUCH = 1"), 6018u);
  EXPECT_EQ(XbeSetFilter(t_, "CODIGO + 1"), 6018u);  // not logical
  EXPECT_EQ(Text(XbeGetFilter, t_, &r), "ATIVO");
  // Evaluation on the current record, with the table's exact flag.
  XBE_OK(XbeGotoTop(t_));
  uint16_t result = 9;
  XBE_OK(XbeEvalLogicalExpr(orders_["peonom"], "CIDADE = 'CURITIBA' .AND. ATIVO", &result));
  EXPECT_EQ(result, 1);
  XBE_OK(XbeEvalLogicalExpr(t_, "CIDADE = 'CURI'", &result));
  EXPECT_EQ(result, 0);
  XBE_OK(XbeSetExact22(t_, 0));
  XBE_OK(XbeEvalLogicalExpr(t_, "CIDADE = 'CURI'", &result));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(XbeEvalLogicalExpr(t_, "CIDADE +", &result), 6018u);
  // Cleared, each answers 5037 the second time.
  XBE_OK(XbeClearFilter(t_));
  XBE_OK(XbeClearXOF(t_));
  EXPECT_EQ(XbeClearFilter(t_), 5037u);
  EXPECT_EQ(XbeClearXOF(t_), 5037u);
  EXPECT_EQ(XbeGetFilter(t_, nullptr, &length), 5037u);
  EXPECT_EQ(Walk(t_, t_).size(), Reference("PEOCOD", false).size());
}

TEST_F(PeopleOrders, OrderHandlesAreListedNamedAndClosedByFile) {
  auto orders = AllOrders(t_);
  ASSERT_EQ(orders.size(), 6u);
  XBEHANDLE h = 0;
  XBE_OK(XbeGetIndexHandle(t_, "PeoDat", &h));
  EXPECT_EQ(h, orders_["peodat"]);
  EXPECT_EQ(XbeGetIndexHandle(t_, "NOSUCH", &h), 6017u);
  char name[260];
  uint16_t length = sizeof name;
  XBE_OK(XbeGetIndexFilename(orders_["peodat"], XBE_INDEX_FILE_NAME, name, &length));
  EXPECT_EQ(std::string(name, length), "peodat.ntx");
  uint32_t page = 0;
  XBE_OK(XbeGetIndexPageSize(orders_["peodat"], &page));
  EXPECT_EQ(page, 1024u);
  // Opening a file again delivers its orders again.
  EXPECT_EQ(OpenIndex(t_, conn_->directory() + "\\PEODAT.NTX"), orders_["peodat"]);
  EXPECT_EQ(AllOrders(t_).size(), 6u);
  XBE_OK(XbeCloseIndex(orders_["peodat"]));
  EXPECT_EQ(AllOrders(t_).size(), 5u);
  EXPECT_EQ(XbeGotoTop(orders_["peodat"]), 6001u);
  // Too small an array: the first handles, and 5005.
  XBEHANDLE two[2];
  uint16_t n = 2;
  EXPECT_EQ(XbeGetAllIndexes(t_, two, &n), 5005u);
  EXPECT_EQ(two[0], AllOrders(t_)[0]);
  // Missing and damaged files, and keys that do not fit the table.
  XBEHANDLE array[50];
  n = 50;
  EXPECT_EQ(XbeOpenIndex(t_, (conn_->directory() + "\\nosuch.ntx").c_str(), array, &n), 6002u);
  std::ofstream(tmp_.path() / "d" / "junk.ntx") << std::string(3000, 'x');
  n = 50;
  EXPECT_EQ(XbeOpenIndex(t_, (conn_->directory() + "\\junk.ntx").c_str(), array, &n), 6006u);
  EXPECT_EQ(AllOrders(t_).size(), 5u);
}

TEST(IndexOrders, AKeyThatDoesNotFitTheTableIsRefused) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const Connection& conn = copy.conn;
  testsupport::CopyFixture("ml/installed/ML61.NTX", copy.dir() / "ML61.NTX");
  const XBEHANDLE t = OpenTable(conn, "people");
  ASSERT_NE(t, 0u);
  XBEHANDLE orders[50];
  uint16_t n = 50;
  EXPECT_EQ(XbeOpenIndex(t, (conn.directory() + "\\ML61.NTX").c_str(), orders, &n), 6018u);
  EXPECT_NE(LastErrorText().find("NUMCOL"), std::string::npos);
  XBE_OK(XbeCloseTable(t));
}

}  // namespace

// A call that fails writes none of its outputs, so a caller's handle, flag or number stays what
// it was (the only exception is the size a 5005 reports).
TEST_F(PeopleOrders, FailingCallsLeaveTheirOutputsAlone) {
  const XBEHANDLE order = orders_["peonom"];
  XBEHANDLE h = 777;
  for (const char* name : {"NOSUCH", ""}) {
    EXPECT_EQ(XbeGetIndexHandle(t_, name, &h), 6017u) << name;
    EXPECT_EQ(h, 777u) << name;
  }
  EXPECT_EQ(XbeGetIndexHandle(t_, nullptr, &h), 6017u);
  EXPECT_EQ(h, 777u);

  uint16_t flag = 9;
  EXPECT_EQ(XbeIsIndexCustom(order, &flag), 5017u);
  EXPECT_EQ(XbeSeek(order, "A", 1, XBE_TEXT_KEY, 0, &flag), 6010u);
  EXPECT_EQ(flag, 9);

  double position = 0.25;
  XBE_OK(XbeGotoBottom(order));
  XBE_OK(XbeSkip(order, 1));  // past the end: no key
  EXPECT_EQ(XbeGetRelKeyPos(order, &position), 5041u);
  EXPECT_EQ(position, 0.25);

  XBEHANDLE table = 777;
  EXPECT_EQ(XbeOpenTable(conn_->handle(), (conn_->directory() + "\\NOSUCH").c_str(), nullptr, XBE_NTX, XBE_ANSI,
                         0, 1, 0, &table),
            6002u);
  EXPECT_EQ(table, 777u);

  // A catalogue search whose first name does not fit gives no search handle and leaves the
  // buffer alone; the length reports the room needed.
  char name[2] = {'x', 'x'};
  uint16_t length = sizeof name;
  XBEHANDLE search = 777;
  EXPECT_EQ(XbeFindFirstTable(conn_->handle(), (conn_->directory() + "\\*.dbf").c_str(), name, &length, &search),
            5005u);
  EXPECT_EQ(search, 777u);
  EXPECT_EQ(name[0], 'x');
  EXPECT_GT(length, sizeof name);

  // Of two texts, the second not fitting: the first buffer is not written either.
  char date[32] = "unchanged", time[2] = "";
  uint16_t dateLength = sizeof date, timeLength = sizeof time;
  uint32_t ms = 123;
  EXPECT_EQ(XbeGetServerTime(conn_->handle(), date, &dateLength, &ms, time, &timeLength), 5005u);
  EXPECT_STREQ(date, "unchanged");
  EXPECT_EQ(ms, 123u);
}
