#include "platform/xbe/index/cdx_node.h"

#include <algorithm>
#include <cstring>

#include "platform/xbe/index/index_error.h"

namespace xbe::index::cdx {

namespace {
std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const unsigned char* p) {
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
int BitsFor(std::uint32_t v) {
  int b = 0;
  while (v) {
    ++b;
    v >>= 1;
  }
  return b;
}

// The leaf layout chosen for a set of entries: bits for the counts and the record number.
struct LeafLayout {
  int countBits, recnoBits, bytes;
};
LeafLayout LayoutFor(std::uint32_t maxRecno, int keyLength) {
  LeafLayout l;
  l.countBits = BitsFor(static_cast<std::uint32_t>(keyLength));
  int need = BitsFor(maxRecno) + 2 * l.countBits;
  l.bytes = (need + 7) / 8;
  if (l.bytes < 3) l.bytes = 3;
  l.recnoBits = l.bytes * 8 - 2 * l.countBits;
  if (l.recnoBits > 32) l.recnoBits = 32;
  return l;
}

std::size_t Trailing(const std::string& key, char pad) {
  std::size_t n = 0;
  while (n < key.size() && key[key.size() - 1 - n] == pad) ++n;
  return n;
}

// The bytes a key shares with the previous one, up to what it stores itself. The previous
// key's dropped fill counts as well: "AA" then "AA 1" share "AA " (the writers of the files
// do so, and their readers rebuild the previous key with its fill before sharing).
std::size_t Shared(const std::string& previous, const std::string& key, std::size_t limit) {
  std::size_t dup = 0;
  while (dup < limit && previous[dup] == key[dup]) ++dup;
  return dup;
}

std::string CString(const unsigned char* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}
}  // namespace

TagHeader DecodeTagHeader(const unsigned char* raw, const std::string& file) {
  TagHeader h;
  h.root = Get32(raw);
  h.freeList = Get32(raw + 4);
  h.version = Get32(raw + 8);
  h.keyLength = Get16(raw + 12);
  h.options = raw[14];
  h.descending = Get16(raw + 502) != 0;
  const std::uint16_t forStart = Get16(raw + 504), forLength = Get16(raw + 506);
  const std::uint16_t keyStart = Get16(raw + 508), keyLength = Get16(raw + 510);
  if (keyStart + keyLength > 512 || forStart + forLength > 512) Corrupt(file, "tag expressions lie outside the header");
  h.keyExpression = CString(raw + 512 + keyStart, keyLength);
  h.forExpression = CString(raw + 512 + forStart, forLength);
  return h;
}

void EncodeTagHeader(const TagHeader& h, unsigned char* raw) {
  Put32(raw, h.root);
  Put32(raw + 4, h.freeList);
  Put32(raw + 8, h.version);
  Put16(raw + 12, h.keyLength);
  raw[14] = h.options;
  raw[15] = 1;
  Put16(raw + 16, 1024);  // as the reference files have it: header and node sizes
  Put16(raw + 18, 512);
  Put16(raw + 502, h.descending ? 1 : 0);
  const std::size_t keyLen = std::min<std::size_t>(h.keyExpression.size(), 250);
  const std::size_t forLen = std::min<std::size_t>(h.forExpression.size(), 250);
  std::memset(raw + 512, 0, 512);
  std::memcpy(raw + 512, h.keyExpression.data(), keyLen);
  std::memcpy(raw + 512 + keyLen + 1, h.forExpression.data(), forLen);
  Put16(raw + 504, static_cast<std::uint16_t>(keyLen + 1));
  Put16(raw + 506, static_cast<std::uint16_t>(forLen + 1));
  Put16(raw + 508, 0);
  Put16(raw + 510, static_cast<std::uint16_t>(keyLen + 1));
}

std::size_t MaxBranchEntries(int keyLength) { return (kNodeSize - 12) / (static_cast<std::size_t>(keyLength) + 8); }

Node DecodeNode(const unsigned char* raw, std::uint32_t offset, int keyLength, char pad, std::uint64_t fileSize,
                const std::string& file) {
  Node n;
  n.offset = offset;
  n.attributes = Get16(raw);
  const std::size_t count = Get16(raw + 2);
  n.left = Get32(raw + 4);
  n.right = Get32(raw + 8);
  const std::string where = "node at offset " + std::to_string(offset);
  if (n.attributes > 3) Corrupt(file, where + " has unknown attributes");
  const std::size_t klen = static_cast<std::size_t>(keyLength);
  if (!n.IsLeaf()) {
    if (count * (klen + 8) > kNodeSize - 12) Corrupt(file, where + " holds more keys than a node can");
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char* e = raw + 12 + i * (klen + 8);
      Entry en;
      en.key.assign(reinterpret_cast<const char*>(e), klen);
      en.recno = Get32Be(e + klen);
      en.child = Get32Be(e + klen + 4);
      if (en.child < kNodeSize || en.child % kNodeSize != 0 || en.child + std::uint64_t{kNodeSize} > fileSize ||
          en.child == offset)
        Corrupt(file, where + " points to a node outside the file");
      n.entries.push_back(std::move(en));
    }
    return n;
  }
  const std::uint32_t recnoMask = Get32(raw + 14);
  const int recnoBits = raw[20], dupBits = raw[21], trailBits = raw[22], bytes = raw[23];
  if (bytes < 1 || bytes > 8 || recnoBits + dupBits + trailBits > bytes * 8 || recnoBits > 32 || dupBits > 16 ||
      trailBits > 16)
    Corrupt(file, where + " has a bad key layout");
  if (24 + count * static_cast<std::size_t>(bytes) > kNodeSize) Corrupt(file, where + " holds more keys than a node can");
  std::size_t keyEnd = kNodeSize;
  const std::size_t infoEnd = 24 + count * static_cast<std::size_t>(bytes);
  std::string prev(klen, pad);
  n.entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t v = 0;
    for (int b = 0; b < bytes; ++b) v |= static_cast<std::uint64_t>(raw[24 + i * bytes + b]) << (8 * b);
    Entry en;
    en.recno = static_cast<std::uint32_t>(v) & recnoMask;
    const std::size_t dup = (v >> recnoBits) & ((1u << dupBits) - 1);
    const std::size_t trail = (v >> (recnoBits + dupBits)) & ((1u << trailBits) - 1);
    if (dup + trail > klen || (i > 0 && dup > klen) || (i == 0 && dup != 0))
      Corrupt(file, where + " has bad key counts");
    const std::size_t take = klen - dup - trail;
    if (take > keyEnd - infoEnd) Corrupt(file, where + " has keys overlapping the key table");
    keyEnd -= take;
    en.key = prev.substr(0, dup);
    en.key.append(reinterpret_cast<const char*>(raw + keyEnd), take);
    en.key.append(trail, pad);
    prev = en.key;
    n.entries.push_back(std::move(en));
  }
  return n;
}

bool LeafFits(const std::vector<Entry>& entries, std::size_t begin, std::size_t end, int keyLength, char pad) {
  std::uint32_t maxRecno = 0;
  for (std::size_t i = begin; i < end; ++i) maxRecno = std::max(maxRecno, entries[i].recno);
  const LeafLayout l = LayoutFor(maxRecno, keyLength);
  std::size_t used = 24;
  const std::size_t klen = static_cast<std::size_t>(keyLength);
  for (std::size_t i = begin; i < end; ++i) {
    const std::string& k = entries[i].key;
    const std::size_t trail = Trailing(k, pad);
    const std::size_t dup = i > begin ? Shared(entries[i - 1].key, k, klen - trail) : 0;
    used += static_cast<std::size_t>(l.bytes) + (klen - dup - trail);
    if (used > kNodeSize) return false;
  }
  return true;
}

bool EncodeNode(const Node& n, int keyLength, char pad, unsigned char* raw) {
  std::memset(raw, 0, kNodeSize);
  Put16(raw, n.attributes);
  Put16(raw + 2, static_cast<std::uint16_t>(n.entries.size()));
  Put32(raw + 4, n.left);
  Put32(raw + 8, n.right);
  const std::size_t klen = static_cast<std::size_t>(keyLength);
  if (!n.IsLeaf()) {
    if (n.entries.size() > MaxBranchEntries(keyLength)) return false;
    for (std::size_t i = 0; i < n.entries.size(); ++i) {
      unsigned char* e = raw + 12 + i * (klen + 8);
      std::memcpy(e, n.entries[i].key.data(), std::min(klen, n.entries[i].key.size()));
      Put32Be(e + klen, n.entries[i].recno);
      Put32Be(e + klen + 4, n.entries[i].child);
    }
    return true;
  }
  std::uint32_t maxRecno = 0;
  for (const Entry& e : n.entries) maxRecno = std::max(maxRecno, e.recno);
  const LeafLayout l = LayoutFor(maxRecno, keyLength);
  const std::uint32_t recnoMask = l.recnoBits >= 32 ? 0xFFFFFFFFu : (1u << l.recnoBits) - 1;
  Put32(raw + 14, recnoMask);
  raw[18] = static_cast<unsigned char>((1u << l.countBits) - 1);
  raw[19] = static_cast<unsigned char>((1u << l.countBits) - 1);
  raw[20] = static_cast<unsigned char>(l.recnoBits);
  raw[21] = static_cast<unsigned char>(l.countBits);
  raw[22] = static_cast<unsigned char>(l.countBits);
  raw[23] = static_cast<unsigned char>(l.bytes);
  std::size_t keyEnd = kNodeSize;
  for (std::size_t i = 0; i < n.entries.size(); ++i) {
    const std::string& k = n.entries[i].key;
    const std::size_t trail = Trailing(k, pad);
    const std::size_t dup = i > 0 ? Shared(n.entries[i - 1].key, k, klen - trail) : 0;
    const std::size_t take = klen - dup - trail;
    const std::size_t infoEnd = 24 + (i + 1) * static_cast<std::size_t>(l.bytes);
    if (keyEnd < infoEnd + take) return false;
    keyEnd -= take;
    std::memcpy(raw + keyEnd, k.data() + dup, take);
    const std::uint64_t v = static_cast<std::uint64_t>(n.entries[i].recno) |
                            (static_cast<std::uint64_t>(dup) << l.recnoBits) |
                            (static_cast<std::uint64_t>(trail) << (l.recnoBits + l.countBits));
    for (int b = 0; b < l.bytes; ++b) raw[24 + i * static_cast<std::size_t>(l.bytes) + static_cast<std::size_t>(b)] = static_cast<unsigned char>(v >> (8 * b));
  }
  const std::size_t freeSpace = keyEnd - (24 + n.entries.size() * static_cast<std::size_t>(l.bytes));
  Put16(raw + 12, static_cast<std::uint16_t>(freeSpace));
  return true;
}

NodeView::NodeView(const unsigned char* raw, std::uint32_t offset, int keyLength, const std::string& file)
    : raw_(raw), keyLength_(keyLength), count_(Get16(raw + 2)) {
  const std::uint16_t attributes = Get16(raw);
  if (attributes > 3) Corrupt(file, "node at offset " + std::to_string(offset) + " has unknown attributes");
  if (!IsLeaf()) {
    if (count_ * (static_cast<std::size_t>(keyLength) + 8) > kNodeSize - 12)
      Corrupt(file, "node at offset " + std::to_string(offset) + " holds more keys than a node can");
    return;
  }
  recnoMask_ = Get32(raw + 14);
  recnoBits_ = raw[20];
  dupBits_ = raw[21];
  trailBits_ = raw[22];
  infoBytes_ = raw[23];
  if (infoBytes_ < 1 || infoBytes_ > 8 || recnoBits_ + dupBits_ + trailBits_ > infoBytes_ * 8 || recnoBits_ > 32 ||
      dupBits_ > 16 || trailBits_ > 16)
    Corrupt(file, "node at offset " + std::to_string(offset) + " has a bad key layout");
  if (24 + count_ * infoBytes_ > kNodeSize)
    Corrupt(file, "node at offset " + std::to_string(offset) + " holds more keys than a node can");
  infoMask_ = infoBytes_ == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * infoBytes_)) - 1;
}

void LeafReader::Reset(std::uint32_t node, std::uint64_t generation, int keyLength, char pad) {
  node_ = node;
  generation_ = generation;
  keyLength_ = static_cast<std::size_t>(keyLength);
  pad_ = pad;
  std::memset(&padWord_, pad, sizeof padWord_);
  // Whole words are copied and filled: room for one more past the key.
  if (key_.size() < keyLength_ + 8) key_.resize(keyLength_ + 8);
  next_ = 0;
  keyEnd_ = kNodeSize;
  kept_ = 0;
  keptEnd_ = kNodeSize;
}

void LeafReader::Damaged(bool badCounts, const std::string& file) const {
  Corrupt(file, "node at offset " + std::to_string(node_) +
                    (badCounts ? " has bad key counts" : " has keys overlapping the key table"));
}

std::size_t LeafReader::SeekScan(const NodeView& leaf, std::string_view key, bool strict, const std::string& file) {
  const Layout l(leaf);
  const std::size_t count = leaf.Count(), klen = keyLength_;
  const std::size_t n = std::min(key.size(), klen);
  // Equal over the compared bytes: found unless strict, or unless `key` is longer.
  const bool equalFound = !strict && key.size() <= klen;
  const unsigned char* raw = leaf.Raw();
  const unsigned char* want = reinterpret_cast<const unsigned char*>(key.data());
  const unsigned char pad = static_cast<unsigned char>(pad_);
  std::size_t room = kNodeSize - l.infoEnd;  // bytes between the packed entries and the last key's
  std::size_t match = 0;  // bytes the last key passed over shares with `key` (at most n)
  if (count != 0 && ((leaf.LeafInfo(0) >> l.dupShift) & l.dupMask) != 0) Damaged(true, file);  // a first key sharing
  const unsigned dupShift = l.dupShift, trailShift = l.trailShift;
  const std::uint64_t dupMask = l.dupMask, trailMask = l.trailMask;
  std::size_t k = 0, dup = 0, take = 0;
  for (; k < count; ++k) {
    const std::uint64_t v = leaf.LeafInfo(k);
    dup = (v >> dupShift) & dupMask;
    const std::size_t trail = (v >> trailShift) & trailMask;
    take = klen - dup - trail;  // wraps round when the counts exceed the key
    if (take > room) Damaged(dup + trail > klen, file);
    room -= take;
    if (dup > match) continue;  // the bytes that decided for the last key are this key's too
    const std::size_t keyEnd = l.infoEnd + room;
    // Bytes before `dup` are the last key's, equal to `key`'s; compare from there on.
    std::size_t j = dup;
    const std::size_t stored = std::min(n, dup + take);
    const unsigned char* from = raw + keyEnd;  // byte j of this key is from[j - dup]
    while (j < stored && from[j - dup] == want[j]) ++j;
    if (j == stored)
      while (j < n && want[j] == pad) ++j;
    match = j;
    if (j == n) {
      if (equalFound) break;
      continue;
    }
    const unsigned char mine = j < dup + take ? from[j - dup] : pad;
    if (mine > want[j]) break;
  }
  next_ = k < count ? k + 1 : count;
  keyEnd_ = l.infoEnd + room;
  if (k == count) return count;
  // The key found was compared, so the bytes it shares with the key before it are `key`'s.
  char* out = key_.data();
  std::memcpy(out, want, dup);
  std::memcpy(out + dup, raw + keyEnd_, take);
  std::memset(out + dup + take, pad_, klen - dup - take);
  return k;
}

const char* LeafReader::Forward(const NodeView& leaf, std::size_t i, const std::string& file) {
  const Layout l(leaf);
  for (; next_ <= i; ++next_) Decode(leaf, l, next_, leaf.LeafInfo(next_), key_.data(), key_.data(), keyEnd_, file);
  return key_.data();
}

const char* LeafReader::Keep(const NodeView& leaf, std::size_t i, const std::string& file) {
  // Every key up to the one walked forwards to, so that further steps back find theirs.
  const std::size_t klen = keyLength_;
  const std::size_t upTo = next_;
  if (keys_.size() < upTo * klen + 8) keys_.resize(std::max(keys_.size() * 2, leaf.Count() * klen + 8));
  const Layout l(leaf);
  for (; kept_ < upTo; ++kept_) {
    char* out = keys_.data() + kept_ * klen;
    Decode(leaf, l, kept_, leaf.LeafInfo(kept_), kept_ ? out - klen : out, out, keptEnd_, file);
  }
  return keys_.data() + i * klen;
}

}  // namespace xbe::index::cdx
