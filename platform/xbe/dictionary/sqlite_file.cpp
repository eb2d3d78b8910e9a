#include "platform/xbe/dictionary/sqlite_file.h"

#include <sqlite3.h>

#include "platform/xbe/errors.h"

namespace xbe::dictionary {

SqliteFile::SqliteFile(std::string displayName, const std::string& hostPath, Mode mode)
    : name_(std::move(displayName)) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  switch (mode) {
    case Mode::kRead: flags |= SQLITE_OPEN_READONLY; break;
    case Mode::kWrite: flags |= SQLITE_OPEN_READWRITE; break;
    case Mode::kCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
  }
  const int rc = sqlite3_open_v2(hostPath.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    if (rc == SQLITE_CANTOPEN)
      Fail(kFileNotFound, "The data dictionary " + name_ +
                              (mode == Mode::kCreate ? " cannot be created: its folder was not found."
                                                     : " was not found."));
    Fail(kIoError, "The data dictionary " + name_ + " cannot be opened: " + why + ".");
  }
  // Another process may be writing the dictionary: wait a little instead of failing at once.
  sqlite3_busy_timeout(db_, 5000);
}

SqliteFile::~SqliteFile() { sqlite3_close(db_); }

void SqliteFile::Raise(std::string_view doing) const {
  const int rc = sqlite3_errcode(db_) & 0xFF;
  const std::string why = sqlite3_errmsg(db_);
  if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
    Fail(kCorruptFile, "The data dictionary " + name_ + " is damaged or not a dictionary file (" + why + ").");
  if (rc == SQLITE_FULL) Fail(kDiskFull, "The disk is full: the data dictionary " + name_ + " cannot be written.");
  if (rc == SQLITE_READONLY) Fail(kReadOnly, "The data dictionary " + name_ + " cannot be written (" + why + ").");
  if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
    Fail(kRecordLocked, "The data dictionary " + name_ + " is locked by another user (" + why + ").");
  Fail(kIoError, "The data dictionary " + name_ + " failed while " + std::string(doing) + ": " + why + ".");
}

void SqliteFile::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Raise("running an update");
}

int SqliteFile::Changes() const { return sqlite3_changes(db_); }

SqliteStatement::SqliteStatement(const SqliteFile& file, const char* sql) : file_(file) {
  if (sqlite3_prepare_v2(file.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) file.Raise("reading");
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::Bind(int position, std::string_view text) {
  if (sqlite3_bind_text(stmt_, position, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
    file_.Raise("binding a value");
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int position, std::string_view bytes) {
  if (sqlite3_bind_blob(stmt_, position, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) !=
      SQLITE_OK)
    file_.Raise("binding a value");
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int position, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_, position, value) != SQLITE_OK) file_.Raise("binding a value");
  return *this;
}

bool SqliteStatement::Step(bool* constraint) {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  if ((rc & 0xFF) == SQLITE_CONSTRAINT && constraint != nullptr) {
    *constraint = true;
    return false;
  }
  file_.Raise("reading or writing");
}

std::string SqliteStatement::Text(int column) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

std::string SqliteStatement::Blob(int column) const {
  const void* p = sqlite3_column_blob(stmt_, column);
  return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
           : std::string();
}

std::int64_t SqliteStatement::Integer(int column) const { return sqlite3_column_int64(stmt_, column); }

}  // namespace xbe::dictionary
