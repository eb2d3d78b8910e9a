// Another xBase program writing the same index file at the same moment as we do. It keeps the
// pages (nodes) it read between its changes and trusts them for as long as the file's change
// counter stays where it saw it last: it reads the counter each time it takes its shared (read)
// or exclusive (write) lock on the index-update byte, and moves it when it changes the file.
// Our writes must move that counter, and our reads must never see its change halfway.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

constexpr int kKeyLength = 40;
constexpr int kFirstRecords = 300;

struct Format {
  const char* name;
  uint16_t tableType;
  xbe::TableType type;
  const char* file;
  off_t lockByte;
};
const Format kNtxFormat{"ntx", XBE_NTX, xbe::TableType::kNtx, "T.ntx", 1000000000};
const Format kCdxFormat{"cdx", XBE_CDX, xbe::TableType::kCdx, "T.cdx", 0x7FFFFFFE};

std::string KeyText(const std::string& prefix, int n) {
  std::string k = prefix + std::to_string(100000 + n);
  k.resize(kKeyLength, ' ');
  return k;
}

// A writer's key falls between the keys of the table's first records, so that its inserts split
// the pages every reader goes through.
std::string WriterKey(char writer, unsigned n) {
  return KeyText("A", static_cast<int>(n % kFirstRecords)).substr(0, 7) + writer + std::to_string(n);
}

// A writer on another station takes its time over the network: each page it writes comes a
// little after the one before, so that a change lies half done for a while.
class SlowFile final : public xbe::index::BlockFile {
 public:
  explicit SlowFile(std::unique_ptr<xbe::index::BlockFile> f) : f_(std::move(f)) {}
  void Read(std::uint64_t offset, void* buffer, std::size_t n) override { f_->Read(offset, buffer, n); }
  void Write(std::uint64_t offset, const void* data, std::size_t n) override {
    std::this_thread::sleep_for(std::chrono::microseconds(400));
    f_->Write(offset, data, n);
  }
  std::uint64_t Size() override { return f_->Size(); }
  void Truncate(std::uint64_t size) override { f_->Truncate(size); }
  bool Writable() const override { return true; }
  const std::string& Name() const override { return f_->Name(); }

 private:
  std::unique_ptr<xbe::index::BlockFile> f_;
};

std::unique_ptr<xbe::index::BlockFile> SlowHostFile(const std::string& path) {
  return std::make_unique<SlowFile>(xbe::index::OpenHostFile(path, true));
}

// The other program's side of the index file, from the protocol alone: classic process locks
// on the index-update byte, the change counter checked under them (NTX: the header's version;
// CDX: the file header's free-node field and counter, bytes 4 to 11), its pages kept otherwise.
class CachingPeer {
 public:
  CachingPeer(const Format& f, const std::string& path) : f_(f), path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR);
    Fcntl(F_RDLCK);  // it opens the file under its read lock too
    if (f.type == xbe::TableType::kNtx) {
      ntx_ = xbe::index::NtxOrder::Open(SlowHostFile(path), "T");
    } else {
      cdx_ = xbe::index::CdxFile::Open(SlowHostFile(path));
    }
    seen_ = Counter();
    Fcntl(F_UNLCK);
  }
  ~CachingPeer() { ::close(fd_); }

  xbe::index::Order& Order() { return ntx_ ? static_cast<xbe::index::Order&>(*ntx_) : *cdx_->Tags().front(); }

  void Lock(bool write) {
    Fcntl(write ? F_WRLCK : F_RDLCK);
    const std::string now = Counter();
    if (now != seen_) {  // someone changed the file: what was kept is old
      if (ntx_) ntx_->Reload();
      else cdx_->Reload();
    }
    seen_ = now;
    if (write && ntx_) {
      // Its writer moves the NTX counter first, then writes the pages.
      unsigned char v[2];
      Pread(v, 2, 2);
      const unsigned next = (v[0] | (v[1] << 8)) + 1u;
      v[0] = static_cast<unsigned char>(next);
      v[1] = static_cast<unsigned char>(next >> 8);
      if (::pwrite(fd_, v, 2, 2) != 2) throw std::runtime_error("peer: header write failed");
    }
  }
  void Unlock(bool changed) {
    if (changed && cdx_) {
      // Its free-node field and the counter plus 1, as it releases the write lock.
      unsigned char b[8];
      Pread(b, 4, 8);
      const std::uint32_t free = cdx_->FreeListHead();
      std::memcpy(b, &free, 4);
      std::uint32_t c = (std::uint32_t{b[4]} << 24) | (std::uint32_t{b[5]} << 16) | (std::uint32_t{b[6]} << 8) | b[7];
      ++c;
      b[4] = static_cast<unsigned char>(c >> 24);
      b[5] = static_cast<unsigned char>(c >> 16);
      b[6] = static_cast<unsigned char>(c >> 8);
      b[7] = static_cast<unsigned char>(c);
      if (::pwrite(fd_, b, 8, 4) != 8) throw std::runtime_error("peer: header write failed");
    }
    seen_ = Counter();
    Fcntl(F_UNLCK);
  }

 private:
  void Fcntl(short type) {
    struct flock fl{};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = f_.lockByte;
    fl.l_len = 1;
    while (::fcntl(fd_, F_SETLKW, &fl) != 0)
      if (errno != EINTR) throw std::runtime_error("peer: lock failed");
  }
  void Pread(unsigned char* b, off_t at, std::size_t n) {
    if (::pread(fd_, b, n, at) != static_cast<ssize_t>(n)) throw std::runtime_error("peer: read failed");
  }
  std::string Counter() {
    unsigned char b[8];
    if (ntx_) {
      Pread(b, 2, 2);
      return std::string(reinterpret_cast<char*>(b), 2);
    }
    Pread(b, 4, 8);
    return std::string(reinterpret_cast<char*>(b), 8);
  }

  const Format& f_;
  std::string path_;
  int fd_ = -1;
  std::unique_ptr<xbe::index::NtxOrder> ntx_;
  std::unique_ptr<xbe::index::CdxFile> cdx_;
  std::string seen_;
};

// The peer's writer: records through a table handle that keeps no index, then their keys in the
// peer's own order under its write lock; reads (key counts, seeks) under its read lock.
bool PeerWrites(const Format& f, const fs::path& dir, int operations, unsigned seed) {
  xbe::OpenRequest request;
  request.name = (dir / "T").string();
  request.type = f.type;
  auto t = xbe::Table::Open(request);
  const std::size_t k = *t->Fields().Find("K");
  CachingPeer peer(f, (dir / f.file).string());
  std::mt19937 random(seed);
  std::vector<std::pair<std::uint32_t, std::string>> mine;  // records it appended, with their keys
  for (int i = 0; i < operations; ++i) {
    const int what = static_cast<int>(random() % 4);
    if (what == 0 && !mine.empty()) {
      // A key change of one of its records, under the record's lock until its keys are right.
      auto& [recno, key] = mine[random() % mine.size()];
      std::string next = WriterKey('P', random());
      next.resize(kKeyLength, ' ');
      t->LockRecord(recno);
      if (!t->GotoRecord(recno)) return false;
      t->SetFieldText(k, next);
      t->Write();
      peer.Lock(true);
      peer.Order().Remove({key, recno});
      peer.Order().Insert({next, recno});
      peer.Unlock(true);
      t->UnlockRecord(recno);
      key = next;
    } else if (what == 1) {
      peer.Lock(false);
      peer.Order().KeyCount();
      auto c = peer.Order().NewCursor();
      c->Seek(KeyText("A", static_cast<int>(random() % kFirstRecords)));
      peer.Unlock(false);
    } else {
      std::string key = WriterKey('P', random());
      key.resize(kKeyLength, ' ');
      t->Append();
      t->SetFieldText(k, key);
      t->Write();
      const std::uint32_t recno = t->CurrentRecordNumber();
      peer.Lock(true);
      peer.Order().Insert({key, recno});
      peer.Unlock(true);
      mine.emplace_back(recno, key);
    }
    if (random() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
  }
  return true;
}

// Our side through the C interface, the index open on a shared handle: appends, key changes of
// our own records, seeks and skips.
bool OursWrites(const Format& f, const fs::path& dir, int operations, unsigned seed) {
  XBEHANDLE c = 0, t = 0;
  if (XbeConnect(dir.string().c_str(), &c) != 0 ||
      XbeOpenTable(c, (dir / "T").string().c_str(), nullptr, f.tableType, 1, 0, 1, 0, &t) != 0)
    return false;
  XBEHANDLE order = 0;
  uint16_t n = 1;
  if (XbeOpenIndex(t, (dir / f.file).string().c_str(), &order, &n) != 0) return false;
  std::mt19937 random(seed);
  std::vector<std::uint32_t> mine;
  auto write = [&] {
    XBERESULT r = XbeWriteRecord(t);
    for (int retry = 0; r == 6009 && retry < 20; ++retry) r = XbeWriteRecord(t);
    return r == 0;
  };
  for (int i = 0; i < operations; ++i) {
    const int what = static_cast<int>(random() % 6);  // seeks half the time
    if (what == 0 && !mine.empty()) {
      const std::uint32_t recno = mine[random() % mine.size()];
      std::string key = WriterKey('O', random());
      key.resize(kKeyLength, ' ');
      if (XbeGotoRecord(t, recno) != 0 || XbeSetField(t, "K", key.data(), kKeyLength) != 0 || !write()) return false;
    } else if (what >= 3) {
      // The table's first records never change: whatever the other program does meanwhile, a
      // seek finds each of them, and the next key comes after it.
      const int n = static_cast<int>(random() % kFirstRecords);
      const std::string key = KeyText("A", n);
      uint16_t found = 0;
      if (XbeSeek(order, key.data(), kKeyLength, XBE_RAW_KEY, XBE_HARD_SEEK, &found) != 0) return false;
      if (!found) {
        std::fprintf(stderr, "ours: the record of key %s was not found\n", key.c_str());
        return false;
      }
      // A short walk on: most of its steps read only pages kept from before.
      std::string last = key;
      for (int step = 0; step < 8; ++step) {
        if (XbeSkip(order, 1) != 0) {
          std::fprintf(stderr, "ours: a step failed: %s\n", LastErrorText().c_str());
          return false;
        }
        if (AtEof(t)) break;
        const std::string now = FieldText(t, "K");
        if (now < last) {
          std::fprintf(stderr, "ours: after %s came %s\n", last.c_str(), now.c_str());
          return false;
        }
        last = now;
      }
    } else {
      std::string key = WriterKey('O', random());
      key.resize(kKeyLength, ' ');
      if (XbeAppendRecord(t) != 0 || XbeSetField(t, "K", key.data(), kKeyLength) != 0 || !write()) return false;
      mine.push_back(CurrentRecord(t));
    }
    // At any moment of the other program's change, also well into it.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
  }
  return XbeCloseTable(t) == 0 && XbeDisconnect(c) == 0;
}

// Every record has exactly its key in the order, in key order: the order equals a rebuild.
void ExpectOrderEqualsRebuild(const Format& f, const fs::path& dir) {
  xbe::OpenRequest request;
  request.name = (dir / "T").string();
  request.type = f.type;
  auto t = xbe::Table::Open(request);
  auto file = xbe::IndexFile::Open(*t, (dir / f.file).string());
  xbe::IndexFile::Tag& tag = file->Tags().front();
  std::vector<xbe::index::KeyEntry> want;
  t->ForEachRecord([&](const xbe::RecordView& r) {
    if (auto e = file->EntryOf(tag, r)) want.push_back(*e);
  });
  std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
    return a.key != b.key ? a.key < b.key : a.recno < b.recno;
  });
  EXPECT_NO_THROW(tag.order->Check());
  std::vector<xbe::index::KeyEntry> got;
  EXPECT_NO_THROW(got = tag.order->Entries());
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want) << "the order does not hold every record exactly once";
}

class SharedIndexWriters : public ::testing::TestWithParam<const Format*> {
 protected:
  // A table T of a few hundred records and its index on K, several levels deep.
  void MakeTable(const fs::path& dir) {
    const Format& f = *GetParam();
    xbe::CreateTable((dir / "T").string(), f.type, {{"K", 4, kKeyLength, 0}});
    Connection conn(dir.string());
    OpenOptions o;
    o.tableType = f.tableType;
    XBEHANDLE t = OpenTable(conn, "T", o);
    ASSERT_NE(t, 0u);
    std::vector<xbe::index::KeyEntry> entries;
    for (int i = 0; i < kFirstRecords; ++i) {
      XBE_OK(XbeAppendRecord(t));
      SetText(t, "K", KeyText("A", i * 7 % kFirstRecords));
      XBE_OK(XbeWriteRecord(t));
      entries.push_back({KeyText("A", i * 7 % kFirstRecords), static_cast<std::uint32_t>(i + 1)});
    }
    if (f.type == xbe::TableType::kNtx) {
      xbe::CreateNtxIndex(t, (dir / f.file).string(), "K");
    } else {
      xbe::index::CdxFile::Create(xbe::index::CreateHostFile((dir / f.file).string()))
          ->AddTag({"K", "K", "", false, false, kKeyLength, xbe::expr::Type::kCharacter}, entries);
    }
    XBE_OK(XbeCloseTable(t));
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, SharedIndexWriters, ::testing::Values(&kNtxFormat, &kCdxFormat),
                         [](const auto& info) { return std::string(info.param->name); });

// Both writers at once, at random moments, round after round on fresh files; more rounds with
// XBE_SHARED_ROUNDS.
TEST_P(SharedIndexWriters, EveryRecordKeepsExactlyOneKeyInOrder) {
  const Format& f = *GetParam();
  const char* more = std::getenv("XBE_SHARED_ROUNDS");
  const int rounds = more ? std::max(1, std::atoi(more)) : 10;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    testsupport::TempDir tmp;
    const fs::path dir = tmp.str();
    MakeTable(dir);
    std::vector<pid_t> children;
    for (int w = 0; w < 2; ++w) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        bool ok = false;
        try {
          const unsigned seed = static_cast<unsigned>(round * 2 + w + 1);
          ok = w == 0 ? OursWrites(f, dir, 150, seed) : PeerWrites(f, dir, 150, seed);
        } catch (const std::exception& e) {
          std::fprintf(stderr, "writer %d: %s\n", w, e.what());
        }
        if (!ok) std::fprintf(stderr, "writer %d failed: %s\n", w, LastErrorText().c_str());
        _exit(ok ? 0 : 1);
      }
      children.push_back(pid);
    }
    bool writersOk = true;
    for (pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      writersOk = writersOk && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    EXPECT_TRUE(writersOk) << "a writer failed";
    ExpectOrderEqualsRebuild(f, dir);
    if (HasFailure()) break;
  }
}

}  // namespace
