// One order of an open index file as the table's cursor moves through it: key order within
// its scopes, finding its place again from whatever record the shared cursor stands on.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/xbe/index_file.h"
#include "platform/xbe/order.h"

namespace xbe {

// The key-building record of an order handle (XbeInitRawKey, XbeSetField on the order,
// XbeBuildRawKey): segment values set on a blank record, some of them partial.
struct KeyRecord {
  std::string image;
  std::map<std::size_t, std::size_t> partial;  // field index -> characters given
  std::set<std::size_t> given;                 // field indexes set since the key was begun
};

class IndexOrder final : public Order {
 public:
  enum Bound { kTop = 1, kBottom = 2 };

  IndexOrder(IndexFile& file, std::size_t tag);

  std::uint32_t First() override;
  std::uint32_t Last() override;
  std::uint32_t Next(const RecordView& current) override;
  std::uint32_t Prior(const RecordView& current) override;
  bool Contains(const RecordView& record) override;
  int Compare(const RecordView& a, const RecordView& b) override;
  [[noreturn]] void PastTheEnd(std::uint32_t recno) override;

  IndexFile& File() { return file_; }
  IndexFile::Tag& Tag() { return file_.Tags()[tag_]; }
  const index::OrderInfo& Info() { return Tag().order->Info(); }
  const expr::KeyLayout& Layout() { return Tag().bound->Layout(); }

  // Scopes, as key bytes (a shorter bound compares as a prefix); `given` is kept for GetScope.
  void SetScope(Bound which, std::string key, std::string given);
  bool ClearScope(Bound which);
  const std::optional<std::string>& ScopeGiven(Bound which) const { return given_[which - 1]; }

  // A key given as text (scopes, seeks): in the order's key form, character keys in the
  // table's code page.
  std::string KeyFromText(std::string_view text);

  // Positions the order on the first entry (last when `last`) whose key starts with `key`, or
  // on the following entry (first entry when `last` finds none); the record, or 0 past the end
  // (scopes respected).
  std::uint32_t SeekPosition(std::string_view key, bool last);
  // The key the current record has in this order.
  std::string KeyOfCurrent(const RecordView& current);
  // Whether that key starts with `prefix` (without copying the key when the order holds it).
  bool CurrentKeyStartsWith(const RecordView& current, std::string_view prefix);

  // Entries inside the scopes (deleted records included).
  std::uint64_t KeysInScope();
  bool HasScope() const { return bounds_[0].has_value() || bounds_[1].has_value(); }

  KeyRecord& Keys() { return keys_; }

 private:
  int CompareKeys(std::string_view a, std::string_view b) const;
  bool BeforeTop(std::string_view key) const;
  bool AfterBottom(std::string_view key) const;
  bool RecnoBefore(std::uint32_t a, std::uint32_t b) const;
  bool Locate(const RecordView& current);
  std::uint32_t EmitForward();
  std::uint32_t EmitBackward();
  void Mark();
  // The cursor still stands on `recno`'s entry, as marked, and the file has not changed since.
  bool OnMarked(std::uint32_t recno) const;

  IndexFile& file_;
  std::size_t tag_;
  std::unique_ptr<index::OrderCursor> cursor_;
  std::optional<std::string> bounds_[2];
  std::optional<std::string> given_[2];
  std::uint64_t markedChanges_ = ~0ull;
  std::uint32_t markedRecno_ = 0;
  KeyRecord keys_;
};

}  // namespace xbe
