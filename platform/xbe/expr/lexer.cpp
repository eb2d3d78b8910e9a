#include "platform/xbe/expr/lexer.h"

#include <cctype>

#include "platform/xbe/expr/errors.h"

namespace xbe::expr {

namespace {
bool IsIdentStart(unsigned char c) { return std::isalpha(c) || c == '_'; }
bool IsIdentChar(unsigned char c) { return std::isalnum(c) || c == '_'; }

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}
}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> out;
  std::size_t i = 0;
  auto fail = [&](const std::string& what) {
    throw ExprError(ErrorKind::kSyntax, "Syntax error: " + what + " at position " + std::to_string(i + 1),
                    text);
  };
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    Token t;
    t.pos = i;
    if (std::isdigit(c) || (c == '.' && i + 1 < text.size() &&
                            std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      std::size_t j = i;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      if (j < text.size() && text[j] == '.' && j + 1 < text.size() &&
          std::isdigit(static_cast<unsigned char>(text[j + 1]))) {
        ++j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      } else if (j < text.size() && text[j] == '.' &&
                 !(j + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[j + 1])))) {
        ++j;  // "5." is a number; "5.AND." is not
      }
      t.kind = Tok::kNumber;
      t.text = std::string(text.substr(i, j - i));
      i = j;
    } else if (c == '"' || c == '\'' || c == '[') {
      const char close = c == '[' ? ']' : static_cast<char>(c);
      std::size_t j = text.find(close, i + 1);
      if (j == std::string_view::npos) fail("unterminated text literal");
      t.kind = Tok::kString;
      t.text = std::string(text.substr(i + 1, j - i - 1));
      i = j + 1;
    } else if (IsIdentStart(c)) {
      std::size_t j = i;
      while (j < text.size() && IsIdentChar(static_cast<unsigned char>(text[j]))) ++j;
      t.kind = Tok::kIdent;
      t.text = std::string(text.substr(i, j - i));
      i = j;
    } else if (c == '.') {
      // .T. .F. .Y. .N. .TRUE. .FALSE. .AND. .OR. .NOT.
      std::size_t j = i + 1;
      while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j]))) ++j;
      if (j >= text.size() || text[j] != '.' || j == i + 1) fail("unexpected '.'");
      const std::string word = Upper(text.substr(i + 1, j - i - 1));
      if (word == "T" || word == "Y" || word == "TRUE") {
        t.kind = Tok::kLogical;
        t.text = "T";
      } else if (word == "F" || word == "N" || word == "FALSE") {
        t.kind = Tok::kLogical;
        t.text = "F";
      } else if (word == "AND" || word == "OR" || word == "NOT") {
        t.kind = Tok::kOp;
        t.text = "." + word + ".";
      } else {
        fail("unknown operator ." + word + ".");
      }
      i = j + 1;
    } else if (c == '(') {
      t.kind = Tok::kLParen;
      ++i;
    } else if (c == ')') {
      t.kind = Tok::kRParen;
      ++i;
    } else if (c == ',') {
      t.kind = Tok::kComma;
      ++i;
    } else {
      static const char* const kOps[] = {"**", "==", "!=", "<>", "<=", ">=", "->", "+", "-", "*",
                                         "/",  "%",  "^",  "=",  "#",  "<",  ">",  "$", "!"};
      bool found = false;
      for (const char* op : kOps) {
        std::string_view o(op);
        if (text.substr(i, o.size()) == o) {
          t.kind = Tok::kOp;
          t.text = std::string(o);
          i += o.size();
          found = true;
          break;
        }
      }
      if (!found) fail(std::string("unexpected character '") + static_cast<char>(c) + "'");
    }
    out.push_back(std::move(t));
  }
  Token end;
  end.pos = text.size();
  out.push_back(end);
  return out;
}

}  // namespace xbe::expr
