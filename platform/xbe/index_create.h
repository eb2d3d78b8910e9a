// Writing a new NTX index file for an open table (tools and tests; no C call creates indexes).
#pragma once
#include <string_view>

#include "platform/xbe/xbe.h"

namespace xbe {

// Creates (or replaces) the NTX file `fileName` (Windows form; ".ntx" added without an
// extension) holding every record of the table whose condition holds, keyed by the
// expression. The order is not opened on the table. Raises xbe::Error (kExpressionError when
// the key or condition does not fit the table).
void CreateNtxIndex(XBEHANDLE table, std::string_view fileName, std::string_view keyExpression,
                    std::string_view forExpression = {}, bool unique = false, bool descending = false);

}  // namespace xbe
