#include "platform/db/sqltext.h"

#include <cctype>
#include <vector>

#include "platform/rtl/strutils.h"

namespace db {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
  bool comma = false;
};

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::vector<Token> Tokens(std::string_view sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const std::size_t end = sql.find(close, i + 1);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
      tokens.push_back({std::string(sql.substr(i + 1, stop - i - 1)), true, false});
      i = stop + 1;
    } else if (IsNameChar(c)) {
      std::size_t end = i;
      while (end < sql.size() && IsNameChar(sql[end])) ++end;
      tokens.push_back({std::string(sql.substr(i, end - i)), false, false});
      i = end;
    } else {
      if (c == ',') tokens.push_back({",", false, true});
      else if (!std::isspace(static_cast<unsigned char>(c))) tokens.push_back({std::string(1, c), false, false});
      ++i;
    }
  }
  return tokens;
}

bool Is(const Token& t, const char* word) { return !t.quoted && rtl::SameText(t.text, word); }

}  // namespace

std::string TableNameFromSQL(std::string_view sql) {
  const std::vector<Token> tokens = Tokens(sql);
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i)
    if (Is(tokens[i], "FROM") && !tokens[i + 1].comma) return tokens[i + 1].text;
  return std::string();
}

std::unique_ptr<TIndexDef> IndexDefFromOrderBy(std::string_view sql) {
  const std::vector<Token> tokens = Tokens(sql);
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!Is(tokens[i], "ORDER") || !Is(tokens[i + 1], "BY")) continue;
    auto def = std::make_unique<TIndexDef>();
    std::string fields;
    TIndexOptions options;
    bool expectName = true;
    for (std::size_t j = i + 2; j < tokens.size(); ++j) {
      const Token& t = tokens[j];
      if (t.comma) {
        expectName = true;
      } else if (!expectName && Is(t, "DESC")) {
        options.Include(ixDescending);
      } else if (!expectName && Is(t, "ASC")) {
      } else if (expectName && (t.quoted || IsNameChar(t.text[0]))) {
        if (!fields.empty()) fields += ";";
        fields += t.text;
        expectName = false;
      } else {
        break;  // the clause ends (a limit, a parenthesis, a semicolon)
      }
    }
    def->SetFields(fields);
    def->SetOptions(options);
    return def;
  }
  return nullptr;
}

}  // namespace db
