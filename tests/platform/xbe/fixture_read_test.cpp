// Every reference table read through the C interface agrees with its dump: fields, record
// count, every value of every record (deleted marks included) and every memo.
#include <cstdlib>

#include <gtest/gtest.h>

#include "dump_file.h"
#include "engine_fixture.h"
#include "platform/rtl/codepage.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

struct FixtureTable {
  const char* folder;
  const char* table;
  const char* dump;
  uint16_t type;
};

const FixtureTable kTables[] = {
    {"ntx", "people", "people.txt", XBE_NTX},
    {"cdx", "STOCK", "stock.txt", XBE_CDX},
    {"ml/installed", "ML2", "ml2-installed.txt", XBE_NTX},
    {"ml/installed", "ML6", "ml6-installed.txt", XBE_NTX},
    {"ml/templates", "ML2", "ml2-template.txt", XBE_NTX},
    {"ml/templates", "ML6", "ml6-template.txt", XBE_NTX},
};

char LetterOf(uint16_t code) {
  switch (code) {
    case 1: return 'L';
    case 2: return 'N';
    case 3: return 'D';
    case 4: return 'C';
    case 5: return 'M';
    default: return '?';
  }
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

class FixtureRead : public ::testing::TestWithParam<FixtureTable> {};

TEST_P(FixtureRead, AgreesWithDump) {
  REQUIRE_FIXTURES();
  const FixtureTable& ft = GetParam();
  testsupport::TempDir tmp;
  testsupport::CopyFixture(ft.folder, tmp.path() / "data");
  const Dump dump = ReadDump((testsupport::FixturesDir() / "expected" / ft.dump).string());
  ShowDeleted(true);
  Connection c((tmp.path() / "data").string());
  OpenOptions o;
  o.tableType = ft.type;
  const XBEHANDLE t = OpenTable(c, ft.table, o);
  ASSERT_NE(t, 0u);

  ASSERT_EQ(FieldCount(t), dump.fields.size());
  for (uint16_t i = 1; i <= dump.fields.size(); ++i) {
    const DumpField& f = dump.fields[i - 1];
    uint16_t type = 0, decimals = 0;
    uint32_t length = 0;
    XBE_OK(XbeGetFieldType(t, XBE_FIELD_ORDINAL(i), &type));
    XBE_OK(XbeGetFieldLength(t, XBE_FIELD_ORDINAL(i), &length));
    XBE_OK(XbeGetFieldDecimals(t, XBE_FIELD_ORDINAL(i), &decimals));
    EXPECT_EQ(FieldName(t, i), f.name);
    EXPECT_EQ(LetterOf(type), f.type) << f.name;
    EXPECT_EQ(length, f.length) << f.name;
    EXPECT_EQ(decimals, f.decimals) << f.name;
  }
  ASSERT_EQ(RecordCount(t), dump.recordCount);
  ASSERT_EQ(dump.records.size(), dump.recordCount);
  for (const DumpRecord& r : dump.records) {
    XBE_OK(XbeGotoRecord(t, r.recno));
    EXPECT_EQ(IsDeleted(t), r.deleted) << "record " << r.recno;
    ASSERT_EQ(r.values.size(), dump.fields.size());
    for (uint16_t i = 1; i <= dump.fields.size(); ++i) {
      const std::string got = FieldText(t, i);
      const std::string& want = r.values[i - 1];
      switch (dump.fields[i - 1].type) {
        case 'N':
          EXPECT_DOUBLE_EQ(std::strtod(got.c_str(), nullptr), std::strtod(want.c_str(), nullptr))
              << "record " << r.recno << " field " << dump.fields[i - 1].name << ": " << got << " vs " << want;
          EXPECT_EQ(got.empty(), Trim(want).empty());
          break;
        case 'D':
          EXPECT_EQ(got, Trim(want)) << "record " << r.recno << " field " << dump.fields[i - 1].name;
          break;
        default:
          EXPECT_EQ(got, want) << "record " << r.recno << " field " << dump.fields[i - 1].name;
      }
    }
  }
  XBE_OK(XbeCloseTable(t));
  ShowDeleted(false);
}

INSTANTIATE_TEST_SUITE_P(AllTables, FixtureRead, ::testing::ValuesIn(kTables),
                         [](const auto& info) {
                           std::string n = std::string(info.param.dump);
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(FixtureReadOem, CharactersAndMemosArriveInAnsi) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  testsupport::CopyFixture("ml/installed", tmp.path() / "data");
  const Dump dump = ReadDump((testsupport::FixturesDir() / "expected" / "ml2-installed.txt").string());
  Connection c((tmp.path() / "data").string());
  OpenOptions o;
  o.charType = XBE_OEM;
  const XBEHANDLE t = OpenTable(c, "ML2", o);
  ASSERT_NE(t, 0u);
  XBE_OK(XbeGotoRecord(t, 1));
  EXPECT_EQ(FieldText(t, "NOMECONV"), rtl::OemToAnsi(dump.records[0].values[1]));
  EXPECT_EQ(FieldText(t, "obs"), rtl::OemToAnsi(dump.records[0].values[8]));
  // The record image stays as stored.
  uint32_t length = 0;
  XBE_OK(XbeGetRecordLength(t, &length));
  std::string image(length, '\0');
  XBE_OK(XbeGetRecord(t, image.data(), length));
  uint32_t offset = 0;
  XBE_OK(XbeGetFieldOffset(t, "NOMECONV", &offset));
  EXPECT_EQ(image.substr(offset, 40), dump.records[0].values[1]);
  XBE_OK(XbeCloseTable(t));
}

}  // namespace
