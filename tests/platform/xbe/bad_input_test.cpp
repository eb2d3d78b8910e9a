// Damaged files: each gives a clear error naming the file, or the documented tolerant reading.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

void Put32(std::string& s, size_t at, uint32_t v) { std::memcpy(s.data() + at, &v, 4); }
void Put16(std::string& s, size_t at, uint16_t v) { std::memcpy(s.data() + at, &v, 2); }

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("ntx", dir());
    original_ = ReadFile((dir() / "people.dbf").string());
  }
  fs::path dir() const { return tmp_.path() / "d"; }
  // Opens people.dbf after `damage` changed it; returns the open result.
  XBERESULT OpenDamaged(const std::function<void(std::string&)>& damage, XBEHANDLE* table = nullptr) {
    std::string bytes = original_;
    damage(bytes);
    Write(dir() / "people.dbf", bytes);
    Connection c(dir().string());
    XBERESULT r = 0;
    XBEHANDLE t = OpenTable(c, "people", {}, &r);
    if (table) *table = t;
    else if (t) XbeCloseTable(t);
    return r;
  }
  testsupport::TempDir tmp_;
  std::string original_;
};

TEST_F(BadInput, DamagedHeadersGiveClearErrors) {
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    XBERESULT code;
    const char* mentions;
  } cases[] = {
      {"truncated header", [](std::string& s) { s.resize(20); }, 6006, "shorter"},
      {"empty file", [](std::string& s) { s.clear(); }, 6006, "shorter"},
      {"unknown version", [](std::string& s) { s[0] = 0x47; }, 6008, "0x47"},
      {"header length past the end", [](std::string& s) { Put16(s, 8, 60000); s.resize(1000); }, 6006, "header length"},
      {"header length too small", [](std::string& s) { Put16(s, 8, 20); }, 6006, "header length"},
      {"record length too small", [](std::string& s) { Put16(s, 10, 30); }, 6006, "record length"},
      {"field without name", [](std::string& s) { std::memset(s.data() + 64, 0, 11); }, 6006, "field 2"},
      {"control characters in a name", [](std::string& s) { s[66] = 0x07; }, 6006, "field 2"},
      {"unknown field type", [](std::string& s) { s[64 + 11] = 'Q'; }, 6008, "0x51"},
      {"zero-length field", [](std::string& s) { s[64 + 16] = 0; }, 6006, "length 0"},
      {"date field of length 3", [](std::string& s) { s[32 * 7 + 16] = 3; }, 6006, "DATA"},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(OpenDamaged(k.damage), k.code) << k.what;
    const std::string text = LastErrorText();
    EXPECT_NE(text.find(k.mentions), std::string::npos) << k.what << ": " << text;
    EXPECT_NE(text.find("people"), std::string::npos) << k.what << ": " << text;
  }
}

TEST_F(BadInput, TolerantReadings) {
  const uint16_t headerLength = static_cast<uint8_t>(original_[8]) | static_cast<uint8_t>(original_[9]) << 8;
  const uint16_t recordLength = static_cast<uint8_t>(original_[10]) | static_cast<uint8_t>(original_[11]) << 8;
  XBEHANDLE t = 0;
  // A file cut inside record 101 reads its first 100 records.
  ASSERT_EQ(OpenDamaged([&](std::string& s) { s.resize(headerLength + 100 * recordLength + 7); }, &t), 0u);
  EXPECT_EQ(RecordCount(t), 100u);
  XBE_OK(XbeGotoBottom(t));
  uint32_t recno = 0;
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 100u);
  EXPECT_EQ(XbeGotoRecord(t, 101), 5022u);
  XBE_OK(XbeCloseTable(t));
  // A record count beyond the file likewise; a smaller one hides the records after it.
  ASSERT_EQ(OpenDamaged([](std::string& s) { Put32(s, 4, 100000); }, &t), 0u);
  EXPECT_EQ(RecordCount(t), 400u);
  XBE_OK(XbeCloseTable(t));
  ASSERT_EQ(OpenDamaged([](std::string& s) { Put32(s, 4, 3); }, &t), 0u);
  EXPECT_EQ(RecordCount(t), 3u);
  XBE_OK(XbeCloseTable(t));
  // Descriptors without their terminator: the ones that fit in the header are the fields.
  ASSERT_EQ(OpenDamaged([&](std::string& s) { s[headerLength - 1] = ' '; }, &t), 0u);
  EXPECT_EQ(FieldCount(t), 8);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(BadInput, MemoReferencesPastTheEndAreErrorsOnThatMemoOnly) {
  XBEHANDLE t = 0;
  const uint16_t headerLength = static_cast<uint8_t>(original_[8]) | static_cast<uint8_t>(original_[9]) << 8;
  ASSERT_EQ(OpenDamaged([&](std::string& s) { std::memcpy(s.data() + headerLength + 92, "  99999999", 10); }, &t), 0u);
  XBE_OK(XbeGotoRecord(t, 1));
  uint32_t offset = 0;
  XBE_OK(XbeGetFieldOffset(t, "OBS", &offset));
  ASSERT_EQ(offset, 92u);
  char buffer[100];
  uint32_t length = sizeof buffer;
  EXPECT_EQ(XbeGetField(t, "OBS", buffer, &length, 0), 6006u);
  EXPECT_NE(LastErrorText().find("people.dbt"), std::string::npos) << LastErrorText();
  EXPECT_EQ(XbeGetMemoLength(t, "OBS", &length), 6006u);
  XBE_OK(XbeGotoRecord(t, 3));
  EXPECT_FALSE(FieldText(t, "OBS").empty());
  XBE_OK(XbeCloseTable(t));
}

TEST_F(BadInput, MissingOrDamagedMemoFiles) {
  fs::remove(dir() / "people.dbt");
  EXPECT_EQ(OpenDamaged([](std::string&) {}), 6002u);
  EXPECT_NE(LastErrorText().find("people.dbt"), std::string::npos);

  testsupport::CopyFixture("cdx", tmp_.path() / "c");
  std::string fpt = ReadFile((tmp_.path() / "c" / "STOCK.fpt").string());
  fpt[6] = fpt[7] = 0;  // block size 0
  Write(tmp_.path() / "c" / "STOCK.fpt", fpt);
  Connection c((tmp_.path() / "c").string());
  OpenOptions o;
  o.tableType = XBE_CDX;
  XBERESULT r = 0;
  EXPECT_EQ(OpenTable(c, "STOCK", o, &r), 0u);
  EXPECT_EQ(r, 6006u);
  EXPECT_NE(LastErrorText().find("block size"), std::string::npos);
}

TEST_F(BadInput, MissingTablesAndHandles) {
  Connection c(dir().string());
  XBERESULT r = 0;
  EXPECT_EQ(OpenTable(c, "nosuch", {}, &r), 0u);
  EXPECT_EQ(r, 6002u);
  EXPECT_NE(LastErrorText().find("nosuch"), std::string::npos);
  uint16_t n = 0;
  EXPECT_EQ(XbeGetNumFields(0, &n), 6001u);
  EXPECT_EQ(XbeGetNumFields(c.handle(), &n), 6001u);
  EXPECT_EQ(XbeSkip(0x7FFFFFF0, 1), 6001u);
  uint32_t size = 0;
  EXPECT_EQ(XbeGetIndexPageSize(0, &size), 6001u);
  EXPECT_EQ(XbeCloseTable(12345), 6001u);
  uint32_t code = 0;
  char text[601];
  uint16_t length = 600;
  XBE_OK(XbeGetLastError(&code, text, &length));
  EXPECT_EQ(code, 6001u);
}

}  // namespace
