#include "platform/xbe/table_filters.h"

#include "platform/rtl/paths.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/table.h"

namespace xbe {

std::string TableAlias(const Table& table) {
  std::string name = rtl::ExtractFileName(table.DisplayName());
  const std::string ext = rtl::ExtractFileExt(name);
  return name.substr(0, name.size() - ext.size());
}

namespace {
expr::Expression CompileLogical(const RecordBinding& binding, std::string_view text) {
  try {
    expr::Expression e = expr::Expression::Compile(text, binding);
    if (e.ResultType() != expr::Type::kLogical && e.ResultType() != expr::Type::kAny)
      Fail(kExpressionError, "The expression \"" + std::string(text) + "\" is not a logical expression.");
    return e;
  } catch (const expr::ExprError& e) {
    Fail(kExpressionError, e.Message());
  }
}
}  // namespace

ExpressionFilter::ExpressionFilter(const Table& table, std::string_view text, const bool& exact)
    : binding_(table.Fields(), TableAlias(table), FieldText::kAnsi),
      expression_(CompileLogical(binding_, text)),
      exact_(exact) {}

bool ExpressionFilter::Accepts(const RecordView& record) {
  binding_.Bind(record);
  try {
    return expression_.EvaluateLogical(binding_, EvaluationSettings(exact_));
  } catch (const expr::ExprError& e) {
    Fail(kExpressionError, e.Message());
  }
}

bool EvaluateLogical(const Table& table, std::string_view text, const RecordView& record, bool exact) {
  const bool flag = exact;
  ExpressionFilter once(table, text, flag);
  return once.Accepts(record);
}

void TableFilters::Set(Table& table, Kind kind, std::string_view text) {
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
    Fail(kExpressionError, "An empty expression cannot filter records.");
  auto filter = std::make_unique<ExpressionFilter>(table, text, exact);
  Clear(table, kind);
  table.AddFilter(filter.get());
  filters_[kind] = std::move(filter);
}

bool TableFilters::Clear(Table& table, Kind kind) {
  if (!filters_[kind]) return false;
  table.RemoveFilter(filters_[kind].get());
  filters_[kind].reset();
  return true;
}

}  // namespace xbe
