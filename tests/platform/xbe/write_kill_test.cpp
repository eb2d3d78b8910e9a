// A process editing two tables (appends, key changes, deletions, memo writes) through the C
// interface, one with two NTX orders open and one with its structural CDX, is killed at each of
// its writes in turn and at random moments, on fresh copies and again and again on the same
// files. After each kill the next open finds the table and every order agreeing: each order
// equals a rebuild from the records, the record count describes the records present, and every
// memo reads.
//
// XBE_WRITE_KILL_POINTS sets how many write points are tried (0: every one); the default keeps
// the run short.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

// The write at which the child kills itself (0: none), and the writes it has made.
long killAt = 0;
long writes = 0;
void CountWrite() {
  if (++writes == killAt) ::raise(SIGKILL);
}

struct TableSpec {
  const char* name;
  std::uint16_t type;
  std::vector<const char*> ntx;  // index files opened beside it (the CDX table's opens with it)
};
const TableSpec kTables[] = {{"NOTAS", XBE_NTX, {"NCOD", "NNOME"}}, {"FICHAS", XBE_CDX, {}}};

std::string Name(std::mt19937& rng) {
  static const char* const kNames[] = {"ana", "Bruno", "carla", "DANIEL", "eva", "Fabio", "gil", "Helena"};
  std::string n = kNames[rng() % 8];
  n += ' ';
  n += std::to_string(rng() % 50);
  return n;
}

bool Set(XBEHANDLE t, const char* field, const std::string& value) {
  return XbeSetField(t, reinterpret_cast<XBEFIELD>(field), value.data(), static_cast<uint32_t>(value.size())) == 0;
}

// Memos of varying length: some fit their old blocks, some move to the end of the file.
std::string Memo(std::mt19937& rng, int op) { return "obs " + std::to_string(op) + std::string(rng() % 700, 'x'); }

// The child's work: `ops` random edits from `seed`; false when a call fails.
bool Edit(const fs::path& dir, unsigned seed, int ops) {
  XBEHANDLE c = 0;
  if (XbeConnect(dir.c_str(), &c) != 0) return false;
  std::vector<XBEHANDLE> tables;
  for (const TableSpec& s : kTables) {
    XBEHANDLE t = 0;
    const std::string name = dir.string() + "\\" + s.name;
    if (XbeOpenTable(c, name.c_str(), nullptr, s.type, XBE_ANSI, XBE_COMPATIBLE_LOCKING, XBE_CHECK_RIGHTS, 0, &t) != 0)
      return false;
    for (const char* f : s.ntx) {
      XBEHANDLE orders[4];
      std::uint16_t n = 4;
      if (XbeOpenIndex(t, (dir.string() + "\\" + f).c_str(), orders, &n) != 0) return false;
    }
    tables.push_back(t);
  }
  std::mt19937 rng(seed);
  for (int op = 0; op < ops; ++op) {
    XBEHANDLE t = tables[rng() % tables.size()];
    std::uint32_t count = 0;
    if (XbeGetRecordCount(t, 2, &count) != 0) return false;
    const unsigned kind = rng() % 10;
    bool ok = true;
    if (kind < 4 || count == 0) {
      ok = XbeAppendRecord(t) == 0 && Set(t, "CODIGO", std::to_string(rng() % 500)) && Set(t, "NOME", Name(rng)) &&
           Set(t, "OBS", Memo(rng, op)) && XbeWriteRecord(t) == 0;
    } else {
      ok = XbeGotoRecord(t, 1 + rng() % count) == 0;
      if (kind < 7) ok = ok && Set(t, "CODIGO", std::to_string(rng() % 500)) && Set(t, "NOME", Name(rng));
      else if (kind < 8) ok = ok && Set(t, "NOME", Name(rng)) && Set(t, "OBS", Memo(rng, op));
      else if (kind < 9) ok = ok && XbeDeleteRecord(t) == 0;
      else ok = ok && Set(t, "OBS", Memo(rng, op));
      ok = ok && XbeWriteRecord(t) == 0;
    }
    if (!ok) return false;
  }
  for (XBEHANDLE t : tables)
    if (XbeCloseTable(t) != 0) return false;
  return XbeDisconnect(c) == 0;
}

// Runs Edit in a child killed at its write `at` (0: never); returns the writes it made when it
// ran to the end (through a pipe), or -1 when it was killed.
long RunChild(const fs::path& dir, unsigned seed, int ops, long at) {
  int out[2];
  if (::pipe(out) != 0) return -2;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    killAt = at;
    writes = 0;
    xbe::index::SetWriteProbe(CountWrite);
    const bool ok = Edit(dir, seed, ops);
    xbe::index::SetWriteProbe(nullptr);
    const long n = ok ? writes : -3;
    if (::write(out[1], &n, sizeof n) != sizeof n) _exit(2);
    _exit(ok ? 0 : 1);
  }
  ::close(out[1]);
  long n = -1;
  if (::read(out[0], &n, sizeof n) != sizeof n) n = -1;
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? -1 : n;
}

struct Row {
  std::uint32_t recno;
  double codigo;
  std::string nome;  // upper case, as the character orders key it
  bool deleted;
};

std::string Upper(std::string s) {
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return s;
}

// Records in the order a rebuild would give them (equal keys by record number).
std::vector<std::uint32_t> Expected(std::vector<Row> rows, bool byName, bool withoutDeleted) {
  std::erase_if(rows, [&](const Row& r) { return withoutDeleted && r.deleted; });
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return byName ? a.nome < b.nome : a.codigo < b.codigo;
  });
  std::vector<std::uint32_t> out;
  for (const Row& r : rows) out.push_back(r.recno);
  return out;
}

std::string OrderName(XBEHANDLE order) {
  char name[64];
  std::uint16_t length = sizeof name;
  return XbeGetIndexName(order, name, &length) == 0 ? std::string(name, length) : "";
}

class WriteKill : public ::testing::Test {
 protected:
  void SetUp() override {
    ShowDeleted(true);
    fs::create_directories(master());
    for (const TableSpec& s : kTables)
      xbe::CreateTable((master() / s.name).string(), s.type == XBE_CDX ? xbe::TableType::kCdx : xbe::TableType::kNtx,
                       {{"CODIGO", 2, 6, 0}, {"NOME", 4, 20, 0}, {"OBS", 5, 10, 0}});
    {
      Connection c(master().string());
      XBEHANDLE t = OpenTable(c, "NOTAS");
      ASSERT_NE(t, 0u);
      xbe::CreateNtxIndex(t, (master() / "NCOD").string(), "CODIGO");
      xbe::CreateNtxIndex(t, (master() / "NNOME").string(), "UPPER(NOME)");
      XBE_OK(XbeCloseTable(t));
    }
    auto cdx = xbe::index::CdxFile::Create(xbe::index::CreateHostFile((master() / "FICHAS.cdx").string()));
    cdx->AddTag({"CODIGO", "CODIGO", "", false, false, 8, xbe::expr::Type::kNumeric}, {});
    cdx->AddTag({"NOME", "UPPER(NOME)", "!DELETED()", false, false, 20, xbe::expr::Type::kCharacter}, {});
    cdx.reset();
    // Enough records for trees of several levels, so that edits split and merge pages.
    ASSERT_GE(RunChild(master(), 1, 400, 0), 0) << "the edits do not run";
    ExpectConsistent(master(), "the master copy");
  }
  void TearDown() override { ShowDeleted(false); }

  fs::path master() const { return tmp_.path() / "master"; }
  fs::path work() const { return tmp_.path() / "work"; }
  void Fresh() {
    fs::remove_all(work());
    fs::copy(master(), work(), fs::copy_options::recursive);
  }

  // Opens each table and its orders as the next program would, and compares.
  void ExpectConsistent(const fs::path& dir, const std::string& trial) {
    SCOPED_TRACE(trial);
    Connection c(dir.string());
    for (const TableSpec& s : kTables) {
      SCOPED_TRACE(s.name);
      OpenOptions o;
      o.tableType = s.type;
      XBEHANDLE t = OpenTable(c, s.name, o);
      ASSERT_NE(t, 0u) << LastErrorText();
      for (const char* f : s.ntx) ASSERT_NE(OpenIndex(t, (dir / f).string()), 0u) << LastErrorText();
      // The count describes the records present.
      const std::string data = ReadFile((dir / (std::string(s.name) + ".dbf")).string());
      const auto u16 = [&](int at) { return static_cast<uint8_t>(data[at]) | static_cast<uint8_t>(data[at + 1]) << 8; };
      const std::uint32_t count = RecordCount(t);
      const std::size_t area = data.size() - u16(8);
      EXPECT_TRUE(area == std::size_t{count} * u16(10) || area == std::size_t{count} * u16(10) + 1)
          << count << " records counted, " << area << " bytes of records";
      std::vector<Row> rows;
      for (std::uint32_t r = 1; r <= count; ++r) {
        XBE_OK(XbeGotoRecord(t, r));
        std::string nome = FieldText(t, "NOME");
        nome.resize(20, ' ');
        rows.push_back({r, std::atof(FieldText(t, "CODIGO").c_str()), Upper(nome), IsDeleted(t)});
        const std::string memo = FieldText(t, "OBS");
        EXPECT_TRUE(memo.empty() || memo.rfind("obs ", 0) == 0) << "record " << r << " memo " << memo.substr(0, 20);
      }
      for (XBEHANDLE order : AllOrders(t)) {
        const std::string name = OrderName(order);
        SCOPED_TRACE(name);
        const bool byName = name.find("NOME") != std::string::npos;
        const std::vector<std::uint32_t> expected = Expected(rows, byName, byName && s.type == XBE_CDX);
        EXPECT_EQ(Walk(t, order), expected);
        EXPECT_EQ(WalkBackwards(t, order), expected);
      }
      XBE_OK(XbeCloseTable(t));
    }
    // The pages themselves: branch keys, sibling links, levels, free lists.
    try {
      for (const char* f : {"NCOD.ntx", "NNOME.ntx"})
        xbe::index::NtxOrder::Open(xbe::index::OpenHostFile((dir / f).string(), false), "N")->Check();
      xbe::index::CdxFile::Open(xbe::index::OpenHostFile((dir / "FICHAS.cdx").string(), false),
                                [](const std::string& key) {
                                  return key == "CODIGO" ? xbe::expr::Type::kNumeric : xbe::expr::Type::kCharacter;
                                })
          ->Check();
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
    for (auto& e : fs::directory_iterator(dir))
      EXPECT_NE(e.path().extension(), ".wil") << "a journal is left after recovery: " << e.path();
  }

  static std::size_t Points() {
    const char* v = std::getenv("XBE_WRITE_KILL_POINTS");
    return v ? std::strtoul(v, nullptr, 10) : 40;
  }

  testsupport::TempDir tmp_;
};

constexpr int kOps = 40;

TEST_F(WriteKill, KilledAtEachWriteLeavesTheOrdersAgreeing) {
  Fresh();
  const long total = RunChild(work(), 7, kOps, 0);
  ASSERT_GT(total, 100) << "the edits do not run";
  const std::size_t points = Points() == 0 ? static_cast<std::size_t>(total) : std::min<std::size_t>(Points(), total);
  for (std::size_t i = 0; i < points; ++i) {
    const long at = 1 + static_cast<long>(i * static_cast<std::size_t>(total) / points);
    Fresh();
    ASSERT_EQ(RunChild(work(), 7, kOps, at), -1) << "write " << at << " of " << total;
    ExpectConsistent(work(), "killed at write " + std::to_string(at) + " of " + std::to_string(total));
    if (HasFailure()) return;
  }
}

// Kills land where they may, over and over on the same files: each open repairs what the last
// kill left, and the next run builds on it.
TEST_F(WriteKill, KilledAgainAndAgainOnTheSameFiles) {
  Fresh();
  std::mt19937 rng(11);
  const std::size_t rounds = std::max<std::size_t>(Points() / 2, 20);
  for (std::size_t round = 0; round < rounds; ++round) {
    const long at = 1 + static_cast<long>(rng() % 600);
    RunChild(work(), static_cast<unsigned>(100 + round), kOps, at);
    ExpectConsistent(work(), "round " + std::to_string(round) + ", killed at write " + std::to_string(at));
    if (HasFailure()) return;
  }
}

// A kill from outside at a random moment, as a user's machine would see it.
TEST_F(WriteKill, KilledFromOutsideAtRandomMoments) {
  constexpr int kLongRun = 400;
  auto start = [&](unsigned seed) {
    const pid_t pid = ::fork();
    if (pid == 0) _exit(Edit(work(), seed, kLongRun) ? 0 : 1);
    return pid;
  };
  // The time of a whole run, to spread the kills over it.
  Fresh();
  int status = 0;
  const auto begin = std::chrono::steady_clock::now();
  ::waitpid(start(0), &status, 0);
  const auto whole = std::chrono::steady_clock::now() - begin;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::mt19937 rng(5);
  const std::size_t rounds = std::max<std::size_t>(Points() / 4, 10);
  int killedInside = 0;
  for (std::size_t round = 0; round < rounds; ++round) {
    Fresh();
    const pid_t pid = start(static_cast<unsigned>(round));
    std::this_thread::sleep_for(whole * (rng() % 1000) / 1000);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedInside;
    ExpectConsistent(work(), "round " + std::to_string(round));
    if (HasFailure()) return;
  }
  EXPECT_GE(killedInside, static_cast<int>(rounds / 2)) << "most kills should land inside the edits";
}

}  // namespace
