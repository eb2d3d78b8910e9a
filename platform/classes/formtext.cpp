#include "platform/classes/formtext.h"

#include <cctype>

#include "platform/classes/errors.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes::formtext {

namespace {

enum class Tok { End, Ident, String, Integer, Float, Symbol };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, string bytes, symbol
  std::int64_t integer = 0;
  double real = 0;
  int line = 1;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string CodePointToAnsi(std::int64_t cp) {
  if (cp <= 0xFF) return std::string(1, static_cast<char>(cp));
  std::string utf8;
  auto c = static_cast<std::uint32_t>(cp);
  if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
    utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (c & 0x3F));
  return rtl::Utf8ToAnsi(utf8);
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : s_(text) {}

  [[noreturn]] void Error(int line, std::string_view what) const {
    throw EParserError("Erro de sintaxe na linha " + rtl::IntToStr(line) + ": " + std::string(what));
  }

  Token Next() {
    SkipBlanks();
    Token t;
    t.line = line_;
    if (pos_ >= s_.size()) return t;
    const char c = s_[pos_];
    if (IsLetter(c)) {
      t.kind = Tok::Ident;
      while (pos_ < s_.size() && (IsLetter(s_[pos_]) || IsDigit(s_[pos_]) ||
                                  (s_[pos_] == '.' && pos_ + 1 < s_.size() && IsLetter(s_[pos_ + 1]))))
        t.text += s_[pos_++];
      return t;
    }
    if (c == '\'' || c == '#') return StringToken(t);
    if (IsDigit(c) || c == '$' || ((c == '-' || c == '+') && pos_ + 1 < s_.size() &&
                                   (IsDigit(s_[pos_ + 1]) || s_[pos_ + 1] == '$')))
      return NumberToken(t);
    t.kind = Tok::Symbol;
    t.text = std::string(1, c);
    ++pos_;
    return t;
  }

  // The hexadecimal digits up to "}", after a "{" token.
  std::string Binary(int line) {
    std::string bytes;
    int high = -1;
    while (true) {
      if (pos_ >= s_.size()) Error(line, "'}' esperado");
      const char c = s_[pos_++];
      if (c == '}') break;
      if (c == '\n') ++line_;
      if (static_cast<unsigned char>(c) <= ' ') continue;
      const int v = HexValue(c);
      if (v < 0) Error(line_, "dígito hexadecimal esperado"_ansi);
      if (high < 0) {
        high = v;
      } else {
        bytes += static_cast<char>(high * 16 + v);
        high = -1;
      }
    }
    if (high >= 0) Error(line, "número ímpar de dígitos hexadecimais"_ansi);
    return bytes;
  }

 private:
  void SkipBlanks() {
    while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ') {
      if (s_[pos_] == '\n') ++line_;
      ++pos_;
    }
  }

  Token StringToken(Token& t) {
    t.kind = Tok::String;
    while (pos_ < s_.size() && (s_[pos_] == '\'' || s_[pos_] == '#')) {
      if (s_[pos_] == '\'') {
        ++pos_;
        while (true) {
          if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Error(t.line, "string não terminada"_ansi);
          if (s_[pos_] == '\'') {
            if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
              t.text += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          t.text += s_[pos_++];
        }
      } else {
        ++pos_;
        std::int64_t code = 0;
        std::size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '$') {
          ++pos_;
          start = pos_;
          while (pos_ < s_.size() && HexValue(s_[pos_]) >= 0 && code <= 0x10FFFF)
            code = code * 16 + HexValue(s_[pos_++]);
        } else {
          while (pos_ < s_.size() && IsDigit(s_[pos_]) && code <= 0x10FFFF) code = code * 10 + (s_[pos_++] - '0');
        }
        if (pos_ == start || code > 0x10FFFF) Error(t.line, "código de caractere inválido"_ansi);
        t.text += CodePointToAnsi(code);
      }
    }
    return t;
  }

  Token NumberToken(Token& t) {
    const std::size_t start = pos_;
    if (s_[pos_] == '-' || s_[pos_] == '+') ++pos_;
    bool isFloat = false;
    if (pos_ < s_.size() && s_[pos_] == '$') {
      ++pos_;
      while (pos_ < s_.size() && HexValue(s_[pos_]) >= 0) ++pos_;
    } else {
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      if (pos_ + 1 < s_.size() && s_[pos_] == '.' && IsDigit(s_[pos_ + 1])) {
        isFloat = true;
        ++pos_;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      }
      if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
        std::size_t p = pos_ + 1;
        if (p < s_.size() && (s_[p] == '-' || s_[p] == '+')) ++p;
        if (p < s_.size() && IsDigit(s_[p])) {
          isFloat = true;
          pos_ = p;
          while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
        }
      }
    }
    std::string text(s_.substr(start, pos_ - start));
    if (pos_ < s_.size() && (IsLetter(s_[pos_]) || IsDigit(s_[pos_]))) Error(t.line, "número inválido"_ansi);
    try {
      if (isFloat) {
        t.kind = Tok::Float;
        t.real = rtl::StrToFloat(text);
      } else {
        t.kind = Tok::Integer;
        if (text[0] == '+') text.erase(0, 1);
        t.integer = rtl::StrToInt64(text);
      }
    } catch (const rtl::EConvertError&) {
      Error(t.line, "número inválido"_ansi);
    }
    return t;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

// Objects, lists and collections nest by recursion; a description nested deeper than any form
// needs is refused before the stack runs out.
constexpr int kMaxNesting = 256;

class Parser {
 public:
  explicit Parser(std::string_view text) : lex_(text) { Advance(); }

  Object ParseRoot() {
    Object root = ParseObject();
    if (tok_.kind != Tok::End) lex_.Error(tok_.line, "fim do texto esperado");
    return root;
  }

 private:
  void Advance() { tok_ = lex_.Next(); }
  bool IsKeyword(const char* word) const { return tok_.kind == Tok::Ident && rtl::SameText(tok_.text, word); }
  bool IsSymbol(char c) const { return tok_.kind == Tok::Symbol && tok_.text[0] == c; }
  void Expect(char c) {
    if (!IsSymbol(c)) lex_.Error(tok_.line, std::string("'") + c + "' esperado");
    Advance();
  }
  std::string ExpectIdent() {
    if (tok_.kind != Tok::Ident) lex_.Error(tok_.line, "identificador esperado");
    std::string s = tok_.text;
    Advance();
    return s;
  }

  // Counts one level of nesting for as long as it lives.
  class Nested {
   public:
    Nested(Parser& p, int line) : p_(p) {
      if (++p_.depth_ > kMaxNesting)
        p_.lex_.Error(line, "aninhamento com mais de " + rtl::IntToStr(kMaxNesting) + std::string(" níveis"_ansi));
    }
    ~Nested() { --p_.depth_; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

   private:
    Parser& p_;
  };

  Object ParseObject() {
    const Nested level(*this, tok_.line);
    Object o;
    o.line = tok_.line;
    if (!IsKeyword("object")) lex_.Error(tok_.line, "'object' esperado");
    Advance();
    std::string first = ExpectIdent();
    if (IsSymbol(':')) {
      Advance();
      o.name = std::move(first);
      o.className = ExpectIdent();
    } else {
      o.className = std::move(first);
    }
    while (!IsKeyword("end")) {
      if (IsKeyword("object"))
        o.children.push_back(ParseObject());
      else
        o.properties.push_back(ParseProperty());
    }
    Advance();
    return o;
  }

  Property ParseProperty() {
    Property p;
    p.line = tok_.line;
    if (tok_.kind != Tok::Ident) lex_.Error(tok_.line, "nome de propriedade esperado");
    p.name = ExpectIdent();
    Expect('=');
    p.value = ParseValue();
    return p;
  }

  Value ParseValue() {
    const Nested level(*this, tok_.line);
    Value v;
    v.line = tok_.line;
    switch (tok_.kind) {
      case Tok::String:
        v.type = TValueType::vaString;
        v.text = tok_.text;
        Advance();
        while (IsSymbol('+')) {
          Advance();
          if (tok_.kind != Tok::String) lex_.Error(tok_.line, "string esperada");
          v.text += tok_.text;
          Advance();
        }
        return v;
      case Tok::Integer:
        v.type = TValueType::vaInteger;
        v.integer = tok_.integer;
        Advance();
        return v;
      case Tok::Float:
        v.type = TValueType::vaExtended;
        v.real = tok_.real;
        Advance();
        return v;
      case Tok::Ident:
        v.text = tok_.text;
        v.type = rtl::SameText(v.text, "True")    ? TValueType::vaTrue
                 : rtl::SameText(v.text, "False") ? TValueType::vaFalse
                                                  : TValueType::vaIdent;
        Advance();
        return v;
      case Tok::Symbol:
        break;
      case Tok::End:
        lex_.Error(tok_.line, "valor esperado");
    }
    const char c = tok_.text[0];
    if (c == '[') {
      v.type = TValueType::vaSet;
      Advance();
      if (!IsSymbol(']')) {
        v.elements.push_back(ExpectIdent());
        while (IsSymbol(',')) {
          Advance();
          v.elements.push_back(ExpectIdent());
        }
      }
      Expect(']');
    } else if (c == '(') {
      v.type = TValueType::vaList;
      Advance();
      while (!IsSymbol(')')) v.list.push_back(ParseValue());
      Advance();
    } else if (c == '{') {
      v.type = TValueType::vaBinary;
      v.text = lex_.Binary(tok_.line);
      Advance();
    } else if (c == '<') {
      v.type = TValueType::vaCollection;
      Advance();
      while (!IsSymbol('>')) {
        if (!IsKeyword("item")) lex_.Error(tok_.line, "'item' esperado");
        Advance();
        std::vector<Property> item;
        while (!IsKeyword("end")) item.push_back(ParseProperty());
        Advance();
        v.items.push_back(std::move(item));
      }
      Advance();
    } else {
      lex_.Error(tok_.line, "valor esperado");
    }
    return v;
  }

  Lexer lex_;
  Token tok_;
  int depth_ = 0;
};

}  // namespace

Object Parse(std::string_view text) { return Parser(text).ParseRoot(); }

std::string QuoteString(std::string_view value) {
  if (value.empty()) return "''";
  std::string out;
  bool quoted = false;
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= ' ' && c < 127) {
      if (!quoted) {
        out += '\'';
        quoted = true;
      }
      if (ch == '\'') out += '\'';
      out += ch;
    } else {
      if (quoted) {
        out += '\'';
        quoted = false;
      }
      out += '#' + std::to_string(c);
    }
  }
  if (quoted) out += '\'';
  return out;
}

}  // namespace classes::formtext
