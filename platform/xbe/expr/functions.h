// The built-in functions of the evaluator (internal).
#pragma once
#include <string_view>
#include <vector>

#include "platform/xbe/expr/record_context.h"
#include "platform/xbe/expr/settings.h"
#include "platform/xbe/expr/value.h"

namespace xbe::expr {

struct EvalEnv {
  const RecordContext& record;
  const EvalSettings& settings;
  std::string_view expression;  // for error texts
};

using FunctionImpl = Value (*)(std::vector<Value>& args, const EvalEnv& env);

struct FunctionDef {
  const char* name;
  int minArgs;
  int maxArgs;
  // Per argument: 'C' 'N' 'D' 'L', or '*' for any type; the last letter repeats.
  const char* argTypes;
  // 'C' 'N' 'D' 'L' the result type; '0'..'9' the type of that argument; 'I' IIF's rule.
  char result;
  FunctionImpl impl;  // null for IIF, which the evaluator runs lazily
};

// Exact name (any case) first, then a unique abbreviation of at least four letters.
const FunctionDef* FindFunction(std::string_view name);
// The expected type of argument i, or '*'.
char ArgTypeOf(const FunctionDef& f, int i);

}  // namespace xbe::expr
