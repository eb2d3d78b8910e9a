// The NTX file layout (see FORMAT.md): a 1024-byte header and 1024-byte pages, each page a
// count, a table of item offsets and the items (child page, record number, key).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xbe::index::ntx {

inline constexpr std::uint32_t kPageSize = 1024;
inline constexpr std::size_t kExpressionSize = 256;

struct Header {
  std::uint16_t signature = 6;  // 6, or 7 when the order has a condition
  std::uint16_t version = 1;    // counts the updates of the file
  std::uint32_t root = 0;
  std::uint32_t freePage = 0;  // first page of the free list, 0 = none
  std::uint16_t itemSize = 0;  // key size + 8
  std::uint16_t keySize = 0;
  std::uint16_t keyDecimals = 0;
  std::uint16_t maxItems = 0;
  std::uint16_t halfItems = 0;
  std::string keyExpression;
  bool unique = false;
  bool descending = false;
  std::string forExpression;
};

// The item capacity of a page for a key size, as the format computes it (even, at least 2).
std::uint16_t MaxItemsFor(int keySize);
Header DecodeHeader(const unsigned char* raw);
void EncodeHeader(const Header& h, unsigned char* raw);

struct Item {
  std::uint32_t child = 0;
  std::uint32_t recno = 0;
  std::string key;
};

// A decoded page: items[0..count) with their left children, then the rightmost child. The
// offset table is kept, so pages are rewritten with the slots they had.
struct Page {
  std::uint32_t offset = 0;
  std::vector<Item> items;
  std::uint32_t right = 0;
  std::vector<std::uint16_t> slots;  // maxItems + 1 item offsets

  bool IsLeaf() const { return right == 0; }
  std::uint32_t Child(std::size_t pos) const { return pos < items.size() ? items[pos].child : right; }
  void SetChild(std::size_t pos, std::uint32_t c) {
    if (pos < items.size()) items[pos].child = c;
    else right = c;
  }
  // Inserts at pos, moving the free slot there as the format does.
  void InsertItem(std::size_t pos, Item item);
  void RemoveItem(std::size_t pos);
};

// Decodes and validates a page; raises IndexError(kCorrupt) naming `file`.
Page DecodePage(const unsigned char* raw, std::uint32_t offset, const Header& h, std::uint64_t fileSize,
                const std::string& file);
void EncodePage(const Page& p, const Header& h, unsigned char* raw);
// A fresh page with the slots in ascending order.
Page NewPage(std::uint32_t offset, const Header& h);

// Where items may start in a page of a header's item size: the item place of every offset on
// the grid of places, kOffGrid elsewhere (outside the item area too). Built once per header, so
// that checking a page costs a lookup per item.
class PageGrid {
 public:
  static constexpr std::uint8_t kOffGrid = 0xFF;
  void Build(const Header& h);
  std::uint8_t Place(std::size_t offset) const { return places_[offset]; }
  // The offset table of a fresh page (item i at place i), as its bytes lie in the page: pages
  // written by a build, and never changed since, begin with it.
  const unsigned char* FreshSlots() const { return freshSlots_; }
  std::size_t ItemsArea() const { return itemsArea_; }
  std::size_t ItemSize() const { return itemSize_; }

 private:
  std::uint8_t places_[kPageSize] = {};
  unsigned char freshSlots_[kPageSize] = {};
  std::size_t itemsArea_ = 0;
  std::size_t itemSize_ = 0;
};

// Checks the raw page as DecodePage does before it is read in place (without building
// anything); raises IndexError(kCorrupt) naming `file`. With the header's grid, a sound page
// is passed in one quick pass.
void CheckPage(const unsigned char* raw, std::uint32_t offset, const Header& h, std::uint64_t fileSize,
               const std::string& file, const PageGrid* grid = nullptr);

// A page read where it lies: the raw bytes of a page CheckPage accepted, or a decoded page in the
// middle of a change.
class PageView {
 public:
  PageView(const unsigned char* raw, const Header& h)
      : raw_(raw), keySize_(h.keySize), count_(static_cast<std::size_t>(raw[0] | (raw[1] << 8))) {}
  PageView(const Page& p, const Header& h) : page_(&p), keySize_(h.keySize), count_(p.items.size()) {}

  std::size_t Count() const { return count_; }
  // The child left of item `pos`; pos == Count() gives the rightmost child.
  std::uint32_t Child(std::size_t pos) const { return page_ ? page_->Child(pos) : Get32(Item(pos)); }
  std::uint32_t Recno(std::size_t i) const { return page_ ? page_->items[i].recno : Get32(Item(i) + 4); }
  std::string_view Key(std::size_t i) const {
    if (page_) return page_->items[i].key;
    return {reinterpret_cast<const char*>(Item(i) + 8), keySize_};
  }
  bool IsLeaf() const { return Child(count_) == 0; }

 private:
  static std::uint32_t Get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  const unsigned char* Item(std::size_t pos) const { return raw_ + (raw_[2 + 2 * pos] | (raw_[3 + 2 * pos] << 8)); }

  const unsigned char* raw_ = nullptr;
  const Page* page_ = nullptr;
  std::size_t keySize_;
  std::size_t count_;
};

}  // namespace xbe::index::ntx
