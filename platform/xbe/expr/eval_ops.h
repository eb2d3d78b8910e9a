// Operations on values shared by the evaluator and the functions (internal).
#pragma once
#include <string>
#include <string_view>

#include "platform/xbe/expr/functions.h"
#include "platform/xbe/expr/value.h"

namespace xbe::expr {

[[noreturn]] void RuntimeFail(const EvalEnv& env, const std::string& detail);
[[noreturn]] void TypeFail(const EvalEnv& env, const std::string& detail);
void Require(const EvalEnv& env, const Value& v, Type t, const char* where);
void CheckLength(const EvalEnv& env, std::size_t n);

// <0, 0, >0 in xBase order: bytes unsigned; with exact off only up to the right operand's length.
int CompareText(std::string_view a, std::string_view b, bool exact);
// Compares two values of one type (character by the rule above).
int CompareValues(const Value& a, const Value& b, bool exact, const EvalEnv& env);
bool IsEmptyValue(const Value& v);
std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);
// A value read from a field of the current record.
Value FieldValue(const RecordContext& record, int index, const FieldInfo& info);

std::string Transform(const Value& v, std::string_view picture, const EvalSettings& settings);

}  // namespace xbe::expr
