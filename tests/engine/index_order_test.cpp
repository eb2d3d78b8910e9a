// The active index of a dataset on the real engine: record numbers in key order, and index
// changes the engine refuses.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/xbetable.h"
#include "enginetest.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

namespace {

constexpr int kKeys = 80;

// Key k ("001" ... "080") lies in record kKeys + 1 - k, so key order and record order differ.
class EightyKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string table = dir_.str() + "/CODES";
    xbe::CreateTable(table, xbe::TableType::kNtx, {{"CODE", xbe::kCharacter, 3, 0}});
    XBEHANDLE connection = 0, t = 0;
    ASSERT_EQ(XbeConnect(dir_.str().c_str(), &connection), 0u);
    ASSERT_EQ(XbeOpenTable(connection, table.c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, 1, 0, &t), 0u);
    for (int r = 1; r <= kKeys; ++r) {
      ASSERT_EQ(XbeAppendRecord(t), 0u);
      const std::string code = Code(kKeys + 1 - r);
      ASSERT_EQ(XbeSetField(t, "CODE", code.c_str(), static_cast<uint32_t>(code.size())), 0u);
      ASSERT_EQ(XbeWriteRecord(t), 0u);
    }
    xbe::CreateNtxIndex(t, dir_.str() + "/CODES.NTX", "CODE");
    ASSERT_EQ(XbeCloseTable(t), 0u);
    XbeDisconnect(connection);

    table_ = std::make_unique<TXbeTable>(nullptr);
    table_->SetName("Codes");
    table_->SetTableType(ttXbeNTX);
    table_->SetDatabaseName(dir_.str());
    table_->SetTableName("CODES");
    table_->IndexFiles().Add("CODES.NTX");
    table_->Open();
    ASSERT_EQ(table_->IndexDefs().Count(), 1);
    order_ = table_->IndexDefs().Items(0).Name();
  }

  static std::string Code(int key) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", key);
    return text;
  }
  std::string CurrentCode() { return table_->FieldByName("CODE")->AsString(); }

  testsupport::TempDir dir_;
  std::unique_ptr<TXbeTable> table_;
  std::string order_;
};

TEST_F(EightyKeys, RecordNumbersFollowTheKeysBothWays) {
  table_->SetIndexName(order_);
  for (const bool sequenced : {false, true}) {
    table_->SetSequenced(sequenced);
    for (int k = 1; k <= kKeys; ++k) {
      SCOPED_TRACE((sequenced ? "sequenced, key " : "key ") + std::to_string(k));
      table_->SetRecNo(k);
      ASSERT_EQ(CurrentCode(), Code(k));
      // Without Sequenced the number is the record's own; with it, the key's place.
      EXPECT_EQ(table_->RecNo(), sequenced ? k : kKeys + 1 - k);
    }
    int k = 0;
    for (table_->First(); !table_->Eof(); table_->Next())
      if (sequenced) EXPECT_EQ(table_->RecNo(), ++k);
  }
}

TEST_F(EightyKeys, ARefusedIndexLeavesTheDataSetOnItsOrder) {
  table_->SetIndexName(order_);
  table_->SetRecNo(40);
  for (const char* name : {"NOSUCH", "XBE_DEFAULT"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(enginetest::MessageOf([&] { table_->SetIndexName(name); }).rfind("Codes: Error 6017: ", 0), 0u);
    EXPECT_EQ(table_->IndexName(), order_);
    table_->First();
    EXPECT_EQ(CurrentCode(), Code(1));
    table_->Next();
    EXPECT_EQ(CurrentCode(), Code(2));
  }
  // From natural order, the refusal keeps natural order.
  table_->SetIndexName("");
  EXPECT_THROW(table_->SetIndexName("XBE_DEFAULT"), EXBEDatabaseError);
  EXPECT_EQ(table_->ActiveIndexKind(), IndexKindNone);
  table_->First();
  EXPECT_EQ(CurrentCode(), Code(kKeys));
}

}  // namespace
