#include "platform/xbe/index/order_binding.h"

namespace xbe::index {

BoundOrder::BoundOrder(Order& order, expr::KeyFormat format, const expr::FieldCatalog& table)
    : order_(order), key_(expr::Expression::Compile(order.Info().keyExpression, table)) {
  if (!order.Info().forExpression.empty()) {
    condition_ = expr::Expression::Compile(order.Info().forExpression, table);
    if (condition_.ResultType() != expr::Type::kLogical && condition_.ResultType() != expr::Type::kAny)
      throw expr::ExprError(expr::ErrorKind::kTypeMismatch, "Type mismatch: an index condition must be logical",
                            order.Info().forExpression);
  }
  if (key_.ResultType() == expr::Type::kAny)
    throw expr::ExprError(expr::ErrorKind::kTypeMismatch, "Type mismatch: the key has no fixed type",
                          order.Info().keyExpression);
  layout_ = expr::KeyLayout{format, key_.ResultType(), order.Info().keyLength, order.Info().keyDecimals};
  order.SetKeyType(layout_.type);
}

std::string BoundOrder::KeyFor(const expr::RecordContext& record, const expr::EvalSettings& settings) const {
  return expr::EncodeKey(key_.Evaluate(record, settings), layout_, key_.Text());
}

std::optional<KeyEntry> BoundOrder::EntryFor(const expr::RecordContext& record,
                                            const expr::EvalSettings& settings) const {
  if (!condition_.Empty() && !condition_.EvaluateLogical(record, settings)) return std::nullopt;
  return KeyEntry{KeyFor(record, settings), record.RecordNumber()};
}

void BoundOrder::Update(const std::optional<KeyEntry>& before, const std::optional<KeyEntry>& after) {
  if (before && after && *before == *after) return;
  if (before) order_.Remove(*before);
  if (after) order_.Insert(*after);
}

}  // namespace xbe::index
