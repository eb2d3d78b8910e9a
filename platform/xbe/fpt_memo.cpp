// .FPT memos: the header holds the next free block (big-endian, offset 0) and the block size
// (big-endian, offset 6); it fills the first 512 bytes. Each memo starts on a block with its
// type (1 text, 0 picture, 2 object; big-endian) and its length (big-endian), then the bytes.
#include <algorithm>

#include "platform/xbe/errors.h"
#include "platform/xbe/memo_store.h"

namespace xbe {

namespace {

constexpr std::uint32_t kFptHeader = 512;

std::uint32_t Be32(const char* p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[3]));
}
void PutBe32(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}

class FptMemo final : public MemoStore {
 public:
  FptMemo(RawFile file, std::uint32_t blockSize) : MemoStore(std::move(file)), blockSize_(blockSize) {}

  bool StoresBinary() const override { return true; }

  MemoBlob Read(std::uint32_t block) const override {
    MemoBlob blob;
    if (block == 0) return blob;
    const std::uint64_t size = file_.Size();
    const std::uint64_t start = static_cast<std::uint64_t>(block) * blockSize_;
    if (start < kFptHeader || start + 8 > size) Past(block);
    char head[8];
    file_.ReadExact(start, head, 8);
    const std::uint32_t type = Be32(head);
    const std::uint32_t len = Be32(head + 4);
    if (start + 8 + len > size) Past(block);
    blob.text = type == 1;
    blob.data.resize(len);
    file_.ReadExact(start + 8, blob.data.data(), len);
    return blob;
  }

  std::uint32_t Write(std::uint32_t oldBlock, const MemoBlob& blob) override {
    if (blob.data.empty()) return 0;
    const std::uint64_t total = 8 + blob.data.size();
    if (total > 0xFFFFFFF0ULL) Fail(kInvalidValue, "The memo contents are too large for " + file_.DisplayName() + ".");
    const std::uint64_t blocks = (total + blockSize_ - 1) / blockSize_;
    std::string bytes(8, '\0');
    PutBe32(bytes.data(), blob.text ? 1 : 0);
    PutBe32(bytes.data() + 4, static_cast<std::uint32_t>(blob.data.size()));
    bytes += blob.data;
    char head[4] = {};
    file_.ReadAt(0, head, 4);
    std::uint64_t next = CheckedNextFree(Be32(head), blockSize_);
    if (oldBlock != 0 && OwnedBlocks(oldBlock, next) >= blocks) {
      WriteBytes(static_cast<std::uint64_t>(oldBlock) * blockSize_, bytes.data(), bytes.size());
      return oldBlock;
    }
    // Append: after both the header's next free block and the end of the file, so that a wrong
    // header never lets us overwrite existing memos.
    const std::uint64_t sizeBlocks = (std::max<std::uint64_t>(file_.Size(), kFptHeader) + blockSize_ - 1) / blockSize_;
    const std::uint64_t firstBlock = (kFptHeader + blockSize_ - 1) / blockSize_;
    next = std::max<std::uint64_t>({next, sizeBlocks, firstBlock});
    if (next + blocks > 0xFFFFFFFFULL) Fail(kDiskFull, "The memo file " + file_.DisplayName() + " is full.");
    bytes.resize(blocks * blockSize_, '\0');
    WriteBytes(next * blockSize_, bytes.data(), bytes.size());
    char nh[4];
    PutBe32(nh, static_cast<std::uint32_t>(next + blocks));
    WriteBytes(0, nh, 4);
    return static_cast<std::uint32_t>(next);
  }

 private:
  [[noreturn]] void Past(std::uint32_t block) const {
    Fail(kCorruptFile, "The memo file " + file_.DisplayName() + " is corrupt: block " + std::to_string(block) +
                           " lies beyond its end.");
  }
  // Blocks occupied by the memo at `block`; 0 when its stored length reaches past the file or
  // the next free block `next` (a damaged length), so that it is never written over: the blocks
  // it claims hold other memos.
  std::uint64_t OwnedBlocks(std::uint32_t block, std::uint64_t next) const {
    const std::uint64_t start = static_cast<std::uint64_t>(block) * blockSize_;
    const std::uint64_t limit = std::min(file_.Size(), next * blockSize_);
    if (start < kFptHeader || start + 8 > limit) return 0;
    char head[8];
    file_.ReadExact(start, head, 8);
    const std::uint64_t used = 8 + static_cast<std::uint64_t>(Be32(head + 4));
    if (start + used > limit) return 0;
    return (used + blockSize_ - 1) / blockSize_;
  }
  std::uint32_t blockSize_;
};

}  // namespace

std::unique_ptr<MemoStore> OpenFptMemo(RawFile file) {
  char head[8] = {};
  if (file.ReadAt(0, head, 8) != 8)
    Fail(kCorruptFile, "The memo file " + file.DisplayName() + " is corrupt: its header is incomplete.");
  const std::uint32_t blockSize = static_cast<std::uint32_t>(static_cast<unsigned char>(head[6]) << 8 |
                                                             static_cast<unsigned char>(head[7]));
  if (blockSize == 0)
    Fail(kCorruptFile, "The memo file " + file.DisplayName() + " is corrupt: its block size is 0.");
  return std::make_unique<FptMemo>(std::move(file), blockSize);
}

void CreateFptMemoFile(RawFile& file, std::uint16_t blockSize) {
  std::string header(kFptHeader, '\0');
  const std::uint32_t next = (kFptHeader + blockSize - 1) / blockSize;
  PutBe32(header.data(), next);
  header[6] = static_cast<char>(blockSize >> 8);
  header[7] = static_cast<char>(blockSize & 0xFF);
  file.WriteAt(0, header.data(), header.size());
}

}  // namespace xbe
