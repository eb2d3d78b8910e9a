// The NTX file layout (see FORMAT.md): a 1024-byte header and 1024-byte pages, each page a
// count, a table of item offsets and the items (child page, record number, key).
#pragma once
#include <cstdint>
#include <string>
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

}  // namespace xbe::index::ntx
