// A detail following its master through the real engine: the installed agreements (ML2) as
// master and their collections (ML6) as detail, over indexes on the link field built on a copy.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "enginetest.h"
#include "platform/db/datasource.h"
#include "platform/rtl/strutils.h"
#include "platform/xbe/index_create.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

class Agreements : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ml/installed", dir_.path());
    BuildDetailIndexes();

    master_ = enginetest::UpdaterTable(&form_, "Convenios", dir_.str(), "ML2", false);
    master_->IndexFiles().Add("ML21.NTX");
    master_->Open();
    master_->SetIndexName(OrderOf(*master_, "ML21"));
    source_ = new db::TDataSource(&form_);
    source_->SetDataSet(master_.get());

    detail_ = enginetest::UpdaterTable(&form_, "Coletas", dir_.str(), "ML6", false);
    for (const char* f : {"ML6COD.NTX", "ML6CD.NTX"}) detail_->IndexFiles().Add(f);
    detail_->Open();
  }

  // One order on the link field alone and one on the link field then the date, so that the
  // details of one agreement come in an order of their own.
  void BuildDetailIndexes() {
    XBEHANDLE connection = 0, table = 0;
    ASSERT_EQ(XbeConnect(dir_.str().c_str(), &connection), 0u);
    ASSERT_EQ(XbeOpenTable(connection, (dir_.str() + "/ML6").c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, 1, 0, &table),
              0u);
    xbe::CreateNtxIndex(table, dir_.str() + "/ML6COD.NTX", "CODCONV");
    xbe::CreateNtxIndex(table, dir_.str() + "/ML6CD.NTX", "Str( CODCONV, 4 ) + DToS( DATACOL )");
    ASSERT_EQ(XbeCloseTable(table), 0u);
    XbeDisconnect(connection);
  }

  static std::string OrderOf(TXbeTable& t, const std::string& name) {
    t.IndexDefs().Update();
    for (int i = 0; i < t.IndexDefs().Count(); ++i)
      if (rtl::SameText(t.IndexDefs().Items(i).Name(), name)) return t.IndexDefs().Items(i).Name();
    return name;
  }

  // The collection numbers of the detail as it stands, in its order.
  std::vector<int> DetailNumbers() {
    std::vector<int> out;
    for (detail_->First(); !detail_->Eof(); detail_->Next()) out.push_back(detail_->FieldByName("NUMCOL")->AsInteger());
    return out;
  }

  // Per agreement, its collections in the key order of `order`, from one walk of the whole
  // unlinked detail in that order.
  std::map<int, std::vector<int>> DetailsByAgreement(const std::string& order) {
    detail_->SetIndexName(OrderOf(*detail_, order));
    std::map<int, std::vector<int>> out;
    for (detail_->First(); !detail_->Eof(); detail_->Next())
      out[detail_->FieldByName("CODCONV")->AsInteger()].push_back(detail_->FieldByName("NUMCOL")->AsInteger());
    return out;
  }

  void Link(const std::string& order) {
    detail_->SetIndexName(OrderOf(*detail_, order));
    detail_->SetMasterSource(source_);
    detail_->SetMasterFields("CODCONV");
  }

  testsupport::TempDir dir_;
  classes::TComponent form_{nullptr};
  std::unique_ptr<TXbeTable> master_;
  db::TDataSource* source_ = nullptr;
  std::unique_ptr<TXbeTable> detail_;
};

TEST_F(Agreements, MovingTheMasterShowsExactlyItsDetailsInKeyOrder) {
  for (const char* order : {"ML6COD", "ML6CD"}) {
    SCOPED_TRACE(order);
    detail_->SetMasterSource(nullptr);
    auto expected = DetailsByAgreement(order);
    ASSERT_GT(expected.size(), 40u);
    Link(order);
    int agreements = 0, withoutDetails = 0;
    for (master_->First(); !master_->Eof(); master_->Next(), ++agreements) {
      const int code = master_->FieldByName("CODCONV")->AsInteger();
      SCOPED_TRACE(code);
      EXPECT_EQ(DetailNumbers(), expected[code]);
      if (expected[code].empty()) ++withoutDetails;
    }
    EXPECT_GT(agreements, 50);
    EXPECT_GT(withoutDetails, 0);
    // Backwards, and jumps by locate, land on the same sets.
    for (master_->Last(); !master_->Bof(); master_->Prior())
      EXPECT_EQ(DetailNumbers(), expected[master_->FieldByName("CODCONV")->AsInteger()]);
    for (int code : {45, 3, 60, 1}) {
      ASSERT_TRUE(master_->Locate("CODCONV", code, {}));
      EXPECT_EQ(DetailNumbers(), expected[code]) << code;
    }
  }
}

TEST_F(Agreements, LinkingFollowsAtOnceAndUnlinkingShowsEveryDetail) {
  const std::vector<int> all = DetailNumbers();
  const auto expected = DetailsByAgreement("ML6COD");
  ASSERT_TRUE(master_->Locate("CODCONV", 45, {}));
  Link("ML6COD");
  EXPECT_EQ(DetailNumbers(), expected.at(45));

  // Re-opening the detail follows the master again; a new index is followed as well.
  detail_->Close();
  detail_->Open();
  EXPECT_EQ(DetailNumbers(), expected.at(45));
  detail_->SetIndexName(OrderOf(*detail_, "ML6CD"));
  EXPECT_EQ(DetailNumbers().size(), expected.at(45).size());

  // A master that closes releases the detail; one that opens again restricts it again.
  master_->Close();
  EXPECT_EQ(DetailNumbers().size(), all.size());
  master_->Open();
  master_->First();
  EXPECT_EQ(DetailNumbers().size(), expected.at(master_->FieldByName("CODCONV")->AsInteger()).size());

  detail_->SetMasterSource(nullptr);
  EXPECT_EQ(detail_->MasterFields(), "");
  EXPECT_EQ(DetailNumbers().size(), all.size());
}

TEST_F(Agreements, NewDetailsCarryTheMastersKey) {
  Link("ML6COD");
  ASSERT_TRUE(master_->Locate("CODCONV", 7, {}));
  const std::vector<int> before = DetailNumbers();
  detail_->Append();
  EXPECT_EQ(detail_->FieldByName("CODCONV")->AsInteger(), 7);
  detail_->FieldByName("NUMCOL")->SetAsInteger(9001);
  detail_->Post();
  std::vector<int> after = before;
  after.push_back(9001);
  EXPECT_EQ(DetailNumbers(), after);
  master_->Next();
  master_->Prior();
  EXPECT_EQ(DetailNumbers(), after);
}

TEST_F(Agreements, LinkRefusals) {
  // A master that shows its own detail would follow itself.
  Link("ML6COD");
  db::TDataSource detailSource(&form_);
  detailSource.SetDataSet(detail_.get());
  EXPECT_EQ(MessageOf([&] { master_->SetMasterSource(&detailSource); }), "Convenios: Circular Data Link");
  EXPECT_EQ(MessageOf([&] { detail_->SetMasterSource(&detailSource); }), "Coletas: Circular Data Link");
  EXPECT_EQ(master_->MasterSource(), nullptr);

  // A detail held by a scope cannot take its master's range.
  detail_->SetMasterSource(nullptr);
  detail_->SetScopeBegin("  10");
  detail_->SetScoped(true);
  detail_->SetMasterSource(source_);
  EXPECT_EQ(MessageOf([&] { detail_->SetMasterFields("CODCONV"); }),
            "Coletas: Cannot set range on table when there is an active scope.");
  EXPECT_EQ(MessageOf([&] { master_->Next(); }), "Coletas: Cannot set range on table when there is an active scope.");
}

}  // namespace
