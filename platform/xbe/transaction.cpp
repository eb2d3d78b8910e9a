#include "platform/xbe/transaction.h"

#include "platform/xbe/errors.h"
#include "platform/xbe/table.h"

namespace xbe {

Transaction::~Transaction() {
  try {
    Rollback();
  } catch (const std::exception&) {
    // The journals stay; the tables are put back when they are next opened.
    End(true);
  }
}

void Transaction::Attach(Table& table) {
  attached_.insert(&table);
  table.SetTransaction(this);
}

void Transaction::Detach(Table& table, RawFile keepOpen) {
  attached_.erase(&table);
  if (keepOpen.IsOpen()) kept_.push_back(std::move(keepOpen));
}

TableJournal& Transaction::JournalFor(const TableNames& table) {
  const std::string lead = journals_.empty() ? std::string() : journals_.front()->Path();
  auto journal = std::make_unique<TableJournal>(table, id_, lead, faults_);
  if (!journals_.empty()) {
    try {
      journals_.front()->AddParticipant(journal->Path());
    } catch (...) {
      journal->Remove();
      throw;
    }
  }
  journals_.push_back(std::move(journal));
  return *journals_.back();
}

void Transaction::Commit() {
  for (Table* t : attached_) t->Write();
  for (auto& j : journals_) j->SyncFiles();
  if (!journals_.empty()) journals_.front()->MarkCommitted();
  // Committed. The other journals go before the lead, which tells a recovery until then that
  // they belong to a committed transaction; a journal that cannot be removed keeps the lead.
  bool allRemoved = true;
  for (std::size_t i = 1; i < journals_.size(); ++i) {
    try {
      journals_[i]->Remove();
    } catch (const std::exception&) {
      allRemoved = false;
    }
  }
  if (allRemoved && !journals_.empty()) {
    try {
      journals_.front()->Remove();
    } catch (const std::exception&) {
      // Left for the next open, which finds it committed and removes it.
    }
  }
  End(false);
}

void Transaction::Rollback() {
  for (auto& j : journals_) j->Restore();
  for (std::size_t i = 1; i < journals_.size(); ++i) journals_[i]->Remove();
  if (!journals_.empty()) journals_.front()->Remove();
  End(true);
}

void Transaction::End(bool rolledBack) {
  const std::set<Table*> tables = std::move(attached_);
  attached_.clear();
  for (Table* t : tables) {
    try {
      t->EndTransaction(rolledBack);
    } catch (const std::exception&) {
      // The table reads its files afresh at its next move.
    }
  }
  journals_.clear();
  kept_.clear();
}

}  // namespace xbe
