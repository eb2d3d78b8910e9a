#include "platform/xbe/index/cdx_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/key_compare.h"

namespace xbe::index {

using cdx::Entry;
using cdx::kNodeSize;
using cdx::kNone;
using cdx::Node;

namespace {
constexpr std::size_t kMaxTreeDepth = 32;
constexpr std::size_t kTagNameLength = 10;

std::string UpperName(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool ValidNode(std::uint64_t off, std::uint64_t size) {
  return off >= kNodeSize && off % kNodeSize == 0 && off + kNodeSize <= size;
}

int CompareKeys(std::string_view a, std::string_view b) {
  const int c = CompareKeyBytes(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
}  // namespace

// ---------------- tag ----------------

CdxTag::CdxTag(CdxFile& file, std::uint32_t headerOffset, std::string name, bool directory)
    : file_(file), headerOffset_(headerOffset), directory_(directory) {
  info_.name = std::move(name);
  ReadHeader();
}

void CdxTag::Fail(const std::string& what) const { Corrupt(file_.File().Name(), what); }

void CdxTag::ReadHeader() {
  viewSlots_ = ~std::uint64_t{0};
  cache_.clear();
  dirty_.clear();
  pendingFree_.clear();
  newNodes_.clear();
  changePath_.clear();
  headerRaw_.assign(cdx::kHeaderSize, 0);
  if (headerOffset_ + std::uint64_t{cdx::kHeaderSize} > file_.Size()) Fail("a tag header lies outside the file");
  file_.File().Read(headerOffset_, headerRaw_.data(), cdx::kHeaderSize);
  header_ = cdx::DecodeTagHeader(headerRaw_.data(), file_.File().Name());
  if (header_.keyLength < 1 || header_.keyLength > 240) Fail("bad key length in a tag header");
  if (!ValidNode(header_.root, file_.Size())) Fail("the root node of a tag lies outside the file");
  info_.keyExpression = header_.keyExpression;
  info_.forExpression = header_.forExpression;
  info_.unique = (header_.options & cdx::kUnique) != 0;
  info_.descending = header_.descending;
  info_.keyLength = header_.keyLength;
  info_.keyDecimals = 0;
  info_.pageSize = kNodeSize;
  ++file_.generation;
}

void CdxTag::Reload() { ReadHeader(); }

void CdxTag::SetKeyType(expr::Type t) {
  const char pad = (t == expr::Type::kNumeric || t == expr::Type::kDate) ? '\0' : ' ';
  if (pad != pad_) {
    pad_ = pad;
    cache_.clear();
    ++file_.generation;
  }
}

std::uint64_t CdxTag::Generation() const { return file_.generation; }

std::uint64_t CdxTag::MaxEntries() const { return (file_.Size() / kNodeSize + 1) * kNodeSize; }

const Node& CdxTag::NodeAt(std::uint32_t offset) {
  auto it = cache_.find(offset);
  if (it != cache_.end()) return it->second;
  if (!ValidNode(offset, file_.Size())) Fail("a node link points outside the file (offset " + std::to_string(offset) + ")");
  Node n = cdx::DecodeNode(file_.Page(offset), offset, header_.keyLength, pad_, file_.Size(), file_.File().Name());
  return cache_.emplace(offset, std::move(n)).first->second;
}

cdx::NodeView CdxTag::View(std::uint32_t offset) {
  if (!dirty_.empty() && dirty_.count(offset)) Fail("a node was read in place while it changes (internal)");
  // A walk reads the node it stands on again and again: while no cached node came or went, the
  // last view still shows it.
  if (offset == viewNode_ && file_.slotsChanged == viewSlots_) return *view_;
  if (!ValidNode(offset, file_.Size())) Fail("a node link points outside the file (offset " + std::to_string(offset) + ")");
  const unsigned char* raw = file_.Page(offset);
  // Forgotten before the check: a node that fails it leaves no view (emplace leaves none), and
  // nothing may name the view it replaced.
  viewSlots_ = ~std::uint64_t{0};
  view_.emplace(raw, offset, header_.keyLength, file_.File().Name());
  viewNode_ = offset;
  viewSlots_ = file_.slotsChanged;
  return *view_;
}

std::uint32_t CdxTag::ChildOf(const cdx::NodeView& branch, std::size_t i, std::uint32_t offset) const {
  const std::uint32_t child = branch.BranchChild(i);
  if (!ValidNode(child, file_.Size()) || child == offset)
    Fail("node at offset " + std::to_string(offset) + " points to a node outside the file");
  return child;
}

std::string_view CdxTag::KeyAt(const Step& s, std::uint32_t* recno) {
  const cdx::NodeView leaf = View(s.node);
  if (!leaf.IsLeaf() || s.index >= leaf.Count()) Fail("a walk left its node");
  if (!leaf_.Holds(s.node, file_.generation)) leaf_.Reset(s.node, file_.generation, header_.keyLength, pad_);
  if (recno) *recno = leaf.LeafRecno(s.index);
  return {leaf_.Key(leaf, s.index, file_.File().Name()), header_.keyLength};
}

Node& CdxTag::Mutable(std::uint32_t offset) {
  NodeAt(offset);
  dirty_[offset] = true;
  return cache_.at(offset);
}

void CdxTag::PutNode(Node n) {
  const std::uint32_t off = n.offset;
  cache_[off] = std::move(n);
  dirty_[off] = true;
}

int CdxTag::CompareEntries(std::string_view key, std::uint32_t recno, const KeyEntry& b) const {
  const int c = CompareKeys(key, b.key);
  if (c != 0) return c;
  return recno < b.recno ? -1 : recno > b.recno ? 1 : 0;
}

template <class AtOrAfter, class ScanLeaf>
bool CdxTag::Descend(const AtOrAfter& atOrAfter, const ScanLeaf& scanLeaf, Path* path) {
  path->clear();
  std::uint32_t node = header_.root;
  for (;;) {
    if (path->size() >= kMaxTreeDepth) Fail("the nodes form a cycle");
    const cdx::NodeView n = View(node);
    const std::size_t count = n.Count();
    const std::string_view::size_type klen = header_.keyLength;
    std::size_t lo = 0;
    if (n.IsLeaf()) {
      // Leaf keys build on one another: they are read in turn up to the first that qualifies.
      if (!leaf_.Holds(node, file_.generation)) leaf_.Reset(node, file_.generation, header_.keyLength, pad_);
      lo = scanLeaf(n);
    } else {
      std::size_t hi = count;
      while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (atOrAfter(std::string_view(n.BranchKey(mid), klen), n.BranchRecno(mid))) hi = mid;
        else lo = mid + 1;
      }
    }
    if (lo == count) {
      if (path->empty()) return false;
      Fail("a branch key does not match the keys below it");
    }
    path->push_back({node, lo});
    if (n.IsLeaf()) return true;
    node = ChildOf(n, lo, node);
  }
}

template <class AtOrAfter>
bool CdxTag::Bound(const AtOrAfter& atOrAfter, Path* path) {
  return Descend(
      atOrAfter, [&](const cdx::NodeView& leaf) { return leaf_.Scan(leaf, atOrAfter, file_.File().Name()); }, path);
}

bool CdxTag::SeekBound(std::string_view key, bool strict, Path* path) {
  // A stored key against `key`: only the length of `key` counts, and a longer `key` comes after
  // the stored keys it starts with.
  auto atOrAfter = [&](std::string_view stored, std::uint32_t) {
    int c = CompareKeyBytes(stored.data(), key.data(), std::min(stored.size(), key.size()));
    if (c == 0 && stored.size() < key.size()) c = -1;
    return strict ? c > 0 : c >= 0;
  };
  return Descend(
      atOrAfter, [&](const cdx::NodeView& leaf) { return leaf_.SeekScan(leaf, key, strict, file_.File().Name()); },
      path);
}

bool CdxTag::Edge(bool last, Path* path) {
  path->clear();
  std::uint32_t node = header_.root;
  for (;;) {
    if (path->size() >= kMaxTreeDepth) Fail("the nodes form a cycle");
    const cdx::NodeView n = View(node);
    if (n.Count() == 0) {
      if (!path->empty()) Fail("an empty node below the root");
      return false;
    }
    const std::size_t i = last ? n.Count() - 1 : 0;
    path->push_back({node, i});
    if (n.IsLeaf()) return true;
    node = ChildOf(n, i, node);
  }
}

bool CdxTag::StepNext(Path* path) {
  if (path->empty()) return false;
  if (path->back().index + 1 < View(path->back().node).Count()) {
    ++path->back().index;
    return true;
  }
  std::size_t level = path->size() - 1;
  while (level > 0) {
    --level;
    Step& s = (*path)[level];
    const cdx::NodeView n = View(s.node);
    if (s.index + 1 < n.Count()) {
      ++s.index;
      path->resize(level + 1);
      std::uint32_t child = ChildOf(n, s.index, s.node);
      for (;;) {
        if (path->size() >= kMaxTreeDepth) Fail("the nodes form a cycle");
        const cdx::NodeView c = View(child);
        if (c.Count() == 0) Fail("an empty node below the root");
        path->push_back({child, 0});
        if (c.IsLeaf()) return true;
        child = ChildOf(c, 0, child);
      }
    }
  }
  path->clear();
  return false;
}

bool CdxTag::StepPrev(Path* path) {
  if (path->empty()) return false;
  if (path->back().index > 0) {
    --path->back().index;
    return true;
  }
  std::size_t level = path->size() - 1;
  while (level > 0) {
    --level;
    Step& s = (*path)[level];
    if (s.index > 0) {
      --s.index;
      path->resize(level + 1);
      std::uint32_t child = ChildOf(View(s.node), s.index, s.node);
      for (;;) {
        if (path->size() >= kMaxTreeDepth) Fail("the nodes form a cycle");
        const cdx::NodeView c = View(child);
        if (c.Count() == 0) Fail("an empty node below the root");
        path->push_back({child, c.Count() - 1});
        if (c.IsLeaf()) return true;
        child = ChildOf(c, c.Count() - 1, child);
      }
    }
  }
  path->clear();
  return false;
}

bool CdxTag::FindPath(const KeyEntry& entry, Path* path) {
  if (Bound([&](std::string_view key, std::uint32_t recno) { return CompareEntries(key, recno, entry) >= 0; }, path)) {
    if (RecnoAt(path->back()) == entry.recno && KeyAt(path->back()) == entry.key) return true;
  }
  // Equal keys of files written elsewhere need not be in record order.
  if (!Bound([&](std::string_view key, std::uint32_t) { return CompareKeys(key, entry.key) >= 0; }, path))
    return false;
  for (std::uint64_t guard = 0; guard <= file_.Size(); ++guard) {
    if (KeyAt(path->back()) != entry.key) return false;
    if (RecnoAt(path->back()) == entry.recno) return true;
    if (!StepNext(path)) return false;
  }
  Fail("the walk does not end");
}

void CdxTag::BeginChange() {
  rootBefore_ = header_.root;
  newNodes_.clear();
  changePath_.clear();
}

std::uint32_t CdxTag::NewNode() {
  const std::uint32_t off = file_.AllocateNode();
  newNodes_.insert(off);
  return off;
}

void CdxTag::WriteNode(std::uint32_t off) {
  unsigned char raw[kNodeSize];
  if (!cdx::EncodeNode(cache_.at(off), header_.keyLength, pad_, raw)) Fail("a node does not fit (internal)");
  file_.Write(off, raw, kNodeSize);
}

bool CdxTag::OnlyLinksChanged(std::uint32_t off) {
  const Node stored = cdx::DecodeNode(file_.Page(off), off, header_.keyLength, pad_, file_.Size(), file_.File().Name());
  const Node& now = cache_.at(off);
  if (stored.attributes != now.attributes || stored.entries.size() != now.entries.size()) return false;
  for (std::size_t i = 0; i < now.entries.size(); ++i)
    if (stored.entries[i].key != now.entries[i].key || stored.entries[i].recno != now.entries[i].recno ||
        stored.entries[i].child != now.entries[i].child)
      return false;
  return true;
}

// Every single write leaves a sound tree for a process killed between two of them, whether the
// file is then read by descending from the root or along the sibling links: a change of one node
// is that node written in place; a change of several writes every changed node but the topmost to
// a new place, then the topmost in place (the tag header, when the root changes), which links them
// in, then the sibling links of their neighbours one by one (a walk along them sees the nodes of
// before or of after), and frees what is left behind last. The file's change counter moves
// first, so that other programs drop what they cached even when we are killed halfway.
void CdxTag::Commit() {
  const bool structural = dirty_.size() > 1 || !pendingFree_.empty() || header_.root != rootBefore_;
  if (!structural) {
    for (const auto& [off, changed] : dirty_) WriteNode(off);
  } else {
    file_.File().BeforeStructuralChange();
    if (!directory_) file_.NoteChange();
    const std::set<std::uint32_t> freed(pendingFree_.begin(), pendingFree_.end());
    std::set<std::uint32_t> linksOnly;
    for (const auto& [off, changed] : dirty_)
      if (!newNodes_.count(off) && OnlyLinksChanged(off)) linksOnly.insert(off);
    // The topmost node of the path whose contents change stays in place; the path's nodes below
    // it move, so that each moving node's parent is rewritten with its new place.
    std::uint32_t top = 0;
    if (header_.root == rootBefore_)
      for (const Step& st : changePath_)
        if (!freed.count(st.node) && dirty_.count(st.node) && !linksOnly.count(st.node)) {
          top = st.node;
          break;
        }
    bool below = top == 0;
    for (const Step& st : changePath_) {
      if (st.node == top) below = true;
      else if (below && !freed.count(st.node)) {
        Mutable(st.node);
        linksOnly.erase(st.node);
      }
    }
    std::map<std::uint32_t, std::uint32_t> moved;
    for (const auto& [off, changed] : dirty_)
      if (off != top && !newNodes_.count(off) && !linksOnly.count(off)) moved[off] = 0;
    for (auto& [from, to] : moved) to = NewNode();
    // The neighbours of a moving node learn its new place after the switch.
    for (const auto& [from, to] : moved)
      for (const std::uint32_t side : {cache_.at(from).left, cache_.at(from).right})
        if (side != kNone && !moved.count(side) && !dirty_.count(side) && !freed.count(side)) {
          Mutable(side);
          linksOnly.insert(side);
        }
    for (const auto& [from, to] : moved) {
      Node n = std::move(cache_.at(from));
      cache_.erase(from);
      dirty_.erase(from);
      n.offset = to;
      cache_[to] = std::move(n);
      dirty_[to] = true;
      pendingFree_.push_back(from);
    }
    auto relink = [&](std::uint32_t& link) {
      auto it = moved.find(link);
      if (it != moved.end()) link = it->second;
    };
    for (auto& [off, changed] : dirty_) {
      Node& n = cache_.at(off);
      relink(n.left);
      relink(n.right);
      if (!n.IsLeaf())
        for (Entry& e : n.entries) relink(e.child);
    }
    relink(header_.root);
    for (const auto& [off, changed] : dirty_)
      if (off != top && !linksOnly.count(off)) WriteNode(off);
    if (top != 0) WriteNode(top);
    else WriteTagHeader();
    for (std::uint32_t off : linksOnly) WriteNode(off);
  }
  dirty_.clear();
  newNodes_.clear();
  changePath_.clear();
  // Nodes go to the free list only once nothing links to them any more.
  for (std::uint32_t node : pendingFree_) file_.FreeNode(node);
  pendingFree_.clear();
  FinishChange();
  if (cache_.size() > kCacheLimit) cache_.clear();
}

void CdxTag::WriteTagHeader() {
  cdx::EncodeTagHeader(header_, headerRaw_.data());
  if (directory_) file_.StampHeader(headerRaw_.data());  // the file's own header: its counter too
  file_.Write(headerOffset_, headerRaw_.data(), cdx::kHeaderSize);
}

void CdxTag::FinishChange() {
  header_.version += 1;
  if (directory_) header_.freeList = file_.FreeListHead();
  WriteTagHeader();
  if (!directory_) file_.NoteChange();
  ++file_.generation;
}

void CdxTag::RefreshMax(Path path) {
  // A branch entry holds the last key of its child: keep them so after a change below.
  while (path.size() > 1) {
    const Node& x = NodeAt(path.back().node);
    if (x.entries.empty()) return;
    const Entry& last = x.entries.back();
    const Step& up = path[path.size() - 2];
    const Entry& e = NodeAt(up.node).entries[up.index];
    if (e.key == last.key && e.recno == last.recno) return;
    const std::string key = last.key;
    const std::uint32_t recno = last.recno;
    Node& p = Mutable(up.node);
    p.entries[up.index].key = key;
    p.entries[up.index].recno = recno;
    path.pop_back();
  }
}

void CdxTag::SplitUp(Path path) {
  const std::size_t maxBranch = cdx::MaxBranchEntries(header_.keyLength);
  while (!path.empty()) {
    Node& x = Mutable(path.back().node);
    const bool fits = x.IsLeaf() ? cdx::LeafFits(x.entries, 0, x.entries.size(), header_.keyLength, pad_)
                                 : x.entries.size() <= maxBranch;
    if (fits) {
      RefreshMax(path);
      return;
    }
    // Split near the middle; both halves must fit.
    const std::size_t n = x.entries.size();
    std::size_t k = n / 2;
    if (x.IsLeaf()) {
      for (std::size_t d = 0; d < n; ++d) {
        const std::size_t lo = n / 2 >= d ? n / 2 - d : 0, hi = std::min(n - 1, n / 2 + d);
        auto ok = [&](std::size_t s) {
          return s > 0 && s < n && cdx::LeafFits(x.entries, 0, s, header_.keyLength, pad_) &&
                 cdx::LeafFits(x.entries, s, n, header_.keyLength, pad_);
        };
        if (ok(lo)) { k = lo; break; }
        if (ok(hi)) { k = hi; break; }
      }
    }
    Node r;
    r.offset = NewNode();
    r.attributes = x.IsLeaf() ? cdx::kLeaf : cdx::kBranch;
    r.entries.assign(x.entries.begin() + static_cast<std::ptrdiff_t>(k), x.entries.end());
    x.entries.resize(k);
    r.left = x.offset;
    r.right = x.right;
    const bool wasRoot = (x.attributes & cdx::kRoot) != 0;
    x.attributes = static_cast<std::uint16_t>(x.attributes & ~cdx::kRoot);
    x.right = r.offset;
    const std::uint32_t xOff = x.offset;
    const Entry xMax{x.entries.back().key, x.entries.back().recno, xOff};
    const Entry rMax{r.entries.back().key, r.entries.back().recno, r.offset};
    if (r.right != kNone) Mutable(r.right).left = r.offset;
    PutNode(std::move(r));
    path.pop_back();
    if (wasRoot || path.empty()) {
      Node root;
      root.offset = NewNode();
      root.attributes = cdx::kBranch | cdx::kRoot;
      root.entries = {xMax, rMax};
      header_.root = root.offset;
      PutNode(std::move(root));
      return;
    }
    Node& p = Mutable(path.back().node);
    const std::size_t j = path.back().index;
    p.entries[j] = xMax;
    p.entries.insert(p.entries.begin() + static_cast<std::ptrdiff_t>(j + 1), rMax);
  }
}

bool CdxTag::Insert(const KeyEntry& entry) {
  if (entry.key.size() != header_.keyLength)
    throw IndexError(IndexErrorKind::kArgument, "Key of " + std::to_string(entry.key.size()) + " bytes for a tag of " +
                                                    std::to_string(header_.keyLength));
  try {
    BeginChange();
    Path path;
    if (info_.unique &&
        Bound([&](std::string_view key, std::uint32_t) { return CompareKeys(key, entry.key) >= 0; }, &path)) {
      if (KeyAt(path.back()) == entry.key) return false;
    }
    path.clear();
    std::uint32_t node = header_.root;
    for (;;) {
      if (path.size() >= kMaxTreeDepth) Fail("the nodes form a cycle");
      const Node& n = NodeAt(node);
      std::size_t lo = 0, hi = n.entries.size();
      while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (CompareEntries(n.entries[mid].key, n.entries[mid].recno, entry) >= 0) hi = mid;
        else lo = mid + 1;
      }
      if (n.IsLeaf()) {
        path.push_back({node, lo});
        break;
      }
      if (n.entries.empty()) Fail("an empty branch node");
      if (lo == n.entries.size()) lo = n.entries.size() - 1;  // beyond every key: the last child
      path.push_back({node, lo});
      node = n.entries[lo].child;
    }
    Node& leaf = Mutable(path.back().node);
    leaf.entries.insert(leaf.entries.begin() + static_cast<std::ptrdiff_t>(path.back().index),
                        Entry{entry.key, entry.recno, 0});
    changePath_ = path;
    SplitUp(path);
    Commit();
    return true;
  } catch (...) {
    ReadHeader();
    throw;
  }
}

void CdxTag::RemoveNodeFromParent(Path path) {
  // path.back() is an empty node below the root: unlink it, free it, drop its entry above.
  while (path.size() > 1) {
    Node& x = Mutable(path.back().node);
    if (!x.entries.empty()) break;
    if (x.left != kNone) Mutable(x.left).right = x.right;
    if (x.right != kNone) Mutable(x.right).left = x.left;
    const std::uint32_t gone = x.offset;
    cache_.erase(gone);
    dirty_.erase(gone);
    pendingFree_.push_back(gone);
    path.pop_back();
    Node& p = Mutable(path.back().node);
    p.entries.erase(p.entries.begin() + static_cast<std::ptrdiff_t>(path.back().index));
    if (!p.entries.empty() && path.back().index == p.entries.size()) path.back().index = p.entries.size() - 1;
  }
  // A root with one child gives way to it; a root with none becomes an empty leaf.
  for (;;) {
    Node& root = Mutable(header_.root);
    if (root.IsLeaf()) break;
    if (root.entries.empty()) {
      root.attributes = cdx::kLeaf | cdx::kRoot;
      break;
    }
    if (root.entries.size() > 1) break;
    const std::uint32_t child = root.entries[0].child;
    const std::uint32_t old = root.offset;
    Node& c = Mutable(child);
    c.attributes = static_cast<std::uint16_t>(c.attributes | cdx::kRoot);
    c.left = kNone;
    c.right = kNone;
    header_.root = child;
    cache_.erase(old);
    dirty_.erase(old);
    pendingFree_.push_back(old);
  }
  // Steps above the root that gave way are no longer in the tree.
  while (!path.empty() && path.front().node != header_.root) path.erase(path.begin());
  if (path.size() > 1) RefreshMax(path);
}

bool CdxTag::Remove(const KeyEntry& entry) {
  try {
    BeginChange();
    Path path;
    if (!FindPath(entry, &path)) return false;
    changePath_ = path;
    Node& leaf = Mutable(path.back().node);
    leaf.entries.erase(leaf.entries.begin() + static_cast<std::ptrdiff_t>(path.back().index));
    if (leaf.entries.empty() && path.size() > 1) {
      RemoveNodeFromParent(path);
    } else {
      if (!leaf.entries.empty() && path.back().index == leaf.entries.size()) path.back().index = leaf.entries.size() - 1;
      // A leaf another program packed tighter than this encoding may no longer fit: split it.
      SplitUp(path);
    }
    Commit();
    return true;
  } catch (...) {
    ReadHeader();
    throw;
  }
}

void CdxTag::Build(std::vector<KeyEntry> entries) {
  try {
    for (const KeyEntry& e : entries)
      if (e.key.size() != header_.keyLength)
        throw IndexError(IndexErrorKind::kArgument, "Key of " + std::to_string(e.key.size()) + " bytes for a tag of " +
                                                        std::to_string(header_.keyLength));
    std::set<std::uint32_t> seen;
    std::function<void(std::uint32_t, int)> collect = [&](std::uint32_t node, int depth) {
      if (depth > static_cast<int>(kMaxTreeDepth) || !seen.insert(node).second) Fail("the nodes form a cycle");
      const Node n = NodeAt(node);
      if (!n.IsLeaf())
        for (const Entry& e : n.entries) collect(e.child, depth + 1);
    };
    collect(header_.root, 0);
    for (std::uint32_t node : seen) file_.FreeNode(node);
    cache_.clear();
    dirty_.clear();
    WriteTree(std::move(entries));
  } catch (...) {
    ReadHeader();
    throw;
  }
  ReadHeader();
}

void CdxTag::WriteTree(std::vector<KeyEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const KeyEntry& a, const KeyEntry& b) {
    const int c = CompareKeys(a.key, b.key);
    return c != 0 ? c < 0 : a.recno < b.recno;
  });
  if (info_.unique)
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const KeyEntry& a, const KeyEntry& b) { return a.key == b.key; }),
                  entries.end());
  std::vector<Entry> items;
  items.reserve(entries.size());
  for (KeyEntry& e : entries) items.push_back(Entry{std::move(e.key), e.recno, 0});
  unsigned char raw[kNodeSize];
  auto writeLevel = [&](std::vector<Node>& level) {
    for (std::size_t i = 0; i < level.size(); ++i) {
      level[i].left = i > 0 ? level[i - 1].offset : kNone;
      level[i].right = i + 1 < level.size() ? level[i + 1].offset : kNone;
    }
    if (level.size() == 1) level[0].attributes = static_cast<std::uint16_t>(level[0].attributes | cdx::kRoot);
    for (const Node& n : level) {
      if (!cdx::EncodeNode(n, header_.keyLength, pad_, raw)) Fail("a node does not fit (internal)");
      file_.Write(n.offset, raw, kNodeSize);
    }
  };
  // Leaves as full as the compression allows.
  std::vector<Node> level;
  std::size_t start = 0;
  do {
    std::size_t end = start;
    std::size_t step = 64;
    while (end < items.size()) {  // grow by steps, then back off one by one
      const std::size_t tryEnd = std::min(items.size(), end + step);
      if (cdx::LeafFits(items, start, tryEnd, header_.keyLength, pad_)) {
        end = tryEnd;
      } else if (step > 1) {
        step /= 2;
      } else {
        break;
      }
    }
    Node n;
    n.offset = file_.AllocateNode();
    n.attributes = cdx::kLeaf;
    n.entries.assign(items.begin() + static_cast<std::ptrdiff_t>(start), items.begin() + static_cast<std::ptrdiff_t>(end));
    level.push_back(std::move(n));
    start = end;
  } while (start < items.size());
  writeLevel(level);
  const std::size_t maxBranch = cdx::MaxBranchEntries(header_.keyLength);
  while (level.size() > 1) {
    std::vector<Node> upper;
    for (std::size_t i = 0; i < level.size(); i += maxBranch) {
      Node n;
      n.offset = file_.AllocateNode();
      n.attributes = cdx::kBranch;
      for (std::size_t k = i; k < std::min(level.size(), i + maxBranch); ++k)
        n.entries.push_back(Entry{level[k].entries.back().key, level[k].entries.back().recno, level[k].offset});
      upper.push_back(std::move(n));
    }
    writeLevel(upper);
    level = std::move(upper);
  }
  header_.root = level[0].offset;
  FinishChange();
}

std::uint64_t CdxTag::KeyCount() {
  if (countGeneration_ != file_.generation) {
    std::uint64_t visited = 0;
    // Nodes read in place: a view lasts until the next read, so each child is looked up anew.
    std::function<std::uint64_t(std::uint32_t, int)> count = [&](std::uint32_t node, int depth) -> std::uint64_t {
      if (depth > static_cast<int>(kMaxTreeDepth) || ++visited > file_.Size() / kNodeSize) Fail("the nodes form a cycle");
      const cdx::NodeView n = View(node);
      if (n.IsLeaf()) return n.Count();
      const std::size_t children = n.Count();
      std::uint64_t sum = 0;
      for (std::size_t i = 0; i < children; ++i) sum += count(ChildOf(View(node), i, node), depth + 1);
      return sum;
    };
    count_ = count(header_.root, 0);
    countGeneration_ = file_.generation;
  }
  return count_;
}

void CdxTag::Check() {
  std::set<std::uint32_t> seen;
  std::vector<std::vector<std::uint32_t>> levels;
  int leafDepth = -1;
  bool havePrev = false;
  Entry prev;
  // Returns the last entry below `node`.
  std::function<Entry(std::uint32_t, int)> walk = [&](std::uint32_t node, int depth) -> Entry {
    if (depth > static_cast<int>(kMaxTreeDepth)) Fail("the nodes form a cycle");
    if (!seen.insert(node).second) Fail("node " + std::to_string(node) + " is linked twice");
    TrimCache();
    const Node n = NodeAt(node);
    if (levels.size() <= static_cast<std::size_t>(depth)) levels.resize(static_cast<std::size_t>(depth) + 1);
    levels[static_cast<std::size_t>(depth)].push_back(node);
    const bool isRoot = node == header_.root;
    if (((n.attributes & cdx::kRoot) != 0) != isRoot) Fail("node " + std::to_string(node) + " has a wrong root mark");
    if (!isRoot && n.entries.empty()) Fail("an empty node below the root");
    if (n.IsLeaf()) {
      if (leafDepth < 0) leafDepth = depth;
      if (leafDepth != depth) Fail("leaves at different depths");
      for (const Entry& e : n.entries) {
        if (havePrev) {
          const int c = CompareKeys(prev.key, e.key);
          if (c > 0 || (c == 0 && prev.recno >= e.recno)) Fail("keys out of order in node " + std::to_string(node));
        }
        prev = e;
        havePrev = true;
      }
      return n.entries.empty() ? Entry{} : n.entries.back();
    }
    Entry last;
    for (const Entry& e : n.entries) {
      last = walk(e.child, depth + 1);
      if (last.key != e.key || last.recno != e.recno)
        Fail("a branch key of node " + std::to_string(node) + " is not the last key below it");
    }
    return last;
  };
  walk(header_.root, 0);
  for (const std::vector<std::uint32_t>& level : levels)
    for (std::size_t i = 0; i < level.size(); ++i) {
      const Node& n = NodeAt(level[i]);
      const std::uint32_t left = i > 0 ? level[i - 1] : kNone, right = i + 1 < level.size() ? level[i + 1] : kNone;
      if (n.left != left || n.right != right) Fail("sibling links of node " + std::to_string(level[i]) + " are wrong");
    }
}

// ---------------- cursor ----------------

namespace {

// Walks the ascending storage, backwards for descending tags.
class CdxCursor : public OrderCursor {
 public:
  CdxCursor(CdxTag& tag, bool reverse) : t_(tag), reverse_(reverse) {}

  bool First() override {
    steps_ = 0;
    valid_ = false;
    t_.TrimCache();
    return Edge(reverse_);
  }
  bool Last() override {
    steps_ = 0;
    valid_ = false;
    t_.TrimCache();
    return Edge(!reverse_);
  }
  bool Next() override { return Move(!reverse_); }
  bool Prev() override { return Move(reverse_); }

  bool Seek(std::string_view key) override {
    steps_ = 0;
    valid_ = false;
    t_.TrimCache();
    return reverse_ ? SeekHigh(key) : SeekLow(key);
  }
  bool SeekLast(std::string_view key) override {
    steps_ = 0;
    valid_ = false;
    t_.TrimCache();
    return reverse_ ? SeekLow(key) : SeekHigh(key);
  }

  bool Find(const KeyEntry& entry) override {
    steps_ = 0;
    valid_ = false;
    t_.TrimCache();
    if (!t_.FindPath(entry, &path_)) path_.clear();
    return Load();
  }
  bool Valid() const override { return valid_; }
  const KeyEntry& Current() const override { return current_; }

 private:
  bool Matches(std::string_view key) const { return valid_ && current_.key.compare(0, key.size(), key) == 0; }

  // First stored entry whose prefix is >= key.
  bool SeekLow(std::string_view key) {
    t_.SeekBound(key, false, &path_);
    Load();
    return Matches(key);
  }
  // Last stored entry whose prefix is <= key.
  bool SeekHigh(std::string_view key) {
    if (t_.SeekBound(key, true, &path_)) {
      t_.StepPrev(&path_);
    } else {
      t_.Edge(true, &path_);
    }
    Load();
    return Matches(key);
  }

  bool Edge(bool last) {
    if (!t_.Edge(last, &path_)) path_.clear();
    return Load();
  }

  bool Move(bool forward) {
    if (!valid_) return false;
    valid_ = false;
    t_.TrimCache();
    // The step count guards one walk in one direction.
    if ((forward ? 1 : -1) != direction_) steps_ = 0;
    direction_ = forward ? 1 : -1;
    if (generation_ != t_.Generation() && !t_.FindPath(current_, &path_)) {
      // The entry is gone: stand on its successor (in the direction of the move).
      const KeyEntry gone = current_;
      const bool any = t_.Bound(
          [&](std::string_view key, std::uint32_t recno) { return t_.CompareEntries(key, recno, gone) > 0; }, &path_);
      if (forward) {
        if (!any) path_.clear();
        return Load();
      }
      if (!any) t_.Edge(true, &path_);
      else t_.StepPrev(&path_);
      return Load();
    }
    forward ? t_.StepNext(&path_) : t_.StepPrev(&path_);
    return Load();
  }

  bool Load() {
    const bool on = !path_.empty();
    // Nodes linked into one another many times over could make a walk practically endless.
    if (on && ++steps_ > 4 * t_.MaxEntries()) Corrupt("index", "the walk does not end (nodes linked more than once)");
    if (on) {
      const std::string_view key = t_.KeyAt(path_.back(), &current_.recno);
      current_.key.assign(key.data(), key.size());
    }
    generation_ = t_.Generation();
    valid_ = on;
    return on;
  }

  CdxTag& t_;
  std::uint64_t steps_ = 0;
  int direction_ = 0;
  bool reverse_;
  CdxTag::Path path_;
  KeyEntry current_;
  // False from the start of each call until it has loaded its entry: a call that fails part
  // way leaves the cursor off the order, never on a path that stops short.
  bool valid_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace

std::unique_ptr<OrderCursor> CdxTag::NewCursor() {
  return std::make_unique<CdxCursor>(*this, info_.descending && !directory_);
}

// ---------------- file ----------------

std::unique_ptr<CdxFile> CdxFile::Open(std::unique_ptr<BlockFile> file, KeyTypeOf keyTypeOf) {
  std::unique_ptr<CdxFile> f(new CdxFile());
  f->file_ = std::move(file);
  f->size_ = f->file_->Size();
  if (f->size_ < cdx::kHeaderSize + kNodeSize) Corrupt(f->file_->Name(), "the file is too short for a CDX index");
  f->SizeCache();
  f->directory_ = std::make_unique<CdxTag>(*f, 0, "", true);
  if ((f->directory_->header_.options & cdx::kCompact) == 0)
    throw IndexError(IndexErrorKind::kUnsupported, "Index " + f->file_->Name() + " is not a compact compound index");
  f->freeList_ = f->directory_->header_.freeList;
  if (f->freeList_ != 0 && !ValidNode(f->freeList_, f->size_)) f->freeList_ = 0;
  f->ReadCounter();
  f->LoadTags(keyTypeOf);
  return f;
}

void CdxFile::LoadTags(const KeyTypeOf& keyTypeOf) {
  tags_.clear();
  tagList_.clear();
  auto c = directory_->NewCursor();
  for (bool ok = c->First(); ok; ok = c->Next()) {
    std::string name = c->Current().key;
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    const std::uint32_t off = c->Current().recno;
    if (off % kNodeSize != 0 || off + std::uint64_t{cdx::kHeaderSize} > size_ || off < cdx::kHeaderSize)
      Corrupt(file_->Name(), "tag " + name + " has its header outside the file");
    if (tags_.size() > 1000) Corrupt(file_->Name(), "the tag directory does not end");
    auto tag = std::make_unique<CdxTag>(*this, off, name, false);
    if (keyTypeOf) tag->SetKeyType(keyTypeOf(tag->Info().keyExpression));
    tags_.push_back(std::move(tag));
  }
  for (auto& t : tags_) tagList_.push_back(t.get());
  std::sort(tagList_.begin(), tagList_.end(), [](CdxTag* a, CdxTag* b) { return a->HeaderOffset() < b->HeaderOffset(); });
}

std::unique_ptr<CdxFile> CdxFile::Create(std::unique_ptr<BlockFile> file) {
  // A file written anew over an old one goes on counting its changes, so that the programs
  // that kept its nodes see a change even when it comes out the same size.
  std::uint32_t counter = 0;
  if (file->Size() >= 12) {
    unsigned char old[4];
    file->Read(8, old, 4);
    counter = cdx::Get32Be(old) + 1;
  }
  file->Truncate(0);
  std::vector<unsigned char> header(cdx::kHeaderSize, 0);
  cdx::TagHeader h;
  h.root = cdx::kHeaderSize;
  h.keyLength = kTagNameLength;
  h.options = cdx::kCompact | cdx::kCompound | cdx::kDirectory;
  cdx::EncodeTagHeader(h, header.data());
  cdx::Put32Be(header.data() + 8, counter);
  file->Write(0, header.data(), header.size());
  Node root;
  root.offset = cdx::kHeaderSize;
  root.attributes = cdx::kLeaf | cdx::kRoot;
  unsigned char raw[kNodeSize];
  cdx::EncodeNode(root, kTagNameLength, ' ', raw);
  file->Write(root.offset, raw, kNodeSize);
  return Open(std::move(file));
}

CdxTag* CdxFile::FindTag(std::string_view name) const {
  const std::string want = UpperName(name);
  for (CdxTag* t : tagList_)
    if (UpperName(t->Info().name) == want) return t;
  return nullptr;
}

CdxTag& CdxFile::AddTag(const CdxTagDefinition& d, std::vector<KeyEntry> entries) {
  const std::string name = UpperName(d.name);
  if (name.empty() || name.size() > kTagNameLength)
    throw IndexError(IndexErrorKind::kArgument, "A tag name has 1 to 10 characters");
  if (FindTag(name)) throw IndexError(IndexErrorKind::kArgument, "Tag " + name + " exists already");
  if (d.keyLength < 1 || d.keyLength > 240) throw IndexError(IndexErrorKind::kArgument, "CDX key length must be 1 to 240");
  const std::uint32_t off = AllocateHeader();
  Node root;
  root.offset = AllocateNode();
  root.attributes = cdx::kLeaf | cdx::kRoot;
  unsigned char raw[kNodeSize];
  cdx::EncodeNode(root, d.keyLength, ' ', raw);
  Write(root.offset, raw, kNodeSize);
  std::vector<unsigned char> header(cdx::kHeaderSize, 0);
  cdx::TagHeader h;
  h.root = root.offset;
  h.keyLength = static_cast<std::uint16_t>(d.keyLength);
  h.options = static_cast<std::uint8_t>(cdx::kCompact | cdx::kCompound | (d.unique ? cdx::kUnique : 0) |
                                        (d.forExpression.empty() ? 0 : cdx::kHasFor));
  h.descending = d.descending;
  h.keyExpression = d.keyExpression;
  h.forExpression = d.forExpression;
  cdx::EncodeTagHeader(h, header.data());
  Write(off, header.data(), header.size());
  auto tag = std::make_unique<CdxTag>(*this, off, name, false);
  tag->SetKeyType(d.keyType);
  tag->Build(std::move(entries));
  std::string key = name;
  key.resize(kTagNameLength, ' ');
  directory_->Insert(KeyEntry{key, off});
  CdxTag& ref = *tag;
  tags_.push_back(std::move(tag));
  tagList_.push_back(&ref);
  return ref;
}

void CdxFile::SizeCache() {
  ++slotsChanged;
  pages_.Reset(size_);
  cacheSizedFor_ = size_;
}

const unsigned char* CdxFile::Page(std::uint32_t offset) {
  if (const unsigned char* raw = pages_.Find(offset)) return raw;
  // A file grown well past the size the cache was made for (a tag built or filled since) gets
  // a cache of its size, within the bound.
  if (size_ > 2 * cacheSizedFor_ && pages_.Bytes() < kPageCacheBytes) SizeCache();
  ++slotsChanged;
  unsigned char* raw = pages_.Claim(offset);
  try {
    file_->Read(offset, raw, kNodeSize);
  } catch (...) {
    pages_.Erase(offset);
    throw;
  }
  return raw;
}

void CdxFile::Write(std::uint64_t offset, const void* data, std::size_t length) {
  ++slotsChanged;
  for (std::uint64_t page = offset / kNodeSize * kNodeSize; page < offset + length; page += kNodeSize)
    if (page != 0) pages_.Erase(static_cast<std::uint32_t>(page));
  file_->Write(offset, data, length);
  // A whole node written is what the next search reads.
  if (offset % kNodeSize == 0 && length == kNodeSize && offset != 0)
    std::memcpy(pages_.Claim(static_cast<std::uint32_t>(offset)), data, kNodeSize);
}

std::uint32_t CdxFile::AllocateNode() {
  while (freeList_ != 0) {
    const std::uint32_t off = freeList_;
    freeList_ = 0;
    if (!ValidNode(off, size_)) break;
    unsigned char raw[4];
    file_->Read(off, raw, 4);
    std::uint32_t next = 0;
    std::memcpy(&next, raw, 4);
    if (next != off && (next == 0 || ValidNode(next, size_))) freeList_ = next;
    WriteFreeList();
    return off;
  }
  const std::uint32_t off = static_cast<std::uint32_t>((size_ + kNodeSize - 1) / kNodeSize * kNodeSize);
  size_ = off + std::uint64_t{kNodeSize};
  unsigned char zero[kNodeSize] = {};
  Write(off, zero, kNodeSize);
  return off;
}

std::uint32_t CdxFile::AllocateHeader() {
  const std::uint32_t off = static_cast<std::uint32_t>((size_ + kNodeSize - 1) / kNodeSize * kNodeSize);
  size_ = off + std::uint64_t{cdx::kHeaderSize};
  std::vector<unsigned char> zero(cdx::kHeaderSize, 0);
  Write(off, zero.data(), zero.size());
  return off;
}

void CdxFile::FreeNode(std::uint32_t offset) {
  // A free node starts with the offset of the next free one; the file header holds the first.
  unsigned char raw[kNodeSize] = {};
  std::memcpy(raw, &freeList_, 4);
  Write(offset, raw, kNodeSize);
  freeList_ = offset;
  WriteFreeList();
}

void CdxFile::ReadCounter() {
  unsigned char raw[4];
  file_->Read(8, raw, 4);
  counter_ = cdx::Get32Be(raw);
}

void CdxFile::StampHeader(unsigned char* header) {
  ++counter_;
  std::memcpy(header + 4, &freeList_, 4);
  cdx::Put32Be(header + 8, counter_);
}

void CdxFile::NoteChange() {
  unsigned char head[12];
  StampHeader(head);
  Write(4, head + 4, 8);
}

void CdxFile::WriteFreeList() {
  unsigned char raw[4];
  std::memcpy(raw, &freeList_, 4);
  Write(4, raw, 4);
}

void CdxFile::Check() {
  directory_->Check();
  for (CdxTag* t : tagList_) t->Check();
  std::set<std::uint32_t> seen;
  for (std::uint32_t f = freeList_; f != 0;) {
    if (!ValidNode(f, size_) || !seen.insert(f).second) Corrupt(file_->Name(), "the free-node list is damaged");
    unsigned char raw[4];
    file_->Read(f, raw, 4);
    std::memcpy(&f, raw, 4);
  }
}

void CdxFile::Reload() {
  size_ = file_->Size();
  SizeCache();
  directory_->ReadHeader();
  freeList_ = directory_->header_.freeList;
  ReadCounter();
  for (CdxTag* t : tagList_) t->ReadHeader();
}

}  // namespace xbe::index
