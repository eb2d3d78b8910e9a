// A compiled xBase expression: index keys, index conditions, filters, scopes, locate.
//
//   Expression e = Expression::Compile("Upper( NOME ) + DToS( DATA )", table);
//   Value v = e.Evaluate(record, settings);
//
// Compiling resolves field names (case-insensitive, optionally ALIAS->FIELD or FIELD->NAME)
// against the table and checks the types where they are known; evaluation reads the current
// record. Both raise ExprError naming the expression; neither crashes or loops on any text.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/expr/errors.h"
#include "platform/xbe/expr/record_context.h"
#include "platform/xbe/expr/settings.h"
#include "platform/xbe/expr/value.h"

namespace xbe::expr {

struct Node;

class Expression {
 public:
  Expression();
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  static Expression Compile(std::string_view text, const FieldCatalog& fields);

  Value Evaluate(const RecordContext& record, const EvalSettings& settings) const;
  // Evaluates and requires a logical result (conditions, filters).
  bool EvaluateLogical(const RecordContext& record, const EvalSettings& settings) const;

  const std::string& Text() const { return text_; }
  // The static type of the result; kAny when only evaluation tells.
  Type ResultType() const;
  // The fields the expression reads, left to right, each once, with the catalog's spelling:
  // the segments of an index key ("UF + CIDADE" -> UF, CIDADE).
  const std::vector<std::string>& FieldNames() const { return fieldNames_; }
  bool Empty() const { return root_ == nullptr; }

 private:
  std::string text_;
  std::unique_ptr<Node> root_;
  std::vector<std::string> fieldNames_;
};

// The longest text a character value may grow to (REPLICATE, SPACE, concatenation).
inline constexpr std::size_t kMaxTextLength = 65535;
// The deepest nesting of parentheses, calls and operators the compiler accepts.
inline constexpr int kMaxDepth = 200;

}  // namespace xbe::expr
