#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/index_error.h"
#include "tests/platform/xbe/index/test_dbf.h"
#include "tests/platform/xbe/index/test_keys.h"
#include "testsupport.h"

namespace xbe::index {
namespace {

using testing::Records;
using testing::TableEntries;
using testing::TestDbf;

std::string Fixture(const std::string& rel) { return (testsupport::FixturesDir() / rel).string(); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CdxFile::KeyTypeOf TypesOf(TestDbf& table) {
  return [&table](const std::string& e) { return expr::Expression::Compile(e, table).ResultType(); };
}

std::unique_ptr<CdxFile> OpenStock(TestDbf& table, std::unique_ptr<BlockFile> file = nullptr) {
  if (!file) file = OpenHostFile(Fixture("cdx/STOCK.cdx"), false);
  return CdxFile::Open(std::move(file), TypesOf(table));
}

// A key that extends the previous one shares the previous key's dropped fill too, as the
// reference files' writer packs its leaves: "AA" then "AA 1" share "AA " and store "1".
TEST(CdxTest, LeafKeysShareThePreviousKeysDroppedFill) {
  cdx::Node n;
  n.attributes = cdx::kLeaf | cdx::kRoot;
  const char* const keys[] = {"AA        ", "AA 1      ", "AB        ", "AB        ", "B         ", "          "};
  std::uint32_t recno = 1;
  for (const char* k : keys) n.entries.push_back({k, recno++, 0});
  unsigned char raw[cdx::kNodeSize];
  ASSERT_TRUE(cdx::EncodeNode(n, 10, ' ', raw));
  // Entries: 16 record bits, 4 duplicate bits, 4 trailing bits in 3 bytes.
  auto dup = [&](int i) { return (raw[24 + 3 * i + 2] & 0x0F); };
  EXPECT_EQ(dup(1), 3);
  EXPECT_EQ(dup(3), 2);
  // Stored bytes: "AA", "1", "B", "", "B", "" — the free space tells.
  EXPECT_EQ(raw[12] | (raw[13] << 8), 512 - 24 - 6 * 3 - 5);
  const cdx::Node back = cdx::DecodeNode(raw, 1024, 10, ' ', 1u << 20, "leaf");
  ASSERT_EQ(back.entries.size(), n.entries.size());
  for (std::size_t i = 0; i < n.entries.size(); ++i) {
    EXPECT_EQ(back.entries[i].key, n.entries[i].key);
    EXPECT_EQ(back.entries[i].recno, n.entries[i].recno);
  }
  EXPECT_TRUE(cdx::LeafFits(n.entries, 0, n.entries.size(), 10, ' '));
}

TEST(CdxTest, EveryTagAgreesWithTheDump) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  auto cdx = OpenStock(table);
  const auto expected = testing::ReadExpectedOrders(Fixture("expected/stock.txt"));
  ASSERT_EQ(cdx->Tags().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const testing::ExpectedOrder& want = expected[i];
    SCOPED_TRACE(want.name);
    CdxTag* tag = cdx->Tags()[i];  // in the order the tags were made
    EXPECT_EQ(tag, cdx->FindTag(want.name));
    const OrderInfo& info = tag->Info();
    EXPECT_EQ(info.name, want.name);
    EXPECT_EQ(info.keyExpression, want.key);
    EXPECT_EQ(info.forExpression, want.condition);
    EXPECT_EQ(info.unique, want.unique);
    EXPECT_EQ(info.descending, want.descending);
    EXPECT_EQ(info.pageSize, 512);
    EXPECT_EQ(tag->KeyCount(), want.keyCount);
    EXPECT_EQ(Records(tag->Entries()), want.records);
    std::vector<std::uint32_t> back;
    auto c = tag->NewCursor();
    for (bool ok = c->Last(); ok; ok = c->Prev()) back.push_back(c->Current().recno);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, want.records);
  }
  EXPECT_NO_THROW(cdx->Check());
  EXPECT_EQ(cdx->FindTag("nosuch"), nullptr);
  EXPECT_EQ(cdx->FindTag("descr"), cdx->Tags()[1]);
}

TEST(CdxTest, StoredKeysEqualTheEvaluatedKeysAndAFreshBuild) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  auto cdx = OpenStock(table);
  auto fresh = CdxFile::Create(MemoryFile("", "fresh.cdx"));
  for (CdxTag* tag : cdx->Tags()) {
    SCOPED_TRACE(tag->Info().name);
    const expr::KeyLayout layout = testing::LayoutOf(table, tag->Info(), expr::KeyFormat::kCdx);
    const std::vector<KeyEntry> computed = TableEntries(table, tag->Info(), layout);
    const std::vector<KeyEntry> stored = tag->Entries();
    for (const KeyEntry& e : stored) {
      auto it = std::find_if(computed.begin(), computed.end(), [&](const KeyEntry& x) { return x.recno == e.recno; });
      ASSERT_NE(it, computed.end());
      EXPECT_EQ(it->key, e.key) << "record " << e.recno;
    }
    CdxTagDefinition d{tag->Info().name, tag->Info().keyExpression, tag->Info().forExpression, tag->Info().unique,
                       tag->Info().descending, tag->Info().keyLength, layout.type};
    CdxTag& built = fresh->AddTag(d, computed);
    EXPECT_EQ(built.Entries(), stored);
  }
  EXPECT_NO_THROW(fresh->Check());
  // The new file reads back with the same tags.
  EXPECT_EQ(fresh->Tags().size(), 5u);
}

std::vector<KeyEntry> SortedAscending(std::vector<KeyEntry> v, bool descending) {
  std::sort(v.begin(), v.end(), [](const KeyEntry& a, const KeyEntry& b) {
    return a.key != b.key ? a.key < b.key : a.recno < b.recno;
  });
  if (descending) std::reverse(v.begin(), v.end());
  return v;
}

TEST(CdxTest, RandomChangesOnACopyEqualAFreshBuild) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  testsupport::TempDir dir;
  testsupport::CopyFixture("cdx/STOCK.cdx", dir.path());
  const std::string path = (dir.path() / "STOCK.cdx").string();
  std::vector<std::vector<KeyEntry>> models;
  {
    auto cdx = OpenStock(table, OpenHostFile(path, true));
    for (CdxTag* t : cdx->Tags()) models.push_back(t->Entries());
    std::mt19937 rng(77);
    std::uint32_t nextRecno = 301;
    for (int step = 0; step < 4000; ++step) {
      const std::size_t which = rng() % models.size();
      CdxTag* tag = cdx->Tags()[which];
      std::vector<KeyEntry>& model = models[which];
      const int op = static_cast<int>(rng() % 10);
      if (op < 5 || model.empty()) {
        std::string key = model.empty() ? std::string(static_cast<std::size_t>(tag->Info().keyLength), 'A')
                                        : model[rng() % model.size()].key;
        // Vary a byte, often leaving trailing fill so the compression is exercised.
        key[rng() % key.size()] = static_cast<char>(rng() % 3 == 0 ? ' ' : 'A' + rng() % 26);
        KeyEntry e{key, rng() % 8 == 0 ? 70000 + nextRecno++ : nextRecno++};  // some records need more bits
        const bool added = tag->Insert(e);
        const bool present = std::any_of(model.begin(), model.end(), [&](const KeyEntry& x) { return x.key == e.key; });
        if (tag->Info().unique) {
          ASSERT_EQ(added, !present);
        } else {
          ASSERT_TRUE(added);
        }
        if (added) model.push_back(e);
      } else {
        const std::size_t i = rng() % model.size();
        ASSERT_TRUE(tag->Remove(model[i])) << step;
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
      }
      if (step % 1000 == 999) {
        for (std::size_t k = 0; k < models.size(); ++k)
          ASSERT_EQ(cdx->Tags()[k]->Entries(), SortedAscending(models[k], cdx->Tags()[k]->Info().descending));
        ASSERT_NO_THROW(cdx->Check());
      }
    }
  }
  auto again = OpenStock(table, OpenHostFile(path, true));
  EXPECT_NO_THROW(again->Check());
  for (std::size_t k = 0; k < models.size(); ++k) {
    CdxTag* tag = again->Tags()[k];
    const std::vector<KeyEntry> want = SortedAscending(models[k], tag->Info().descending);
    EXPECT_EQ(tag->Entries(), want);
    EXPECT_EQ(tag->KeyCount(), want.size());
    const auto size = std::filesystem::file_size(path);
    tag->Build(models[k]);  // the old nodes go to the free list and are used again
    EXPECT_EQ(tag->Entries(), want);
    EXPECT_LE(std::filesystem::file_size(path), size);
    for (const KeyEntry& e : want) ASSERT_TRUE(tag->Remove(e));
    EXPECT_EQ(tag->KeyCount(), 0u);
    EXPECT_FALSE(tag->NewCursor()->First());
  }
  EXPECT_NO_THROW(again->Check());
}

TEST(CdxTest, SeeksInBothDirections) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  auto cdx = OpenStock(table);
  CdxTag* descr = cdx->FindTag("DESCR");
  auto c = descr->NewCursor();
  const std::vector<KeyEntry> all = descr->Entries();
  auto firstFrom = [&](const std::string& p) {
    for (const KeyEntry& e : all)
      if (e.key.compare(0, p.size(), p) >= 0) return e;
    return KeyEntry{};
  };
  for (const std::string& key : {std::string("PEDRO"), std::string("JO"), std::string("PEDRX"), std::string(""),
                                all[57].key, std::string("\xFF")}) {
    SCOPED_TRACE(key);
    const KeyEntry want = firstFrom(key);
    EXPECT_EQ(c->Seek(key), want.recno != 0 && want.key.compare(0, key.size(), key) == 0);
    if (want.recno == 0) EXPECT_FALSE(c->Valid());
    else EXPECT_EQ(c->Current(), want);
  }
  ASSERT_TRUE(c->SeekLast("ZULEICA"));
  ASSERT_TRUE(c->Next() == false || c->Current().key.compare(0, 7, "ZULEICA") != 0);
  // A descending tag: the walk starts at the largest price; a seek lands on the first key not
  // above the one sought.
  CdxTag* preco = cdx->FindTag("PRECO");
  const std::vector<KeyEntry> prices = preco->Entries();
  auto p = preco->NewCursor();
  EXPECT_TRUE(p->Seek(prices[20].key));
  EXPECT_EQ(p->Current(), prices[20]);
  std::string between = prices[20].key;
  between.back() = static_cast<char>(between.back() - 1);
  if (between > prices[21].key) {
    EXPECT_FALSE(p->Seek(between));
    EXPECT_EQ(p->Current(), prices[21]);
  }
  EXPECT_TRUE(p->Find(prices[100]));
  EXPECT_TRUE(p->Next());
  EXPECT_EQ(p->Current(), prices[101]);
}

TEST(CdxTest, LargeTagsBuildWalkAndShrink) {
  auto cdx = CdxFile::Create(MemoryFile("", "large.cdx"));
  std::vector<KeyEntry> many;
  std::mt19937 rng(5);
  for (std::uint32_t i = 1; i <= 150000; ++i) {  // more nodes than the cache keeps
    std::string key = "K" + std::to_string(rng() % 100000);
    key.resize(12, ' ');
    many.push_back({key, i});
  }
  CdxTag& tag = cdx->AddTag({"BIG", "NAME", "", false, false, 12, expr::Type::kCharacter}, many);
  EXPECT_EQ(tag.KeyCount(), many.size());
  EXPECT_EQ(tag.Entries(), SortedAscending(many, false));
  for (std::uint32_t i = 0; i < 3000; ++i) ASSERT_TRUE(tag.Remove(many[i * 41]));
  for (std::uint32_t i = 0; i < 3000; ++i) ASSERT_TRUE(tag.Insert({many[i * 41].key, 200000 + i}));
  EXPECT_EQ(tag.KeyCount(), many.size());
  EXPECT_NO_THROW(cdx->Check());
}

void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

void ExpectCleanFailure(const std::string& bytes, TestDbf& table) {
  try {
    auto cdx = CdxFile::Open(MemoryFile(bytes, "bad.cdx"), TypesOf(table));
    for (CdxTag* t : cdx->Tags()) {
      t->Entries();
      t->KeyCount();
    }
    cdx->Check();
    ADD_FAILURE() << "the damage went unnoticed";
  } catch (const IndexError& e) {
    EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << e.what();
  }
}

TEST(CdxTest, CorruptFilesGiveClearErrors) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  const std::string good = ReadAll(Fixture("cdx/STOCK.cdx"));
  // ITEM: root branch at 3584 over leaves 2560..5632.
  {
    std::string s = good;
    Put16(s, 2560 + 2, 400);  // a leaf count beyond the node
    ExpectCleanFailure(s, table);
  }
  {
    std::string s = good;
    s[2560 + 23] = 9;  // bytes per key beyond the layout
    ExpectCleanFailure(s, table);
  }
  {
    std::string s = good;
    s[3584 + 12 + 10 + 4 + 2] = 0x0E;  // the first child of the root is the root
    s[3584 + 12 + 10 + 4 + 3] = 0x00;
    ExpectCleanFailure(s, table);
  }
  {
    std::string s = good;
    s[3584 + 12] = 'Z';  // a branch key that is not the last key below it
    ExpectCleanFailure(s, table);
  }
  {
    std::string s = good;
    s[3584 + 12 + 10 + 4] = 0x7F;  // a child past the end of the file
    ExpectCleanFailure(s, table);
  }
  {
    std::string s = good;
    s[2560 + 504] = '9';  // the first leaf's first key ("IT00156157", at its end) now sorts last
    ExpectCleanFailure(s, table);
  }
  ExpectCleanFailure(good.substr(0, 1000), table);
}

// A seek passes over leaf keys without building them; it must land where comparing every built
// key lands, and build the key it lands on, over leaves of many shapes and keys of every length.
TEST(CdxTest, SeekScanAgreesWithBuildingEveryKey) {
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    const int klen = 1 + static_cast<int>(rng() % 12);
    const char pad = rng() % 2 ? ' ' : '\0';
    const char alphabet[] = {pad, 'A', 'B', '\x01', '\xFF'};
    std::vector<std::string> keys;
    const std::size_t count = 1 + rng() % 40;
    for (std::size_t i = 0; i < count; ++i) {
      std::string k(static_cast<std::size_t>(klen), pad);
      const std::size_t used = rng() % (klen + 1);
      for (std::size_t j = 0; j < used; ++j) k[j] = alphabet[rng() % 5];
      keys.push_back(k);
    }
    std::sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
      return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
      });
    });
    cdx::Node leaf;
    leaf.attributes = cdx::kLeaf | cdx::kRoot;
    for (std::size_t i = 0; i < count; ++i) leaf.entries.push_back({keys[i], static_cast<std::uint32_t>(i + 1), 0});
    unsigned char raw[cdx::kNodeSize + 8] = {};
    if (!cdx::EncodeNode(leaf, klen, pad, raw)) continue;
    const cdx::NodeView view(raw, 1024, klen, "leaf");
    for (int probe = 0; probe < 30; ++probe) {
      std::string want(rng() % (klen + 3), pad);
      for (char& c : want) c = alphabet[rng() % 5];
      if (probe % 3 == 0) want = keys[rng() % count].substr(0, rng() % (klen + 1));  // a stored key's start
      for (const bool strict : {false, true}) {
        auto after = [&](std::string_view stored, std::uint32_t) {
          const std::size_t n = std::min(stored.size(), want.size());
          int c = std::memcmp(stored.data(), want.data(), n);
          if (c == 0 && stored.size() < want.size()) c = -1;
          return strict ? c > 0 : c >= 0;
        };
        cdx::LeafReader everyKey, seek;
        everyKey.Reset(1024, 1, klen, pad);
        seek.Reset(1024, 1, klen, pad);
        const std::size_t expected = everyKey.Scan(view, after, "leaf");
        const std::size_t got = seek.SeekScan(view, want, strict, "leaf");
        ASSERT_EQ(got, expected) << "round " << round << " probe " << probe;
        if (got < count) {
          EXPECT_EQ(std::string(seek.Key(view, got, "leaf"), klen), keys[got]);
          if (got + 1 < count) {
            EXPECT_EQ(std::string(seek.Key(view, got + 1, "leaf"), klen), keys[got + 1]);
          }
          if (got > 0) {
            EXPECT_EQ(std::string(seek.Key(view, got - 1, "leaf"), klen), keys[got - 1]);
          }
        }
      }
    }
  }
}

// Seeks read nodes in place and decode leaf keys only as far as they go: what they read is
// checked as it is read.
TEST(CdxTest, SeeksCheckTheNodesTheyRead) {
  REQUIRE_FIXTURES();
  TestDbf table(Fixture("cdx/STOCK.dbf"));
  const std::string good = ReadAll(Fixture("cdx/STOCK.cdx"));
  // ITEM: root branch at 3584 over leaves 2560..5632; the first leaf's first key is its smallest.
  const std::size_t root = 3584, leaf = 2560;
  auto byte = [](const std::string& s, std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(s[at])); };
  const unsigned recnoBits = byte(good, leaf + 20), dupBits = byte(good, leaf + 21), bytes = byte(good, leaf + 23);
  auto seekSmallest = [&](const std::string& s) {
    auto cdx = CdxFile::Open(MemoryFile(s, "stock.cdx"), TypesOf(table));
    auto c = cdx->FindTag("ITEM")->NewCursor();
    return c->Seek("IT00156157");
  };
  ASSERT_TRUE(seekSmallest(good));
  // Sets bits of a leaf entry's packed record number and counts.
  auto orInfo = [&](std::string& s, std::size_t entry, std::uint64_t bits) {
    for (unsigned b = 0; b < bytes; ++b) s[leaf + 24 + entry * bytes + b] |= static_cast<char>(bits >> (8 * b));
  };
  struct Damage {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const Damage damages[] = {
      {"unknown attributes of the root", [&](std::string& s) { Put16(s, root, 9); }},
      {"a branch count beyond the node", [&](std::string& s) { Put16(s, root + 2, 60); }},
      {"the root as its own first child", [&](std::string& s) { s[root + 12 + 14] = 0x0E; s[root + 12 + 15] = 0x00; }},
      {"a leaf count beyond the node", [&](std::string& s) { Put16(s, leaf + 2, 400); }},
      {"bytes per key beyond the layout", [&](std::string& s) { s[leaf + 23] = 9; }},
      {"a first key sharing bytes", [&](std::string& s) { orInfo(s, 0, std::uint64_t{1} << recnoBits); }},
      {"counts longer than the key", [&](std::string& s) { orInfo(s, 0, ~std::uint64_t{0} << (recnoBits + dupBits)); }},
      {"keys reaching into the key table", [&](std::string& s) { Put16(s, leaf + 2, (512 - 24) / bytes); }},
  };
  for (const Damage& d : damages) {
    std::string s = good;
    d.apply(s);
    try {
      seekSmallest(s);
      ADD_FAILURE() << d.what << ": the damage went unnoticed";
    } catch (const IndexError& e) {
      EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << d.what << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace xbe::index
