#include "platform/xbe/write_intent.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <fcntl.h>
#include <unistd.h>

#include "platform/xbe/little_endian.h"
#include "platform/xbe/crc32.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/journal_names.h"
#include "platform/xbe/restructure_switch.h"

namespace xbe {

namespace {

// Layout: the magic (8 bytes), 8 spare; then the one entry, written over by the next:
//   state (1: 1 in flight, 0 done), table part done (1), 2 spare, body length (4), CRC-32 of
//   the body (4), the body, then two bytes per index file (done, structural).
// Body: record number (4), change (1), file count (2), per file its name (2 + bytes) and key
// count (2), per key the order name (1 + bytes), flags (1: before, after) and the keys (2 + bytes).
// An entry cut short fails its CRC: its change never began (the entry is written before it).
constexpr char kMagic[8] = {'X', 'B', 'E', 'W', 'I', 'L', '1', '\n'};
constexpr std::uint64_t kSlot = 16;
constexpr std::uint64_t kTableDone = kSlot + 1;
constexpr std::size_t kSlotHead = 12;
constexpr const char* kSuffix = ".wil";

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path a = std::filesystem::absolute(path, ec);
  return ec ? path : a.lexically_normal().string();
}

// Reads a length-prefixed string; false when the body ends first.
bool Take(std::string_view& body, int lengthBytes, std::string& out) {
  if (body.size() < static_cast<std::size_t>(lengthBytes)) return false;
  const std::size_t n = GetLe(body.data(), lengthBytes);
  body.remove_prefix(lengthBytes);
  if (body.size() < n) return false;
  out.assign(body.data(), n);
  body.remove_prefix(n);
  return true;
}

bool ParseBody(std::string_view body, const std::string& journalPath, IntentEntry& e) {
  if (body.size() < 7) return false;
  e.recno = static_cast<std::uint32_t>(GetLe(body.data(), 4));
  const unsigned change = static_cast<unsigned char>(body[4]);
  if (change > static_cast<unsigned>(RecordChange::kRecall)) return false;
  e.change = static_cast<RecordChange>(change);
  const std::size_t files = GetLe(body.data() + 5, 2);
  body.remove_prefix(7);
  e.files.clear();
  for (std::size_t f = 0; f < files; ++f) {
    IntentFile file;
    if (!Take(body, 2, file.hostPath) || body.size() < 2) return false;
    file.hostPath = JournalResolvedName(journalPath, file.hostPath);
    const std::size_t keys = GetLe(body.data(), 2);
    body.remove_prefix(2);
    for (std::size_t k = 0; k < keys; ++k) {
      IntentKey key;
      if (!Take(body, 1, key.order) || body.empty()) return false;
      const unsigned flags = static_cast<unsigned char>(body[0]);
      body.remove_prefix(1);
      std::string bytes;
      if (flags & 1) {
        if (!Take(body, 2, bytes)) return false;
        key.before = bytes;
      }
      if (flags & 2) {
        if (!Take(body, 2, bytes)) return false;
        key.after = bytes;
      }
      file.keys.push_back(std::move(key));
    }
    e.files.push_back(std::move(file));
  }
  return body.empty();
}

}  // namespace

std::unique_ptr<WriteIntent> WriteIntent::Create(const TableNames& table) {
  std::unique_ptr<WriteIntent> w(new WriteIntent());
  std::random_device random;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char tag[16];
    std::snprintf(tag, sizeof tag, ".%08x", static_cast<unsigned>(random()));
    w->path_ = Absolute(table.hostPath) + tag + kSuffix;
    const int fd = ::open(w->path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;  // a folder we may not write: changes go on without a journal
    }
    ::close(fd);
    if (!w->file_.Open(w->path_, true, w->path_) || !w->file_.TryFlock(true)) {
      ::unlink(w->path_.c_str());
      return nullptr;
    }
    std::string head(kMagic, sizeof kMagic);
    head.append(kSlot - sizeof kMagic, '\0');
    try {
      w->file_.WriteAt(0, head.data(), head.size());
    } catch (const Error&) {
      w->file_.Close();
      ::unlink(w->path_.c_str());
      return nullptr;
    }
    return w;
  }
  return nullptr;
}

WriteIntent::~WriteIntent() {
  // Removed before its lock goes, so that no one takes it for a dead owner's; a change left in
  // flight by a failure that could not be undone stays for the next open to repair.
  if (!inFlight_) ::unlink(path_.c_str());
}

IntentEntry& WriteIntent::Begin(std::uint32_t recno, RecordChange change) {
  entry_.recno = recno;
  entry_.change = change;
  entry_.files.clear();
  return entry_;
}

const std::string& WriteIntent::StoredNameOf(const std::string& hostPath) {
  for (const auto& [path, stored] : names_)
    if (path == hostPath) return stored;
  names_.emplace_back(hostPath, JournalStoredName(path_, hostPath));
  return names_.back().second;
}

void WriteIntent::Record() {
  std::string& b = buffer_;
  b.assign(kSlotHead, '\0');
  b[0] = 1;
  PutLe(b, entry_.recno, 4);
  b += static_cast<char>(entry_.change);
  PutLe(b, entry_.files.size(), 2);
  for (const IntentFile& f : entry_.files) {
    const std::string& name = StoredNameOf(f.hostPath);
    PutLe(b, name.size(), 2);
    b += name;
    PutLe(b, f.keys.size(), 2);
    for (const IntentKey& k : f.keys) {
      PutLe(b, k.order.size(), 1);
      b += k.order;
      b += static_cast<char>((k.before ? 1 : 0) | (k.after ? 2 : 0));
      for (const auto* key : {&k.before, &k.after})
        if (*key) {
          PutLe(b, (*key)->size(), 2);
          b += **key;
        }
    }
  }
  const std::size_t body = b.size() - kSlotHead;
  std::string head;
  PutLe(head, body, 4);
  PutLe(head, Crc32(std::string_view(b).substr(kSlotHead)), 4);
  std::memcpy(b.data() + 4, head.data(), 8);
  structuralAt_.clear();
  for (std::size_t i = 0; i < entry_.files.size(); ++i) {
    structuralAt_.push_back(kSlot + b.size() + 1);
    b.append(2, '\0');
  }
  file_.WriteAt(kSlot, b.data(), b.size());
  inFlight_ = true;
}

void WriteIntent::MarkStructural(const std::string& hostPath) {
  if (!inFlight_) return;
  for (std::size_t i = 0; i < entry_.files.size(); ++i)
    if (entry_.files[i].hostPath == hostPath) {
      file_.WriteAt(structuralAt_[i], "\1", 1);
      return;
    }
}

void WriteIntent::Done() {
  if (!inFlight_) return;
  file_.WriteAt(kSlot, "\0", 1);
  inFlight_ = false;
}

// ---- recovery ----

std::vector<DeadIntent> DeadIntent::Find(const TableNames& table) {
  std::vector<DeadIntent> found;
  if (table.hostPath.empty()) return found;
  const std::string data = Absolute(table.hostPath);
  const std::string folder = FolderOf(data);
  const std::string prefix = data.substr(data.find_last_of('/') + 1) + ".";
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 8 + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, kSuffix) != 0)
      continue;
    DeadIntent d;
    d.path_ = folder + "/" + name;
    if (!d.file_.Open(d.path_, true, d.path_) || !d.file_.TryFlock(true)) continue;  // its owner lives
    if (!SameFile(d.file_, d.path_)) continue;  // another open recovered it meanwhile
    std::string all(static_cast<std::size_t>(d.file_.Size()), '\0');
    all.resize(d.file_.ReadAt(0, all.data(), all.size()));
    bool inFlight = all.size() >= kSlot + kSlotHead && std::memcmp(all.data(), kMagic, sizeof kMagic) == 0 &&
                    all[kSlot] == 1;
    if (inFlight) {
      const std::uint64_t length = GetLe(all.data() + kSlot + 4, 4);
      const std::uint64_t bodyAt = kSlot + kSlotHead;
      inFlight = length <= all.size() - bodyAt &&
                 Crc32(std::string_view(all).substr(bodyAt, length)) == GetLe(all.data() + kSlot + 8, 4) &&
                 ParseBody(std::string_view(all).substr(bodyAt, length), d.path_, d.entry_);
      const std::uint64_t marks = bodyAt + length;
      inFlight = inFlight && marks + 2 * d.entry_.files.size() <= all.size();
      if (inFlight) {
        d.tableDone_ = all[kTableDone] == 1;
        for (std::size_t i = 0; i < d.entry_.files.size(); ++i) {
          FileState s;
          s.absolute = Absolute(d.entry_.files[i].hostPath);
          s.marksAt = marks + 2 * i;
          s.done = all[s.marksAt] == 1;
          s.structural = all[s.marksAt + 1] == 1;
          d.files_.push_back(std::move(s));
        }
      }
    }
    if (!inFlight) {
      // Nothing was in flight (or its entry never reached the file: nothing had begun).
      ::unlink(d.path_.c_str());
      continue;
    }
    found.push_back(std::move(d));
  }
  return found;
}

DeadIntent::~DeadIntent() = default;

void DeadIntent::MarkTableDone() {
  file_.WriteAt(kTableDone, "\1", 1);
  tableDone_ = true;
}

std::optional<std::size_t> DeadIntent::PendingFile(const std::string& hostPath) const {
  const std::string a = Absolute(hostPath);
  for (std::size_t i = 0; i < files_.size(); ++i)
    if (!files_[i].done && files_[i].absolute == a) return i;
  return std::nullopt;
}

void DeadIntent::MarkStructural(std::size_t file) {
  if (files_[file].structural) return;
  file_.WriteAt(files_[file].marksAt + 1, "\1", 1);
  files_[file].structural = true;
}

void DeadIntent::MarkFileDone(std::size_t file) {
  file_.WriteAt(files_[file].marksAt, "\1", 1);
  files_[file].done = true;
}

void DeadIntent::RemoveWhenFinished() {
  if (!tableDone_ && entry_.change == RecordChange::kAppend) return;
  for (const FileState& f : files_) {
    std::error_code ec;
    if (!f.done && std::filesystem::exists(f.absolute, ec)) return;
  }
  ::unlink(path_.c_str());
}

}  // namespace xbe
