// Memo writes that fail with their record: the memo file stays as it was, whether the new
// contents went into the old memo's blocks or after the file's end.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

struct MemoCase {
  const char* folder;
  const char* table;
  xbe::TableType type;
  const char* memoFile;
  const char* index;
  const char* field;
  const char* keyField;  // a key of the index, changed with the memo so that the index is written
  const char* key;
};

void PrintTo(const MemoCase& c, std::ostream* os) { *os << c.memoFile; }

class FailedMemoWrite : public ::testing::TestWithParam<MemoCase> {};

TEST_P(FailedMemoWrite, LeavesTheMemoFileAsItWas) {
  REQUIRE_FIXTURES();
  const MemoCase& c = GetParam();
  testsupport::TempDir tmp;
  testsupport::CopyFixture(c.folder, tmp.path());
  xbe::OpenRequest request;
  request.name = (tmp.path() / c.table).string();
  request.type = c.type;
  auto table = xbe::Table::Open(request);
  auto index = xbe::IndexFile::Open(*table, (tmp.path() / c.index).string());
  const std::size_t field = table->FieldIndexName(c.field);
  const std::string memo = (tmp.path() / c.memoFile).string();
  const std::string dbf = (tmp.path() / (std::string(c.table) + ".dbf")).string();

  // Record 3 holds a memo of several lines: a short text fits its blocks, a long one does not.
  ASSERT_TRUE(table->GotoRecord(3));
  const std::string stored = table->GetMemo(field).data;
  ASSERT_GT(stored.size(), 8u);
  for (const std::string& text : {std::string("curto"), std::string(70000, 'L')}) {
    SCOPED_TRACE(text.size());
    const std::string memoBefore = ReadFile(memo), dbfBefore = ReadFile(dbf);
    ASSERT_TRUE(table->GotoRecord(3));
    table->SetMemo(field, text);
    table->SetFieldText(table->FieldIndexName(c.keyField), c.key);
    index->FailWriteAfter(0);
    EXPECT_THROW(table->Write(), rtl::Exception);
    index->FailWriteAfter(std::nullopt);
    EXPECT_TRUE(ReadFile(memo) == memoBefore) << "the memo file changed";
    EXPECT_TRUE(ReadFile(dbf) == dbfBefore) << "the record was written";
    EXPECT_EQ(table->GetMemo(field).data, text);  // the change is still pending
    table->Cancel();
    ASSERT_TRUE(table->GotoRecord(3));
    EXPECT_EQ(table->GetMemo(field).data, stored);
  }

  // The same change, no longer failing, goes through.
  table->SetMemo(field, "curto");
  table->Write();
  ASSERT_TRUE(table->GotoRecord(3));
  EXPECT_EQ(table->GetMemo(field).data, "curto");
}

INSTANTIATE_TEST_SUITE_P(
    BothMemoFormats, FailedMemoWrite,
    ::testing::Values(
        MemoCase{"ntx", "people", xbe::TableType::kNtx, "people.dbt", "peocod.ntx", "OBS", "CODIGO", "777777"},
        MemoCase{"cdx", "STOCK", xbe::TableType::kCdx, "STOCK.fpt", "STOCK.cdx", "NOTAS", "ITEM", "NOVOITEM"}));

}  // namespace
