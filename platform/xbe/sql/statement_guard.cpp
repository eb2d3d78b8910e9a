#include "platform/xbe/sql/statement_guard.h"

#include <sqlite3.h>

#include <cctype>
#include <string_view>

#include "platform/rtl/strutils.h"
#include "platform/xbe/sql/sql_errors.h"

namespace xbe::sql {

namespace {


const char* const kTransactionRefused =
    " is not run: a statement does not begin or end transactions. The connection's "
    "XbeBeginTransaction, XbeCommitTransaction and XbeRollbackTransaction do, and a statement "
    "writes in the connection's transaction while one runs.";
const char* const kSchemaRefused =
    " is not run: SQL statements do not create, drop or alter tables, indexes, views or triggers; "
    "they read and write the records of the connection's tables.";
const char* const kBeyondRefused =
    " is not run: SQL statements reach only the connection's tables (no ATTACH, DETACH, VACUUM, "
    "PRAGMA or extension).";

// The first word of a text, past blanks and comments.
std::string FirstWord(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      const std::size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  std::size_t j = i;
  while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
  return rtl::UpperCase(sql.substr(i, j - i));
}

}  // namespace

void StatementGuard::Install(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  // No other database file can be attached, not even by VACUUM INTO.
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_set_authorizer(db, Authorize, this);
}

void StatementGuard::Watch(Reads* reads) {
  watching_ = true;
  reads_ = reads;
  actions_ = 0;
  refusal_.clear();
}

int StatementGuard::Refuse(std::string text) {
  if (refusal_.empty()) refusal_ = std::move(text);
  return SQLITE_DENY;
}

int StatementGuard::Authorize(void* data, int action, const char* a, const char* b, const char*, const char*) {
  auto& guard = *static_cast<StatementGuard*>(data);
  if (!guard.watching_) return SQLITE_OK;
  ++guard.actions_;
  try {
    return guard.Judge(action, a, b);
  } catch (...) {  // nothing may leave through the SQL engine's frames
    return SQLITE_DENY;
  }
}

int StatementGuard::Judge(int action, const char* a, const char* b) {
  const std::string first = a != nullptr ? a : "";
  switch (action) {
    case SQLITE_TRANSACTION: return Refuse(first + kTransactionRefused);
    case SQLITE_SAVEPOINT: return Refuse((first == "BEGIN" ? "SAVEPOINT" : first) + kTransactionRefused);
    case SQLITE_CREATE_INDEX: case SQLITE_CREATE_TABLE: case SQLITE_CREATE_TEMP_INDEX: case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_TRIGGER: case SQLITE_CREATE_TEMP_VIEW: case SQLITE_CREATE_TRIGGER: case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_INDEX: case SQLITE_DROP_TABLE: case SQLITE_DROP_TEMP_INDEX: case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_TRIGGER: case SQLITE_DROP_TEMP_VIEW: case SQLITE_DROP_TRIGGER: case SQLITE_DROP_VIEW:
    case SQLITE_ALTER_TABLE: case SQLITE_REINDEX: case SQLITE_ANALYZE: case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_VTABLE:
      return Refuse("The statement" + std::string(kSchemaRefused));
    case SQLITE_ATTACH: return Refuse("ATTACH" + std::string(kBeyondRefused));
    case SQLITE_DETACH: return Refuse("DETACH" + std::string(kBeyondRefused));
    case SQLITE_PRAGMA: return Refuse("PRAGMA " + first + kBeyondRefused);
    case SQLITE_FUNCTION: {
      const std::string name = rtl::UpperCase(b != nullptr ? b : "");
      // The functions that load code or swap the SQL engine's own parts.
      if (name == "LOAD_EXTENSION" || name == "FTS3_TOKENIZER") return Refuse(name + kBeyondRefused);
      if (reads_ != nullptr &&
          (name == "COUNT" || name == "SUM" || name == "AVG" || name == "MIN" || name == "MAX" || name == "TOTAL" ||
           name == "GROUP_CONCAT"))
        reads_->aggregate = true;
      return SQLITE_OK;
    }
    case SQLITE_READ:
      if (reads_ != nullptr && a != nullptr) reads_->tables.insert(rtl::UpperCase(a));
      return SQLITE_OK;
    default: return SQLITE_OK;
  }
}

void StatementGuard::RaiseRefusal() const {
  if (!refusal_.empty()) FailNative(SQLITE_AUTH, refusal_);
}

void StatementGuard::CheckText(const std::string& sql) {
  const std::string word = FirstWord(sql);
  for (const char* w : {"BEGIN", "COMMIT", "END", "ROLLBACK", "SAVEPOINT", "RELEASE"})
    if (word == w) FailNative(SQLITE_AUTH, word + kTransactionRefused);
  for (const char* w : {"CREATE", "DROP", "ALTER", "REINDEX", "ANALYZE"})
    if (word == w) FailNative(SQLITE_AUTH, word + kSchemaRefused);
  for (const char* w : {"ATTACH", "DETACH", "VACUUM", "PRAGMA"})
    if (word == w) FailNative(SQLITE_AUTH, word + kBeyondRefused);
}

void StatementGuard::CheckPrepared(const std::string& sql) const {
  if (actions_ != 0) return;
  const std::string word = FirstWord(sql);
  FailNative(SQLITE_AUTH, (word.empty() ? std::string("The statement") : word) + kBeyondRefused);
}

}  // namespace xbe::sql
