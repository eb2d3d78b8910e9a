#include "platform/xbe/index/ntx_page.h"

#include <bit>
#include <cstring>
#include <set>

#include "platform/xbe/index/index_error.h"

namespace xbe::index::ntx {

namespace {
std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const unsigned char* p) {
  if constexpr (std::endian::native == std::endian::little) {  // one load (checks read every child)
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::string CString(const unsigned char* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}
std::size_t SlotTableEnd(const Header& h) { return 2 + (static_cast<std::size_t>(h.maxItems) + 1) * 2; }
}  // namespace

std::uint16_t MaxItemsFor(int keySize) {
  int m = static_cast<int>((kPageSize - 2) / static_cast<unsigned>(keySize + 8 + 2)) - 1;
  m &= ~1;
  return static_cast<std::uint16_t>(m < 2 ? 2 : m);
}

Header DecodeHeader(const unsigned char* raw) {
  Header h;
  h.signature = Get16(raw + 0);
  h.version = Get16(raw + 2);
  h.root = Get32(raw + 4);
  h.freePage = Get32(raw + 8);
  h.itemSize = Get16(raw + 12);
  h.keySize = Get16(raw + 14);
  h.keyDecimals = Get16(raw + 16);
  h.maxItems = Get16(raw + 18);
  h.halfItems = Get16(raw + 20);
  h.keyExpression = CString(raw + 22, kExpressionSize);
  h.unique = raw[278] != 0;
  h.descending = raw[280] != 0;
  h.forExpression = CString(raw + 282, kExpressionSize);
  return h;
}

void EncodeHeader(const Header& h, unsigned char* raw) {
  Put16(raw + 0, h.signature);
  Put16(raw + 2, h.version);
  Put32(raw + 4, h.root);
  Put32(raw + 8, h.freePage);
  Put16(raw + 12, h.itemSize);
  Put16(raw + 14, h.keySize);
  Put16(raw + 16, h.keyDecimals);
  Put16(raw + 18, h.maxItems);
  Put16(raw + 20, h.halfItems);
  std::memset(raw + 22, 0, kExpressionSize);
  std::memcpy(raw + 22, h.keyExpression.data(), std::min(h.keyExpression.size(), kExpressionSize - 1));
  raw[278] = h.unique ? 1 : 0;
  raw[280] = h.descending ? 1 : 0;
  std::memset(raw + 282, 0, kExpressionSize);
  std::memcpy(raw + 282, h.forExpression.data(), std::min(h.forExpression.size(), kExpressionSize - 1));
}

void Page::InsertItem(std::size_t pos, Item item) {
  const std::size_t count = items.size();
  // Positions 0..count are in use (the last one holds the rightmost child); the slot at
  // count + 1 is the first free one and moves to the new position.
  if (count + 1 < slots.size()) {
    const std::uint16_t freeSlot = slots[count + 1];
    for (std::size_t k = count + 1; k > pos; --k) slots[k] = slots[k - 1];
    slots[pos] = freeSlot;
  }
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
}

void Page::RemoveItem(std::size_t pos) {
  const std::size_t count = items.size();
  if (count < slots.size() && pos <= count) {
    const std::uint16_t gone = slots[pos];
    for (std::size_t k = pos; k < count; ++k) slots[k] = slots[k + 1];
    slots[count] = gone;
  }
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(pos));
}

Page DecodePage(const unsigned char* raw, std::uint32_t offset, const Header& h, std::uint64_t fileSize,
                const std::string& file) {
  Page p;
  p.offset = offset;
  const std::size_t count = Get16(raw);
  const std::string where = "page at offset " + std::to_string(offset);
  if (count > h.maxItems) Corrupt(file, where + " holds " + std::to_string(count) + " items, more than a page can");
  p.slots.resize(static_cast<std::size_t>(h.maxItems) + 1);
  const std::size_t lowest = SlotTableEnd(h);
  std::set<std::uint16_t> used;
  for (std::size_t i = 0; i < p.slots.size(); ++i) {
    const std::uint16_t s = Get16(raw + 2 + 2 * i);
    if (i <= count) {
      if (s < lowest || s + static_cast<std::size_t>(h.itemSize) > kPageSize)
        Corrupt(file, where + " has an item offset outside the page");
      for (std::uint16_t u : used)
        if (u < s + h.itemSize && s < u + h.itemSize) Corrupt(file, where + " has items overlapping each other");
      used.insert(s);
    }
    p.slots[i] = s;
  }
  // The free slots are only used on the next insert; when they are damaged (out of the page,
  // or sharing bytes with items in use), they are laid out again where no item lies.
  bool freeSlotsSound = true;
  for (std::size_t i = count + 1; i < p.slots.size() && freeSlotsSound; ++i) {
    const std::uint16_t s = p.slots[i];
    if (s < lowest || s + static_cast<std::size_t>(h.itemSize) > kPageSize) freeSlotsSound = false;
    for (std::size_t k = 0; k < i && freeSlotsSound; ++k)
      if (p.slots[k] < s + h.itemSize && s < p.slots[k] + h.itemSize) freeSlotsSound = false;
  }
  if (!freeSlotsSound) {
    std::size_t next = count + 1;
    for (std::size_t k = 0; k < p.slots.size() && next < p.slots.size(); ++k) {
      const std::size_t cand = lowest + k * h.itemSize;
      bool overlaps = false;
      for (std::size_t u = 0; u <= count; ++u)
        if (p.slots[u] < cand + h.itemSize && cand < p.slots[u] + static_cast<std::size_t>(h.itemSize)) overlaps = true;
      if (!overlaps) p.slots[next++] = static_cast<std::uint16_t>(cand);
    }
    if (next < p.slots.size()) Corrupt(file, where + " has items overlapping each other");
  }
  p.items.reserve(count);
  bool anyChild = false, anyLeaf = false;
  for (std::size_t i = 0; i <= count; ++i) {
    const unsigned char* it = raw + p.slots[i];
    const std::uint32_t child = Get32(it);
    if (child != 0 && (child < kPageSize || child % kPageSize != 0 || child + static_cast<std::uint64_t>(kPageSize) > fileSize))
      Corrupt(file, where + " points to a page past the end of the file");
    if (child == offset) Corrupt(file, where + " points to itself");
    (child ? anyChild : anyLeaf) = true;
    if (i == count) {
      p.right = child;
    } else {
      Item item;
      item.child = child;
      item.recno = Get32(it + 4);
      item.key.assign(reinterpret_cast<const char*>(it + 8), h.keySize);
      p.items.push_back(std::move(item));
    }
  }
  if (anyChild && anyLeaf) Corrupt(file, where + " mixes leaf and branch items");
  return p;
}

void EncodePage(const Page& p, const Header& h, unsigned char* raw) {
  std::memset(raw, 0, kPageSize);
  Put16(raw, static_cast<std::uint16_t>(p.items.size()));
  for (std::size_t i = 0; i < p.slots.size(); ++i) Put16(raw + 2 + 2 * i, p.slots[i]);
  for (std::size_t i = 0; i <= p.items.size(); ++i) {
    unsigned char* it = raw + p.slots[i];
    if (i < p.items.size()) {
      Put32(it, p.items[i].child);
      Put32(it + 4, p.items[i].recno);
      std::memcpy(it + 8, p.items[i].key.data(), std::min<std::size_t>(p.items[i].key.size(), h.keySize));
    } else {
      Put32(it, p.right);
    }
  }
}

void PageGrid::Build(const Header& h) {
  std::memset(places_, kOffGrid, sizeof places_);
  const std::size_t lowest = SlotTableEnd(h);
  itemsArea_ = lowest;
  itemSize_ = h.itemSize;
  std::memset(freshSlots_, 0, sizeof freshSlots_);
  for (std::size_t i = 0; i <= h.maxItems && 2 + 2 * i + 1 < kPageSize; ++i)
    Put16(freshSlots_ + 2 + 2 * i, static_cast<std::uint16_t>(lowest + i * h.itemSize));
  for (std::size_t place = 0; place < kOffGrid && h.itemSize != 0; ++place) {
    const std::size_t at = lowest + place * h.itemSize;
    if (at + h.itemSize > kPageSize) break;
    places_[at] = static_cast<std::uint8_t>(place);
  }
}

namespace {

// The checks of CheckPage in one pass, for the common case of a sound page whose items lie on
// the grid of item places: true when the page passes them all; false leaves the verdict (and
// the message) to the full check.
// SoundOnGrid for a page whose items lie at places 0..count in order, as a build leaves them:
// the offset table is compared as bytes, then the children are read at their places.
bool SoundFresh(const unsigned char* raw, std::uint32_t offset, std::uint64_t fileSize, const PageGrid& grid,
                std::size_t count) {
  if (std::memcmp(raw + 2, grid.FreshSlots() + 2, 2 * (count + 1)) != 0) return false;
  const unsigned char* item = raw + grid.ItemsArea();
  const std::size_t step = grid.ItemSize();
  if (Get32(item + count * step) == 0) {  // a leaf: every child 0
    std::uint32_t any = 0;
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2, item += 2 * step) any |= Get32(item) | Get32(item + step);
    if (i < count) any |= Get32(item);
    return any == 0;
  }
  for (std::size_t i = 0; i <= count; ++i, item += step) {
    const std::uint32_t child = Get32(item);
    if (child < kPageSize || child % kPageSize != 0 || child + std::uint64_t{kPageSize} > fileSize || child == offset)
      return false;
  }
  return true;
}

bool SoundOnGrid(const unsigned char* raw, std::uint32_t offset, const Header& h, std::uint64_t fileSize,
                 const PageGrid& grid) {
  const std::size_t count = Get16(raw);
  if (count > h.maxItems) return false;
  if (SoundFresh(raw, offset, fileSize, grid, count)) return true;
  std::uint64_t places[4] = {0, 0, 0, 0};
  bool anyChild = false, anyLeaf = false;
  for (std::size_t i = 0; i <= count; ++i) {
    const std::size_t s = Get16(raw + 2 + 2 * i);
    const std::size_t place = s < kPageSize ? grid.Place(s) : PageGrid::kOffGrid;
    if (place == PageGrid::kOffGrid) return false;
    std::uint64_t& bits = places[place / 64];
    const std::uint64_t bit = std::uint64_t{1} << (place % 64);
    if (bits & bit) return false;
    bits |= bit;
    const std::uint32_t child = Get32(raw + s);
    if (child == 0) {
      anyLeaf = true;
    } else {
      if (child < kPageSize || child % kPageSize != 0 || child + std::uint64_t{kPageSize} > fileSize || child == offset)
        return false;
      anyChild = true;
    }
  }
  return !(anyChild && anyLeaf);
}

}  // namespace

void CheckPage(const unsigned char* raw, std::uint32_t offset, const Header& h, std::uint64_t fileSize,
               const std::string& file, const PageGrid* grid) {
  if (grid != nullptr && SoundOnGrid(raw, offset, h, fileSize, *grid)) return;
  const std::size_t count = Get16(raw);
  auto where = [&] { return "page at offset " + std::to_string(offset); };
  if (count > h.maxItems) Corrupt(file, where() + " holds " + std::to_string(count) + " items, more than a page can");
  const std::size_t lowest = SlotTableEnd(h);
  // Items of a sound page lie on the grid of item places: there they overlap only when two
  // share a place. Off the grid, every pair is compared as DecodePage does.
  bool onGrid = true;
  std::uint64_t places[4] = {0, 0, 0, 0};  // at most 255 places fit a page
  for (std::size_t i = 0; i <= count; ++i) {
    const std::uint16_t s = Get16(raw + 2 + 2 * i);
    if (s < lowest || s + static_cast<std::size_t>(h.itemSize) > kPageSize)
      Corrupt(file, where() + " has an item offset outside the page");
    const std::size_t place = (s - lowest) / h.itemSize;
    if ((s - lowest) % h.itemSize != 0 || place >= 256) {
      onGrid = false;
      continue;
    }
    std::uint64_t& bits = places[place / 64];
    const std::uint64_t bit = std::uint64_t{1} << (place % 64);
    if (bits & bit) Corrupt(file, where() + " has items overlapping each other");
    bits |= bit;
  }
  if (!onGrid)
    for (std::size_t i = 0; i <= count; ++i)
      for (std::size_t k = 0; k < i; ++k) {
        const std::size_t a = Get16(raw + 2 + 2 * i), b = Get16(raw + 2 + 2 * k);
        if (a < b + h.itemSize && b < a + h.itemSize) Corrupt(file, where() + " has items overlapping each other");
      }
  bool anyChild = false, anyLeaf = false;
  for (std::size_t i = 0; i <= count; ++i) {
    const std::uint32_t child = Get32(raw + Get16(raw + 2 + 2 * i));
    if (child != 0 && (child < kPageSize || child % kPageSize != 0 || child + static_cast<std::uint64_t>(kPageSize) > fileSize))
      Corrupt(file, where() + " points to a page past the end of the file");
    if (child == offset) Corrupt(file, where() + " points to itself");
    (child ? anyChild : anyLeaf) = true;
  }
  if (anyChild && anyLeaf) Corrupt(file, where() + " mixes leaf and branch items");
}

Page NewPage(std::uint32_t offset, const Header& h) {
  Page p;
  p.offset = offset;
  p.slots.resize(static_cast<std::size_t>(h.maxItems) + 1);
  for (std::size_t i = 0; i < p.slots.size(); ++i)
    p.slots[i] = static_cast<std::uint16_t>(SlotTableEnd(h) + i * h.itemSize);
  return p;
}

}  // namespace xbe::index::ntx
