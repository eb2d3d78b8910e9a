// The CDX layout (see FORMAT.md): 512-byte nodes, branch nodes with whole keys and leaf nodes
// whose keys are compressed (bytes shared with the previous key and trailing fill dropped).
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace xbe::index::cdx {

// The format's big-endian numbers (branch entries, the file header's change counter).
inline std::uint32_t Get32Be(const unsigned char* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline void Put32Be(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

inline constexpr std::uint32_t kNodeSize = 512;
inline constexpr std::uint32_t kHeaderSize = 1024;  // a tag header and its expression pool
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // no sibling

enum Attribute : std::uint16_t { kBranch = 0, kRoot = 1, kLeaf = 2 };
enum Options : std::uint8_t { kUnique = 0x01, kHasFor = 0x08, kCompact = 0x20, kCompound = 0x40, kDirectory = 0x80 };

struct TagHeader {
  std::uint32_t root = 0;
  std::uint32_t freeList = 0;  // used in the file header only: the first free node, 0 = none
  std::uint32_t version = 0;
  std::uint16_t keyLength = 0;
  std::uint8_t options = kCompact | kCompound;
  bool descending = false;
  std::string keyExpression;
  std::string forExpression;
};

TagHeader DecodeTagHeader(const unsigned char* raw, const std::string& file);
// Writes the fields over `raw` (kHeaderSize bytes), keeping the bytes this code does not know.
void EncodeTagHeader(const TagHeader& h, unsigned char* raw);

struct Entry {
  std::string key;  // full key, keyLength bytes
  std::uint32_t recno = 0;
  std::uint32_t child = 0;  // branch nodes
};

struct Node {
  std::uint32_t offset = 0;
  std::uint16_t attributes = kLeaf;
  std::uint32_t left = kNone;
  std::uint32_t right = kNone;
  std::vector<Entry> entries;
  bool IsLeaf() const { return (attributes & kLeaf) != 0; }
};

// Branch capacity for a key length.
std::size_t MaxBranchEntries(int keyLength);
Node DecodeNode(const unsigned char* raw, std::uint32_t offset, int keyLength, char pad, std::uint64_t fileSize,
                const std::string& file);
// False when a leaf's entries do not fit one node.
bool EncodeNode(const Node& n, int keyLength, char pad, unsigned char* raw);
bool LeafFits(const std::vector<Entry>& entries, std::size_t begin, std::size_t end, int keyLength, char pad);

// A node read in place, for searches and walks: branch entries straight from the bytes, leaf
// entries through a LeafReader. Eight bytes past the node must be readable (the page cache keeps
// them so): packed entries are loaded a word at a time. The constructor checks what every access relies on (the counts
// against the node's room, the leaf layout), so a damaged node fails as DecodeNode fails; links
// and leaf counts are checked as they are read.
class NodeView {
 public:
  NodeView(const unsigned char* raw, std::uint32_t offset, int keyLength, const std::string& file);
  bool IsLeaf() const { return (raw_[0] & kLeaf) != 0; }
  std::size_t Count() const { return count_; }
  const unsigned char* Raw() const { return raw_; }
  int KeyLength() const { return keyLength_; }

  // Branch entries.
  const char* BranchKey(std::size_t i) const { return reinterpret_cast<const char*>(Branch(i)); }
  std::uint32_t BranchRecno(std::size_t i) const { return Be32(Branch(i) + keyLength_); }
  std::uint32_t BranchChild(std::size_t i) const { return Be32(Branch(i) + keyLength_ + 4); }

  // Leaf entries: the record number is at hand; the key needs the keys before it (LeafReader).
  std::uint32_t LeafRecno(std::size_t i) const { return static_cast<std::uint32_t>(LeafInfo(i)) & recnoMask_; }
  std::uint64_t LeafInfo(std::size_t i) const {
    const unsigned char* p = raw_ + 24 + i * infoBytes_;
    std::uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&v, p, 8);  // one load (the node's bytes are followed by a readable word)
      return v & infoMask_;
    }
    for (std::size_t b = 0; b < infoBytes_; ++b) v |= static_cast<std::uint64_t>(p[b]) << (8 * b);
    return v;
  }
  std::uint32_t RecnoMask() const { return recnoMask_; }
  unsigned RecnoBits() const { return recnoBits_; }
  unsigned DupBits() const { return dupBits_; }
  unsigned TrailBits() const { return trailBits_; }
  std::size_t InfoEnd() const { return 24 + count_ * infoBytes_; }

 private:
  const unsigned char* Branch(std::size_t i) const { return raw_ + 12 + i * (static_cast<std::size_t>(keyLength_) + 8); }
  static std::uint32_t Be32(const unsigned char* p) { return Get32Be(p); }

  const unsigned char* raw_;
  int keyLength_;
  std::size_t count_;
  std::size_t infoBytes_ = 0;
  std::uint64_t infoMask_ = 0;
  std::uint32_t recnoMask_ = 0;
  unsigned recnoBits_ = 0, dupBits_ = 0, trailBits_ = 0;
};

// The keys of one leaf, decoded as far as they are asked for (each key shares bytes with the one
// before it). Walking forwards keeps one key and adds each next key's own bytes to it; the first
// step back keeps every key up to there, so a walk back within the leaf decodes it only once.
// Buffers only grow: no allocation once they have held the largest leaf.
class LeafReader {
 public:
  // Starts on another leaf (nothing decoded yet).
  void Reset(std::uint32_t node, std::uint64_t generation, int keyLength, char pad);
  bool Holds(std::uint32_t node, std::uint64_t generation) const { return node == node_ && generation == generation_; }
  // The key of entry `i` (below the leaf's count) of the leaf, keyLength bytes, valid until the
  // next call. Raises the corrupt-file error for counts that do not fit the leaf.
  const char* Key(const NodeView& leaf, std::size_t i, const std::string& file) {
    if (i < kept_) return keys_.data() + i * keyLength_;
    if (i + 1 == next_) return key_.data();
    if (i >= next_) return Forward(leaf, i, file);
    if (i == 0) {
      next_ = 0;
      keyEnd_ = kNodeSize;
      return Forward(leaf, 0, file);
    }
    return Keep(leaf, i, file);
  }
  // The first entry for which atOrAfter(key, recno) holds, decoding from the leaf's first key
  // up to it (the leaf's count when none does); Key() then has it at hand.
  template <class AtOrAfter>
  std::size_t Scan(const NodeView& leaf, const AtOrAfter& atOrAfter, const std::string& file) {
    const Layout l(leaf);
    const std::size_t count = leaf.Count();
    char* key = key_.data();
    std::size_t keyEnd = kNodeSize, k = 0;
    // The key decoded last is overwritten below: a scan that fails leaves none decoded.
    next_ = 0;
    keyEnd_ = kNodeSize;
    for (; k < count; ++k) {
      const std::uint64_t v = leaf.LeafInfo(k);
      Decode(leaf, l, k, v, key, key, keyEnd, file);
      if (atOrAfter(std::string_view(key, keyLength_), static_cast<std::uint32_t>(v) & l.recnoMask)) break;
    }
    next_ = k < count ? k + 1 : count;
    keyEnd_ = keyEnd;
    return k;
  }
  // Scan for a seek: the first entry whose key, cut to the length of `key`, comes after it
  // (`strict`) or does not come before it; a key longer than the stored ones comes after
  // those it starts with. The keys passed over are compared in their stored bytes, not built:
  // a key that shares more with its predecessor than the predecessor shares with `key` compares
  // as the predecessor did. Only the key found is built (Key() has it at hand); its shared bytes
  // are those of `key`.
  std::size_t SeekScan(const NodeView& leaf, std::string_view key, bool strict, const std::string& file);

 private:
  // A leaf's packing of counts and record numbers.
  struct Layout {
    explicit Layout(const NodeView& leaf)
        : dupShift(leaf.RecnoBits()),
          trailShift(leaf.RecnoBits() + leaf.DupBits()),
          dupMask((std::uint64_t{1} << leaf.DupBits()) - 1),
          trailMask((std::uint64_t{1} << leaf.TrailBits()) - 1),
          recnoMask(leaf.RecnoMask()),
          infoEnd(leaf.InfoEnd()) {}
    unsigned dupShift, trailShift;
    std::uint64_t dupMask, trailMask;
    std::uint32_t recnoMask;
    std::size_t infoEnd;
  };
  static void CopyWord(char* to, const void* from) {
    std::uint64_t w;
    std::memcpy(&w, from, 8);
    std::memcpy(to, &w, 8);
  }
  // Decodes entry k (packed as v) into `out` over the key before it at `previous` (the same
  // place when walking forwards); `keyEnd` is where the stored bytes of the key before it begin.
  // Word-wise: bytes written past each part are written again by the next part or lie in the
  // room past the key; the page cache keeps a word readable past its last node.
  void Decode(const NodeView& leaf, const Layout& l, std::size_t k, std::uint64_t v, const char* previous, char* out,
              std::size_t& keyEnd, const std::string& file) const {
    const std::size_t klen = keyLength_;
    const std::size_t dup = (v >> l.dupShift) & l.dupMask;
    const std::size_t trail = (v >> l.trailShift) & l.trailMask;
    const std::size_t take = klen - dup - trail;  // wraps round when the counts exceed the key
    if (take > keyEnd - l.infoEnd || (k == 0 && dup != 0))
      Damaged(dup + trail > klen || (k == 0 && dup != 0), file);
    keyEnd -= take;
    if (previous != out)
      for (std::size_t j = 0; j < dup; j += 8) CopyWord(out + j, previous + j);
    const unsigned char* from = leaf.Raw() + keyEnd;
    for (std::size_t j = 0; j < take; j += 8) CopyWord(out + dup + j, from + j);
    for (std::size_t j = dup + take; j < klen; j += 8) std::memcpy(out + j, &padWord_, 8);
  }
  // Bad counts (past the key, or a first key sharing bytes) or keys reaching into the packed entries.
  [[noreturn]] void Damaged(bool badCounts, const std::string& file) const;
  const char* Forward(const NodeView& leaf, std::size_t i, const std::string& file);
  const char* Keep(const NodeView& leaf, std::size_t i, const std::string& file);

  std::uint32_t node_ = 0;
  std::uint64_t generation_ = ~std::uint64_t{0};
  std::size_t keyLength_ = 0;
  std::uint64_t padWord_ = 0;
  char pad_ = ' ';
  std::vector<char> key_;  // the key of entry next_ - 1 (and room for word-wise copies)
  std::size_t next_ = 0;
  std::size_t keyEnd_ = kNodeSize;
  std::vector<char> keys_;  // the keys of entries 0 .. kept_ - 1, one after the other
  std::size_t kept_ = 0;
  std::size_t keptEnd_ = kNodeSize;
};

}  // namespace xbe::index::cdx
