// Raw pages of an index file kept between calls, within a fixed amount of memory. Pages sit in
// small sets chosen by their offset and the least recently used one of a set gives way, so the
// pages near the root, used by every search, stay while leaves come and go. Nothing is
// allocated once the cache is sized. Eight bytes past any page can be read (not used).
#pragma once
#include <cstdint>
#include <vector>

namespace xbe::index {

class PageCache {
 public:
  PageCache(std::size_t pageSize, std::size_t capacityBytes) : pageSize_(pageSize), capacity_(capacityBytes) {}

  // Empties the cache and sizes it for a file of that size (never above the capacity).
  void Reset(std::uint64_t fileSize);
  // The page at `offset` (a multiple of the page size), or null; always null for 0, which marks
  // the free slots.
  const unsigned char* Find(std::uint32_t offset);
  // Room for the page at `offset`, taking the place of an older page; the caller fills it (and
  // erases it when it cannot).
  unsigned char* Claim(std::uint32_t offset);
  void Erase(std::uint32_t offset);
  std::size_t Bytes() const { return data_.size(); }

 private:
  static constexpr std::size_t kWays = 8;
  std::size_t SetOf(std::uint32_t offset) const { return (offset / pageSize_) % sets_ * kWays; }

  std::size_t pageSize_;
  std::size_t capacity_;
  std::size_t sets_ = 0;
  std::vector<unsigned char> data_;
  std::vector<std::uint32_t> offsets_;  // 0: free slot
  std::vector<std::uint32_t> used_;     // when each slot was last used
  std::uint32_t clock_ = 0;
};

}  // namespace xbe::index
