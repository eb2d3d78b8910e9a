// Records read from the data file in blocks rather than one by one, for opens where no other
// program can change them (exclusive) or whose caller asked for it (XbeCacheRecords). The
// table drops the block whenever it writes, so its own changes always show.
#pragma once
#include <cstdint>
#include <string>

#include "platform/xbe/raw_file.h"

namespace xbe {

class RecordReadAhead {
 public:
  static constexpr std::size_t kMinBlock = 64 * 1024;
  static constexpr std::size_t kMaxBlock = 1024 * 1024;

  // 0 turns read-ahead off; other sizes are kept within kMinBlock..kMaxBlock.
  void SetBlockSize(std::size_t bytes);
  bool Enabled() const { return blockBytes_ != 0; }
  // Record `recno` (1-based) of `length` bytes, records starting at `dataStart`: from the block,
  // reading the block around it when it is not there (ahead of it, or behind it when the walk
  // goes backwards). Null when the file ends before the record does.
  const char* Find(const RawFile& file, std::uint64_t dataStart, std::uint32_t length, std::uint32_t recno);
  void Drop() { count_ = 0; }

 private:
  std::string block_;
  std::size_t blockBytes_ = 0;
  std::uint32_t first_ = 0;
  std::uint32_t count_ = 0;
};

}  // namespace xbe
