// Edge cases of the table access layer that need engine answers the real engine cannot be
// made to give; the engine here is the test double of fake_xbe.cpp.
#include <gtest/gtest.h>

#include "../messageof.h"
#include "engine/xbeset.h"
#include "engine/xbetable.h"
#include "fake_xbe.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"

#include <cstring>
#include <map>

namespace {

class Double : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::E().fields = {{2, 4, 0, "CODCONV"}, {4, 40, 0, "NOMECONV"}, {1, 1, 0, "ATIVO"}};
  }
  // A closed NTX/OEM table over a directory of its own (implicit connections are per process).
  std::unique_ptr<TXbeTable> Table(const std::string& directory, const char* name = "EmUso") {
    auto t = std::make_unique<TXbeTable>(nullptr);
    t->SetName(name);
    t->XbeTableOptions().SetXbeLockType(Compatible);
    t->XbeTableOptions().SetXbeCharType(OEM);
    t->XbeTableOptions().SetXbeRightsCheck(false);
    t->SetTableType(ttXbeNTX);
    t->SetDatabaseName(directory);
    t->SetTableName("ML2");
    return t;
  }
};

TEST_F(Double, VersionText) {
  struct Case {
    std::uint32_t major, minor;
    char letter;
    const char* text;
  };
  for (const Case& c : {Case{7, 1, ' ', "7.1 (XBE 7.01)"}, Case{7, 10, ' ', "7.1 (XBE 7.10)"},
                        Case{8, 0, 'b', "7.1 (XBE 8.00b)"}, Case{6, 22, 'a', "7.1 (XBE 6.22a)"}}) {
    fake::E().major = c.major;
    fake::E().minor = c.minor;
    fake::E().letter = c.letter;
    TXbeTable t(nullptr);
    EXPECT_EQ(t.Version(), c.text);
  }
}

TEST_F(Double, ResultCheck) {
  TXbeTable t(nullptr);
  t.SetName("EmUso");
  CheckXbeResult(&t, 0);
  EXPECT_TRUE(fake::CallsOf("XbeGetLastError").empty());

  // The last error's code and text decide, not the result passed in.
  fake::E().lastCode = 6002;
  fake::E().lastText = "Error 6002: file not found";
  try {
    CheckXbeResult(&t, 1);
    FAIL();
  } catch (const EXBEDatabaseError& e) {
    EXPECT_EQ(e.EngineCode, 6002);
    EXPECT_EQ(e.Message(), "EmUso: Error 6002: file not found");
    EXPECT_EQ(e.DataSetTable, "");
  }
  EXPECT_FALSE(BuildingEngineError);
}

TEST_F(Double, ColumnNameAndNativeCode) {
  TXbeTable t(nullptr);
  struct Case {
    std::int32_t code;
    std::string text;
    std::string column;
    std::int32_t native;
  };
  const std::string longName(1000, 'X');
  for (const Case& c : {Case{5148, "bad column \"ADDRESS\" value", "ADDRESS", 0},
                        Case{5000, "bad column \"ADDRESS\" value", "", 0},
                        Case{5147, "column \"" + longName, longName.substr(0, 900), 0},
                        Case{5149, "Column \"A\"", "", 0},
                        Case{7200, "x error 7200: y nativeError = 2627; z", "", 2627},
                        Case{7200, "ERROR 7200: NATIVEERROR = abc;", "", 0},
                        Case{7200, "NATIVEERROR = 2627;", "", 0},
                        Case{7200, "ERROR 7200: NATIVEERROR = 42", "", 42}}) {
    SCOPED_TRACE(c.text);
    const EXBEDatabaseError e(&t, c.code, c.text);
    EXPECT_EQ(e.ColumnName, c.column);
    EXPECT_EQ(e.NativeCode, c.native);
    EXPECT_EQ(e.EngineCode, c.code);
    EXPECT_EQ(e.Message(), c.text);  // an unnamed dataset gives no prefix
  }
  const EXBEDatabaseError noDataSet(nullptr, 5121, "text");
  EXPECT_EQ(noDataSet.DataSetName, "");
  EXPECT_EQ(noDataSet.DataSetPath, "");
  EXPECT_EQ(noDataSet.Message(), "text");
}

TEST_F(Double, ErrorWhileAnotherIsBuiltCarriesNothing) {
  BuildingEngineError = true;
  {
    const EXBEDatabaseError inner(nullptr, 5121, "inner");
    EXPECT_EQ(inner.Message(), "");
    EXPECT_EQ(inner.EngineCode, 0);
    CheckXbeResult(nullptr, 1);  // returns without raising
  }
  EXPECT_FALSE(BuildingEngineError);  // cleared by the inner error's destruction
}

TEST_F(Double, OpenArgumentsOfTheUpdatersTable) {
  auto t = Table("F:\\OPENARGS");
  t->Open();
  const auto opens = fake::CallsOf("XbeOpenTable");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_NE(opens[0].find(",'F:\\OPENARGS\\ML2',null,1,2,0,2,0)"), std::string::npos) << opens[0];
  EXPECT_EQ(fake::CallsOf("XbeConnect"), std::vector<std::string>{"XbeConnect('F:\\OPENARGS')"});
  EXPECT_TRUE(fake::CallsOf("XbeCacheRecords").empty());  // rcStandard
  EXPECT_EQ(t->XbeTableOptions().XbeIndexPageSize(), 0);  // no index order
  EXPECT_TRUE(t->CanModifyTable());
  t->Close();

  t->SetExclusive(true);
  t->SetReadOnly(true);
  t->SetIndexCollationMismatch(icmIgnore);
  t->XbeTableOptions().SetXbeRecordCache(rcNone);
  fake::E().openOptionsReported = XBE_READONLY;
  t->Open();
  EXPECT_NE(fake::CallsOf("XbeOpenTable")[1].find(",515)"), std::string::npos);
  EXPECT_EQ(fake::CallsOf("XbeCacheRecords"), std::vector<std::string>{"XbeCacheRecords(0)"});
  EXPECT_FALSE(t->CanModifyTable());
  EXPECT_EQ(MessageOf([&] { t->SetIndexCollationMismatch(icmError); }),
            "EmUso: Cannot perform this operation on an open dataset");

  // The record cache reaches an open table at once, a closed one only at the next open.
  t->XbeTableOptions().SetXbeRecordCache(rcAggressive);
  EXPECT_EQ(fake::CallsOf("XbeCacheRecords").back(), "XbeCacheRecords(100)");
  t->Close();
  const std::size_t calls = fake::CallsOf("XbeCacheRecords").size();
  t->XbeTableOptions().SetXbeRecordCache(rcNone);
  EXPECT_EQ(fake::CallsOf("XbeCacheRecords").size(), calls);
}

TEST_F(Double, IndexPageSizeOfTheFirstOrderDespite5005) {
  fake::E().allIndexesCount = 3;
  fake::E().pageSize = 2048;
  auto t = Table("F:\\PAGESIZE");
  t->Open();
  EXPECT_EQ(t->XbeTableOptions().XbeIndexPageSize(), 2048);
  EXPECT_EQ(fake::CallsOf("XbeGetIndexPageSize").front(), "XbeGetIndexPageSize(900)");
}

TEST_F(Double, FailingCloseStillCloses) {
  auto t = Table("F:\\CLOSEFAIL");
  t->Open();
  fake::E().failures["XbeCloseTable"] = 6001;
  EXPECT_NO_THROW(t->Close());
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(t->ActiveHandle(), 0xFFFFFFFFu);
}

TEST_F(Double, FailedOpenClosesTheHandle) {
  fake::E().failures["XbeGetRecordLength"] = 6006;
  auto t = Table("F:\\OPENFAIL");
  EXPECT_EQ(MessageOf([&] { t->Open(); }), "EmUso: Error 6006: XbeGetRecordLength failed");
  EXPECT_EQ(fake::CallsOf("XbeCloseTable").size(), 1u);
  EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);
}

TEST_F(Double, ImplicitConnectionFailureCarriesNoDataSetName) {
  fake::E().failures["XbeConnect"] = 6015;
  auto t = Table("F:\\REFUSED");
  try {
    t->Open();
    FAIL();
  } catch (const EXBEDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Error 6015: XbeConnect failed");
    EXPECT_EQ(e.DataSetName, "");
    EXPECT_EQ(e.DataSetTable, "");
  }
}

TEST_F(Double, OneImplicitConnectionPerDirectoryText) {
  auto a = Table("F:\\Data1");
  auto b = Table("f:\\data1");
  auto c = Table("F:\\Data1\\");
  for (auto* t : {a.get(), b.get(), c.get()}) {
    t->Open();
    t->Close();
  }
  EXPECT_EQ(fake::CallsOf("XbeConnect").size(), 1u);
}

TEST_F(Double, RestructureArguments) {
  auto t = Table("F:\\RESTRUCT");
  t->Open();
  EXPECT_EQ(MessageOf([&] { t->RestructureTable("EMAIL,Char,50,0", "", ""); }),
            "EmUso: Cannot perform this operation on an open dataset");
  EXPECT_TRUE(fake::CallsOf("XbeRestructureTable").empty());
  t->Close();
  t->RestructureTable("EMAIL,Char,50,0", "", "");
  const auto calls = fake::CallsOf("XbeRestructureTable");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find(",'F:\\RESTRUCT\\ML2',null,1,2,0,2,'EMAIL,Char,50,0','','')"), std::string::npos)
      << calls[0];
  t->SetTableName("");
  EXPECT_EQ(MessageOf([&] { t->RestructureTable("A,Char,1,0", "", ""); }), "EmUso: Missing TableName property");
}

TEST_F(Double, FieldTypesOfTheEngineCodes) {
  fake::E().fields = {{2, 4, 0, "N4"},  {2, 5, 0, "N5"},  {2, 3, 1, "N3D1"}, {4, 30, 0, "C30"},
                      {20, 30, 0, "CI"}, {18, 8, 0, "MONEY"}, {5, 10, 0, "M"}, {8, 10, 0, "V"},
                      {6, 10, 0, "B"},  {7, 10, 0, "I"},  {9, 3, 0, "PD"},   {16, 6, 0, "RAW"},
                      {14, 8, 0, "TS"}, {15, 4, 0, "AI"}, {17, 8, 0, "CUR"}, {13, 4, 0, "T"}};
  struct Case {
    const char* name;
    db::TFieldType type;
    int size;
  };
  const std::vector<Case> cases = {{"N4", db::ftSmallint, 0}, {"N5", db::ftFloat, 0},    {"N3D1", db::ftFloat, 0},
                                   {"C30", db::ftString, 30}, {"CI", db::ftString, 30},  {"MONEY", db::ftBCD, 4},
                                   {"M", db::ftMemo, 1},      {"V", db::ftMemo, 1},      {"B", db::ftBlob, 1},
                                   {"I", db::ftBlob, 1},      {"PD", db::ftDate, 0},     {"RAW", db::ftBytes, 6},
                                   {"TS", db::ftDateTime, 0}, {"AI", db::ftAutoInc, 0},  {"CUR", db::ftCurrency, 0},
                                   {"T", db::ftTime, 0}};
  auto t = Table("F:\\TYPES");
  t->Open();
  ASSERT_EQ(t->FieldDefs().Count(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const db::TFieldDef& d = t->FieldDefs().Items(static_cast<int>(i));
    EXPECT_EQ(d.Name(), cases[i].name);
    EXPECT_EQ(d.DataType(), cases[i].type);
    EXPECT_EQ(d.Size(), cases[i].size);
    EXPECT_FALSE(d.Required());
  }
  EXPECT_EQ(t->FieldDefs().Items(5).Precision(), 20);
  auto* ci = dynamic_cast<TXbeStringField*>(t->FieldByName("CI"));
  auto* plain = dynamic_cast<TXbeStringField*>(t->FieldByName("C30"));
  ASSERT_TRUE(ci && plain);
  EXPECT_TRUE(ci->CaseInsensitive());
  EXPECT_FALSE(plain->CaseInsensitive());
  auto* money = dynamic_cast<TXbeBCDField*>(t->FieldByName("MONEY"));
  ASSERT_NE(money, nullptr);
  EXPECT_TRUE(money->Currency());
  // Decimals are asked only for numeric text.
  EXPECT_EQ(fake::CallsOf("XbeGetFieldDecimals").size(), 3u);
  EXPECT_EQ(t->XbeFieldDefs().GetDef(5)->EngineType, 18);
  EXPECT_EQ(t->XbeFieldDefs().GetDef(5)->Permissions, 6);
}

TEST_F(Double, UnknownFieldTypeKeepsTheEarlierDefinitions) {
  fake::E().fields = {{4, 10, 0, "A"}, {1, 1, 0, "B"}, {19, 4, 0, "C"}, {4, 2, 0, "D"}};
  auto t = Table("F:\\UNKNOWN");
  EXPECT_EQ(MessageOf([&] { t->FieldDefs().Update(); }), "EmUso: Unknown field type (19) encountered.");
  EXPECT_EQ(t->FieldDefs().Count(), 2);
  EXPECT_EQ(t->XbeFieldDefs().Count(), 2);
  // The temporary table is closed again.
  EXPECT_EQ(fake::CallsOf("XbeOpenTable").size(), fake::CallsOf("XbeCloseTable").size());
}

class DoubleIndexes : public Double {
 protected:
  void SetUp() override {
    Double::SetUp();
    fake::E().fields = {{4, 20, 0, "NAME"}, {4, 20, 0, "CITY"}, {2, 6, 0, "CODE"}};
    fake::E().indexFiles["A.NTX"] = {{"BYNAME", "", {"name", "city"}, false, true, false}};
    fake::E().indexFiles["B.NTX"] = {{"BYCODE", "", {"CODE"}, true, false, false}};
    fake::E().indexFiles["C.NTX"] = {{"BYNAME", "", {"CITY"}}};
  }
};

TEST_F(DoubleIndexes, IndexFilesOpenInSortedOrderAndBecomeDefinitions) {
  auto t = Table("F:\\IDX1");
  t->IndexFiles().Add("B.NTX");
  t->IndexFiles().Add("A.NTX");
  t->Open();
  EXPECT_EQ(fake::CallsOf("XbeOpenIndex"), (std::vector<std::string>{"XbeOpenIndex('F:\\IDX1\\A.NTX')",
                                                                     "XbeOpenIndex('F:\\IDX1\\B.NTX')"}));
  ASSERT_EQ(t->IndexDefs().Count(), 2);
  EXPECT_EQ(t->IndexDefs().Items(0).Name(), "BYNAME");
  EXPECT_EQ(t->IndexDefs().Items(0).Fields(), "NAME;CITY");
  EXPECT_EQ(t->IndexDefs().Items(0).Options(), db::TIndexOptions{db::ixUnique});
  EXPECT_EQ(t->IndexDefs().Items(1).Options(), db::TIndexOptions{db::ixDescending});
  EXPECT_EQ(t->ActiveHandle(), t->TableHandle());
}

TEST_F(DoubleIndexes, AFailingIndexFileClosesTheTable) {
  fake::E().failIndexFile = "B.NTX";
  auto t = Table("F:\\IDX2");
  t->IndexFiles().Add("B.NTX");
  t->IndexFiles().Add("A.NTX");
  EXPECT_EQ(MessageOf([&] { t->Open(); }), "EmUso: Error 6002: index failure");
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(fake::CallsOf("XbeCloseTable").size(), 1u);
}

TEST_F(DoubleIndexes, DuplicateOrderNamesAreRefused) {
  auto t = Table("F:\\IDX3");
  t->IndexFiles().Add("A.NTX");
  t->IndexFiles().Add("C.NTX");
  const std::string message = MessageOf([&] { t->Open(); });
  EXPECT_NE(message.find("Nome de \xEDndice duplicado 'BYNAME'"), std::string::npos) << message;
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(fake::CallsOf("XbeOpenTable").size(), fake::CallsOf("XbeCloseTable").size());
}

TEST_F(DoubleIndexes, ChoosingAndFallingBackFromTheActiveIndex) {
  auto t = Table("F:\\IDX4");
  t->IndexFiles().Add("A.NTX");
  t->IndexFiles().Add("B.NTX");
  t->Open();
  t->SetIndexName("byname");
  EXPECT_EQ(t->ActiveIndexKind(), IndexKindNamed);
  const XBEHANDLE byName = t->ActiveHandle();
  EXPECT_NE(byName, t->TableHandle());

  EXPECT_THROW(t->SetIndexName("NOPE"), EXBEDatabaseError);
  EXPECT_EQ(t->IndexName(), "byname");
  EXPECT_EQ(t->ActiveHandle(), byName);

  t->SetIndexFieldNames("name");
  EXPECT_EQ(t->ActiveIndexKind(), IndexKindByFields);
  EXPECT_EQ(t->ActiveHandle(), byName);
  EXPECT_EQ(t->IndexName(), "");
  EXPECT_EQ(MessageOf([&] { t->SetIndexFieldNames("CITY;NAME"); }), "EmUso: Not a valid index field name:CITY;NAME");
  EXPECT_EQ(t->IndexFieldNames(), "name");
  EXPECT_EQ(t->GetSegmentField(1)->FieldName(), "CITY");

  // Closing another file keeps the order; closing the active one's file falls back.
  t->IndexFiles().Delete(1);  // B.NTX
  EXPECT_EQ(t->ActiveHandle(), byName);
  t->SetIndexName("BYNAME");
  t->IndexFiles().Delete(0);  // A.NTX
  EXPECT_EQ(t->IndexName(), "");
  EXPECT_EQ(t->ActiveIndexKind(), IndexKindNone);
  EXPECT_EQ(t->ActiveHandle(), t->TableHandle());
  EXPECT_EQ(fake::CallsOf("XbeCloseIndex").size(), 2u);

  // Files added to an open table open at once; clearing closes each one.
  t->IndexFiles().Add("C.NTX");
  EXPECT_EQ(fake::CallsOf("XbeOpenIndex").back(), "XbeOpenIndex('F:\\IDX4\\C.NTX')");
  t->OpenIndexFile("G:/ELSEWHERE/A.NTX");
  EXPECT_EQ(fake::CallsOf("XbeOpenIndex").back(), "XbeOpenIndex('G:/ELSEWHERE/A.NTX')");
  t->IndexFiles().Clear();
  EXPECT_EQ(fake::CallsOf("XbeCloseIndex").size(), 3u);
  EXPECT_EQ(t->IndexFiles().Count(), 0);
}

// An engine that writes 0 into the handle before refusing (as ours once did) must not leave
// the dataset navigating through handle 0; an unnamed default index is refused the same way.
TEST_F(DoubleIndexes, ARefusedIndexLeavesTheDataSetOnItsOrder) {
  fake::E().zeroHandleOnFailure = true;
  auto t = Table("F:\\IDX6");
  t->IndexFiles().Add("A.NTX");
  t->Open();
  t->SetIndexName("BYNAME");
  const XBEHANDLE byName = t->ActiveHandle();
  for (const char* name : {"NOPE", "XBE_DEFAULT"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(MessageOf([&] { t->SetIndexName(name); }), "EmUso: Error 6017: index failure");
    EXPECT_EQ(t->IndexName(), "BYNAME");
    EXPECT_EQ(t->ActiveIndexKind(), IndexKindNamed);
    EXPECT_EQ(t->ActiveHandle(), byName);
    EXPECT_NO_THROW(t->First());
    EXPECT_NO_THROW(t->Last());
  }
}

TEST_F(DoubleIndexes, RecordNumbersAndCountsWithAnActiveIndex) {
  fake::E().tableType = 3;
  fake::E().recordCount = 10;
  auto t = std::make_unique<TXbeTable>(nullptr);
  t->SetDatabaseName("F:\\IDX5");
  t->SetTableName("T");
  t->IndexFiles().Add("A.NTX");
  t->Open();
  t->SetIndexName("BYNAME");
  t->SetRecNo(25);  // beyond the count: the last key
  EXPECT_EQ(fake::CallsOf("XbeSetRelKeyPos").back(), "XbeSetRelKeyPos(1)");
  t->SetRecNo(5);
  EXPECT_EQ(fake::CallsOf("XbeSetRelKeyPos").back(), "XbeSetRelKeyPos(0.5)");

  // Counting with filters respected, on an XDT order without condition or scope: the table.
  t->XbeTableOptions().SetXbeFilterOptions(RESPECT_WHEN_COUNTING);
  EXPECT_EQ(t->RecordCount(), 10);
  EXPECT_EQ(fake::CallsOf("XbeGetRecordCount").back(),
            "XbeGetRecordCount(" + std::to_string(t->TableHandle()) + ",1)");
  t->XbeTableOptions().SetXbeFilterOptions(IGNORE_WHEN_COUNTING);
  t->XbeTableOptions().SetXbeFreshRecordCount(true);
  t->RecordCount();
  EXPECT_EQ(fake::CallsOf("XbeGetRecordCount").back(),
            "XbeGetRecordCount(" + std::to_string(t->ActiveHandle()) + ",6)");
}

// Exposes the value conversion of the reading loop.
class ProbeTable : public TXbeTable {
 public:
  using TXbeTable::TXbeTable;
  using TXbeDataSet::ConvertFieldValue;
};

struct ValueCase {
  const char* field;
  std::string raw;
  bool blank;
  std::string expected;  // the field's text form when not blank
};

void ExpectValues(ProbeTable& t, const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " '" + c.raw + "'");
    db::TField* field = t.FieldByName(c.field);
    const TXbeFieldDef* def = t.XbeFieldDefs().GetDef(field->FieldNo() - 1);
    std::vector<db::Byte> buffer(t.RecordSize() + 8, 0);
    std::memcpy(buffer.data() + def->Offset, c.raw.data(), c.raw.size());
    buffer[def->Offset + def->Length] = 'Z';  // the byte after the field is put back
    std::vector<db::Byte> target(static_cast<std::size_t>(field->DataSize()) + 8, 0);
    const bool blank = t.ConvertFieldValue(field, buffer.data(), target.data());
    EXPECT_EQ(blank, c.blank);
    EXPECT_EQ(buffer[def->Offset + def->Length], 'Z');
    if (blank) continue;
    std::string text;
    switch (field->DataType()) {
      case db::ftFloat: text = rtl::FloatToStr(*reinterpret_cast<double*>(target.data())); break;
      case db::ftSmallint: text = std::to_string(*reinterpret_cast<std::int16_t*>(target.data())); break;
      case db::ftBoolean: text = *reinterpret_cast<std::int16_t*>(target.data()) ? "T" : "F"; break;
      case db::ftDate: text = std::to_string(*reinterpret_cast<std::int32_t*>(target.data())); break;
      case db::ftString: text = reinterpret_cast<const char*>(target.data()); break;
      case db::ftDateTime: text = rtl::FloatToStr(*reinterpret_cast<double*>(target.data())); break;
      case db::ftBCD: text = db::BcdToStr(*reinterpret_cast<db::TBcd*>(target.data())); break;
      default: break;
    }
    EXPECT_EQ(text, c.expected);
  }
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

template <class T>
std::string Raw(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST_F(Double, FieldValuesOfADbfTable) {
  fake::E().fields = {{2, 7, 2, "VAL"}, {2, 4, 0, "SMALL"}, {1, 1, 0, "FLAG"},
                      {3, 8, 0, "DAY"}, {9, 3, 0, "PD"},    {4, 6, 0, "TXT"}};
  ProbeTable t(nullptr);
  t.SetDatabaseName("F:\\VALUES");
  t.SetTableName("T");
  t.SetTableType(ttXbeNTX);
  t.Open();
  const char savedSeparator = db::HostDecimalSeparator;
  db::HostDecimalSeparator = ',';
  const std::string leapDay = std::to_string(db::DateTimeToDayNumber(db::EncodeDate(2024, 2, 29)));
  ExpectValues(t, {{"VAL", "  12.50", false, "12.5"},
                   {"VAL", "  -4.50", false, "-4.5"},
                   {"VAL", "       ", true, ""},
                   {"SMALL", "  -7", false, "-7"},
                   {"FLAG", "y", false, "T"},
                   {"FLAG", "N", false, "F"},
                   {"FLAG", " ", true, ""},
                   {"DAY", "20240229", false, leapDay},
                   {"DAY", "        ", true, ""},
                   {"PD", Bytes({0x0F, 0xD0, 0x5D}), false, leapDay},
                   {"PD", Bytes({0, 0, 0}), true, ""},
                   {"TXT", "ABC   ", false, "ABC"},
                   {"TXT", "      ", true, ""}});
  EXPECT_EQ(db::HostDecimalSeparator, ',');
  db::HostDecimalSeparator = savedSeparator;
}

TEST_F(Double, FieldValuesOfAnXdtTable) {
  fake::E().fields = {{4, 6, 0, "TXT"}, {14, 8, 0, "TS"}, {18, 8, 0, "MONEY"}, {12, 2, 0, "SHORT"}};
  fake::E().tableType = 3;
  ProbeTable t(nullptr);
  t.SetDatabaseName("F:\\XDT");
  t.SetTableName("T");
  t.Open();
  const std::uint32_t day1 = 1721426;  // 0001-01-01
  ExpectValues(t, {{"TXT", "      ", false, ""},
                   {"TXT", std::string(6, '\0'), true, ""},
                   {"TS", Raw<std::uint64_t>(0), true, ""},
                   {"TS", Raw<std::uint32_t>(1000) + Raw<std::uint32_t>(5), false, "0"},
                   {"TS", Raw<std::uint32_t>(day1) + Raw<std::uint32_t>(1500), false, "86401500"},
                   {"MONEY", Raw<std::int64_t>(12345678), false, "1234.5678"},
                   {"MONEY", Raw<std::uint32_t>(0) + Raw<std::uint32_t>(0x80000000u), true, ""},
                   {"SHORT", Raw<std::int16_t>(-300), false, "-300"},
                   {"SHORT", Raw<std::uint16_t>(0x8000), true, ""}});
}

// Every field type of an XDT table, posted with values and blank.
TEST_F(Double, EveryFieldTypeIsPostedInTheEngineStorageFormat) {
  fake::E().fields = {{1, 1, 0, "L"},  {3, 4, 0, "D"},  {4, 5, 0, "C"},  {9, 3, 0, "P"},
                      {10, 8, 0, "F"}, {11, 4, 0, "I"}, {12, 2, 0, "S"}, {13, 4, 0, "T"},
                      {14, 8, 0, "TS"}, {18, 8, 0, "M"}};
  fake::E().tableType = 3;
  fake::E().openOptionsReported = 0x60;
  auto t = Table("F:\\XDT");
  t->SetTableType(ttXbeXDT);
  t->XbeTableOptions().SetXbeCharType(ANSI);
  t->Open();
  const db::TDateTime day = db::EncodeDate(2024, 3, 15), noon = db::EncodeTime(12, 0, 0, 0);
  const std::uint32_t julian = 2460385;
  t->Append();
  t->FieldByName("L")->SetAsBoolean(true);
  t->FieldByName("D")->SetAsDateTime(day);
  t->FieldByName("C")->SetAsString("ab");
  t->FieldByName("P")->SetAsDateTime(day);
  t->FieldByName("F")->SetAsFloat(2.5);
  t->FieldByName("I")->SetAsInteger(42);
  t->FieldByName("S")->SetAsInteger(-2);
  t->FieldByName("T")->SetAsDateTime(noon);
  t->FieldByName("TS")->SetAsDateTime(day + noon);
  t->FieldByName("M")->SetAsFloat(1.5);
  t->Post();
  const std::map<std::uintptr_t, std::string> values = {
      {1, "T"},
      {2, Raw<std::uint32_t>(julian)},
      {3, "ab   "},
      {4, "\x0F\xD0\x6F"},  // 2024 x 512 + 3 x 32 + 15, big-endian
      {5, Raw<double>(2.5)},
      {6, Raw<std::int32_t>(42)},
      {7, Raw<std::int16_t>(-2)},
      {8, Raw<std::uint32_t>(43200000)},
      {9, Raw<std::uint32_t>(julian) + Raw<std::uint32_t>(43200000)},
      {10, Raw<std::int64_t>(15000)}};
  EXPECT_EQ(fake::E().written, values);

  fake::E().written.clear();
  t->Append();
  for (int i = 0; i < t->FieldCount(); ++i) t->Fields()[i]->Clear();
  t->Post();
  const std::map<std::uintptr_t, std::string> blanks = {
      {1, " "},
      {2, std::string(4, '\0')},
      {3, std::string(5, '\0')},
      {4, std::string(3, '\0')},
      {5, Raw<std::uint32_t>(0x20) + Raw<std::uint32_t>(0x80000000u)},
      {6, Raw<std::uint32_t>(0x80000000u)},
      {7, Raw<std::uint16_t>(0x8000)},
      {8, Raw<std::uint32_t>(0xFFFFFFFFu)},
      {9, Raw<std::uint32_t>(0) + Raw<std::uint32_t>(0xFFFFFFFFu)},
      {10, Raw<std::uint32_t>(0) + Raw<std::uint32_t>(0x80000000u)}};
  EXPECT_EQ(fake::E().written, blanks);
}

TEST_F(Double, ARepeatedPostOfANewRecordAppendsOnce) {
  fake::E().openOptionsReported = 0x60;
  auto t = Table("F:\\NEW");
  t->XbeTableOptions().SetXbeCharType(ANSI);
  t->Open();
  t->Append();
  t->FieldByName("NOMECONV")->SetAsString("x");
  fake::E().failures["XbeWriteRecord"] = 5005;
  EXPECT_NE(MessageOf([&] { t->Post(); }), "<no exception>");
  fake::E().failures.clear();
  t->Post();
  EXPECT_EQ(fake::CallsOf("XbeAppendRecord").size(), 1u);
  EXPECT_EQ(fake::CallsOf("XbeWriteRecord").size(), 2u);
}

// Update permission is checked the same way; the double's empty table turns an edit into an insert.
TEST_F(Double, InsertPermissionOfTheTable) {
  struct Case {
    std::uint32_t options;
    bool insert;
    const char* message;
  };
  for (const Case& c : {Case{0x20, true, "EmUso: Insert permission not granted on this table."},
                        Case{0x60, true, "<no exception>"}}) {
    SCOPED_TRACE(c.message);
    fake::E().openOptionsReported = c.options;
    fake::E().recordCount = 1;
    auto t = Table("F:\\PERM");
    t->XbeTableOptions().SetXbeCharType(ANSI);
    t->Open();
    EXPECT_EQ(MessageOf([&] { c.insert ? t->Append() : t->Edit(); }), c.message);
    EXPECT_EQ(t->State(), std::string(c.message) == "<no exception>" ? db::DSState::Insert : db::DSState::Browse);
  }
}

TEST_F(Double, AFieldWithoutInsertPermissionIsRefused) {
  fake::E().openOptionsReported = 0x60;
  fake::E().columnPermissions = 2;
  auto t = Table("F:\\FPERM");
  t->XbeTableOptions().SetXbeCharType(ANSI);
  t->Open();
  t->Append();
  EXPECT_EQ(MessageOf([&] { t->FieldByName("NOMECONV")->SetAsString("x"); }),
            "EmUso: Insert permission not granted on this field: NOMECONV.");
  t->Cancel();
  EXPECT_TRUE(fake::CallsOf("XbeAppendRecord").empty());
}

TEST_F(Double, ShortIntegerDefaults) {
  fake::E().fields = {{12, 2, 0, "S"}};
  fake::E().openOptionsReported = 0x60;
  auto t = Table("F:\\DEF");
  t->XbeTableOptions().SetXbeCharType(ANSI);
  t->Open();
  for (const auto& [text, refused] : std::vector<std::pair<std::string, bool>>{
           {"32767", false}, {"-32767", false}, {"-32768", true}, {"32768", true}, {"x", true}}) {
    SCOPED_TRACE(text);
    t->FieldByName("S")->SetDefaultExpression(text);
    const std::string message = MessageOf([&] { t->Append(); });
    if (refused) {
      EXPECT_EQ(message.rfind("EmUso: Error setting default field value. (S)\r\n", 0), 0u) << message;
    } else {
      EXPECT_EQ(message, "<no exception>");
      EXPECT_EQ(t->FieldByName("S")->AsString(), text);
      t->Cancel();
    }
  }
}

TEST_F(Double, PersistentFieldsAtOpen) {
  fake::E().fields = {{18, 8, 0, "MONEY"}, {20, 10, 0, "CI"}};
  TXbeTable t(nullptr);
  t.SetDatabaseName("F:\\PERSIST");
  t.SetTableName("T");
  auto* money = new db::TBCDField(&t);  // owned by the table
  money->SetFieldName("MONEY");
  money->SetDataSet(&t);
  auto* ci = new db::TStringField(&t);
  ci->SetFieldName("CI");
  ci->SetSize(10);
  ci->SetDataSet(&t);
  EXPECT_FALSE(money->Currency());
  t.Open();
  EXPECT_FALSE(t.DefaultFields());
  EXPECT_TRUE(money->Currency());
  EXPECT_EQ(dynamic_cast<TXbeStringField*>(ci), nullptr);  // a plain string field is left alone
  t.Close();
  EXPECT_EQ(t.FieldCount(), 2);  // persistent fields outlive the close
}

// A persistent field narrower or wider than its column would read or write past its value:
// binding refuses it with the framework's size error and the table stays closed.
TEST_F(Double, PersistentFieldsOfAnotherSizeAreRefused) {
  fake::E().fields = {{4, 10, 0, "NAME"}, {16, 4, 0, "RAW"}};
  struct Case {
    bool bytes;
    int size;
    const char* message;
  };
  for (const Case& c : {Case{false, 4, "Tabela: Tamanho incompat\xEDvel para o campo 'NAME', esperado: 10 atual: 4"},
                        Case{false, 12, "Tabela: Tamanho incompat\xEDvel para o campo 'NAME', esperado: 10 atual: 12"},
                        Case{true, 2, "Tabela: Tamanho incompat\xEDvel para o campo 'RAW', esperado: 4 atual: 2"}}) {
    SCOPED_TRACE(c.message);
    TXbeTable t(nullptr);
    t.SetName("Tabela");
    t.SetDatabaseName("F:\\SIZES");
    t.SetTableName("T");
    db::TField* field = c.bytes ? static_cast<db::TField*>(new db::TBytesField(&t)) : new db::TStringField(&t);
    field->SetFieldName(c.bytes ? "RAW" : "NAME");
    field->SetSize(c.size);
    field->SetDataSet(&t);
    EXPECT_EQ(MessageOf([&] { t.Open(); }), c.message);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(t.TableHandle(), 0xFFFFFFFFu);
  }
}

class TSettingsHost : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TSettingsHost(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeSettings* XbeSettings1 = nullptr;
};

}  // namespace

const classes::TClassInfo& TSettingsHost::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TSettingsHost, classes::TComponent>(
      "TSettingsHost", [](auto& c) { c.Field("XbeSettings1", &TSettingsHost::XbeSettings1); });
  return info;
}

namespace {

const std::vector<std::string> kSettingsCalls = {"XbeCacheOpenCursors", "XbeCacheOpenTables", "XbeSetDateFormat",
                                                 "XbeGetDecimals",      "XbeGetDeleted",      "XbeSetServerType",
                                                 "XbeSetDecimals",      "XbeShowDeleted"};

TEST_F(Double, SettingsFromTheUpdatersDescriptionInOrder) {
  const std::string host = db::HostShortDateFormat;
  TSettingsHost form(nullptr);
  classes::ReadRootComponent(form, R"(object Host: TSettingsHost
  object XbeSettings1: TXbeSettings
    DateFormat = 'DD/MM/yyyy'
    NumDecimals = 2
    SetHostDate = True
    ShowDeleted = False
    XbeServerTypes = [stXBE_LOCAL]
    NumCachedTables = 0
    NumCachedCursors = 25
  end
end
)");
  const std::vector<std::string> expected = {"XbeCacheOpenCursors(25)",
                                             "XbeSetDateFormat('" + host + "')",
                                             "XbeGetDecimals()",
                                             "XbeGetDeleted()",
                                             "XbeSetServerType(6)",
                                             "XbeSetDateFormat('DD/MM/yyyy')",
                                             "XbeSetDecimals(2)",
                                             "XbeShowDeleted(0)",
                                             "XbeSetServerType(1)"};
  EXPECT_EQ(fake::CallsAmong(kSettingsCalls), expected);
  db::HostShortDateFormat = host;

  TXbeSettings& s = *form.XbeSettings1;
  fake::E().calls.clear();
  s.SetXbeServerTypes({stXBE_LOCAL});
  s.SetNumCachedTables(0);
  s.SetNumCachedCursors(25);
  s.SetNumDecimals(2);
  s.SetShowDeleted(false);
  EXPECT_EQ(fake::CallsAmong(kSettingsCalls), (std::vector<std::string>{"XbeSetDecimals(2)", "XbeShowDeleted(0)"}));
  s.SetDateFormat("DD/MM/yyyy-HH:mm");  // 16 characters
  EXPECT_EQ(fake::CallsOf("XbeSetDateFormat").back(), "XbeSetDateFormat('DD/MM/yyyy-')");
  EXPECT_EQ(s.DateFormat(), "DD/MM/yyyy-H");
  db::HostShortDateFormat = host;
}

TEST_F(Double, SettingsRefusedByTheEngine) {
  const std::string host = db::HostShortDateFormat;
  fake::E().failures["XbeSetDateFormat"] = 6014;
  EXPECT_EQ(MessageOf([] { TXbeSettings s(nullptr); }), "Error 6014: text");
  EXPECT_EQ(xbeset::SettingsInstanceCount(), 0u);
  EXPECT_EQ(fake::CallsOf("XbeSetDateFormat").size(), 2u);
  EXPECT_EQ(fake::CallsOf("XbeSetDateFormat")[1], "XbeSetDateFormat('MM/dd/ccyy')");

  fake::E().failures.clear();
  TXbeSettings s(nullptr);
  s.SetDateFormat("DD/MM/yyyy");
  fake::E().failures["XbeSetDateFormat"] = 6014;
  db::HostShortDateFormat = "x";
  EXPECT_THROW(s.SetDateFormat("yyyy.MM.dd"), xbeset::XbeError);
  EXPECT_EQ(s.DateFormat(), "DD/MM/yyyy");
  EXPECT_EQ(db::HostShortDateFormat, "x");
  fake::E().failures["XbeSetServerType"] = 6014;
  EXPECT_THROW(s.SetXbeServerTypes({stXBE_XIS}), xbeset::XbeError);
  EXPECT_EQ(s.XbeServerTypes(), (TXbeServerTypes{stXBE_REMOTE, stXBE_XIS}));
  db::HostShortDateFormat = host;
}

TEST_F(Double, EngineFilterCallsOfBothKindsAndTheEngineTableType) {
  const std::vector<std::string> kFilterCalls = {"XbeExpressionLongToShort", "XbeExpressionShortToLong",
                                                 "XbeSetExact22", "XbeSetXOF", "XbeSetFilter",
                                                 "XbeClearXOF", "XbeClearFilter"};
  auto t = Table("F:\\FILTERCALLS");
  t->SetFilterText("NOMECONV = 'AB*'");
  t->Open();
  t->SetFiltered(true);
  t->XbeTableOptions().SetXbeOptimizedFilters(false);
  t->SetFiltered(false);  // nothing set answers 5037, which is accepted
  EXPECT_EQ(fake::CallsAmong(kFilterCalls),
            (std::vector<std::string>{"XbeSetExact22(0)", "XbeSetXOF('NOMECONV = 'AB'',2)", "XbeClearXOF()",
                                      "XbeSetExact22(0)", "XbeSetFilter('NOMECONV = 'AB'')", "XbeClearFilter()"}));
  // Any other answer to a clear is an error.
  fake::E().failures["XbeClearFilter"] = 5004;
  EXPECT_EQ(MessageOf([&] { t->SetFiltered(false); }), "EmUso: Error 5004: XbeClearFilter failed");
  t->Close();

  // The engine's own table type goes through the name conversions both ways.
  fake::E().failures.clear();
  fake::E().calls.clear();
  auto x = Table("F:\\FILTERXDT", "Xdt");
  x->SetTableType(ttXbeXDT);
  x->SetFilterText("NOMECONV = 'AB*'");
  x->SetFiltered(true);
  x->Open();
  EXPECT_EQ(fake::CallsAmong(kFilterCalls),
            (std::vector<std::string>{"XbeExpressionLongToShort('NOMECONV = 'AB*'')",
                                      "XbeExpressionShortToLong('NOMECONV = 'AB'')", "XbeSetExact22(0)",
                                      "XbeSetXOF('NOMECONV = 'AB'',2)"}));
  fake::E().failures["XbeExpressionLongToShort"] = 5040;
  EXPECT_EQ(MessageOf([&] { x->SetFilterText("NOMECONV = 'X'"); }),
            "Xdt: Error 5040: XbeExpressionLongToShort failed");
}

TEST_F(Double, ScopeCallsOnTheActiveIndex) {
  fake::E().indexFiles["ML21.NTX"] = {{"ML21", "ML21.NTX", {"CODCONV"}}};
  auto t = Table("F:\\SCOPECALLS");
  t->IndexFiles().Add("ML21.NTX");
  t->SetIndexName("ML21");
  t->SetScopeBegin("10");
  t->SetScopeEnd("20");
  t->SetScoped(true);
  t->Open();
  t->SetScoped(false);  // both clears answer 5038, which is accepted
  EXPECT_FALSE(t->Scoped());
  EXPECT_EQ(fake::CallsAmong({"XbeGetScope", "XbeSetScope", "XbeClearScope"}),
            (std::vector<std::string>{"XbeGetScope(1)", "XbeGetScope(2)", "XbeSetScope(1)", "XbeSetScope(2)",
                                      "XbeClearScope(1)", "XbeClearScope(2)"}));
  fake::E().failures["XbeSetScope"] = 5004;
  EXPECT_EQ(MessageOf([&] { t->SetScoped(true); }), "EmUso: Error 5004: XbeSetScope failed");
  EXPECT_FALSE(t->Scoped());
}

}  // namespace
