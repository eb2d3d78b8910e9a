// Tokens of the xBase expression language.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace xbe::expr {

enum class Tok {
  kEnd,
  kNumber,   // text = the literal
  kString,   // text = the contents
  kIdent,    // text = the name as written
  kLogical,  // text = "T" or "F"
  kOp,       // text = + - * / % ** ^ = == != <> # < <= > >= $ ! -> .AND. .OR. .NOT.
  kLParen,
  kRParen,
  kComma,
};

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;
  std::size_t pos = 0;
};

// Raises ExprError(kSyntax) for an unterminated literal or an unknown character.
std::vector<Token> Tokenize(std::string_view text);

}  // namespace xbe::expr
