// The SQL engine's view of the engine's tables: a virtual-table module that makes each table
// file of the statement's directory an SQL table, read and written through the engine's own
// table code, so that locks, memos and the index files open in this process stay right.
#pragma once
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/table.h"
#include "platform/xbe/transaction.h"

struct sqlite3;

namespace xbe::sql {

struct SqlTable;

// Where a statement's tables come from and how they are opened.
struct TableSource {
  std::string directory;
  // On a dictionary connection: bare names it lists open from its stored paths with their types.
  std::shared_ptr<xbe::dictionary::Dictionary> dictionary;
  TableType type = TableType::kNtx;
  CharType charType = CharType::kAnsi;
  LockType lockType = LockType::kCompatible;
  bool rightsChecking = true;
};

// The state one SQL connection shares with its tables' callbacks.
class SqlSession {
 public:
  explicit SqlSession(TableSource source) : source_(std::move(source)) {}
  const TableSource& Source() const { return source_; }

  // An engine error met inside a callback, raised again when the statement returns.
  void Keep(std::exception_ptr error) {
    if (!error_) error_ = error;
  }
  std::exception_ptr TakeError() { return std::exchange(error_, nullptr); }

  // The auto-increment value the last INSERT of this connection was given (0: none).
  std::uint32_t LastAutoInc() const { return lastAutoInc_; }
  void NoteAutoInc(std::uint32_t value) {
    if (value != 0) lastAutoInc_ = value;
  }

  // Tables the running statement opened for writing are closed when it ends, so that nothing
  // keeps a table open between executions (restructures and exclusive opens stay possible).
  void Add(SqlTable* table) { tables_.push_back(table); }
  void Remove(SqlTable* table) { std::erase(tables_, table); }
  void EndExecution();
  // The transaction the running statement writes in: the connection's, or the statement's own.
  void UseTransaction(Transaction* transaction) { transaction_ = transaction; }
  Transaction* CurrentTransaction() const { return transaction_; }
  // The table declared under that SQL name (letter case aside); null when there is none.
  const SqlTable* Find(std::string_view sqlName) const;

 private:
  TableSource source_;
  std::exception_ptr error_;
  std::vector<SqlTable*> tables_;
  std::uint32_t lastAutoInc_ = 0;
  Transaction* transaction_ = nullptr;
};

void RegisterTableModule(sqlite3* db, SqlSession* session);
// Declares the SQL table `name` over the table file of that name in the session's directory.
// Raises the engine's error when there is no such table.
void DeclareTable(sqlite3* db, std::string_view name);

// A declared table's file (Windows form, directory included) and its structure when declared.
const std::string& TableFileName(const SqlTable& table);
const Schema& TableSchema(const SqlTable& table);

// The same table file (the host paths name one file).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace xbe::sql
