#include "platform/db/dberrors.h"

#include "platform/classes/component.h"
#include "platform/rtl/strutils.h"

namespace db {

void DatabaseError(std::string_view text, const classes::TComponent* component) {
  if (component && !component->Name().empty())
    throw EDatabaseError(component->Name() + ": " + std::string(text));
  throw EDatabaseError(std::string(text));
}

void DatabaseErrorFmt(std::string_view text, std::string_view arg, const classes::TComponent* component) {
  DatabaseError(rtl::FormatS(text, arg), component);
}

void AbstractError() { throw EAbstractError(std::string(kAbstractErrorText)); }

}  // namespace db
