// Record editing through a TXbeTable on the real engine: every change keeps each open order as
// a fresh rebuild would make it, and another process sees it at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <limits>
#include <map>
#include <vector>

#include "enginetest.h"
#include "platform/rtl/ansi.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using enginetest::MessageOf;
using namespace rtl::literals;

namespace {

// Runs `work` in a child process and answers the text it produced.
std::string InSecondProcess(const std::function<std::string()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) return "<no pipe>";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(channel[0]);
    std::string text;
    try {
      text = work();
    } catch (const std::exception& e) {
      text = std::string("<exception> ") + e.what();
    }
    const char* p = text.data();
    for (std::size_t left = text.size(); left > 0;) {
      const ssize_t n = ::write(channel[1], p, left);
      if (n <= 0) _exit(2);
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  ::close(channel[1]);
  std::string text;
  char chunk[4096];
  for (ssize_t n; (n = ::read(channel[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(n));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<child failed> " + text;
  return text;
}

// A table opened by the engine's C interface, as another program would open it.
struct PlainTable {
  XBEHANDLE connection = 0, table = 0;
  PlainTable(const std::string& dir, const std::string& name, std::uint16_t type) {
    if (XbeConnect(dir.c_str(), &connection) != 0 ||
        XbeOpenTable(connection, (dir + "/" + name).c_str(), nullptr, type, XBE_OEM, XBE_COMPATIBLE_LOCKING,
                     XBE_IGNORE_RIGHTS, 0, &table) != 0)
      throw std::runtime_error("cannot open " + name);
  }
  ~PlainTable() {
    XbeCloseTable(table);
    XbeDisconnect(connection);
  }
  std::string Text(const char* field) const {
    char text[256] = {};
    std::uint32_t length = sizeof text - 1;
    if (XbeGetField(table, field, text, &length, 0) != 0) return "<error>";
    std::string s(text, length);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s.substr(std::min(s.size(), s.find_first_not_of(' ')));
  }
};

std::vector<std::uint32_t> Walk(XBEHANDLE table, XBEHANDLE order) {
  std::vector<std::uint32_t> numbers;
  XbeGotoTop(order);
  for (int guard = 0; guard < 100000; ++guard) {
    std::uint16_t eof = 0;
    if (XbeAtEOF(table, &eof) != 0 || eof) break;
    std::uint32_t n = 0;
    XbeGetRecordNum(table, 2, &n);
    numbers.push_back(n);
    if (XbeSkip(order, 1) != 0) break;
  }
  return numbers;
}

std::string Join(const std::vector<std::uint32_t>& v) {
  std::string s;
  for (auto n : v) s += std::to_string(n) + " ";
  return s;
}

// In another process: every order of the table (the NTX files given, or the structural CDX
// tags) walked and compared with an NTX file built from scratch with the same definition.
// Answers "" when all agree, else what differs.
std::string OrdersDifferFromFreshRebuild(const std::string& dir, const std::string& name, std::uint16_t type,
                                         const std::vector<std::string>& ntxFiles) {
  return InSecondProcess([&] {
    XbeShowDeleted(1);
    PlainTable t(dir, name, type);
    std::vector<XBEHANDLE> orders;
    for (const auto& file : ntxFiles) {
      XBEHANDLE handles[16];
      std::uint16_t count = 16;
      if (XbeOpenIndex(t.table, (dir + "/" + file).c_str(), handles, &count) != 0) return "cannot open " + file;
      orders.insert(orders.end(), handles, handles + count);
    }
    if (ntxFiles.empty()) {
      XBEHANDLE handles[16];
      std::uint16_t count = 16;
      XbeGetAllIndexes(t.table, handles, &count);
      orders.assign(handles, handles + count);
    }
    std::string differences;
    int fresh = 0;
    for (XBEHANDLE order : orders) {
      char expression[512] = {}, condition[512] = {};
      std::uint16_t el = sizeof expression, cl = sizeof condition, unique = 0, descending = 0;
      XbeGetIndexExpression(order, expression, &el);
      XbeGetIndexCondition(order, condition, &cl);
      XbeIsIndexUnique(order, &unique);
      XbeIsIndexDescending(order, &descending);
      const auto kept = Walk(t.table, order);
      const std::string file = dir + "/fresh" + std::to_string(++fresh) + ".ntx";
      xbe::CreateNtxIndex(t.table, file, std::string(expression, el), std::string(condition, cl), unique != 0,
                          descending != 0);
      XBEHANDLE rebuilt = 0;
      std::uint16_t count = 1;
      if (XbeOpenIndex(t.table, file.c_str(), &rebuilt, &count) != 0) return "cannot open " + file;
      const auto expected = Walk(t.table, rebuilt);
      XbeCloseIndex(rebuilt);
      if (kept != expected)
        differences += std::string(expression, el) + ": kept " + Join(kept) + "\n rebuilt " + Join(expected) + "\n";
    }
    return differences;
  });
}

// In another process: "recno:deleted:value of field" for every record, in record order.
std::string RecordsSeenBySecondProcess(const std::string& dir, const std::string& name, std::uint16_t type,
                                       const char* field) {
  return InSecondProcess([&] {
    XbeShowDeleted(1);
    PlainTable t(dir, name, type);
    std::string out;
    std::uint32_t count = 0;
    XbeGetRecordCount(t.table, 2, &count);
    for (std::uint32_t r = 1; r <= count; ++r) {
      XbeGotoRecord(t.table, r);
      std::uint16_t deleted = 0;
      XbeIsRecordDeleted(t.table, &deleted);
      out += std::to_string(r) + ":" + (deleted ? "*" : "") + ":" + t.Text(field) + "\n";
    }
    return out;
  });
}

std::unique_ptr<TXbeTable> MakeTable(const std::string& dir, const std::string& name, TXbeTableTypes type) {
  auto t = std::make_unique<TXbeTable>(nullptr);
  t->SetName("Tabela");
  t->XbeTableOptions().SetXbeLockType(Compatible);
  t->XbeTableOptions().SetXbeCharType(OEM);
  t->SetTableType(type);
  t->SetDatabaseName(dir);
  t->SetTableName(name);
  return t;
}

const std::vector<std::string> kPeopleOrders = {"peocod.ntx", "peonom.ntx", "peodat.ntx",
                                                "peouni.ntx", "peodes.ntx", "peofor.ntx"};

class PeopleTable : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    XbeShowDeleted(1);
    testsupport::CopyFixture("ntx", dir_.path());
    table_ = MakeTable(dir_.str(), "people", ttXbeNTX);
    for (const auto& f : kPeopleOrders) table_->IndexFiles().Add(f);
    table_->Open();
  }
  void TearDown() override { XbeShowDeleted(0); }

  db::TField* F(const char* name) { return table_->FieldByName(name); }
  std::string Orders() { return OrdersDifferFromFreshRebuild(dir_.str(), "people", XBE_NTX, kPeopleOrders); }
  std::string SeenCodes() { return RecordsSeenBySecondProcess(dir_.str(), "people", XBE_NTX, "CODIGO"); }

  testsupport::TempDir dir_;
  std::unique_ptr<TXbeTable> table_;
};

TEST_F(PeopleTable, InsertEditDeleteAndCancelKeepEveryOrderAndShowInAnotherProcess) {
  ASSERT_EQ(Orders(), "");
  table_->Append();
  F("CODIGO")->SetAsInteger(777777 % 1000000);
  // The dataset's ANSI text is stored in the table's OEM code page.
  const std::string name("Zilda Conceição"_ansi);
  F("NOME")->SetAsString(name);
  F("CIDADE")->SetAsString("MACAPA");
  F("VALOR")->SetAsFloat(-12.345);
  F("ATIVO")->SetAsBoolean(true);
  F("DATA")->SetAsDateTime(db::EncodeDate(2024, 3, 15));
  table_->Post();
  EXPECT_EQ(F("NOME")->AsString(), name);
  EXPECT_EQ(table_->RecordCount(), 401);
  EXPECT_EQ(Orders(), "");
  EXPECT_NE(SeenCodes().find("401::777777\n"), std::string::npos);
  {
    PlainTable other(dir_.str(), "people", XBE_NTX);
    XbeGotoRecord(other.table, 401);
    EXPECT_EQ(other.Text("VALOR"), "-12.35");  // half away from zero, as the engine rounds
    EXPECT_EQ(other.Text("DATA"), "20240315");
    EXPECT_EQ(other.Text("ATIVO"), "T");
    EXPECT_EQ(other.Text("NOME"), name);
    char raw[512] = {};
    ASSERT_EQ(XbeGetRecord(other.table, raw, sizeof raw), 0u);
    EXPECT_EQ(std::string(raw + 7, 15), "Zilda Concei\x87\xC6o");
  }

  table_->SetRecNo(2);
  table_->Edit();
  F("CODIGO")->SetAsInteger(1);
  F("NOME")->SetAsString("aaa primeiro");
  F("ATIVO")->SetAsBoolean(true);
  F("DATA")->Clear();
  table_->Post();
  EXPECT_EQ(Orders(), "");
  EXPECT_NE(SeenCodes().find("\n2::1\n"), std::string::npos);
  EXPECT_EQ(F("DATA")->IsNull(), true);

  // A cancelled edit and a cancelled insert leave the files as they were.
  const std::string before = SeenCodes();
  table_->Edit();
  F("CODIGO")->SetAsInteger(5);
  table_->Cancel();
  EXPECT_EQ(F("CODIGO")->AsInteger(), 1);
  table_->Insert();
  F("CODIGO")->SetAsInteger(6);
  table_->Cancel();
  EXPECT_EQ(SeenCodes(), before);
  EXPECT_EQ(table_->RecordCount(), 401);

  table_->Delete();
  EXPECT_EQ(Orders(), "");
  EXPECT_NE(SeenCodes().find("\n2:*:1\n"), std::string::npos);
}

TEST_F(PeopleTable, NumbersAreWrittenRoundedOrRefused) {
  // VALOR is N 12.2, QTD N 4.0.
  const struct {
    const char* field;
    double value;
    const char* stored;  // nullptr: refused
  } cases[] = {
      {"VALOR", 3.14159, "3.14"}, {"VALOR", 2.675, "2.68"},  {"VALOR", -0.125, "-0.13"},
      {"VALOR", 12.5, "12.50"},   {"QTD", 9999, "9999"},    {"QTD", 10000, nullptr},
      // Halves round away from zero on the decimal value, as the engine's own writer does.
      {"VALOR", 0.125, "0.13"},   {"VALOR", 1.005, "1.01"},  {"VALOR", 10.555, "10.56"},
      {"VALOR", 0.045, "0.05"},   {"QTD", 2.5, "3"},         {"QTD", -2.5, "-3"},
      {"QTD", 0.5, "1"},
      {"QTD", -999, "-999"},            {"VALOR", 123456789.994, "123456789.99"}, {"VALOR", 1234567890, nullptr},
      // Not numbers at all: never stored as text in a numeric field.
      {"VALOR", std::numeric_limits<double>::quiet_NaN(), nullptr},
      {"VALOR", std::numeric_limits<double>::infinity(), nullptr},
  };
  table_->SetRecNo(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.value));
    table_->Edit();
    if (c.stored == nullptr) {
      EXPECT_EQ(MessageOf([&] { F(c.field)->SetAsFloat(c.value); }), "Tabela: Numeric out of range.");
      table_->Cancel();
      continue;
    }
    F(c.field)->SetAsFloat(c.value);
    table_->Post();
    PlainTable other(dir_.str(), "people", XBE_NTX);
    XbeGotoRecord(other.table, 1);
    char text[16] = {};
    std::uint32_t length = sizeof text;
    ASSERT_EQ(XbeGetField(other.table, c.field, text, &length, 0), 0u);
    EXPECT_EQ(std::string(text, length), c.stored);
  }
}

TEST_F(PeopleTable, DeletingWithDeletedRecordsHiddenMovesToTheNextRecord) {
  XbeShowDeleted(0);
  table_->Close();
  table_->Open();
  table_->First();
  const int second = [&] {
    table_->Next();
    const int v = F("CODIGO")->AsInteger();
    table_->Prior();
    return v;
  }();
  table_->Delete();
  EXPECT_EQ(F("CODIGO")->AsInteger(), second);
}

TEST_F(PeopleTable, DefaultExpressionsFillNewRecords) {
  table_->Close();
  table_->Open();
  const struct {
    const char* field;
    const char* expression;
    const char* shown;  // AsString after Append; nullptr: the append is refused
  } cases[] = {
      {"ATIVO", ".t.", "True"},  {"ATIVO", "yes", "False"},     {"NOME", "'Sem nome'", "Sem nome"},
      {"NOME", "Sem aspas", ""}, {"VALOR", " 1.5 ", "1.5"},    {"QTD", "abc", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " := " + c.expression);
    F(c.field)->SetDefaultExpression(c.expression);
    if (c.shown == nullptr) {
      EXPECT_EQ(MessageOf([&] { table_->Append(); }).rfind("Tabela: Error setting default field value. (QTD)\r\n", 0),
                0u);
      EXPECT_EQ(table_->State(), db::DSState::Browse);
    } else {
      table_->Append();
      EXPECT_EQ(F(c.field)->AsString(), c.shown);
      table_->Cancel();
    }
    F(c.field)->SetDefaultExpression("");
  }
}

TEST_F(PeopleTable, APessimisticEditFailsWhileAnotherProcessHoldsTheLock) {
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    PlainTable other(dir_.str(), "people", XBE_NTX);
    char x = XbeLockRecord(other.table, 3) == 0 ? 'y' : 'n';
    if (::write(ready[1], &x, 1) != 1) _exit(2);
    if (::read(done[0], &x, 1) < 0) _exit(3);
    _exit(0);
  }
  char x = 0;
  ASSERT_EQ(::read(ready[0], &x, 1), 1);
  ASSERT_EQ(x, 'y');
  table_->SetRecNo(3);
  const std::string message = MessageOf([&] { table_->Edit(); });
  EXPECT_EQ(message.rfind("Tabela: Error ", 0), 0u) << message;
  EXPECT_EQ(table_->State(), db::DSState::Browse);
  ASSERT_EQ(::write(done[1], &x, 1), 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  table_->Edit();  // free again
  table_->Cancel();
}

TEST_F(PeopleTable, AnOptimisticPostFailsWhenAnotherProcessChangedTheRecord) {
  table_->Close();
  table_->XbeTableOptions().SetXbeRecordLockingMode(lmOptimistic);
  table_->Open();
  table_->SetRecNo(4);
  table_->Edit();
  F("NOME")->SetAsString("meu valor");
  ASSERT_EQ(InSecondProcess([&] {
              PlainTable other(dir_.str(), "people", XBE_NTX);
              const bool ok = XbeGotoRecord(other.table, 4) == 0 && XbeLockRecord(other.table, 4) == 0 &&
                              XbeSetField(other.table, "NOME", "do outro", 8) == 0 && XbeWriteRecord(other.table) == 0 &&
                              XbeUnlockRecord(other.table, 4) == 0;
              return std::string(ok ? "" : "failed");
            }),
            "");
  EXPECT_EQ(MessageOf([&] { table_->Post(); }), "Tabela: Record was changed by another user.");
  table_->Cancel();
  EXPECT_EQ(F("NOME")->AsString(), "do outro");
  // The lock taken for the check was released: another process can lock the record.
  EXPECT_EQ(InSecondProcess([&] {
              PlainTable other(dir_.str(), "people", XBE_NTX);
              return std::string(XbeLockRecord(other.table, 4) == 0 ? "" : "locked");
            }),
            "");
}

// Another station writes after we read the record: the edit starts from what is stored.
TEST_F(PeopleTable, AnEditStartsFromTheRecordAsStored) {
  for (const TXbeRecordLockingModes mode : {lmPessimistic, lmOptimistic}) {
    SCOPED_TRACE(mode == lmPessimistic ? "pessimistic" : "optimistic");
    table_->Close();
    table_->XbeTableOptions().SetXbeRecordLockingMode(mode);
    table_->Open();
    table_->SetRecNo(4);
    const std::string theirs = mode == lmPessimistic ? "da outra" : "do outro";
    ASSERT_NE(F("NOME")->AsString(), theirs);
    ASSERT_EQ(InSecondProcess([&] {
                PlainTable other(dir_.str(), "people", XBE_NTX);
                const bool ok = XbeGotoRecord(other.table, 4) == 0 && XbeLockRecord(other.table, 4) == 0 &&
                                XbeSetField(other.table, "NOME", theirs.c_str(), 8) == 0 &&
                                XbeWriteRecord(other.table) == 0 && XbeUnlockRecord(other.table, 4) == 0;
                return std::string(ok ? "" : "failed");
              }),
              "");
    table_->Edit();
    EXPECT_EQ(F("NOME")->AsString(), theirs);
    // Only the field changed here is ours; what they wrote stays.
    F("QTD")->SetAsInteger(77);
    table_->Post();
    const std::string seen = RecordsSeenBySecondProcess(dir_.str(), "people", XBE_NTX, "NOME");
    EXPECT_NE(seen.find("\n4::" + theirs + "\n"), std::string::npos) << seen;
  }
}

TEST_F(PeopleTable, TablePermissionsAreChecked) {
  table_->Close();
  table_->XbeTableOptions().SetXbeRightsCheck(true);
  table_->SetReadOnly(true);
  table_->Open();
  EXPECT_FALSE(table_->CanModify());
  EXPECT_NE(MessageOf([&] { table_->Edit(); }), "<no exception>");
}

class StockTable : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    XbeShowDeleted(1);
    testsupport::CopyFixture("cdx", dir_.path());
    table_ = MakeTable(dir_.str(), "STOCK", ttXbeCDX);
    table_->Open();
  }
  void TearDown() override { XbeShowDeleted(0); }
  db::TField* F(const char* name) { return table_->FieldByName(name); }

  testsupport::TempDir dir_;
  std::unique_ptr<TXbeTable> table_;
};

TEST_F(StockTable, InsertEditDeleteKeepEveryTag) {
  ASSERT_EQ(OrdersDifferFromFreshRebuild(dir_.str(), "STOCK", XBE_CDX, {}), "");
  table_->SetIndexName("DESCR");
  table_->Append();
  F("ITEM")->SetAsString("IT00000001");
  F("DESCR")->SetAsString("aaa novo");
  F("PRECO")->SetAsFloat(10.5);
  F("ESTOQUE")->SetAsInteger(12345);
  F("ATIVO")->SetAsBoolean(true);
  F("VALIDADE")->SetAsDateTime(db::EncodeDate(2030, 1, 31));
  table_->Post();
  EXPECT_EQ(F("ITEM")->AsString(), "IT00000001");
  EXPECT_EQ(OrdersDifferFromFreshRebuild(dir_.str(), "STOCK", XBE_CDX, {}), "");

  table_->First();
  table_->Next();
  table_->Edit();
  F("DESCR")->SetAsString("zzz por ultimo");
  F("PRECO")->SetAsFloat(0);
  F("ATIVO")->SetAsBoolean(false);
  table_->Post();
  table_->Last();
  EXPECT_EQ(F("DESCR")->AsString(), "zzz por ultimo");
  EXPECT_EQ(OrdersDifferFromFreshRebuild(dir_.str(), "STOCK", XBE_CDX, {}), "");

  table_->SetIndexName("ITEM");
  table_->First();
  ASSERT_EQ(F("ITEM")->AsString(), "IT00000001");
  table_->Delete();
  EXPECT_EQ(OrdersDifferFromFreshRebuild(dir_.str(), "STOCK", XBE_CDX, {}), "");
  const std::string seen = RecordsSeenBySecondProcess(dir_.str(), "STOCK", XBE_CDX, "ITEM");
  EXPECT_NE(seen.find("301:*:IT00000001\n"), std::string::npos);
}

// Three NTX orders open while 1,000 records are appended, 100 edited and 50 deleted.
TEST(ThousandRecords, EveryOrderMatchesAFreshRebuildAndAnotherProcessReadsEveryRecord) {
  testsupport::TempDir dir;
  XbeShowDeleted(1);
  xbe::CreateTable(dir.str() + "/CLIENTS", xbe::TableType::kNtx,
                   {{"CODE", xbe::kNumericText, 6, 0}, {"NAME", xbe::kCharacter, 20, 0}, {"SINCE", xbe::kDate, 8, 0}});
  {
    PlainTable t(dir.str(), "CLIENTS", XBE_NTX);
    xbe::CreateNtxIndex(t.table, dir.str() + "/CLCODE.NTX", "CODE");
    xbe::CreateNtxIndex(t.table, dir.str() + "/CLNAME.NTX", "Upper( NAME )");
    xbe::CreateNtxIndex(t.table, dir.str() + "/CLSINCE.NTX", "DToS( SINCE ) + Str( CODE, 6 )");
  }
  const std::vector<std::string> files = {"CLCODE.NTX", "CLNAME.NTX", "CLSINCE.NTX"};
  auto table = MakeTable(dir.str(), "CLIENTS", ttXbeNTX);
  for (const auto& f : files) table->IndexFiles().Add(f);
  table->Open();
  table->SetIndexName("CLNAME");
  std::map<int, std::string> expected;
  for (int i = 1; i <= 1000; ++i) {
    table->Append();
    table->FieldByName("CODE")->SetAsInteger((i * 7919) % 1000);
    table->FieldByName("NAME")->SetAsString("Nome " + std::to_string((i * 31) % 97));
    table->FieldByName("SINCE")->SetAsDateTime(db::EncodeDate(2000 + i % 25, 1 + i % 12, 1 + i % 28));
    table->Post();
    expected[i] = std::to_string((i * 7919) % 1000);
  }
  table->SetIndexName("");
  for (int r = 5; r <= 1000; r += 10) {
    table->SetRecNo(r);
    table->Edit();
    table->FieldByName("CODE")->SetAsInteger(100000 + r);
    table->FieldByName("NAME")->SetAsString(r % 20 == 5 ? "" : "Editado " + std::to_string(r));
    table->FieldByName("SINCE")->Clear();
    table->Post();
    expected[r] = std::to_string(100000 + r);
  }
  for (int r = 3; r <= 1000; r += 20) {
    table->SetRecNo(r);
    table->Delete();
    expected[r] = "*:" + expected[r];
  }
  EXPECT_EQ(OrdersDifferFromFreshRebuild(dir.str(), "CLIENTS", XBE_NTX, files), "");
  std::string want;
  for (const auto& [r, v] : expected) want += std::to_string(r) + ":" + (v[0] == '*' ? v : ":" + v) + "\n";
  EXPECT_EQ(RecordsSeenBySecondProcess(dir.str(), "CLIENTS", XBE_NTX, "CODE"), want);
  XbeShowDeleted(0);
}

}  // namespace
