// A process killed in the middle of an index change leaves the writes it made so far: after every
// single write, the file must read as a sound tree holding either every entry it held before the
// change or every entry after it, whatever the change (NTX: splits, borrows, merges, a new or a
// vanished root, a branch item replaced by its predecessor; CDX: splits, branch keys, emptied
// nodes, a new or a vanished root), and for a CDX file also along its sibling links both ways.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/cdx_node.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/ntx_order.h"
#include "testsupport.h"

namespace {

using xbe::index::KeyEntry;
using xbe::index::NtxOrder;

// A file in memory that keeps, while recording, every write in the order it was made.
class RecordingFile final : public xbe::index::BlockFile {
 public:
  struct Written {
    std::uint64_t offset;
    std::string bytes;  // a truncation when `truncate`
    bool truncate = false;
  };
  explicit RecordingFile(std::string* data, std::vector<Written>* log) : data_(*data), log_(*log) {}

  void Read(std::uint64_t offset, void* buffer, std::size_t n) override {
    if (offset > data_.size() || n > data_.size() - offset)
      xbe::index::Corrupt(name_, "read past the end of the file at offset " + std::to_string(offset));
    std::memcpy(buffer, data_.data() + offset, n);
  }
  void Write(std::uint64_t offset, const void* data, std::size_t n) override {
    log_.push_back({offset, std::string(static_cast<const char*>(data), n)});
    Apply(data_, log_.back());
  }
  std::uint64_t Size() override { return data_.size(); }
  void Truncate(std::uint64_t size) override {
    log_.push_back({size, "", true});
    Apply(data_, log_.back());
  }
  bool Writable() const override { return true; }
  const std::string& Name() const override { return name_; }

  static void Apply(std::string& image, const Written& w) {
    if (w.truncate) {
      image.resize(w.offset, '\0');
      return;
    }
    if (image.size() < w.offset + w.bytes.size()) image.resize(w.offset + w.bytes.size(), '\0');
    std::memcpy(image.data() + w.offset, w.bytes.data(), w.bytes.size());
  }

 private:
  std::string& data_;
  std::vector<Written>& log_;
  std::string name_ = "cut.ntx";
};

std::string Key(unsigned n) {
  std::string k = "K" + std::to_string(100000 + n);
  k.resize(40, ' ');  // few items a page: many splits and merges
  return k;
}

std::vector<KeyEntry> ReadBack(const std::string& image) {
  auto order = NtxOrder::Open(xbe::index::MemoryFile(image, "cut.ntx"), "CUT");
  order->Check();
  return order->Entries();
}

// Random inserts, then mostly removals until the tree is small again; after each change, the
// file as each prefix of its writes left it must hold the entries of before or of after.
template <class Change, class ReadAll>
void CutEveryChange(xbe::index::Order& order, std::string& data, std::vector<RecordingFile::Written>& log,
                    std::vector<KeyEntry> live, const Change& change, const ReadAll& readAll) {
  std::mt19937 random(11);
  std::uint32_t nextRecno = 1000;
  int structural = 0;
  for (int step = 0; step < 600; ++step) {
    // Grow the tree first, then shrink it to a page or two, so that roots come and go.
    const bool insert = step < 200 ? random() % 4 != 0 : random() % 10 == 0 || live.empty();
    const std::string before = data;
    const std::vector<KeyEntry> entriesBefore = order.Entries();
    log.clear();
    if (insert) {
      KeyEntry e{Key(static_cast<unsigned>(random() % 1000)), nextRecno++};
      ASSERT_TRUE(change(true, e));
      live.push_back(e);
    } else {
      const std::size_t i = random() % live.size();
      ASSERT_TRUE(change(false, live[i]));
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
    }
    const std::vector<KeyEntry> entriesAfter = order.Entries();
    ASSERT_EQ(entriesAfter.size(), live.size());
    if (log.size() > 3) ++structural;
    // Cut after each write in turn.
    std::string image = before;
    for (std::size_t k = 0; k < log.size(); ++k) {
      RecordingFile::Apply(image, log[k]);
      SCOPED_TRACE("step " + std::to_string(step) + (insert ? " (insert)" : " (remove)") + ", cut after write " +
                   std::to_string(k + 1) + " of " + std::to_string(log.size()));
      readAll(image, [&](const std::vector<KeyEntry>& seen, const char* how) {
        EXPECT_TRUE(seen == entriesBefore || seen == entriesAfter)
            << how << ": the file holds " << seen.size() << " entries; " << entriesBefore.size() << " before and "
            << entriesAfter.size() << " after the change";
      });
      if (::testing::Test::HasFailure()) return;
    }
  }
  EXPECT_GT(structural, 20) << "the changes should have split and merged pages";
  EXPECT_LT(live.size(), 20u) << "the tree should have shrunk back";
}

TEST(CutChange, NtxEveryWriteLeavesTheTreeBeforeOrAfterTheChange) {
  std::string data;
  std::vector<RecordingFile::Written> log;
  xbe::index::NtxDefinition d;
  d.keyExpression = "K";
  d.keyLength = 40;
  std::vector<KeyEntry> start;
  for (unsigned i = 0; i < 120; ++i) start.push_back({Key(i * 2), i + 1});
  auto order = NtxOrder::Create(std::make_unique<RecordingFile>(&data, &log), "CUT", d, start);
  CutEveryChange(
      *order, data, log, start,
      [&](bool insert, const KeyEntry& e) { return insert ? order->Insert(e) : order->Remove(e); },
      [](const std::string& image, const auto& expect) {
        std::vector<KeyEntry> seen;
        EXPECT_NO_THROW(seen = ReadBack(image));
        expect(seen, "walk");
      });
}

// A CDX tag's leaves read along their sibling links, from the first leaf forwards or from the
// last one backwards, as programs that walk a level that way read them.
std::vector<KeyEntry> SiblingWalk(const std::string& image, std::uint32_t tagHeader, bool forwards) {
  auto get32 = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, image.data() + at, 4);
    return v;
  };
  auto node = [&](std::uint32_t off) {
    return xbe::index::cdx::DecodeNode(reinterpret_cast<const unsigned char*>(image.data()) + off, off, 40, ' ',
                                       image.size(), "cut.cdx");
  };
  xbe::index::cdx::Node n = node(get32(tagHeader));
  while (!n.IsLeaf()) n = node(forwards ? n.entries.front().child : n.entries.back().child);
  std::vector<KeyEntry> seen;
  for (std::size_t guard = 0; guard < image.size() / xbe::index::cdx::kNodeSize; ++guard) {
    std::vector<KeyEntry> here;
    for (const auto& e : n.entries) here.push_back({e.key, e.recno});
    if (forwards) seen.insert(seen.end(), here.begin(), here.end());
    else seen.insert(seen.begin(), here.begin(), here.end());
    const std::uint32_t next = forwards ? n.right : n.left;
    if (next == xbe::index::cdx::kNone) return seen;
    n = node(next);
  }
  ADD_FAILURE() << "the sibling links form a cycle";
  return seen;
}

TEST(CutChange, CdxEveryWriteLeavesTheTreeBeforeOrAfterTheChangeAlongEveryPath) {
  std::string data;
  std::vector<RecordingFile::Written> log;
  auto file = xbe::index::CdxFile::Create(std::make_unique<RecordingFile>(&data, &log));
  std::vector<KeyEntry> start;
  for (unsigned i = 0; i < 120; ++i) start.push_back({Key(i * 2), i + 1});
  xbe::index::CdxTag& tag =
      file->AddTag({"CUT", "K", "", false, false, 40, xbe::expr::Type::kCharacter}, start);
  const std::uint32_t header = tag.HeaderOffset();
  CutEveryChange(
      tag, data, log, start,
      [&](bool insert, const KeyEntry& e) { return insert ? tag.Insert(e) : tag.Remove(e); },
      [header](const std::string& image, const auto& expect) {
        std::vector<KeyEntry> seen;
        EXPECT_NO_THROW({
          auto reread = xbe::index::CdxFile::Open(xbe::index::MemoryFile(image, "cut.cdx"));
          seen = reread->Tags().front()->Entries();
        });
        expect(seen, "walk down from the root");
        EXPECT_NO_THROW(seen = SiblingWalk(image, header, true));
        expect(seen, "walk along the right links");
        EXPECT_NO_THROW(seen = SiblingWalk(image, header, false));
        expect(seen, "walk along the left links");
      });
}

}  // namespace

namespace {

// A reader that kept pages from before finds, at its first page read from the file, that
// another program changed the file meanwhile: the search or step starts again on the file as it
// now is, and never mixes pages of the two.
TEST(StaleRead, ASearchOrStepInterruptedByAnotherWriterRunsAgainOnTheNewFile) {
  testsupport::TempDir dir;
  const std::string path = (dir.path() / "S.ntx").string();
  xbe::index::NtxDefinition d;
  d.keyExpression = "K";
  d.keyLength = 40;
  std::vector<KeyEntry> start;
  for (unsigned i = 0; i < 300; ++i) start.push_back({Key(i * 3), i + 1});
  NtxOrder::Create(xbe::index::CreateHostFile(path), "S", d, start);
  auto mine = NtxOrder::Open(xbe::index::OpenHostFile(path, false), "S");
  auto other = NtxOrder::Open(xbe::index::OpenHostFile(path, true), "S");
  auto cursor = mine->NewCursor();
  ASSERT_TRUE(cursor->First());
  ASSERT_EQ(cursor->Current().recno, 1u);

  int interruptions = 0;
  mine->OnFileRead([&] {
    if (interruptions > 0) return;  // the lock is held from now on: nothing changes any more
    ++interruptions;
    // Another program splits and merges pages meanwhile, then the reader sees its counter move.
    for (unsigned i = 0; i < 200; ++i) other->Insert({Key(i * 3 + 1), 1000 + i});
    for (unsigned i = 0; i < 100; ++i) other->Remove(start[i]);
    mine->Reload();
    throw xbe::index::StaleRead();
  });
  // A seek far from the pages read so far reads from the file.
  ASSERT_TRUE(cursor->Seek(Key(1 + 3 * 150)));
  EXPECT_EQ(interruptions, 1);
  EXPECT_EQ(cursor->Current().recno, 1150u);
  std::vector<KeyEntry> walked{cursor->Current()};
  while (cursor->Next()) walked.push_back(cursor->Current());
  auto fresh = NtxOrder::Open(xbe::index::OpenHostFile(path, false), "S");
  std::vector<KeyEntry> want = fresh->Entries();
  want.erase(want.begin(), std::find(want.begin(), want.end(), walked.front()));
  EXPECT_TRUE(walked == want) << "the walk after the interruption mixed two states of the file";

  // A step interrupted the same way starts again from the entry it stood on.
  mine->Reload();
  ASSERT_TRUE(cursor->First());
  interruptions = 0;
  mine->OnFileRead([&] {
    if (interruptions++ > 0) return;
    mine->Reload();
    throw xbe::index::StaleRead();
  });
  for (unsigned i = 0; i < 300; ++i) other->Insert({Key(2000 + i), 5000 + i});  // past the pages read so far
  std::vector<KeyEntry> all{cursor->Current()};
  while (cursor->Next()) all.push_back(cursor->Current());
  EXPECT_GT(interruptions, 1) << "the walk should have read pages from the file after the interruption";
  EXPECT_TRUE(all == NtxOrder::Open(xbe::index::OpenHostFile(path, false), "S")->Entries());
}

}  // namespace
