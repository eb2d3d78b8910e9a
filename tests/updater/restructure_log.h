// Every restructure request that reaches the engine during a test, and the boxes shown, in the
// one order they happened: "add ML2 EMAIL,Char,50,0", "box <text>", "error <text>".
#pragma once
#include <string>
#include <vector>

#include "platform/xbe/xbe.h"

namespace updatertest {

std::vector<std::string>& Events();

// The engine's own restructure, bypassing the log (preparing a table before a run).
XBERESULT EngineRestructure(XBEHANDLE connection, const char* name, const char* addFields,
                            const char* deleteFields, const char* changeFields);

}  // namespace updatertest
