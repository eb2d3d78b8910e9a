// A CDX compound index file: a directory of tags (itself a tree of tag names) and one B+-tree
// of 512-byte nodes per tag. Every tag is an Order; they share the file and its free nodes.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/xbe/expr/value.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_node.h"
#include "platform/xbe/index/order.h"
#include "platform/xbe/index/page_cache.h"

namespace xbe::index {

class CdxFile;

struct CdxTagDefinition {
  std::string name;  // at most 10 characters, stored in upper case
  std::string keyExpression;
  std::string forExpression;
  bool unique = false;
  bool descending = false;
  int keyLength = 0;
  expr::Type keyType = expr::Type::kCharacter;
};

class CdxTag : public Order {
 public:
  const OrderInfo& Info() const override { return info_; }
  std::unique_ptr<OrderCursor> NewCursor() override;
  std::uint64_t KeyCount() override;
  bool Insert(const KeyEntry& entry) override;
  bool Remove(const KeyEntry& entry) override;
  void Build(std::vector<KeyEntry> entries) override;
  void Check() override;
  void Reload() override;

  // The key type decides the fill byte of the compressed leaf keys (blank for character keys,
  // zero for numbers and dates); the table core sets it from the compiled key expression
  // before the first use.
  void SetKeyType(expr::Type t) override;

  // Internal to the cursor and the file.
  struct Step {
    std::uint32_t node;
    std::size_t index;
  };
  using Path = std::vector<Step>;
  CdxTag(CdxFile& file, std::uint32_t headerOffset, std::string name, bool directory);
  // A decoded node (changes, checks).
  const cdx::Node& NodeAt(std::uint32_t offset);
  // A node read in place (searches and walks); it lasts until the next call that reads a node.
  // Only between changes: a node being changed is seen through NodeAt.
  cdx::NodeView View(std::uint32_t offset);
  // The child a branch entry links to, checked to lie in the file.
  std::uint32_t ChildOf(const cdx::NodeView& branch, std::size_t i, std::uint32_t offset) const;
  // The key (keyLength bytes) and record number of the entry a path ends on.
  std::string_view KeyAt(const Step& leafStep, std::uint32_t* recno = nullptr);
  std::uint32_t RecnoAt(const Step& leafStep) { return View(leafStep.node).LeafRecno(leafStep.index); }
  std::uint64_t Generation() const;
  int CompareEntries(std::string_view key, std::uint32_t recno, const KeyEntry& b) const;
  // Path to the first stored entry (ascending storage order) for which atOrAfter(key, recno)
  // holds; false when none does.
  template <class AtOrAfter>
  bool Bound(const AtOrAfter& atOrAfter, Path* path);
  // Bound for a seek: the first entry whose key cut to the length of `key` is not before it
  // (after it when `strict`); a `key` longer than the stored keys comes after those it starts with.
  bool SeekBound(std::string_view key, bool strict, Path* path);
  bool Edge(bool last, Path* path);
  bool StepNext(Path* path);
  bool StepPrev(Path* path);
  bool FindPath(const KeyEntry& entry, Path* path);
  std::uint32_t HeaderOffset() const { return headerOffset_; }
  std::uint64_t MaxEntries() const;
  // Keeps the decoded nodes of changes few between operations (memory stays flat over many
  // changes and checks; searches and walks read nodes in place and decode none).
  void TrimCache() {
    if (dirty_.empty() && cache_.size() > kCacheLimit) cache_.clear();
  }
  static constexpr std::size_t kCacheLimit = 2048;
  void ReadHeader();

 private:
  friend class CdxFile;
  cdx::Node& Mutable(std::uint32_t offset);
  void PutNode(cdx::Node n);
  void Commit();
  void RefreshMax(Path path);
  void SplitUp(Path path);
  void RemoveNodeFromParent(Path path);
  void WriteTree(std::vector<KeyEntry> entries);
  [[noreturn]] void Fail(const std::string& what) const;

  CdxFile& file_;
  std::uint32_t headerOffset_;
  bool directory_;
  cdx::TagHeader header_;
  std::vector<unsigned char> headerRaw_;
  OrderInfo info_;
  char pad_ = ' ';
  std::map<std::uint32_t, cdx::Node> cache_;  // decoded nodes, for changes and checks
  std::map<std::uint32_t, bool> dirty_;
  std::vector<std::uint32_t> pendingFree_;  // nodes freed by the change in progress
  // The change in progress: the root it started from, the nodes it took (linked from nothing in
  // the file yet) and its path down.
  std::uint32_t rootBefore_ = 0;
  std::set<std::uint32_t> newNodes_;
  Path changePath_;
  void BeginChange();
  std::uint32_t NewNode();
  void WriteNode(std::uint32_t offset);
  void WriteTagHeader();
  // The end of every change: the tag header with its version moved, the file's counter moved.
  void FinishChange();
  // True when the node being changed differs from the file's only in its sibling links.
  bool OnlyLinksChanged(std::uint32_t offset);
  std::uint64_t countGeneration_ = ~0ull;
  std::uint64_t count_ = 0;
  // Bound with the search in the leaf left to `scanLeaf(leaf view)`, which returns its index.
  template <class AtOrAfter, class ScanLeaf>
  bool Descend(const AtOrAfter& atOrAfter, const ScanLeaf& scanLeaf, Path* path);
  cdx::LeafReader leaf_;  // the keys of the leaf last read, decoded as far as needed
  std::optional<cdx::NodeView> view_;  // the node last read in place
  std::uint32_t viewNode_ = 0;
  std::uint64_t viewSlots_ = ~std::uint64_t{0};
};

class CdxFile {
  friend class CdxTag;

 public:
  // Opens a compound index; the key type of each tag comes from `keyTypeOf` (by key
  // expression), character when none is given.
  using KeyTypeOf = std::function<expr::Type(const std::string& keyExpression)>;
  static std::unique_ptr<CdxFile> Open(std::unique_ptr<BlockFile> file, KeyTypeOf keyTypeOf = nullptr);
  // A new file with no tags.
  static std::unique_ptr<CdxFile> Create(std::unique_ptr<BlockFile> file);

  // The tags in the order they were created (their header offsets).
  const std::vector<CdxTag*>& Tags() const { return tagList_; }
  CdxTag* FindTag(std::string_view name) const;  // case-insensitive; null when absent
  CdxTag& AddTag(const CdxTagDefinition& definition, std::vector<KeyEntry> entries);
  void Check();
  void Reload();

  // Internal to the tags.
  BlockFile& File() { return *file_; }
  // Raw nodes kept across calls (every tag of the file shares them).
  static constexpr std::size_t kPageCacheBytes = 4 * 1024 * 1024;
  // The node at `offset` (checked to lie in the file by the caller), from the cache or the file;
  // it lasts until the next call that reads a node.
  const unsigned char* Page(std::uint32_t offset);
  // Writes through to the file, keeping cached nodes equal to it.
  void Write(std::uint64_t offset, const void* data, std::size_t length);
  std::uint64_t Size() const { return size_; }
  std::uint32_t AllocateNode();
  std::uint32_t AllocateHeader();  // two contiguous nodes at the end
  void FreeNode(std::uint32_t offset);
  void WriteFreeList();
  std::uint32_t FreeListHead() const { return freeList_; }
  // Ends a change of the file as every writer of the format does: the file header's free-node
  // field and its change counter (big-endian, at offset 8) plus 1, which other programs read
  // under their locks to know that their cached nodes are old.
  void NoteChange();
  // The same two fields put into a file header about to be written whole.
  void StampHeader(unsigned char* header);
  std::uint64_t generation = 0;
  std::uint64_t slotsChanged = 0;  // counts every change of which nodes the cache holds, or of their bytes

 private:
  CdxFile() = default;
  void LoadTags(const KeyTypeOf& keyTypeOf);

  std::unique_ptr<BlockFile> file_;
  std::uint64_t size_ = 0;
  std::unique_ptr<CdxTag> directory_;
  std::vector<std::unique_ptr<CdxTag>> tags_;
  std::vector<CdxTag*> tagList_;
  std::uint32_t freeList_ = 0;
  std::uint32_t counter_ = 0;  // the file header's change counter as last read or written
  bool freeDirty_ = false;
  void ReadCounter();
  void SizeCache();
  PageCache pages_{cdx::kNodeSize, kPageCacheBytes};
  std::uint64_t cacheSizedFor_ = 0;
};

}  // namespace xbe::index
