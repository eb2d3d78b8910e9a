// The CDX layout (see FORMAT.md): 512-byte nodes, branch nodes with whole keys and leaf nodes
// whose keys are compressed (bytes shared with the previous key and trailing fill dropped).
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace xbe::index::cdx {

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
// entries through a LeafReader. The constructor checks what every access relies on (the counts
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
    if (std::endian::native == std::endian::little && 24 + i * infoBytes_ + 8 <= kNodeSize) {
      std::memcpy(&v, p, 8);  // one load, then only the entry's own bytes
      return v & infoMask_;
    }
    for (std::size_t b = 0; b < infoBytes_; ++b) v |= static_cast<std::uint64_t>(p[b]) << (8 * b);
    return v;
  }
  unsigned RecnoBits() const { return recnoBits_; }
  unsigned DupBits() const { return dupBits_; }
  unsigned TrailBits() const { return trailBits_; }
  std::size_t InfoEnd() const { return 24 + count_ * infoBytes_; }

 private:
  const unsigned char* Branch(std::size_t i) const { return raw_ + 12 + i * (static_cast<std::size_t>(keyLength_) + 8); }
  static std::uint32_t Be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
  }

  const unsigned char* raw_;
  int keyLength_;
  std::size_t count_;
  std::size_t infoBytes_ = 0;
  std::uint64_t infoMask_ = 0;
  std::uint32_t recnoMask_ = 0;
  unsigned recnoBits_ = 0, dupBits_ = 0, trailBits_ = 0;
};

// The keys of one leaf, decoded one after the other (each shares bytes with the one before) into
// a buffer that keeps them all, so a walk back within the leaf needs no second decoding. The
// buffer only grows: no allocation once it has held the largest leaf.
class LeafReader {
 public:
  // Starts on another leaf (nothing decoded yet).
  void Reset(std::uint32_t node, std::uint64_t generation, int keyLength, char pad);
  bool Holds(std::uint32_t node, std::uint64_t generation) const { return node == node_ && generation == generation_; }
  // The key of entry `i` of the leaf (keyLength bytes), decoding as far as needed. Raises the
  // corrupt-file error for counts that do not fit the leaf.
  const char* Key(const NodeView& leaf, std::size_t i, std::uint32_t offset, const std::string& file) {
    if (i < decoded_) return keys_.data() + i * keyLength_;
    return DecodeUpTo(leaf, i, offset, file);
  }

 private:
  const char* DecodeUpTo(const NodeView& leaf, std::size_t i, std::uint32_t offset, const std::string& file);

  std::uint32_t node_ = 0;
  std::uint64_t generation_ = ~std::uint64_t{0};
  std::size_t keyLength_ = 0;
  char pad_ = ' ';
  std::size_t decoded_ = 0;
  std::size_t keyEnd_ = kNodeSize;  // where the stored bytes of the last decoded key begin
  std::vector<char> keys_;
};

}  // namespace xbe::index::cdx
