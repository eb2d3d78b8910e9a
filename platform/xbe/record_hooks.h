// Observers of record changes: open index orders register here to keep their keys current.
// Every append, write, delete and recall of a table handle calls BeforeChange (which may refuse
// the change by raising xbe::Error, a unique key for instance) and AfterChange once the record
// is in the file, with the stored image before the change (none for an append) and the new one.
#pragma once
#include "platform/xbe/record_view.h"

namespace xbe {

enum class RecordChange { kAppend, kWrite, kDelete, kRecall };

class RecordHook {
 public:
  virtual ~RecordHook() = default;
  virtual void BeforeChange(RecordChange change, const RecordView* before, const RecordView& after) = 0;
  virtual void AfterChange(RecordChange change, const RecordView* before, const RecordView& after) = 0;
};

// A condition on records (filters); navigation skips records it rejects.
class RecordFilter {
 public:
  virtual ~RecordFilter() = default;
  virtual bool Accepts(const RecordView& record) = 0;
};

}  // namespace xbe
