// .DBT memos: block 0 is the header (next free block, little-endian, at offset 0); a memo is the
// text from the start of its block up to the first 0x1A, written followed by two 0x1A bytes.
// dBASE IV files (version 0x8B) prefix each memo with FF FF 08 00 and a 32-bit length instead.
#include <algorithm>
#include <vector>

#include "platform/xbe/errors.h"
#include "platform/xbe/memo_store.h"

namespace xbe {

namespace {

constexpr std::uint32_t kDbtBlock = 512;

class DbtMemo final : public MemoStore {
 public:
  DbtMemo(RawFile file, bool dbase4) : MemoStore(std::move(file)), dbase4_(dbase4) {}

  bool StoresBinary() const override { return dbase4_; }

  MemoBlob Read(std::uint32_t block) const override {
    MemoBlob blob;
    if (block == 0) return blob;
    const std::uint64_t size = file_.Size();
    const std::uint64_t start = static_cast<std::uint64_t>(block) * kDbtBlock;
    if (start >= size) Past(block);
    char head[8];
    const std::size_t got = file_.ReadAt(start, head, sizeof head);
    if (got == 8 && static_cast<unsigned char>(head[0]) == 0xFF && static_cast<unsigned char>(head[1]) == 0xFF &&
        head[2] == 0x08 && head[3] == 0x00) {
      const std::uint32_t len = Le32(head + 4);
      if (len < 8 || start + len > size) Past(block);
      blob.data.resize(len - 8);
      file_.ReadExact(start + 8, blob.data.data(), blob.data.size());
      return blob;
    }
    // Scan for the terminator, block by block, never past the end of the file.
    std::vector<char> chunk(kDbtBlock * 8);
    std::uint64_t pos = start;
    while (pos < size) {
      const std::size_t n = file_.ReadAt(pos, chunk.data(), std::min<std::uint64_t>(chunk.size(), size - pos));
      if (n == 0) break;
      const auto end = std::find(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n), '\x1A');
      blob.data.append(chunk.data(), static_cast<std::size_t>(end - chunk.begin()));
      if (end != chunk.begin() + static_cast<std::ptrdiff_t>(n)) break;
      pos += n;
    }
    // A memo that runs to the end of the file without its terminator is read as far as it goes.
    return blob;
  }

  std::uint32_t Write(std::uint32_t oldBlock, const MemoBlob& blob) override {
    if (blob.data.empty()) return 0;
    std::string bytes;
    if (dbase4_) {
      bytes.assign("\xFF\xFF\x08\x00", 4);
      const std::uint32_t len = static_cast<std::uint32_t>(blob.data.size() + 8);
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>((len >> (8 * i)) & 0xFF);
      bytes += blob.data;
    } else {
      if (!blob.text || blob.data.find('\x1A') != std::string::npos)
        Fail(kInvalidValue, "The memo file " + file_.DisplayName() +
                                " cannot store this contents: it holds the end-of-text byte 0x1A.");
      bytes = blob.data;
      bytes += "\x1A\x1A";
    }
    const std::uint64_t blocks = (bytes.size() + kDbtBlock - 1) / kDbtBlock;
    char head[4] = {};
    file_.ReadAt(0, head, 4);
    std::uint64_t next = CheckedNextFree(Le32(head), kDbtBlock);
    if (oldBlock != 0 && OwnedBlocks(oldBlock, next) >= blocks) {
      WriteBytes(static_cast<std::uint64_t>(oldBlock) * kDbtBlock, bytes.data(), bytes.size());
      return oldBlock;
    }
    // Append: after both the header's next free block and the end of the file, so that a wrong
    // header never lets us overwrite existing memos.
    const std::uint64_t sizeBlocks = (file_.Size() + kDbtBlock - 1) / kDbtBlock;
    next = std::max<std::uint64_t>({next, sizeBlocks, 1});
    if (next + blocks > 0xFFFFFFFFULL) Fail(kDiskFull, "The memo file " + file_.DisplayName() + " is full.");
    bytes.resize(blocks * kDbtBlock, '\0');
    WriteBytes(next * kDbtBlock, bytes.data(), bytes.size());
    const std::uint32_t newNext = static_cast<std::uint32_t>(next + blocks);
    char nh[4];
    for (int i = 0; i < 4; ++i) nh[i] = static_cast<char>((newNext >> (8 * i)) & 0xFF);
    WriteBytes(0, nh, 4);
    return static_cast<std::uint32_t>(next);
  }

 private:
  static std::uint32_t Le32(const char* p) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24;
  }
  [[noreturn]] void Past(std::uint32_t block) const {
    Fail(kCorruptFile, "The memo file " + file_.DisplayName() + " is corrupt: block " + std::to_string(block) +
                           " lies beyond its end.");
  }
  // Blocks certainly occupied by the memo at `block` (its bytes and one terminator). 0 when its
  // extent is damaged, that is when its terminator or stored length does not lie inside the file
  // and before the next free block `next`: the blocks it claims may hold other memos.
  std::uint64_t OwnedBlocks(std::uint32_t block, std::uint64_t next) const {
    const std::uint64_t start = static_cast<std::uint64_t>(block) * kDbtBlock;
    const std::uint64_t limit = std::min(file_.Size(), std::max<std::uint64_t>(next, 1) * kDbtBlock);
    if (start >= limit) return 0;
    std::uint64_t used = 0;
    if (dbase4_) {
      char head[8];
      if (file_.ReadAt(start, head, 8) != 8 || static_cast<unsigned char>(head[0]) != 0xFF ||
          static_cast<unsigned char>(head[1]) != 0xFF || head[2] != 0x08 || head[3] != 0x00)
        return 0;
      used = Le32(head + 4);
      if (used < 8) return 0;
    } else {
      const std::uint64_t end = TerminatorAt(start, limit);
      if (end == limit) return 0;
      used = end - start + 1;
    }
    if (start + used > limit) return 0;
    return (used + kDbtBlock - 1) / kDbtBlock;
  }
  // The offset of the first 0x1A from `start`, or `limit` when there is none before it.
  std::uint64_t TerminatorAt(std::uint64_t start, std::uint64_t limit) const {
    std::vector<char> chunk(kDbtBlock * 8);
    for (std::uint64_t pos = start; pos < limit;) {
      const std::size_t n = file_.ReadAt(pos, chunk.data(), std::min<std::uint64_t>(chunk.size(), limit - pos));
      if (n == 0) break;
      const auto end = std::find(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n), '\x1A');
      if (end != chunk.begin() + static_cast<std::ptrdiff_t>(n)) return pos + static_cast<std::uint64_t>(end - chunk.begin());
      pos += n;
    }
    return limit;
  }
  bool dbase4_;
};

}  // namespace

std::unique_ptr<MemoStore> OpenDbtMemo(RawFile file, bool dbase4) {
  return std::make_unique<DbtMemo>(std::move(file), dbase4);
}

void CreateDbtMemoFile(RawFile& file) {
  std::string header(kDbtBlock, '\0');
  header[0] = 1;  // next free block
  header[5] = 0x02;  // block size 512, as other writers note it
  file.WriteAt(0, header.data(), header.size());
}

}  // namespace xbe
