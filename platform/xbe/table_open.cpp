// Opening and closing a table handle, its structure and counts.
#include <cstring>

#include "platform/rtl/codepage.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/settings.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_view.h"
#include "platform/xbe/transaction_journal.h"
#include "platform/xbe/write_intent.h"

namespace xbe {

std::unique_ptr<Table> Table::Open(const OpenRequest& request) {
  if (request.name.empty()) Fail(kInvalidArgument, "No table name was given.");
  std::unique_ptr<Table> t(new Table());
  t->type_ = request.type;
  t->charType_ = request.charType;
  t->lockType_ = request.lockType;
  t->exclusive_ = (request.options & kOpenExclusive) != 0;
  t->options_ = request.options;
  t->names_ = DataFileNames(request.name, request.type);
  bool writable = (request.options & kOpenReadOnly) == 0;
  const bool wantedWritable = writable;
  RecoverInterruptedTransaction(t->names_);
  t->dbf_ = OpenDataFile(t->names_, t->exclusive_ ? ShareMode::kExclusive : ShareMode::kShared, writable,
                         request.rightsChecking);
  t->writable_ = writable;
  t->forcedReadOnly_ = wantedWritable && !writable;

  const std::uint64_t size = t->dbf_.Size();
  std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, 32)), '\0');
  t->dbf_.ReadAt(0, head.data(), head.size());
  if (head.size() >= 10) {
    const std::size_t headerLength = static_cast<unsigned char>(head[8]) | static_cast<unsigned char>(head[9]) << 8;
    head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, std::max<std::size_t>(headerLength, 32))));
    t->dbf_.ReadAt(0, head.data(), head.size());
  }
  t->header_ = ParseDbfHeader(head, size, t->names_.windowsName);
  if ((request.type == TableType::kXdt) != t->header_.IsXdt())
    Fail(kUnsupported, "The file " + t->names_.windowsName + " is not a table of type " +
                           std::to_string(static_cast<int>(request.type)) + ".");
  t->lastAutoInc_ = t->header_.xdtLastAutoInc;
  t->PlanFieldReads();

  const MemoKind memo = t->header_.Memo();
  if (memo != MemoKind::kNone) {
    const TableNames memoNames = MemoFileNames(t->names_, memo, t->header_.IsXdt());
    RawFile memoFile;
    if (!memoFile.Open(memoNames.hostPath, t->writable_, memoNames.windowsName))
      Fail(kFileNotFound, "The memo file " + memoNames.windowsName + " of table " + t->names_.windowsName +
                              " was not found.");
    t->memo_ = memo == MemoKind::kFpt ? OpenFptMemo(std::move(memoFile))
                                       : OpenDbtMemo(std::move(memoFile), t->header_.version == 0x8B);
  }
  // We hold the sharing lock, so no restructure of this table is running: its leftovers go.
  if (t->writable_) RemoveRestructureLeftovers(t->names_);

  t->scheme_ = std::make_unique<LockScheme>(t->lockType_, t->type_);
  // A process killed inside an append left its reserved record: settled before anyone reads.
  if (t->writable_) t->RecoverInterruptedWrites();
  Table* self = t.get();
  t->natural_ = std::make_unique<NaturalOrder>([self] { return self->RecordCount(); },
                                               [self] { return self->KnownRecordCount(); });
  if (t->exclusive_) t->readAhead_.SetBlockSize(RecordReadAhead::kMinBlock);
  t->currentView_ = std::make_unique<ImageView>(*self, &self->current_, 0);
  t->current_ = t->NullRecord();
  t->GotoTop(*t->natural_);
  return t;
}

Table::~Table() {
  try {
    Close();
  } catch (const std::exception&) {
    // Closing must not raise from a destructor; the files are released regardless.
  }
}

void Table::Close() {
  if (!dbf_.IsOpen()) return;
  struct Release {
    Table& t;
    ~Release() {
      // Removed with nothing in flight; one left by a failed change stays for recovery.
      t.intent_.reset();
      t.LeaveTransactionOnClose();
      t.memo_.reset();
      t.dbf_.Close();
    }
  } release{*this};
  if (pending_ != Pending::kNone) {
    try {
      FlushPending();
    } catch (...) {
      // A record reaches the table with all its keys or not at all: what could not be written
      // goes as a cancel would take it back, and the write's error is the close's.
      DropFailedPending();
      throw;
    }
  }
  if (modified_ && writable_) {
    // Keep the last-update date as other programs do: once, when the table is closed.
    StampToday(header_);
    const char date[3] = {static_cast<char>(header_.updateYear), static_cast<char>(header_.updateMonth),
                          static_cast<char>(header_.updateDay)};
    dbf_.WriteAt(1, date, 3);
  }
}

void Table::NoFieldNumber(std::uint32_t ordinal) const {
  Fail(kFieldNotFound, "The table " + names_.windowsName + " has no field number " + std::to_string(ordinal) + ".");
}

std::size_t Table::FieldIndexName(std::string_view name) const {
  auto i = header_.schema.Find(name);
  if (!i) Fail(kFieldNotFound, "The table " + names_.windowsName + " has no field named " + std::string(name) + ".");
  return *i;
}

std::uint32_t Table::ReportedOptions() const {
  std::uint32_t r = options_ & (kOpenExclusive | kOpenReadOnly);
  if (forcedReadOnly_) r |= kOpenReadOnly;
  if (writable_) r |= kReportUpdates | kReportInserts;
  return r;
}

std::uint32_t Table::RecordCount() {
  if (!dbf_.IsOpen()) return 0;
  if (!exclusive_) {
    char count[4];
    if (dbf_.ReadAt(4, count, 4) == 4) {
      std::uint32_t c;
      std::memcpy(&c, count, 4);
      header_.recordCount = c;
    }
  }
  knownCount_ = ReadableRecordCount(header_, dbf_.Size());
  return knownCount_;
}

std::string Table::NullRecord() const {
  std::string image(header_.recordLength, ' ');
  for (const auto& f : header_.schema.fields) WriteBlankValue(f, image.data() + f.offset, header_.IsXdt());
  return image;
}

std::string Table::ToAnsi(std::string_view s) const {
  return charType_ == CharType::kOem ? rtl::OemToAnsi(s) : std::string(s);
}

std::string Table::ToOem(std::string_view s) const {
  return charType_ == CharType::kOem ? rtl::AnsiToOem(s) : std::string(s);
}

MemoBlob Table::ImageView::Memo(std::size_t index) const {
  if (image_ == &table_.pendingImage_) {
    auto it = table_.pendingMemos_.find(index);
    if (it != table_.pendingMemos_.end()) {
      MemoBlob b = it->second;
      if (b.text) b.data = table_.ToAnsi(b.data);
      return b;
    }
  }
  const FieldDesc& f = Field(index);
  if (!IsMemoCode(f.code) || !table_.memo_) return {};
  MemoBlob b = table_.memo_->Read(DecodeMemoReference(FieldBytes(index)));
  // A binary or image field holds bytes whatever its block says (and when it has no block).
  if (f.code == kBinary || f.code == kImage) b.text = false;
  if (b.text) b.data = table_.ToAnsi(b.data);
  return b;
}

}  // namespace xbe
