// An index file open on a table: an NTX file (one order) or a CDX file (its tags). It keeps
// every one of its orders current through the table's record hooks, and drops what it cached
// when another program has changed the file.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/xbe/call_scope.h"
#include "platform/xbe/expr_binding.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/index/order_binding.h"
#include "platform/xbe/lock_scheme.h"
#include "platform/xbe/raw_file.h"
#include "platform/xbe/record_hooks.h"

namespace xbe {

class Table;
class ChangeJournal;
struct IntentFile;

class IndexFile final : public RecordHook, public CallLockHolder {
 public:
  struct Tag {
    index::Order* order = nullptr;
    std::unique_ptr<index::BoundOrder> bound;
  };

  // Opens the file a caller names (Windows form). The format follows the extension (.ntx,
  // .cdx), else the table type; a name without extension gets the table type's. Raises
  // kFileNotFound, kCorruptFile, or kExpressionError when a key does not fit the table.
  static std::shared_ptr<IndexFile> Open(Table& table, std::string_view windowsPath);
  // The file Open would open: its Windows name (extension added) and host path.
  static std::string ResolvePath(const Table& table, std::string_view windowsPath, std::string* withExtension);
  // The structural CDX file of a CDX table (its base name with .cdx), when there is one.
  static std::shared_ptr<IndexFile> OpenStructural(Table& table);
  ~IndexFile() override;
  IndexFile(const IndexFile&) = delete;
  IndexFile& operator=(const IndexFile&) = delete;

  const std::string& WindowsPath() const { return windowsPath_; }
  const std::string& HostPath() const { return hostPath_; }
  // The file's name and extension, without directory.
  std::string FileName() const;
  bool IsCdx() const { return cdx_ != nullptr; }
  std::vector<Tag>& Tags() { return tags_; }
  Table& OwnerTable() { return table_; }

  // On a shared table: takes the shared index-update lock for the rest of the call (readers
  // read pages only under it, as the other programs do) and reloads when the file's change
  // counter says that another program has written it since.
  void Refresh();
  // Grows with every change of the file's orders (ours or, seen by Refresh, another's).
  std::uint64_t ChangeCount() const { return changes_; }

  // A record's entry in an order (none when the order's condition leaves it out) and its key.
  std::optional<index::KeyEntry> EntryOf(const Tag& tag, const RecordView& record);
  std::string KeyOf(const Tag& tag, const RecordView& record);
  // Key text of the table's code page: character keys are stored in it.
  std::string StoredText(std::string_view ansi) const;

  // Rebuilds every order of the file from the table's records.
  void Rebuild();

  // A record change reaches the file under its index-update lock (waiting a little for another
  // writer's, else failing with kRecordLocked before anything is written) and as one unit: when
  // it fails halfway, or the change fails after it, the file is written back as it was.
  void BeforeChange(RecordChange, const RecordView*, const RecordView&) override {}
  void Lock() override;
  void Announce(RecordChange change, const RecordView* before, const RecordView* after, IntentEntry& entry) override;
  void ApplyChange(RecordChange change, const RecordView* before, const RecordView& after) override;
  void Undo() override;
  void Unlock() override;
  void JoinTransaction(TableJournal& journal) override;
  void TransactionEnded(bool rolledBack) override;

  // For tests: every write to the file after `writes` more fails as a full disk would (none: off).
  void FailWriteAfter(std::optional<std::size_t> writes);

 private:
  IndexFile(Table& table, std::string windowsPath, std::string hostPath);
  void Bind();
  // The file's header counters (NTX: version, root and free list; CDX: the file header's
  // directory root, free list and change counter): every writer moves them with every change.
  // Read under the index-update lock, they tell all; times and sizes are too coarse.
  void ReadStamp(std::string& stamp);
  // The index-update lock for a change (not on exclusive or read-only tables).
  void TakeLock();
  void ReleaseLock();
  // The shared index-update lock of a reader; true when it is held to the end of the call.
  bool TakeReadLock();
  void ReleaseReadLock();
  void ReleaseCallLock() noexcept override;
  const std::string& LockedFile() const override { return hostPath_; }
  void WaitForLock(bool exclusive);
  ByteRange UpdateByte() const;
  // Lets the reader's lock go (the byte stays locked while a write lock is held).
  void DropReadLock();
  // Before an NTX page is read from the file rather than the order's cache, in a call that looked
  // at the counter without the lock: takes the lock and starts the read again when the file moved.
  void BeforeFileRead();
  // A change of more than one page is noted in the write intent in flight (index_recovery.cpp).
  void NoteStructuralChanges();
  // Makes right what a process that died inside a record change left in this file: the keys of
  // that record, or every order when a change of several pages was cut (index_recovery.cpp).
  void RecoverInterruptedWrites();
  void RepairKeys(const IntentFile& file, std::uint32_t recno);

  Table& table_;
  std::string windowsPath_;
  std::string hostPath_;
  std::shared_ptr<index::BlockFile> file_;
  ChangeJournal* journal_ = nullptr;  // owned by the format code
  RawFile lock_;                      // holds the index-update lock
  bool lockHeld_ = false;             // for writing
  bool readLockHeld_ = false;         // for reading
  bool callScoped_ = false;           // the read lock lasts to the end of the call
  // Whether calls read pages from the file (not only from the cache): a call after one that did
  // takes the lock at once; after one that did not, it looks at the counter first without it.
  bool fileReadThisCall_ = false;
  bool fileReadLastCall_ = true;
  RawFile inUseMark_;  // tells other programs (and deletions) that the file is open
  std::unique_ptr<index::NtxOrder> ntx_;
  std::unique_ptr<index::CdxFile> cdx_;
  RecordBinding binding_;
  std::vector<Tag> tags_;
  std::string stamp_;
  std::string now_;  // the stamp read at the last check
  std::uint64_t changes_ = 0;
  // The entries (before, after) of each tag that Announce computed for the next ApplyChange.
  std::vector<std::pair<std::optional<index::KeyEntry>, std::optional<index::KeyEntry>>> announced_;
  bool planned_ = false;
  std::function<void()> structuralNote_;  // during recovery: the dead journal's mark
};

}  // namespace xbe
