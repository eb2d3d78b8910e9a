// A connection's transaction in local mode. The tables of the connection are attached while it
// runs; a table joins at its first write: its file lock is taken (so no other writer changes
// the files that a rollback puts back byte for byte, and the records it writes stay locked until
// the end), and a journal beside it keeps what the writes overwrite (transaction_journal.h).
// Commit syncs the files, marks the lead journal committed and removes the journals; rollback
// writes the kept bytes back. A transaction that is dropped while running is rolled back.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/xbe/raw_file.h"
#include "platform/xbe/table_files.h"
#include "platform/xbe/transaction_journal.h"

namespace xbe {

class Table;

class Transaction {
 public:
  explicit Transaction(const TransactionFaults* faults = nullptr) : faults_(faults), id_(NewTransactionId()) {}
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Attach(Table& table);
  // A table closing inside the transaction: its data file descriptor (and with it the table's
  // locks) stays open until the end.
  void Detach(Table& table, RawFile keepOpen);
  // A new journal for a table that joins.
  TableJournal& JournalFor(const TableNames& table);

  // Pending records of the attached tables are written first. A failure before the commit point
  // leaves the transaction running; after it, the transaction is committed.
  void Commit();
  // Pending changes are dropped; a failure leaves the transaction running (and its journals).
  void Rollback();

 private:
  void End(bool rolledBack);

  const TransactionFaults* faults_;
  std::string id_;
  std::set<Table*> attached_;
  std::vector<std::unique_ptr<TableJournal>> journals_;  // the lead first
  std::vector<RawFile> kept_;
};

}  // namespace xbe
