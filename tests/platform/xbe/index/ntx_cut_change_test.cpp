// A process killed in the middle of an NTX change leaves the writes it made so far: after every
// single write, the file must read as a sound tree holding either every entry it held before the
// change or every entry after it, whatever the change (splits, borrows, merges, a new or a
// vanished root, a branch item replaced by its predecessor).
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/ntx_order.h"

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

TEST(NtxCutChange, EveryWriteOfAChangeLeavesTheTreeBeforeOrAfterIt) {
  std::string data;
  std::vector<RecordingFile::Written> log;
  xbe::index::NtxDefinition d;
  d.keyExpression = "K";
  d.keyLength = 40;
  std::vector<KeyEntry> start;
  for (unsigned i = 0; i < 120; ++i) start.push_back({Key(i * 2), i + 1});
  auto order = NtxOrder::Create(std::make_unique<RecordingFile>(&data, &log), "CUT", d, start);

  std::mt19937 random(11);
  std::vector<KeyEntry> live = start;
  std::uint32_t nextRecno = 1000;
  int structural = 0;
  for (int step = 0; step < 600; ++step) {
    // Grow the tree first, then shrink it to a page or two, so that roots come and go.
    const bool insert = step < 200 ? random() % 4 != 0 : random() % 10 == 0 || live.empty();
    const std::string before = data;
    const std::vector<KeyEntry> entriesBefore = order->Entries();
    log.clear();
    if (insert) {
      KeyEntry e{Key(static_cast<unsigned>(random() % 1000)), nextRecno++};
      ASSERT_TRUE(order->Insert(e));
      live.push_back(e);
    } else {
      const std::size_t i = random() % live.size();
      ASSERT_TRUE(order->Remove(live[i]));
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
    }
    const std::vector<KeyEntry> entriesAfter = order->Entries();
    ASSERT_EQ(entriesAfter.size(), live.size());
    if (log.size() > 2) ++structural;
    // Cut after each write in turn.
    std::string image = before;
    for (std::size_t k = 0; k < log.size(); ++k) {
      RecordingFile::Apply(image, log[k]);
      SCOPED_TRACE("step " + std::to_string(step) + (insert ? " (insert)" : " (remove)") + ", cut after write " +
                   std::to_string(k + 1) + " of " + std::to_string(log.size()));
      std::vector<KeyEntry> seen;
      ASSERT_NO_THROW(seen = ReadBack(image));
      ASSERT_TRUE(seen == entriesBefore || seen == entriesAfter)
          << "the file holds " << seen.size() << " entries; " << entriesBefore.size() << " before and "
          << entriesAfter.size() << " after the change";
    }
  }
  EXPECT_GT(structural, 20) << "the changes should have split and merged pages";
  EXPECT_TRUE(live.size() < 20) << "the tree should have shrunk back";
}

}  // namespace
