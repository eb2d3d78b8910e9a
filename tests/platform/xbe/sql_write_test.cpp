// SQL writes through the engine: every parameter type, open orders kept equal to a rebuild,
// changes seen by another process; the errors of statements, their texts and their handles.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "dump_file.h"
#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/sql/param_markers.h"
#include "platform/xbe/table_create.h"

namespace xbetest {
namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

XBEHANDLE NewStatement(XBEHANDLE connection) {
  XBEHANDLE s = 0;
  EXPECT_EQ(XbeCreateSQLStatement(connection, &s), 0u) << LastErrorText();
  return s;
}

uint32_t Affected(XBEHANDLE s) {
  uint32_t n = 0;
  EXPECT_EQ(XbeGetRecordCount(s, 2, &n), 0u) << LastErrorText();
  return n;
}

XBERESULT SetText(XBEHANDLE s, uint32_t n, const std::string& v) {
  return XbeSetString(s, XBE_FIELD_ORDINAL(n), v.data(), static_cast<uint32_t>(v.size()));
}

xbe::IndexFile& FileOf(XBEHANDLE order) {
  std::lock_guard<xbe::EngineLock> lock(xbe::EngineMutex());
  return *xbe::Handles().Get<xbe::OrderObject>(order, xbe::HandleKind::kIndexOrder).file;
}

// Every order of the table against a copy of its file rebuilt from the records.
void ExpectOrdersEqualRebuilds(const std::string& dir, XBEHANDLE t) {
  std::vector<std::string> done;
  for (XBEHANDLE o : AllOrders(t)) {
    xbe::IndexFile& f = FileOf(o);
    if (std::find(done.begin(), done.end(), f.HostPath()) != done.end()) continue;
    done.push_back(f.HostPath());
    const std::string copy = dir + "/rebuilt_" + f.FileName();
    std::filesystem::copy_file(f.HostPath(), copy, std::filesystem::copy_options::overwrite_existing);
    const XBEHANDLE first = OpenIndex(t, copy);
    ASSERT_NE(first, 0u);
    xbe::IndexFile& rebuilt = FileOf(first);
    rebuilt.Rebuild();
    for (std::size_t i = 0; i < f.Tags().size(); ++i) {
      SCOPED_TRACE(f.FileName());
      f.Refresh();
      f.Tags()[i].order->Check();
      const auto a = f.Tags()[i].order->Entries();
      const auto b = rebuilt.Tags()[i].order->Entries();
      EXPECT_TRUE(a == b) << a.size() << " entries, rebuilt " << b.size();
    }
    XBE_OK(XbeCloseIndex(first));
  }
}

// Runs `work` in a child process with its own connection to `dir`; the test fails when it does.
void InAnotherProcess(const std::string& dir, const std::function<bool(XBEHANDLE connection)>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE c = 0;
    _exit(XbeConnect(dir.c_str(), &c) == 0 && work(c) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SqlWrite, ChangesWithParametersKeepEveryOpenOrderEqualToARebuildAndReachAnotherProcess) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const Connection& conn = copy.conn;
  const XBEHANDLE t = OpenTable(conn, "people");
  ASSERT_NE(t, 0u);
  for (const char* f : {"peocod.ntx", "peonom.ntx", "peodat.ntx", "peouni.ntx", "peodes.ntx", "peofor.ntx"})
    ASSERT_NE(OpenIndex(t, conn.directory() + "\\" + f), 0u);
  const uint32_t records = RecordCount(t);
  XBE_OK(XbeGotoRecord(t, 2));  // CURITIBA
  const int qtd2 = std::stoi(FieldText(t, "QTD"));

  const XBEHANDLE s = NewStatement(conn.handle());
  XBE_OK(XbePrepareSQL(s, "UPDATE people SET qtd = qtd + 1 WHERE cidade = :cidade"));
  XBE_OK(SetText(s, 1, "CURITIBA"));
  XBE_OK(XbeExecuteSQL(s, nullptr));
  uint32_t curitiba = 0;
  for (const DumpRecord& r : ReadDump((testsupport::FixturesDir() / "expected" / "people.txt").string()).records)
    curitiba += !r.deleted && TrimRight(r.values[2]) == "CURITIBA" ? 1 : 0;
  EXPECT_EQ(Affected(s), curitiba);

  XBE_OK(XbePrepareSQL(s, "INSERT INTO people (codigo, nome, cidade, valor, qtd, ativo, data, obs) "
                          "VALUES (:c, :n, :ci, :v, :q, :a, :d, :o)"));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(1), 999999));
  XBE_OK(SetText(s, 2, "NOVO"));
  XBE_OK(SetText(s, 3, "CURITIBA"));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(4), 1234.5));
  XBE_OK(SetText(s, 5, "12"));
  XBE_OK(XbeSetLogical(s, XBE_FIELD_ORDINAL(6), 1));
  XBE_OK(XbeSetJulian(s, XBE_FIELD_ORDINAL(7), 2460370));  // 29 February 2024
  XBE_OK(SetText(s, 8, "uma nota"));
  XBE_OK(XbeExecuteSQL(s, nullptr));
  EXPECT_EQ(Affected(s), 1u);

  XBE_OK(XbePrepareSQL(s, "UPDATE people SET data = :d, nome = :n WHERE codigo = :k"));
  XBE_OK(XbeSetEmpty(s, XBE_FIELD_ORDINAL(1)));
  XBE_OK(SetText(s, 2, "AAAA PRIMEIRO"));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(3), 248));
  XBE_OK(XbeExecuteSQL(s, nullptr));
  EXPECT_EQ(Affected(s), 1u);

  XBE_OK(XbePrepareSQL(s, "DELETE FROM people WHERE valor < :v"));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(1), 50000));
  XBE_OK(XbeExecuteSQL(s, nullptr));
  EXPECT_GT(Affected(s), 0u);
  XBE_OK(XbeCloseSQLStatement(s));

  ShowDeleted(true);
  ExpectOrdersEqualRebuilds(copy.tmp.str(), t);
  ShowDeleted(false);
  XBE_OK(XbeGotoRecord(t, records + 1));
  EXPECT_EQ(FieldText(t, "CODIGO"), "999999");
  EXPECT_TRUE(IsDeleted(t));  // VALOR 1234.5: the DELETE took it
  EXPECT_EQ(FieldText(t, "DATA"), "20240229");
  EXPECT_EQ(FieldText(t, "ATIVO"), "T");
  EXPECT_EQ(FieldText(t, "OBS"), "uma nota");
  XBE_OK(XbeGotoRecord(t, 1));  // CODIGO 248
  EXPECT_EQ(FieldText(t, "DATA"), "");
  XBE_OK(XbeCloseTable(t));

  InAnotherProcess(conn.directory(), [&](XBEHANDLE c) {
    XBEHANDLE other = 0;
    if (XbeOpenTable(c, "people", nullptr, XBE_NTX, XBE_ANSI, 0, XBE_CHECK_RIGHTS, 0, &other) != 0) return false;
    uint32_t count = 0;
    XbeGetRecordCount(other, 2, &count);
    return count == records + 1 && XbeGotoRecord(other, 2) == 0 && FieldText(other, "QTD") == std::to_string(qtd2 + 1);
  });
}

TEST(SqlWrite, EveryParameterTypeReachesItsField) {
  testsupport::TempDir tmp;
  xbe::CreateTable(tmp.str() + "/TIPOS", xbe::TableType::kXdt,
                   {{"NOME", xbe::kCharacter, 10, 0}, {"VALOR", xbe::kNumericText, 10, 2},
                    {"ATIVO", xbe::kLogical, 1, 0},   {"DIA", xbe::kDate, 0, 0},
                    {"HORA", xbe::kTime, 0, 0},       {"MOMENTO", xbe::kTimestamp, 0, 0},
                    {"TAXA", xbe::kDouble, 0, 0},     {"QTD", xbe::kInteger, 0, 0},
                    {"NOTA", xbe::kMemo, 0, 0},       {"DADOS", xbe::kBinary, 0, 0},
                    {"NUMERO", xbe::kAutoInc, 0, 0}});
  Connection conn(tmp.str());
  const XBEHANDLE s = NewStatement(conn.handle());
  XBE_OK(XbeStmtSetTableType(s, XBE_XDT));
  XBE_OK(XbePrepareSQL(s, "INSERT INTO tipos (nome, valor, ativo, dia, hora, momento, taxa, qtd, nota, dados) "
                          "VALUES (:a, :b, :c, :d, :e, :f, :g, :h, :i, :j)"));
  XBE_OK(SetText(s, 1, "ABC"));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(2), -12.345));
  XBE_OK(XbeSetLogical(s, XBE_FIELD_ORDINAL(3), 0));
  XBE_OK(XbeSetJulian(s, XBE_FIELD_ORDINAL(4), 2415019));  // 30 December 1899
  XBE_OK(XbeSetMilliseconds(s, XBE_FIELD_ORDINAL(5), 12 * 3600000));
  const int32_t stamp[2] = {2460370, 13 * 3600000 + 5 * 60000 + 7000};
  XBE_OK(XbeSetTimeStampRaw(s, XBE_FIELD_ORDINAL(6), stamp, 8));
  XBE_OK(XbeSetDouble(s, XBE_FIELD_ORDINAL(7), 0.1));
  XBE_OK(SetText(s, 8, "-42"));
  XBE_OK(SetText(s, 9, "texto longo"));
  const char bytes[] = {1, 0, 2, 0, 3, 0};
  XBE_OK(XbeSetBinary(s, XBE_FIELD_ORDINAL(10), XBE_BINARY, 6, 0, bytes, 3));
  XBE_OK(XbeSetBinary(s, XBE_FIELD_ORDINAL(10), XBE_BINARY, 6, 3, bytes + 3, 3));
  XBE_OK(XbeExecuteSQL(s, nullptr));
  uint32_t number = 0;
  XBE_OK(XbeGetLastAutoinc(s, &number));
  EXPECT_EQ(number, 1u);

  // The typed values find the row again.
  XBE_OK(XbePrepareSQL(s, "SELECT * FROM tipos WHERE hora = :h AND momento = :m AND dia = :d AND ativo = :a"));
  XBE_OK(XbeSetMilliseconds(s, XBE_FIELD_ORDINAL(1), 12 * 3600000));
  XBE_OK(XbeSetTimeStampRaw(s, XBE_FIELD_ORDINAL(2), stamp, 8));
  XBE_OK(XbeSetJulian(s, XBE_FIELD_ORDINAL(3), 2415019));
  XBE_OK(XbeSetLogical(s, XBE_FIELD_ORDINAL(4), 0));
  XBEHANDLE cursor = 0;
  XBE_OK(XbeExecuteSQL(s, &cursor));
  ASSERT_NE(cursor, 0u);
  XBE_OK(XbeGotoTop(cursor));
  uint16_t eof = 1;
  XBE_OK(XbeAtEOF(cursor, &eof));
  ASSERT_EQ(eof, 0);
  EXPECT_EQ(TrimRight(FieldText(cursor, "NOME")), "ABC");
  EXPECT_EQ(TrimRight(FieldText(cursor, "VALOR")), "-12.35");  // half away from zero
  EXPECT_EQ(FieldText(cursor, "ATIVO"), "F");
  EXPECT_EQ(FieldText(cursor, "DIA"), "18991230");
  EXPECT_EQ(FieldText(cursor, "HORA"), "12:00:00");
  EXPECT_EQ(FieldText(cursor, "MOMENTO"), "20240229 13:05:07");
  EXPECT_EQ(FieldText(cursor, "TAXA"), "0.1");
  EXPECT_EQ(FieldText(cursor, "QTD"), "-42");
  EXPECT_EQ(FieldText(cursor, "NOTA"), "texto longo");
  char data[16] = {};
  uint32_t length = sizeof data;
  XBE_OK(XbeGetField(cursor, "DADOS", data, &length, 0));
  EXPECT_EQ(std::string(data, length), std::string(bytes, 6));
  XBE_OK(XbeSkip(cursor, 1));
  XBE_OK(XbeAtEOF(cursor, &eof));
  EXPECT_EQ(eof, 1);
  XBE_OK(XbeCloseTable(cursor));
  XBE_OK(XbeCloseSQLStatement(s));
}

// A number written to a date field is its CCYYMMDD digits; any other number is refused with
// the record as it was, never stored as a blank date.
TEST(SqlWrite, ANumberIntoADateFieldIsItsCcyymmddDigitsOrRefused) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  struct Case {
    const char* value;
    uint32_t result;
    const char* stored;
  };
  for (const Case& c : {Case{"20240101", 0, "20240101"}, Case{"20240229.0", 0, "20240229"},
                        Case{"20241301", 6014, "20260927"}, Case{"2460370", 6014, "20260927"},
                        Case{"0", 6014, "20260927"}, Case{"-20240101", 6014, "20260927"},
                        Case{"'hoje'", 6014, "20260927"}}) {
    SCOPED_TRACE(c.value);
    const XBEHANDLE s = NewStatement(copy.conn.handle());
    XBE_OK(XbeExecuteSQLDirect(s, "UPDATE people SET data = '2026-09-27' WHERE codigo = 905233", nullptr));
    const std::string sql = std::string("UPDATE people SET data = ") + c.value + " WHERE codigo = 905233";
    EXPECT_EQ(XbeExecuteSQLDirect(s, sql.c_str(), nullptr), c.result) << LastErrorText();
    if (c.result == 0) {
      EXPECT_EQ(Affected(s), 1u);
    }
    XBE_OK(XbeCloseSQLStatement(s));
    const XBEHANDLE t = OpenTable(copy.conn, "people");
    XBE_OK(XbeGotoRecord(t, 2));
    EXPECT_EQ(FieldText(t, "DATA"), c.stored);
    XBE_OK(XbeCloseTable(t));
  }
}

// A table that another handle holds exclusively is reported as the sharing violation it is.
TEST(SqlErrors, ATableOpenExclusivelyElsewhereAnswers6003) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  OpenOptions exclusive;
  exclusive.options = XBE_EXCLUSIVE;
  const XBEHANDLE t = OpenTable(copy.conn, "people", exclusive);
  ASSERT_NE(t, 0u);
  const XBEHANDLE s = NewStatement(copy.conn.handle());
  for (const char* sql : {"SELECT * FROM people", "UPDATE people SET qtd = 1 WHERE codigo = 248"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(XbeExecuteSQLDirect(s, sql, nullptr), 6003u) << LastErrorText();
  }
  // A table that is not there is still an SQL error naming it.
  EXPECT_EQ(XbeExecuteSQLDirect(s, "SELECT * FROM nenhuma", nullptr), 7200u);
  EXPECT_NE(LastErrorText().find("no such table: nenhuma"), std::string::npos) << LastErrorText();
  XBE_OK(XbeCloseTable(t));
  XBE_OK(XbeExecuteSQLDirect(s, "UPDATE people SET qtd = 1 WHERE codigo = 248", nullptr));
  XBE_OK(XbeCloseSQLStatement(s));
}

// The native code stands where callers parse it: after "NativeError = ", up to ";".
int NativeCodeOf(const std::string& text) {
  if (text.find("Error 7200:") == std::string::npos) return -1;
  const std::size_t at = text.find("NativeError = ");
  if (at == std::string::npos) return -1;
  return std::stoi(text.substr(at + 14, text.find(';', at) - at - 14));
}

TEST(SqlErrors, BadTextUnknownTablesAndColumnsAnswer7200WithTheNativeCodeAndChangeNothing) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const std::string before = ReadFile((copy.dir() / "people.dbf").string());
  const XBEHANDLE s = NewStatement(copy.conn.handle());
  for (const char* sql : {"SELEC * FROM people", "SELECT * FROM nenhuma", "SELECT nada FROM people",
                          "UPDATE people SET qtd = 1 WHERE", "DELETE FROM people; DELETE FROM people"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(XbeExecuteSQLDirect(s, sql, nullptr), 7200u);
    EXPECT_GT(NativeCodeOf(LastErrorText()), 0) << LastErrorText();
  }
  // Parameters: the values must match the markers.
  XBE_OK(XbePrepareSQL(s, "UPDATE people SET qtd = :q WHERE codigo = :c"));
  EXPECT_NE(SetText(s, 3, "1"), 0u);
  XBE_OK(SetText(s, 1, "1"));
  EXPECT_NE(XbeExecuteSQL(s, nullptr), 0u);  // the second has no value
  EXPECT_NE(XbeExecuteSQLDirect(s, "DELETE FROM people WHERE codigo = :c", nullptr), 0u);
  EXPECT_EQ(ReadFile((copy.dir() / "people.dbf").string()), before);
  XBE_OK(XbeCloseSQLStatement(s));
}

// A statement that fails on its last record (a value too wide for its field) takes back what it
// wrote before: the table, its memo and its index files are as they were.
TEST(SqlErrors, AStatementFailingHalfwayChangesNothing) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const auto contents = [&] {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(copy.dir()))
      files[e.path().filename().string()] = ReadFile(e.path().string());
    return files;
  };
  OpenOptions options;
  const XBEHANDLE t = OpenTable(copy.conn, "people", options);
  XBEHANDLE orders[8];
  uint16_t count = 8;
  XBE_OK(XbeOpenIndex(t, (copy.conn.directory() + "\\peocod.ntx").c_str(), orders, &count));
  const auto before = contents();
  const XBEHANDLE s = NewStatement(copy.conn.handle());
  EXPECT_NE(XbeExecuteSQLDirect(s,
                                "UPDATE people SET valor = valor + 1, codigo = CASE WHEN rowid = "
                                "(SELECT MAX(rowid) FROM people) THEN 123456789 ELSE codigo + 1 END",
                                nullptr),
            0u);
  EXPECT_TRUE(contents() == before) << "the files changed";
  // The open handle still reads the table as it is.
  XBE_OK(XbeGotoTop(orders[0]));
  XBE_OK(XbeCloseSQLStatement(s));
  XBE_OK(XbeCloseTable(t));
}

TEST(SqlErrors, AStatementPreparedBeforeARestructureAnswers7209UntilPreparedAgain) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const XBEHANDLE s = NewStatement(copy.conn.handle());
  XBE_OK(XbePrepareSQL(s, "SELECT * FROM people WHERE qtd > 0"));
  XBEHANDLE cursor = 0;
  XBE_OK(XbeExecuteSQL(s, &cursor));
  XBE_OK(XbeCloseTable(cursor));
  XBE_OK(XbeRestructureTable(copy.conn.handle(), "people", nullptr, XBE_NTX, XBE_ANSI, 0, XBE_CHECK_RIGHTS,
                             "EXTRA,Char,5,0", "", ""));
  EXPECT_EQ(XbeExecuteSQL(s, &cursor), 7209u);
  XBE_OK(XbePrepareSQL(s, "SELECT * FROM people WHERE qtd > 0"));
  XBE_OK(XbeExecuteSQL(s, &cursor));
  EXPECT_EQ(FieldCount(cursor), 9);
  XBE_OK(XbeCloseTable(cursor));
  XBE_OK(XbeCloseSQLStatement(s));
}

TEST(SqlStatements, HandlesCountsAndClosing) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const XBEHANDLE s = NewStatement(copy.conn.handle());
  uint16_t type = 0;
  XBE_OK(XbeGetHandleType(s, &type));
  EXPECT_EQ(type, XBE_STATEMENT_HANDLE);
  uint32_t count = 0;
  EXPECT_EQ(XbeGetRecordCount(s, 2, &count), 5117u);  // nothing ran yet
  XBEHANDLE cursor = 0;
  XBE_OK(XbeExecuteSQLDirect(s, "SELECT * FROM people", &cursor));
  EXPECT_EQ(XbeGetRecordCount(s, 2, &count), 5117u);  // a SELECT affects no rows
  XBE_OK(XbeGetRecordCount(cursor, 2, &count));
  EXPECT_EQ(count, 366u);  // the result's records: the table's 400 less the deleted ones it hides
  XBE_OK(XbeExecuteSQLDirect(s, "UPDATE people SET qtd = 0 WHERE codigo < 0", nullptr));
  XBE_OK(XbeGetRecordCount(s, 2, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(XbeStmtSetTableType(s, 4), 6010u);
  XBE_OK(XbeCloseSQLStatement(s));
  EXPECT_EQ(XbeCloseSQLStatement(s), 5106u);
  EXPECT_EQ(XbePrepareSQL(s, "SELECT * FROM people"), 5106u);
  EXPECT_EQ(XbeSetEmpty(s, XBE_FIELD_ORDINAL(1)), 5106u);
  EXPECT_NE(XbeGetHandleType(s, &type), 0u);
  // The cursor outlives its statement.
  XBE_OK(XbeGotoTop(cursor));
  XBE_OK(XbeCloseTable(cursor));
}

TEST(SqlStatements, TextCheckAcceptsSqlWithMarkersAndRefusesWhatDoesNotParse) {
  struct Case {
    const char* sql;
    uint32_t result;
  };
  for (const Case& c : {Case{"", 0}, Case{"SELECT * FROM people WHERE cidade = :cidade", 0},
                        Case{"UPDATE t SET a = :a, b = :b WHERE c = 'x:y'", 0}, Case{"SELEC * FROM t", 7200},
                        Case{"SELECT * FROM t WHERE a = 'aberto", 7200}, Case{"SELECT * FROM", 7200}}) {
    EXPECT_EQ(XbeGetSQLStmtParams(c.sql), c.result) << c.sql;
  }
}

TEST(SqlStatements, MarkersAreNumberedByPosition) {
  struct Case {
    const char* text;
    const char* numbered;
    std::size_t markers;
  };
  for (const Case& c : {Case{"a = :a AND b = :b", "a = ?1 AND b = ?2", 2}, Case{":a, :a", "?1, ?2", 2},
                        Case{"':x' || :y", "':x' || ?1", 1}, Case{"a::b", "a:b", 0},
                        Case{"\"x:y\" = :\"p q\")", "\"x:y\" = ?1)", 1}, Case{"a = :", "a = :", 0}}) {
    const auto n = xbe::sql::NumberMarkers(c.text);
    EXPECT_EQ(n.sql, c.numbered) << c.text;
    EXPECT_EQ(n.markers, c.markers) << c.text;
  }
}

}  // namespace
}  // namespace xbetest
