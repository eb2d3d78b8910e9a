// The filters of a table handle: a plain filter and an optimized filter (both may be set; a
// record must pass both), and the exact-comparison flag their character comparisons follow.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr_binding.h"
#include "platform/xbe/record_hooks.h"

namespace xbe {

class Table;

// The table's alias in expressions (ALIAS->FIELD): the base name of its data file.
std::string TableAlias(const Table& table);

// A filter expression compiled against a table; character fields are seen as 1252 text.
class ExpressionFilter final : public RecordFilter {
 public:
  // Raises kExpressionError naming the expression when it does not compile or is not logical.
  ExpressionFilter(const Table& table, std::string_view text, const bool& exact);
  bool Accepts(const RecordView& record) override;
  const std::string& Text() const { return expression_.Text(); }

 private:
  RecordBinding binding_;
  expr::Expression expression_;
  const bool& exact_;
};

// Evaluates an expression once on a record (XbeEvalLogicalExpr).
bool EvaluateLogical(const Table& table, std::string_view text, const RecordView& record, bool exact);

class TableFilters {
 public:
  enum Kind { kPlain = 0, kOptimized = 1 };
  TableFilters() = default;
  TableFilters(const TableFilters&) = delete;
  TableFilters& operator=(const TableFilters&) = delete;

  void Set(Table& table, Kind kind, std::string_view text);
  // False when that filter was not set.
  bool Clear(Table& table, Kind kind);
  const ExpressionFilter* Get(Kind kind) const { return filters_[kind].get(); }

  bool exact = false;
  std::uint32_t optimizedOptions = 0;

 private:
  std::unique_ptr<ExpressionFilter> filters_[2];
};

}  // namespace xbe
