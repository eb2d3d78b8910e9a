// Damaged index files reached through the C interface: every call answers success or a
// corrupt-file error, walks end, and the table's records stay as they were.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/table_create.h"
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

// A key naming a record past the end of the table ends the walk with the corrupt-file error, in
// either direction and on every try, whichever record the walk would have fallen back to.
struct PastTheEndCase {
  const char* what;
  const char* badKey;  // sorts among the keys A1 .. A5 of records 1 .. 5
  bool lastDeleted;    // record 5 deleted (deleted records are hidden)
  bool forward;        // reached from the top by steps forwards; else from the bottom backwards
};

const PastTheEndCase kPastTheEnd[] = {
    {"the last key", "A9", false, false},
    {"the key before a hidden last record", "A45", true, false},
    {"a key reached forwards", "A25", false, true},
};

class KeyPastTheTable : public ::testing::TestWithParam<std::uint16_t> {
 protected:
  bool Cdx() const { return GetParam() == XBE_CDX; }
  std::string Path(const char* name) const { return tmp_.str() + "/" + name; }

  // T with records 1 .. 5, and its index holding their keys and `badKey` for record 99.
  XBEHANDLE OpenWithIndex(const PastTheEndCase& c, XBEHANDLE* order) {
    xbe::CreateTable(Path("T"), Cdx() ? xbe::TableType::kCdx : xbe::TableType::kNtx, {{"K", 4, 6, 0}});
    OpenOptions o;
    o.tableType = GetParam();
    const XBEHANDLE t = OpenTable(conn_, "T", o);
    std::vector<xbe::index::KeyEntry> entries;
    for (std::uint32_t r = 1; r <= 5; ++r) {
      EXPECT_EQ(XbeAppendRecord(t), 0u);
      SetText(t, "K", "A" + std::to_string(r));
      if (r == 5 && c.lastDeleted) {
        EXPECT_EQ(XbeDeleteRecord(t), 0u);
      }
      EXPECT_EQ(XbeWriteRecord(t), 0u) << LastErrorText();
      entries.push_back({"A" + std::to_string(r) + std::string(4, ' '), r});
    }
    std::string bad = c.badKey;
    bad.resize(6, ' ');
    entries.push_back({bad, 99});
    const std::string file = Path(Cdx() ? "TK.cdx" : "TK.ntx");
    if (Cdx())
      xbe::index::CdxFile::Create(xbe::index::CreateHostFile(file))
          ->AddTag({"K", "K", "", false, false, 6, xbe::expr::Type::kCharacter}, entries);
    else
      xbe::index::NtxOrder::Create(xbe::index::CreateHostFile(file), "TK", {"K", "", false, false, 6, 0}, entries);
    *order = OpenIndex(t, file);
    return t;
  }

  testsupport::TempDir tmp_;
  Connection conn_{tmp_.str()};
};

TEST_P(KeyPastTheTable, EndsTheWalkWithTheCorruptFileError) {
  ShowDeleted(false);
  for (const PastTheEndCase& c : kPastTheEnd) {
    SCOPED_TRACE(c.what);
    XBEHANDLE order = 0;
    const XBEHANDLE t = OpenWithIndex(c, &order);
    ASSERT_NE(order, 0u);
    for (int round = 0; round < 2; ++round) {
      XBERESULT r;
      if (c.forward) {
        XBE_OK(XbeGotoTop(order));
        XBE_OK(XbeSkip(order, 1));
        EXPECT_EQ(CurrentRecord(t), 2u);
        r = XbeSkip(order, 1);
      } else {
        r = XbeGotoBottom(order);
        if (r == 0) {
          EXPECT_EQ(CurrentRecord(t), c.lastDeleted ? 4u : 5u);
          r = XbeSkip(order, -1);
        }
      }
      EXPECT_EQ(r, 6006u) << "on record " << CurrentRecord(t);
      EXPECT_NE(LastErrorText().find("past the end of the table"), std::string::npos) << LastErrorText();
    }
    XBE_OK(XbeCloseTable(t));
    std::filesystem::remove(Path("T.dbf"));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, KeyPastTheTable, ::testing::Values(XBE_NTX, XBE_CDX),
                         [](const auto& info) { return info.param == XBE_CDX ? "cdx" : "ntx"; });

}  // namespace
