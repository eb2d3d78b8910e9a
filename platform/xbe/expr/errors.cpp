#include "platform/xbe/expr/errors.h"

namespace xbe::expr {

namespace {
std::string Compose(std::string_view detail, std::string_view expression) {
  std::string m(detail);
  m += " in expression \"";
  // A runaway text would make the message unreadable; its start is enough to find it.
  if (expression.size() > 200) {
    m.append(expression.substr(0, 200));
    m += "...";
  } else {
    m.append(expression);
  }
  m += "\"";
  return m;
}
}  // namespace

ExprError::ExprError(ErrorKind kind, std::string_view detail, std::string_view expression)
    : rtl::Exception(Compose(detail, expression)), kind_(kind), detail_(detail) {}

}  // namespace xbe::expr
