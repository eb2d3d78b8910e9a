// Damaged memo files: a header or a memo length that lies is never trusted for a write, and
// no read reaches beyond what the file holds.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/memo_store.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

void PutBe32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}
void PutLe32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The memo block the current record's field refers to, from the stored image.
uint32_t MemoBlock(XBEHANDLE t, const char* field) {
  uint32_t offset = 0, length = 0, record = 0;
  EXPECT_EQ(XbeGetFieldOffset(t, field, &offset), 0u);
  EXPECT_EQ(XbeGetFieldLength(t, field, &length), 0u);
  EXPECT_EQ(XbeGetRecordLength(t, &record), 0u);
  std::string image(record, '\0');
  EXPECT_EQ(XbeGetRecord(t, image.data(), record), 0u);
  return xbe::DecodeMemoReference(std::string_view(image).substr(offset, length));
}

struct MemoFixture {
  const char* folder;
  const char* table;
  const char* memoFile;
  uint16_t tableType;
  bool fpt;  // big-endian header, block size at bytes 6-7
};

void PrintTo(const MemoFixture& f, std::ostream* os) { *os << f.folder << "/" << f.memoFile; }

const MemoFixture kMemoFixtures[] = {
    {"ntx", "people", "people.dbt", XBE_NTX, false},
    {"cdx", "STOCK", "STOCK.fpt", XBE_CDX, true},
    {"ml/installed", "ML2", "ML2.DBT", XBE_NTX, false},
};

class DamagedMemo : public ::testing::TestWithParam<MemoFixture> {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture(GetParam().folder, dir());
  }
  fs::path dir() const { return tmp_.path() / "d"; }
  fs::path memoPath() const { return dir() / GetParam().memoFile; }
  fs::path tablePath() const {
    for (const auto& e : fs::directory_iterator(dir())) {
      const std::string stem = e.path().stem().string(), ext = e.path().extension().string();
      if (stem == GetParam().table && (ext == ".dbf" || ext == ".DBF")) return e.path();
    }
    return {};
  }
  XBEHANDLE Open(const Connection& c) {
    OpenOptions o;
    o.tableType = GetParam().tableType;
    return OpenTable(c, GetParam().table, o);
  }
  const char* MemoField() const { return GetParam().fpt ? "NOTAS" : "OBS"; }
  testsupport::TempDir tmp_;
};

// A next free block far past the end once turned one short memo write into a file of hundreds
// of gigabytes. It is refused as damage and neither file changes.
TEST_P(DamagedMemo, NextFreeBlockPastTheEndRefusesTheWrite) {
  std::string memo = ReadFile(memoPath().string());
  const uint64_t blockSize = GetParam().fpt ? (static_cast<uint8_t>(memo[6]) << 8 | static_cast<uint8_t>(memo[7])) : 512;
  const uint64_t lastBlock = (memo.size() + blockSize - 1) / blockSize;
  for (uint64_t damaged : {lastBlock + 1, uint64_t{0x7FFFFFF0}}) {
    if (GetParam().fpt) PutBe32(memo, 0, static_cast<uint32_t>(damaged));
    else PutLe32(memo, 0, static_cast<uint32_t>(damaged));
    Write(memoPath(), memo);
    const std::string table = ReadFile(tablePath().string());
    Connection c(dir().string());
    XBEHANDLE t = Open(c);
    ASSERT_NE(t, 0u);
    // A short text and a long one: whether it would reuse the memo's blocks or go to the end.
    for (uint32_t recno = 1; recno <= 2; ++recno) {
      XBE_OK(XbeGotoRecord(t, recno));
      const std::string text = recno == 1 ? "8 bytes!" : std::string(3000, 'z');
      XBE_OK(XbeSetField(t, MemoField(), text.data(), static_cast<uint32_t>(text.size())));
      EXPECT_EQ(XbeWriteRecord(t), 6006u) << damaged;
      const std::string error = LastErrorText();
      EXPECT_NE(error.find(GetParam().memoFile), std::string::npos) << error;
      EXPECT_NE(error.find("next free block"), std::string::npos) << error;
      XBE_OK(XbeCancelUpdate(t));
    }
    // Reading is not affected.
    XBE_OK(XbeGotoRecord(t, 2));
    uint32_t length = 0;
    XBE_OK(XbeGetMemoLength(t, MemoField(), &length));
    XBE_OK(XbeCloseTable(t));
    EXPECT_EQ(ReadFile(memoPath().string()), memo) << damaged;
    EXPECT_EQ(ReadFile(tablePath().string()), table) << damaged;
  }
}

// The header as the files' own programs leave it (the last block partly written) is sound.
TEST_P(DamagedMemo, NextFreeBlockAtTheLastPartialBlockIsSound) {
  std::string memo = ReadFile(memoPath().string());
  const uint64_t blockSize = GetParam().fpt ? (static_cast<uint8_t>(memo[6]) << 8 | static_cast<uint8_t>(memo[7])) : 512;
  memo.resize(memo.size() - memo.size() % blockSize + blockSize / 2);
  const uint32_t next = static_cast<uint32_t>((memo.size() + blockSize - 1) / blockSize);
  if (GetParam().fpt) PutBe32(memo, 0, next);
  else PutLe32(memo, 0, next);
  Write(memoPath(), memo);
  Connection c(dir().string());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  XBE_OK(XbeGotoRecord(t, 1));
  const std::string text(5000, 'a');  // longer than any memo there: it goes to the end
  SetText(t, MemoField(), text);
  XBE_OK(XbeWriteRecord(t));
  EXPECT_EQ(MemoBlock(t, MemoField()), next);
  EXPECT_EQ(FieldText(t, MemoField()), text);
  XBE_OK(XbeCloseTable(t));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedMemo, ::testing::ValuesIn(kMemoFixtures),
                         [](const auto& info) { return std::string(info.param.table); });

class DamagedFptLength : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("cdx", dir());
  }
  fs::path dir() const { return tmp_.path() / "d"; }
  XBEHANDLE Open(const Connection& c) {
    OpenOptions o;
    o.tableType = XBE_CDX;
    return OpenTable(c, "STOCK", o);
  }
  testsupport::TempDir tmp_;
};

// A memo whose stored length reaches past the file reads as an error on that memo only; a new
// text written into its record goes to the end of the file and the memo stored after it (which
// the damaged length claims) is left whole.
TEST_F(DamagedFptLength, IsNeverWrittenOverAndTheNextMemoStays) {
  Connection c(dir().string());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  std::map<uint32_t, uint32_t> recordOfBlock;
  uint32_t count = RecordCount(t);
  for (uint32_t r = 1; r <= count; ++r) {
    XBE_OK(XbeGotoRecord(t, r));
    if (const uint32_t b = MemoBlock(t, "NOTAS")) recordOfBlock[b] = r;
  }
  XBE_OK(XbeCloseTable(t));
  ASSERT_GE(recordOfBlock.size(), 2u);
  const auto [blockA, recordA] = *recordOfBlock.begin();
  const auto [blockB, recordB] = *std::next(recordOfBlock.begin());

  const fs::path fptPath = dir() / "STOCK.fpt";
  std::string fpt = ReadFile(fptPath.string());
  const uint32_t blockSize = static_cast<uint8_t>(fpt[6]) << 8 | static_cast<uint8_t>(fpt[7]);
  PutBe32(fpt, static_cast<std::size_t>(blockA) * blockSize + 4, 0xFFFFFF00u);
  Write(fptPath, fpt);

  t = Open(c);
  XBE_OK(XbeGotoRecord(t, recordB));
  const std::string memoB = FieldText(t, "NOTAS");
  ASSERT_FALSE(memoB.empty());
  XBE_OK(XbeGotoRecord(t, recordA));
  uint32_t length = 0;
  EXPECT_EQ(XbeGetMemoLength(t, "NOTAS", &length), 6006u);
  // Long enough to run over memo B had the damaged run been reused.
  const std::string text((blockB - blockA + 2) * blockSize, 'n');
  SetText(t, "NOTAS", text);
  XBE_OK(XbeWriteRecord(t));
  EXPECT_GE(MemoBlock(t, "NOTAS"), fpt.size() / blockSize);
  EXPECT_EQ(FieldText(t, "NOTAS"), text);
  XBE_OK(XbeGotoRecord(t, recordB));
  EXPECT_EQ(FieldText(t, "NOTAS"), memoB);
  XBE_OK(XbeCloseTable(t));
  // Every byte after the header is as it was: the new text went after them.
  const std::string after = ReadFile(fptPath.string());
  EXPECT_EQ(after.substr(512, fpt.size() - 512), fpt.substr(512));
}

// Lengths and block numbers that claim more than the file holds are errors on that memo, read
// without allocating what they claim.
TEST_F(DamagedFptLength, ReadsStayInsideTheFile) {
  Connection c(dir().string());
  XBEHANDLE t = Open(c);
  ASSERT_NE(t, 0u);
  XBE_OK(XbeGotoRecord(t, 2));
  const uint32_t block = MemoBlock(t, "NOTAS");
  ASSERT_NE(block, 0u);
  XBE_OK(XbeCloseTable(t));
  const fs::path fptPath = dir() / "STOCK.fpt";
  const std::string original = ReadFile(fptPath.string());
  const uint32_t blockSize = static_cast<uint8_t>(original[6]) << 8 | static_cast<uint8_t>(original[7]);
  for (uint32_t damagedLength : {0xFFFFFFFFu, 0x7FFFFFFFu, static_cast<uint32_t>(original.size())}) {
    std::string fpt = original;
    PutBe32(fpt, static_cast<std::size_t>(block) * blockSize + 4, damagedLength);
    Write(fptPath, fpt);
    t = Open(c);
    XBE_OK(XbeGotoRecord(t, 2));
    uint32_t length = 0;
    EXPECT_EQ(XbeGetMemoLength(t, "NOTAS", &length), 6006u) << damagedLength;
    char buffer[64];
    length = sizeof buffer;
    EXPECT_EQ(XbeGetField(t, "NOTAS", buffer, &length, 0), 6006u) << damagedLength;
    XBE_OK(XbeCloseTable(t));
  }
}

}  // namespace
