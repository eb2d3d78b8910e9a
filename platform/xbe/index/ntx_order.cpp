#include "platform/xbe/index/ntx_order.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/xbe/index/index_error.h"

namespace xbe::index {

using ntx::Header;
using ntx::Item;
using ntx::kPageSize;
using ntx::Page;
using ntx::PageView;

namespace {
// No valid tree is this deep; a deeper path means pages point back up.
constexpr std::size_t kMaxTreeDepth = 32;
}  // namespace

NtxOrder::NtxOrder(std::unique_ptr<BlockFile> file, std::string name) : file_(std::move(file)) {
  info_.name = std::move(name);
}

void NtxOrder::Fail(const std::string& what) const { Corrupt(file_->Name(), what); }

std::unique_ptr<NtxOrder> NtxOrder::Open(std::unique_ptr<BlockFile> file, std::string name) {
  std::unique_ptr<NtxOrder> o(new NtxOrder(std::move(file), std::move(name)));
  o->ReadHeader();
  o->PageAt(o->header_.root);
  return o;
}

void NtxOrder::ReadHeader() {
  cache_.clear();
  dirty_.clear();
  newPages_.clear();
  pendingFree_.clear();
  changePath_.clear();
  fileSize_ = file_->Size();
  if (fileSize_ < 2 * kPageSize) Fail("the file is too short for an NTX index");
  headerRaw_.assign(kPageSize, 0);
  file_->Read(0, headerRaw_.data(), kPageSize);
  Header h = ntx::DecodeHeader(headerRaw_.data());
  if (h.signature != 6 && h.signature != 7) Fail("not an NTX index (signature " + std::to_string(h.signature) + ")");
  if (h.keySize < 1 || h.keySize > 250 || h.itemSize != h.keySize + 8) Fail("bad key size in the header");
  if (h.maxItems < 2 || 2u + (h.maxItems + 1u) * (2u + h.itemSize) > kPageSize) Fail("bad page capacity in the header");
  if (h.halfItems < 1 || h.halfItems > h.maxItems / 2) Fail("bad half-page count in the header");
  if (h.keyDecimals >= h.keySize && h.keyDecimals != 0) Fail("bad key decimals in the header");
  auto validPage = [&](std::uint32_t p) { return p >= kPageSize && p % kPageSize == 0 && p + std::uint64_t{kPageSize} <= fileSize_; };
  if (!validPage(h.root)) Fail("the root page lies outside the file");
  if (h.freePage != 0 && !validPage(h.freePage)) h.freePage = 0;  // a lost free list only wastes pages
  header_ = h;
  grid_.Build(header_);
  pages_.Reset(fileSize_);
  info_.keyExpression = h.keyExpression;
  info_.forExpression = h.forExpression;
  info_.unique = h.unique;
  info_.descending = h.descending;
  info_.keyLength = h.keySize;
  info_.keyDecimals = h.keyDecimals;
  info_.pageSize = kPageSize;
  ++generation_;
}

void NtxOrder::Reload() { ReadHeader(); }

const Page& NtxOrder::PageAt(std::uint32_t offset) {
  auto it = cache_.find(offset);
  if (it != cache_.end()) return it->second;
  if (offset < kPageSize || offset % kPageSize != 0 || offset + std::uint64_t{kPageSize} > fileSize_)
    Fail("a page link points outside the file (offset " + std::to_string(offset) + ")");
  if (onFileRead_) onFileRead_();
  unsigned char raw[kPageSize];
  file_->Read(offset, raw, kPageSize);
  Page p = ntx::DecodePage(raw, offset, header_, fileSize_, file_->Name());
  return cache_.emplace(offset, std::move(p)).first->second;
}

PageView NtxOrder::View(std::uint32_t offset) {
  if (!dirty_.empty() && dirty_.count(offset)) return PageView(cache_.at(offset), header_);
  // Only pages that passed the link and page checks are cached, and no link finds a free slot:
  // a hit needs no check.
  if (const unsigned char* raw = pages_.Find(offset)) return PageView(raw, header_);
  if (offset < kPageSize || offset % kPageSize != 0 || offset + std::uint64_t{kPageSize} > fileSize_)
    Fail("a page link points outside the file (offset " + std::to_string(offset) + ")");
  if (onFileRead_) onFileRead_();
  unsigned char* raw = pages_.Claim(offset);
  try {
    file_->Read(offset, raw, kPageSize);
    ntx::CheckPage(raw, offset, header_, fileSize_, file_->Name(), &grid_);
  } catch (...) {
    pages_.Erase(offset);
    throw;
  }
  return PageView(raw, header_);
}

Page& NtxOrder::Mutable(std::uint32_t offset) {
  PageAt(offset);
  dirty_[offset] = true;
  return cache_.at(offset);
}

int NtxOrder::CompareEntries(std::string_view key, std::uint32_t recno, const KeyEntry& b) const {
  const int c = CompareKeys(key, b.key);
  if (c != 0) return c;
  return recno < b.recno ? -1 : recno > b.recno ? 1 : 0;
}

template <class AtOrAfter>
bool NtxOrder::Bound(const AtOrAfter& atOrAfter, Path* path, std::optional<ntx::PageView>* leaf) {
  path->clear();
  std::size_t best = 0;
  std::uint32_t page = header_.root;
  for (;;) {
    if (path->size() >= kMaxTreeDepth) Fail("the pages form a cycle");
    const PageView p = View(page);
    std::size_t lo = 0, hi = p.Count();
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (atOrAfter(p.Key(mid), p.Recno(mid))) hi = mid;
      else lo = mid + 1;
    }
    path->push_back({page, lo});
    if (lo < p.Count()) best = path->size();
    if (p.IsLeaf()) {
      if (leaf && best == path->size()) leaf->emplace(p);
      break;
    }
    page = p.Child(lo);
  }
  path->resize(best);
  return best > 0;
}

void NtxOrder::DescendFirst(std::uint32_t page, Path* path) {
  for (;;) {
    if (path->size() >= kMaxTreeDepth) Fail("the pages form a cycle");
    const PageView p = View(page);
    path->push_back({page, 0});
    if (p.IsLeaf()) {
      if (p.Count() == 0 && path->size() > 1) Fail("an empty page below the root");
      return;
    }
    page = p.Child(0);
  }
}

void NtxOrder::DescendLast(std::uint32_t page, Path* path) {
  for (;;) {
    if (path->size() >= kMaxTreeDepth) Fail("the pages form a cycle");
    const PageView p = View(page);
    if (p.IsLeaf()) {
      if (p.Count() == 0) {
        if (!path->empty()) Fail("an empty page below the root");
        path->push_back({page, 0});
        return;
      }
      path->push_back({page, p.Count() - 1});
      return;
    }
    path->push_back({page, p.Count()});
    page = p.Child(p.Count());
  }
}

bool NtxOrder::StepNext(Path* path) {
  if (path->empty()) return false;
  Step& top = path->back();
  const PageView p = View(top.page);
  if (!p.IsLeaf()) {
    top.index += 1;
    DescendFirst(p.Child(top.index), path);
    return true;
  }
  if (top.index + 1 < p.Count()) {
    ++top.index;
    return true;
  }
  path->pop_back();
  while (!path->empty()) {
    const Step& t = path->back();
    if (t.index < View(t.page).Count()) return true;
    path->pop_back();
  }
  return false;
}

bool NtxOrder::StepPrev(Path* path) {
  if (path->empty()) return false;
  Step& top = path->back();
  const PageView p = View(top.page);
  if (!p.IsLeaf()) {
    DescendLast(p.Child(top.index), path);
    return true;
  }
  if (top.index > 0) {
    --top.index;
    return true;
  }
  path->pop_back();
  while (!path->empty()) {
    Step& t = path->back();
    if (t.index > 0) {
      --t.index;
      return true;
    }
    path->pop_back();
  }
  return false;
}

bool NtxOrder::FindPath(const KeyEntry& entry, Path* path) {
  auto keyAt = [&](const Path& p) { return View(p.back().page).Key(p.back().index); };
  auto recnoAt = [&](const Path& p) { return View(p.back().page).Recno(p.back().index); };
  if (Bound([&](std::string_view key, std::uint32_t recno) { return CompareEntries(key, recno, entry) >= 0; },
            path)) {
    if (recnoAt(*path) == entry.recno && keyAt(*path) == entry.key) return true;
  }
  // Files written by other programs need not keep equal keys by record number: look at the
  // whole run of equal keys.
  if (!Bound([&](std::string_view key, std::uint32_t) { return CompareKeys(key, entry.key) >= 0; }, path))
    return false;
  for (std::uint64_t guard = 0; guard <= fileSize_; ++guard) {
    if (keyAt(*path) != entry.key) return false;
    if (recnoAt(*path) == entry.recno) return true;
    if (!StepNext(path)) return false;
  }
  Fail("the walk does not end");
}

std::uint32_t NtxOrder::AllocatePage() {
  while (header_.freePage != 0) {
    const std::uint32_t off = header_.freePage;
    header_.freePage = 0;
    if (off < kPageSize || off % kPageSize != 0 || off + std::uint64_t{kPageSize} > fileSize_) break;
    unsigned char raw[kPageSize];
    file_->Read(off, raw, kPageSize);
    const std::uint16_t count = static_cast<std::uint16_t>(raw[0] | (raw[1] << 8));
    const std::uint16_t slot0 = static_cast<std::uint16_t>(raw[2] | (raw[3] << 8));
    if (count != 0 || slot0 + 4u > kPageSize) break;
    std::uint32_t next = 0;
    std::memcpy(&next, raw + slot0, 4);
    if (next != off) header_.freePage = next;
    cache_.erase(off);
    newPages_.insert(off);
    return off;
  }
  const std::uint32_t off = static_cast<std::uint32_t>((fileSize_ + kPageSize - 1) / kPageSize * kPageSize);
  fileSize_ = off + std::uint64_t{kPageSize};
  newPages_.insert(off);
  return off;
}

void NtxOrder::FreePage(std::uint32_t offset) {
  // The file's tree links the page until the change is written: it joins the free list after.
  cache_.erase(offset);
  dirty_.erase(offset);
  pendingFree_.push_back(offset);
}

void NtxOrder::BeginChange() {
  rootBefore_ = header_.root;
  newPages_.clear();
  pendingFree_.clear();
  changePath_.clear();
}

void NtxOrder::WriteHeader(std::uint32_t root) {
  Header h = header_;
  h.root = root;
  ntx::EncodeHeader(h, headerRaw_.data());
  file_->Write(0, headerRaw_.data(), kPageSize);
}

void NtxOrder::WritePage(std::uint32_t offset, unsigned char* raw) {
  const Page& p = cache_.at(offset);
  if (p.items.size() > header_.maxItems) Fail("a page overflows (its neighbours are damaged)");
  ntx::EncodePage(p, header_, raw);
  pages_.Erase(offset);
  file_->Write(offset, raw, kPageSize);
}

// Every single write leaves a sound tree, so that a process killed between two of them leaves
// one for the other programs to read (and ours to repair): the header's counter moves first,
// so that they drop what they cached; a change of one page is that page written in place; a
// change of several writes every changed page but the topmost to a new place, then links them
// in by writing the topmost in place (or the header, when the root changes); the pages left
// behind join the free list only after that.
void NtxOrder::Commit() {
  std::vector<unsigned char> raw(kPageSize);
  header_.version = static_cast<std::uint16_t>(header_.version + 1);
  const bool structural = dirty_.size() > 1 || header_.root != rootBefore_ || !pendingFree_.empty();
  if (!structural) {
    WriteHeader(header_.root);
    for (const auto& [offset, changed] : dirty_) WritePage(offset, raw.data());
  } else {
    // No rebuild is needed after a kill among these writes (the file holds the entries of before
    // or after the change), so none is asked for: the structural note stays with the CDX files.
    const std::set<std::uint32_t> freed(pendingFree_.begin(), pendingFree_.end());
    // The topmost page of the change stays where it is; the pages of the path below it are
    // rewritten too, so that every page that moves has its parent rewritten with its new place.
    std::uint32_t top = 0;
    if (header_.root == rootBefore_)
      for (const Step& s : changePath_)
        if (!freed.count(s.page) && dirty_.count(s.page)) {
          top = s.page;
          break;
        }
    bool below = top == 0;
    for (const Step& s : changePath_) {
      if (s.page == top) below = true;
      else if (below && !freed.count(s.page)) Mutable(s.page);
    }
    std::vector<std::uint32_t> moving;
    for (const auto& [offset, changed] : dirty_)
      if (offset != top && !newPages_.count(offset)) moving.push_back(offset);
    std::map<std::uint32_t, std::uint32_t> moved;
    for (std::uint32_t from : moving) {
      const std::uint32_t to = AllocatePage();
      Page p = std::move(cache_.at(from));
      cache_.erase(from);
      dirty_.erase(from);
      p.offset = to;
      cache_[to] = std::move(p);
      dirty_[to] = true;
      moved[from] = to;
      pendingFree_.push_back(from);
    }
    auto relink = [&](std::uint32_t& link) {
      auto it = moved.find(link);
      if (it != moved.end()) link = it->second;
    };
    for (auto& [offset, changed] : dirty_) {
      Page& p = cache_.at(offset);
      for (Item& it : p.items) relink(it.child);
      relink(p.right);
    }
    relink(header_.root);
    // The pages taken for the change leave the free list before they are written.
    WriteHeader(rootBefore_);
    for (const auto& [offset, changed] : dirty_)
      if (offset != top) WritePage(offset, raw.data());
    if (top != 0) WritePage(top, raw.data());
    else WriteHeader(header_.root);
    for (std::uint32_t f : pendingFree_) {
      // A free page holds no items; its first item offset leads to the next free page.
      Page free = ntx::NewPage(f, header_);
      free.right = header_.freePage;
      ntx::EncodePage(free, header_, raw.data());
      pages_.Erase(f);
      file_->Write(f, raw.data(), kPageSize);
      header_.freePage = f;
    }
    if (!pendingFree_.empty()) WriteHeader(header_.root);
  }
  dirty_.clear();
  newPages_.clear();
  pendingFree_.clear();
  changePath_.clear();
  ntx::EncodeHeader(header_, headerRaw_.data());
  ++generation_;
  if (cache_.size() > kCacheLimit) cache_.clear();
}

std::unique_ptr<NtxOrder> NtxOrder::Create(std::unique_ptr<BlockFile> file, std::string name,
                                          const NtxDefinition& d, std::vector<KeyEntry> entries) {
  if (d.keyLength < 1 || d.keyLength > 250)
    throw IndexError(IndexErrorKind::kArgument, "NTX key length must be 1 to 250");
  if (d.keyExpression.size() >= ntx::kExpressionSize || d.forExpression.size() >= ntx::kExpressionSize)
    throw IndexError(IndexErrorKind::kArgument, "NTX expressions are limited to 255 characters");
  std::unique_ptr<NtxOrder> o(new NtxOrder(std::move(file), std::move(name)));
  Header& h = o->header_;
  h.signature = d.forExpression.empty() ? 6 : 7;
  h.version = 0;
  unsigned char old[4];
  if (o->file_->Size() >= sizeof old) {
    o->file_->Read(0, old, sizeof old);
    const unsigned signature = old[0] | (old[1] << 8);
    if (signature == 6 || signature == 7) h.version = static_cast<std::uint16_t>(old[2] | (old[3] << 8));
  }
  h.keySize = static_cast<std::uint16_t>(d.keyLength);
  h.itemSize = static_cast<std::uint16_t>(d.keyLength + 8);
  h.keyDecimals = static_cast<std::uint16_t>(d.keyDecimals);
  h.maxItems = ntx::MaxItemsFor(d.keyLength);
  h.halfItems = static_cast<std::uint16_t>(h.maxItems / 2);
  h.keyExpression = d.keyExpression;
  h.forExpression = d.forExpression;
  h.unique = d.unique;
  h.descending = d.descending;
  o->headerRaw_.assign(kPageSize, 0);
  o->WriteTree(std::move(entries));
  o->ReadHeader();
  return o;
}

void NtxOrder::Build(std::vector<KeyEntry> entries) {
  try {
    WriteTree(std::move(entries));
    ReadHeader();
  } catch (...) {
    ReadHeader();
    throw;
  }
}

void NtxOrder::WriteTree(std::vector<KeyEntry> entries) {
  for (const KeyEntry& e : entries)
    if (e.key.size() != header_.keySize)
      throw IndexError(IndexErrorKind::kArgument, "Key of " + std::to_string(e.key.size()) + " bytes for an order of " +
                                                      std::to_string(header_.keySize));
  std::stable_sort(entries.begin(), entries.end(), [&](const KeyEntry& a, const KeyEntry& b) {
    const int c = CompareKeys(a.key, b.key);
    return c != 0 ? c < 0 : a.recno < b.recno;
  });
  if (header_.unique)
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const KeyEntry& a, const KeyEntry& b) { return a.key == b.key; }),
                  entries.end());
  cache_.clear();
  dirty_.clear();
  file_->Truncate(kPageSize);
  fileSize_ = kPageSize;
  std::vector<unsigned char> raw(kPageSize);
  auto writePage = [&](Page& p) {
    p.offset = static_cast<std::uint32_t>(fileSize_);
    fileSize_ += kPageSize;
    ntx::EncodePage(p, header_, raw.data());
    file_->Write(p.offset, raw.data(), kPageSize);
    return p.offset;
  };
  // Level by level from the leaves: full pages, one item between two pages going up; when the
  // last page would be less than half full, it shares the items with the page before it.
  std::vector<Item> level;
  level.reserve(entries.size());
  for (KeyEntry& e : entries) level.push_back(Item{0, e.recno, std::move(e.key)});
  std::uint32_t lastChild = 0;
  const std::size_t max = header_.maxItems, half = header_.halfItems;
  for (;;) {
    const std::size_t n = level.size();
    if (n <= max) {
      Page root = ntx::NewPage(0, header_);
      root.items = std::move(level);
      root.right = lastChild;
      header_.root = writePage(root);
      break;
    }
    struct Run {
      std::size_t start, length;
    };
    std::vector<Run> runs;
    std::size_t i = 0;
    while (n - i > max) {
      runs.push_back({i, max});
      i += max + 1;
    }
    Run last{i, n - i};
    if (last.length < half) {
      const std::size_t start = runs.back().start;
      const std::size_t total = n - start - 1;
      const std::size_t left = (total + 1) / 2;
      runs.back().length = left;
      last = {start + left + 1, total - left};
    }
    runs.push_back(last);
    std::vector<Item> upper;
    upper.reserve(runs.size());
    for (std::size_t k = 0; k < runs.size(); ++k) {
      Page p = ntx::NewPage(0, header_);
      const Run& r = runs[k];
      p.items.assign(std::make_move_iterator(level.begin() + static_cast<std::ptrdiff_t>(r.start)),
                     std::make_move_iterator(level.begin() + static_cast<std::ptrdiff_t>(r.start + r.length)));
      const bool isLast = k + 1 == runs.size();
      const std::size_t sep = r.start + r.length;
      p.right = isLast ? lastChild : level[sep].child;
      const std::uint32_t off = writePage(p);
      if (!isLast) upper.push_back(Item{off, level[sep].recno, std::move(level[sep].key)});
      else lastChild = off;
    }
    level = std::move(upper);
  }
  header_.freePage = 0;
  header_.version = static_cast<std::uint16_t>(header_.version + 1);
  ntx::EncodeHeader(header_, headerRaw_.data());
  file_->Write(0, headerRaw_.data(), kPageSize);
}

bool NtxOrder::Insert(const KeyEntry& entry) {
  if (entry.key.size() != header_.keySize)
    throw IndexError(IndexErrorKind::kArgument, "Key of " + std::to_string(entry.key.size()) + " bytes for an order of " +
                                                    std::to_string(header_.keySize));
  try {
    BeginChange();
    Path path;
    if (header_.unique &&
        Bound([&](std::string_view key, std::uint32_t) { return CompareKeys(key, entry.key) >= 0; }, &path)) {
      if (PageAt(path.back().page).items[path.back().index].key == entry.key) return false;
    }
    path.clear();
    std::uint32_t page = header_.root;
    for (;;) {
      if (path.size() >= kMaxTreeDepth) Fail("the pages form a cycle");
      const Page& p = PageAt(page);
      std::size_t lo = 0, hi = p.items.size();
      while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (CompareEntries(p.items[mid].key, p.items[mid].recno, entry) > 0) hi = mid;
        else lo = mid + 1;
      }
      path.push_back({page, lo});
      if (p.IsLeaf()) break;
      page = p.Child(lo);
    }
    Mutable(path.back().page).InsertItem(path.back().index, Item{0, entry.recno, entry.key});
    changePath_ = path;
    Split(path);
    Commit();
    return true;
  } catch (...) {
    ReadHeader();
    throw;
  }
}

void NtxOrder::Split(Path path) {
  const std::size_t max = header_.maxItems, half = header_.halfItems;
  while (!path.empty()) {
    Page& x = Mutable(path.back().page);
    if (x.items.size() <= max) return;
    // The left half stays, the middle item goes up, the rest moves to a new page.
    Item middle = x.items[half];
    const std::uint32_t newOffset = AllocatePage();
    Page r = ntx::NewPage(newOffset, header_);
    r.items.assign(x.items.begin() + static_cast<std::ptrdiff_t>(half + 1), x.items.end());
    r.right = x.right;
    x.items.resize(half);
    x.right = middle.child;
    const std::uint32_t leftOffset = x.offset;
    cache_[newOffset] = std::move(r);
    dirty_[newOffset] = true;
    path.pop_back();
    Item up{leftOffset, middle.recno, std::move(middle.key)};
    if (path.empty()) {
      const std::uint32_t rootOffset = AllocatePage();
      Page root = ntx::NewPage(rootOffset, header_);
      root.items.push_back(std::move(up));
      root.right = newOffset;
      cache_[rootOffset] = std::move(root);
      dirty_[rootOffset] = true;
      header_.root = rootOffset;
      return;
    }
    Page& parent = Mutable(path.back().page);
    const std::size_t j = path.back().index;
    parent.InsertItem(j, std::move(up));
    parent.SetChild(j + 1, newOffset);
  }
}

bool NtxOrder::Remove(const KeyEntry& entry) {
  try {
    BeginChange();
    Path path;
    if (!FindPath(entry, &path)) return false;
    const Step at = path.back();
    const Page& x = PageAt(at.page);
    if (x.IsLeaf()) {
      Mutable(at.page).RemoveItem(at.index);
    } else {
      // An item of a branch page gives way to its predecessor, the last item of the leaf
      // before it; the leaf then loses that item.
      DescendLast(x.Child(at.index), &path);
      Page& leaf = Mutable(path.back().page);
      if (leaf.items.empty()) Fail("an empty page below the root");
      Item pred = leaf.items.back();
      leaf.RemoveItem(leaf.items.size() - 1);
      Page& branch = Mutable(at.page);
      branch.items[at.index].key = std::move(pred.key);
      branch.items[at.index].recno = pred.recno;
    }
    changePath_ = path;
    FixUnderflow(path);
    Commit();
    return true;
  } catch (...) {
    ReadHeader();
    throw;
  }
}

void NtxOrder::FixUnderflow(Path path) {
  const std::size_t half = header_.halfItems;
  while (!path.empty()) {
    Page& x = Mutable(path.back().page);
    if (path.size() == 1) {
      if (x.items.empty() && !x.IsLeaf()) {
        const std::uint32_t old = x.offset;
        header_.root = x.right;
        FreePage(old);
      }
      return;
    }
    if (x.items.size() >= half) return;
    Page& parent = Mutable(path[path.size() - 2].page);
    const std::size_t j = path[path.size() - 2].index;
    if (j > 0) {
      Page& left = Mutable(parent.Child(j - 1));
      if (left.items.size() > half) {  // borrow through the parent from the left
        x.InsertItem(0, Item{left.right, parent.items[j - 1].recno, parent.items[j - 1].key});
        parent.items[j - 1].key = left.items.back().key;
        parent.items[j - 1].recno = left.items.back().recno;
        left.right = left.items.back().child;
        left.RemoveItem(left.items.size() - 1);
        return;
      }
    }
    if (j < parent.items.size()) {
      Page& right = Mutable(parent.Child(j + 1));
      if (right.items.size() > half) {  // and from the right
        x.InsertItem(x.items.size(), Item{x.right, parent.items[j].recno, parent.items[j].key});
        x.right = right.items.front().child;
        parent.items[j].key = right.items.front().key;
        parent.items[j].recno = right.items.front().recno;
        right.RemoveItem(0);
        return;
      }
    }
    // Neither sibling can spare an item: two pages become one, the parent loses an item.
    const std::size_t sep = j > 0 ? j - 1 : j;
    Page& a = Mutable(parent.Child(sep));
    Page& b = Mutable(parent.Child(sep + 1));
    a.InsertItem(a.items.size(), Item{a.right, parent.items[sep].recno, parent.items[sep].key});
    for (Item& it : b.items) a.InsertItem(a.items.size(), std::move(it));
    a.right = b.right;
    const std::uint32_t gone = b.offset;
    const std::uint32_t kept = a.offset;
    parent.RemoveItem(sep);
    parent.SetChild(sep, kept);
    FreePage(gone);
    path.pop_back();
  }
}

std::uint64_t NtxOrder::CountFrom(std::uint32_t page, int depth, std::uint64_t* pagesSeen) {
  TrimCache();
  if (depth > static_cast<int>(kMaxTreeDepth) || ++*pagesSeen > fileSize_ / kPageSize) Fail("the pages form a cycle");
  const Page& p = PageAt(page);
  std::uint64_t n = p.items.size();
  if (!p.IsLeaf()) {
    std::vector<std::uint32_t> children;
    for (std::size_t i = 0; i <= p.items.size(); ++i) children.push_back(p.Child(i));
    for (std::uint32_t c : children) n += CountFrom(c, depth + 1, pagesSeen);
  }
  return n;
}

std::uint64_t NtxOrder::KeyCount() {
  return Retrying([&] { return CountKeys(); });
}

std::uint64_t NtxOrder::CountKeys() {
  if (countGeneration_ != generation_) {
    std::uint64_t seen = 0;
    count_ = CountFrom(header_.root, 0, &seen);
    countGeneration_ = generation_;
  }
  return count_;
}

void NtxOrder::Check() {
  std::set<std::uint32_t> pages;
  int leafDepth = -1;
  const KeyEntry* prev = nullptr;
  KeyEntry prevStore;
  std::function<void(std::uint32_t, int)> walk = [&](std::uint32_t off, int depth) {
    if (depth > static_cast<int>(kMaxTreeDepth)) Fail("the pages form a cycle");
    if (!pages.insert(off).second) Fail("page " + std::to_string(off) + " is linked twice");
    TrimCache();
    const Page p = PageAt(off);  // a copy: the walk below may evict the cache
    if (off != header_.root && p.items.empty()) Fail("an empty page below the root");
    if (p.IsLeaf()) {
      if (leafDepth < 0) leafDepth = depth;
      if (leafDepth != depth) Fail("leaves at different depths");
    }
    for (std::size_t i = 0; i <= p.items.size(); ++i) {
      if (!p.IsLeaf()) walk(p.Child(i), depth + 1);
      if (i == p.items.size()) break;
      const Item& it = p.items[i];
      if (prev && CompareKeys(prev->key, it.key) > 0)
        Fail("keys out of order in page " + std::to_string(off));
      prevStore = KeyEntry{it.key, it.recno};
      prev = &prevStore;
    }
  };
  walk(header_.root, 0);
  std::set<std::uint32_t> freePages;
  for (std::uint32_t f = header_.freePage; f != 0;) {
    if (pages.count(f) || !freePages.insert(f).second) Fail("the free-page list is damaged");
    if (f % kPageSize != 0 || f + std::uint64_t{kPageSize} > fileSize_) Fail("the free-page list leaves the file");
    unsigned char raw[kPageSize];
    file_->Read(f, raw, kPageSize);
    const std::uint16_t slot0 = static_cast<std::uint16_t>(raw[2] | (raw[3] << 8));
    if (slot0 + 4u > kPageSize) Fail("the free-page list is damaged");
    std::memcpy(&f, raw + slot0, 4);
  }
}

// ---- cursor ----

namespace {

class NtxCursor : public OrderCursor {
 public:
  explicit NtxCursor(NtxOrder& order) : o_(order) {}

  bool First() override { return o_.Retrying([&] { return DoFirst(); }); }
  bool DoFirst() {
    steps_ = 0;
    valid_ = false;
    o_.TrimCache();
    path_.clear();
    o_.DescendFirst(o_.Root(), &path_);
    if (o_.View(path_.back().page).Count() == 0) path_.clear();
    return Load();
  }
  bool Last() override { return o_.Retrying([&] { return DoLast(); }); }
  bool DoLast() {
    steps_ = 0;
    valid_ = false;
    o_.TrimCache();
    path_.clear();
    o_.DescendLast(o_.Root(), &path_);
    if (o_.View(path_.back().page).Count() == 0) path_.clear();
    return Load();
  }
  bool Next() override {
    const bool was = valid_;  // a step cut short starts again from the same entry
    return o_.Retrying([&] {
      valid_ = was;
      return DoNext();
    });
  }
  bool DoNext() {
    if (!valid_) return false;
    valid_ = false;
    o_.TrimCache();
    Direction(1);
    if (Resync() == Where::kFollowing) return Load();
    o_.StepNext(&path_);
    return Load();
  }
  bool Prev() override {
    const bool was = valid_;  // a step cut short starts again from the same entry
    return o_.Retrying([&] {
      valid_ = was;
      return DoPrev();
    });
  }
  bool DoPrev() {
    if (!valid_) return false;
    valid_ = false;
    o_.TrimCache();
    Direction(-1);
    const Where w = Resync();
    if (w == Where::kLost) {
      return Last();
    }
    o_.StepPrev(&path_);
    return Load();
  }
  bool Seek(std::string_view key) override { return o_.Retrying([&] { return DoSeek(key); }); }
  bool DoSeek(std::string_view key) {
    steps_ = 0;
    valid_ = false;
    o_.TrimCache();
    std::optional<ntx::PageView> leaf;  // spares looking the landing page up again
    o_.Bound([&](std::string_view k, std::uint32_t) { return o_.CompareKeys(k.substr(0, key.size()), key) >= 0; },
             &path_, &leaf);
    return Load(leaf) && current_.key.compare(0, key.size(), key) == 0;
  }
  bool SeekLast(std::string_view key) override { return o_.Retrying([&] { return DoSeekLast(key); }); }
  bool DoSeekLast(std::string_view key) {
    steps_ = 0;
    valid_ = false;
    o_.TrimCache();
    if (!o_.Bound([&](std::string_view k, std::uint32_t) { return o_.CompareKeys(k.substr(0, key.size()), key) > 0; },
                  &path_)) {
      if (!Last()) return false;
    } else {
      o_.StepPrev(&path_);
      if (!Load()) return false;
    }
    return Load() && current_.key.compare(0, key.size(), key) == 0;
  }
  bool Find(const KeyEntry& entry) override { return o_.Retrying([&] { return DoFind(entry); }); }
  bool DoFind(const KeyEntry& entry) {
    steps_ = 0;
    valid_ = false;
    o_.TrimCache();
    if (!o_.FindPath(entry, &path_)) path_.clear();
    return Load();
  }
  bool Valid() const override { return valid_; }
  const KeyEntry& Current() const override { return current_; }

 private:
  enum class Where { kSame, kFollowing, kLost };

  // The step count guards one walk in one direction.
  void Direction(int d) {
    if (d != direction_) steps_ = 0;
    direction_ = d;
  }

  // `known`: the view of the path's last page, when the caller has it at hand.
  bool Load(const std::optional<ntx::PageView>& known = std::nullopt) {
    const bool on = !path_.empty();
    // Pages linked into one another many times over could make a walk practically endless;
    // no sound file holds more entries than its pages can.
    if (on && ++steps_ > 4 * o_.MaxEntries()) Corrupt("index", "the walk does not end (pages linked more than once)");
    if (on) {
      const PageView p = known ? *known : o_.View(path_.back().page);
      if (path_.back().index >= p.Count()) Corrupt("index", "a walk left its page");
      current_.key.assign(p.Key(path_.back().index));
      current_.recno = p.Recno(path_.back().index);
    }
    generation_ = o_.Generation();
    valid_ = on;
    return on;
  }

  // After a change of the order, finds the current entry again, or the one now following it.
  Where Resync() {
    if (generation_ == o_.Generation()) return Where::kSame;
    if (o_.FindPath(current_, &path_)) return Where::kSame;
    const KeyEntry gone = current_;
    if (!o_.Bound([&](std::string_view key, std::uint32_t recno) { return o_.CompareEntries(key, recno, gone) > 0; },
                  &path_)) {
      path_.clear();
      return Where::kLost;
    }
    return Where::kFollowing;
  }

  NtxOrder& o_;
  std::uint64_t steps_ = 0;
  int direction_ = 0;
  NtxOrder::Path path_;
  KeyEntry current_;
  // False from the start of each call until it has loaded its entry: a call that fails part
  // way leaves the cursor off the order, never on a path that stops short.
  bool valid_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace

std::unique_ptr<OrderCursor> NtxOrder::NewCursor() { return std::make_unique<NtxCursor>(*this); }

}  // namespace xbe::index
