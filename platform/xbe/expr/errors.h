// Errors of the expression compiler and evaluator. Every message names the expression.
#pragma once
#include <string>
#include <string_view>

#include "platform/rtl/exception.h"

namespace xbe::expr {

enum class ErrorKind {
  kSyntax,           // the text is not an expression
  kUnknownField,     // a name that is no field of the table
  kUnknownFunction,  // a call of a function the evaluator does not have
  kTypeMismatch,     // an operator or function given values of the wrong type
  kArgument,         // a wrong number of arguments or a value out of range
  kLimit,            // nesting too deep, a text too long
  kRuntime,          // a failure while evaluating (division by zero, ...)
};

class ExprError : public rtl::Exception {
 public:
  ExprError(ErrorKind kind, std::string_view detail, std::string_view expression);
  ErrorKind kind() const { return kind_; }
  // The detail alone, without the expression.
  const std::string& detail() const { return detail_; }

 private:
  ErrorKind kind_;
  std::string detail_;
};

}  // namespace xbe::expr
