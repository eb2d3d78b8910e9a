#include "platform/xbe/record_read_ahead.h"

#include <algorithm>

namespace xbe {

void RecordReadAhead::SetBlockSize(std::size_t bytes) {
  blockBytes_ = bytes == 0 ? 0 : std::clamp(bytes, kMinBlock, kMaxBlock);
  count_ = 0;
  if (blockBytes_ == 0) std::string().swap(block_);
}

const char* RecordReadAhead::Find(const RawFile& file, std::uint64_t dataStart, std::uint32_t length,
                                  std::uint32_t recno) {
  if (length == 0 || recno == 0) return nullptr;
  if (recno - first_ < count_ && recno >= first_)
    return block_.data() + static_cast<std::size_t>(recno - first_) * length;
  const std::uint32_t per = static_cast<std::uint32_t>(std::max<std::size_t>(1, blockBytes_ / length));
  const bool backwards = count_ != 0 && recno < first_;
  const std::uint32_t start = backwards && recno > per ? recno - per + 1 : (backwards ? 1 : recno);
  block_.resize(static_cast<std::size_t>(per) * length);
  const std::size_t got = file.ReadAt(dataStart + static_cast<std::uint64_t>(start - 1) * length, block_.data(),
                                      block_.size());
  first_ = start;
  count_ = static_cast<std::uint32_t>(got / length);
  if (recno - first_ >= count_) return nullptr;
  return block_.data() + static_cast<std::size_t>(recno - first_) * length;
}

}  // namespace xbe
