// Statements that would do something else than read and write the connection's tables are
// refused before they run: transactions in SQL text, schema changes, other files and the SQL
// engine's own settings. Nothing on disk changes, inside the data directory or out of it.
#include <filesystem>
#include <map>

#include "engine_fixture.h"

namespace xbetest {
namespace {

std::map<std::string, std::string> FilesUnder(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files[e.path().string()] = ReadFile(e.path().string());
  return files;
}

TEST(SqlRefusals, StatementsBeyondTheTablesRecordsAreRefusedWith7200AndTouchNoFile) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const std::string outside = (copy.tmp.path() / "fora.db").string();
  struct Case {
    std::string sql;
    const char* says;  // a part of the error text
  };
  const char* transactions = "XbeBeginTransaction, XbeCommitTransaction and XbeRollbackTransaction";
  const char* schema = "do not create, drop or alter";
  const char* beyond = "reach only the connection's tables";
  const std::vector<Case> cases = {
      {"BEGIN", transactions},
      {"BEGIN IMMEDIATE TRANSACTION", transactions},
      {"SAVEPOINT antes", transactions},
      {"RELEASE antes", transactions},
      {"COMMIT", transactions},
      {"ROLLBACK", transactions},
      {"CREATE TABLE novo (a INTEGER)", schema},
      {"CREATE TEMP TABLE novo (a INTEGER)", schema},
      {"DROP TABLE people", schema},
      {"DROP TABLE IF EXISTS people", schema},
      {"ALTER TABLE people ADD COLUMN extra TEXT", schema},
      {"ALTER TABLE people RENAME TO outra", schema},
      {"CREATE INDEX peoqtd ON people (qtd)", schema},
      {"DROP INDEX IF EXISTS peoqtd", schema},
      {"CREATE VIEW caros AS SELECT * FROM people WHERE valor > 1000", schema},
      {"CREATE TRIGGER t AFTER DELETE ON people BEGIN SELECT 1; END", schema},
      {"CREATE VIRTUAL TABLE outra USING xbe_table", schema},
      {"ANALYZE", schema},
      {"REINDEX", schema},
      {"ATTACH DATABASE '" + outside + "' AS fora", beyond},
      {"DETACH DATABASE fora", beyond},
      {"VACUUM", beyond},
      {"/* copia */ VACUUM INTO '" + outside + "'", beyond},
      {"PRAGMA writable_schema = 1", beyond},
      {"PRAGMA journal_mode", beyond},
      {"SELECT load_extension('" + outside + "')", beyond},
  };
  const auto before = FilesUnder(copy.tmp.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    XBEHANDLE s = 0;
    XBE_OK(XbeCreateSQLStatement(copy.conn.handle(), &s));
    EXPECT_EQ(XbeExecuteSQLDirect(s, c.sql.c_str(), nullptr), 7200u);
    const std::string text = LastErrorText();
    EXPECT_NE(text.find("NativeError = 23;"), std::string::npos) << text;  // refused by the authorizer
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    // Prepared apart, it fails the same way and leaves the statement usable.
    EXPECT_EQ(XbePrepareSQL(s, c.sql.c_str()), 7200u);
    XBE_OK(XbeExecuteSQLDirect(s, "UPDATE people SET qtd = qtd WHERE codigo < 0", nullptr));
    XBE_OK(XbeCloseSQLStatement(s));
  }
  EXPECT_TRUE(FilesUnder(copy.tmp.path()) == before) << "a file changed or appeared";
  EXPECT_FALSE(std::filesystem::exists(outside));
}

// The connection's own transaction still holds the statements that run inside it.
TEST(SqlRefusals, AStatementInsideTheConnectionsTransactionIsRolledBackWithIt) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const std::string before = ReadFile((copy.dir() / "people.dbf").string());
  XBEHANDLE s = 0;
  XBE_OK(XbeCreateSQLStatement(copy.conn.handle(), &s));
  EXPECT_EQ(XbeExecuteSQLDirect(s, "BEGIN", nullptr), 7200u);
  XBE_OK(XbeBeginTransaction(copy.conn.handle()));
  XBE_OK(XbeExecuteSQLDirect(s, "DELETE FROM people WHERE qtd > 0", nullptr));
  uint32_t deleted = 0;
  XBE_OK(XbeGetRecordCount(s, 2, &deleted));
  EXPECT_GT(deleted, 0u);
  EXPECT_EQ(XbeExecuteSQLDirect(s, "ROLLBACK", nullptr), 7200u);
  XBE_OK(XbeRollbackTransaction(copy.conn.handle()));
  EXPECT_EQ(ReadFile((copy.dir() / "people.dbf").string()), before);
  XBE_OK(XbeCloseSQLStatement(s));
}

}  // namespace
}  // namespace xbetest
