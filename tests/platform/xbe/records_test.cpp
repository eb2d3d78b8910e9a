// Writing through the C interface: append, edit, delete and recall, cancel, memos in both memo
// formats, character conversion, navigation edges and the engine's own table format.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;
using namespace rtl::literals;
namespace fs = std::filesystem;

namespace {

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("ntx", dir() / "ntx");
    testsupport::CopyFixture("cdx", dir() / "cdx");
    ShowDeleted(false);
  }
  fs::path dir() const { return tmp_.path(); }
  testsupport::TempDir tmp_;
};

TEST_F(Records, AppendedRecordReadsBackAfterReopen) {
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  ASSERT_NE(t, 0u);
  XBE_OK(XbeAppendRecord(t));
  uint32_t recno = 0;
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 401u);
  SetText(t, "NOME", "Novo nome");
  SetText(t, "CODIGO", "123456");
  SetText(t, "VALOR", "-12.5");
  SetText(t, "DATA", "20240229");
  SetText(t, "ATIVO", "T");
  SetText(t, "OBS", "linha 1\r\nlinha 2");
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeCloseTable(t));

  t = OpenTable(c, "people");
  EXPECT_EQ(RecordCount(t), 401u);
  XBE_OK(XbeGotoRecord(t, 401));
  EXPECT_EQ(FieldText(t, "NOME"), "Novo nome" + std::string(31, ' '));
  EXPECT_EQ(FieldText(t, "CODIGO"), "123456");
  EXPECT_EQ(FieldText(t, "VALOR"), "-12.50");
  EXPECT_EQ(FieldText(t, "DATA"), "20240229");
  EXPECT_EQ(FieldText(t, "ATIVO"), "T");
  EXPECT_EQ(FieldText(t, "OBS"), "linha 1\r\nlinha 2");
  uint16_t empty = 1;
  XBE_OK(XbeIsEmpty(t, "CIDADE", &empty));
  EXPECT_EQ(empty, 1);
  XBE_OK(XbeCloseTable(t));
  // The file ends with the end-of-file mark after the last record.
  const std::string bytes = ReadFile((dir() / "ntx" / "people.dbf").string());
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST_F(Records, BadValuesAreRefusedAndNothingChanges) {
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  XBE_OK(XbeGotoRecord(t, 1));
  const std::string before = FieldText(t, "VALOR");
  const struct {
    const char* field;
    const char* value;
  } cases[] = {{"VALOR", "12345678901234"}, {"VALOR", "abc"}, {"DATA", "20240230"}, {"ATIVO", "maybe"},
               {"QTD", "99999"}};
  for (const auto& k : cases) {
    EXPECT_EQ(XbeSetField(t, k.field, k.value, static_cast<uint32_t>(strlen(k.value))), 6014u) << k.field << k.value;
    EXPECT_NE(LastErrorText().find(k.field), std::string::npos) << LastErrorText();
  }
  EXPECT_EQ(XbeSetField(t, "NOSUCH", "x", 1), 6012u);
  EXPECT_EQ(XbeCancelUpdate(t), 0u);
  EXPECT_EQ(XbeCancelUpdate(t), 5085u);
  XBE_OK(XbeGotoRecord(t, 1));
  EXPECT_EQ(FieldText(t, "VALOR"), before);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Records, DeleteHidesTheRecordButKeepsItReachable) {
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  uint32_t visible = 0;
  XBE_OK(XbeGetRecordCount(t, 1, &visible));
  XBE_OK(XbeGotoTop(t));
  uint32_t first = 0;
  XBE_OK(XbeGetRecordNum(t, 2, &first));
  XBE_OK(XbeDeleteRecord(t));
  XBE_OK(XbeWriteRecord(t));
  uint32_t after = 0;
  XBE_OK(XbeGetRecordCount(t, 1, &after));
  EXPECT_EQ(after, visible - 1);
  EXPECT_EQ(RecordCount(t), 400u);
  XBE_OK(XbeGotoTop(t));
  uint32_t top = 0;
  XBE_OK(XbeGetRecordNum(t, 2, &top));
  EXPECT_GT(top, first);
  // A hidden record is still reachable by number, and visibly deleted.
  XBE_OK(XbeGotoRecord(t, first));
  uint16_t isVisible = 1;
  XBE_OK(XbeIsRecordVisible(t, &isVisible));
  EXPECT_EQ(isVisible, 0);
  EXPECT_TRUE(IsDeleted(t));
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Records, CancelledAppendLeavesTheTableAsItWas) {
  const std::string before = ReadFile((dir() / "ntx" / "people.dbf").string());
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  XBE_OK(XbeAppendRecord(t));
  SetText(t, "NOME", "x");
  XBE_OK(XbeCancelUpdate(t));
  EXPECT_EQ(RecordCount(t), 400u);
  uint16_t eof = 0;
  XBE_OK(XbeAtEOF(t, &eof));
  EXPECT_EQ(eof, 1);
  XBE_OK(XbeCloseTable(t));
  EXPECT_EQ(ReadFile((dir() / "ntx" / "people.dbf").string()), before);
}

TEST_F(Records, NavigationEdges) {
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  ShowDeleted(true);
  uint16_t bof = 0, eof = 0;
  uint32_t recno = 0;
  XBE_OK(XbeGotoBOF(t));
  XBE_OK(XbeAtBOF(t, &bof));
  EXPECT_EQ(bof, 1);
  EXPECT_EQ(XbeGetRecord(t, nullptr, 0), 6010u);
  XBE_OK(XbeSkip(t, 1));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 1u);
  XBE_OK(XbeSkip(t, -1));
  XBE_OK(XbeAtBOF(t, &bof));
  EXPECT_EQ(bof, 1);
  XBE_OK(XbeGotoBottom(t));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 400u);
  XBE_OK(XbeSkip(t, 1));
  XBE_OK(XbeAtEOF(t, &eof));
  EXPECT_EQ(eof, 1);
  uint16_t visible = 0;
  EXPECT_EQ(XbeIsRecordVisible(t, &visible), 5068u);
  XBE_OK(XbeSkip(t, -1));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 400u);
  XBE_OK(XbeSkip(t, -399));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 1u);
  EXPECT_EQ(XbeGotoRecord(t, 401), 5022u);
  EXPECT_EQ(XbeGotoBookmark(t, 0), 5022u);
  uint8_t bookmark[8];
  uint32_t length = sizeof bookmark;
  XBE_OK(XbeGotoRecord(t, 7));
  XBE_OK(XbeGetBookmark60(t, bookmark, &length));
  EXPECT_EQ(length, 4u);
  XBE_OK(XbeGotoTop(t));
  uint32_t value = 0;
  memcpy(&value, bookmark, 4);
  XBE_OK(XbeGotoBookmark(t, value));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 7u);
  uint32_t key = 0;
  XBE_OK(XbeGetKeyNum(t, 1, &key));
  EXPECT_EQ(key, 7u);
  XBE_OK(XbeSetRelKeyPos(t, 1.0));
  XBE_OK(XbeGetRecordNum(t, 2, &recno));
  EXPECT_EQ(recno, 400u);
  XBE_OK(XbeCloseTable(t));
  ShowDeleted(false);

  // A table without records is at both ends.
  testsupport::CopyFixture("ml/templates", dir() / "tpl");
  Connection tc((dir() / "tpl").string());
  t = OpenTable(tc, "ML6");
  XBE_OK(XbeGotoTop(t));
  XBE_OK(XbeAtBOF(t, &bof));
  XBE_OK(XbeAtEOF(t, &eof));
  EXPECT_EQ(bof, 1);
  EXPECT_EQ(eof, 1);
  XBE_OK(XbeCloseTable(t));
}

// Memo rewrite: a text that fits its block run stays in place, a longer one moves to the end,
// and no other memo changes.
void CheckMemoRewrite(const Connection& c, const char* table, uint16_t type, const char* field,
                      const fs::path& memoFile) {
  OpenOptions o;
  o.tableType = type;
  XBEHANDLE t = OpenTable(c, table, o);
  ASSERT_NE(t, 0u);
  std::string others[3];
  for (int r = 3; r <= 5; ++r) {
    XBE_OK(XbeGotoRecord(t, r));
    others[r - 3] = FieldText(t, field);
  }
  XBE_OK(XbeGotoRecord(t, 4));
  uint32_t offset = 0;
  XBE_OK(XbeGetFieldOffset(t, field, &offset));
  auto reference = [&]() -> std::string {
    std::string image(1024, '\0');
    EXPECT_EQ(XbeGetRecord(t, image.data(), 1024), 0u);
    return image.substr(offset, 10);
  };
  const std::string oldRef = reference();
  const auto sizeBefore = fs::file_size(memoFile);
  SetText(t, field, "short");
  XBE_OK(XbeWriteRecord(t));
  EXPECT_EQ(reference(), oldRef);
  EXPECT_EQ(fs::file_size(memoFile), sizeBefore);
  const std::string longText(5000, 'L');
  SetText(t, field, longText);
  XBE_OK(XbeWriteRecord(t));
  EXPECT_NE(reference(), oldRef);
  EXPECT_GT(fs::file_size(memoFile), sizeBefore);
  XBE_OK(XbeCloseTable(t));
  t = OpenTable(c, table, o);
  XBE_OK(XbeGotoRecord(t, 4));
  EXPECT_EQ(FieldText(t, field), longText);
  uint32_t length = 0;
  XBE_OK(XbeGetMemoLength(t, field, &length));
  EXPECT_EQ(length, 5000u);
  for (int r : {3, 5}) {
    XBE_OK(XbeGotoRecord(t, r));
    EXPECT_EQ(FieldText(t, field), others[r - 3]) << "record " << r;
  }
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Records, DbtMemoRewrite) {
  Connection c((dir() / "ntx").string());
  CheckMemoRewrite(c, "people", XBE_NTX, "OBS", dir() / "ntx" / "people.dbt");
}

TEST_F(Records, FptMemoRewrite) {
  Connection c((dir() / "cdx").string());
  CheckMemoRewrite(c, "STOCK", XBE_CDX, "NOTAS", dir() / "cdx" / "STOCK.fpt");
}

TEST_F(Records, DbtRefusesTheEndOfTextByteInAMemo) {
  Connection c((dir() / "ntx").string());
  XBEHANDLE t = OpenTable(c, "people");
  XBE_OK(XbeGotoRecord(t, 1));
  EXPECT_EQ(XbeSetField(t, "OBS", "a\x1A" "b", 3), 6014u);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Records, BinaryMemoInAFoxProTable) {
  Connection c((dir() / "cdx").string());
  XBE_OK(XbeRestructureTable(c.handle(), (c.directory() + "\\STOCK").c_str(), nullptr, XBE_CDX, 1, 0, 2,
                             "FOTO,Image,10,0", "", ""));
  OpenOptions o;
  o.tableType = XBE_CDX;
  XBEHANDLE t = OpenTable(c, "STOCK", o);
  XBE_OK(XbeGotoRecord(t, 2));
  const std::string data("\x00\x1A\xFF\x01binary", 10);
  XBE_OK(XbeSetField(t, "FOTO", data.data(), static_cast<uint32_t>(data.size())));
  XBE_OK(XbeWriteRecord(t));
  XBE_OK(XbeCloseTable(t));
  t = OpenTable(c, "STOCK", o);
  XBE_OK(XbeGotoRecord(t, 2));
  uint16_t type = 0;
  XBE_OK(XbeGetFieldType(t, "FOTO", &type));
  EXPECT_EQ(type, 7);
  uint32_t length = 0;
  XBE_OK(XbeGetBinaryLength(t, "FOTO", &length));
  ASSERT_EQ(length, data.size());
  std::string back(length, '\0');
  XBE_OK(XbeGetField(t, "FOTO", back.data(), &length, 0));
  EXPECT_EQ(back, data);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(Records, OemTablesStoreCodePage850) {
  Connection c((dir() / "ntx").string());
  OpenOptions o;
  o.charType = XBE_OEM;
  XBEHANDLE t = OpenTable(c, "people", o);
  XBE_OK(XbeGotoRecord(t, 2));
  const std::string ansi("AÇÃO"_ansi);
  SetText(t, "NOME", ansi);
  SetText(t, "OBS", ansi);
  XBE_OK(XbeWriteRecord(t));
  EXPECT_EQ(FieldText(t, "NOME").substr(0, 4), ansi);
  std::string image(1024, '\0');
  XBE_OK(XbeGetRecord(t, image.data(), 1024));
  uint32_t offset = 0;
  XBE_OK(XbeGetFieldOffset(t, "NOME", &offset));
  EXPECT_EQ(image.substr(offset, 4), rtl::AnsiToOem(ansi));
  XBE_OK(XbeCloseTable(t));
  t = OpenTable(c, "people");  // ANSI: bytes as stored
  XBE_OK(XbeGotoRecord(t, 2));
  EXPECT_EQ(FieldText(t, "OBS"), rtl::AnsiToOem(ansi));
  XBE_OK(XbeCloseTable(t));
}

// The engine's own format holds every field type of the layer's table.
TEST(EngineFormat, EveryFieldTypeRoundTrips) {
  testsupport::TempDir tmp;
  const std::string name = tmp.str() + "/ALLTYPES";
  using xbe::NewField;
  const std::vector<NewField> fields = {
      {"LOG", 1, 0, 0},   {"NUM", 2, 10, 2},  {"DAT", 3, 0, 0},   {"CHR", 4, 12, 0},  {"MEM", 5, 0, 0},
      {"BIN", 6, 0, 0},   {"IMG", 7, 0, 0},   {"VAR", 8, 0, 0},   {"PKD", 9, 0, 0},   {"DBL", 10, 0, 0},
      {"INT", 11, 0, 0},  {"SHR", 12, 0, 0},  {"TIM", 13, 0, 0},  {"TST", 14, 0, 0},  {"AUT", 15, 0, 0},
      {"RAW", 16, 4, 0},  {"CUD", 17, 0, 0},  {"MON", 18, 0, 0},  {"CIC", 20, 6, 0}};
  xbe::CreateTable(name, xbe::TableType::kXdt, fields);
  Connection c(tmp.str());
  OpenOptions o;
  o.tableType = XBE_XDT;
  XBEHANDLE t = OpenTable(c, "ALLTYPES", o);
  ASSERT_NE(t, 0u);
  ASSERT_EQ(FieldCount(t), fields.size());
  for (uint16_t i = 1; i <= fields.size(); ++i) {
    uint16_t type = 0;
    XBE_OK(XbeGetFieldType(t, XBE_FIELD_ORDINAL(i), &type));
    EXPECT_EQ(type, fields[i - 1].code);
  }
  const struct {
    const char* field;
    const char* value;
  } values[] = {{"LOG", "T"},        {"NUM", "-3.25"},     {"DAT", "20240315"}, {"CHR", "abc         "},
                {"MEM", "memo"},     {"VAR", "var memo"},  {"PKD", "20240315"}, {"DBL", "2.5"},
                {"INT", "-7"},       {"SHR", "300"},       {"TIM", "13:14:15"}, {"TST", "20240315 01:02:03"},
                {"RAW", "wxyz"},     {"CUD", "1.75"},      {"MON", "12.3456"},  {"CIC", "Mixed "}};
  for (int round = 0; round < 2; ++round) {
    XBE_OK(XbeAppendRecord(t));
    // A new record reads blank in every field, by the engine format's blank rules.
    for (uint16_t i = 1; i <= fields.size(); ++i) {
      uint16_t empty = 0;
      XBE_OK(XbeIsEmpty(t, XBE_FIELD_ORDINAL(i), &empty));
      EXPECT_TRUE(empty || fields[i - 1].code == 15) << fields[i - 1].name;
    }
    for (const auto& v : values) SetText(t, v.field, v.value);
    const std::string bin("\x00\x01\x1A", 3);
    XBE_OK(XbeSetField(t, "BIN", bin.data(), 3));
    XBE_OK(XbeWriteRecord(t));
  }
  uint32_t autoinc = 0;
  XBE_OK(XbeGetLastAutoinc(t, &autoinc));
  EXPECT_EQ(autoinc, 2u);
  XBE_OK(XbeCloseTable(t));
  t = OpenTable(c, "ALLTYPES", o);
  XBE_OK(XbeGotoRecord(t, 2));
  for (const auto& v : values) EXPECT_EQ(FieldText(t, v.field), v.value) << v.field;
  EXPECT_EQ(FieldText(t, "AUT"), "2");
  EXPECT_EQ(FieldText(t, "BIN"), std::string("\x00\x01\x1A", 3));
  XBE_OK(XbeCloseTable(t));
}

}  // namespace

// Fields of a record as read are handed out from the record image on a quick path; a pending
// edit of the same record takes the general one. Both give the same texts, odd stored bytes
// and a buffer one byte short included.
TEST(FieldReads, RecordAsReadAndPendingEditGiveTheSameTexts) {
  testsupport::TempDir tmp;
  using xbe::NewField;
  xbe::CreateTable(tmp.str() + "/READS", xbe::TableType::kNtx,
                   {{"LOG", 1, 1, 0}, {"NUM", 2, 12, 2}, {"DAT", 3, 8, 0}, {"CHR", 4, 20, 0}, {"AUX", 4, 1, 0}});
  const struct {
    const char* field;
    std::string stored;
  } cases[] = {
      {"LOG", "T"}, {"LOG", "y"}, {"LOG", "n"}, {"LOG", "?"}, {"LOG", " "}, {"LOG", std::string(1, '\0')},
      {"NUM", "      -12.50"}, {"NUM", "12.5        "}, {"NUM", "            "}, {"NUM", std::string(12, '\0')},
      {"NUM", std::string("  \0  7", 6) + "      "}, {"NUM", "   1234567.8"},
      {"DAT", "20240229"}, {"DAT", "20230229"}, {"DAT", "00000101"}, {"DAT", "        "}, {"DAT", "2024 1 1"},
      {"DAT", "99991231"}, {"DAT", "20241131"},
      {"CHR", std::string("Ação ltda"_ansi) + std::string(20 - "Ação ltda"_ansi.size(), ' ')},
      {"CHR", std::string(20, ' ')},
  };
  for (const uint16_t charType : {uint16_t{XBE_ANSI}, uint16_t{XBE_OEM}}) {
    Connection c(tmp.str());
    OpenOptions o;
    o.charType = charType;
    XBEHANDLE t = OpenTable(c, "READS", o);
    ASSERT_NE(t, 0u);
    XBE_OK(XbeAppendRecord(t));
    XBE_OK(XbeWriteRecord(t));
    for (const auto& k : cases) {
      SCOPED_TRACE(std::string(k.field) + " stored as [" + k.stored + "]");
      XBE_OK(XbeSetFieldRaw(t, k.field, k.stored.data(), static_cast<uint32_t>(k.stored.size())));
      XBE_OK(XbeWriteRecord(t));
      XBE_OK(XbeGotoRecord(t, 1));
      // Browses read by ordinal, names resolve on the general path.
      const uint16_t ordinal = static_cast<uint16_t>(std::string("LOG NUM DAT CHR").find(k.field) / 4 + 1);
      const XBEFIELD field = XBE_FIELD_ORDINAL(ordinal);
      const std::string asRead = FieldText(t, ordinal);
      EXPECT_EQ(FieldText(t, k.field), asRead);
      char shortBuffer[64];
      uint32_t shortLength = static_cast<uint32_t>(asRead.size());
      const XBERESULT shortAsRead = XbeGetField(t, field, shortBuffer, &shortLength, 0);
      SetText(t, "AUX", "x");  // a pending edit of the record
      EXPECT_EQ(FieldText(t, ordinal), asRead);
      uint32_t pendingLength = static_cast<uint32_t>(asRead.size());
      EXPECT_EQ(XbeGetField(t, field, shortBuffer, &pendingLength, 0), shortAsRead);
      EXPECT_EQ(shortAsRead, 5005u);
      EXPECT_EQ(pendingLength, shortLength);
      XBE_OK(XbeCancelUpdate(t));
    }
    // Ordinals outside the fields are refused on a record as read too.
    for (const uint16_t ordinal : {uint16_t{0}, uint16_t{6}}) {
      uint32_t length = 8;
      char buffer[8];
      EXPECT_EQ(XbeGetField(t, XBE_FIELD_ORDINAL(ordinal), buffer, &length, 0), 6012u);
    }
    XBE_OK(XbeCloseTable(t));
  }
}
