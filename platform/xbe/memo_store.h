// Memo files: .DBT (dBASE III+: 512-byte blocks, text ended by 0x1A) and .FPT (FoxPro: block
// size from the header, each memo a block run starting with its type and length). The engine's
// own format uses the .FPT layout.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/raw_file.h"

namespace xbe {

struct MemoBlob {
  bool text = true;   // false: binary (picture/object) contents
  std::string data;
};

class MemoStore {
 public:
  virtual ~MemoStore() = default;
  // Contents of the memo starting at `block`; block 0 is the empty memo.
  virtual MemoBlob Read(std::uint32_t block) const = 0;
  // Stores `blob`, reusing the run of `oldBlock` when it fits, else appending at the end.
  // Returns the block to reference (0 for empty contents). The caller serialises writers.
  virtual std::uint32_t Write(std::uint32_t oldBlock, const MemoBlob& blob) = 0;
  virtual bool StoresBinary() const = 0;
  RawFile& File() { return file_; }

  // The writes of one record change: from BeginChanges on, what they overwrite is kept, so
  // that UndoChanges can put the file back as it was when the record cannot be written after
  // all (reused blocks hold the stored record's memo). KeepChanges ends the change.
  void BeginChanges();
  void KeepChanges();
  // Puts back every byte written over since BeginChanges and cuts the file to its size then.
  void UndoChanges() noexcept;

 protected:
  explicit MemoStore(RawFile file) : file_(std::move(file)) {}
  // Every write of the memo file goes through here.
  void WriteBytes(std::uint64_t offset, const char* data, std::size_t size);
  // The header's next free block, checked before any write: one lying beyond the file's last
  // (possibly partial) block is damage, and trusting it would grow the file by gigabytes, so the
  // write is refused (kCorruptFile) and the file stays as it is.
  std::uint64_t CheckedNextFree(std::uint64_t next, std::uint32_t blockSize) const;
  RawFile file_;

 private:
  struct Overwritten {
    std::uint64_t offset;
    std::string bytes;
  };
  bool changing_ = false;
  std::uint64_t sizeBefore_ = 0;
  std::vector<Overwritten> overwritten_;
};

std::unique_ptr<MemoStore> OpenDbtMemo(RawFile file, bool dbase4);
std::unique_ptr<MemoStore> OpenFptMemo(RawFile file);

// Writes an empty memo file of the kind (header only).
void CreateDbtMemoFile(RawFile& file);
void CreateFptMemoFile(RawFile& file, std::uint16_t blockSize);

// Memo references inside the record: 10 digits right-aligned (blank = none) or, for 4-byte
// fields, a little-endian 32-bit block number.
std::uint32_t DecodeMemoReference(std::string_view bytes);
void EncodeMemoReference(std::uint32_t block, char* out, std::size_t length);

}  // namespace xbe
