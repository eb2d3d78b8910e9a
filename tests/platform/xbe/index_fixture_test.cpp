// Every order of the reference files, opened through the C interface, gives the record
// sequence, key count, expression, condition and flags of the reference dumps.
#include <algorithm>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

struct Case {
  const char* folder;  // copied from the reference files
  const char* table;
  uint16_t type;
  const char* dump;
  std::vector<const char*> indexFiles;  // none: the structural CDX opens with the table
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.table; }

using ReferenceOrders = WithDeletedShown<Case>;

TEST_P(ReferenceOrders, AgreeWithTheDumps) {
  REQUIRE_FIXTURES();
  const Case& c = GetParam();
  CopiedFolder copy(c.folder);
  const Connection& conn = copy.conn;
  OpenOptions o;
  o.tableType = c.type;
  o.charType = XBE_OEM;
  const XBEHANDLE t = OpenTable(conn, c.table, o);
  ASSERT_NE(t, 0u);
  for (const char* f : c.indexFiles) ASSERT_NE(OpenIndex(t, conn.directory() + "\\" + f), 0u);

  const auto expected = ExpectedOrders((testsupport::FixturesDir() / "expected" / c.dump).string());
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(AllOrders(t).size(), expected.size());
  for (const ExpectedOrder& e : expected) {
    SCOPED_TRACE(e.name);
    XBEHANDLE order = 0;
    ASSERT_EQ(XbeGetIndexHandle(t, e.name.c_str(), &order), 0u) << LastErrorText();
    EXPECT_EQ(OrderText(XbeGetIndexExpression, order), e.key);
    EXPECT_EQ(OrderText(XbeGetIndexCondition, order), e.condition);
    uint16_t unique = 9, descending = 9;
    EXPECT_EQ(XbeIsIndexUnique(order, &unique), 0u);
    EXPECT_EQ(XbeIsIndexDescending(order, &descending), 0u);
    EXPECT_EQ(unique, e.unique ? 1 : 0);
    EXPECT_EQ(descending, e.descending ? 1 : 0);
    uint32_t keys = 0;
    EXPECT_EQ(XbeGetRecordCount(order, 3, &keys), 0u) << LastErrorText();
    EXPECT_EQ(keys, e.keyCount);
    EXPECT_EQ(Walk(t, order), e.records);
    EXPECT_EQ(WalkBackwards(t, order), e.records);
    // The table handle keeps natural order on the same cursor.
    ASSERT_EQ(XbeGotoTop(t), 0u);
    EXPECT_EQ(CurrentRecord(t), 1u);
  }
  EXPECT_EQ(XbeCloseTable(t), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ReferenceOrders,
    ::testing::Values(Case{"ntx", "people", XBE_NTX, "people.txt",
                           {"peocod.ntx", "peonom.ntx", "peodat.ntx", "peouni.ntx", "peodes.ntx", "peofor.ntx"}},
                      Case{"cdx", "STOCK", XBE_CDX, "stock.txt", {}},
                      Case{"ml/installed", "ML2", XBE_NTX, "ml2-installed.txt",
                           {"ML21.NTX", "ML22.NTX", "ML23.NTX", "ML24"}},
                      Case{"ml/installed", "ML6", XBE_NTX, "ml6-installed.txt", {"ML61.NTX", "ml62.ntx"}}),
    [](const auto& info) { return std::string(info.param.dump).substr(0, 3) + std::to_string(info.index); });

}  // namespace
