// An NTX index file: one order, a B-tree of 1024-byte pages whose every item holds a key.
#pragma once
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/key_compare.h"
#include "platform/xbe/index/ntx_page.h"
#include "platform/xbe/index/order.h"
#include "platform/xbe/index/page_cache.h"

namespace xbe::index {

struct NtxDefinition {
  std::string keyExpression;
  std::string forExpression;
  bool unique = false;
  bool descending = false;
  int keyLength = 0;
  int keyDecimals = 0;
};

class NtxOrder : public Order {
 public:
  // Opens an existing file; the header is checked against the file size and the root page read.
  // `name` is the order's name (the file's base name in upper case).
  static std::unique_ptr<NtxOrder> Open(std::unique_ptr<BlockFile> file, std::string name);
  // Writes a new index into an empty (or to be emptied) file and opens it. A file that held an
  // NTX index goes on counting its changes, so that programs that kept its pages see a change
  // even when the new index comes out the same.
  static std::unique_ptr<NtxOrder> Create(std::unique_ptr<BlockFile> file, std::string name,
                                          const NtxDefinition& definition, std::vector<KeyEntry> entries);

  const OrderInfo& Info() const override { return info_; }
  std::unique_ptr<OrderCursor> NewCursor() override;
  std::uint64_t KeyCount() override;
  bool Insert(const KeyEntry& entry) override;
  bool Remove(const KeyEntry& entry) override;
  void Build(std::vector<KeyEntry> entries) override;
  void Check() override;
  void Reload() override;

  // Internal to the cursor.
  struct Step {
    std::uint32_t page;
    std::size_t index;
  };
  using Path = std::vector<Step>;
  // A decoded page (changes, checks).
  const ntx::Page& PageAt(std::uint32_t offset);
  // A page read in place: searches and walks (a page being changed is seen as changed so far).
  // The view lasts until the next call that reads a page.
  ntx::PageView View(std::uint32_t offset);
  // Raw pages kept across calls, per order.
  static constexpr std::size_t kPageCacheBytes = 2 * 1024 * 1024;
  std::uint64_t Generation() const { return generation_; }
  // Called before a page is read from the file rather than the cache; it may raise StaleRead,
  // after which the search or step it interrupted runs again.
  void OnFileRead(std::function<void()> hook) { onFileRead_ = std::move(hook); }
  // Runs `body` again once when it raises StaleRead.
  template <class Body>
  auto Retrying(const Body& body) {
    try {
      return body();
    } catch (const StaleRead&) {
      return body();
    }
  }
  // Keeps the page cache small between operations (memory stays flat on long walks).
  void TrimCache() {
    if (dirty_.empty() && cache_.size() > kCacheLimit) cache_.clear();
  }
  static constexpr std::size_t kCacheLimit = 1024;
  // Key-order comparison of stored keys (descending orders reversed), then record numbers.
  int CompareKeys(std::string_view a, std::string_view b) const {
    const int c = CompareKeyBytes(a.data(), b.data(), std::min(a.size(), b.size()));
    return header_.descending ? -c : c;
  }
  int CompareEntries(std::string_view key, std::uint32_t recno, const KeyEntry& b) const;
  // The path to the first item, in key order, for which `atOrAfter(key, recno)` holds (a
  // predicate that is false and then true along the order); false when there is none. With
  // `leaf`, the view of the page the path ends on when that is the leaf last read (it lasts as
  // any view does).
  template <class AtOrAfter>
  bool Bound(const AtOrAfter& atOrAfter, Path* path, std::optional<ntx::PageView>* leaf = nullptr);
  void DescendFirst(std::uint32_t page, Path* path);
  void DescendLast(std::uint32_t page, Path* path);
  bool StepNext(Path* path);
  bool StepPrev(Path* path);
  bool FindPath(const KeyEntry& entry, Path* path);
  std::uint32_t Root() const { return header_.root; }
  std::uint64_t MaxEntries() const { return (fileSize_ / ntx::kPageSize + 1) * (header_.maxItems + 1ull); }

 private:
  NtxOrder(std::unique_ptr<BlockFile> file, std::string name);
  void ReadHeader();
  [[noreturn]] void Fail(const std::string& what) const;
  ntx::Page& Mutable(std::uint32_t offset);
  std::uint32_t AllocatePage();
  void FreePage(std::uint32_t offset);
  void BeginChange();
  void Commit();  // writes the changed pages and the header, a sound tree after every write
  void WriteHeader(std::uint32_t root);
  void WritePage(std::uint32_t offset, unsigned char* raw);
  void FixUnderflow(Path path);
  void Split(Path path);
  void WriteTree(std::vector<KeyEntry> entries);
  std::uint64_t CountKeys();
  std::uint64_t CountFrom(std::uint32_t page, int depth, std::uint64_t* pagesSeen);

  std::unique_ptr<BlockFile> file_;
  ntx::Header header_;
  OrderInfo info_;
  std::uint64_t fileSize_ = 0;
  std::map<std::uint32_t, ntx::Page> cache_;  // decoded pages
  PageCache pages_{ntx::kPageSize, kPageCacheBytes};
  ntx::PageGrid grid_;
  std::map<std::uint32_t, bool> dirty_;  // page offset -> changed
  // The change in progress: the root it started from, the pages it took (never linked from the
  // file's tree yet), the pages it frees (still linked until it is written), its path down.
  std::uint32_t rootBefore_ = 0;
  std::set<std::uint32_t> newPages_;
  std::vector<std::uint32_t> pendingFree_;
  Path changePath_;
  std::vector<unsigned char> headerRaw_;
  std::uint64_t generation_ = 0;
  std::function<void()> onFileRead_;
  std::uint64_t countGeneration_ = ~0ull;
  std::uint64_t count_ = 0;
};

}  // namespace xbe::index
