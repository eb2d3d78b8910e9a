// What the framework reads from an SQL text for providers: the table after FROM, and the order
// of an ORDER BY clause as an index definition. A plain token scan; quoted text is skipped.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/indexdefs.h"

namespace db {

// The first name after FROM, without its quotes; empty when there is none.
std::string TableNameFromSQL(std::string_view sql);
// A free-standing definition whose fields are the ORDER BY list (";"-joined) and which is
// descending when any entry says DESC; nullptr without an ORDER BY clause.
std::unique_ptr<TIndexDef> IndexDefFromOrderBy(std::string_view sql);

}  // namespace db
