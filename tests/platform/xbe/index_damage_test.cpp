// Damaged index files reached through the C interface: every call answers success or a
// corrupt-file error, walks end, and the table's records stay as they were.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

bool Acceptable(XBERESULT r) { return r == 0 || r == 6006; }

TEST(DamagedIndexes, AnswerCleanlyAndLeaveTheTableAlone) {
  REQUIRE_FIXTURES();
  CopiedFolder copy("ntx");
  const Connection& conn = copy.conn;
  const std::string pristine = ReadFile((copy.dir() / "peonom.ntx").string());
  const std::string table = ReadFile((copy.dir() / "people.dbf").string());
  std::mt19937 rng(99);
  int opened = 0;
  for (int round = 0; round < 120; ++round) {
    std::string damaged = pristine;
    const int hits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < hits; ++i) {
      // Mostly page bytes, sometimes the header.
      const std::size_t at = rng() % 4 == 0 ? rng() % 1024 : 1024 + rng() % (damaged.size() - 1024);
      damaged[at] = static_cast<char>(rng() % 3 == 0 ? 0xFF : rng());
    }
    {
      std::FILE* f = std::fopen((copy.dir() / "bad.ntx").c_str(), "wb");
      std::fwrite(damaged.data(), 1, damaged.size(), f);
      std::fclose(f);
    }
    OpenOptions o;
    o.options = XBE_READONLY;
    const XBEHANDLE t = OpenTable(conn, "people", o);
    ASSERT_NE(t, 0u);
    XBEHANDLE orders[50];
    uint16_t n = 50;
    const XBERESULT r = XbeOpenIndex(t, (conn.directory() + "\\bad.ntx").c_str(), orders, &n);
    EXPECT_TRUE(r == 0 || r == 6006 || r == 6018) << LastErrorText();
    if (r == 0) {
      ++opened;
      const XBEHANDLE order = orders[0];
      XBERESULT step = XbeGotoTop(order);
      EXPECT_TRUE(Acceptable(step)) << LastErrorText();
      for (int i = 0; i < 2000 && step == 0 && !AtEof(t); ++i) step = XbeSkip(order, 1);
      EXPECT_TRUE(Acceptable(step)) << LastErrorText();
      EXPECT_TRUE(Acceptable(XbeGotoBottom(order))) << LastErrorText();
      EXPECT_TRUE(Acceptable(XbeSkip(order, -3))) << LastErrorText();
      uint16_t found = 0;
      EXPECT_TRUE(Acceptable(XbeSeek(order, "M", 1, XBE_TEXT_KEY, XBE_SOFT_SEEK, &found))) << LastErrorText();
      uint32_t count = 0;
      EXPECT_TRUE(Acceptable(XbeGetRecordCount(order, 3, &count))) << LastErrorText();
    }
    XBE_OK(XbeCloseTable(t));
  }
  EXPECT_GT(opened, 0);
  EXPECT_EQ(ReadFile((copy.dir() / "people.dbf").string()), table);

  // A write through a damaged index: made in full, or refused (the index reports its damage)
  // with the table as it was.
  std::string damaged = pristine;
  for (std::size_t at = 1024; at < damaged.size(); at += 37) damaged[at] = '\xFF';
  {
    std::FILE* f = std::fopen((copy.dir() / "bad.ntx").c_str(), "wb");
    std::fwrite(damaged.data(), 1, damaged.size(), f);
    std::fclose(f);
  }
  const XBEHANDLE t = OpenTable(conn, "people");
  XBEHANDLE orders[50];
  uint16_t n = 50;
  if (XbeOpenIndex(t, (conn.directory() + "\\bad.ntx").c_str(), orders, &n) == 0) {
    XBE_OK(XbeGotoRecord(t, 5));
    SetText(t, "NOME", "NOVO NOME");
    const XBERESULT written = XbeWriteRecord(t);
    EXPECT_TRUE(Acceptable(written)) << LastErrorText();
    if (written != 0) {
      XBE_OK(XbeCancelUpdate(t));
      EXPECT_EQ(ReadFile((copy.dir() / "people.dbf").string()), table);
    }
    XBE_OK(XbeGotoRecord(t, 5));
    if (written == 0) EXPECT_EQ(FieldText(t, "NOME").substr(0, 9), "NOVO NOME");
    XBE_OK(XbeGotoRecord(t, 6));
    EXPECT_EQ(FieldText(t, "NOME").substr(0, 7), "ZULEICA");
  }
  XBE_OK(XbeCloseTable(t));
}

}  // namespace
