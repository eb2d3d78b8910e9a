// Type rules of operators and calls, shared by the compiler (static check) and the evaluator.
#pragma once
#include <string>

#include "platform/xbe/expr/ast.h"

namespace xbe::expr {

// The result type of an operator applied to operands of these types; kAny when an operand is
// kAny and the result depends on it. Sets *problem to a text when the types do not fit.
Type OperatorType(Op op, Type a, Type b, std::string* problem);
// Static type of an operator or call node whose arguments are typed already.
Type StaticTypeOf(const Node& n, std::string* problem);
const char* OperatorName(Op op);

}  // namespace xbe::expr
