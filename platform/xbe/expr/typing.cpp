#include "platform/xbe/expr/typing.h"

#include "platform/xbe/expr/functions.h"

namespace xbe::expr {

const char* OperatorName(Op op) {
  switch (op) {
    case Op::kNeg: return "unary -";
    case Op::kNot: return ".NOT.";
    case Op::kAnd: return ".AND.";
    case Op::kOr: return ".OR.";
    case Op::kAdd: return "+";
    case Op::kSub: return "-";
    case Op::kMul: return "*";
    case Op::kDiv: return "/";
    case Op::kMod: return "%";
    case Op::kPow: return "**";
    case Op::kEq: return "=";
    case Op::kExactEq: return "==";
    case Op::kNe: return "<>";
    case Op::kLt: return "<";
    case Op::kLe: return "<=";
    case Op::kGt: return ">";
    case Op::kGe: return ">=";
    case Op::kSubstr: return "$";
    default: return "?";
  }
}

Type OperatorType(Op op, Type a, Type b, std::string* problem) {
  using T = Type;
  auto mismatch = [&]() {
    *problem = std::string("Type mismatch: ") + TypeName(a) + " " + OperatorName(op) +
               (op == Op::kNeg || op == Op::kNot ? std::string() : std::string(" ") + TypeName(b));
    return T::kAny;
  };
  const bool unknown = a == T::kAny || b == T::kAny;
  switch (op) {
    case Op::kNeg:
      if (a == T::kNumeric || a == T::kAny) return T::kNumeric;
      return mismatch();
    case Op::kNot:
      if (a == T::kLogical || a == T::kAny) return T::kLogical;
      return mismatch();
    case Op::kAnd:
    case Op::kOr:
      if ((a == T::kLogical || a == T::kAny) && (b == T::kLogical || b == T::kAny)) return T::kLogical;
      return mismatch();
    case Op::kAdd:
      if (unknown) return T::kAny;
      if (a == T::kCharacter && b == T::kCharacter) return T::kCharacter;
      if (a == T::kNumeric && b == T::kNumeric) return T::kNumeric;
      if ((a == T::kDate && b == T::kNumeric) || (a == T::kNumeric && b == T::kDate)) return T::kDate;
      return mismatch();
    case Op::kSub:
      if (unknown) return T::kAny;
      if (a == T::kCharacter && b == T::kCharacter) return T::kCharacter;
      if (a == T::kNumeric && b == T::kNumeric) return T::kNumeric;
      if (a == T::kDate && b == T::kNumeric) return T::kDate;
      if (a == T::kDate && b == T::kDate) return T::kNumeric;
      return mismatch();
    case Op::kMul:
    case Op::kDiv:
    case Op::kMod:
    case Op::kPow:
      if ((a == T::kNumeric || a == T::kAny) && (b == T::kNumeric || b == T::kAny)) return T::kNumeric;
      return mismatch();
    case Op::kSubstr:
      if ((a == T::kCharacter || a == T::kAny) && (b == T::kCharacter || b == T::kAny)) return T::kLogical;
      return mismatch();
    case Op::kEq:
    case Op::kExactEq:
    case Op::kNe:
    case Op::kLt:
    case Op::kLe:
    case Op::kGt:
    case Op::kGe:
      if (unknown || a == b) return T::kLogical;
      return mismatch();
    default:
      return T::kAny;
  }
}

Type StaticTypeOf(const Node& n, std::string* problem) {
  if (n.op == Op::kCall) {
    const FunctionDef& f = *n.function;
    for (std::size_t i = 0; i < n.args.size(); ++i) {
      const char want = ArgTypeOf(f, static_cast<int>(i));
      const Type got = n.args[i]->type;
      if (want != '*' && got != Type::kAny && static_cast<char>(got) != want) {
        *problem = std::string("Type mismatch: argument ") + std::to_string(i + 1) + " of " + f.name +
                   " must be " + TypeName(static_cast<Type>(want)) + ", not " + TypeName(got);
        return Type::kAny;
      }
    }
    if (f.result == 'I') {
      const Type a = n.args[1]->type, b = n.args[2]->type;
      return a == b ? a : Type::kAny;
    }
    if (f.result >= '0' && f.result <= '9') {
      const std::size_t k = static_cast<std::size_t>(f.result - '0');
      return k < n.args.size() ? n.args[k]->type : Type::kAny;
    }
    return static_cast<Type>(f.result);
  }
  const Type a = n.args.empty() ? Type::kAny : n.args[0]->type;
  const Type b = n.args.size() > 1 ? n.args[1]->type : Type::kAny;
  return OperatorType(n.op, a, b, problem);
}

}  // namespace xbe::expr
