// Tables written by the engine read back by independent DBF readers from Debian (pgdbf, which
// also reads memos, and dbview), with the same values the engine reads.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

bool HaveProgram(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

std::string RightTrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The COPY lines pgdbf prints for the visible records, built from what the engine reads.
std::vector<std::string> ExpectedPgdbfLines(XBEHANDLE t) {
  std::vector<std::string> lines;
  const uint16_t n = FieldCount(t);
  XbeShowDeleted(0);
  EXPECT_EQ(XbeGotoTop(t), 0u);
  for (;;) {
    uint16_t eof = 1;
    XbeAtEOF(t, &eof);
    if (eof) break;
    std::string line;
    for (uint16_t i = 1; i <= n; ++i) {
      uint16_t type = 0;
      XbeGetFieldType(t, XBE_FIELD_ORDINAL(i), &type);
      std::string v = FieldText(t, i);
      if (i > 1) line += '\t';
      switch (type) {
        case 1: line += v == "T" ? "t" : "f"; break;
        case 2: line += v.empty() ? "\\N" : v; break;
        case 3: line += v.empty() ? "\\N" : v.substr(0, 4) + "-" + v.substr(4, 2) + "-" + v.substr(6, 2); break;
        case 5:
          for (char ch : v) line += ch == '\r' ? std::string("\\r") : ch == '\n' ? std::string("\\n") : std::string(1, ch);
          break;
        default: line += RightTrim(v);
      }
    }
    lines.push_back(line);
    EXPECT_EQ(XbeSkip(t, 1), 0u);
  }
  return lines;
}

std::vector<std::string> PgdbfLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    if (line.rfind("\\COPY", 0) == 0) { data = true; continue; }
    if (line == "\\." ) break;
    if (data) lines.push_back(line);
  }
  return lines;
}

void ExpectSameLines(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i;
}

class ForeignReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    if (!HaveProgram("pgdbf")) GTEST_SKIP() << "pgdbf is not installed (tools/install-deps.sh installs it); skipped";
    testsupport::CopyFixture("ml/installed", dir());
    testsupport::CopyFixture("cdx", dir());
  }
  void TearDown() override { XbeShowDeleted(0); }
  fs::path dir() const { return tmp_.path() / "d"; }
  testsupport::TempDir tmp_;
};

TEST_F(ForeignReaders, PgdbfReadsWhatTheEngineWrote) {
  Connection c(dir().string());
  const std::string ml2 = c.directory() + "\\ML2";
  for (const char* field : {"EMAIL,Char,50,0", "DESCONTO,Numeric,15,4", "FATURA,Logical,1,0", "DTALT,Date,8,0"})
    XBE_OK(XbeRestructureTable(c.handle(), ml2.c_str(), nullptr, 1, 2, 0, 2, field, "", ""));
  XBEHANDLE t = OpenTable(c, "ML2");
  XBE_OK(XbeGotoRecord(t, 2));
  SetText(t, "EMAIL", "ana@example.com");
  SetText(t, "DESCONTO", "-1.5");
  SetText(t, "FATURA", "T");
  SetText(t, "DTALT", "20240131");
  SetText(t, "OBS", std::string(700, 'x') + "\r\nfim");
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeGotoRecord(t, 3));
  XBE_OK(XbeDeleteRecord(t));
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeAppendRecord(t));
  SetText(t, "CODCONV", "999");
  SetText(t, "NOMECONV", "NOVO CONVENIO");
  SetText(t, "OBS", "memo do novo");
  XBE_OK(XbeWriteRecord(t));
  const std::vector<std::string> expected = ExpectedPgdbfLines(t);
  XBE_OK(XbeCloseTable(t));
  const std::string out = Capture("pgdbf -m '" + (dir() / "ML2.DBT").string() + "' '" + (dir() / "ML2.DBF").string() + "' 2>&1");
  EXPECT_NE(out.find("email VARCHAR(50)"), std::string::npos) << out.substr(0, 400);
  EXPECT_NE(out.find("desconto NUMERIC(15, 4)"), std::string::npos);
  ExpectSameLines(PgdbfLines(out), expected);
  EXPECT_GT(expected.size(), 50u);

  if (HaveProgram("dbview")) {
    const std::string view = Capture("dbview -b -d '|' '" + (dir() / "ML2.DBF").string() + "'");
    EXPECT_NE(view.find("|ana@example.com"), std::string::npos);
    EXPECT_NE(view.find("NOVO CONVENIO"), std::string::npos);
  }
}

TEST_F(ForeignReaders, PgdbfReadsAFoxProTableTheEngineWrote) {
  Connection c(dir().string());
  OpenOptions o;
  o.tableType = XBE_CDX;
  XBEHANDLE t = OpenTable(c, "STOCK", o);
  XBE_OK(XbeGotoRecord(t, 1));
  SetText(t, "NOTAS", "nota nova\r\n" + std::string(300, 'n'));
  SetText(t, "PRECO", "0.5");
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeAppendRecord(t));
  SetText(t, "ITEM", "IT00000001");
  SetText(t, "NOTAS", "outra");
  XBE_OK(XbeWriteRecord(t));
  const std::vector<std::string> expected = ExpectedPgdbfLines(t);
  XBE_OK(XbeCloseTable(t));
  const std::string out = Capture("pgdbf -m '" + (dir() / "STOCK.fpt").string() + "' '" + (dir() / "STOCK.dbf").string() + "' 2>&1");
  ExpectSameLines(PgdbfLines(out), expected);
}

}  // namespace
