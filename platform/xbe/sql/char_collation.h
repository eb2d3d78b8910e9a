// Character columns compare as SQL CHAR does: trailing blanks do not count.
#pragma once

struct sqlite3;

namespace xbe::sql {

void RegisterCharCollation(sqlite3* db);

}  // namespace xbe::sql
