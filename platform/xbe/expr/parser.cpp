// Recursive-descent parser with the xBase precedence, from loosest to tightest:
//   .OR.  <  .AND.  <  .NOT.  <  relations (= == != <> # < <= > >= $)  <  + -  <  * / %
//   <  ** ^  <  unary + -  <  literals, fields, calls, parentheses.
#include <cctype>
#include <utility>

#include "platform/xbe/expr/ast.h"
#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr/functions.h"
#include "platform/xbe/expr/lexer.h"
#include "platform/xbe/expr/typing.h"

namespace xbe::expr {

namespace {

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

Type TypeOfField(char dbfType) {
  switch (std::toupper(static_cast<unsigned char>(dbfType))) {
    case 'C': case 'M': return Type::kCharacter;
    case 'N': case 'F': case 'I': case 'B': case 'Y': return Type::kNumeric;
    case 'D': return Type::kDate;
    case 'L': return Type::kLogical;
    default: return Type::kAny;
  }
}

class Parser {
 public:
  Parser(std::string_view text, const FieldCatalog& fields, std::vector<std::string>& names)
      : text_(text), fields_(fields), names_(names), tokens_(Tokenize(text)) {}

  std::unique_ptr<Node> ParseAll() {
    if (Peek().kind == Tok::kEnd) Fail(ErrorKind::kSyntax, "Syntax error: empty expression");
    auto n = ParseOr();
    if (Peek().kind != Tok::kEnd) Fail(ErrorKind::kSyntax, "Syntax error: unexpected " + Describe(Peek()));
    return n;
  }

 private:
  [[noreturn]] void Fail(ErrorKind k, const std::string& detail) { throw ExprError(k, detail, text_); }

  const Token& Peek() const { return tokens_[pos_]; }
  Token Next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  bool IsOp(const Token& t, std::string_view op) const { return t.kind == Tok::kOp && t.text == op; }
  bool IsWord(const Token& t, std::string_view w) const { return t.kind == Tok::kIdent && Upper(t.text) == w; }

  std::string Describe(const Token& t) const {
    switch (t.kind) {
      case Tok::kEnd: return "end of expression";
      case Tok::kNumber: return "number " + t.text + " at position " + std::to_string(t.pos + 1);
      case Tok::kString: return "text literal at position " + std::to_string(t.pos + 1);
      case Tok::kIdent: return "name " + t.text + " at position " + std::to_string(t.pos + 1);
      case Tok::kLogical: return "logical literal at position " + std::to_string(t.pos + 1);
      case Tok::kOp: return "'" + t.text + "' at position " + std::to_string(t.pos + 1);
      case Tok::kLParen: return "'(' at position " + std::to_string(t.pos + 1);
      case Tok::kRParen: return "')' at position " + std::to_string(t.pos + 1);
      case Tok::kComma: return "',' at position " + std::to_string(t.pos + 1);
    }
    return "token";
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) p_.Fail(ErrorKind::kLimit, "Expression nested too deeply");
    }
    ~DepthGuard() { --p_.depth_; }
    Parser& p_;
  };

  std::unique_ptr<Node> Make(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b = nullptr) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->args.push_back(std::move(a));
    if (b) n->args.push_back(std::move(b));
    std::string problem;
    n->type = StaticTypeOf(*n, &problem);
    if (!problem.empty()) Fail(ErrorKind::kTypeMismatch, problem);
    return n;
  }

  std::unique_ptr<Node> ParseOr() {
    auto left = ParseAnd();
    while (IsOp(Peek(), ".OR.") || IsWord(Peek(), "OR")) {
      Next();
      left = Make(Op::kOr, std::move(left), ParseAnd());
    }
    return left;
  }

  std::unique_ptr<Node> ParseAnd() {
    auto left = ParseNot();
    while (IsOp(Peek(), ".AND.") || IsWord(Peek(), "AND")) {
      Next();
      left = Make(Op::kAnd, std::move(left), ParseNot());
    }
    return left;
  }

  std::unique_ptr<Node> ParseNot() {
    const Token& t = Peek();
    // A bare NOT is the operator unless it is a field of that name used as an operand.
    const bool bareNot = IsWord(t, "NOT") && fields_.FindField("NOT") < 0;
    if (IsOp(t, ".NOT.") || IsOp(t, "!") || bareNot) {
      DepthGuard g(*this);
      Next();
      return Make(Op::kNot, ParseNot());
    }
    return ParseRelation();
  }

  std::unique_ptr<Node> ParseRelation() {
    auto left = ParseAdditive();
    for (;;) {
      const Token& t = Peek();
      if (t.kind != Tok::kOp) break;
      Op op;
      if (t.text == "=") op = Op::kEq;
      else if (t.text == "==") op = Op::kExactEq;
      else if (t.text == "!=" || t.text == "<>" || t.text == "#") op = Op::kNe;
      else if (t.text == "<") op = Op::kLt;
      else if (t.text == "<=") op = Op::kLe;
      else if (t.text == ">") op = Op::kGt;
      else if (t.text == ">=") op = Op::kGe;
      else if (t.text == "$") op = Op::kSubstr;
      else break;
      Next();
      left = Make(op, std::move(left), ParseAdditive());
    }
    return left;
  }

  std::unique_ptr<Node> ParseAdditive() {
    auto left = ParseMultiplicative();
    while (IsOp(Peek(), "+") || IsOp(Peek(), "-")) {
      const Op op = Next().text == "+" ? Op::kAdd : Op::kSub;
      left = Make(op, std::move(left), ParseMultiplicative());
    }
    return left;
  }

  std::unique_ptr<Node> ParseMultiplicative() {
    auto left = ParsePower();
    while (IsOp(Peek(), "*") || IsOp(Peek(), "/") || IsOp(Peek(), "%")) {
      const std::string op = Next().text;
      left = Make(op == "*" ? Op::kMul : op == "/" ? Op::kDiv : Op::kMod, std::move(left), ParsePower());
    }
    return left;
  }

  std::unique_ptr<Node> ParsePower() {
    auto left = ParseUnary();
    while (IsOp(Peek(), "**") || IsOp(Peek(), "^")) {
      Next();
      left = Make(Op::kPow, std::move(left), ParseUnary());
    }
    return left;
  }

  std::unique_ptr<Node> ParseUnary() {
    if (IsOp(Peek(), "-") || IsOp(Peek(), "+")) return ParseSigned();
    return ParsePrimary();
  }

  std::unique_ptr<Node> ParseSigned() {
    DepthGuard g(*this);
    if (IsOp(Peek(), "-")) {
      Next();
      return Make(Op::kNeg, ParseUnary());
    }
    if (IsOp(Peek(), "+")) {
      Next();
      auto n = ParseUnary();
      if (n->type != Type::kNumeric && n->type != Type::kAny)
        Fail(ErrorKind::kTypeMismatch, std::string("Type mismatch: unary + of a ") + TypeName(n->type) + " value");
      return n;
    }
    return ParsePrimary();
  }

  std::unique_ptr<Node> Constant(Value v) {
    auto n = std::make_unique<Node>();
    n->op = Op::kConst;
    n->type = v.type;
    n->constant = std::move(v);
    return n;
  }

  std::unique_ptr<Node> ParsePrimary() {
    DepthGuard g(*this);
    Token t = Next();
    switch (t.kind) {
      case Tok::kNumber: {
        int dec = 0;
        const std::size_t dot = t.text.find('.');
        if (dot != std::string::npos) dec = static_cast<int>(t.text.size() - dot - 1);
        double v = 0;
        try {
          v = std::stod(t.text);
        } catch (...) {
          Fail(ErrorKind::kSyntax, "Syntax error: bad number " + t.text);
        }
        return Constant(Value::Numeric(v, -1, dec));
      }
      case Tok::kString:
        if (t.text.size() > kMaxTextLength) Fail(ErrorKind::kLimit, "Text literal too long");
        return Constant(Value::Character(t.text));
      case Tok::kLogical:
        return Constant(Value::Logical(t.text == "T"));
      case Tok::kLParen: {
        auto n = ParseOr();
        if (Peek().kind != Tok::kRParen) Fail(ErrorKind::kSyntax, "Syntax error: ')' expected, found " + Describe(Peek()));
        Next();
        return n;
      }
      case Tok::kIdent:
        return ParseName(t);
      default:
        Fail(ErrorKind::kSyntax, "Syntax error: unexpected " + Describe(t));
    }
  }

  std::unique_ptr<Node> ParseName(const Token& t) {
    if (Peek().kind == Tok::kLParen) return ParseCall(t);
    if (IsOp(Peek(), "->")) {
      Next();
      Token f = Next();
      if (f.kind != Tok::kIdent) Fail(ErrorKind::kSyntax, "Syntax error: field name expected after '->'");
      const std::string alias = Upper(t.text);
      if (alias != "FIELD" && alias != "_FIELD" && !fields_.IsOwnAlias(t.text))
        Fail(ErrorKind::kUnknownField, "Unknown alias " + t.text);
      return FieldNode(f.text);
    }
    return FieldNode(t.text);
  }

  std::unique_ptr<Node> FieldNode(const std::string& name) {
    const int index = fields_.FindField(name);
    if (index < 0) Fail(ErrorKind::kUnknownField, "Unknown field " + name);
    auto n = std::make_unique<Node>();
    n->op = Op::kField;
    n->field = index;
    n->fieldInfo = fields_.FieldAt(index);
    n->type = TypeOfField(n->fieldInfo.type);
    if (n->type == Type::kAny)
      Fail(ErrorKind::kTypeMismatch, "Field " + n->fieldInfo.name + " has a type expressions cannot read");
    bool seen = false;
    for (const std::string& s : names_) seen = seen || Upper(s) == Upper(n->fieldInfo.name);
    if (!seen) names_.push_back(n->fieldInfo.name);
    return n;
  }

  std::unique_ptr<Node> ParseCall(const Token& name) {
    const FunctionDef* f = FindFunction(name.text);
    if (!f) Fail(ErrorKind::kUnknownFunction, "Unknown function " + name.text);
    Next();  // (
    auto n = std::make_unique<Node>();
    n->op = Op::kCall;
    n->function = f;
    if (Peek().kind != Tok::kRParen) {
      for (;;) {
        n->args.push_back(ParseOr());
        if (Peek().kind == Tok::kComma) {
          Next();
          continue;
        }
        break;
      }
    }
    if (Peek().kind != Tok::kRParen) Fail(ErrorKind::kSyntax, "Syntax error: ')' expected, found " + Describe(Peek()));
    Next();
    const int count = static_cast<int>(n->args.size());
    if (count < f->minArgs || count > f->maxArgs)
      Fail(ErrorKind::kArgument, std::string("Wrong number of arguments to ") + f->name);
    std::string problem;
    n->type = StaticTypeOf(*n, &problem);
    if (!problem.empty()) Fail(ErrorKind::kTypeMismatch, problem);
    return n;
  }

  std::string_view text_;
  const FieldCatalog& fields_;
  std::vector<std::string>& names_;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Expression Expression::Compile(std::string_view text, const FieldCatalog& fields) {
  if (text.size() > kMaxTextLength)
    throw ExprError(ErrorKind::kLimit, "Expression too long", text);
  Expression e;
  e.text_ = std::string(text);
  Parser p(e.text_, fields, e.fieldNames_);
  e.root_ = p.ParseAll();
  return e;
}

Type Expression::ResultType() const { return root_ ? root_->type : Type::kAny; }

}  // namespace xbe::expr
