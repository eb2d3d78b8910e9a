// Field names in expressions, long form to short form and back. A field of this engine has one
// name, so both directions give the expression with every field reference spelled as the table
// stores it; everything else (literals, functions, blanks) is copied as written.
#include <string>

#include "platform/xbe/api_support.h"
#include "platform/xbe/expr/lexer.h"
#include "platform/xbe/expr_binding.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_filters.h"

using namespace xbe;

namespace {

std::string SpellFieldNames(const Table& table, std::string_view text) {
  const RecordBinding fields(table.Fields(), TableAlias(table));
  const std::vector<expr::Token> tokens = expr::Tokenize(text);
  std::string out;
  std::size_t copied = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const expr::Token& t = tokens[i];
    if (t.kind != expr::Tok::kIdent) continue;
    const bool isCall = i + 1 < tokens.size() && tokens[i + 1].kind == expr::Tok::kLParen;
    const int field = isCall ? -1 : fields.FindField(t.text);
    if (field < 0) continue;
    out.append(text.substr(copied, t.pos - copied));
    out += fields.FieldAt(field).name;
    copied = t.pos + t.text.size();
  }
  out.append(text.substr(copied));
  return out;
}

void ConvertNames(XBEHANDLE table, const char* expression, char* buffer, uint16_t* length) {
  if (expression == nullptr) Fail(kInvalidArgument, "No expression was given.");
  Require(length, "length");
  PutText(SpellFieldNames(TableOf(table), expression), buffer, length);
}

}  // namespace

extern "C" {

XBERESULT XbeExpressionLongToShort(XBEHANDLE table, const char* expression, char* buffer, uint16_t* length) {
  return Guarded([&] { ConvertNames(table, expression, buffer, length); });
}

XBERESULT XbeExpressionShortToLong(XBEHANDLE table, const char* expression, char* buffer, uint16_t* length) {
  return Guarded([&] { ConvertNames(table, expression, buffer, length); });
}

}  // extern "C"
