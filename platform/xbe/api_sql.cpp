// SQL statements on a connection: placeholder answers until the SQL engine is wired in.
#include "platform/xbe/api_support.h"

using namespace xbe;

namespace {
XBERESULT NoSql() {
  return Guarded([] { Fail(kUnsupported, "SQL statements are not available in this engine."); });
}
}  // namespace

extern "C" {
XBERESULT XbeCreateSQLStatement(XBEHANDLE, XBEHANDLE*) { return NoSql(); }
XBERESULT XbePrepareSQL(XBEHANDLE, const char*) { return NoSql(); }
XBERESULT XbeExecuteSQL(XBEHANDLE, XBEHANDLE*) { return NoSql(); }
XBERESULT XbeExecuteSQLDirect(XBEHANDLE, const char*, XBEHANDLE*) { return NoSql(); }
XBERESULT XbeCloseSQLStatement(XBEHANDLE) { return NoSql(); }
XBERESULT XbeGetSQLStmtParams(const char*) { return NoSql(); }
XBERESULT XbeSqlPeekStatement(XBEHANDLE, uint16_t*) { return NoSql(); }
XBERESULT XbeStmtSetTableType(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtSetTableCharType(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtSetTableLockType(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtSetTableRights(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtSetTableReadOnly(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtConstrainUpdates(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeStmtReadAllColumns(XBEHANDLE, uint16_t) { return NoSql(); }
XBERESULT XbeSetString(XBEHANDLE, XBEFIELD, const char*, uint32_t) { return NoSql(); }
XBERESULT XbeSetDouble(XBEHANDLE, XBEFIELD, double) { return NoSql(); }
XBERESULT XbeSetLogical(XBEHANDLE, XBEFIELD, uint16_t) { return NoSql(); }
XBERESULT XbeSetJulian(XBEHANDLE, XBEFIELD, int32_t) { return NoSql(); }
XBERESULT XbeSetMilliseconds(XBEHANDLE, XBEFIELD, int32_t) { return NoSql(); }
XBERESULT XbeSetTimeStampRaw(XBEHANDLE, XBEFIELD, const void*, uint32_t) { return NoSql(); }
XBERESULT XbeSetBinary(XBEHANDLE, XBEFIELD, uint16_t, uint32_t, uint32_t, const void*, uint32_t) { return NoSql(); }
}
