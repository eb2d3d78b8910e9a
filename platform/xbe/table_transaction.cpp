// A table in its connection's transaction: joining at the first write, leaving at the end or
// when the table closes (transaction.h).
#include <cstring>

#include "platform/xbe/dbf_header.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/transaction.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_view.h"

namespace xbe {

void Table::JoinTransaction() {
  if (journal_) return;
  RefuseWriteUnderForeignJournal(names_);
  if (!transaction_) return;
  // The whole table, not only the records written: a rollback puts back shared bytes too (index
  // pages, the memo file's free block, the record count), which no other writer may change.
  heldFileLock_ = fileLocked_;
  LockFile();
  try {
    TableJournal& journal = transaction_->JournalFor(names_);
    dbf_.Watch(journal.Watch(names_.hostPath, names_.windowsName));
    if (memo_) {
      const TableNames memo = MemoFileNames(names_, header_.Memo(), IsXdt());
      memo_->File().Watch(journal.Watch(memo.hostPath, memo.windowsName));
    }
    for (RecordHook* h : hooks_) h->JoinTransaction(journal);
    journal_ = &journal;
  } catch (...) {
    dbf_.Watch(nullptr);
    if (memo_) memo_->File().Watch(nullptr);
    for (RecordHook* h : hooks_) h->TransactionEnded(false);
    if (!heldFileLock_) UnlockFile();
    throw;
  }
  modifiedAtJoin_ = modified_;
}

void Table::EndTransaction(bool rolledBack) {
  const bool joined = journal_ != nullptr;
  transaction_ = nullptr;
  journal_ = nullptr;
  dbf_.Watch(nullptr);
  if (memo_) memo_->File().Watch(nullptr);
  for (RecordHook* h : hooks_) h->TransactionEnded(rolledBack && joined);
  if (!joined) {
    // Edits made in the transaction but never written go with it.
    if (rolledBack && pending_ == Pending::kEdit) Cancel();
    return;
  }
  if (rolledBack) {
    pending_ = Pending::kNone;
    pendingMemos_.clear();
    appendLock_ = 0;  // the file lock covers it; the record itself is gone or put back
    modified_ = modifiedAtJoin_;
    readAhead_.Drop();
    header_.recordCount = ReadHeaderCount();
    knownCount_ = ReadableRecordCount(header_, dbf_.Size());
    if (IsXdt()) {
      char b[4];
      dbf_.ReadExact(12, b, 4);
      std::memcpy(&header_.xdtLastAutoInc, b, 4);
      lastAutoInc_ = header_.xdtLastAutoInc;
    }
    std::erase_if(lockedRecords_, [this](std::uint32_t r) { return r > knownCount_; });
    if (cursor_.OnRecord() && !Load(cursor_.recno)) SetAtEof();
    currentView_->Reset(&current_, cursor_.recno);
  }
  if (!heldFileLock_) UnlockFile();
}

void Table::LeaveTransactionOnClose() {
  if (!transaction_) return;
  Transaction* transaction = transaction_;
  transaction_ = nullptr;
  RawFile keep;
  if (journal_) {
    journal_ = nullptr;
    dbf_.Watch(nullptr);
    keep = std::move(dbf_);
  }
  transaction->Detach(*this, std::move(keep));
}

}  // namespace xbe
