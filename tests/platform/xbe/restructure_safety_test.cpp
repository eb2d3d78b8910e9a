// Restructure on tables it must not rewrite as they are (unwritable, hard-linked, miscounted,
// a header that would outgrow its 16-bit length), on tables reached through a symbolic link or
// owned by another user, and with failures injected around the switch: every refusal and
// every failure before the switch leaves the files byte-identical.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/restructure.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

// Every file of a folder (links as links), names and bytes.
std::string Snapshot(const fs::path& dir) {
  std::vector<fs::path> files;
  for (auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::string all;
  for (auto& f : files)
    all += f.filename().string() + (fs::is_symlink(f) ? "->" + fs::read_symlink(f).string() : ":" + ReadFile(f.string())) + "|";
  return all;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void PutLe(std::string& b, size_t at, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

class RestructureSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("ml/installed", dir());
  }
  fs::path dir() const { return tmp_.path() / "data"; }
  std::string Name(const char* table) const { return dir().string() + "\\" + table; }
  XBERESULT Run(const char* table, const char* add) {
    Connection c(dir().string());
    return XbeRestructureTable(c.handle(), Name(table).c_str(), nullptr, XBE_NTX, XBE_OEM, 0, XBE_IGNORE_RIGHTS, add,
                               "", "");
  }
  // Refused with `code`, the text naming the table and `mentions`, and nothing changed.
  void ExpectRefused(const char* table, const char* add, XBERESULT code, const std::string& mentions) {
    const std::string before = Snapshot(dir());
    EXPECT_EQ(Run(table, add), code) << LastErrorText();
    EXPECT_NE(LastErrorText().find(table), std::string::npos) << LastErrorText();
    EXPECT_NE(LastErrorText().find(mentions), std::string::npos) << LastErrorText();
    EXPECT_TRUE(Snapshot(dir()) == before) << "the files changed";
  }
  uint16_t Fields(const char* table) {
    Connection c(dir().string());
    XBEHANDLE t = OpenTable(c, table);
    const uint16_t n = t ? FieldCount(t) : 0;
    if (t) XbeCloseTable(t);
    return n;
  }
  testsupport::TempDir tmp_;
};

constexpr const char* kMl2Additions =
    "EMAIL,Char,50,0;TABELA,Numeric,3,0;DESCONTO,Numeric,15,4;FATURA,Logical,1,0;DTALT,Date,8,0";

// Header-length bytes damaged to FF FF on a table over 64 KiB: the table still opens, and the
// five new fields would need a header longer than 65,535 bytes.
TEST_F(RestructureSafety, AHeaderThatCannotBeWrittenIsRefused) {
  const std::string ml2 = ReadFile((dir() / "ML2.DBF").string());
  const size_t headerLength = static_cast<uint8_t>(ml2[8]) | static_cast<uint8_t>(ml2[9]) << 8;
  std::string damaged = ml2.substr(0, headerLength);
  damaged.resize(65535, '\0');
  PutLe(damaged, 8, 65535, 2);
  damaged += ml2.substr(headerLength);
  ASSERT_GT(damaged.size(), 65536u);
  Write(dir() / "ML2.DBF", damaged);
  ASSERT_EQ(Fields("ML2"), 9);
  ExpectRefused("ML2", kMl2Additions, 6005u, "header");
}

TEST_F(RestructureSafety, ARecordAreaTheHeaderDoesNotDescribeIsRefused) {
  const std::string ml2 = ReadFile((dir() / "ML2.DBF").string());
  const size_t headerLength = 322, recordLength = 119;
  ASSERT_EQ(ml2.size(), headerLength + 60 * recordLength + 1);
  const std::string records = ml2.substr(headerLength, 60 * recordLength);
  auto withCount = [&](uint32_t count, const std::string& area) {
    std::string b = ml2.substr(0, headerLength);
    PutLe(b, 4, count, 4);
    return b + area;
  };
  const struct {
    const char* what;
    std::string bytes;
    const char* mentions;
  } refused[] = {
      {"ten records not counted", withCount(50, records + "\x1A"), "60 complete records"},
      {"cut inside the last record", withCount(60, records.substr(0, records.size() - 10)),
       "59 complete records and a partial record of 109 bytes"},
      {"a partial record after the counted ones", withCount(59, records.substr(0, records.size() - 10)),
       "partial record"},
      {"counted records missing", withCount(60, records.substr(0, 50 * recordLength) + "\x1A"),
       "50 complete records"},
      {"bytes after the end mark", withCount(60, records + "\x1A\x1A"), "partial record of 2 bytes"},
  };
  for (const auto& k : refused) {
    SCOPED_TRACE(k.what);
    Write(dir() / "ML2.DBF", k.bytes);
    ExpectRefused("ML2", "OBS2,Char,40,0", 6006u, "counts");
  }
  // What tables legitimately hold: the end mark, or none.
  for (const std::string& area : {records + "\x1A", records}) {
    Write(dir() / "ML2.DBF", withCount(60, area));
    EXPECT_EQ(Run("ML2", "OBS2,Char,40,0"), 0u) << LastErrorText();
    Connection c(dir().string());
    XBEHANDLE t = OpenTable(c, "ML2");
    EXPECT_EQ(RecordCount(t), 60u);
    XBE_OK(XbeCloseTable(t));
  }
}

// The superuser too: a file without write bits is read-only, as for every other user.
TEST_F(RestructureSafety, ATableWithoutWriteBitsIsNotRewritten) {
  fs::permissions(dir() / "ML2.DBF", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ExpectRefused("ML2", "OBS2,Char,40,0", 6011u, "cannot be written");
}

TEST_F(RestructureSafety, AHardLinkedTableIsRefused) {
  fs::create_hard_link(dir() / "ML2.DBF", dir() / "COPIA.DBF");
  ExpectRefused("ML2", "OBS2,Char,40,0", 6008u, "hard links");
}

TEST_F(RestructureSafety, ALinkedTableIsRestructuredWhereItLies) {
  const fs::path real = tmp_.path() / "elsewhere";
  fs::create_directories(real);
  fs::rename(dir() / "ML2.DBF", real / "ML2.DBF");
  fs::create_symlink(real / "ML2.DBF", dir() / "ML2.DBF");
  ASSERT_EQ(Run("ML2", "OBS2,Char,40,0"), 0u) << LastErrorText();
  EXPECT_TRUE(fs::is_symlink(dir() / "ML2.DBF"));
  EXPECT_EQ(fs::read_symlink(dir() / "ML2.DBF"), real / "ML2.DBF");
  EXPECT_EQ(Fields("ML2"), 10);
  for (const fs::path& d : {dir(), real})
    for (auto& e : fs::directory_iterator(d)) EXPECT_EQ(e.path().extension().string().size(), 4u) << e.path();
}

// Run as the superuser on the application user's tables, the files stay that user's.
TEST_F(RestructureSafety, ReplacedFilesKeepOwnerGroupAndMode) {
  const bool root = ::geteuid() == 0;
  const uid_t user = root ? 4321 : ::geteuid();
  const gid_t group = root ? 8765 : ::getegid();
  for (const char* f : {"ML2.DBF", "ML6.DBF"}) {
    const std::string path = (dir() / f).string();
    ASSERT_EQ(::chown(path.c_str(), user, group), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  }
  ASSERT_EQ(Run("ML2", "OBS2,Char,40,0"), 0u) << LastErrorText();
  ASSERT_EQ(Run("ML6", "NOTAS,Memo,10,0"), 0u) << LastErrorText();  // the first memo field: a new ML6.DBT
  for (const char* f : {"ML2.DBF", "ML6.DBF", "ML6.DBT"}) {
    struct stat st{};
    ASSERT_EQ(::stat((dir() / f).c_str(), &st), 0) << f;
    EXPECT_EQ(st.st_uid, user) << f;
    EXPECT_EQ(st.st_gid, group) << f;
    EXPECT_EQ(st.st_mode & 07777, 0640u) << f;
  }
}

// Failures injected at each step of the switch.
class RestructureSwitch : public RestructureSafety {
 protected:
  // Runs the restructure failing `step` with EIO; returns the code raised (0 when none).
  uint32_t RunFailing(const char* table, const char* add, const std::string& step) {
    const xbe::RestructureFaults faults = [&](std::string_view at) { return at == step ? EIO : 0; };
    xbe::RestructureRequest request;
    const std::string name = Name(table);
    request.name = name;
    request.addList = add;
    request.faults = &faults;
    try {
      xbe::RestructureTable(request);
    } catch (const xbe::Error& e) {
      message_ = e.Message();
      return e.code();
    }
    return 0;
  }
  std::string message_;
};

TEST_F(RestructureSwitch, AFailureBeforeTheSwitchLeavesTheOldTable) {
  for (const char* step : {"sync memo", "sync folder", "rename table"}) {
    const std::string before = Snapshot(dir());
    EXPECT_EQ(RunFailing("ML2", "OBS2,Char,40,0", step), 6013u) << step;
    EXPECT_NE(message_.find("ML2"), std::string::npos) << message_;
    EXPECT_TRUE(Snapshot(dir()) == before) << step << ": the files changed";
  }
  EXPECT_EQ(Fields("ML2"), 9);
}

TEST_F(RestructureSwitch, AFolderSyncFailureAfterTheSwitchIsReported) {
  EXPECT_EQ(RunFailing("ML2", "OBS2,Char,40,0", "sync folder after"), 6013u);
  EXPECT_NE(message_.find("ML2"), std::string::npos) << message_;
  EXPECT_EQ(Fields("ML2"), 10);  // switched: the new table is complete
}

// A table getting its first memo field beside an old memo file of that name: a failure at any
// step gives the old file back, unchanged.
TEST_F(RestructureSwitch, AFailedFirstMemoFieldKeepsAnOldMemoFileOfThatName) {
  Write(dir() / "ML6.DBT", std::string(512, '\0') + "memo of an earlier memo field\x1A\x1A");
  for (const char* step : {"set memo aside", "rename memo", "sync memo folder", "rename table"}) {
    const std::string before = Snapshot(dir());
    EXPECT_EQ(RunFailing("ML6", "NOTAS,Memo,10,0", step), 6013u) << step;
    EXPECT_TRUE(Snapshot(dir()) == before) << step << ": the files changed";
  }
  EXPECT_EQ(RunFailing("ML6", "NOTAS,Memo,10,0", "none"), 0u) << message_;
  EXPECT_FALSE(fs::exists(dir() / "ML6.DBF.rso"));
  EXPECT_EQ(fs::file_size(dir() / "ML6.DBT"), 512u);
  EXPECT_EQ(Fields("ML6"), 7);
}

}  // namespace
