// The journal of one table in a transaction: a file beside the table's data file
// (`<data file>.tjl`) holding the bytes that the transaction's writes overwrite in the table's
// files (data, memo, open index files) and each file's size at the start. Every before-image is
// synced before the write it protects, so the journal can always put the files back.
//
// A transaction over several tables has one journal per table; the first is its lead. The lead's
// committed mark is the transaction's commit point: a journal whose lead is marked committed is
// dropped, any other is undone. The owner holds an exclusive flock on each journal while it
// lives, so a journal nobody holds belongs to a process that ended inside its transaction.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/raw_file.h"
#include "platform/xbe/table_files.h"
#include "platform/xbe/write_watcher.h"

namespace xbe {

// Lets tests stop a process at a named step of a transaction (called after the step is done).
using TransactionFaults = std::function<void(std::string_view step)>;

// A new transaction's identifier (16 random bytes).
std::string NewTransactionId();

// Where the journal of a table's transaction lies.
std::string JournalPath(const TableNames& table);

class TableJournal {
 public:
  // Creates the journal of `table` (it must not exist: another's journal is never replaced),
  // synced with its folder. `leadPath` names the lead journal; empty: this one is the lead.
  // `transactionId` (16 bytes) tells this transaction's journals from a later one's that
  // happens to lie at the same place.
  TableJournal(const TableNames& table, const std::string& transactionId, std::string leadPath,
               const TransactionFaults* faults);
  ~TableJournal();
  TableJournal(const TableJournal&) = delete;
  TableJournal& operator=(const TableJournal&) = delete;

  const std::string& Path() const { return path_; }
  // The watcher that keeps the before-images of one of the table's files.
  WriteWatcher* Watch(const std::string& hostPath, const std::string& displayName);
  // Lead only: notes another table's journal, so that a committed lead can remove it.
  void AddParticipant(const std::string& journalPath);

  // Commit: the files' changes reach the disk; then (lead) the commit point.
  void SyncFiles();
  void MarkCommitted();
  // Rollback: every file back to its bytes and size at the start, synced.
  void Restore();
  // Removes the journal and syncs its folder.
  void Remove();

 private:
  class FileWatch;
  friend class FileWatch;
  void Append(std::uint8_t kind, const std::string& payload);
  void Sync();
  void Step(std::string_view step) const;

  std::string path_;
  std::string display_;
  RawFile file_;
  std::uint64_t end_ = 0;
  std::vector<std::unique_ptr<FileWatch>> watches_;
  const TransactionFaults* faults_;
};

// Undoes (or, when its transaction committed, drops) the journal of `table` left by a process
// that ended inside a transaction, under the table's exclusive lock. Nothing happens without a
// journal or while its owner still runs. Raises kTableInUse when the table is open elsewhere,
// so that no one works on uncommitted data.
void RecoverInterruptedTransaction(const TableNames& table);

// Before a write outside the transaction (if any) that owns the table's journal: refuses it
// (kRecordLocked) while a journal lies beside the table, a live transaction's or one that waits
// to be undone.
void RefuseWriteUnderForeignJournal(const TableNames& table);

}  // namespace xbe
