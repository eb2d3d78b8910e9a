// A record whose write failed never reaches the table later: not when the table closes, nor
// when the program ends, without its keys.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

class PendingWrite : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    xbe::CreateTable((dir() / "T").string(), xbe::TableType::kNtx, {{"K", 4, 6, 0}});
    Connection conn(dir().string());
    XBEHANDLE t = OpenTable(conn, "T");
    ASSERT_NE(t, 0u);
    for (int i = 0; i < 5; ++i) {
      XBE_OK(XbeAppendRecord(t));
      SetText(t, "K", "K" + std::to_string(i));
      XBE_OK(XbeWriteRecord(t));
    }
    xbe::CreateNtxIndex(t, (dir() / "T.ntx").string(), "K");
    XBE_OK(XbeCloseTable(t));
  }
  fs::path dir() const { return tmp_.path(); }
  std::unique_ptr<xbe::Table> Open() {
    xbe::OpenRequest request;
    request.name = (dir() / "T").string();
    return xbe::Table::Open(request);
  }
  testsupport::TempDir tmp_;
};

// 0: the new record is still the last when the table closes; 1: another handle appended after it.
INSTANTIATE_TEST_SUITE_P(Appends, PendingWrite, ::testing::Values(0, 1));

TEST_P(PendingWrite, AnAppendWhoseKeysFailedIsNotWrittenAtClose) {
  auto table = Open();
  auto file = xbe::IndexFile::Open(*table, (dir() / "T.ntx").string());
  const std::size_t k = *table->Fields().Find("K");
  table->Append();
  table->SetFieldText(k, "NOVO");
  file->FailWriteAfter(0);  // the index refuses every write, as a damaged or full one does
  EXPECT_ANY_THROW(table->Write());
  if (GetParam() == 1) {
    auto other = Open();
    other->Append();
    other->SetFieldText(k, "OUTRO");
    other->Write();  // no index open there: its key is not our concern
  }
  EXPECT_ANY_THROW(table->Close());
  file.reset();
  table.reset();

  auto check = Open();
  int visible = 0, blank = 0;
  check->ForEachRecord([&](const xbe::RecordView& r) {
    if (r.IsDeleted()) return;
    ++visible;
    if (r.FieldString(k).find_first_not_of(' ') == std::string::npos) ++blank;
  });
  EXPECT_EQ(blank, 0) << "a blank record without keys reached the table";
  EXPECT_EQ(check->RecordCount(), GetParam() == 0 ? 5u : 7u);
  EXPECT_EQ(visible, GetParam() == 0 ? 5 : 6) << "the failed record reached the table";
  auto index = xbe::IndexFile::Open(*check, (dir() / "T.ntx").string());
  EXPECT_EQ(index->Tags()[0].order->KeyCount(), 5u);
}

}  // namespace
