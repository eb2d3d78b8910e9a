#include "platform/xbe/sql/statement.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <set>

#include "platform/rtl/strutils.h"
#include "platform/rtl/paths.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/sql/char_collation.h"
#include "platform/xbe/sql/param_markers.h"
#include "platform/xbe/sql/result_cursors.h"
#include "platform/xbe/sql/sql_errors.h"
#include "platform/xbe/sql/statement_guard.h"
#include "platform/xbe/sql/table_module.h"

namespace xbe::sql {

namespace {


// The words of a text outside quotes, upper case, with their offsets and bracket depth.
struct Word {
  std::string text;
  std::size_t offset;
  int depth;
};

std::vector<Word> WordsOf(std::string_view sql) {
  std::vector<Word> words;
  int depth = 0;
  for (std::size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const std::size_t close = sql.find(c == '[' ? ']' : c, i + 1);
      i = close == std::string_view::npos ? sql.size() : close + 1;
    } else if (c == '(') {
      ++depth, ++i;
    } else if (c == ')') {
      --depth, ++i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t j = i;
      while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
      words.push_back({rtl::UpperCase(sql.substr(i, j - i)), i, depth});
      i = j;
    } else {
      ++i;
    }
  }
  return words;
}

bool OnlyBlanks(const char* p) {
  for (; p != nullptr && *p != '\0'; ++p)
    if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') return false;
  return true;
}

}  // namespace

// One prepared text in an SQL connection of its own, which declares the tables it names.
class PreparedSql {
 public:
  explicit PreparedSql(TableSource source) : session_(std::make_unique<SqlSession>(std::move(source))) {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      FailNative(SQLITE_CANTOPEN, message);
    }
    guard_.Install(db_);
    RegisterCharCollation(db_);
    RegisterTableModule(db_, session_.get());
  }
  ~PreparedSql() {
    sqlite3_finalize(rowids_);
    sqlite3_finalize(statement_);
    sqlite3_close(db_);  // disconnects the tables before their session goes
  }
  PreparedSql(const PreparedSql&) = delete;
  PreparedSql& operator=(const PreparedSql&) = delete;

  void Prepare(const std::string& sql) {
    Reads reads;
    statement_ = PrepareDeclaring(sql, &reads);
    if (sqlite3_column_count(statement_) > 0 && IsSingleTableRead(sql, reads)) {
      // The records of a live cursor: the same statement selecting record numbers.
      const auto words = WordsOf(sql);
      for (const Word& w : words) {
        if (w.text != "FROM" || w.depth != 0) continue;
        const std::string rowidSql = "SELECT rowid " + sql.substr(w.offset);
        if (sqlite3_prepare_v2(db_, rowidSql.c_str(), -1, &rowids_, nullptr) != SQLITE_OK) {
          sqlite3_finalize(rowids_);
          rowids_ = nullptr;
        } else {
          baseTable_ = *reads.tables.begin();
        }
        break;
      }
    }
  }

  sqlite3* Db() const { return db_; }
  sqlite3_stmt* Statement() const { return statement_; }
  sqlite3_stmt* Rowids() const { return rowids_; }
  SqlSession& Session() { return *session_; }
  const std::string& BaseTable() const { return baseTable_; }

 private:
  // Prepares the text, declaring each table it names as it comes up.
  sqlite3_stmt* PrepareDeclaring(const std::string& sql, Reads* reads) {
    StatementGuard::CheckText(sql);
    for (int attempt = 0;; ++attempt) {
      *reads = Reads{};
      guard_.Watch(reads);
      sqlite3_stmt* statement = nullptr;
      const char* tail = nullptr;
      const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, &tail);
      if (rc == SQLITE_OK) {
        if (statement == nullptr) FailNative(SQLITE_MISUSE, "The SQL text holds no statement.");
        if (!OnlyBlanks(tail)) {
          sqlite3_finalize(statement);
          FailNative(SQLITE_MISUSE, "The SQL text holds more than one statement.");
        }
        try {
          guard_.CheckPrepared(sql);
        } catch (...) {
          sqlite3_finalize(statement);
          throw;
        }
        guard_.Watch(nullptr);
        return statement;
      }
      guard_.RaiseRefusal();
      const std::string message = sqlite3_errmsg(db_);
      const std::string prefix = "no such table: ";
      if (message.rfind(prefix, 0) != 0 || attempt >= 64) FailNative(sqlite3_errcode(db_), message);
      std::string name = message.substr(prefix.size());
      if (rtl::UpperCase(name).rfind("MAIN.", 0) == 0) name = name.substr(5);
      guard_.Pass();
      try {
        DeclareTable(db_, name);
      } catch (const Error&) {
        // A table that is there but cannot be opened (held exclusively elsewhere, damaged, ...)
        // fails as the engine's error; only a missing one is SQL's unknown table.
        std::string detail = message;
        if (auto engine = session_->TakeError()) {
          try {
            std::rethrow_exception(engine);
          } catch (const Error& e) {
            if (e.code() != kFileNotFound) throw;
            detail += " (" + std::string(e.what()) + ")";
          } catch (const std::exception& e) {
            detail += " (" + std::string(e.what()) + ")";
          }
        }
        FailNative(SQLITE_ERROR, detail);
      }
    }
  }

  bool IsSingleTableRead(const std::string& sql, const Reads& reads) const {
    if (reads.tables.size() != 1 || reads.aggregate) return false;
    static const std::set<std::string> others = {"JOIN",   "GROUP", "DISTINCT", "UNION",  "INTERSECT",
                                                 "EXCEPT", "HAVING", "WITH",    "VALUES",
                                                 "WINDOW", "OVER"};
    int froms = 0;
    std::size_t from = 0, end = sql.size();
    for (const Word& w : WordsOf(sql)) {
      if (others.count(w.text)) return false;
      if (w.text == "FROM") ++froms, from = w.offset;
      static const std::set<std::string> clauses = {"WHERE", "ORDER", "LIMIT", "OFFSET"};
      if (froms == 1 && w.depth == 0 && end == sql.size() && clauses.count(w.text)) end = w.offset;
    }
    if (froms != 1) return false;  // subqueries read other rows
    for (int i = 0; i < sqlite3_column_count(statement_); ++i)
      if (sqlite3_column_table_name(statement_, i) == nullptr) return false;
    // "FROM a, a" names one table twice.
    return !HasListComma(std::string_view(sql).substr(from, end - from));
  }

  // A comma outside quotes and brackets.
  static bool HasListComma(std::string_view text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\'' || c == '"' || c == '`' || c == '[') {
        const std::size_t close = text.find(c == '[' ? ']' : c, i + 1);
        if (close == std::string_view::npos) return false;
        i = close;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      } else if (c == ',' && depth == 0) {
        return true;
      }
    }
    return false;
  }

  std::unique_ptr<SqlSession> session_;
  StatementGuard guard_;  // read by the connection's authorizer
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  sqlite3_stmt* rowids_ = nullptr;
  std::string baseTable_;
};

StatementObject::StatementObject(std::uint32_t connection, std::string directory)
    : connection_(connection), directory_(std::move(directory)) {}

StatementObject::~StatementObject() = default;

void StatementObject::Prepare(std::string_view text) {
  prepared_.reset();
  parameters_.clear();
  affected_.reset();
  const NumberedText numbered = NumberMarkers(text);
  TableSource source;
  source.directory = directory_;
  // A dictionary connection's tables: those it lists, and free tables beside the dictionary.
  HandleObject* owner = Handles().Find(connection_);
  if (owner != nullptr && owner->Kind() == HandleKind::kConnection) {
    const auto& c = static_cast<const ConnectionObject&>(*owner);
    if (c.dictionary) {
      source.dictionary = c.dictionary;
      source.directory = rtl::ExtractFileDir(c.dictionary->Path());
    }
  }
  source.type = static_cast<TableType>(options_.tableType);
  source.charType = static_cast<CharType>(options_.charType);
  source.lockType = static_cast<LockType>(options_.lockType);
  source.rightsChecking = options_.rights != 2;
  auto prepared = std::make_unique<PreparedSql>(std::move(source));
  prepared->Prepare(numbered.sql);
  parameters_.resize(numbered.markers);
  prepared_ = std::move(prepared);
}

SqlValue& StatementObject::Parameter(std::uint32_t position) {
  if (!prepared_) Fail(kInvalidArgument, "No SQL text has been prepared on the statement.");
  if (position == 0 || position > parameters_.size())
    Fail(kInvalidArgument, "The SQL statement has " + std::to_string(parameters_.size()) + " parameters; there is no parameter " +
                               std::to_string(position) + ".");
  auto& p = parameters_[position - 1];
  if (!p) p = SqlValue::Null();
  return *p;
}

void StatementObject::SetParameter(std::uint32_t position, SqlValue value) { Parameter(position) = std::move(value); }

void StatementObject::SetBinaryPiece(std::uint32_t position, std::uint32_t total, std::uint32_t offset,
                                     std::string_view piece) {
  SqlValue& p = Parameter(position);
  if (offset > total || piece.size() > total - offset)
    Fail(kInvalidArgument, "The piece of " + std::to_string(piece.size()) + " bytes at " + std::to_string(offset) +
                               " lies outside the value of " + std::to_string(total) + " bytes.");
  if (p.kind != SqlValue::Kind::kBlob || p.bytes.size() != total) p = SqlValue::Blob(std::string(total, '\0'));
  std::memcpy(p.bytes.data() + offset, piece.data(), piece.size());
}

namespace {
Transaction* RunningTransactionOf(std::uint32_t connection) {
  HandleObject* o = Handles().Find(connection);
  if (o == nullptr || o->Kind() != HandleKind::kConnection) return nullptr;
  return static_cast<ConnectionObject&>(*o).transaction.get();
}
}  // namespace

std::uint32_t StatementObject::Execute(bool wantsCursor) {
  if (!prepared_) Fail(kInvalidArgument, "No SQL text has been prepared on the statement.");
  for (std::size_t i = 0; i < parameters_.size(); ++i)
    if (!parameters_[i])
      Fail(kInvalidArgument, "The parameter " + std::to_string(i + 1) + " of the SQL statement has no value (the statement has " +
                                 std::to_string(parameters_.size()) + " parameters).");
  PreparedSql& p = *prepared_;
  sqlite3_stmt* statement = p.Statement();
  affected_.reset();
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    parameters_[i]->Bind(statement, static_cast<int>(i + 1));
    if (p.Rowids()) parameters_[i]->Bind(p.Rowids(), static_cast<int>(i + 1));
  }
  p.Session().TakeError();
  struct End {
    PreparedSql& p;
    ~End() {
      sqlite3_reset(p.Statement());
      if (p.Rowids()) sqlite3_reset(p.Rowids());
      try {
        p.Session().EndExecution();
      } catch (...) {  // the tables are closed; the statement's own outcome is what counts
      }
    }
  } end{p};
  // A failure inside the SQL engine's calls into the engine keeps the engine's own error.
  const auto failed = [&] {
    if (auto engine = p.Session().TakeError()) std::rethrow_exception(engine);
    FailFrom(p.Db());
  };
  try {
    if (sqlite3_column_count(statement) == 0) {
      // A statement writes in its connection's transaction; outside one it has its own, so that a
      // statement failing halfway (a record another user holds, a full disk) changes nothing.
      std::unique_ptr<Transaction> own;
      Transaction* transaction = RunningTransactionOf(connection_);
      if (transaction == nullptr) {
        own = std::make_unique<Transaction>();
        transaction = own.get();
      }
      p.Session().UseTransaction(transaction);
      struct Forget {
        SqlSession& session;
        ~Forget() { session.UseTransaction(nullptr); }
      } forget{p.Session()};
      int rc;
      while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) failed();
      if (own) own->Commit();
      affected_ = static_cast<std::uint32_t>(sqlite3_changes(p.Db()));
      if (p.Session().LastAutoInc() != 0) lastAutoInc_ = p.Session().LastAutoInc();
      return 0;
    }
    if (!wantsCursor) {
      int rc;
      while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) failed();
      return 0;
    }
    if (p.Rowids() != nullptr) {
      std::vector<std::uint32_t> records;
      int rc;
      while ((rc = sqlite3_step(p.Rowids())) == SQLITE_ROW)
        records.push_back(static_cast<std::uint32_t>(sqlite3_column_int64(p.Rowids(), 0)));
      if (rc != SQLITE_DONE) failed();
      const SqlTable* base = p.Session().Find(p.BaseTable());
      if (base == nullptr) Fail(kInvalidArgument, "The table of the SQL statement is not known.");
      OpenRequest request;
      request.name = TableFileName(*base);
      request.type = static_cast<TableType>(options_.tableType);
      request.charType = static_cast<CharType>(options_.charType);
      request.lockType = static_cast<LockType>(options_.lockType);
      request.rightsChecking = options_.rights != 2;
      request.options = options_.readOnly == 2 ? 0 : kOpenReadOnly;
      return OpenLiveCursor(request, std::move(records), connection_);
    }
    return MaterialiseResult(statement, p.Session(), connection_);
  } catch (const Error&) {
    if (auto engine = p.Session().TakeError()) std::rethrow_exception(engine);
    throw;
  }
}

StatementObject* FindStatement(std::uint32_t handle) {
  HandleObject* o = Handles().Find(handle);
  return o != nullptr && o->Kind() == HandleKind::kStatement ? static_cast<StatementObject*>(o) : nullptr;
}

StatementObject& StatementOf(std::uint32_t handle) {
  if (StatementObject* s = FindStatement(handle)) return *s;
  if (Handles().WasClosedStatement(handle)) Fail(kStatementClosed, "The SQL statement " + std::to_string(handle) + " has been closed.");
  Fail(kInvalidHandle, "Invalid handle " + std::to_string(handle) + ".");
}

void CheckSqlText(std::string_view text) {
  const NumberedText numbered = NumberMarkers(text);
  if (OnlyBlanks(numbered.sql.c_str())) return;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    FailNative(SQLITE_CANTOPEN, "No SQL connection could be opened.");
  }
  sqlite3_stmt* statement = nullptr;
  const int rc = sqlite3_prepare_v2(db, numbered.sql.c_str(), -1, &statement, nullptr);
  const std::string message = rc == SQLITE_OK ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  sqlite3_close(db);
  // Only the text's form counts here: its tables and columns are checked when it is prepared.
  if (rc != SQLITE_OK && (message.find("syntax error") != std::string::npos ||
                          message.find("incomplete input") != std::string::npos ||
                          message.find("unrecognized token") != std::string::npos))
    FailNative(rc, message);
}

}  // namespace xbe::sql
