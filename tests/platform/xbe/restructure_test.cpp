// Restructuring: the updater's add-field requests on the installed tables, validation, delete
// and change lists, sharing, and crash safety (a child killed at many points of a restructure).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "dump_file.h"
#include "engine_fixture.h"
#include "platform/xbe/table_create.h"
#include "flock_holder.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

std::string Hash(const fs::path& dir) {
  std::string all;
  std::vector<fs::path> files;
  for (auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (auto& f : files) all += f.filename().string() + ":" + ReadFile(f.string()) + "|";
  return all;
}

class Restructure : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("ml/installed", dir());
    testsupport::CopyFixture("ml/templates", tmp_.path() / "templates");
    ShowDeleted(true);
  }
  void TearDown() override { ShowDeleted(false); }
  fs::path dir() const { return tmp_.path() / "data"; }
  std::string Name(const char* table) const { return dir().string() + "\\" + table; }
  XBERESULT Run(const Connection& c, const char* table, const char* add, const char* del = "",
                const char* change = "") {
    return XbeRestructureTable(c.handle(), Name(table).c_str(), nullptr, XBE_NTX, XBE_OEM, 0, XBE_IGNORE_RIGHTS, add,
                               del, change);
  }
  testsupport::TempDir tmp_;
};

// The add-field text the updater builds from a template field.
std::string AddFieldText(XBEHANDLE templ, uint16_t i) {
  uint16_t type = 0, decimals = 0;
  uint32_t length = 0;
  EXPECT_EQ(XbeGetFieldType(templ, XBE_FIELD_ORDINAL(i), &type), 0u);
  EXPECT_EQ(XbeGetFieldLength(templ, XBE_FIELD_ORDINAL(i), &length), 0u);
  XbeGetFieldDecimals(templ, XBE_FIELD_ORDINAL(i), &decimals);
  const std::string name = FieldName(templ, i) + ",";
  switch (type) {
    case 4: return name + "Char," + std::to_string(length) + ",0";
    case 2:
      return decimals > 0 || length > 4 ? name + "Numeric,15,4" : name + "Numeric," + std::to_string(length) + ",0";
    case 1: return name + "Logical,1,0";
    case 3: return name + "Date,8,0";
    default: return name;
  }
}

void ExpectOriginalRecords(const Connection& c, const char* table, const Dump& dump, size_t addedFields) {
  XBEHANDLE t = OpenTable(c, table);
  ASSERT_NE(t, 0u);
  EXPECT_EQ(FieldCount(t), dump.fields.size() + addedFields);
  ASSERT_EQ(RecordCount(t), dump.recordCount);
  for (const DumpRecord& r : dump.records) {
    XBE_OK(XbeGotoRecord(t, r.recno));
    EXPECT_EQ(IsDeleted(t), r.deleted) << r.recno;
    for (size_t f = 0; f < dump.fields.size(); ++f) {
      const std::string got = FieldText(t, dump.fields[f].name.c_str());
      std::string want = r.values[f];
      if (dump.fields[f].type == 'N' || dump.fields[f].type == 'D') {
        want.erase(0, want.find_first_not_of(' '));
        want.erase(want.find_last_not_of(' ') + 1);
      }
      EXPECT_EQ(got, want) << table << " record " << r.recno << " field " << dump.fields[f].name;
    }
    for (uint16_t f = static_cast<uint16_t>(dump.fields.size() + 1); f <= FieldCount(t); ++f) {
      uint16_t empty = 0;
      XBE_OK(XbeIsEmpty(t, XBE_FIELD_ORDINAL(f), &empty));
      EXPECT_EQ(empty, 1) << "new field " << FieldName(t, f) << " record " << r.recno;
    }
  }
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Restructure, EachTemplateFieldAddedOneAtATimeKeepsEveryRecordAndMemo) {
  const fs::path ntx = dir() / "ML21.NTX";
  const std::string ntxBefore = ReadFile(ntx.string());
  for (const char* table : {"ML2", "ML6"}) {
    const Dump dump = ReadDump((testsupport::FixturesDir() / "expected" /
                                (std::string(table) == "ML2" ? "ml2-installed.txt" : "ml6-installed.txt"))
                                   .string());
    Connection tc((tmp_.path() / "templates").string());
    Connection c(dir().string());
    XBEHANDLE templ = OpenTable(tc, table);
    size_t added = 0;
    for (uint16_t i = 1; i <= FieldCount(templ); ++i) {
      const std::string name = FieldName(templ, i);
      bool present = false;
      for (const auto& f : dump.fields) present = present || f.name == name;
      if (present) continue;
      const std::string addition = AddFieldText(templ, i);
      XBE_OK(Run(c, table, addition.c_str()));
      ++added;
      ExpectOriginalRecords(c, table, dump, added);
      XBEHANDLE t = OpenTable(c, table);
      EXPECT_EQ(FieldName(t, static_cast<uint16_t>(dump.fields.size() + added)), name);
      XBE_OK(XbeCloseTable(t));
    }
    EXPECT_GT(added, 0u);
    XBE_OK(XbeCloseTable(templ));
  }
  EXPECT_EQ(ReadFile(ntx.string()), ntxBefore);
  for (auto& e : fs::directory_iterator(dir())) EXPECT_EQ(e.path().extension(), e.path().extension().string().substr(0, 4));
  EXPECT_FALSE(fs::exists(dir() / "ML2.DBF.rsn"));
}

TEST_F(Restructure, InvalidFieldListsAreRefusedAndChangeNothing) {
  Connection c(dir().string());
  const std::string before = Hash(dir());
  const struct {
    const char* add;
    const char* del;
    const char* change;
    const char* mentions;
  } cases[] = {
      {"OBS2,", "", "", "OBS2"},
      {"OBS2", "", "", "OBS2"},
      {"codconv,Char,5,0", "", "", "codconv"},
      {"NEWF,Foo,1,0", "", "", "Foo"},
      {"NEWF,Char,0,0", "", "", "NEWF"},
      {"NEWF,Char,,0", "", "", "NEWF"},
      {"NEWF,Numeric,21,0", "", "", "NEWF"},
      {"NEWF,Numeric,5,4", "", "", "NEWF"},
      {"NEWF,Logical,2,0", "", "", "NEWF"},
      {"NEWF,Date,9,0", "", "", "NEWF"},
      {"NEWF,Char,5,2", "", "", "NEWF"},
      {"A1,Char,40000,0;A2,Char,30000,0", "", "", "bytes"},
      {"NEWFIELDNAME,Char,5,0", "", "", "NEWFIELDNAME"},
      {"NEW-F,Char,5,0", "", "", "NEW-F"},
      {"A,Char,1,0;A,Char,2,0", "", "", "A"},
      {"", "NOSUCH", "", "NOSUCH"},
      {"", "", "NOSUCH,X,Char,1,0", "NOSUCH"},
      {"", "", "CGC,UF,,,", "UF"},
      {"", "", "OBS,OBS,Char,10,0", "OBS"},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(Run(c, "ML2", k.add, k.del, k.change), 6005u) << k.add << k.del << k.change;
    EXPECT_NE(LastErrorText().find(k.mentions), std::string::npos) << LastErrorText();
    EXPECT_NE(LastErrorText().find("ML2"), std::string::npos) << LastErrorText();
  }
  EXPECT_TRUE(Hash(dir()) == before) << "the files changed";
}

TEST_F(Restructure, DeleteAndChangeLists) {
  Connection c(dir().string());
  XBE_OK(Run(c, "ML2", "", "CGC;uf", "NOMECONV,NOME,Char,50,;VALORCH,,Numeric,12,3"));
  XBEHANDLE t = OpenTable(c, "ML2");
  ASSERT_EQ(FieldCount(t), 7);
  EXPECT_EQ(FieldName(t, 2), "NOME");
  uint32_t length = 0;
  XBE_OK(XbeGetFieldLength(t, "NOME", &length));
  EXPECT_EQ(length, 50u);
  XBE_OK(XbeGotoRecord(t, 1));
  const Dump dump = ReadDump((testsupport::FixturesDir() / "expected" / "ml2-installed.txt").string());
  EXPECT_EQ(FieldText(t, "NOME"), dump.records[0].values[1] + std::string(10, ' '));
  EXPECT_EQ(FieldText(t, "VALORCH"), "179.090");
  EXPECT_EQ(FieldText(t, "OBS"), dump.records[0].values[8]);
  XBE_OK(XbeCloseTable(t));
}

// Other programs look field names up as they store them: upper case.
TEST_F(Restructure, FieldNamesAreStoredUpperCase) {
  Connection c(dir().string());
  XBE_OK(Run(c, "ML6", "obs_Nova,Char,5,0", "", "horacol,hora_col,,,"));
  const std::string header = ReadFile((dir() / "ML6.DBF").string());
  EXPECT_NE(header.find(std::string("HORA_COL\0", 9)), std::string::npos);
  EXPECT_NE(header.find(std::string("OBS_NOVA\0", 9)), std::string::npos);
  EXPECT_EQ(header.find("hora"), std::string::npos);
  EXPECT_EQ(header.find("Nova"), std::string::npos);

  xbe::CreateTable((tmp_.path() / "nova").string(), xbe::TableType::kNtx, {{"codigo", 2, 6, 0}, {"Nome", 4, 20, 0}});
  const std::string created = ReadFile((tmp_.path() / "nova.dbf").string());
  EXPECT_NE(created.find(std::string("CODIGO\0", 7)), std::string::npos);
  EXPECT_NE(created.find(std::string("NOME\0", 5)), std::string::npos);
}

TEST_F(Restructure, FirstMemoFieldCreatesTheMemoFile) {
  Connection c(dir().string());
  ASSERT_FALSE(fs::exists(dir() / "ML6.DBT"));
  XBE_OK(Run(c, "ML6", "NOTAS,Memo,10,0"));
  EXPECT_TRUE(fs::exists(dir() / "ML6.DBT"));
  EXPECT_EQ(static_cast<unsigned char>(ReadFile((dir() / "ML6.DBF").string())[0]), 0x83);
  XBEHANDLE t = OpenTable(c, "ML6");
  XBE_OK(XbeGotoRecord(t, 5));
  SetText(t, "NOTAS", "primeira nota");
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeCloseTable(t));
  t = OpenTable(c, "ML6");
  XBE_OK(XbeGotoRecord(t, 5));
  EXPECT_EQ(FieldText(t, "NOTAS"), "primeira nota");
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Restructure, FailsWhileTheTableIsOpenAnywhere) {
  Connection c(dir().string());
  const std::string before = Hash(dir());
  XBEHANDLE mine = OpenTable(c, "ML2");
  EXPECT_EQ(Run(c, "ML2", "OBS2,Char,40,0"), 6004u);
  EXPECT_NE(LastErrorText().find("in use"), std::string::npos);
  XBE_OK(XbeCloseTable(mine));

  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    ::close(go[1]);
    XBEHANDLE cc = 0, t = 0;
    const char ok = XbeConnect(dir().c_str(), &cc) == 0 &&
                            XbeOpenTable(cc, Name("ML2").c_str(), nullptr, 1, 2, 0, 1, 0, &t) == 0
                        ? 'y'
                        : 'n';
    if (::write(ready[1], &ok, 1) != 1) _exit(1);
    char x;
    if (::read(go[0], &x, 1) < 0) _exit(1);
    _exit(0);
  }
  ::close(ready[1]);
  ::close(go[0]);
  char ok = 'n';
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  EXPECT_EQ(Run(c, "ML2", "OBS2,Char,40,0"), 6004u);
  ::close(go[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(Hash(dir()) == before) << "the files changed";
  XBE_OK(Run(c, "ML2", "OBS2,Char,40,0"));
}

TEST_F(Restructure, FailsWhileAProgramMarksTheTableWithFlockOnly) {
  Connection c(dir().string());
  const std::string before = Hash(dir());
  for (bool exclusive : {false, true}) {
    testsupport::FlockHolder other(dir() / "ML2.DBF", exclusive);
    ASSERT_TRUE(other.Holding());
    EXPECT_EQ(Run(c, "ML2", "OBS2,Char,40,0"), 6004u) << exclusive;
    EXPECT_NE(LastErrorText().find("in use"), std::string::npos) << LastErrorText();
  }
  EXPECT_TRUE(Hash(dir()) == before) << "the files changed";
  XBE_OK(Run(c, "ML2", "OBS2,Char,40,0"));
}

// Builds a large copy of ML2 (its records repeated) so a restructure takes a while.
void MakeLargeMl2(const fs::path& dir, uint32_t records) {
  const std::string src = ReadFile((dir / "ML2.DBF").string());
  const uint16_t headerLength = static_cast<uint8_t>(src[8]) | static_cast<uint8_t>(src[9]) << 8;
  const uint16_t recordLength = static_cast<uint8_t>(src[10]) | static_cast<uint8_t>(src[11]) << 8;
  const uint32_t count = 60;
  std::string out = src.substr(0, headerLength);
  std::memcpy(out.data() + 4, &records, 4);
  out.reserve(headerLength + static_cast<size_t>(records) * recordLength + 1);
  for (uint32_t r = 0; r < records; ++r) out += src.substr(headerLength + (r % count) * recordLength, recordLength);
  out += '\x1A';
  std::ofstream(dir / "ML2.DBF", std::ios::binary | std::ios::trunc) << out;
}

// The table opens and is either the old or the new table, with every record.
void ExpectCompleteTable(const Connection& c, const fs::path& dir, const std::vector<std::string>& names,
                         uint32_t records, int attempt) {
  XBEHANDLE t = OpenTable(c, "ML2");
  ASSERT_NE(t, 0u) << "attempt " << attempt;
  const uint16_t fields = FieldCount(t);
  EXPECT_TRUE(fields == 9 || fields == 10) << "attempt " << attempt;
  ASSERT_EQ(RecordCount(t), records) << "attempt " << attempt;
  for (uint32_t r = 1; r <= records; r += 997) {
    XBE_OK(XbeGotoRecord(t, r));
    EXPECT_EQ(FieldText(t, "NOMECONV"), names[(r - 1) % 60]) << "attempt " << attempt << " record " << r;
  }
  XBE_OK(XbeGotoRecord(t, records));
  EXPECT_EQ(FieldText(t, "NOMECONV"), names[(records - 1) % 60]);
  XBE_OK(XbeCloseTable(t));
  EXPECT_FALSE(fs::exists(dir / "ML2.DBF.rsn")) << "leftovers are removed at the next open";
}

TEST_F(Restructure, KilledAtAnyMomentLeavesACompleteTable) {
  constexpr uint32_t kRecords = 60000;
  std::vector<std::string> names;
  {
    Connection c(dir().string());
    XBEHANDLE t = OpenTable(c, "ML2");
    for (uint32_t r = 1; r <= 60; ++r) {
      XBE_OK(XbeGotoRecord(t, r));
      names.push_back(FieldText(t, "NOMECONV"));
    }
    XBE_OK(XbeCloseTable(t));
  }
  const fs::path master = tmp_.path() / "master";
  fs::create_directories(master);
  fs::copy(dir(), master, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  MakeLargeMl2(master, kRecords);

  auto runChild = [&](const fs::path& d) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      XBEHANDLE cc = 0;
      if (XbeConnect(d.c_str(), &cc) != 0) _exit(1);
      const std::string name = d.string() + "\\ML2";
      _exit(XbeRestructureTable(cc, name.c_str(), nullptr, 1, 2, 0, 2, "OBS2,Char,40,0", "", "") == 0 ? 0 : 1);
    }
    return pid;
  };
  // The time of a whole run, to spread the kills over it.
  const fs::path work = tmp_.path() / "work";
  auto fresh = [&] {
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(master, work, fs::copy_options::recursive);
  };
  int status = 0;
  auto whole = std::chrono::steady_clock::duration::max();
  for (int run = 0; run < 2; ++run) {
    fresh();
    const auto start = std::chrono::steady_clock::now();
    ::waitpid(runChild(work), &status, 0);
    whole = std::min(whole, std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  constexpr int kPoints = 40;
  int killedInside = 0;
  for (int i = 0; i < kPoints; ++i) {
    fresh();
    const pid_t pid = runChild(work);
    std::this_thread::sleep_for(whole * i / kPoints);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedInside;
    Connection c(work.string());
    ExpectCompleteTable(c, work, names, kRecords, i);
    if (HasFatalFailure()) return;
  }
  EXPECT_GE(killedInside, kPoints / 4) << "most kills should land inside the restructure";
}

}  // namespace
