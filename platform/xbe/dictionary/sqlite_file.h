// A thin hold on an SQLite database file and its prepared statements; SQLite's failures become
// engine errors naming the file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace xbe::dictionary {

class SqliteFile {
 public:
  enum class Mode { kRead, kWrite, kCreate };
  // `displayName` names the file in error texts; `hostPath` is where it lies.
  SqliteFile(std::string displayName, const std::string& hostPath, Mode mode);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  void Execute(const char* sql);
  // Rows changed by the last statement.
  int Changes() const;
  const std::string& DisplayName() const { return name_; }
  sqlite3* Handle() const { return db_; }
  // Raises the engine error for the last SQLite failure: 6006 when the file is no database,
  // 6013 otherwise.
  [[noreturn]] void Raise(std::string_view doing) const;

 private:
  std::string name_;
  sqlite3* db_ = nullptr;
};

class SqliteStatement {
 public:
  SqliteStatement(const SqliteFile& file, const char* sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  SqliteStatement& Bind(int position, std::string_view text);
  SqliteStatement& BindBlob(int position, std::string_view bytes);
  SqliteStatement& Bind(int position, std::int64_t value);
  // True while a row is there; false when done. A constraint failure answers `constraint`.
  bool Step(bool* constraint = nullptr);
  std::string Text(int column) const;
  std::string Blob(int column) const;
  std::int64_t Integer(int column) const;

 private:
  const SqliteFile& file_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace xbe::dictionary
