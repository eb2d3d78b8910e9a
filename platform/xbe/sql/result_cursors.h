// The cursors an SQL SELECT hands out, both table handles readable with every table call:
// a live cursor is the base table itself, moving through the records of the result only; a static
// cursor is the result materialised into a temporary table of the engine's own format, whose
// writes and locks answer 5064.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/xbe/table.h"

struct sqlite3_stmt;

namespace xbe::sql {

class SqlSession;

// Opens the base table `request` names as a new table handle that moves through `records`
// only, in their order (the result's).
std::uint32_t OpenLiveCursor(const OpenRequest& request, std::vector<std::uint32_t> records, std::uint32_t connection);

// Steps `statement` to its end and returns a table handle over its rows. Columns that come
// straight from a table column keep that field's type, length and decimals.
std::uint32_t MaterialiseResult(sqlite3_stmt* statement, const SqlSession& session, std::uint32_t connection);

}  // namespace xbe::sql
