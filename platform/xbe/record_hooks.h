// Observers of record changes: open index orders register here to keep their keys current.
// Every append, write, delete and recall of a table handle calls BeforeChange (which may refuse
// the change by raising xbe::Error, a unique key for instance), then Lock on every hook, then
// Announce (the write intent's entry), then ApplyChange with the stored image before the change (none for an append) and the new one,
// and only then writes the record. When a hook's Lock or ApplyChange raises, or the record
// cannot be written, the hooks that applied the change (the failing one too) are told to Undo
// it, so that the table and the hooks' files stay as they were. Unlock ends every change.
#pragma once
#include "platform/xbe/record_view.h"

namespace xbe {

class TableJournal;
struct IntentEntry;

enum class RecordChange { kAppend, kWrite, kDelete, kRecall };

class RecordHook {
 public:
  virtual ~RecordHook() = default;
  virtual void BeforeChange(RecordChange change, const RecordView* before, const RecordView& after) = 0;
  virtual void Lock() {}
  // After Lock, before anything is written: what ApplyChange will do to this hook's files, for
  // the table's write intent (write_intent.h). Without `after` (an append reserving its record)
  // only the files are named.
  virtual void Announce(RecordChange, const RecordView* /*before*/, const RecordView* /*after*/, IntentEntry&) {}
  virtual void ApplyChange(RecordChange change, const RecordView* before, const RecordView& after) = 0;
  virtual void Undo() {}
  virtual void Unlock() {}
  // Hooks that write files of their own let a transaction the table joins watch them, and hear
  // when it ends (after a rollback their files hold their earlier bytes again).
  virtual void JoinTransaction(TableJournal&) {}
  virtual void TransactionEnded(bool /*rolledBack*/) {}
};

// A condition on records (filters); navigation skips records it rejects.
class RecordFilter {
 public:
  virtual ~RecordFilter() = default;
  virtual bool Accepts(const RecordView& record) = 0;
};

}  // namespace xbe
