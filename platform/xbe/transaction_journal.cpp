#include "platform/xbe/transaction_journal.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/xbe/little_endian.h"
#include "platform/xbe/crc32.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/journal_names.h"
#include "platform/xbe/restructure_switch.h"

namespace xbe {

namespace {

// Layout: the magic (8 bytes), the committed mark (1), 3 spare bytes, the lead's path length
// (4), the transaction's identifier (16) and the lead's path; then records: kind (1), payload length (4), payload, CRC-32 of all before it.
// A record cut short or damaged ends the journal: the write it protects never happened.
constexpr char kMagic[8] = {'X', 'B', 'E', 'T', 'X', 'J', '1', '\n'};
constexpr std::uint64_t kCommittedMark = 8;
constexpr std::size_t kIdSize = 16;
constexpr std::size_t kHeaderSize = 16 + kIdSize;
constexpr std::uint64_t kImageChunk = 1 << 20;

enum RecordKind : std::uint8_t { kFileRecord = 1, kImageRecord = 2, kParticipantRecord = 3 };

struct ParsedJournal {
  bool whole = false;  // the header is complete
  bool committed = false;
  std::string id;
  std::string lead;
  struct File {
    std::string path;
    std::uint64_t size = 0;
  };
  std::map<std::uint32_t, File> files;
  struct Image {
    std::uint32_t file = 0;
    std::uint64_t offset = 0;
    std::string bytes;
  };
  std::vector<Image> images;
  std::vector<std::string> participants;
};

ParsedJournal Parse(const RawFile& f, const std::string& path) {
  ParsedJournal p;
  std::string all(static_cast<std::size_t>(f.Size()), '\0');
  all.resize(f.ReadAt(0, all.data(), all.size()));
  if (all.size() < kHeaderSize || std::memcmp(all.data(), kMagic, sizeof kMagic) != 0) return p;
  const std::uint64_t leadLength = GetLe(all.data() + 12, 4);
  if (kHeaderSize + leadLength > all.size()) return p;
  p.whole = true;
  p.committed = all[kCommittedMark] == 1;
  p.id = all.substr(16, kIdSize);
  p.lead = JournalResolvedName(path, all.substr(kHeaderSize, leadLength));
  std::size_t pos = kHeaderSize + leadLength;
  while (all.size() - pos >= 9) {
    const auto kind = static_cast<std::uint8_t>(all[pos]);
    const std::uint64_t length = GetLe(all.data() + pos + 1, 4);
    if (length > all.size() - pos - 9) break;
    const std::string_view record(all.data() + pos, 5 + length);
    if (Crc32(record) != GetLe(all.data() + pos + 5 + length, 4)) break;
    const char* d = record.data() + 5;
    if (kind == kFileRecord && length >= 12) {
      p.files[static_cast<std::uint32_t>(GetLe(d, 4))] = {JournalResolvedName(path, std::string(d + 12, length - 12)),
                                                          GetLe(d + 4, 8)};
    } else if (kind == kImageRecord && length >= 12) {
      p.images.push_back({static_cast<std::uint32_t>(GetLe(d, 4)), GetLe(d + 4, 8), std::string(d + 12, length - 12)});
    } else if (kind == kParticipantRecord) {
      p.participants.push_back(JournalResolvedName(path, std::string(d, length)));
    }
    pos += 9 + length;
  }
  return p;
}

void SyncFolder(const std::string& path, const std::string& display) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int err = fd < 0 ? errno : (::fsync(fd) == 0 ? 0 : errno);
  if (fd >= 0) ::close(fd);
  if (err) Fail(kIoError, "Cannot write the folder of " + display + " to disk: " + std::strerror(err) + ".");
}

void RemoveFile(const std::string& path, const std::string& display) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    Fail(kIoError, "Cannot remove " + display + ": " + std::strerror(errno) + ".");
}

// Every file of the journal back to its size and bytes at the transaction's start, synced. A
// file that is gone (an index file deleted since) has nothing left to put back.
void PutBack(const ParsedJournal& p) {
  for (const auto& [id, file] : p.files) {
    RawFile f;
    if (!f.Open(file.path, true, file.path)) {
      if (errno == ENOENT) continue;
      Fail(kIoError, "Cannot open " + file.path + " to undo a transaction: " + std::strerror(errno) + ".");
    }
    for (const ParsedJournal::Image& image : p.images)
      if (image.file == id) f.WriteAt(image.offset, image.bytes.data(), image.bytes.size());
    if (f.Size() != file.size) f.Truncate(file.size);
    f.Sync();
  }
}

// The journal at `path` when it belongs to the transaction `id`.
std::optional<ParsedJournal> JournalOf(const std::string& path, const std::string& id) {
  RawFile f;
  if (!f.Open(path, false, path)) return std::nullopt;
  ParsedJournal p = Parse(f, path);
  if (!p.whole || p.id != id) return std::nullopt;
  return p;
}

// Removes the journal at `path` when it belongs to the transaction `id` and nobody holds it
// (one that another process is undoing stays its to remove). False when it is still there.
bool RemoveJournalOf(const std::string& path, const std::string& id) {
  RawFile f;
  if (!f.Open(path, false, path)) return errno == ENOENT;
  const ParsedJournal p = Parse(f, path);
  if (!p.whole || p.id != id) return true;  // another transaction's: not this one's to remove
  if (!f.TryFlock(true)) return false;
  RemoveFile(path, path);
  SyncFolder(path, path);
  return true;
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string JournalPath(const TableNames& table) {
  // Absolute: other journals name their lead by it, and their readers may run elsewhere.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(table.hostPath + ".tjl", ec);
  return ec ? table.hostPath + ".tjl" : absolute.string();
}

// Keeps the first bytes each write overwrites (later writes of the same bytes need nothing
// more: the start is what a rollback puts back) and the file's size at the start.
class TableJournal::FileWatch final : public WriteWatcher {
 public:
  FileWatch(TableJournal& journal, std::uint32_t id, std::string hostPath, std::string display)
      : journal_(journal), id_(id), hostPath_(std::move(hostPath)), display_(std::move(display)) {}

  void BeforeWrite(std::uint64_t offset, std::uint64_t length) override { Keep(offset, offset + length); }
  void BeforeTruncate(std::uint64_t size) override { Keep(size, UINT64_MAX); }
  void SyncFile() {
    if (own_.IsOpen()) own_.Sync();
  }
  const std::string& HostPath() const { return hostPath_; }

 private:
  void Keep(std::uint64_t from, std::uint64_t to) {
    bool added = false;
    if (!own_.IsOpen()) {
      if (!own_.Open(hostPath_, false, display_))
        Fail(kIoError, "Cannot open " + display_ + " to keep its contents for the transaction.");
      size_ = own_.Size();
      std::string payload;
      PutLe(payload, id_, 4);
      PutLe(payload, size_, 8);
      payload += JournalStoredName(journal_.path_, hostPath_);
      journal_.Append(kFileRecord, payload);
      added = true;
    }
    to = std::min(to, size_);
    for (auto [start, end] : Gaps(from, to)) {
      for (std::uint64_t at = start; at < end; at += kImageChunk) {
        std::string payload;
        PutLe(payload, id_, 4);
        PutLe(payload, at, 8);
        const std::size_t n = static_cast<std::size_t>(std::min(kImageChunk, end - at));
        payload.resize(12 + n);
        own_.ReadExact(at, payload.data() + 12, n);
        journal_.Append(kImageRecord, payload);
      }
      Cover(start, end);
      added = true;
    }
    if (!added) return;
    journal_.Sync();
    journal_.Step("image kept");
  }

  // The parts of [from, to) not kept yet.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Gaps(std::uint64_t from, std::uint64_t to) const {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;
    auto it = kept_.upper_bound(from);
    if (it != kept_.begin() && std::prev(it)->second > from) from = std::prev(it)->second;
    while (from < to) {
      if (it == kept_.end() || it->first >= to) {
        gaps.emplace_back(from, to);
        break;
      }
      if (it->first > from) gaps.emplace_back(from, it->first);
      from = std::max(from, it->second);
      ++it;
    }
    return gaps;
  }

  void Cover(std::uint64_t start, std::uint64_t end) {
    auto it = kept_.lower_bound(start);
    if (it != kept_.begin() && std::prev(it)->second >= start) --it;
    while (it != kept_.end() && it->first <= end) {
      start = std::min(start, it->first);
      end = std::max(end, it->second);
      it = kept_.erase(it);
    }
    kept_[start] = end;
  }

  TableJournal& journal_;
  std::uint32_t id_;
  std::string hostPath_;
  std::string display_;
  RawFile own_;  // reads the bytes before they change; opened at the first change
  std::uint64_t size_ = 0;
  std::map<std::uint64_t, std::uint64_t> kept_;  // start -> end, disjoint
};

std::string NewTransactionId() {
  std::random_device random;
  std::string id;
  while (id.size() < kIdSize) PutLe(id, random(), 4);
  return id.substr(0, kIdSize);
}

TableJournal::TableJournal(const TableNames& table, const std::string& transactionId, std::string leadPath,
                           const TransactionFaults* faults)
    : path_(JournalPath(table)), display_("the transaction journal of " + table.windowsName), faults_(faults) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST)
      Fail(kRecordLocked, "The table " + table.windowsName + " has the journal of another transaction beside it.");
    if (errno == ENOSPC || errno == EDQUOT) Fail(kDiskFull, "The disk is full while creating " + display_ + ".");
    Fail(kIoError, "Cannot create " + display_ + ": " + std::strerror(errno) + ".");
  }
  ::close(fd);
  try {
    if (!file_.Open(path_, true, display_) || !file_.TryFlock(true))
      Fail(kIoError, "Cannot open " + display_ + ".");
    std::string header(kMagic, sizeof kMagic);
    header.append(4, '\0');
    const std::string lead = leadPath.empty() ? std::string() : JournalStoredName(path_, leadPath);
    PutLe(header, lead.size(), 4);
    header += transactionId;
    header += lead;
    file_.WriteAt(0, header.data(), header.size());
    end_ = header.size();
    Sync();
    SyncFolder(path_, display_);
  } catch (...) {
    file_.Close();
    ::unlink(path_.c_str());
    throw;
  }
  Step("journal created");
}

TableJournal::~TableJournal() = default;

WriteWatcher* TableJournal::Watch(const std::string& hostPath, const std::string& displayName) {
  // Handles of one table share the watch of each file: what one kept, the other need not.
  for (auto& w : watches_)
    if (w->HostPath() == hostPath) return w.get();
  watches_.push_back(
      std::make_unique<FileWatch>(*this, static_cast<std::uint32_t>(watches_.size() + 1), hostPath, displayName));
  return watches_.back().get();
}

void TableJournal::AddParticipant(const std::string& journalPath) {
  Append(kParticipantRecord, JournalStoredName(path_, journalPath));
  Sync();
}

void TableJournal::Append(std::uint8_t kind, const std::string& payload) {
  std::string record(1, static_cast<char>(kind));
  PutLe(record, payload.size(), 4);
  record += payload;
  PutLe(record, Crc32(record), 4);
  file_.WriteAt(end_, record.data(), record.size());
  end_ += record.size();
}

void TableJournal::Sync() { file_.Sync(); }

void TableJournal::Step(std::string_view step) const {
  if (faults_ && *faults_) (*faults_)(step);
}

void TableJournal::SyncFiles() {
  for (auto& w : watches_) w->SyncFile();
  Step("files synced");
}

void TableJournal::MarkCommitted() {
  file_.WriteAt(kCommittedMark, "\1", 1);
  Sync();
  Step("committed");
}

void TableJournal::Restore() {
  PutBack(Parse(file_, path_));
  Step("restored");
}

void TableJournal::Remove() {
  RemoveFile(path_, display_);
  file_.Close();
  SyncFolder(path_, display_);
  Step("journal removed");
}

void RecoverInterruptedTransaction(const TableNames& table) {
  const std::string path = JournalPath(table);
  if (table.hostPath.empty() || !Exists(path)) return;
  const std::string display = "the transaction journal of " + table.windowsName;
  RawFile journal;
  if (!journal.Open(path, false, display) || !journal.TryFlock(true)) return;  // its transaction goes on
  bool writable = true;
  RawFile data;
  try {
    data = OpenDataFile(table, ShareMode::kExclusive, writable, false);
  } catch (const Error& e) {
    if (e.code() != kTableInUse && e.code() != kSharingViolation) throw;
    Fail(kTableInUse, "The table " + table.windowsName +
                          " cannot be opened now: a transaction interrupted on it must first be undone, and it is "
                          "open elsewhere.");
  }
  // Another open may have undone it meanwhile (and the table been written since).
  if (!SameFile(journal, path)) return;
  const ParsedJournal p = Parse(journal, path);
  bool committed = p.committed;
  if (!p.lead.empty()) {
    const auto lead = JournalOf(p.lead, p.id);
    committed = lead && lead->committed;
  }
  if (p.whole && !committed) PutBack(p);
  // A committed lead goes last: until then it tells the other tables' journals that their
  // transaction committed. One that another process is working on keeps it for a later open.
  if (p.whole && committed && p.lead.empty())
    for (const std::string& other : p.participants)
      if (!RemoveJournalOf(other, p.id)) return;
  RemoveFile(path, display);
  SyncFolder(path, display);
}

void RefuseWriteUnderForeignJournal(const TableNames& table) {
  const std::string path = JournalPath(table);
  if (table.hostPath.empty() || !Exists(path)) return;
  RawFile journal;
  if (!journal.Open(path, false, path)) return;
  if (journal.TryFlock(true))
    Fail(kRecordLocked, "The table " + table.windowsName +
                            " cannot be written: a transaction interrupted on it waits to be undone, which happens "
                            "when the table is next opened where no one else has it open.");
  Fail(kRecordLocked, "The table " + table.windowsName + " is locked by another user's transaction.");
}

}  // namespace xbe
