// The current record: reading fields, editing, appending, writing, deleting and cancelling.
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/xbe/crc32.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_header_lock.h"
#include "platform/xbe/transaction.h"
#include "platform/xbe/table_view.h"

namespace xbe {

// One record change through the hooks, all or nothing (record_hooks.h): the hooks' locks first,
// then their changes, then the record; unless Done() is reached, what was applied is undone.
class Table::ChangeBracket {
 public:
  // `table`'s write intent is settled when the change is undone in full.
  ChangeBracket(Table& table, const std::vector<RecordHook*>& hooks) : table_(table) {
    try {
      for (RecordHook* h : hooks) {
        h->Lock();
        locked_.push_back(h);
      }
    } catch (...) {
      Release();
      throw;
    }
  }
  ~ChangeBracket() {
    if (!done_) {
      bool undone = true;
      for (auto it = applied_.rbegin(); it != applied_.rend(); ++it) {
        try {
          (*it)->Undo();
        } catch (...) {  // the change's own error is the one to report
          undone = false;
        }
      }
      if (undone) table_.IntentUndone();
    }
    Release();
  }
  ChangeBracket(const ChangeBracket&) = delete;
  ChangeBracket& operator=(const ChangeBracket&) = delete;

  void Apply(RecordChange change, const RecordView* before, const RecordView& after) {
    for (RecordHook* h : locked_) {
      applied_.push_back(h);
      h->ApplyChange(change, before, after);
    }
  }
  void Done() { done_ = true; }

 private:
  void Release() {
    for (auto it = locked_.rbegin(); it != locked_.rend(); ++it) {
      try {
        (*it)->Unlock();
      } catch (...) {
      }
    }
    locked_.clear();
  }
  Table& table_;
  std::vector<RecordHook*> locked_, applied_;
  bool done_ = false;
};

void Table::NoCurrentRecord() { Fail(kNoCurrentRecord, ""); }

const RecordView& Table::CurrentView() const {
  const std::string& image = CurrentImage();
  currentView_->Reset(&image, cursor_.recno);
  return *currentView_;
}

void Table::Refresh() {
  if (!cursor_.OnRecord()) Fail(kNoCurrentRecord, "");
  if (pending_ != Pending::kNone) return;
  readAhead_.Drop();
  if (!Load(cursor_.recno)) SetAtEof();
}

void Table::CacheRecords(std::uint16_t records) {
  if (exclusive_) return;
  readAhead_.SetBlockSize(records > 1 ? static_cast<std::size_t>(records) * header_.recordLength : 0);
}

std::uint32_t Table::RecordCrc() {
  if (!cursor_.OnRecord()) Fail(kNoCurrentRecord, "");
  // From the file, so that another user's write changes it.
  return Crc32(ReadImage(cursor_.recno));
}

void Table::RequireWritable() const {
  if (refusalCode_ != 0) Fail(refusalCode_, refusalText_);
  if (!writable_) Fail(kReadOnly, "The table " + names_.windowsName + " is open read-only.");
}

std::string& Table::EditImage() {
  BeginEdit();
  return pendingImage_;
}

void Table::BeginEdit() {
  RequireWritable();
  if (pending_ != Pending::kNone) return;
  if (!cursor_.OnRecord()) Fail(kNoCurrentRecord, "");
  pendingImage_ = current_;
  pendingMemos_.clear();
  pending_ = Pending::kEdit;
}

std::string Table::GetFieldText(std::size_t index) {
  const FieldDesc& f = Field(index);
  const std::string& image = CurrentImage();
  if (IsMemoCode(f.code)) return GetMemo(index).data;
  std::string text = FieldText(f, image.data() + f.offset, IsXdt());
  if (IsCharacterCode(f.code)) text = ToAnsi(text);
  return text;
}

std::optional<std::string_view> Table::FieldTextInPlace(std::size_t index) {
  const FieldDesc& f = Field(index);
  if (IsMemoCode(f.code) || (IsCharacterCode(f.code) && charType_ == CharType::kOem)) return std::nullopt;
  return xbe::FieldTextInPlace(f, CurrentImage().data() + f.offset, IsXdt());
}

void Table::PlanFieldReads() {
  fieldPlans_.clear();
  for (const FieldDesc& f : header_.schema.fields) {
    // Memos, text converted from OEM and the other types take the general path.
    FieldPlan plan{f.offset, f.length, FieldRead::kGeneral};
    const bool converted = IsMemoCode(f.code) || (IsCharacterCode(f.code) && charType_ == CharType::kOem);
    if (converted) plan.read = FieldRead::kGeneral;
    else if (IsCharacterCode(f.code) || f.code == kRaw) plan.read = FieldRead::kWhole;
    else if (f.code == kNumericText) plan.read = FieldRead::kTrimmed;
    else if (f.code == kLogical && f.length == 1) plan.read = FieldRead::kLogical;
    else if (f.code == kDate && f.length == 8) plan.read = FieldRead::kDate;
    fieldPlans_.push_back(plan);
  }
}

MemoBlob Table::GetMemo(std::size_t index) {
  const FieldDesc& f = Field(index);
  if (!IsMemoCode(f.code)) Fail(kInvalidArgument, "The field " + f.name + " is not a memo field.");
  return CurrentView().Memo(index);
}

void Table::SetFieldText(std::size_t index, std::string_view text) {
  const FieldDesc& f = Field(index);
  if (IsMemoCode(f.code)) return SetMemo(index, text);
  if (f.code == kAutoInc) Fail(kInvalidArgument, "The auto-increment field " + f.name + " cannot be written.");
  std::string& image = EditImage();
  if (IsCharacterCode(f.code)) {
    const std::string oem = ToOem(text.substr(0, std::min<std::size_t>(text.size(), f.length)));
    StoreFieldText(f, image.data() + f.offset, oem, IsXdt());
  } else {
    StoreFieldText(f, image.data() + f.offset, text, IsXdt());
  }
}

void Table::SetFieldRaw(std::size_t index, std::string_view bytes) {
  const FieldDesc& f = Field(index);
  if (IsMemoCode(f.code))
    Fail(kInvalidArgument, "The memo field " + f.name + " takes its contents, not raw bytes.");
  if (bytes.size() > f.length)
    Fail(kInvalidValue, "The value for field " + f.name + " is " + std::to_string(bytes.size()) +
                            " bytes long; the field holds " + std::to_string(f.length) + ".");
  std::string& image = EditImage();
  char* p = image.data() + f.offset;
  std::memcpy(p, bytes.data(), bytes.size());
  const bool binary = !(IsCharacterCode(f.code) || f.code == kNumericText || f.code == kLogical ||
                        (f.code == kDate && f.length != 4));
  std::memset(p + bytes.size(), binary || IsXdt() ? 0 : ' ', f.length - bytes.size());
}

void Table::SetFieldEmpty(std::size_t index) {
  const FieldDesc& f = Field(index);
  if (IsMemoCode(f.code)) return SetMemo(index, {});
  std::string& image = EditImage();
  WriteBlankValue(f, image.data() + f.offset, IsXdt());
}

void Table::SetMemo(std::size_t index, std::string_view data) {
  const FieldDesc& f = Field(index);
  if (!IsMemoCode(f.code)) Fail(kInvalidArgument, "The field " + f.name + " is not a memo field.");
  if (!memo_) Fail(kCorruptFile, "The table " + names_.windowsName + " has no memo file.");
  BeginEdit();
  MemoBlob blob;
  blob.text = f.code == kMemo || f.code == kVarMemo;
  blob.data = blob.text ? ToOem(data) : std::string(data);
  if (!blob.text && !memo_->StoresBinary())
    Fail(kUnsupported, "The memo file of table " + names_.windowsName + " cannot store binary contents.");
  if (blob.text && !memo_->StoresBinary() && blob.data.find('\x1A') != std::string::npos)
    Fail(kInvalidValue, "The memo text for field " + f.name +
                            " holds the byte 0x1A, which ends a memo in this table's memo file.");
  pendingMemos_[index] = std::move(blob);
}

bool Table::IsFieldEmpty(std::size_t index) {
  const FieldDesc& f = Field(index);
  if (IsMemoCode(f.code) && pending_ != Pending::kNone) {
    auto it = pendingMemos_.find(index);
    if (it != pendingMemos_.end()) return it->second.data.empty();
  }
  const std::string& image = CurrentImage();
  return IsBlankValue(f, image.data() + f.offset, IsXdt());
}

std::uint32_t Table::ReadHeaderCount() {
  char c[4];
  dbf_.ReadExact(4, c, 4);
  std::uint32_t count;
  std::memcpy(&count, c, 4);
  return count;
}

void Table::WriteHeaderCount(std::uint32_t count) {
  header_.recordCount = count;
  char c[4];
  std::memcpy(c, &count, 4);
  dbf_.WriteAt(4, c, 4);
  knownCount_ = count;
}

std::uint32_t Table::NextAutoInc() {
  char b[4];
  dbf_.ReadExact(12, b, 4);
  std::uint32_t last;
  std::memcpy(&last, b, 4);
  ++last;
  std::memcpy(b, &last, 4);
  dbf_.WriteAt(12, b, 4);
  header_.xdtLastAutoInc = last;
  return last;
}

void Table::Append() {
  RequireWritable();
  FlushPending();
  JoinTransaction();
  std::string image = NullRecord();
  std::uint32_t recno;
  {
    HeaderLock lock(*this);
    const std::uint64_t fileSize = dbf_.Size();
    header_.recordCount = ReadHeaderCount();
    const std::uint32_t count = ReadableRecordCount(header_, fileSize);
    if (count == 0xFFFFFFFEu) Fail(kDiskFull, "The table " + names_.windowsName + " is full.");
    recno = count + 1;
    // The new record's lock before anything is written: under another program's file lock
    // (or its lock on that record) the append fails with the table as it was.
    const ByteRange r = scheme_->Record(recno);
    const bool lockRecord = !exclusive_ && !fileLocked_;
    if (lockRecord && !dbf_.TryLock(r.start, r.length, true))
      Fail(kRecordLocked, "The table " + names_.windowsName + " is locked by another user; no record can be appended.");
    try {
      // The reserved record is in flight until it is written or cancelled: a process killed
      // meanwhile leaves it to be taken back, or kept blank and deleted with its keys.
      RecordIntent(recno, RecordChange::kAppend, nullptr, nullptr);
      if (IsXdt())
        for (const auto& f : header_.schema.fields)
          if (f.code == kAutoInc) {
            lastAutoInc_ = NextAutoInc();
            std::memcpy(image.data() + f.offset, &lastAutoInc_, 4);
          }
      // Reserve the record in the file at once, so its number is ours whoever appends next.
      std::string bytes = image;
      bytes += '\x1A';
      readAhead_.Drop();
      dbf_.WriteAt(RecordOffset(recno), bytes.data(), bytes.size());
      WriteHeaderCount(recno);
    } catch (...) {
      IntentDone();
      if (lockRecord) dbf_.Unlock(r.start, r.length);
      throw;
    }
    if (!exclusive_) appendLock_ = recno;
  }
  modifiedBeforeAppend_ = modified_;
  modified_ = true;
  cursor_.recno = recno;
  cursor_.bof = cursor_.eof = false;
  current_ = image;
  pendingImage_ = image;
  pendingMemos_.clear();
  pending_ = Pending::kAppend;
}

void Table::FlushPending() {
  if (pending_ != Pending::kNone) Write();
}

void Table::Write() {
  if (pending_ == Pending::kNone) return;
  RequireWritable();
  JoinTransaction();
  const std::uint32_t recno = cursor_.recno;
  bool tempLock = false;
  const ByteRange range = scheme_->Record(recno);
  if (!exclusive_ && !fileLocked_ && !lockedRecords_.count(recno) && appendLock_ != recno) {
    if (!dbf_.TryLock(range.start, range.length, true))
      Fail(kRecordLocked, "Record " + std::to_string(recno) + " of table " + names_.windowsName +
                              " is locked by another user.");
    tempLock = true;
  }
  struct Unlock {
    Table& t;
    bool on;
    ByteRange r;
    ~Unlock() {
      if (on) t.dbf_.Unlock(r.start, r.length);
    }
  } unlock{*this, tempLock, range};

  const std::string stored = ReadImage(recno);
  RecordChange change = RecordChange::kWrite;
  if (pending_ == Pending::kAppend) change = RecordChange::kAppend;
  else if (stored[0] != '*' && pendingImage_[0] == '*') change = RecordChange::kDelete;
  else if (stored[0] == '*' && pendingImage_[0] != '*') change = RecordChange::kRecall;
  ImageView before(*this, &stored, recno);
  const RecordView* beforeView = change == RecordChange::kAppend ? nullptr : &before;
  // Pending memos show through the view.
  ImageView proposed(*this, &pendingImage_, recno);
  // Hooks may refuse before anything reaches the files.
  for (RecordHook* h : hooks_) h->BeforeChange(change, beforeView, proposed);
  ChangeBracket bracket(*this, hooks_);
  // Before the memos and keys: the change is named in the write intent.
  RecordIntent(recno, change, beforeView, &proposed);
  std::string image = pendingImage_;
  // Memo writes are undone when the record is not written after all: a reused block run held
  // the stored record's memo. The header lock stays until then, so that no other writer's
  // memo lands in what the undo cuts off.
  std::optional<HeaderLock> memoLock;
  struct MemoUndo {
    MemoStore* memo = nullptr;
    ~MemoUndo() {
      if (memo) memo->UndoChanges();
    }
  } memoUndo;
  if (!pendingMemos_.empty()) {
    memoLock.emplace(*this);
    memo_->BeginChanges();
    memoUndo.memo = memo_.get();
    for (auto& [index, blob] : pendingMemos_) {
      const FieldDesc& f = Field(index);
      const std::uint32_t old = DecodeMemoReference(std::string_view(stored).substr(f.offset, f.length));
      const std::uint32_t block = memo_->Write(old, blob);
      EncodeMemoReference(block, image.data() + f.offset, f.length);
    }
  }
  ImageView after(*this, &image, recno);
  // The keys first: their locks and page writes are what may fail, the record's place is ours.
  bracket.Apply(change, beforeView, after);
  readAhead_.Drop();
  dbf_.WriteAt(RecordOffset(recno), image.data(), image.size());
  bracket.Done();
  IntentDone();
  if (memoUndo.memo) {
    memo_->KeepChanges();
    memoUndo.memo = nullptr;
  }
  memoLock.reset();
  modified_ = true;
  current_ = image;
  pending_ = Pending::kNone;
  pendingMemos_.clear();
  ReleaseAppendLock(recno);
  currentView_->Reset(&current_, recno);
}

void Table::Delete() {
  std::string& image = EditImage();
  image[0] = '*';
}

void Table::Recall() {
  std::string& image = EditImage();
  image[0] = ' ';
}

bool Table::Cancel() {
  if (pending_ == Pending::kNone) return false;
  const Pending was = pending_;
  pending_ = Pending::kNone;
  pendingMemos_.clear();
  if (was == Pending::kAppend) {
    const std::uint32_t recno = cursor_.recno;
    struct Finish {
      Table& t;
      std::uint32_t recno;
      ~Finish() {
        t.ReleaseAppendLock(recno);
        t.SetAtEof();
      }
    } finish{*this, recno};
    bool stays = false;
    {
      HeaderLock lock(*this);
      if (ReadHeaderCount() == recno) {
        // Still the last record: take it back.
        readAhead_.Drop();
        WriteHeaderCount(recno - 1);
        const std::uint64_t end = RecordOffset(recno);
        dbf_.Truncate(end);
        dbf_.WriteAt(end, "\x1A", 1);
        modified_ = modifiedBeforeAppend_;
        IntentDone();
      } else {
        stays = true;
      }
    }
    if (stays) {
      // Others appended after it: it stays, blank and deleted, and belongs in the open orders
      // like any other record (its place is ours: no header lock needed).
      std::string image = NullRecord();
      image[0] = '*';
      ChangeBracket bracket(*this, hooks_);
      ImageView view(*this, &image, recno);
      RecordIntent(recno, RecordChange::kAppend, nullptr, &view);
      bracket.Apply(RecordChange::kAppend, nullptr, view);
      readAhead_.Drop();
      dbf_.WriteAt(RecordOffset(recno), image.data(), image.size());
      bracket.Done();
      IntentDone();
    }
  } else {
    currentView_->Reset(&current_, cursor_.recno);
  }
  return true;
}

void Table::DropFailedPending() noexcept {
  const bool append = pending_ == Pending::kAppend;
  const std::uint32_t recno = cursor_.recno;
  try {
    Cancel();
    return;
  } catch (...) {
  }
  if (!append) return;
  // Its keys cannot be written either (the orders refused the record's): the reserved record
  // stays blank and deleted, out of every view, rather than a blank record no order lists.
  try {
    std::string image = NullRecord();
    image[0] = '*';
    readAhead_.Drop();
    dbf_.WriteAt(RecordOffset(recno), image.data(), image.size());
  } catch (...) {
  }
}

void Table::ReleaseAppendLock(std::uint32_t recno) {
  if (appendLock_ != recno || recno == 0) return;
  if (!fileLocked_ && !lockedRecords_.count(recno)) {
    const ByteRange r = scheme_->Record(recno);
    dbf_.Unlock(r.start, r.length);
  }
  appendLock_ = 0;
}

void Table::LockRecord(std::uint32_t recno) {
  if (recno == 0) {
    if (!cursor_.OnRecord()) Fail(kNoCurrentRecord, "");
    recno = cursor_.recno;
  }
  if (refusalCode_ != 0) RequireWritable();
  if (exclusive_) return;
  RequireWritable();
  if (recno > RecordCount()) Fail(kRecordUnreachable, "");
  if (lockedRecords_.count(recno)) return;
  // Another handle of this table already wrote in our transaction and holds the file lock for
  // both: this one joins under it instead of colliding with its own process's lock.
  if (!fileLocked_ && transaction_ && transaction_->JoinedJournal(names_)) JoinTransaction();
  const ByteRange r = scheme_->Record(recno);
  if (!fileLocked_ && appendLock_ != recno && !dbf_.TryLock(r.start, r.length, true))
    Fail(kRecordLocked, "Record " + std::to_string(recno) + " of table " + names_.windowsName +
                            " is locked by another user.");
  lockedRecords_.insert(recno);
  readAhead_.Drop();  // what is read under the lock comes from the file
}

void Table::UnlockRecord(std::uint32_t recno) {
  if (recno == 0) recno = cursor_.recno;
  if (!lockedRecords_.erase(recno)) return;
  if (!fileLocked_ && appendLock_ != recno) {
    const ByteRange r = scheme_->Record(recno);
    dbf_.Unlock(r.start, r.length);
  }
}

void Table::LockFile() {
  if (refusalCode_ != 0) RequireWritable();
  if (journal_) heldFileLock_ = true;  // the transaction holds it already; it stays after
  if (exclusive_ || fileLocked_) return;
  RequireWritable();
  const ByteRange r = scheme_->File();
  if (!dbf_.TryLock(r.start, r.length, true))
    Fail(kRecordLocked, "The table " + names_.windowsName + " has records locked by another user.");
  fileLocked_ = true;
  readAhead_.Drop();
}

void Table::UnlockFile() {
  if (journal_) {  // released when the transaction ends
    heldFileLock_ = false;
    return;
  }
  if (!fileLocked_) return;
  const ByteRange r = scheme_->File();
  dbf_.Unlock(r.start, r.length);
  fileLocked_ = false;
  // The records this handle locked on their own stay locked.
  for (std::uint32_t recno : lockedRecords_) {
    const ByteRange rr = scheme_->Record(recno);
    dbf_.TryLock(rr.start, rr.length, true);
  }
  if (appendLock_ != 0) {
    const ByteRange rr = scheme_->Record(appendLock_);
    dbf_.TryLock(rr.start, rr.length, true);
  }
}

}  // namespace xbe
