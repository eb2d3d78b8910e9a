#include <gtest/gtest.h>

#include <filesystem>

#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/index/order_binding.h"
#include "tests/platform/xbe/index/test_dbf.h"
#include "testsupport.h"

namespace xbe::index {
namespace {

using testing::TestDbf;

std::string Fixture(const std::string& rel) { return (testsupport::FixturesDir() / rel).string(); }

std::vector<KeyEntry> FreshBuild(BoundOrder& bound, TestDbf& table, const expr::EvalSettings& s) {
  NtxDefinition d{bound.order().Info().keyExpression, bound.order().Info().forExpression, bound.order().Info().unique,
                  bound.order().Info().descending, bound.order().Info().keyLength, bound.order().Info().keyDecimals};
  auto fresh = NtxOrder::Create(MemoryFile(""), "FRESH", d, {});
  BoundOrder freshBound(*fresh, expr::KeyFormat::kNtx, table);
  freshBound.Rebuild(table, s, [&](auto step) {
    for (std::uint32_t r = 1; r <= table.RecordCount(); ++r) {
      table.Go(r);
      step();
    }
  });
  return fresh->Entries();
}

TEST(BoundOrderTest, WritesDeletesAndRecallsKeepTheOrderRight) {
  REQUIRE_FIXTURES();
  testsupport::TempDir dir;
  testsupport::CopyFixture("ntx/peofor.ntx", dir.path());
  TestDbf table(Fixture("ntx/people.dbf"));
  auto order = NtxOrder::Open(OpenHostFile((dir.path() / "peofor.ntx").string(), true), "PEOFOR");
  BoundOrder bound(*order, expr::KeyFormat::kNtx, table);  // CODIGO for ATIVO .AND. ! Deleted()
  EXPECT_EQ(bound.SegmentFields(), std::vector<std::string>{"CODIGO"});
  expr::EvalSettings s;
  auto change = [&](std::uint32_t recno, auto edit) {
    table.Go(recno);
    const auto before = bound.EntryFor(table, s);
    edit();
    bound.Update(before, bound.EntryFor(table, s));
  };
  const std::uint32_t inOrder = order->Entries().front().recno;
  change(inOrder, [&] { table.SetDeleted(true); });  // the condition leaves it out now
  change(inOrder, [&] { table.SetDeleted(false); });  // recalled: back in
  change(inOrder, [&] { table.SetField("CODIGO", "999999"); });  // the key moves to the end
  EXPECT_EQ(order->Entries().back().recno, inOrder);
  change(7, [&] { table.SetField("ATIVO", "F"); });
  change(2, [&] { table.SetField("ATIVO", "T"); });
  EXPECT_EQ(order->Entries(), FreshBuild(bound, table, s));
  EXPECT_NO_THROW(order->Check());
}

TEST(BoundOrderTest, KeysThatDoNotFitTheTableAreClearErrors) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("ntx/people.dbf"));
  auto order = NtxOrder::Create(MemoryFile(""), "X", NtxDefinition{"NOSUCH + NOME", "", false, false, 10, 0}, {});
  EXPECT_THROW(BoundOrder(*order, expr::KeyFormat::kNtx, table), expr::ExprError);
  auto cond = NtxOrder::Create(MemoryFile(""), "Y", NtxDefinition{"NOME", "CODIGO + 1", false, false, 40, 0}, {});
  EXPECT_THROW(BoundOrder(*cond, expr::KeyFormat::kNtx, table), expr::ExprError);
}

TEST(BoundOrderTest, CdxTagsLearnTheirKeyType) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  auto cdx = CdxFile::Open(OpenHostFile(Fixture("cdx/STOCK.cdx"), false));  // no key types given
  CdxTag* tag = cdx->FindTag("ESTQ");
  BoundOrder bound(*tag, expr::KeyFormat::kCdx, table);
  EXPECT_EQ(bound.Layout().type, expr::Type::kNumeric);
  expr::EvalSettings s;
  for (const KeyEntry& e : tag->Entries()) {
    table.Go(e.recno);
    EXPECT_EQ(bound.KeyFor(table, s), e.key) << e.recno;
  }
}

}  // namespace
}  // namespace xbe::index
