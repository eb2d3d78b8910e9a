// SQL SELECTs over the reference tables: results against the dumps in expected/, searches
// through open orders, live and static cursors.
#include <algorithm>
#include <functional>
#include <map>

#include "dump_file.h"
#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/rtl/ansi.h"
#include "platform/xbe/table_create.h"

namespace xbetest {
namespace {

std::vector<DumpRecord> DumpRows(const std::string& file) {
  return ReadDump((testsupport::FixturesDir() / "expected" / file).string()).records;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A statement on a connection, closed at the end.
class Statement {
 public:
  explicit Statement(XBEHANDLE connection) { EXPECT_EQ(XbeCreateSQLStatement(connection, &h_), 0u) << LastErrorText(); }
  ~Statement() {
    if (h_ != 0) XbeCloseSQLStatement(h_);
  }
  XBEHANDLE handle() const { return h_; }
  // Runs `sql` and gives its cursor (0 when none); fails the test on an error.
  XBEHANDLE Run(const std::string& sql) {
    XBEHANDLE cursor = 0;
    const XBERESULT r = XbeExecuteSQLDirect(h_, sql.c_str(), &cursor);
    EXPECT_EQ(r, 0u) << sql << ": " << LastErrorText();
    return cursor;
  }
  uint32_t Affected() {
    uint32_t n = 0;
    EXPECT_EQ(XbeGetRecordCount(h_, 2, &n), 0u) << LastErrorText();
    return n;
  }

 private:
  XBEHANDLE h_ = 0;
};

// The rows of a cursor, each as its field texts.
std::vector<std::vector<std::string>> Rows(XBEHANDLE cursor) {
  std::vector<std::vector<std::string>> rows;
  const uint16_t fields = FieldCount(cursor);
  if (XbeGotoTop(cursor) != 0) return rows;
  for (;;) {
    uint16_t eof = 1;
    XbeAtEOF(cursor, &eof);
    if (eof) break;
    std::vector<std::string> row;
    for (uint16_t i = 1; i <= fields; ++i) row.push_back(FieldText(cursor, i));
    rows.push_back(std::move(row));
    if (XbeSkip(cursor, 1) != 0) break;
  }
  return rows;
}

uint16_t Peek(XBEHANDLE cursor) {
  uint16_t live = 9;
  EXPECT_EQ(XbeSqlPeekStatement(cursor, &live), 0u) << LastErrorText();
  return live;
}


// people.dbf: CODIGO NOME CIDADE VALOR QTD ATIVO DATA OBS.
constexpr int kCodigo = 0, kCidade = 2, kQtd = 4;

TEST(SqlSelect, WhereOnACharacterFieldIgnoresTrailingBlanksAndGivesALiveCursor) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  std::vector<uint32_t> expected;
  for (const DumpRecord& r : DumpRows("people.txt"))
    if (!r.deleted && TrimRight(r.values[kCidade]) == "CURITIBA") expected.push_back(r.recno);
  ASSERT_FALSE(expected.empty());
  Statement s(copy.conn.handle());
  for (const char* sql : {"SELECT * FROM people WHERE cidade = 'CURITIBA'",
                          "SELECT codigo, nome FROM people WHERE cidade = 'CURITIBA   '"}) {
    SCOPED_TRACE(sql);
    const XBEHANDLE cursor = s.Run(sql);
    ASSERT_NE(cursor, 0u);
    EXPECT_EQ(Peek(cursor), 1);
    EXPECT_EQ(Walk(cursor, cursor), expected);
    XBE_OK(XbeCloseTable(cursor));
  }
  // A unique order on the field holds one record per city: the search must not go through it.
  const XBEHANDLE t = OpenTable(copy.conn, "people");
  ASSERT_NE(OpenIndex(t, copy.conn.directory() + "\\peouni.ntx"), 0u);
  const XBEHANDLE cursor = s.Run("SELECT * FROM people WHERE cidade = 'CURITIBA'");
  EXPECT_EQ(Walk(cursor, cursor), expected);
  XBE_OK(XbeCloseTable(cursor));
  XBE_OK(XbeCloseTable(t));
}

// Searches that an open order serves find what the dump holds (the SQL engine checks each row the
// order gives, so a seek that stopped early or started late shows here).
TEST(SqlSelect, SearchesThroughOpenOrdersFindWhatTheDumpHolds) {
  REQUIRE_FIXTURES();
  using Row = std::vector<std::string>;
  struct Case {
    const char* folder;
    const char* table;
    uint16_t type;
    const char* index;  // opened on a handle of the table; "" for the structural CDX
    const char* dump;
    const char* where;
    std::function<bool(const Row&)> wanted;
  };
  const auto code = [](const Row& r) { return std::stol(r[0]); };
  const std::vector<Case> cases = {
      {"ntx", "people", XBE_NTX, "peocod.ntx", "people.txt", "codigo = 576864", [&](const Row& r) { return code(r) == 576864; }},
      {"ntx", "people", XBE_NTX, "peocod.ntx", "people.txt", "codigo > 500000 AND codigo <= 700000",
       [&](const Row& r) { return code(r) > 500000 && code(r) <= 700000; }},
      {"ntx", "people", XBE_NTX, "peocod.ntx", "people.txt", "codigo < 20000", [&](const Row& r) { return code(r) < 20000; }},
      {"ntx", "people", XBE_NTX, "peocod.ntx", "people.txt", "codigo >= 990000", [&](const Row& r) { return code(r) >= 990000; }},
      {"cdx", "STOCK", XBE_CDX, "", "stock.txt", "item = 'IT26630352'", [](const Row& r) { return r[0] == "IT26630352"; }},
      {"cdx", "STOCK", XBE_CDX, "", "stock.txt", "item >= 'IT2' AND item < 'IT5'",
       [](const Row& r) { return r[0] >= "IT2" && r[0] < "IT5"; }},
      {"cdx", "STOCK", XBE_CDX, "", "stock.txt", "item > 'IT9'", [](const Row& r) { return r[0] > "IT9"; }},
      {"cdx", "STOCK", XBE_CDX, "", "stock.txt", "item <= 'IT1'", [](const Row& r) { return r[0] <= "IT1"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    CopiedFolder copy(c.folder);
    OpenOptions o;
    o.tableType = c.type;
    const XBEHANDLE t = OpenTable(copy.conn, c.table, o);
    ASSERT_NE(t, 0u);
    if (*c.index) {
      ASSERT_NE(OpenIndex(t, copy.conn.directory() + "\\" + c.index), 0u);
    }
    std::vector<uint32_t> expected;
    for (const DumpRecord& r : DumpRows(c.dump))
      if (!r.deleted && c.wanted(r.values)) expected.push_back(r.recno);
    Statement s(copy.conn.handle());
    XBE_OK(XbeStmtSetTableType(s.handle(), c.type));
    const XBEHANDLE cursor = s.Run(std::string("SELECT * FROM ") + c.table + " WHERE " + c.where);
    std::vector<uint32_t> found = Walk(cursor, cursor);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
    EXPECT_FALSE(expected.empty());
    XBE_OK(XbeCloseTable(cursor));
    XBE_OK(XbeCloseTable(t));
  }
}

TEST(SqlSelect, AggregatesAndOrderingGiveAStaticCursorOfTheComputedRows) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  std::map<std::string, std::pair<long, long>> byCity;  // count, sum of QTD
  std::vector<std::pair<long, std::string>> big;         // QTD > 5000: CODIGO, by CODIGO descending
  for (const DumpRecord& r : DumpRows("people.txt")) {
    if (r.deleted) continue;
    auto& c = byCity[TrimRight(r.values[kCidade])];
    ++c.first;
    c.second += std::stol(r.values[kQtd]);
    if (std::stol(r.values[kQtd]) > 5000) big.emplace_back(std::stol(r.values[kCodigo]), r.values[kCodigo]);
  }
  std::sort(big.rbegin(), big.rend());

  Statement s(copy.conn.handle());
  XBEHANDLE cursor = s.Run("SELECT cidade, COUNT(*) AS n, SUM(qtd) AS total FROM people GROUP BY cidade ORDER BY cidade");
  ASSERT_NE(cursor, 0u);
  EXPECT_EQ(Peek(cursor), 0);
  EXPECT_EQ(FieldName(cursor, 1), "CIDADE");
  uint32_t length = 0;
  XBE_OK(XbeGetFieldLength(cursor, XBE_FIELD_ORDINAL(1), &length));
  EXPECT_EQ(length, 20u);  // the column keeps its field's description
  std::vector<std::vector<std::string>> expected;
  for (const auto& [city, c] : byCity)
    expected.push_back({city, std::to_string(c.first), std::to_string(c.second)});
  auto rows = Rows(cursor);
  for (auto& row : rows) row[0] = TrimRight(row[0]);
  EXPECT_EQ(rows, expected);
  XBE_OK(XbeCloseTable(cursor));

  // One table without grouping: a live cursor moving in the result's order.
  cursor = s.Run("SELECT codigo FROM people WHERE qtd > 5000 ORDER BY codigo DESC");
  EXPECT_EQ(Peek(cursor), 1);
  std::vector<std::string> codes, expectedCodes;
  for (const auto& b : big) expectedCodes.push_back(b.second);
  for (const auto& row : Rows(cursor)) codes.push_back(row[kCodigo]);
  EXPECT_EQ(codes, expectedCodes);
  XBE_OK(XbeSkip(cursor, -1));
  EXPECT_EQ(FieldText(cursor, "CODIGO"), expectedCodes.back());
  XBE_OK(XbeCloseTable(cursor));
}

TEST(SqlSelect, OemTablesArriveAsAnsiAndDeletedRecordsFollowTheSetting) {
  REQUIRE_FIXTURES();
  using namespace rtl::literals;
  CopiedFolder copy("ntx");
  const auto rows = DumpRows("people.txt");
  std::size_t belem = 0, all = rows.size(), visible = 0;
  for (const DumpRecord& r : rows) {
    visible += r.deleted ? 0 : 1;
    if (!r.deleted && TrimRight(r.values[kCidade]) == "BEL\x90M") ++belem;  // code page 850
  }
  Statement s(copy.conn.handle());
  XBE_OK(XbeStmtSetTableCharType(s.handle(), XBE_OEM));
  const std::string sql = "SELECT cidade, COUNT(*) FROM people WHERE cidade = '" + std::string("BELÉM"_ansi) + "'";
  XBEHANDLE cursor = s.Run(sql);
  ASSERT_NE(cursor, 0u);
  XBE_OK(XbeGotoTop(cursor));
  EXPECT_EQ(TrimRight(FieldText(cursor, 1)), std::string("BELÉM"_ansi));
  EXPECT_EQ(FieldText(cursor, 2), std::to_string(belem));
  XBE_OK(XbeCloseTable(cursor));

  for (const bool shown : {false, true}) {
    ShowDeleted(shown);
    cursor = s.Run("SELECT COUNT(*) FROM people");
    XBE_OK(XbeGotoTop(cursor));
    EXPECT_EQ(FieldText(cursor, 1), std::to_string(shown ? all : visible));
    XBE_OK(XbeCloseTable(cursor));
  }
  ShowDeleted(false);
}

TEST(SqlSelect, JoinMatchesTheDumps) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ml/installed");
  std::map<std::string, std::string> names;  // CODCONV -> NOMECONV of visible ML2 records
  for (const DumpRecord& r : DumpRows("ml2-installed.txt"))
    if (!r.deleted) names[r.values[0]] = TrimRight(r.values[1]);
  std::vector<std::vector<std::string>> expected;
  for (const DumpRecord& r : DumpRows("ml6-installed.txt"))
    if (!r.deleted && names.count(r.values[4])) expected.push_back({r.values[0], names[r.values[4]]});
  std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return std::stol(a[0]) < std::stol(b[0]); });
  ASSERT_FALSE(expected.empty());

  Statement s(copy.conn.handle());
  const XBEHANDLE cursor = s.Run(
      "SELECT m6.numcol, m2.nomeconv FROM ML6 m6 JOIN ML2 m2 ON m6.codconv = m2.codconv ORDER BY m6.numcol");
  auto rows = Rows(cursor);
  for (auto& row : rows) row[1] = TrimRight(row[1]);
  EXPECT_EQ(rows, expected);
  XBE_OK(XbeCloseTable(cursor));
}

// A small table joined to a large one without an order: the planner sees both record counts,
// loops over the small one and finds the large one's rows through an index of its own instead
// of a scan per row. Each join gives what the same condition gives when nothing can serve it.
TEST(SqlSelect, AJoinWithoutAnOrderLoopsOverTheSmallTableAndFindsTheSameRows) {
  testsupport::TempDir tmp;
  const xbe::NewField code{"CODIGO", xbe::kCharacter, 10, 0}, number{"NUM", xbe::kNumericText, 6, 0};
  xbe::CreateTable(tmp.str() + "/PEQ", xbe::TableType::kNtx, {code, number});
  xbe::CreateTable(tmp.str() + "/GRD", xbe::TableType::kNtx, {code, number, {"NOME", xbe::kCharacter, 20, 0}});
  Connection conn(tmp.str());
  Statement s(conn.handle());
  s.Run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO grd (codigo, num, nome) SELECT 'K' || (i * 7 % 1000), i % 500, 'G' || i FROM n");
  s.Run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12) "
        "INSERT INTO peq (codigo, num) SELECT 'K' || (i * 90), i * 45 FROM n");
  s.Run("INSERT INTO peq (codigo) VALUES ('NENHUM')");
  s.Run("DELETE FROM grd WHERE rowid % 3 = 0");  // hidden records are not joined

  const XBEHANDLE plan = s.Run("EXPLAIN QUERY PLAN SELECT * FROM peq p JOIN grd g ON g.codigo = p.codigo");
  const auto steps = Rows(plan);
  XBE_OK(XbeCloseTable(plan));
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_NE(steps[0][3].find("SCAN p"), std::string::npos) << steps[0][3];
  EXPECT_NE(steps[1][3].find(" g "), std::string::npos) << steps[1][3];
  EXPECT_EQ(steps[1][3].find("INDEX 0:"), std::string::npos) << steps[1][3] << ": a scan per row of p";

  for (const char* on : {"g.codigo = p.codigo", "g.codigo = p.codigo || '  '", "g.num = p.num",
                         "g.num = CAST(p.num AS TEXT)", "g.num = p.num + 0.0", "g.codigo = p.codigo AND g.num > 100"}) {
    SCOPED_TRACE(on);
    const std::string columns = "SELECT p.rowid, g.rowid, g.nome FROM peq p ";
    const XBEHANDLE joined = s.Run(columns + "JOIN grd g ON " + on + " ORDER BY 1, 2");
    const XBEHANDLE checked = s.Run(columns + "CROSS JOIN grd g WHERE CASE WHEN " + on + " THEN 1 ELSE 0 END ORDER BY 1, 2");
    const auto rows = Rows(joined);
    EXPECT_FALSE(rows.empty());
    EXPECT_EQ(rows, Rows(checked));
    XBE_OK(XbeCloseTable(joined));
    XBE_OK(XbeCloseTable(checked));
  }
}

TEST(SqlCursors, OneTableWithoutGroupingGivesALiveCursorOfTheSameRows) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  struct Case {
    const char* sql;
    uint16_t live;
  };
  Statement s(copy.conn.handle());
  for (const Case& c : {Case{"SELECT * FROM people", 1}, Case{"SELECT nome FROM people ORDER BY cidade, nome", 1},
                        Case{"SELECT * FROM people WHERE qtd > 5000 LIMIT 5", 1},
                        Case{"SELECT DISTINCT cidade FROM people", 0},
                        Case{"SELECT a.nome FROM people a, people b WHERE a.codigo = b.codigo AND a.qtd > 9000", 0},
                        Case{"SELECT nome, qtd * 2 FROM people", 0}, Case{"SELECT COUNT(*) FROM people", 0},
                        Case{"SELECT * FROM people WHERE codigo IN (SELECT codigo FROM people WHERE qtd > 9000)", 0}}) {
    SCOPED_TRACE(c.sql);
    const XBEHANDLE cursor = s.Run(c.sql);
    EXPECT_EQ(Peek(cursor), c.live);
    uint32_t rows = 0;
    XBE_OK(XbeGetRecordCount(cursor, 1, &rows));
    XBE_OK(XbeCloseTable(cursor));
    const XBEHANDLE count = s.Run(std::string("SELECT COUNT(*) FROM (") + c.sql + ")");
    XBE_OK(XbeGotoTop(count));
    EXPECT_EQ(std::to_string(rows), FieldText(count, 1));
    XBE_OK(XbeCloseTable(count));
  }
}

TEST(SqlCursors, AStaticCursorHoldsEveryValueWholeAndRefusesWritesAndLocksWith5064) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  Statement s(copy.conn.handle());
  // The columns take the first part's fields, NOME (C40), VALOR (N12.2) and DATA, as far as the
  // second part's values fit them.
  const std::string longText(60, 'x');
  const XBEHANDLE cursor = s.Run("SELECT nome, valor, data, qtd FROM people WHERE codigo = 248 UNION ALL SELECT '" +
                                 longText + "', 1.5, 'not a date', 123456789");
  EXPECT_EQ(Peek(cursor), 0);
  XBE_OK(XbeGotoBottom(cursor));
  EXPECT_EQ(FieldText(cursor, 1), longText);
  EXPECT_EQ(FieldText(cursor, 2), "1.50");
  EXPECT_EQ(TrimRight(FieldText(cursor, 3)), "not a date");
  EXPECT_EQ(FieldText(cursor, 4), "123456789");
  XBE_OK(XbeGotoTop(cursor));
  EXPECT_EQ(TrimRight(FieldText(cursor, 3)), "1997-05-03");  // a character column now
  EXPECT_EQ(XbeLockRecord(cursor, 1), 5064u);
  EXPECT_EQ(XbeSetField(cursor, XBE_FIELD_ORDINAL(1), "X", 1), 5064u);
  EXPECT_EQ(XbeAppendRecord(cursor), 5064u);
  EXPECT_EQ(XbeDeleteRecord(cursor), 5064u);
  XBE_OK(XbeCloseTable(cursor));
}

TEST(SqlCursors, ALiveCursorWritesTheBaseTableOnlyWhenAskedFor) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  Statement s(copy.conn.handle());
  XBEHANDLE cursor = s.Run("SELECT * FROM people WHERE cidade = 'CURITIBA'");
  XBE_OK(XbeGotoTop(cursor));
  EXPECT_NE(XbeSetField(cursor, "NOME", "X", 1), 0u);  // read-only unless live was asked for
  XBE_OK(XbeCloseTable(cursor));

  XBE_OK(XbeStmtSetTableReadOnly(s.handle(), 2));
  cursor = s.Run("SELECT * FROM people WHERE cidade = 'CURITIBA'");
  XBE_OK(XbeGotoTop(cursor));
  const uint32_t recno = CurrentRecord(cursor);
  SetText(cursor, "NOME", "ALTERADO");
  XBE_OK(XbeWriteRecord(cursor));
  XBE_OK(XbeCloseTable(cursor));
  cursor = s.Run("SELECT nome FROM people WHERE rowid = " + std::to_string(recno));
  XBE_OK(XbeGotoTop(cursor));
  EXPECT_EQ(TrimRight(FieldText(cursor, "NOME")), "ALTERADO");
  XBE_OK(XbeCloseTable(cursor));
}

// An order opened on a live cursor sees the base table restricted to the result: records outside
// it stay hidden from every move, seek, count and key number, as a filter hides them.
TEST(SqlCursors, AnOrderOnALiveCursorKeepsToTheResult) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  std::vector<std::pair<long, uint32_t>> inside;  // code, record
  std::string outsideCode;
  for (const DumpRecord& r : DumpRows("people.txt")) {
    if (r.deleted) continue;
    const long code = std::stol(r.values[kCodigo]);
    if (code > 500000) inside.emplace_back(code, r.recno);
    else if (outsideCode.empty() && code > 400000) outsideCode = std::to_string(code);
  }
  ASSERT_FALSE(outsideCode.empty());
  std::sort(inside.begin(), inside.end());
  std::vector<uint32_t> expected;
  for (const auto& [code, recno] : inside) expected.push_back(recno);

  Statement s(copy.conn.handle());
  const XBEHANDLE cursor = s.Run("SELECT * FROM people WHERE codigo > 500000 ORDER BY nome");
  ASSERT_NE(cursor, 0u);
  const std::vector<uint32_t> byName = Walk(cursor, cursor);
  const XBEHANDLE order = OpenIndex(cursor, copy.conn.directory() + "\\peocod.ntx");
  ASSERT_NE(order, 0u);

  EXPECT_EQ(Walk(cursor, order), expected);
  EXPECT_EQ(WalkBackwards(cursor, order), expected);
  EXPECT_EQ(Walk(cursor, cursor), byName);  // the cursor itself keeps the result's order

  uint32_t count = 0, key = 0;
  XBE_OK(XbeGetRecordCount(order, 1, &count));
  EXPECT_EQ(count, expected.size());
  // The cursor's own count of records is the result's, through either handle.
  for (const XBEHANDLE h : {cursor, order}) {
    XBE_OK(XbeGetRecordCount(h, 2, &count));
    EXPECT_EQ(count, expected.size());
  }
  XBE_OK(XbeGotoBottom(order));
  XBE_OK(XbeGetKeyNum(order, 1, &key));
  EXPECT_EQ(key, expected.size());

  // A code of the table outside the result is not found; a soft seek stands on the result's first.
  uint16_t found = 9;
  XBE_OK(XbeSeek(order, outsideCode.data(), static_cast<uint16_t>(outsideCode.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &found));
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(AtEof(cursor));
  XBE_OK(XbeSeek(order, outsideCode.data(), static_cast<uint16_t>(outsideCode.size()), XBE_TEXT_KEY, XBE_SOFT_SEEK, &found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(CurrentRecord(cursor), expected.front());
  const std::string insideCode = std::to_string(inside[inside.size() / 2].first);
  XBE_OK(XbeSeek(order, insideCode.data(), static_cast<uint16_t>(insideCode.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &found));
  EXPECT_EQ(found, 1);
  EXPECT_EQ(CurrentRecord(cursor), inside[inside.size() / 2].second);
  XBE_OK(XbeCloseTable(cursor));
}

}  // namespace
}  // namespace xbetest
