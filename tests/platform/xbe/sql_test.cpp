// SQL statements over the reference tables: results against the dumps in expected/, writes that
// keep every open order equal to a rebuild and reach other processes, cursors and errors.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/sql/param_markers.h"
#include "platform/xbe/table_create.h"

namespace xbetest {
namespace {

// One record of a dump: its number, deletion flag and field texts as dumped.
struct DumpRow {
  uint32_t recno = 0;
  bool deleted = false;
  std::vector<std::string> values;
};

std::vector<DumpRow> DumpRows(const std::string& file) {
  std::ifstream in(testsupport::FixturesDir() / "expected" / file, std::ios::binary);
  std::vector<DumpRow> rows;
  std::string line;
  bool inRecords = false;
  while (std::getline(in, line)) {
    if (line.rfind("#records", 0) == 0) { inRecords = true; continue; }
    if (line.rfind("#order", 0) == 0) break;
    if (!inRecords || line.empty()) continue;
    DumpRow r;
    const std::size_t bar = line.find('|');
    r.recno = static_cast<uint32_t>(std::stoul(line.substr(0, bar)));
    r.deleted = line[bar - 1] == '*';
    std::size_t start = bar + 1;
    for (;;) {
      const std::size_t next = line.find('|', start);
      r.values.push_back(line.substr(start, next == std::string::npos ? std::string::npos : next - start));
      if (next == std::string::npos) break;
      start = next + 1;
    }
    rows.push_back(std::move(r));
  }
  return rows;
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
  for (const DumpRow& r : DumpRows("people.txt"))
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

TEST(SqlSelect, IndexedEqualityFindsWhatAScanFinds) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const auto rows = DumpRows("people.txt");
  const XBEHANDLE t = OpenTable(copy.conn, "people");
  for (const char* f : {"peocod.ntx", "peonom.ntx", "peodat.ntx", "peodes.ntx"})
    ASSERT_NE(OpenIndex(t, copy.conn.directory() + "\\" + f), 0u);
  Statement s(copy.conn.handle());
  for (const DumpRow* r : {&rows[0], &rows[9], &rows[199]}) {
    const std::string& code = r->values[kCodigo];
    std::vector<uint32_t> expected;
    for (const DumpRow& x : rows)
      if (!x.deleted && x.values[kCodigo] == code) expected.push_back(x.recno);
    const XBEHANDLE cursor = s.Run("SELECT * FROM people WHERE codigo = " + code);
    EXPECT_EQ(Walk(cursor, cursor), expected) << "codigo " << code;
    XBE_OK(XbeCloseTable(cursor));
  }
  XBE_OK(XbeCloseTable(t));
}

TEST(SqlSelect, AggregatesAndOrderingGiveAStaticCursorOfTheComputedRows) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  std::map<std::string, std::pair<long, long>> byCity;  // count, sum of QTD
  std::vector<std::pair<long, std::string>> big;         // QTD > 5000: CODIGO, by CODIGO descending
  for (const DumpRow& r : DumpRows("people.txt")) {
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

  cursor = s.Run("SELECT codigo FROM people WHERE qtd > 5000 ORDER BY codigo DESC");
  EXPECT_EQ(Peek(cursor), 0);
  std::vector<std::vector<std::string>> codes;
  for (const auto& b : big) codes.push_back({b.second});
  EXPECT_EQ(Rows(cursor), codes);
  XBE_OK(XbeCloseTable(cursor));
}

TEST(SqlSelect, JoinMatchesTheDumps) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ml/installed");
  std::map<std::string, std::string> names;  // CODCONV -> NOMECONV of visible ML2 records
  for (const DumpRow& r : DumpRows("ml2-installed.txt"))
    if (!r.deleted) names[r.values[0]] = TrimRight(r.values[1]);
  std::vector<std::vector<std::string>> expected;
  for (const DumpRow& r : DumpRows("ml6-installed.txt"))
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

TEST(SqlCursors, AStaticCursorRefusesWritesAndLocksWith5064) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  Statement s(copy.conn.handle());
  const XBEHANDLE cursor = s.Run("SELECT cidade, COUNT(*) AS n FROM people GROUP BY cidade");
  XBE_OK(XbeGotoTop(cursor));
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

}  // namespace
}  // namespace xbetest
