#include "platform/xbe/index_file.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_files.h"
#include "platform/xbe/table_filters.h"
#include "platform/xbe/transaction_journal.h"
#include "platform/xbe/write_intent.h"

namespace xbe {

// The index file as the format code writes it. One change of the file's orders is a unit:
// from Begin on, the bytes each write overwrites are kept, so that a change that fails halfway
// is written back to what the file was (RollBack); Commit forgets them.
class ChangeJournal final : public index::BlockFile {
 public:
  explicit ChangeJournal(std::shared_ptr<index::BlockFile> f) : f_(std::move(f)) {}
  void Read(std::uint64_t offset, void* buffer, std::size_t n) override { f_->Read(offset, buffer, n); }
  void Write(std::uint64_t offset, const void* data, std::size_t n) override {
    if (failAfter_) {
      if (*failAfter_ == 0)
        throw index::IndexError(index::IndexErrorKind::kIo, "Index file " + Name() + ": write failed (injected)");
      --*failAfter_;
    }
    if (active_ && offset < size_) Keep(offset, std::min<std::uint64_t>(n, size_ - offset));
    if (watcher_) watcher_->BeforeWrite(offset, n);
    f_->Write(offset, data, n);
  }
  std::uint64_t Size() override { return f_->Size(); }
  index::FileMark Mark() override { return f_->Mark(); }
  void Truncate(std::uint64_t size) override {
    if (active_ && size < size_) Keep(size, size_ - size);
    if (watcher_) watcher_->BeforeTruncate(size);
    f_->Truncate(size);
  }
  void Sync() override { f_->Sync(); }
  bool Writable() const override { return f_->Writable(); }
  const std::string& Name() const override { return f_->Name(); }

  void Begin() {
    saved_.clear();
    size_ = f_->Size();
    active_ = true;
  }
  void Commit() {
    saved_.clear();
    active_ = false;
  }
  // Latest first, so that where writes overlapped the oldest bytes come back last.
  void RollBack() {
    active_ = false;
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      f_->Write(it->first, it->second.data(), it->second.size());
    if (f_->Size() != size_) f_->Truncate(size_);
    saved_.clear();
  }
  void FailWriteAfter(std::optional<std::size_t> writes) { failAfter_ = writes; }
  // A transaction's watcher (none: null).
  void Watch(WriteWatcher* watcher) { watcher_ = watcher; }
  // Told when a change is about to write more than one page (the write intent notes it).
  void OnStructuralChange(std::function<void()> notify) { structural_ = std::move(notify); }
  void BeforeStructuralChange() override {
    if (structural_) structural_();
  }

 private:
  void Keep(std::uint64_t offset, std::uint64_t n) {
    std::string old(n, '\0');
    f_->Read(offset, old.data(), n);
    saved_.emplace_back(offset, std::move(old));
  }

  std::shared_ptr<index::BlockFile> f_;
  bool active_ = false;
  std::uint64_t size_ = 0;
  std::vector<std::pair<std::uint64_t, std::string>> saved_;
  std::optional<std::size_t> failAfter_;
  WriteWatcher* watcher_ = nullptr;
  std::function<void()> structural_;
};

namespace {

// Attempts, 10 ms apart, at another writer's index-update lock before a change gives up.
constexpr int kLockAttempts = 500;

std::string BaseName(std::string_view windowsPath) {
  std::string name = rtl::ExtractFileName(windowsPath);
  return name.substr(0, name.size() - rtl::ExtractFileExt(name).size());
}

// Index keys and conditions never depend on the callers' exact setting.
const expr::EvalSettings& KeySettings() {
  thread_local expr::EvalSettings s;
  s = EvaluationSettings(false);
  return s;
}

}  // namespace

IndexFile::IndexFile(Table& table, std::string windowsPath, std::string hostPath)
    : table_(table),
      windowsPath_(std::move(windowsPath)),
      hostPath_(std::move(hostPath)),
      binding_(table.Fields(), TableAlias(table)) {}

IndexFile::~IndexFile() {
  CallScope::Forget(this);
  table_.RemoveHook(this);
}

std::string IndexFile::ResolvePath(const Table& table, std::string_view windowsPath, std::string* withExtension) {
  std::string path(windowsPath);
  if (rtl::ExtractFileExt(path).empty()) path += table.Type() == TableType::kCdx ? ".cdx" : ".ntx";
  if (withExtension) *withExtension = path;
  return rtl::HostPath(path);
}

std::shared_ptr<IndexFile> IndexFile::Open(Table& table, std::string_view windowsPath) {
  std::string path;
  const std::string host = ResolvePath(table, windowsPath, &path);
  const std::string ext = rtl::UpperCase(rtl::ExtractFileExt(path));
  std::error_code ec;
  if (host.empty() || !std::filesystem::is_regular_file(host, ec))
    Fail(kFileNotFound, "The index file " + path + " was not found.");
  const bool cdx = ext == ".CDX" || (ext != ".NTX" && table.Type() == TableType::kCdx);
  std::shared_ptr<IndexFile> f(new IndexFile(table, path, host));
  f->inUseMark_ = MarkIndexFileOpen(host, path);
  f->file_ = index::OpenHostFile(host, table.Writable());
  // Its pages are read under the shared index-update lock from the first one on.
  if (!table.Exclusive()) {
    if (!f->lock_.Open(host, table.Writable(), path))
      Fail(kIoError, "The index file " + path + " cannot be opened" + (table.Writable() ? " for writing." : "."));
    f->TakeReadLock();
  }
  struct OpenRead {
    IndexFile& f;
    ~OpenRead() {
      if (!f.callScoped_) f.ReleaseReadLock();
    }
  } openRead{*f};
  if (cdx) {
    RecordBinding& catalog = f->binding_;
    auto journal = std::make_unique<ChangeJournal>(f->file_);
    f->journal_ = journal.get();
    f->cdx_ = index::CdxFile::Open(std::move(journal), [&catalog](const std::string& key) {
      try {
        const expr::Type t = expr::Expression::Compile(key, catalog).ResultType();
        return t == expr::Type::kAny ? expr::Type::kCharacter : t;
      } catch (const expr::ExprError&) {
        return expr::Type::kCharacter;  // reported when the tag is bound
      }
    });
    for (index::CdxTag* t : f->cdx_->Tags()) f->tags_.push_back(Tag{t, nullptr});
  } else {
    auto journal = std::make_unique<ChangeJournal>(f->file_);
    f->journal_ = journal.get();
    f->ntx_ = index::NtxOrder::Open(std::move(journal), rtl::AnsiUpperCase(BaseName(path)));
    f->tags_.push_back(Tag{f->ntx_.get(), nullptr});
    if (f->lock_.IsOpen()) f->ntx_->OnFileRead([raw = f.get()] { raw->BeforeFileRead(); });
  }
  f->Bind();
  f->NoteStructuralChanges();
  f->RecoverInterruptedWrites();
  f->ReadStamp(f->stamp_);
  table.AddHook(f.get());
  return f;
}

std::shared_ptr<IndexFile> IndexFile::OpenStructural(Table& table) {
  if (table.Type() != TableType::kCdx) return nullptr;
  const std::string& data = table.DisplayName();
  const std::string path = data.substr(0, data.size() - rtl::ExtractFileExt(data).size()) + ".cdx";
  const std::string host = rtl::HostPath(path);
  std::error_code ec;
  if (host.empty() || !std::filesystem::is_regular_file(host, ec)) return nullptr;
  return Open(table, path);
}

void IndexFile::Bind() {
  const expr::KeyFormat format = cdx_ ? expr::KeyFormat::kCdx : expr::KeyFormat::kNtx;
  for (Tag& t : tags_) {
    try {
      t.bound = std::make_unique<index::BoundOrder>(*t.order, format, binding_);
    } catch (const expr::ExprError& e) {
      Fail(kExpressionError, "The index " + FileName() + " (order " + t.order->Info().name +
                                 ") does not fit the table " + table_.DisplayName() + ": " + e.Message());
    }
  }
}

std::string IndexFile::FileName() const { return rtl::ExtractFileName(windowsPath_); }

void IndexFile::ReadStamp(std::string& stamp) {
  constexpr std::size_t kHead = 12;
  stamp.resize(kHead);  // keeps its room
  file_->Read(0, stamp.data(), kHead);
}

void IndexFile::Refresh() {
  if (table_.Exclusive()) return;
  if (ntx_ && lock_.IsOpen() && CallScope::Active() && !lockHeld_ && !readLockHeld_ && !fileReadLastCall_) {
    // Most steps of a walk read only pages kept from before: the counter read without the lock
    // says whether they still are the file's; a page read from the file takes the lock first.
    ReadStamp(now_);
    if (now_ == stamp_) return;
  }
  // Outside a call of the C interface (the engine's own C++ users) the lock covers the check.
  struct Release {
    IndexFile& f;
    bool on;
    ~Release() {
      if (on) f.ReleaseReadLock();
    }
  } release{*this, !TakeReadLock() && !lockHeld_};
  ReadStamp(now_);
  if (now_ == stamp_) return;
  if (cdx_) cdx_->Reload();
  else ntx_->Reload();
  ReadStamp(stamp_);
  ++changes_;
}

std::optional<index::KeyEntry> IndexFile::EntryOf(const Tag& tag, const RecordView& record) {
  binding_.Bind(record);
  return tag.bound->EntryFor(binding_, KeySettings());
}

std::string IndexFile::KeyOf(const Tag& tag, const RecordView& record) {
  binding_.Bind(record);
  return tag.bound->KeyFor(binding_, KeySettings());
}

std::string IndexFile::StoredText(std::string_view ansi) const { return table_.ToOem(ansi); }

namespace {

// A unique order holds, for every key, the first record that has it, as a rebuild makes it:
// when the record it held leaves the key, the next record with that key takes its place.
void UpdateUnique(IndexFile& file, IndexFile::Tag& tag, const std::optional<index::KeyEntry>& before,
                  const std::optional<index::KeyEntry>& after) {
  index::Order& order = *tag.order;
  if (before && after && *before == *after) return;
  if (before) {
    auto c = order.NewCursor();
    if (c->Find(*before) && order.Remove(*before)) {
      std::optional<index::KeyEntry> heir;
      file.OwnerTable().ForEachRecord([&](const RecordView& r) {
        // The changing record is never its own heir (its new entry is `after`), whether the
        // file holds its old image or its new one.
        if (heir || r.RecordNumber() == before->recno) return;
        auto e = file.EntryOf(tag, r);
        if (e && e->key == before->key) heir = e;
      });
      if (heir) order.Insert(*heir);
    }
  }
  if (after) {
    auto c = order.NewCursor();
    if (c->Seek(after->key) && c->Current().key == after->key) {
      const index::KeyEntry holder = c->Current();
      if (holder.recno > after->recno) {
        order.Remove(holder);
        order.Insert(*after);
      }
    } else {
      order.Insert(*after);
    }
  }
}

}  // namespace

ByteRange IndexFile::UpdateByte() const { return table_.Locks().IndexUpdate(cdx_ != nullptr); }

void IndexFile::DropReadLock() {
  if (!readLockHeld_) return;
  readLockHeld_ = false;
  if (lockHeld_) return;  // the write lock covers the byte now
  const ByteRange r = UpdateByte();
  lock_.Unlock(r.start, r.length);
}

void IndexFile::WaitForLock(bool exclusive) {
  const ByteRange r = UpdateByte();
  // Other programs hold the lock for the few writes of one change, or the reads of one call:
  // waiting a little is right.
  for (int attempt = 0; !lock_.TryLock(r.start, r.length, exclusive); ++attempt) {
    if (attempt == kLockAttempts)
      Fail(kRecordLocked, "The index " + FileName() + " of table " + table_.DisplayName() +
                              " stays locked by another user.");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void IndexFile::TakeLock() {
  if (!lock_.IsOpen() || lockHeld_ || !lock_.Writable()) return;
  // A reader's lock is let go first, ours and those of this process's other handles of the
  // file, so that two readers turning writers never wait for each other.
  DropReadLock();  // taken again when the change ends, while the call goes on
  CallScope::ReleaseOthers(hostPath_, this);
  WaitForLock(true);
  lockHeld_ = true;
}

void IndexFile::ReleaseLock() {
  if (!lockHeld_) return;
  const ByteRange r = UpdateByte();
  lockHeld_ = false;
  if (callScoped_) {
    // The rest of the call reads on: the write lock turns into the reader's at once.
    if (lock_.TryLock(r.start, r.length, false)) {
      readLockHeld_ = true;
      return;
    }
    callScoped_ = false;
    CallScope::Forget(this);
  }
  lock_.Unlock(r.start, r.length);
}

bool IndexFile::TakeReadLock() {
  if (!lock_.IsOpen()) return false;
  if (lockHeld_ || readLockHeld_) return callScoped_;
  WaitForLock(false);
  readLockHeld_ = true;
  if (CallScope::Active()) {
    callScoped_ = true;
    CallScope::Hold(this);
  }
  return callScoped_;
}

void IndexFile::ReleaseReadLock() {
  if (callScoped_) {
    callScoped_ = false;
    CallScope::Forget(this);
  }
  DropReadLock();
}

void IndexFile::BeforeFileRead() {
  fileReadThisCall_ = true;
  if (lockHeld_ || readLockHeld_ || !lock_.IsOpen() || !CallScope::Active()) return;
  TakeReadLock();
  ReadStamp(now_);
  if (now_ == stamp_) return;  // the cached pages are the file's: what was read still holds
  ntx_->Reload();
  ReadStamp(stamp_);
  ++changes_;
  throw index::StaleRead();
}

void IndexFile::ReleaseCallLock() noexcept {
  callScoped_ = false;  // the scope has let go of this holder already
  fileReadLastCall_ = fileReadThisCall_;
  fileReadThisCall_ = false;
  DropReadLock();
}

void IndexFile::Lock() {
  TakeLock();
  try {
    Refresh();
  } catch (...) {
    ReleaseLock();
    throw;
  }
  journal_->Begin();
}

void IndexFile::Announce(RecordChange, const RecordView* before, const RecordView* after, IntentEntry& entry) {
  IntentFile& file = entry.files.emplace_back();
  file.hostPath = hostPath_;
  if (!after) return;
  announced_.resize(tags_.size());
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    Tag& t = tags_[i];
    announced_[i] = {before ? EntryOf(t, *before) : std::nullopt, EntryOf(t, *after)};
    const auto& [b, a] = announced_[i];
    if (b && a && *b == *a) continue;  // this order does not change
    IntentKey& key = file.keys.emplace_back();
    key.order = t.order->Info().name;
    if (b) key.before = b->key;
    if (a) key.after = a->key;
  }
  planned_ = true;
}

void IndexFile::NoteStructuralChanges() {
  journal_->OnStructuralChange([this] {
    if (structuralNote_) structuralNote_();
    else if (WriteIntent* w = table_.IntentInFlight()) w->MarkStructural(hostPath_);
  });
}

void IndexFile::ApplyChange(RecordChange, const RecordView* before, const RecordView& after) {
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    Tag& t = tags_[i];
    // The entries announced for the write intent, when they were.
    const std::optional<index::KeyEntry> b =
        planned_ ? announced_[i].first : before ? EntryOf(t, *before) : std::nullopt;
    const std::optional<index::KeyEntry> a = planned_ ? announced_[i].second : EntryOf(t, after);
    if (t.order->Info().unique) UpdateUnique(*this, t, b, a);
    else t.bound->Update(b, a);
  }
  planned_ = false;
  ReadStamp(stamp_);
  ++changes_;
}

void IndexFile::Undo() {
  journal_->RollBack();
  if (cdx_) cdx_->Reload();
  else ntx_->Reload();
  ReadStamp(stamp_);
  ++changes_;
}

void IndexFile::Unlock() {
  planned_ = false;
  journal_->Commit();
  ReleaseLock();
}

void IndexFile::JoinTransaction(TableJournal& journal) { journal_->Watch(journal.Watch(hostPath_, windowsPath_)); }

void IndexFile::TransactionEnded(bool rolledBack) {
  journal_->Watch(nullptr);
  if (!rolledBack) return;
  // The file holds its bytes from before the transaction again.
  if (cdx_) cdx_->Reload();
  else ntx_->Reload();
  ReadStamp(stamp_);
  ++changes_;
}

void IndexFile::FailWriteAfter(std::optional<std::size_t> writes) { journal_->FailWriteAfter(writes); }

void IndexFile::Rebuild() {
  TakeLock();
  struct Release {
    IndexFile& f;
    ~Release() { f.ReleaseLock(); }
  } release{*this};
  for (Tag& t : tags_) {
    std::vector<index::KeyEntry> entries;
    table_.ForEachRecord([&](const RecordView& r) {
      if (auto e = EntryOf(t, r)) entries.push_back(std::move(*e));
    });
    t.order->Build(std::move(entries));
  }
  ReadStamp(stamp_);
  ++changes_;
}

}  // namespace xbe
