// A cursor keeps being used after a damaged page or node failed its check: every later call
// answers the corrupt-file error again or works, and nothing read before the failure is taken
// for what the failing call left behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/ntx_order.h"

namespace xbe::index {
namespace {

void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

std::string Contents(BlockFile& f) {
  std::string out(f.Size(), '\0');
  f.Read(0, out.data(), out.size());
  return out;
}

std::string Key(std::uint32_t i, std::size_t length) {
  char k[16];
  std::snprintf(k, sizeof k, "K%04u", i);
  std::string s = k;
  s.resize(length, ' ');
  return s;
}

// The call fails with the corrupt-file error and leaves the cursor off the order.
void ExpectCorrupt(const std::function<void()>& call, const OrderCursor& c, const char* what) {
  try {
    call();
    ADD_FAILURE() << what << ": the damage went unnoticed";
  } catch (const IndexError& e) {
    EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << what << ": " << e.what();
  }
  EXPECT_FALSE(c.Valid()) << what << ": the cursor kept its place";
}

constexpr std::uint32_t kKeys = 400;

// One tag over several leaves; `lastLeaf` is the node holding its largest keys.
std::string BuiltCdx(std::uint32_t* lastLeaf) {
  auto file = MemoryFile("");
  BlockFile* raw = file.get();
  auto cdx = CdxFile::Create(std::move(file));
  std::vector<KeyEntry> entries;
  for (std::uint32_t i = 1; i <= kKeys; ++i) entries.push_back({Key(i, 10), i});
  CdxTag& tag = cdx->AddTag({"NAME", "NAME", "", false, false, 10, expr::Type::kCharacter}, entries);
  CdxTag::Path path;
  EXPECT_TRUE(tag.Edge(true, &path));
  EXPECT_GT(path.size(), 1u);
  *lastLeaf = path.back().node;
  return Contents(*raw);
}

// A node that fails its check while it is read in place leaves nothing behind that a later
// read of another node would take for that node's view.
TEST(FailedCheck, CdxNodeLeavesNoViewBehind) {
  std::uint32_t leaf = 0;
  const std::string good = BuiltCdx(&leaf);
  struct Damage {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const Damage damages[] = {
      {"unknown attributes and a count past the node", [&](std::string& s) { Put16(s, leaf, 0x12); Put16(s, leaf + 2, 16128); }},
      {"duplicate bits past the key layout", [&](std::string& s) { s[leaf + 21] = 99; }},
  };
  for (const Damage& d : damages) {
    std::string s = good;
    d.apply(s);
    auto cdx = CdxFile::Open(MemoryFile(s, "t.cdx"));
    CdxTag* tag = cdx->FindTag("NAME");
    ASSERT_NE(tag, nullptr);
    auto c = tag->NewCursor();
    ASSERT_TRUE(c->First()) << d.what;
    const std::string last = Key(kKeys, 10);
    // The first read fills the cache, the second finds the node there: every one fails alike.
    for (int round = 0; round < 3; ++round) {
      ExpectCorrupt([&] { c->Last(); }, *c, d.what);
      ExpectCorrupt([&] { c->Seek(last); }, *c, d.what);
      EXPECT_FALSE(c->Next()) << d.what;
      ASSERT_TRUE(c->Seek(Key(1, 10))) << d.what;
      EXPECT_EQ(c->Current().recno, 1u);
    }
    try {
      tag->KeyCount();
      ADD_FAILURE() << d.what << ": counted";
    } catch (const IndexError&) {
    }
  }
}

// Leaves of 8-byte keys under one root; `lastLeaf` is the one holding the largest keys.
std::string BuiltNtx(std::uint32_t* lastLeaf) {
  auto file = MemoryFile("");
  BlockFile* raw = file.get();
  std::vector<KeyEntry> entries;
  for (std::uint32_t i = 1; i <= 200; ++i) entries.push_back({Key(i, 8), i});
  auto order = NtxOrder::Create(std::move(file), "K", NtxDefinition{"K", "", false, false, 8, 0}, entries);
  NtxOrder::Path path;
  order->DescendLast(order->Root(), &path);
  EXPECT_GT(path.size(), 1u);
  *lastLeaf = path.back().page;
  return Contents(*raw);
}

// A page that fails its check gives up its cache slot; a damaged link to offset 0, the mark of
// a free slot, must not find that slot's bytes.
TEST(FailedCheck, NtxLinkToOffsetZeroFindsNoFreeSlot) {
  std::uint32_t leaf = 0;
  std::string s = BuiltNtx(&leaf);
  Put16(s, leaf, 500);  // a count beyond the page
  auto order = NtxOrder::Open(MemoryFile(s, "k.ntx"), "K");
  auto c = order->NewCursor();
  ASSERT_TRUE(c->First());
  ExpectCorrupt([&] { c->Last(); }, *c, "the last leaf");
  try {
    order->View(0);
    ADD_FAILURE() << "a link to offset 0 was followed";
  } catch (const IndexError& e) {
    EXPECT_EQ(e.kind(), IndexErrorKind::kCorrupt) << e.what();
  }
}

// A walk that fails part way down leaves no half-built path for the next step to follow.
TEST(FailedCheck, NtxCursorKeepsNoPathThatStopsShort) {
  std::uint32_t leaf = 0;
  std::string s = BuiltNtx(&leaf);
  Put16(s, leaf, 500);
  auto order = NtxOrder::Open(MemoryFile(s, "k.ntx"), "K");
  auto c = order->NewCursor();
  const std::string last = Key(200, 8);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(c->First());
    ExpectCorrupt([&] { c->Last(); }, *c, "last");
    EXPECT_FALSE(c->Next());
    EXPECT_FALSE(c->Prev());
    ASSERT_TRUE(c->Seek(Key(1, 8)));
    ExpectCorrupt([&] { c->Seek(last); }, *c, "seek");
    EXPECT_FALSE(c->Next());
    // Stepping forwards into the damaged leaf fails on every try.
    ASSERT_TRUE(c->First());
    ExpectCorrupt([&] {
      for (int i = 0; i < 400 && c->Next();) ++i;
    }, *c, "walk");
  }
}

}  // namespace
}  // namespace xbe::index
