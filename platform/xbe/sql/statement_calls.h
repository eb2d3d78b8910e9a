// Calls of other groups that also take a statement handle: false when the handle is none.
#pragma once
#include <cstdint>

#include "platform/xbe/xbe.h"

namespace xbe {

// XbeSetEmpty: the parameter at that position becomes NULL.
bool SetStatementParameterEmpty(XBEHANDLE handle, XBEFIELD field);
// XbeGetRecordCount with option 2: the rows the last execution affected (5117 when none).
bool StatementAffectedRows(XBEHANDLE handle, std::uint16_t mode, std::uint32_t* count);
// XbeGetLastAutoinc: the value the statement's last INSERT was given.
bool StatementLastAutoInc(XBEHANDLE handle, std::uint32_t* value);

}  // namespace xbe
