#include <cmath>
#include <cstring>

#include "platform/xbe/expr/ast.h"
#include "platform/xbe/expr/eval_ops.h"
#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr/numfmt.h"
#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/typing.h"

namespace xbe::expr {

void RuntimeFail(const EvalEnv& env, const std::string& detail) {
  throw ExprError(ErrorKind::kRuntime, detail, env.expression);
}

void TypeFail(const EvalEnv& env, const std::string& detail) {
  throw ExprError(ErrorKind::kTypeMismatch, "Type mismatch: " + detail, env.expression);
}

void Require(const EvalEnv& env, const Value& v, Type t, const char* where) {
  if (v.type != t)
    TypeFail(env, std::string(where) + " needs a " + TypeName(t) + " value, not " + TypeName(v.type));
}

void CheckLength(const EvalEnv& env, std::size_t n) {
  if (n > kMaxTextLength)
    throw ExprError(ErrorKind::kLimit, "Text longer than " + std::to_string(kMaxTextLength), env.expression);
}

int CompareText(std::string_view a, std::string_view b, bool exact) {
  if (exact) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
  }
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  if (a.size() > b.size()) return exact ? 1 : 0;
  return -1;
}

int CompareValues(const Value& a, const Value& b, bool exact, const EvalEnv& env) {
  if (a.type != b.type)
    TypeFail(env, std::string("cannot compare ") + TypeName(a.type) + " with " + TypeName(b.type));
  switch (a.type) {
    case Type::kCharacter: return CompareText(a.text, b.text, exact);
    case Type::kNumeric: return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    case Type::kDate: return a.julian < b.julian ? -1 : a.julian > b.julian ? 1 : 0;
    case Type::kLogical: return static_cast<int>(a.logical) - static_cast<int>(b.logical);
    default: return 0;
  }
}

bool IsEmptyValue(const Value& v) {
  switch (v.type) {
    case Type::kCharacter:
      for (char c : v.text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0') return false;
      return true;
    case Type::kNumeric: return v.number == 0;
    case Type::kDate: return v.julian == 0;
    case Type::kLogical: return !v.logical;
    default: return true;
  }
}

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

Value FieldValue(const RecordContext& record, int index, const FieldInfo& info) {
  const std::string_view raw = record.RawField(index);
  switch (info.type) {
    case 'C': case 'c':
      return Value::Character(std::string(raw));
    case 'M': case 'm':
      return Value::Character(record.MemoText(index));
    case 'N': case 'n': case 'F': case 'f': {
      int dec = 0;
      return Value::Numeric(ValOf(raw, &dec), info.length, info.decimals);
    }
    case 'I': case 'i': {
      std::int32_t v = 0;
      if (raw.size() >= 4) std::memcpy(&v, raw.data(), 4);
      return Value::Numeric(v, 11, 0);
    }
    case 'B': case 'b': {
      double v = 0;
      if (raw.size() >= 8) std::memcpy(&v, raw.data(), 8);
      return Value::Numeric(v, -1, info.decimals);
    }
    case 'Y': case 'y': {
      std::int64_t v = 0;
      if (raw.size() >= 8) std::memcpy(&v, raw.data(), 8);
      return Value::Numeric(static_cast<double>(v) / 10000.0, -1, 4);
    }
    case 'D': case 'd':
      return Value::Date(JulianFromDtos(raw));
    case 'L': case 'l': {
      const char c = raw.empty() ? ' ' : raw[0];
      return Value::Logical(c == 'T' || c == 't' || c == 'Y' || c == 'y');
    }
    default:
      return Value::Character(std::string(raw));
  }
}

namespace {

int MaxDecimals(const Value& a, const Value& b) {
  return a.decimals > b.decimals ? a.decimals : b.decimals;
}

Value Eval(const Node& n, const EvalEnv& env);

Value EvalBinary(const Node& n, const EvalEnv& env) {
  // Logical operators short-circuit, as in xBase runtimes.
  if (n.op == Op::kAnd || n.op == Op::kOr) {
    Value a = Eval(*n.args[0], env);
    Require(env, a, Type::kLogical, OperatorName(n.op));
    if (n.op == Op::kAnd && !a.logical) return Value::Logical(false);
    if (n.op == Op::kOr && a.logical) return Value::Logical(true);
    Value b = Eval(*n.args[1], env);
    Require(env, b, Type::kLogical, OperatorName(n.op));
    return Value::Logical(b.logical);
  }
  Value a = Eval(*n.args[0], env);
  Value b = Eval(*n.args[1], env);
  std::string problem;
  OperatorType(n.op, a.type, b.type, &problem);
  if (!problem.empty()) throw ExprError(ErrorKind::kTypeMismatch, problem, env.expression);
  const bool exact = env.settings.exact;
  switch (n.op) {
    case Op::kAdd:
      if (a.type == Type::kCharacter) {
        CheckLength(env, a.text.size() + b.text.size());
        return Value::Character(a.text + b.text);
      }
      if (a.type == Type::kDate) return Value::Date(a.julian ? a.julian + static_cast<std::int32_t>(b.number) : 0);
      if (b.type == Type::kDate) return Value::Date(b.julian ? b.julian + static_cast<std::int32_t>(a.number) : 0);
      return Value::Numeric(a.number + b.number, -1, MaxDecimals(a, b));
    case Op::kSub:
      if (a.type == Type::kCharacter) {
        // The trailing blanks of the left operand move to the end.
        std::size_t keep = a.text.size();
        while (keep > 0 && a.text[keep - 1] == ' ') --keep;
        CheckLength(env, a.text.size() + b.text.size());
        return Value::Character(a.text.substr(0, keep) + b.text + std::string(a.text.size() - keep, ' '));
      }
      if (a.type == Type::kDate && b.type == Type::kDate) return Value::Numeric(a.julian - b.julian, -1, 0);
      if (a.type == Type::kDate) return Value::Date(a.julian ? a.julian - static_cast<std::int32_t>(b.number) : 0);
      return Value::Numeric(a.number - b.number, -1, MaxDecimals(a, b));
    case Op::kMul:
      return Value::Numeric(a.number * b.number, -1,
                            a.decimals >= 0 && b.decimals >= 0 ? a.decimals + b.decimals : -1);
    case Op::kDiv:
      if (b.number == 0) RuntimeFail(env, "Division by zero");
      return Value::Numeric(a.number / b.number);
    case Op::kMod:
      if (b.number == 0) RuntimeFail(env, "Division by zero");
      return Value::Numeric(std::fmod(a.number, b.number), -1, MaxDecimals(a, b));
    case Op::kPow: {
      const double r = std::pow(a.number, b.number);
      if (!std::isfinite(r)) RuntimeFail(env, "Numeric overflow");
      return Value::Numeric(r);
    }
    case Op::kEq: return Value::Logical(CompareValues(a, b, exact, env) == 0);
    case Op::kNe: return Value::Logical(CompareValues(a, b, exact, env) != 0);
    case Op::kLt: return Value::Logical(CompareValues(a, b, exact, env) < 0);
    case Op::kLe: return Value::Logical(CompareValues(a, b, exact, env) <= 0);
    case Op::kGt: return Value::Logical(CompareValues(a, b, exact, env) > 0);
    case Op::kGe: return Value::Logical(CompareValues(a, b, exact, env) >= 0);
    case Op::kExactEq:
      if (a.type == Type::kCharacter) return Value::Logical(a.text == b.text);
      return Value::Logical(CompareValues(a, b, true, env) == 0);
    case Op::kSubstr:
      return Value::Logical(!a.text.empty() ? b.text.find(a.text) != std::string::npos : true);
    default:
      RuntimeFail(env, "bad operator");
  }
}

Value Eval(const Node& n, const EvalEnv& env) {
  switch (n.op) {
    case Op::kConst:
      return n.constant;
    case Op::kField:
      return FieldValue(env.record, n.field, n.fieldInfo);
    case Op::kNeg: {
      Value a = Eval(*n.args[0], env);
      Require(env, a, Type::kNumeric, "unary -");
      a.number = -a.number;
      return a;
    }
    case Op::kNot: {
      Value a = Eval(*n.args[0], env);
      Require(env, a, Type::kLogical, ".NOT.");
      return Value::Logical(!a.logical);
    }
    case Op::kCall: {
      const FunctionDef& f = *n.function;
      if (!f.impl) {  // IIF: only the branch taken is evaluated
        Value c = Eval(*n.args[0], env);
        Require(env, c, Type::kLogical, "IIF");
        return Eval(*n.args[c.logical ? 1 : 2], env);
      }
      std::vector<Value> args;
      args.reserve(n.args.size());
      for (std::size_t i = 0; i < n.args.size(); ++i) {
        args.push_back(Eval(*n.args[i], env));
        const char want = ArgTypeOf(f, static_cast<int>(i));
        if (want != '*' && static_cast<char>(args.back().type) != want)
          TypeFail(env, "argument " + std::to_string(i + 1) + " of " + f.name + " must be " +
                            TypeName(static_cast<Type>(want)) + ", not " + TypeName(args.back().type));
      }
      return f.impl(args, env);
    }
    default:
      return EvalBinary(n, env);
  }
}

}  // namespace

Value Expression::Evaluate(const RecordContext& record, const EvalSettings& settings) const {
  if (!root_) throw ExprError(ErrorKind::kSyntax, "Syntax error: empty expression", text_);
  EvalEnv env{record, settings, text_};
  return Eval(*root_, env);
}

bool Expression::EvaluateLogical(const RecordContext& record, const EvalSettings& settings) const {
  Value v = Evaluate(record, settings);
  if (v.type != Type::kLogical)
    throw ExprError(ErrorKind::kTypeMismatch,
                    std::string("Type mismatch: a logical result is needed, not ") + TypeName(v.type), text_);
  return v.logical;
}

}  // namespace xbe::expr
