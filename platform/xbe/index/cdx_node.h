// The CDX layout (see FORMAT.md): 512-byte nodes, branch nodes with whole keys and leaf nodes
// whose keys are compressed (bytes shared with the previous key and trailing fill dropped).
#pragma once
#include <cstdint>
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

}  // namespace xbe::index::cdx
