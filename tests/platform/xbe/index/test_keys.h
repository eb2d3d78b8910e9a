// Test-only: the entries an order should hold for a table, computed with the evaluator.
#pragma once
#include <string>
#include <vector>

#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr/keys.h"
#include "platform/xbe/index/order.h"
#include "tests/platform/xbe/index/test_dbf.h"

namespace xbe::index::testing {

inline expr::KeyLayout LayoutOf(TestDbf& table, const OrderInfo& info, expr::KeyFormat format) {
  expr::Expression key = expr::Expression::Compile(info.keyExpression, table);
  return expr::KeyLayout{format, key.ResultType(), info.keyLength, info.keyDecimals};
}

// Every record's entry, the condition applied (deleted records included, as the files hold them).
inline std::vector<KeyEntry> TableEntries(TestDbf& table, const OrderInfo& info, const expr::KeyLayout& layout) {
  expr::Expression key = expr::Expression::Compile(info.keyExpression, table);
  expr::Expression cond;
  if (!info.forExpression.empty()) cond = expr::Expression::Compile(info.forExpression, table);
  expr::EvalSettings settings;
  std::vector<KeyEntry> out;
  for (std::uint32_t r = 1; r <= table.RecordCount(); ++r) {
    table.Go(r);
    if (!cond.Empty() && !cond.EvaluateLogical(table, settings)) continue;
    out.push_back({expr::EncodeKey(key.Evaluate(table, settings), layout, info.keyExpression), r});
  }
  return out;
}

inline std::vector<std::uint32_t> Records(const std::vector<KeyEntry>& entries) {
  std::vector<std::uint32_t> r;
  for (const KeyEntry& e : entries) r.push_back(e.recno);
  return r;
}

}  // namespace xbe::index::testing
