#include "platform/xbe/index/page_cache.h"

#include <algorithm>

namespace xbe::index {

void PageCache::Reset(std::uint64_t fileSize) {
  const std::uint64_t pages = std::max<std::uint64_t>(1, fileSize / pageSize_);
  const std::size_t sets = static_cast<std::size_t>(
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(capacity_ / pageSize_, pages + kWays - 1) / kWays));
  if (sets != sets_) {
    sets_ = sets;
    // A word past the last page stays readable: key bytes are copied a word at a time.
    std::vector<unsigned char>(sets_ * kWays * pageSize_ + 8).swap(data_);
    used_.assign(sets_ * kWays, 0);
  }
  offsets_.assign(sets_ * kWays, 0);
  clock_ = 0;
}

const unsigned char* PageCache::Find(std::uint32_t offset) {
  // 0 marks a free slot: a damaged link to offset 0 must not find one.
  if (sets_ == 0 || offset == 0) return nullptr;
  const std::size_t first = SetOf(offset);
  for (std::size_t i = first; i < first + kWays; ++i)
    if (offsets_[i] == offset) {
      used_[i] = ++clock_;
      return data_.data() + i * pageSize_;
    }
  return nullptr;
}

unsigned char* PageCache::Claim(std::uint32_t offset) {
  if (sets_ == 0) Reset(0);
  const std::size_t first = SetOf(offset);
  std::size_t victim = first;
  for (std::size_t i = first; i < first + kWays; ++i) {
    if (offsets_[i] == offset || offsets_[i] == 0) {
      victim = i;
      break;
    }
    if (used_[i] < used_[victim]) victim = i;
  }
  if (clock_ == UINT32_MAX) {  // the clock wraps: start every slot's age again
    std::fill(used_.begin(), used_.end(), 0);
    clock_ = 0;
  }
  offsets_[victim] = offset;
  used_[victim] = ++clock_;
  return data_.data() + victim * pageSize_;
}

void PageCache::Erase(std::uint32_t offset) {
  if (sets_ == 0) return;
  const std::size_t first = SetOf(offset);
  for (std::size_t i = first; i < first + kWays; ++i)
    if (offsets_[i] == offset) offsets_[i] = 0;
}

}  // namespace xbe::index
