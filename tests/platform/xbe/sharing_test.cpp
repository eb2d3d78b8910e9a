// Sharing between handles and processes, and where locks lie in the file.
#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "flock_holder.h"
#include "index_helpers.h"
#include "platform/rtl/files.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

// True when another open file description holds a lock on [start, start + length).
bool LockedAt(const std::string& file, uint64_t start, uint64_t length) {
  const int fd = ::open(file.c_str(), O_RDWR);
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  const int r = ::fcntl(fd, F_OFD_GETLK, &fl);
  ::close(fd);
  return r == 0 && fl.l_type != F_UNLCK;
}

// A child process that opens the table and holds it until told to go.
class Holder {
 public:
  Holder(const std::string& dir, const char* table, uint32_t options = 0) {
    int ready[2], go[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(go), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      XBEHANDLE c = 0, t = 0;
      char ok = XbeConnect(dir.c_str(), &c) == 0 &&
                        XbeOpenTable(c, (dir + "\\" + table).c_str(), nullptr, 1, 1, 0, 1, options, &t) == 0
                    ? 'y'
                    : 'n';
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
    opened_ = ok == 'y';
  }
  ~Holder() {
    ::close(go_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  bool opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  bool opened_ = false;
};

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("ml/installed", dir());
    testsupport::CopyFixture("cdx", dir());
  }
  fs::path dir() const { return tmp_.path() / "data"; }
  testsupport::TempDir tmp_;
};

TEST_F(Sharing, ClosingOneHandleKeepsTheLocksOfAnother) {
  Connection c(dir().string());
  XBEHANDLE a = OpenTable(c, "ML2");
  XBEHANDLE b = OpenTable(c, "ML2");
  XBE_OK(XbeLockRecord(a, 5));
  EXPECT_EQ(XbeLockRecord(b, 5), 6009u);
  EXPECT_NE(LastErrorText().find("ML2"), std::string::npos);
  XBEHANDLE third = OpenTable(c, "ML2");
  XBE_OK(XbeCloseTable(third));  // another descriptor of the same file, closed
  EXPECT_EQ(XbeLockRecord(b, 5), 6009u);
  EXPECT_TRUE(LockedAt((dir() / "ML2.DBF").string(), 1000000005, 1));
  XBE_OK(XbeUnlockRecord(a, 5));
  XBE_OK(XbeLockRecord(b, 5));
  XBE_OK(XbeCloseTable(a));
  XBE_OK(XbeCloseTable(b));
  EXPECT_FALSE(LockedAt((dir() / "ML2.DBF").string(), 1000000005, 1));
}

TEST_F(Sharing, ExclusiveAndSharedOpensExcludeEachOther) {
  Connection c(dir().string());
  XBEHANDLE shared = OpenTable(c, "ML6");
  OpenOptions exclusive;
  exclusive.options = XBE_EXCLUSIVE;
  XBERESULT r = 0;
  EXPECT_EQ(OpenTable(c, "ML6", exclusive, &r), 0u);
  EXPECT_EQ(r, 6004u);
  EXPECT_NE(LastErrorText().find("in use"), std::string::npos);
  XBE_OK(XbeCloseTable(shared));
  XBEHANDLE alone = OpenTable(c, "ML6", exclusive);
  ASSERT_NE(alone, 0u);
  EXPECT_EQ(OpenTable(c, "ML6", {}, &r), 0u);
  EXPECT_EQ(r, 6003u);
  {
    Holder other(dir().string(), "ML6");
    EXPECT_FALSE(other.opened());
  }
  XBE_OK(XbeCloseTable(alone));
  Holder other(dir().string(), "ML6");
  EXPECT_TRUE(other.opened());
  EXPECT_EQ(OpenTable(c, "ML6", exclusive, &r), 0u);
  EXPECT_EQ(r, 6004u);
}

TEST_F(Sharing, ReadOnlyOpensRefuseWrites) {
  Connection c(dir().string());
  OpenOptions ro;
  ro.options = XBE_READONLY;
  XBEHANDLE t = OpenTable(c, "ML6", ro);
  uint32_t options = 0;
  XBE_OK(XbeGetTableOpenOptions(t, &options));
  EXPECT_EQ(options, 2u);
  XBE_OK(XbeGotoRecord(t, 1));
  EXPECT_EQ(XbeSetField(t, "HORACOL", "x", 1), 6011u);
  EXPECT_EQ(XbeAppendRecord(t), 6011u);
  XBE_OK(XbeCloseTable(t));
}

// A file the user may not write opens read-only when rights are checked, else it fails.
TEST_F(Sharing, UnwritableFilesOpenReadOnlyOnlyWhenRightsAreChecked) {
  Connection c(dir().string());
  uint32_t options = 0;
  fs::permissions(dir() / "ML6.DBF", fs::perms::owner_write, fs::perm_options::remove);
  if (::access((dir() / "ML6.DBF").c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights to write anything";
  XBEHANDLE t = OpenTable(c, "ML6");
  XBE_OK(XbeGetTableOpenOptions(t, &options));
  EXPECT_EQ(options, 2u);
  XBE_OK(XbeCloseTable(t));
  OpenOptions noRights;
  noRights.rights = XBE_IGNORE_RIGHTS;
  XBERESULT r = 0;
  EXPECT_EQ(OpenTable(c, "ML6", noRights, &r), 0u);
  EXPECT_EQ(r, 6011u);
}

TEST_F(Sharing, LocksLieWhereTheOtherProgramsLookForThem) {
  struct Case {
    xbe::TableType type;
    xbe::LockType lock;
    const char* file;
    uint64_t record7;
    uint64_t fileStart, fileLength;
  };
  const Case cases[] = {
      {xbe::TableType::kNtx, xbe::LockType::kCompatible, "ML2", 1000000007ULL, 1000000001ULL, 1000000000ULL},
      {xbe::TableType::kCdx, xbe::LockType::kCompatible, "STOCK", 0x7FFFFFFEULL - 7, 0x77FFFFFFULL, 0x07FFFFFFULL},
      {xbe::TableType::kNtx, xbe::LockType::kProprietary, "ML2", 0x200000007ULL, 0x200000001ULL, 0xFFFFFFFFULL},
  };
  for (const Case& k : cases) {
    xbe::OpenRequest request;
    request.name = (dir() / k.file).string();
    request.type = k.type;
    request.lockType = k.lock;
    auto table = xbe::Table::Open(request);
    const std::string path = table->Names().hostPath;
    table->LockRecord(7);
    EXPECT_TRUE(LockedAt(path, k.record7, 1)) << k.file;
    EXPECT_FALSE(LockedAt(path, k.record7 + 1, 1)) << k.file;
    EXPECT_FALSE(LockedAt(path, k.fileStart + k.fileLength / 2, 1)) << k.file;
    table->LockFile();
    EXPECT_TRUE(LockedAt(path, k.fileStart, 1)) << k.file;
    EXPECT_TRUE(LockedAt(path, k.fileStart + k.fileLength - 1, 1)) << k.file;
    EXPECT_FALSE(LockedAt(path, k.fileStart + k.fileLength, 1)) << k.file;
    table->UnlockFile();
    EXPECT_TRUE(LockedAt(path, k.record7, 1)) << "the record lock survives the file unlock";
    EXPECT_FALSE(LockedAt(path, k.fileStart + k.fileLength / 2, 1));
    table->UnlockRecord(7);
    EXPECT_FALSE(LockedAt(path, k.record7, 1));
  }
}

TEST_F(Sharing, TwoProcessesSeeEachOthersWrites) {
  Connection c(dir().string());
  XBEHANDLE t = OpenTable(c, "ML6");
  XBE_OK(XbeGotoRecord(t, 3));
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE cc = 0, ct = 0;
    bool ok = XbeConnect(dir().c_str(), &cc) == 0 &&
              XbeOpenTable(cc, (dir().string() + "\\ML6").c_str(), nullptr, 1, 1, 0, 1, 0, &ct) == 0 &&
              XbeGotoRecord(ct, 3) == 0 && XbeLockRecord(ct, 3) == 0 && XbeSetField(ct, "HORACOL", "99:99", 5) == 0 &&
              XbeWriteRecord(ct) == 0 && XbeUnlockRecord(ct, 3) == 0 && XbeAppendRecord(ct) == 0 &&
              XbeSetField(ct, "NUMCOL", "4242", 4) == 0 && XbeWriteRecord(ct) == 0 && XbeCloseTable(ct) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  XBE_OK(XbeRefreshRecord(t));
  EXPECT_EQ(FieldText(t, "HORACOL"), "99:99");
  EXPECT_EQ(RecordCount(t), 81u);
  XBE_OK(XbeGotoBottom(t));
  EXPECT_EQ(FieldText(t, "NUMCOL"), "4242");
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Sharing, AWriteWaitsForNoOneButFailsOnAnothersRecordLock) {
  Connection c(dir().string());
  XBEHANDLE a = OpenTable(c, "ML6");
  XBEHANDLE b = OpenTable(c, "ML6");
  XBE_OK(XbeLockRecord(a, 2));
  XBE_OK(XbeGotoRecord(b, 2));
  SetText(b, "HORACOL", "00:00");
  EXPECT_EQ(XbeWriteRecord(b), 6009u);
  XBE_OK(XbeCancelUpdate(b));
  XBE_OK(XbeCloseTable(a));
  XBE_OK(XbeGotoRecord(b, 2));
  SetText(b, "HORACOL", "00:00");
  XBE_OK(XbeWriteRecord(b));
  XBE_OK(XbeCloseTable(b));
}

// Other DBF programs on this host mark their opens with flock alone: ours carry it too, and
// theirs keep our exclusive opens out. Between two descriptors of this process flock conflicts
// as between processes, which matches the byte-range rules (two shared opens live together).
TEST_F(Sharing, FlockMarksOpensBothWays) {
  const fs::path ml2 = dir() / "ML2.DBF";
  Connection c(dir().string());
  OpenOptions exclusive;
  exclusive.options = XBE_EXCLUSIVE;
  XBERESULT r = 0;

  XBEHANDLE a = OpenTable(c, "ML2");
  XBEHANDLE b = OpenTable(c, "ML2");
  ASSERT_NE(b, 0u) << "two shared opens in one process";
  EXPECT_FALSE(testsupport::OtherProcessCanFlock(ml2, true));
  EXPECT_TRUE(testsupport::OtherProcessCanFlock(ml2, false));
  XBE_OK(XbeCloseTable(a));
  EXPECT_FALSE(testsupport::OtherProcessCanFlock(ml2, true)) << "the other handle still holds it";
  XBE_OK(XbeCloseTable(b));
  EXPECT_TRUE(testsupport::OtherProcessCanFlock(ml2, true));
  XBEHANDLE alone = OpenTable(c, "ML2", exclusive);
  ASSERT_NE(alone, 0u);
  EXPECT_FALSE(testsupport::OtherProcessCanFlock(ml2, false));
  XBE_OK(XbeCloseTable(alone));

  {
    testsupport::FlockHolder theirs(ml2, false);
    ASSERT_TRUE(theirs.Holding());
    EXPECT_EQ(OpenTable(c, "ML2", exclusive, &r), 0u);
    EXPECT_EQ(r, 6004u);
    XBEHANDLE shared = OpenTable(c, "ML2");
    EXPECT_NE(shared, 0u);
    XBE_OK(XbeCloseTable(shared));
  }
  {
    testsupport::FlockHolder theirs(ml2, true);
    ASSERT_TRUE(theirs.Holding());
    EXPECT_EQ(OpenTable(c, "ML2", {}, &r), 0u);
    EXPECT_EQ(r, 6003u);
  }
  const int mine = ::open(ml2.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(mine, LOCK_SH | LOCK_NB), 0);
  EXPECT_EQ(OpenTable(c, "ML2", exclusive, &r), 0u);
  EXPECT_EQ(r, 6004u);
  ::close(mine);
  alone = OpenTable(c, "ML2", exclusive);
  EXPECT_NE(alone, 0u);
  XBE_OK(XbeCloseTable(alone));
}

// An open index file is marked like a table, so that deleting it (as the updater does) sees it
// in use; an index file someone holds exclusively is not opened.
TEST_F(Sharing, OpenIndexFilesAreMarkedInUse) {
  const fs::path ntx = dir() / "ML21.NTX";
  const std::string windowsName = dir().string() + "\\ML21.NTX";
  Connection c(dir().string());
  XBEHANDLE t = OpenTable(c, "ML2");
  const XBEHANDLE order = OpenIndex(t, windowsName);
  ASSERT_NE(order, 0u);
  EXPECT_FALSE(testsupport::OtherProcessCanFlock(ntx, true));
  EXPECT_TRUE(LockedAt(ntx.string(), 0x100000000ULL, 1));
  EXPECT_FALSE(rtl::DeleteFile(windowsName));
  EXPECT_TRUE(fs::exists(ntx));
  XBE_OK(XbeCloseIndex(order));
  EXPECT_TRUE(testsupport::OtherProcessCanFlock(ntx, true));
  {
    testsupport::FlockHolder theirs(ntx, true);
    ASSERT_TRUE(theirs.Holding());
    XBEHANDLE orders[4] = {};
    uint16_t n = 4;
    EXPECT_EQ(XbeOpenIndex(t, windowsName.c_str(), orders, &n), 6003u);
    EXPECT_NE(LastErrorText().find("ML21.NTX"), std::string::npos) << LastErrorText();
  }
  XBE_OK(XbeCloseTable(t));
  EXPECT_TRUE(rtl::DeleteFile(windowsName));
  EXPECT_FALSE(fs::exists(ntx));
}

}  // namespace
