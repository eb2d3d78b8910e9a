// What another program does between two of our moves shows at the next move: appends, writes,
// deletions and an index rebuilt in place, on shared handles whose pages, nodes and records are
// kept between calls (NTX orders and CDX tags alike); and a handle that reads ahead, or a second
// handle of the same index, sees our own changes at once.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "other_process.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

// The index of T on its field K, for the records T holds: an NTX order, or a compound file with
// one tag (written through the index layer, as a program that rebuilds it would; no C call makes
// one), over the same file when it is there.
struct IndexFormat {
  const char* name;
  std::uint16_t tableType;
  const char* file;
  void (*build)(XBEHANDLE table, const std::string& path);
};

void BuildNtx(XBEHANDLE table, const std::string& path) { xbe::CreateNtxIndex(table, path, "K"); }

void BuildCdx(XBEHANDLE table, const std::string& path) {
  std::vector<xbe::index::KeyEntry> entries;
  for (std::uint32_t r = 1; r <= RecordCount(table); ++r) {
    EXPECT_EQ(XbeGotoRecord(table, r), 0u);
    entries.push_back({FieldText(table, "K"), r});
  }
  auto file = std::filesystem::exists(path) ? xbe::index::OpenHostFile(path, true) : xbe::index::CreateHostFile(path);
  xbe::index::CdxFile::Create(std::move(file))->AddTag({"K", "K", "", false, false, 6, xbe::expr::Type::kCharacter},
                                                       entries);
}

const IndexFormat kNtx{"ntx", XBE_NTX, "TK.ntx", BuildNtx};
const IndexFormat kCdx{"cdx", XBE_CDX, "TK.cdx", BuildCdx};

class CacheFreshness : public ::testing::Test {
 protected:
  explicit CacheFreshness(const IndexFormat& format = kNtx) : format_(format) {}

  void SetUp() override {
    xbe::CreateTable(Path("T"),
                     format_.tableType == XBE_CDX ? xbe::TableType::kCdx : xbe::TableType::kNtx,
                     {{"K", 4, 6, 0}, {"N", 2, 6, 0}});
    XBEHANDLE t = Open();
    ASSERT_NE(t, 0u);
    // Enough keys for an order of several levels, so that seeks and walks cross pages and nodes.
    for (int i = 1; i <= kRecords; ++i) {
      XBE_OK(XbeAppendRecord(t));
      SetText(t, "K", Key(i));
      SetText(t, "N", std::to_string(i));
      XBE_OK(XbeWriteRecord(t));
    }
    format_.build(t, Path(format_.file));
    XBE_OK(XbeCloseTable(t));
  }

  static constexpr int kRecords = 400;
  static std::string Key(int i) { return "K" + std::to_string(10000 + i * 2); }  // room between keys
  std::string Path(const char* name) const { return tmp_.str() + "/" + name; }
  XBEHANDLE Open(std::uint32_t options = 0) {
    OpenOptions o;
    o.tableType = format_.tableType;
    o.options = options;
    return OpenTable(conn_, "T", o);
  }

  // Runs `work` in another program's handle of T (with the index open on it when asked).
  void InAnotherProcess(bool withIndex, const std::function<bool(XBEHANDLE table)>& work) {
    ASSERT_TRUE(
        xbetest::InAnotherProcess(tmp_.str(), Path("T"), format_.tableType, withIndex ? Path(format_.file) : "", work));
  }
  // Another program writes the index anew from T's records, over the same file.
  bool RebuildIndex(XBEHANDLE table) {
    try {
      format_.build(table, Path(format_.file));
    } catch (...) {
      return false;
    }
    return !::testing::Test::HasFailure();
  }

  const IndexFormat& format_;
  testsupport::TempDir tmp_;
  Connection conn_{tmp_.str()};
};

// The same against an NTX order and a CDX tag.
class OrderFreshness : public CacheFreshness, public ::testing::WithParamInterface<const IndexFormat*> {
 protected:
  OrderFreshness() : CacheFreshness(*GetParam()) {}
};

TEST_F(CacheFreshness, NaturalWalkSeesAnotherProcesssAppendWriteAndDeletion) {
  XBEHANDLE t = OpenTable(conn_, "T");
  XBE_OK(XbeGotoRecord(t, kRecords - 2));
  EXPECT_EQ(FieldText(t, "N"), std::to_string(kRecords - 2));
  InAnotherProcess(false, [](XBEHANDLE o) {
    return SetFirstField(o, kRecords - 1, "WRITE") && XbeGotoRecord(o, kRecords) == 0 && XbeDeleteRecord(o) == 0 &&
           XbeWriteRecord(o) == 0 && XbeAppendRecord(o) == 0 && XbeSetField(o, "K", "NEW", 3) == 0 &&
           XbeWriteRecord(o) == 0;
  });
  XBE_OK(XbeSkip(t, 1));
  EXPECT_EQ(FieldText(t, "K"), "WRITE ");
  XBE_OK(XbeSkip(t, 1));  // the deleted record is hidden
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  EXPECT_EQ(FieldText(t, "K"), "NEW   ");
  XBE_OK(XbeSkip(t, 1));
  EXPECT_TRUE(AtEof(t));
  XBE_OK(XbeCloseTable(t));
}

TEST_F(CacheFreshness, AnAppendTakenBackElsewhereEndsOurWalkBeforeIt) {
  XBEHANDLE t = OpenTable(conn_, "T");
  XBEHANDLE other = OpenTable(conn_, "T");
  XBE_OK(XbeAppendRecord(other));
  XBE_OK(XbeGotoBottom(t));  // we have seen the appended record
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  XBE_OK(XbeCancelUpdate(other));
  XBE_OK(XbeGotoRecord(t, kRecords));
  XBE_OK(XbeSkip(t, 1));
  EXPECT_TRUE(AtEof(t));
  XBE_OK(XbeGotoBottom(t));
  EXPECT_EQ(CurrentRecord(t), static_cast<std::uint32_t>(kRecords));
  XBE_OK(XbeCloseTable(other));
  XBE_OK(XbeCloseTable(t));
}

TEST_P(OrderFreshness, SeeksAndSkipsSeeAnotherProcesssChangesOfTheOrder) {
  XBEHANDLE t = Open();
  const XBEHANDLE order = OpenIndex(t, Path(format_.file));
  ASSERT_TRUE(HardSeek(order, Key(200)));
  EXPECT_FALSE(HardSeek(order, "K10401"));
  ASSERT_TRUE(HardSeek(order, Key(100)));  // stands on record 100, its leaf cached
  InAnotherProcess(true, [&](XBEHANDLE o) {
    // A key between 100 and 101, record 200 gone from its place, and a new record.
    return SetFirstField(o, 300, "K10201") && SetFirstField(o, 200, "ZZZZZZ") && XbeAppendRecord(o) == 0 &&
           XbeSetField(o, "K", "K10401", 6) == 0 && XbeWriteRecord(o) == 0;
  });
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 300u);
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 101u);
  XBE_OK(XbeSkip(order, -2));
  EXPECT_EQ(CurrentRecord(t), 100u);
  EXPECT_FALSE(HardSeek(order, Key(200)));
  ASSERT_TRUE(HardSeek(order, "K10401"));
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  ASSERT_TRUE(HardSeek(order, "ZZ"));
  EXPECT_EQ(CurrentRecord(t), 200u);
  // Backwards from the end crosses every leaf of the changed order and agrees with the walk forwards.
  const std::vector<std::uint32_t> back = WalkBackwards(t, order);
  ASSERT_EQ(back.size(), kRecords + 1u);
  EXPECT_EQ(back.front(), 1u);
  EXPECT_EQ(back.back(), 200u);
  EXPECT_EQ(back, Walk(t, order));
  XBE_OK(XbeCloseTable(t));
}

TEST_P(OrderFreshness, AnIndexRebuiltInPlaceByAnotherProcessIsReadAgain) {
  XBEHANDLE t = Open();
  const XBEHANDLE order = OpenIndex(t, Path(format_.file));
  ASSERT_TRUE(HardSeek(order, Key(150)));
  InAnotherProcess(false, [&](XBEHANDLE o) {
    // Keys changed and records added without the order open, then the order written anew over
    // the same file.
    if (!SetFirstField(o, 150, "AAAAAA") || !SetFirstField(o, 151, Key(150))) return false;
    for (int i = 0; i < 100; ++i)
      if (XbeAppendRecord(o) != 0 || XbeSetField(o, "K", "MORE", 4) != 0 || XbeWriteRecord(o) != 0) return false;
    return RebuildIndex(o);
  });
  ASSERT_TRUE(HardSeek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 151u);
  XBE_OK(XbeGotoTop(order));
  EXPECT_EQ(CurrentRecord(t), 150u);
  XBE_OK(XbeCloseTable(t));
}

// The same number of keys rebuilt: size, root and pages come out as before, and only the
// file's change counter, which the rewrite continues, tells our cached pages that they are old.
TEST_P(OrderFreshness, AnIndexRebuiltToTheSameSizeIsReadAgain) {
  XBEHANDLE t = Open();
  const XBEHANDLE order = OpenIndex(t, Path(format_.file));
  ASSERT_TRUE(HardSeek(order, Key(150)));
  const auto sizeBefore = std::filesystem::file_size(Path(format_.file));
  InAnotherProcess(false, [&](XBEHANDLE o) {
    if (!SetFirstField(o, 150, Key(151)) || !SetFirstField(o, 151, Key(150))) return false;
    return RebuildIndex(o);
  });
  ASSERT_EQ(std::filesystem::file_size(Path(format_.file)), sizeBefore);
  ASSERT_TRUE(HardSeek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 151u);
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 150u);
  ASSERT_TRUE(HardSeek(order, Key(151)));
  EXPECT_EQ(CurrentRecord(t), 150u);
  XBE_OK(XbeCloseTable(t));
}


// Our own writes through one handle reach what every other handle of the index keeps.
TEST_P(OrderFreshness, OwnChangesShowAtOnceThroughAnotherHandle) {
  XBEHANDLE t = Open();
  XBEHANDLE other = Open();
  const XBEHANDLE order = OpenIndex(t, Path(format_.file));
  const XBEHANDLE otherOrder = OpenIndex(other, Path(format_.file));
  ASSERT_TRUE(HardSeek(order, Key(250)));
  ASSERT_TRUE(SetFirstField(other, 250, "A00000"));
  for (int i = 0; i < 200; ++i) {  // enough to split leaves and grow the branch above them
    XBE_OK(XbeAppendRecord(other));
    SetText(other, "K", "N" + std::to_string(10000 + i));
    XBE_OK(XbeWriteRecord(other));
  }
  EXPECT_FALSE(HardSeek(order, Key(250)));
  ASSERT_TRUE(HardSeek(order, "A00000"));
  EXPECT_EQ(CurrentRecord(t), 250u);
  ASSERT_TRUE(HardSeek(otherOrder, "N10000"));
  EXPECT_EQ(CurrentRecord(other), kRecords + 1u);
  const std::vector<std::uint32_t> forward = Walk(t, order);
  ASSERT_EQ(forward.size(), kRecords + 200u);
  EXPECT_EQ(forward.front(), 250u);
  XBE_OK(XbeCloseTable(other));
  XBE_OK(XbeCloseTable(t));
}

INSTANTIATE_TEST_SUITE_P(Formats, OrderFreshness, ::testing::Values(&kNtx, &kCdx),
                         [](const ::testing::TestParamInfo<const IndexFormat*>& info) { return info.param->name; });

TEST_F(CacheFreshness, AHandleReadingAheadSeesItsOwnChanges) {
  struct Case {
    const char* name;
    std::uint32_t options;
    std::uint16_t cacheRecords;
  };
  for (const Case& c : {Case{"exclusive", XBE_EXCLUSIVE, 0}, Case{"record cache", 0, 50}}) {
    SCOPED_TRACE(c.name);
    OpenOptions o;
    o.options = c.options;
    XBEHANDLE t = OpenTable(conn_, "T", o);
    ASSERT_NE(t, 0u);
    XBE_OK(XbeCacheRecords(t, c.cacheRecords));
    XBE_OK(XbeGotoTop(t));
    XBE_OK(XbeSkip(t, 3));  // records 1 to 4 and what follows are in the block now
    ASSERT_TRUE(SetFirstField(t, 6, c.name));
    XBE_OK(XbeGotoRecord(t, 4));
    XBE_OK(XbeSkip(t, 2));
    EXPECT_EQ(FieldText(t, "K").substr(0, 3), std::string(c.name).substr(0, 3));
    XBE_OK(XbeAppendRecord(t));
    SetText(t, "N", "777");
    XBE_OK(XbeWriteRecord(t));
    XBE_OK(XbeGotoBottom(t));
    XBE_OK(XbeSkip(t, -1));
    XBE_OK(XbeSkip(t, 1));
    EXPECT_EQ(FieldText(t, "N"), "777");
    XBE_OK(XbeDeleteRecord(t));
    XBE_OK(XbeWriteRecord(t));
    XBE_OK(XbeGotoBottom(t));
    EXPECT_NE(FieldText(t, "N"), "777");
    XBE_OK(XbeCloseTable(t));
  }
}

// Every call finds its handle through a small table of the handles used lately: each handle
// keeps reaching its own table, and a handle closed right after use answers "invalid".
TEST_F(CacheFreshness, HandlesUsedLatelyStayTheirOwnAndDieWithTheirObject) {
  std::vector<XBEHANDLE> tables;
  for (std::uint32_t i = 1; i <= 40; ++i) {  // more handles than the table has places
    tables.push_back(OpenTable(conn_, "T"));
    XBE_OK(XbeGotoRecord(tables.back(), i));
  }
  for (int round = 0; round < 2; ++round)
    for (std::uint32_t i = 1; i <= tables.size(); ++i) EXPECT_EQ(FieldText(tables[i - 1], "N"), std::to_string(i));
  const XBEHANDLE order = OpenIndex(tables[0], Path("TK.ntx"));
  ASSERT_TRUE(HardSeek(order, Key(7)));
  XBE_OK(XbeCloseIndex(order));
  std::uint16_t found = 0;
  EXPECT_EQ(XbeSeek(order, "K", 1, XBE_TEXT_KEY, XBE_HARD_SEEK, &found), 6001u);
  EXPECT_EQ(XbeSkip(order, 1), 6001u);
  for (std::size_t i = 0; i < tables.size(); i += 2) XBE_OK(XbeCloseTable(tables[i]));
  char buffer[16];
  for (std::uint32_t i = 1; i <= tables.size(); ++i) {
    std::uint32_t length = sizeof buffer;
    if (i % 2 == 1) {
      EXPECT_EQ(XbeGetField(tables[i - 1], XBE_FIELD_ORDINAL(2), buffer, &length, 0), 6001u);
      EXPECT_EQ(XbeSkip(tables[i - 1], 1), 6001u);
    } else {
      EXPECT_EQ(FieldText(tables[i - 1], "N"), std::to_string(i));
    }
  }
  const XBEHANDLE again = OpenTable(conn_, "T");  // a new handle: its own number and table
  EXPECT_EQ(std::count(tables.begin(), tables.end(), again), 0);
  XBE_OK(XbeGotoRecord(again, 77));
  EXPECT_EQ(FieldText(again, "N"), "77");
  XBE_OK(XbeCloseTable(again));
  for (std::size_t i = 1; i < tables.size(); i += 2) XBE_OK(XbeCloseTable(tables[i]));
}

}  // namespace
