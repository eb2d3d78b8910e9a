#include "platform/xbe/sql/param_markers.h"

#include <cctype>

namespace xbe::sql {

namespace {
bool NameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}
}  // namespace

NumberedText NumberMarkers(std::string_view text) {
  NumberedText out;
  out.sql.reserve(text.size() + 8);
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      std::size_t j = text.find(close, i + 1);
      j = j == std::string_view::npos ? text.size() : j + 1;
      out.sql.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {  // a comment runs to the line's end
      std::size_t j = text.find('\n', i);
      j = j == std::string_view::npos ? text.size() : j;
      out.sql.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    if (c != ':') {
      out.sql += c;
      ++i;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == ':') {
      out.sql += ':';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '"' || text[j] == '\'' || text[j] == '`')) {
      const std::size_t close = text.find(text[j], j + 1);
      j = close == std::string_view::npos ? text.size() : close + 1;
    } else {
      while (j < text.size() && NameChar(text[j])) ++j;
    }
    if (j == i + 1) {  // a lone colon is no marker
      out.sql += ':';
      ++i;
      continue;
    }
    out.sql += '?' + std::to_string(++out.markers);
    i = j;
  }
  return out;
}

}  // namespace xbe::sql
