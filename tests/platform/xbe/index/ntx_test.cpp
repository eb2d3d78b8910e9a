#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>

#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/ntx_order.h"
#include "tests/platform/xbe/index/test_dbf.h"
#include "tests/platform/xbe/index/test_keys.h"
#include "testsupport.h"

namespace xbe::index {
namespace {

using testing::ExpectedOrder;
using testing::Records;
using testing::TableEntries;
using testing::TestDbf;

struct NtxFixture {
  const char* file;  // relative to the fixtures
  const char* table;
  const char* dump;
};

const NtxFixture kNtxFixtures[] = {
    {"ntx/peocod.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ntx/peonom.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ntx/peodat.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ntx/peouni.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ntx/peodes.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ntx/peofor.ntx", "ntx/people.dbf", "expected/people.txt"},
    {"ml/installed/ML21.NTX", "ml/installed/ML2.DBF", "expected/ml2-installed.txt"},
    {"ml/installed/ML22.NTX", "ml/installed/ML2.DBF", "expected/ml2-installed.txt"},
    {"ml/installed/ML23.NTX", "ml/installed/ML2.DBF", "expected/ml2-installed.txt"},
    {"ml/installed/ML24.NTX", "ml/installed/ML2.DBF", "expected/ml2-installed.txt"},
    {"ml/installed/ML61.NTX", "ml/installed/ML6.DBF", "expected/ml6-installed.txt"},
    {"ml/installed/ML62.NTX", "ml/installed/ML6.DBF", "expected/ml6-installed.txt"},
};

std::string Fixture(const std::string& rel) { return (testsupport::FixturesDir() / rel).string(); }

std::string BaseName(const std::string& rel) {
  std::string b = std::filesystem::path(rel).stem().string();
  for (char& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return b;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ExpectedOrder ExpectedFor(const NtxFixture& f) {
  for (const ExpectedOrder& o : testing::ReadExpectedOrders(Fixture(f.dump))) {
    std::string n = o.name;
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (n == BaseName(f.file)) return o;
  }
  ADD_FAILURE() << "no #order line for " << f.file;
  return {};
}

std::unique_ptr<NtxOrder> OpenFixture(const NtxFixture& f) {
  return NtxOrder::Open(OpenHostFile(Fixture(f.file), false), BaseName(f.file));
}

TEST(NtxTest, EveryFixtureOrderAgreesWithTheDump) {
  REQUIRE_FIXTURES();
  for (const NtxFixture& f : kNtxFixtures) {
    SCOPED_TRACE(f.file);
    const ExpectedOrder want = ExpectedFor(f);
    auto order = OpenFixture(f);
    const OrderInfo& info = order->Info();
    EXPECT_EQ(info.keyExpression, want.key);
    EXPECT_EQ(info.forExpression, want.condition);
    EXPECT_EQ(info.unique, want.unique);
    EXPECT_EQ(info.descending, want.descending);
    EXPECT_EQ(info.pageSize, 1024);
    EXPECT_EQ(order->KeyCount(), want.keyCount);
    const std::vector<KeyEntry> entries = order->Entries();
    EXPECT_EQ(Records(entries), want.records);
    // Backwards gives the same sequence reversed.
    std::vector<std::uint32_t> back;
    auto c = order->NewCursor();
    for (bool ok = c->Last(); ok; ok = c->Prev()) back.push_back(c->Current().recno);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, want.records);
    EXPECT_NO_THROW(order->Check());
  }
}

TEST(NtxTest, StoredKeysEqualTheEvaluatedKeysAndAFreshBuild) {
  REQUIRE_FIXTURES();
  for (const NtxFixture& f : kNtxFixtures) {
    SCOPED_TRACE(f.file);
    auto order = OpenFixture(f);
    TestDbf table(Fixture(f.table));
    const expr::KeyLayout layout = testing::LayoutOf(table, order->Info(), expr::KeyFormat::kNtx);
    std::vector<KeyEntry> computed = TableEntries(table, order->Info(), layout);
    const std::vector<KeyEntry> stored = order->Entries();
    // Each stored key is what the evaluator computes for its record.
    std::vector<KeyEntry> byRecord = computed;
    for (const KeyEntry& e : stored) {
      auto it = std::find_if(byRecord.begin(), byRecord.end(), [&](const KeyEntry& x) { return x.recno == e.recno; });
      ASSERT_NE(it, byRecord.end()) << "record " << e.recno;
      EXPECT_EQ(it->key, e.key) << "record " << e.recno;
    }
    // A build from the table's records holds the same entries, and the same bytes.
    NtxDefinition d{order->Info().keyExpression, order->Info().forExpression, order->Info().unique,
                    order->Info().descending, order->Info().keyLength, order->Info().keyDecimals};
    testsupport::TempDir dir;
    const std::string path = (dir.path() / "built.ntx").string();
    auto built = NtxOrder::Create(CreateHostFile(path), "BUILT", d, computed);
    EXPECT_EQ(built->Entries(), stored);
    EXPECT_NO_THROW(built->Check());
    // Built the way the DOS programs build: the same pages, so the same file size.
    EXPECT_EQ(std::filesystem::file_size(path), std::filesystem::file_size(Fixture(f.file)));
  }
}

TEST(NtxTest, SeeksExactSoftAndPartial) {
  REQUIRE_FIXTURES();
  auto order = OpenFixture(kNtxFixtures[1]);  // Upper( NOME ), 40 bytes
  auto c = order->NewCursor();
  const std::vector<KeyEntry> all = order->Entries();
  auto firstWithPrefix = [&](const std::string& p) {
    for (const KeyEntry& e : all)
      if (e.key.compare(0, p.size(), p) >= 0) return e;
    return KeyEntry{};
  };
  const struct {
    std::string key;
    bool found;
  } cases[] = {
      {"PEDRO" + std::string(35, ' '), true},  // exact full key
      {"PEDRO", true},                        // partial
      {"JO", true},
      {"PEDRX", false},  // soft: lands on the next key
      {"A", true},
      {"", true},        // empty key: the first entry
      {"\xFF", false},   // after the last key
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.key);
    EXPECT_EQ(c->Seek(k.key), k.found);
    const KeyEntry want = firstWithPrefix(k.key);
    if (want.recno == 0) {
      EXPECT_FALSE(c->Valid());
    } else {
      ASSERT_TRUE(c->Valid());
      EXPECT_EQ(c->Current(), want);
    }
  }
  // Seek-last lands on the last entry of the run of equal keys.
  ASSERT_TRUE(c->SeekLast("PEDRO "));
  const KeyEntry last = c->Current();
  EXPECT_EQ(last.key.substr(0, 6), "PEDRO ");
  ASSERT_TRUE(c->Next());
  EXPECT_NE(c->Current().key.substr(0, 6), "PEDRO ");
  // Find positions on one exact entry.
  EXPECT_TRUE(c->Find(all[123]));
  EXPECT_EQ(c->Current(), all[123]);
  EXPECT_FALSE(c->Find(KeyEntry{all[123].key, 99999}));
}

TEST(NtxTest, DescendingOrderSeeksInItsOwnDirection) {
  REQUIRE_FIXTURES();
  auto order = OpenFixture(kNtxFixtures[4]);  // VALOR descending
  auto c = order->NewCursor();
  const std::vector<KeyEntry> all = order->Entries();
  EXPECT_TRUE(c->Seek(all[10].key));
  EXPECT_EQ(c->Current(), all[10]);
  // A key between two stored ones lands on the smaller, the next in a descending walk.
  std::string between = all[10].key;
  between.back() = static_cast<char>(between.back() - 1);
  if (between > all[11].key) {
    EXPECT_FALSE(c->Seek(between));
    EXPECT_EQ(c->Current(), all[11]);
  }
}

// Entries sorted as an order walks them.
std::vector<KeyEntry> Sorted(std::vector<KeyEntry> v, bool descending, bool unique) {
  std::stable_sort(v.begin(), v.end(), [&](const KeyEntry& a, const KeyEntry& b) {
    if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
    return a.recno < b.recno;
  });
  if (unique)
    v.erase(std::unique(v.begin(), v.end(), [](const KeyEntry& a, const KeyEntry& b) { return a.key == b.key; }), v.end());
  return v;
}

TEST(NtxTest, RandomChangesOnCopiesEqualAFreshBuild) {
  REQUIRE_FIXTURES();
  for (int which : {0, 1, 2, 4}) {
    const NtxFixture& f = kNtxFixtures[which];
    SCOPED_TRACE(f.file);
    testsupport::TempDir dir;
    testsupport::CopyFixture(f.file, dir.path());
    const std::string path = (dir.path() / std::filesystem::path(f.file).filename()).string();
    auto order = NtxOrder::Open(OpenHostFile(path, true), "X");
    std::vector<KeyEntry> model = order->Entries();
    const int keyLength = order->Info().keyLength;
    std::mt19937 rng(1234 + which);
    auto c = order->NewCursor();
    ASSERT_TRUE(c->First());
    std::uint32_t nextRecno = 10000;
    for (int step = 0; step < 3000; ++step) {
      const int op = static_cast<int>(rng() % 10);
      if (op < 4 || model.empty()) {  // append a record with a key near an existing one
        std::string key = model.empty() ? std::string(static_cast<std::size_t>(keyLength), 'M')
                                        : model[rng() % model.size()].key;
        key[rng() % key.size()] = static_cast<char>('0' + rng() % 40);
        KeyEntry e{key, nextRecno++};
        ASSERT_TRUE(order->Insert(e));
        model.push_back(e);
      } else if (op < 8) {  // delete
        const std::size_t i = rng() % model.size();
        ASSERT_TRUE(order->Remove(model[i])) << step;
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
      } else {  // a key change
        const std::size_t i = rng() % model.size();
        KeyEntry after = model[i];
        after.key[rng() % after.key.size()] = static_cast<char>('A' + rng() % 26);
        order->Replace(model[i], after);
        model[i] = after;
      }
      // A cursor kept across the changes keeps walking.
      if (!c->Valid() || !c->Next()) c->First();
      if (step % 500 == 0) {
        ASSERT_EQ(order->Entries(), Sorted(model, order->Info().descending, false)) << step;
      }
    }
    EXPECT_FALSE(order->Remove(KeyEntry{std::string(static_cast<std::size_t>(keyLength), '#'), 1}));
    EXPECT_NO_THROW(order->Check());
    const std::vector<KeyEntry> want = Sorted(model, order->Info().descending, false);
    EXPECT_EQ(order->Entries(), want);
    EXPECT_EQ(order->KeyCount(), want.size());
    // Reopened from the disk the file holds the same, and so does a build.
    order.reset();
    auto again = NtxOrder::Open(OpenHostFile(path, true), "X");
    EXPECT_NO_THROW(again->Check());
    EXPECT_EQ(again->Entries(), want);
    const std::uint64_t sizeBefore = std::filesystem::file_size(path);
    // Deleting everything empties the tree and leaves the pages for reuse.
    for (const KeyEntry& e : want) ASSERT_TRUE(again->Remove(e));
    EXPECT_EQ(again->KeyCount(), 0u);
    EXPECT_NO_THROW(again->Check());
    for (std::size_t i = 0; i < want.size() && i < 300; ++i) ASSERT_TRUE(again->Insert(want[i]));
    EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);  // freed pages were taken again
    EXPECT_NO_THROW(again->Check());
    again->Build(model);
    EXPECT_EQ(again->Entries(), want);
  }
}

TEST(NtxTest, UniqueOrderKeepsTheFirstRecordOfAKey) {
  NtxDefinition d{"CIDADE", "", true, false, 4, 0};
  auto order = NtxOrder::Create(MemoryFile(""), "U", d, {{"BBBB", 5}, {"AAAA", 3}, {"BBBB", 2}});
  EXPECT_EQ(Records(order->Entries()), (std::vector<std::uint32_t>{3, 2}));
  EXPECT_FALSE(order->Insert({"AAAA", 9}));
  EXPECT_TRUE(order->Insert({"CCCC", 9}));
  EXPECT_EQ(order->KeyCount(), 3u);
  EXPECT_THROW(order->Insert({"TOOLONG", 1}), IndexError);
}

TEST(NtxTest, EmptyOrderAndLargeBuild) {
  NtxDefinition d{"CODIGO", "", false, false, 6, 0};
  auto order = NtxOrder::Create(MemoryFile(""), "E", d, {});
  auto c = order->NewCursor();
  EXPECT_FALSE(c->First());
  EXPECT_FALSE(c->Last());
  EXPECT_FALSE(c->Seek("1"));
  EXPECT_EQ(order->KeyCount(), 0u);
  std::vector<KeyEntry> many;
  for (std::uint32_t i = 1; i <= 100000; ++i) {  // more pages than the cache keeps
    char key[8];
    std::snprintf(key, sizeof key, "%06u", (i * 7919u) % 1000000u);
    many.push_back({key, i});
  }
  order->Build(many);
  EXPECT_EQ(order->KeyCount(), many.size());
  EXPECT_NO_THROW(order->Check());
  EXPECT_EQ(order->Entries(), Sorted(many, false, false));
  for (std::uint32_t i = 0; i < 2000; ++i) ASSERT_TRUE(order->Remove(many[i * 37]));
  EXPECT_EQ(order->KeyCount(), many.size() - 2000);
  EXPECT_NO_THROW(order->Check());
}

// Runs every reading operation and expects only clean errors.
void ExpectCleanFailure(const std::string& bytes) {
  try {
    auto order = NtxOrder::Open(MemoryFile(bytes, "bad.ntx"), "BAD");
    order->Check();
    ADD_FAILURE() << "the damage went unnoticed";
  } catch (const IndexError& e) {
    EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << e.what();
  }
}

void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

TEST(NtxTest, CorruptFilesGiveClearErrors) {
  REQUIRE_FIXTURES();
  const std::string good = ReadAll(Fixture("ntx/peocod.ntx"));  // root at 8192, leaves 1024..7168
  ASSERT_EQ(good.size(), 9216u);
  {
    std::string s = good;
    Put16(s, 0, 0x1234);  // signature
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    Put32(s, 4, 90000);  // root past the end
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    Put16(s, 1024, 500);  // count beyond the page
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    Put16(s, 1024 + 2, 1020);  // an item offset outside the page
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    const unsigned slot = static_cast<unsigned char>(s[8192 + 2]) | (static_cast<unsigned char>(s[8192 + 3]) << 8);
    Put32(s, 8192 + slot, 8192);  // the root's first child is the root: a cycle
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    const unsigned slot = static_cast<unsigned char>(s[2048 + 2]) | (static_cast<unsigned char>(s[2048 + 3]) << 8);
    Put32(s, 2048 + slot, 1024);  // a leaf pointing at another leaf: mixed page, or a shared page
    ExpectCleanFailure(s);
  }
  {
    std::string s = good;
    const unsigned slot = static_cast<unsigned char>(s[1024 + 2]) | (static_cast<unsigned char>(s[1024 + 3]) << 8);
    s[1024 + slot + 8] = '9';  // first key of the first leaf now sorts after its neighbours
    ExpectCleanFailure(s);
  }
  ExpectCleanFailure(good.substr(0, 1500));  // truncated
  // A walk over a page cycle ends with an error, not a hang.
  std::string s = good;
  const unsigned slot = static_cast<unsigned char>(s[8192 + 2]) | (static_cast<unsigned char>(s[8192 + 3]) << 8);
  Put32(s, 8192 + slot, 8192);
  try {
    auto order = NtxOrder::Open(MemoryFile(s), "C");
    order->Entries();
    ADD_FAILURE();
  } catch (const IndexError&) {
  }
}

// Searches read pages where they lie: a page is checked when it is read, so a damaged page
// fails the seek cleanly, and a sound page laid out unusually still serves it.
TEST(NtxTest, SeeksCheckThePagesTheyRead) {
  testsupport::TempDir dir;
  const std::string path = (dir.path() / "k.ntx").string();
  std::vector<KeyEntry> entries;
  for (std::uint32_t i = 1; i <= 200; ++i) {  // 8-byte keys: several leaves under one root
    char key[9];
    std::snprintf(key, sizeof key, "%08u", i * 10);
    entries.push_back({key, i});
  }
  NtxOrder::Create(CreateHostFile(path), "K", NtxDefinition{"K", "", false, false, 8, 0}, entries);
  const std::string good = ReadAll(path);
  // The first leaf is the first page; item places start after the offset table of 55 slots.
  const std::size_t leaf = 1024, lowest = 2 + 55 * 2, itemSize = 16;
  auto slot = [&](const std::string& s, std::size_t i) {
    return static_cast<std::size_t>(static_cast<unsigned char>(s[leaf + 2 + 2 * i]) |
                                    (static_cast<unsigned char>(s[leaf + 3 + 2 * i]) << 8));
  };
  ASSERT_EQ(slot(good, 0), lowest);
  auto seekFirstKey = [](const std::string& bytes) {
    auto order = NtxOrder::Open(MemoryFile(bytes, "k.ntx"), "K");
    auto c = order->NewCursor();
    return c->Seek("00000010") && c->Current().recno == 1;
  };
  ASSERT_TRUE(seekFirstKey(good));
  struct Damage {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const Damage damages[] = {
      {"two items at one place", [&](std::string& s) { Put16(s, leaf + 2 + 2, static_cast<unsigned>(slot(s, 0))); }},
      {"items overlapping off the grid", [&](std::string& s) { Put16(s, leaf + 2 + 2, static_cast<unsigned>(lowest + 3)); }},
      {"an item offset outside the page", [&](std::string& s) { Put16(s, leaf + 2, 1020); }},
      {"an item offset inside the offset table", [&](std::string& s) { Put16(s, leaf + 2, 8); }},
      {"a leaf item with a child", [&](std::string& s) { Put32(s, leaf + slot(s, 1), 2048); }},
      {"a child past the end", [&](std::string& s) { Put32(s, leaf + slot(s, 1), 1u << 30); }},
  };
  for (const Damage& d : damages) {
    std::string s = good;
    d.apply(s);
    try {
      seekFirstKey(s);
      ADD_FAILURE() << d.what << ": the damage went unnoticed";
    } catch (const IndexError& e) {
      EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << d.what << ": " << e.what();
    }
  }
  // The first item moved to the spare bytes behind the grid: off the grid, yet sound.
  std::string moved = good;
  const std::size_t spare = lowest + 55 * itemSize + 8;
  ASSERT_LE(spare + itemSize, 1024u);
  moved.replace(leaf + spare, itemSize, good, leaf + lowest, itemSize);
  Put16(moved, leaf + 2, static_cast<unsigned>(spare));
  EXPECT_TRUE(seekFirstKey(moved));
}

}  // namespace
}  // namespace xbe::index
