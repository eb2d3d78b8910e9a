// A table handle's write intent (write_intent.h): its entries around every change, and the data
// file's part of recovering a dead process's change (its reserved append).
#include "platform/xbe/table.h"
#include "platform/xbe/table_header_lock.h"
#include "platform/xbe/table_view.h"
#include "platform/xbe/write_intent.h"

namespace xbe {

WriteIntent* Table::IntentInFlight() const { return intent_ && intent_->InFlight() ? intent_.get() : nullptr; }

void Table::RecordIntent(std::uint32_t recno, RecordChange change, const RecordView* before, const RecordView* after) {
  if (journal_ || noIntent_) return;
  if (!intent_) {
    intent_ = WriteIntent::Create(names_);
    if (!intent_) {
      noIntent_ = true;
      return;
    }
  }
  IntentEntry& entry = intent_->Begin(recno, change);
  for (RecordHook* h : hooks_) h->Announce(change, before, after, entry);
  bool moves = change == RecordChange::kAppend;
  for (const IntentFile& f : entry.files) moves = moves || !f.keys.empty();
  // A write that moves no key leaves nothing to repair: the record itself is one write.
  if (moves) intent_->Record();
}

void Table::IntentDone() {
  if (intent_) intent_->Done();
}

void Table::IntentUndone() noexcept {
  try {
    if (pending_ == Pending::kAppend) RecordIntent(cursor_.recno, RecordChange::kAppend, nullptr, nullptr);
    else IntentDone();
  } catch (...) {  // the entry stays in flight: recovery repeats what it names
  }
}

void Table::WithStoredRecord(std::uint32_t recno, const std::function<void(const RecordView*)>& visit) {
  readAhead_.Drop();
  std::string image(header_.recordLength, ' ');
  if (recno == 0 || recno > RecordCount() ||
      dbf_.ReadAt(RecordOffset(recno), image.data(), image.size()) != image.size())
    return visit(nullptr);
  ImageView view(*this, &image, recno);
  visit(&view);
}

void Table::RecoverInterruptedWrites() {
  for (DeadIntent& dead : DeadIntent::Find(names_)) {
    RecoverInterruptedAppend(dead);
    dead.RemoveWhenFinished();
  }
}

void Table::RecoverInterruptedAppend(DeadIntent& dead) {
  if (dead.TableDone() || dead.Entry().change != RecordChange::kAppend) return;
  const std::uint32_t recno = dead.Entry().recno;
  {
    HeaderLock lock(*this);
    readAhead_.Drop();
    header_.recordCount = ReadHeaderCount();
    const std::uint32_t count = header_.recordCount;
    const std::uint64_t at = RecordOffset(recno);
    auto takeBack = [&] {
      dbf_.Truncate(at);
      dbf_.WriteAt(at, "\x1A", 1);
    };
    if (count + 1 == recno) {
      // Killed between the reserved record and the count: the bytes after the count go.
      if (dbf_.Size() > at + 1) takeBack();
    } else if (count >= recno && dbf_.Size() >= at + header_.recordLength) {
      std::string image = ReadImage(recno);
      std::string blank = NullRecord();
      // The reserved image, but for the auto-increment values it was given.
      for (const FieldDesc& f : header_.schema.fields)
        if (f.code == kAutoInc) blank.replace(f.offset, f.length, image, f.offset, f.length);
      if (image == blank) {
        if (count == recno) {
          WriteHeaderCount(recno - 1);
          takeBack();
        } else {
          image[0] = '*';
          dbf_.WriteAt(at, image.data(), image.size());
        }
      }
    }
    knownCount_ = ReadableRecordCount(header_, dbf_.Size());
  }
  dead.MarkTableDone();
}

}  // namespace xbe
