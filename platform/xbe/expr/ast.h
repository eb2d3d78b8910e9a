// The compiled tree of an expression (internal to the compiler and evaluator).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/xbe/expr/record_context.h"
#include "platform/xbe/expr/value.h"

namespace xbe::expr {

enum class Op {
  kConst,
  kField,
  kCall,
  kNeg,
  kNot,
  kAnd,
  kOr,
  kAdd,
  kSub,
  kMul,
  kDiv,
  kMod,
  kPow,
  kEq,
  kExactEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kSubstr,  // $
};

struct FunctionDef;

struct Node {
  Op op = Op::kConst;
  Type type = Type::kAny;  // static result type
  Value constant;          // kConst
  int field = -1;          // kField: index in the catalog
  FieldInfo fieldInfo;     // kField
  const FunctionDef* function = nullptr;  // kCall
  std::vector<std::unique_ptr<Node>> args;
};

}  // namespace xbe::expr
