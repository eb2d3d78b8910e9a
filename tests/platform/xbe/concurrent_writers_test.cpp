// Writing next to other programs: their index-update lock and their file lock hold our writes
// back, and writers of both kinds together lose no key.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

// Another program's process holding a write lock (a classic process lock, as such programs
// take) on [start, start + length) of a file until the object goes.
class ForeignLock {
 public:
  ForeignLock(const std::string& file, std::uint64_t start, std::uint64_t length) {
    int ready[2], go[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(go), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      const int fd = ::open(file.c_str(), O_RDWR);
      struct flock fl{};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      fl.l_start = static_cast<off_t>(start);
      fl.l_len = static_cast<off_t>(length);
      char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
      if (::write(ready[1], &ok, 1) != 1) _exit(2);
      char x;
      if (::read(go[0], &x, 1) < 0) _exit(3);
      _exit(0);
    }
    ::close(ready[1]);
    ::close(go[0]);
    go_ = go[1];
    char ok = 'n';
    EXPECT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(ok, 'y') << "the lock could not be taken";
  }
  ~ForeignLock() {
    ::close(go_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
};

// Our order, read fresh, against the entries the table's records give.
void ExpectOrdersHoldEveryRecord(const fs::path& dir, const char* table, const char* index,
                                  xbe::TableType type = xbe::TableType::kNtx) {
  xbe::OpenRequest request;
  request.name = (dir / table).string();
  request.type = type;
  auto t = xbe::Table::Open(request);
  auto file = xbe::IndexFile::Open(*t, (dir / index).string());
  for (xbe::IndexFile::Tag& tag : file->Tags()) {
    if (tag.order->Info().unique) continue;  // holds the first record of each key only
    SCOPED_TRACE(tag.order->Info().name);
    std::vector<xbe::index::KeyEntry> want;
    t->ForEachRecord([&](const xbe::RecordView& r) {
      if (auto e = file->EntryOf(tag, r)) want.push_back(*e);
    });
    std::sort(want.begin(), want.end(), [&](const auto& a, const auto& b) {
      if (a.key != b.key) return (a.key < b.key) != tag.order->Info().descending;
      return a.recno < b.recno;
    });
    EXPECT_NO_THROW(tag.order->Check());
    const auto got = tag.order->Entries();
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the order does not hold every record";
  }
}

struct LockCase {
  const char* folder;
  const char* table;
  uint16_t type;
  xbe::TableType tableType;
  const char* index;
  std::uint64_t lockAt;
  const char* field;
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.index; }

class IndexUpdateLock : public ::testing::TestWithParam<LockCase> {};

TEST_P(IndexUpdateLock, AWriteUnderAnotherProgramsLockFailsWithNothingWritten) {
  REQUIRE_FIXTURES();
  const LockCase& c = GetParam();
  CopiedFolder copy(c.folder);
  OpenOptions o;
  o.tableType = c.type;
  XBEHANDLE t = OpenTable(copy.conn, c.table, o);
  ASSERT_NE(t, 0u);
  ASSERT_NE(OpenIndex(t, copy.conn.directory() + "\\" + c.index), 0u);
  const std::string dbf = (copy.dir() / (std::string(c.table) + ".dbf")).string();
  const std::string index = (copy.dir() / c.index).string();
  const std::string dbfBefore = ReadFile(dbf), indexBefore = ReadFile(index);
  {
    ForeignLock other(index, c.lockAt, 1);
    XBE_OK(XbeGotoRecord(t, 5));
    SetText(t, c.field, "9999");
    EXPECT_EQ(XbeWriteRecord(t), 6009u) << LastErrorText();
    EXPECT_TRUE(ReadFile(dbf) == dbfBefore) << "the record was written";
    EXPECT_TRUE(ReadFile(index) == indexBefore) << "the index was written";
  }
  // The lock gone, the same write goes through.
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeGotoRecord(t, 5));
  EXPECT_NE(FieldText(t, c.field).find("9999"), std::string::npos);
  XBE_OK(XbeCloseTable(t));
  ExpectOrdersHoldEveryRecord(copy.dir(), c.table, c.index, c.tableType);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, IndexUpdateLock,
    ::testing::Values(LockCase{"ntx", "people", XBE_NTX, xbe::TableType::kNtx, "peocod.ntx", 1000000000ULL, "CODIGO"},
                      LockCase{"cdx", "STOCK", XBE_CDX, xbe::TableType::kCdx, "STOCK.cdx", 0x7FFFFFFEULL, "ESTOQUE"}));

// Every writer opens its files first, says so, and waits until the test lets them all go: opening
// reads the index without a lock, and would read another writer's change halfway.
struct StartGate {
  int ready = -1;  // a writer writes one byte here once its files are open, then closes it
  int start = -1;  // reading ends when the test closes the other side
};

void WaitForStart(const StartGate& gate) {
  const char x = 'r';
  if (::write(gate.ready, &x, 1) != 1) _exit(3);
  ::close(gate.ready);
  char y;
  if (::read(gate.start, &y, 1) < 0) _exit(3);
}

// Appends `count` records named `prefix`-n through the C interface, with the index open.
bool AppendThroughTheEngine(const std::string& dir, const std::string& prefix, int count, const StartGate& gate) {
  const auto failed = [&](const char* step) {
    std::fprintf(stderr, "%s %s: %s\n", prefix.c_str(), step, LastErrorText().c_str());
    return false;
  };
  XBEHANDLE c = 0, t = 0;
  if (XbeConnect(dir.c_str(), &c) != 0 || XbeOpenTable(c, (dir + "\\people").c_str(), nullptr, 1, 1, 0, 1, 0, &t) != 0)
    return failed("open");
  XBEHANDLE orders[4];
  uint16_t n = 4;
  if (XbeOpenIndex(t, (dir + "\\peonom.ntx").c_str(), orders, &n) != 0) return failed("index");
  WaitForStart(gate);
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + "-" + std::to_string(i);
    if (XbeAppendRecord(t) != 0) return failed("append");
    if (XbeSetField(t, "NOME", name.data(), static_cast<uint32_t>(name.size())) != 0) return failed("field");
    // Another writer may hold the locks for a while: try again, as a caller would.
    XBERESULT r = XbeWriteRecord(t);
    for (int retry = 0; r == 6009 && retry < 20; ++retry) r = XbeWriteRecord(t);
    if (r != 0) return failed("write");
  }
  return XbeCloseTable(t) == 0;
}

// Appends as another program does: the record under the table's header lock, then the key
// under the index-update lock alone (the NTX file read afresh each time).
bool AppendAsAnotherProgram(const std::string& dir, const std::string& prefix, int count, const StartGate& gate) {
  xbe::OpenRequest request;
  request.name = dir + "/people";
  auto t = xbe::Table::Open(request);
  const std::size_t nome = *t->Fields().Find("NOME");
  const std::string ntx = dir + "/peonom.ntx";
  WaitForStart(gate);
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + "-" + std::to_string(i);
    t->Append();
    t->SetFieldText(nome, name);
    t->Write();
    const std::uint32_t recno = t->CurrentRecordNumber();
    const int fd = ::open(ntx.c_str(), O_RDWR);
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 1000000000;
    fl.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_SETLKW, &fl) != 0) return false;
    {
      auto order = xbe::index::NtxOrder::Open(xbe::index::OpenHostFile(ntx, true), "PEONOM");
      std::string key = name;
      key.resize(40, ' ');
      order->Insert({key, recno});
    }
    ::close(fd);  // the process's lock on the file goes with it
  }
  return true;
}

TEST(ConcurrentWriters, TwoOfOursAndAnotherProgramLoseNoKey) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const std::string dir = copy.dir().string();
  constexpr int kEach = 1000;
  int ready[2], start[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int w = 0; w < 3; ++w) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      ::close(start[1]);
      const StartGate gate{ready[1], start[0]};
      bool ok = false;
      try {
        ok = w < 2 ? AppendThroughTheEngine(dir, "OURS" + std::to_string(w), kEach, gate)
                   : AppendAsAnotherProgram(dir, "OTHER", kEach, gate);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "writer %d: %s\n", w, e.what());
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  // Every writer has opened its files (or given up) once the last write side is closed.
  ::close(ready[1]);
  char x;
  while (::read(ready[0], &x, 1) > 0) {
  }
  ::close(ready[0]);
  ::close(start[0]);
  ::close(start[1]);
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
  }
  ExpectOrdersHoldEveryRecord(copy.dir(), "people", "peonom.ntx");
}

// Another program's file lock: an append fails before anything is written.
TEST(ConcurrentWriters, AppendUnderAnotherProgramsFileLockWritesNothing) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  XBEHANDLE t = OpenTable(copy.conn, "people");
  ASSERT_NE(t, 0u);
  const std::string dbf = (copy.dir() / "people.dbf").string();
  const std::string before = ReadFile(dbf);
  const uint32_t count = RecordCount(t);
  {
    ForeignLock other(dbf, 1000000001ULL, 1000000000ULL);
    EXPECT_EQ(XbeAppendRecord(t), 6009u) << LastErrorText();
    EXPECT_EQ(RecordCount(t), count);
    EXPECT_TRUE(ReadFile(dbf) == before) << "the table changed";
  }
  XBE_OK(XbeAppendRecord(t));
  SetText(t, "NOME", "DEPOIS");
  XBE_OK(XbeWriteRecord(t));
  EXPECT_EQ(RecordCount(t), count + 1);
  XBE_OK(XbeCloseTable(t));
}

// Every call runs under the engine lock, which a thread may take again inside a call.
TEST(EngineLock, ExcludesOtherThreadsAndNests) {
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&counter] {
      for (int i = 0; i < 20000; ++i) {
        std::lock_guard<xbe::EngineLock> outer(xbe::EngineMutex());
        std::lock_guard<xbe::EngineLock> inner(xbe::EngineMutex());
        const long seen = counter;
        if (i % 1000 == 0) std::this_thread::yield();  // let another thread try meanwhile
        counter = seen + 1;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 4 * 20000);
}

}  // namespace
