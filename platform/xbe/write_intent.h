// The write intent of one table handle: a small file beside the data file
// (`<data file>.<8 hex digits>.wil`) naming the record change in progress and the keys it moves in
// every open index file. One write records a change before any file is touched; one byte marks
// it done once the record is written. A process killed in between leaves the entry in flight, and
// the next writable open of the table, and of each index file the entry names, makes that record
// right from the record as it then is (never by putting back bytes: other programs may have
// written the files since). The owner holds an exclusive flock on the file, so that one nobody
// holds is known to belong to a process that died.
//
// The entries need reach only the operating system: a killed process loses nothing it wrote.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/xbe/raw_file.h"
#include "platform/xbe/record_hooks.h"
#include "platform/xbe/table_files.h"

namespace xbe {

// The keys of one order that a change moves for its record (none: the record has no entry).
struct IntentKey {
  std::string order;
  std::optional<std::string> before;
  std::optional<std::string> after;
};

struct IntentFile {
  std::string hostPath;
  std::vector<IntentKey> keys;
};

struct IntentEntry {
  std::uint32_t recno = 0;
  RecordChange change = RecordChange::kWrite;
  std::vector<IntentFile> files;
};

class WriteIntent {
 public:
  // A new journal beside the table, held by this handle; null when the folder takes none (the
  // changes then go on as before, without one).
  static std::unique_ptr<WriteIntent> Create(const TableNames& table);
  // Removes the journal.
  ~WriteIntent();
  WriteIntent(const WriteIntent&) = delete;
  WriteIntent& operator=(const WriteIntent&) = delete;

  // Starts the entry of a change; the hooks add their files (RecordHook::Announce).
  IntentEntry& Begin(std::uint32_t recno, RecordChange change);
  // The entry reaches the file: the change is in flight.
  void Record();
  // An index file's change takes more than one page: recovery rebuilds its orders.
  void MarkStructural(const std::string& hostPath);
  // The record is written: nothing is in flight any more.
  void Done();
  bool InFlight() const { return inFlight_; }

 private:
  WriteIntent() = default;
  const std::string& StoredNameOf(const std::string& hostPath);
  std::string path_;
  std::vector<std::pair<std::string, std::string>> names_;  // host path -> name as stored
  RawFile file_;
  IntentEntry entry_;
  std::string buffer_;
  std::vector<std::uint64_t> structuralAt_;  // where each file's structural mark lies
  bool inFlight_ = false;
};

// A journal left by a process that died with a change in flight, held (flock) while this lives.
class DeadIntent {
 public:
  // The journals beside `table` whose owners are gone; those with nothing in flight are removed.
  static std::vector<DeadIntent> Find(const TableNames& table);
  DeadIntent(DeadIntent&&) = default;
  DeadIntent& operator=(DeadIntent&&) = default;
  ~DeadIntent();

  const IntentEntry& Entry() const { return entry_; }
  // The data file's part (an append's reserved record) is done.
  bool TableDone() const { return tableDone_; }
  void MarkTableDone();
  // The entry's file at `hostPath` when it still waits for recovery.
  std::optional<std::size_t> PendingFile(const std::string& hostPath) const;
  bool Structural(std::size_t file) const { return files_[file].structural; }
  void MarkStructural(std::size_t file);
  void MarkFileDone(std::size_t file);
  // Removes the journal once the table's part and every file that still exists is done.
  void RemoveWhenFinished();

 private:
  DeadIntent() = default;
  struct FileState {
    std::string absolute;
    std::uint64_t marksAt = 0;  // done byte, then structural byte
    bool done = false;
    bool structural = false;
  };
  std::string path_;
  RawFile file_;
  IntentEntry entry_;
  bool tableDone_ = false;
  std::vector<FileState> files_;
};

}  // namespace xbe
