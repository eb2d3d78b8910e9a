// An order bound to its table: the key and condition expressions compiled against the table's
// fields, so that the table core can compute a record's entry and keep the order right.
//
//   BoundOrder bound(order, expr::KeyFormat::kNtx, table);        // ExprError if it does not fit
//   auto before = bound.EntryFor(oldRecord, settings);             // before a write (none: append)
//   ... write the record ...
//   bound.Update(before, bound.EntryFor(newRecord, settings));     // after append/write/delete/recall
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr/keys.h"
#include "platform/xbe/index/order.h"

namespace xbe::index {

class BoundOrder {
 public:
  BoundOrder(Order& order, expr::KeyFormat format, const expr::FieldCatalog& table);

  Order& order() const { return order_; }
  const expr::KeyLayout& Layout() const { return layout_; }
  const expr::Expression& KeyExpression() const { return key_; }
  // The fields of the key, left to right (the order's segments).
  const std::vector<std::string>& SegmentFields() const { return key_.FieldNames(); }

  // The entry the current record has in this order; none when the condition leaves it out.
  std::optional<KeyEntry> EntryFor(const expr::RecordContext& record, const expr::EvalSettings& settings) const;
  // The key bytes of the current record (key building: the record holds the segment values).
  std::string KeyFor(const expr::RecordContext& record, const expr::EvalSettings& settings) const;
  // Keeps the order right after a record changed from `before` to `after` (either may be none:
  // an append, or a record the condition takes in or leaves out). A unique order keeps the
  // entry it holds; records sharing a removed key are not taken in again, as in the files'
  // own programs.
  void Update(const std::optional<KeyEntry>& before, const std::optional<KeyEntry>& after);
  // Rebuilds the order from every record: `forEach(step)` positions the table on each record in
  // turn and calls step() there.
  template <typename ForEachRecord>
  void Rebuild(const expr::RecordContext& table, const expr::EvalSettings& settings, ForEachRecord forEach) {
    std::vector<KeyEntry> entries;
    forEach([&]() {
      if (auto e = EntryFor(table, settings)) entries.push_back(std::move(*e));
    });
    order_.Build(std::move(entries));
  }

 private:
  Order& order_;
  expr::Expression key_;
  expr::Expression condition_;
  expr::KeyLayout layout_;
};

}  // namespace xbe::index
