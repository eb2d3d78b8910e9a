// A compound index keeps its nodes between calls, shared by its tags: what another program does
// between two of our seeks or skips (keys written, a key gone from its place, an append, the
// file rebuilt in place to the same size) shows at the next one, and our own changes at once.
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
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

class CdxCacheFreshness : public ::testing::Test {
 protected:
  void SetUp() override {
    xbe::CreateTable(Path("T"), xbe::TableType::kCdx, {{"K", 4, 6, 0}, {"N", 2, 6, 0}});
    XBEHANDLE t = OpenTable(conn_, "T", kCdxOpen);
    ASSERT_NE(t, 0u);
    for (int i = 1; i <= kRecords; ++i) {
      XBE_OK(XbeAppendRecord(t));
      SetText(t, "K", Key(i));
      SetText(t, "N", std::to_string(i));
      XBE_OK(XbeWriteRecord(t));
    }
    XBE_OK(XbeCloseTable(t));
    std::vector<std::string> keys;
    for (int i = 1; i <= kRecords; ++i) keys.push_back(Key(i));
    WriteIndex(keys);
  }

  // Enough keys for leaves under a branch, so that seeks and walks cross nodes.
  static constexpr int kRecords = 400;
  static constexpr OpenOptions kCdxOpen{XBE_CDX};
  static std::string Key(int i) { return "K" + std::to_string(10000 + i * 2); }  // room between keys
  std::string Path(const char* name) const { return tmp_.str() + "/" + name; }

  // Writes TK.cdx over the same file (as a rebuild elsewhere does): one tag K on the field K,
  // keys[i] for record i + 1.
  void WriteIndex(const std::vector<std::string>& keys) const {
    const std::string path = Path("TK.cdx");
    auto file = std::filesystem::exists(path) ? xbe::index::OpenHostFile(path, true)
                                              : xbe::index::CreateHostFile(path);
    auto cdx = xbe::index::CdxFile::Create(std::move(file));
    std::vector<xbe::index::KeyEntry> entries;
    for (std::size_t i = 0; i < keys.size(); ++i) entries.push_back({keys[i], static_cast<std::uint32_t>(i + 1)});
    cdx->AddTag({"K", "K", "", false, false, 6, xbe::expr::Type::kCharacter}, entries);
  }

  // Runs `work` in another program's handle of T (with TK.cdx open on it when asked).
  void InAnotherProcess(bool withIndex, const std::function<bool(XBEHANDLE table)>& work) {
    ASSERT_TRUE(xbetest::InAnotherProcess(tmp_.str(), Path("T"), XBE_CDX, withIndex ? Path("TK.cdx") : "", work));
  }

  testsupport::TempDir tmp_;
  Connection conn_{tmp_.str()};
};

TEST_F(CdxCacheFreshness, SeeksAndSkipsSeeAnotherProcesssChangesOfTheTag) {
  XBEHANDLE t = OpenTable(conn_, "T", kCdxOpen);
  const XBEHANDLE order = OpenIndex(t, Path("TK.cdx"));
  ASSERT_TRUE(HardSeek(order, Key(200)));
  EXPECT_FALSE(HardSeek(order, "K10401"));
  ASSERT_TRUE(HardSeek(order, Key(100)));  // stands on record 100, its leaf cached and decoded
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
  // Backwards from the end crosses every leaf of the changed tag and agrees with the walk forwards.
  const std::vector<std::uint32_t> back = WalkBackwards(t, order);
  ASSERT_EQ(back.size(), kRecords + 1u);
  EXPECT_EQ(back.front(), 1u);
  EXPECT_EQ(back.back(), 200u);
  EXPECT_EQ(back, Walk(t, order));
  XBE_OK(XbeCloseTable(t));
}

// The same number of keys written anew: size and headers come out as before, and only the file's
// modification time tells our cached nodes that they are old.
TEST_F(CdxCacheFreshness, AnIndexRebuiltToTheSameSizeIsReadAgain) {
  XBEHANDLE t = OpenTable(conn_, "T", kCdxOpen);
  const XBEHANDLE order = OpenIndex(t, Path("TK.cdx"));
  ASSERT_TRUE(HardSeek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 150u);
  const auto sizeBefore = std::filesystem::file_size(Path("TK.cdx"));
  InAnotherProcess(false, [&](XBEHANDLE o) {
    if (!SetFirstField(o, 150, Key(151)) || !SetFirstField(o, 151, Key(150))) return false;
    std::vector<std::string> keys;
    for (int i = 1; i <= kRecords; ++i) keys.push_back(Key(i == 150 ? 151 : i == 151 ? 150 : i));
    try {
      WriteIndex(keys);
    } catch (...) {
      return false;
    }
    return true;
  });
  ASSERT_EQ(std::filesystem::file_size(Path("TK.cdx")), sizeBefore);
  ASSERT_TRUE(HardSeek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 151u);
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 150u);
  ASSERT_TRUE(HardSeek(order, Key(151)));
  EXPECT_EQ(CurrentRecord(t), 150u);
  XBE_OK(XbeCloseTable(t));
}

// Our own writes through one handle reach the nodes every handle of the file reads in place.
TEST_F(CdxCacheFreshness, OwnChangesShowAtOnceThroughAnotherHandle) {
  XBEHANDLE t = OpenTable(conn_, "T", kCdxOpen);
  XBEHANDLE other = OpenTable(conn_, "T", kCdxOpen);
  const XBEHANDLE order = OpenIndex(t, Path("TK.cdx"));
  const XBEHANDLE otherOrder = OpenIndex(other, Path("TK.cdx"));
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

}  // namespace
