// Open orders stay equal to a from-scratch rebuild through a long random sequence of appends,
// edits, deletes and cancelled appends made through the C interface, with navigation through
// the orders in between; the files then reopen clean.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/api_support.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/index_order.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

struct Field {
  std::string name;
  uint16_t type;
  uint32_t length;
  uint16_t decimals;
};

std::vector<Field> FieldsOf(XBEHANDLE t) {
  std::vector<Field> out;
  for (uint16_t i = 1; i <= FieldCount(t); ++i) {
    Field f{FieldName(t, i), 0, 0, 0};
    XbeGetFieldType(t, XBE_FIELD_ORDINAL(i), &f.type);
    XbeGetFieldLength(t, XBE_FIELD_ORDINAL(i), &f.length);
    XbeGetFieldDecimals(t, XBE_FIELD_ORDINAL(i), &f.decimals);
    out.push_back(f);
  }
  return out;
}

// A random value a field can hold; few distinct texts, so that keys repeat.
std::string RandomValue(const Field& f, std::mt19937& rng) {
  static const char* const kTexts[] = {"", "ANA", "ana paula", "BEL\xC9M", "S\xC3O PAULO", "Zeca", "JO\xC3O SILVA",
                                       "a\xE7\x61\xED ltda", "PEDRO", "IT1", "IT10", "CURITIBA", "20:12"};
  std::uniform_int_distribution<int> pick(0, 1000000);
  switch (f.type) {
    case 4: return std::string(kTexts[pick(rng) % std::size(kTexts)]).substr(0, f.length);
    case 2: {
      const int intDigits = static_cast<int>(f.length) - (f.decimals ? f.decimals + 1 : 0) - 1;
      long long limit = 1;
      for (int i = 0; i < std::min(intDigits, 6); ++i) limit *= 10;
      const long long whole = pick(rng) % limit - (pick(rng) % 3 == 0 ? limit / 2 : 0);
      std::string v = std::to_string(whole);
      if (f.decimals) v += "." + std::string(f.decimals, static_cast<char>('0' + pick(rng) % 10));
      return v;
    }
    case 3: {
      if (pick(rng) % 5 == 0) return "";
      char d[16];
      std::snprintf(d, sizeof d, "%04d%02d%02d", 1990 + pick(rng) % 40, 1 + pick(rng) % 12, 1 + pick(rng) % 28);
      return d;
    }
    case 1: return pick(rng) % 2 ? "T" : "F";
    default: return {};
  }
}

void SetRandomFields(XBEHANDLE t, const std::vector<Field>& fields, std::mt19937& rng) {
  for (const Field& f : fields) {
    if (f.type > 4 || rng() % 3 == 0) continue;
    const std::string v = RandomValue(f, rng);
    if (v.empty()) XBE_OK(XbeSetEmpty(t, f.name.c_str()));
    else XBE_OK(XbeSetField(t, f.name.c_str(), v.data(), static_cast<uint32_t>(v.size())));
  }
}

void RandomChanges(XBEHANDLE t, int steps, unsigned seed) {
  std::mt19937 rng(seed);
  const std::vector<Field> fields = FieldsOf(t);
  const std::vector<XBEHANDLE> orders = AllOrders(t);
  for (int step = 0; step < steps; ++step) {
    const uint32_t count = RecordCount(t);
    const uint32_t r = 1 + rng() % count;
    switch (rng() % 10) {
      case 0: case 1:  // append
        XBE_OK(XbeAppendRecord(t));
        SetRandomFields(t, fields, rng);
        if (rng() % 8 == 0) XBE_OK(XbeCancelUpdate(t));
        else XBE_OK(XbeWriteRecord(t));
        break;
      case 2:  // delete
        XBE_OK(XbeGotoRecord(t, r));
        XBE_OK(XbeDeleteRecord(t));
        XBE_OK(XbeWriteRecord(t));
        break;
      case 3: {  // navigation through an order, then an edit of the record it lands on
        const XBEHANDLE o = orders[rng() % orders.size()];
        XBE_OK(XbeGotoTop(o));
        XBE_OK(XbeSkip(o, static_cast<int32_t>(rng() % 40)));
        if (AtEof(t)) break;
        SetRandomFields(t, fields, rng);
        XBE_OK(XbeSkip(o, rng() % 2 ? 1 : -1));  // the move writes the pending record
        break;
      }
      default:  // edit
        XBE_OK(XbeGotoRecord(t, r));
        SetRandomFields(t, fields, rng);
        XBE_OK(XbeWriteRecord(t));
    }
  }
}

xbe::IndexFile& FileOf(XBEHANDLE order) {
  std::lock_guard<xbe::EngineLock> lock(xbe::EngineMutex());
  return *xbe::Handles().Get<xbe::OrderObject>(order, xbe::HandleKind::kIndexOrder).file;
}

// Every order of the table against a copy of its file rebuilt from the records.
void ExpectOrdersEqualRebuilds(const std::string& dir, XBEHANDLE t) {
  const std::vector<XBEHANDLE> orders = AllOrders(t);
  std::vector<std::string> done;
  for (XBEHANDLE o : orders) {
    xbe::IndexFile& f = FileOf(o);
    if (std::find(done.begin(), done.end(), f.HostPath()) != done.end()) continue;
    done.push_back(f.HostPath());
    const std::string copy = dir + "/rebuilt_" + f.FileName();
    std::filesystem::copy_file(f.HostPath(), copy);
    const XBEHANDLE first = OpenIndex(t, copy);
    ASSERT_NE(first, 0u);
    xbe::IndexFile& rebuilt = FileOf(first);
    rebuilt.Rebuild();
    ASSERT_EQ(rebuilt.Tags().size(), f.Tags().size());
    for (std::size_t i = 0; i < f.Tags().size(); ++i) {
      SCOPED_TRACE(f.FileName() + " " + f.Tags()[i].order->Info().name);
      f.Tags()[i].order->Check();
      const auto entries = f.Tags()[i].order->Entries();
      const auto fresh = rebuilt.Tags()[i].order->Entries();
      EXPECT_EQ(entries.size(), fresh.size());
      const auto diff = std::mismatch(entries.begin(), entries.end(), fresh.begin(), fresh.end());
      EXPECT_TRUE(diff.first == entries.end()) << "first difference at entry " << (diff.first - entries.begin());
      EXPECT_EQ(entries.size(), f.Tags()[i].order->KeyCount());
    }
    XBE_OK(XbeCloseIndex(first));
  }
}

struct Case {
  const char* folder;
  const char* table;
  uint16_t type;
  std::vector<const char*> indexFiles;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.table; }

using OrderMaintenance = WithDeletedShown<Case>;

TEST_P(OrderMaintenance, RandomChangesLeaveEveryOrderEqualToARebuild) {
  REQUIRE_FIXTURES();
  const Case& c = GetParam();
  CopiedFolder copy(c.folder);
  const Connection& conn = copy.conn;
  OpenOptions o;
  o.tableType = c.type;
  o.charType = XBE_OEM;
  XBEHANDLE t = OpenTable(conn, c.table, o);
  ASSERT_NE(t, 0u);
  for (const char* f : c.indexFiles) ASSERT_NE(OpenIndex(t, conn.directory() + "\\" + f), 0u);
  ShowDeleted(false);  // navigation skips deleted records meanwhile
  RandomChanges(t, 400, 20240611u);
  ShowDeleted(true);
  ExpectOrdersEqualRebuilds(copy.tmp.str(), t);
  const std::size_t orders = AllOrders(t).size();
  XBE_OK(XbeCloseTable(t));

  // Reopened, the files read clean and every order walks its keys.
  t = OpenTable(conn, c.table, o);
  ASSERT_NE(t, 0u);
  for (const char* f : c.indexFiles) ASSERT_NE(OpenIndex(t, conn.directory() + "\\" + f), 0u);
  ASSERT_EQ(AllOrders(t).size(), orders);
  for (XBEHANDLE order : AllOrders(t)) {
    uint32_t keys = 0;
    XBE_OK(XbeGetRecordCount(order, 3, &keys));
    EXPECT_EQ(Walk(t, order).size(), keys);
    for (auto& tag : FileOf(order).Tags()) tag.order->Check();
  }
  XBE_OK(XbeCloseTable(t));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, OrderMaintenance,
    ::testing::Values(Case{"ntx", "people", XBE_NTX,
                           {"peocod.ntx", "peonom.ntx", "peodat.ntx", "peouni.ntx", "peodes.ntx", "peofor.ntx"}},
                      Case{"cdx", "STOCK", XBE_CDX, {}},
                      Case{"ml/installed", "ML6", XBE_NTX, {"ML61.NTX", "ML62.NTX"}}),
    [](const auto& info) { return std::string(info.param.table); });

// A new NTX file built by the engine has the reference file's keys, and a table walks it.
TEST(CreateNtxIndex, BuildsTheOrderAReferenceFileHolds) {
  REQUIRE_FIXTURES();
  ShowDeleted(true);
  CopiedFolder copy("ntx");
  const Connection& conn = copy.conn;
  OpenOptions o;
  o.charType = XBE_OEM;
  const XBEHANDLE t = OpenTable(conn, "people", o);
  ASSERT_NE(t, 0u);
  const XBEHANDLE reference = OpenIndex(t, conn.directory() + "\\peodat.ntx");
  xbe::CreateNtxIndex(t, conn.directory() + "\\mine", "DToS( DATA ) + Str( CODIGO, 6 )");
  xbe::CreateNtxIndex(t, conn.directory() + "\\minefor.ntx", "CODIGO", "ATIVO .AND. ! Deleted()");
  const XBEHANDLE mine = OpenIndex(t, conn.directory() + "\\mine.ntx");
  EXPECT_EQ(Walk(t, mine), Walk(t, reference));
  EXPECT_EQ(std::filesystem::file_size(copy.dir() / "mine.ntx"),
            std::filesystem::file_size(copy.dir() / "peodat.ntx"));
  const XBEHANDLE minefor = OpenIndex(t, conn.directory() + "\\minefor.ntx");
  EXPECT_EQ(OrderText(XbeGetIndexCondition, minefor), "ATIVO .AND. ! Deleted()");
  EXPECT_EQ(Walk(t, minefor).size(), 187u);
  EXPECT_THROW(xbe::CreateNtxIndex(t, conn.directory() + "\\bad.ntx", "NOSUCH + 1"), xbe::Error);
  XBE_OK(XbeCloseTable(t));
  ShowDeleted(false);
}

}  // namespace
