// Transactions on local tables: rollback puts every file back byte for byte, commit keeps the
// same bytes a run without a transaction writes, other processes cannot lock what the
// transaction holds, and a process killed at any step leaves its tables committed or as before.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/handles.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPeopleIndexes[] = {"peocod.ntx", "peonom.ntx", "peodat.ntx",
                                          "peouni.ntx", "peodes.ntx", "peofor.ntx"};

XBERESULT Set(XBEHANDLE t, const char* field, const std::string& value) {
  return XbeSetField(t, field, value.data(), static_cast<uint32_t>(value.size()));
}

#define TRY(call)                        \
  do {                                   \
    if (const XBERESULT r_ = (call)) return r_; \
  } while (0)

// people (a .dbt memo and six NTX orders) and STOCK (an .fpt memo and the tags of its CDX).
struct Tables {
  XBEHANDLE people = 0, stock = 0;

  XBERESULT Open(XBEHANDLE connection, const std::string& dir) {
    TRY(XbeOpenTable(connection, (dir + "\\people").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                     XBE_CHECK_RIGHTS, 0, &people));
    for (const char* index : kPeopleIndexes) {
      XBEHANDLE orders[1];
      uint16_t count = 1;
      TRY(XbeOpenIndex(people, (dir + "\\" + index).c_str(), orders, &count));
    }
    return XbeOpenTable(connection, (dir + "\\STOCK").c_str(), nullptr, XBE_CDX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                        XBE_CHECK_RIGHTS, 0, &stock);
  }
  XBERESULT Close() {
    TRY(XbeCloseTable(people));
    return XbeCloseTable(stock);
  }
};

// Edits of keys and memos (longer memos move to the end of the memo file), appends with memos,
// a delete, a recall and a cancelled append on both tables; `v` varies the values.
XBERESULT Change(const Tables& t, int v) {
  const std::string n = std::to_string(v);
  TRY(XbeGotoRecord(t.people, 2));
  TRY(Set(t.people, "NOME", "Alterado " + n));
  TRY(Set(t.people, "CIDADE", "CIDADE " + n));
  TRY(Set(t.people, "VALOR", std::to_string(100 * v) + ".25"));
  TRY(Set(t.people, "OBS", std::string(700 + v, 'm')));
  TRY(XbeWriteRecord(t.people));
  TRY(XbeGotoRecord(t.people, 5 + v));
  TRY(XbeDeleteRecord(t.people));
  for (int i = 0; i < 2; ++i) {
    TRY(XbeAppendRecord(t.people));
    TRY(Set(t.people, "CODIGO", std::to_string(900000 + 10 * v + i)));
    TRY(Set(t.people, "NOME", "Novo " + n));
    TRY(Set(t.people, "ATIVO", "T"));
    TRY(Set(t.people, "OBS", "Nota nova " + n));
    TRY(XbeWriteRecord(t.people));
  }
  TRY(XbeAppendRecord(t.people));
  TRY(XbeCancelUpdate(t.people));

  TRY(XbeGotoRecord(t.stock, 3));
  TRY(Set(t.stock, "ITEM", "IT" + n));
  TRY(Set(t.stock, "ESTOQUE", std::to_string(90000 + v)));
  TRY(Set(t.stock, "NOTAS", std::string(300 * v, 'n')));
  TRY(XbeWriteRecord(t.stock));
  TRY(XbeAppendRecord(t.stock));
  TRY(Set(t.stock, "ITEM", "NOVO" + n));
  TRY(Set(t.stock, "ESTOQUE", std::to_string(80000 + v)));
  TRY(Set(t.stock, "NOTAS", "nota " + n));
  TRY(XbeWriteRecord(t.stock));
  TRY(XbeGotoRecord(t.stock, 7 + v));
  TRY(XbeDeleteRecord(t.stock));
  return XbeWriteRecord(t.stock);
}

// The files of a folder by name. `maskDates` blanks the last-update date of the tables, which
// is written when a table closes (a killed process never gets there).
std::map<std::string, std::string> Files(const fs::path& dir, bool maskDates = false) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string bytes = ReadFile(e.path().string());
    const std::string name = e.path().filename().string();
    if (maskDates && e.path().extension() == ".dbf" && bytes.size() > 4) bytes.replace(1, 3, 3, '\0');
    files[name] = bytes;
  }
  return files;
}

std::string Differences(const std::map<std::string, std::string>& got, const std::map<std::string, std::string>& want) {
  std::string d;
  for (const auto& [name, bytes] : want) {
    auto it = got.find(name);
    if (it == got.end()) d += name + " missing; ";
    else if (it->second != bytes) d += name + " differs; ";
  }
  for (const auto& [name, bytes] : got)
    if (!want.count(name)) d += name + " left over; ";
  return d;
}

// A child process running `body` on its own connection to `dir`; returns its wait status.
int InChild(const fs::path& dir, const std::function<int(XBEHANDLE)>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE c = 0;
    if (XbeConnect(dir.c_str(), &c) != 0) _exit(100);
    _exit(body(c));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Whether another process can lock a record of people: 0, or the engine's code.
int LockFromAnotherProcess(const fs::path& dir, uint32_t record) {
  const int status = InChild(dir, [&](XBEHANDLE c) {
    XBEHANDLE t = 0;
    if (XbeOpenTable(c, (dir.string() + "\\people").c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, XBE_CHECK_RIGHTS, 0, &t))
      return 101;
    const XBERESULT r = XbeLockRecord(t, record);
    return r == 0 ? 0 : r == 6009 ? 9 : 102;
  });
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Transactions : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", dir());
    testsupport::CopyFixture("cdx", dir());
  }
  fs::path dir() const { return tmp_.path() / "d"; }
  testsupport::TempDir tmp_;
};

TEST_F(Transactions, RollbackPutsEveryFileBackByteForByte) {
  const auto before = Files(dir());
  Connection c(dir().string());
  Tables t;
  XBE_OK(t.Open(c.handle(), dir().string()));
  XBE_OK(XbeGotoRecord(t.people, 2));
  const std::string name = FieldText(t.people, "NOME");
  XBE_OK(XbeBeginTransaction(c.handle()));
  XBE_OK(Change(t, 1));
  XBE_OK(Change(t, 2));
  // A pending edit goes with the transaction too.
  XBE_OK(XbeGotoRecord(t.people, 3));
  XBE_OK(Set(t.people, "NOME", "pendente"));
  EXPECT_TRUE(fs::exists(dir() / "people.dbf.tjl"));
  XBE_OK(XbeRollbackTransaction(c.handle()));

  // The handles go on over the files as they were: count, record, orders.
  EXPECT_EQ(RecordCount(t.people), 400u);
  XBE_OK(XbeGotoRecord(t.people, 2));
  EXPECT_EQ(FieldText(t.people, "NOME"), name);
  XBEHANDLE order = 0;
  XBE_OK(XbeGetIndexHandle(t.people, "PEOCOD", &order));
  uint16_t found = 0;
  XBE_OK(XbeSeek(order, "900010", 6, XBE_TEXT_KEY, XBE_HARD_SEEK, &found));
  EXPECT_EQ(found, 0) << "the order still holds an appended key";
  XBE_OK(t.Close());
  EXPECT_EQ(Differences(Files(dir()), before), "");
}

// Tables closed inside the transaction keep their locks until it ends; a connection closed
// inside it rolls it back.
TEST_F(Transactions, ClosingInsideRollsBackAtDisconnect) {
  const auto before = Files(dir());
  {
    Connection c(dir().string());
    Tables t;
    XBE_OK(t.Open(c.handle(), dir().string()));
    XBE_OK(XbeBeginTransaction(c.handle()));
    XBE_OK(Change(t, 1));
    XBE_OK(t.Close());
    EXPECT_EQ(LockFromAnotherProcess(dir(), 2), 9);
  }
  EXPECT_EQ(Differences(Files(dir()), before), "");
  EXPECT_EQ(LockFromAnotherProcess(dir(), 2), 0);
}

// The same changes without a transaction write the same bytes; the journals are gone.
TEST_F(Transactions, CommitKeepsWhatTheChangesWrote) {
  const fs::path plain = tmp_.path() / "plain";
  fs::copy(dir(), plain, fs::copy_options::recursive);
  {
    Connection c(plain.string());
    Tables t;
    XBE_OK(t.Open(c.handle(), plain.string()));
    XBE_OK(Change(t, 1));
    XBE_OK(t.Close());
  }
  Connection c(dir().string());
  Tables t;
  XBE_OK(t.Open(c.handle(), dir().string()));
  XBE_OK(XbeBeginTransaction(c.handle()));
  XBE_OK(Change(t, 1));
  XBE_OK(XbeCommitTransaction(c.handle()));
  XBE_OK(t.Close());
  EXPECT_EQ(Differences(Files(dir()), Files(plain)), "");
}

TEST_F(Transactions, CallsOutOfSequenceAreRefused) {
  Connection c(dir().string());
  XBEHANDLE people = OpenTable(c, "people");
  EXPECT_EQ(XbeCommitTransaction(c.handle()), 6019u);
  EXPECT_NE(LastErrorText().find("no transaction to commit"), std::string::npos) << LastErrorText();
  EXPECT_EQ(XbeRollbackTransaction(c.handle()), 6019u);
  XBE_OK(XbeBeginTransaction(c.handle()));
  EXPECT_EQ(XbeBeginTransaction(c.handle()), 6019u);
  EXPECT_NE(LastErrorText().find("do not nest"), std::string::npos) << LastErrorText();
  // The refused begin left the running transaction alone.
  XBE_OK(XbeGotoRecord(people, 1));
  XBE_OK(Set(people, "NOME", "dentro"));
  XBE_OK(XbeWriteRecord(people));
  XBE_OK(XbeRollbackTransaction(c.handle()));
  EXPECT_EQ(XbeRollbackTransaction(c.handle()), 6019u);
  XBE_OK(XbeGotoRecord(people, 1));
  EXPECT_EQ(FieldText(people, "NOME").substr(0, 4), "Zeca");
  EXPECT_EQ(XbeBeginTransaction(0x7FFFFFF0u), 6001u);
  XBE_OK(XbeCloseTable(people));
}

TEST_F(Transactions, WrittenRecordsStayLockedUntilTheEnd) {
  Connection c(dir().string());
  XBEHANDLE people = OpenTable(c, "people");
  XBE_OK(XbeBeginTransaction(c.handle()));
  XBE_OK(XbeLockRecord(people, 4));
  XBE_OK(XbeGotoRecord(people, 4));
  XBE_OK(Set(people, "NOME", "escrito"));
  XBE_OK(XbeWriteRecord(people));
  // Unlocking inside the transaction does not let others in.
  XBE_OK(XbeUnlockRecord(people, 4));
  EXPECT_EQ(LockFromAnotherProcess(dir(), 4), 9);
  XBE_OK(XbeCommitTransaction(c.handle()));
  EXPECT_EQ(LockFromAnotherProcess(dir(), 4), 0);

  // A record the caller keeps locked after the transaction stays locked.
  XBE_OK(XbeBeginTransaction(c.handle()));
  XBE_OK(XbeLockRecord(people, 6));
  XBE_OK(XbeGotoRecord(people, 6));
  XBE_OK(Set(people, "NOME", "escrito"));
  XBE_OK(XbeWriteRecord(people));
  XBE_OK(XbeRollbackTransaction(c.handle()));
  EXPECT_EQ(LockFromAnotherProcess(dir(), 6), 9);
  EXPECT_EQ(LockFromAnotherProcess(dir(), 4), 0);
  XBE_OK(XbeCloseTable(people));
}

// A transaction that still runs elsewhere is not undone by an open here; once its process is
// gone, the open that finds the journal undoes it, and no one writes over uncommitted bytes
// before that.
TEST_F(Transactions, AJournalIsUndoneOnlyWhenItsOwnerIsGone) {
  const auto before = Files(dir());
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE c = 0;
    Tables t;
    char x = 'n';
    if (XbeConnect(dir().c_str(), &c) == 0 && t.Open(c, dir().string()) == 0 && XbeBeginTransaction(c) == 0 &&
        Change(t, 1) == 0)
      x = 'y';
    if (::write(ready[1], &x, 1) != 1 || ::read(go[0], &x, 1) < 0) _exit(2);
    raise(SIGKILL);
  }
  char x = 'n';
  ASSERT_EQ(::read(ready[0], &x, 1), 1);
  ASSERT_EQ(x, 'y');
  const auto inside = Files(dir());
  Connection c(dir().string());
  XBEHANDLE people = OpenTable(c, "people");
  EXPECT_EQ(Differences(Files(dir()), inside), "") << "a running transaction's journal was touched";
  XBE_OK(XbeGotoRecord(people, 1));
  XBE_OK(Set(people, "NOME", "outro"));
  EXPECT_EQ(XbeWriteRecord(people), 6009u) << "written under another's transaction";
  XBE_OK(XbeCancelUpdate(people));

  ASSERT_EQ(::write(go[1], "k", 1), 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  // Still open here: writing now would mix with the bytes the journal puts back.
  XBE_OK(Set(people, "NOME", "outro"));
  EXPECT_EQ(XbeWriteRecord(people), 6009u);
  EXPECT_NE(LastErrorText().find("interrupted"), std::string::npos) << LastErrorText();
  XBE_OK(XbeCancelUpdate(people));
  XBERESULT r = 0;
  EXPECT_EQ(OpenTable(c, "people", {}, &r), 0u);
  EXPECT_EQ(r, 6004u) << LastErrorText();
  XBE_OK(XbeCloseTable(people));

  people = OpenTable(c, "people");
  XBE_OK(XbeCloseTable(people));
  OpenOptions cdx;
  cdx.tableType = XBE_CDX;
  XBE_OK(XbeCloseTable(OpenTable(c, "STOCK", cdx)));
  EXPECT_EQ(Differences(Files(dir()), before), "");
  for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
}

// Three transactions: the first commits, the second rolls back, the third commits. A child
// runs them with the process killed after step k of the engine; the next open puts the tables
// in the state of the transactions committed by then, journals and all.
class KilledTransactions : public Transactions {
 protected:
  // Runs the transactions in a child over `d`; `onStep` sees every step.
  int Run(const fs::path& d, bool firstOnly, const std::function<void(std::string_view)>& onStep) {
    return InChild(d, [&](XBEHANDLE c) {
      const xbe::TransactionFaults faults = [&](std::string_view step) { onStep(step); };
      xbe::Handles().Get<xbe::ConnectionObject>(c, xbe::HandleKind::kConnection).transactionFaults = &faults;
      Tables t;
      if (t.Open(c, d.string())) return 1;
      if (XbeBeginTransaction(c) || Change(t, 1) || XbeCommitTransaction(c)) return 2;
      if (!firstOnly) {
        if (XbeBeginTransaction(c) || Change(t, 2) || XbeRollbackTransaction(c)) return 3;
        if (XbeBeginTransaction(c) || Change(t, 3) || XbeCommitTransaction(c)) return 4;
      }
      return t.Close() ? 5 : 0;
    });
  }
  void Fresh(const fs::path& d) {
    fs::remove_all(d);
    fs::copy(dir(), d, fs::copy_options::recursive);
  }
  // Opens both tables here, which undoes or drops what a killed process left; the lead journal
  // (people's) first or last.
  void Recover(const fs::path& d, bool leadFirst) {
    Connection c(d.string());
    OpenOptions cdx;
    cdx.tableType = XBE_CDX;
    if (!leadFirst) XBE_OK(XbeCloseTable(OpenTable(c, "STOCK", cdx)));
    XBE_OK(XbeCloseTable(OpenTable(c, "people")));
    if (leadFirst) XBE_OK(XbeCloseTable(OpenTable(c, "STOCK", cdx)));
  }
};

TEST_F(KilledTransactions, LeaveTheCommittedStateAtEveryStep) {
  const fs::path work = tmp_.path() / "work";
  std::vector<std::map<std::string, std::string>> states{Files(dir(), true)};
  std::vector<std::string> steps;
  for (bool firstOnly : {true, false}) {
    Fresh(work);
    const std::string log = (tmp_.path() / "steps").string();
    std::ofstream(log, std::ios::trunc);
    const int status = Run(work, firstOnly, [&](std::string_view step) {
      std::ofstream(log, std::ios::app) << step << "\n";
    });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    states.push_back(Files(work, true));
    std::ifstream in(log);
    steps.clear();
    for (std::string line; std::getline(in, line);) steps.push_back(line);
  }
  ASSERT_GT(steps.size(), 20u);
  ASSERT_EQ(std::count(steps.begin(), steps.end(), "committed"), 2);
  ASSERT_EQ(std::count(steps.begin(), steps.end(), "restored"), 2);

  // Every step of the commits and the rollback, and the writes' steps spread over the run.
  constexpr std::size_t kPoints = 20;
  std::vector<std::size_t> points;
  for (std::size_t k = 0; k < steps.size(); ++k)
    if (steps[k] != "image kept" && steps[k] != "journal created") points.push_back(k);
  ASSERT_LT(points.size(), kPoints - 2);
  const std::size_t spread = kPoints - points.size();
  for (std::size_t i = 0; i < spread; ++i) points.push_back(i * (steps.size() - 1) / (spread - 1));
  std::sort(points.begin(), points.end());
  std::size_t tried = 0;
  for (std::size_t k : points) {
    SCOPED_TRACE("killed after step " + std::to_string(k) + " (" + steps[k] + ")");
    Fresh(work);
    std::size_t seen = 0;
    const int status = Run(work, false, [&](std::string_view) {
      if (seen++ == k) raise(SIGKILL);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    Recover(work, tried++ % 2 == 0);
    const auto committed = std::count(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(k) + 1, "committed");
    EXPECT_EQ(Differences(Files(work, true), states[static_cast<std::size_t>(committed)]), "");
    if (HasFailure()) return;
  }
}

}  // namespace

namespace {

// A process killed at the commit point leaves the lead journal (people's) marked committed.
// When STOCK's journal is gone and a later transaction has its own journal at that place, the
// lead's removal at the next open of people leaves that journal alone.
TEST_F(KilledTransactions, ALaterTransactionsJournalOutlivesAnOldLead) {
  const fs::path work = tmp_.path() / "work";
  Fresh(work);
  ASSERT_EQ(Run(work, true, [](std::string_view) {}), 0);
  const auto committed = Files(work, true);
  Fresh(work);
  const int killed = Run(work, true, [](std::string_view step) {
    if (step == "committed") raise(SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(killed));
  Connection c(work.string());
  OpenOptions cdx;
  cdx.tableType = XBE_CDX;
  XBE_OK(XbeCloseTable(OpenTable(c, "STOCK", cdx)));
  ASSERT_FALSE(fs::exists(work / "STOCK.dbf.tjl"));

  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE cc = 0, stock = 0;
    char x = 'n';
    if (XbeConnect(work.c_str(), &cc) == 0 &&
        XbeOpenTable(cc, (work.string() + "\\STOCK").c_str(), nullptr, XBE_CDX, XBE_ANSI, 0, XBE_CHECK_RIGHTS, 0,
                     &stock) == 0 &&
        XbeBeginTransaction(cc) == 0 && XbeGotoRecord(stock, 3) == 0 && Set(stock, "ITEM", "LATER") == 0 &&
        XbeWriteRecord(stock) == 0)
      x = 'y';
    if (::write(ready[1], &x, 1) != 1 || ::read(go[0], &x, 1) < 0) _exit(2);
    raise(SIGKILL);
  }
  char x = 'n';
  ASSERT_EQ(::read(ready[0], &x, 1), 1);
  ASSERT_EQ(x, 'y');
  XBE_OK(XbeCloseTable(OpenTable(c, "people")));
  EXPECT_FALSE(fs::exists(work / "people.dbf.tjl"));
  EXPECT_TRUE(fs::exists(work / "STOCK.dbf.tjl")) << "the later transaction's journal was removed";
  ASSERT_EQ(::write(go[1], "k", 1), 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  XBE_OK(XbeCloseTable(OpenTable(c, "STOCK", cdx)));
  EXPECT_EQ(Differences(Files(work, true), committed), "");
  for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
}

}  // namespace

namespace {

// A copy of the folder taken after the crash (a backup) is put back on its own files, never on
// the original's. A journal record cut short by the crash (or damaged) ends the journal: what
// lies before it is put back, and the write it was to protect never happened.
TEST_F(KilledTransactions, ACopiedJournalIsUndoneOnItsFolderUpToItsLastWholeRecord) {
  const fs::path work = tmp_.path() / "work";
  Fresh(work);
  const auto before = Files(work);
  std::size_t seen = 0;
  const int killed = Run(work, true, [&](std::string_view) {
    if (++seen == 12) raise(SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(killed));
  const std::string journal = (work / "people.dbf.tjl").string();
  const std::string whole = ReadFile(journal);
  const auto killedState = Files(work);
  for (const std::string& tail : {std::string(), std::string("\x02\x40\x00\x00\x00", 5) + std::string(20, 'x'),
                                  std::string("\x02\x04\x00\x00\x00" "abcd" "\x00\x00\x00\x00", 13)}) {
    SCOPED_TRACE(tail.size());
    const fs::path copy = tmp_.path() / "copy";
    fs::remove_all(copy);
    fs::copy(work, copy, fs::copy_options::recursive);
    std::ofstream(copy / "people.dbf.tjl", std::ios::binary | std::ios::trunc) << whole << tail;
    Recover(copy, true);
    EXPECT_EQ(Differences(Files(copy), before), "");
  }
  EXPECT_EQ(Differences(Files(work), killedState), "");
}

}  // namespace
