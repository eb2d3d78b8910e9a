// An SQL statement handle: its options, its prepared text in an SQL connection of its own, the
// values of its parameters and the rows its last execution affected.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/handles.h"
#include "platform/xbe/sql/sql_value.h"

namespace xbe::sql {

class PreparedSql;

struct StatementOptions {
  std::uint16_t tableType = 1;
  std::uint16_t charType = 1;
  std::uint16_t lockType = 0;
  std::uint16_t rights = 1;
  std::uint16_t readOnly = 1;  // 1 read-only cursors, 2 live (writable) where the statement allows
  std::uint16_t constrain = 2;
  std::uint16_t readAllColumns = 2;
};

class StatementObject final : public HandleObject {
 public:
  StatementObject(std::uint32_t connection, std::string directory);
  ~StatementObject() override;
  HandleKind Kind() const override { return HandleKind::kStatement; }

  StatementOptions& Options() { return options_; }

  // Prepares `text` (parameter markers ":name" by position); the parameters start without
  // values. A text that does not prepare leaves the statement unprepared.
  void Prepare(std::string_view text);
  // Runs the prepared text with the parameters' values; a SELECT gives a cursor (a table
  // handle), when the caller wants one.
  std::uint32_t Execute(bool wantsCursor);

  // Parameter `position` (from 1) of the prepared text.
  void SetParameter(std::uint32_t position, SqlValue value);
  // A piece of a binary parameter of `total` bytes, at `offset`.
  void SetBinaryPiece(std::uint32_t position, std::uint32_t total, std::uint32_t offset, std::string_view piece);

  // Rows changed by the last execution of an INSERT, UPDATE or DELETE.
  const std::optional<std::uint32_t>& AffectedRows() const { return affected_; }
  // The auto-increment value its last INSERT was given; 0 when none was.
  std::uint32_t LastAutoInc() const { return lastAutoInc_; }

 private:
  SqlValue& Parameter(std::uint32_t position);

  std::uint32_t connection_;
  std::string directory_;
  StatementOptions options_;
  std::unique_ptr<PreparedSql> prepared_;
  std::vector<std::optional<SqlValue>> parameters_;
  std::optional<std::uint32_t> affected_;
  std::uint32_t lastAutoInc_ = 0;
};

// The statement behind a handle; 5106 for one that was closed.
StatementObject& StatementOf(std::uint32_t handle);
// Null when the handle is not a statement.
StatementObject* FindStatement(std::uint32_t handle);

// Whether `text` reads as SQL with parameter markers (its tables need not exist); raises 7200
// for one that does not.
void CheckSqlText(std::string_view text);

}  // namespace xbe::sql
