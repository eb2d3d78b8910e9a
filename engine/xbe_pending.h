// Engine calls that the layer needs and the engine's C interface does not offer yet (index
// orders, scopes, the data dictionary). Each forwards to the engine's function of that name
// when the engine provides it; otherwise it records the engine's last error with the layer's
// code and a text naming the call, so that CheckXbeResult raises a clear "not available".
#pragma once
#include <cstdint>

#include "platform/xbe/xbe.h"

namespace xbe_pending {

XBERESULT XbeOpenIndex(XBEHANDLE table, const char* fileName, XBEHANDLE* orders, std::uint16_t* count);
XBERESULT XbeCloseIndex(XBEHANDLE order);
XBERESULT XbeGetIndexHandle(XBEHANDLE table, const char* name, XBEHANDLE* order);
XBERESULT XbeGetIndexName(XBEHANDLE order, char* name, std::uint16_t* length);
XBERESULT XbeGetIndexFilename(XBEHANDLE order, std::uint16_t option, char* name, std::uint16_t* length);
XBERESULT XbeGetNumSegments(XBEHANDLE order, std::uint16_t* count);
XBERESULT XbeGetSegmentFieldname(XBEHANDLE order, std::uint16_t segment, char* name, std::uint16_t* length);
XBERESULT XbeIsIndexDescending(XBEHANDLE order, std::uint16_t* descending);
XBERESULT XbeIsIndexUnique(XBEHANDLE order, std::uint16_t* unique);
XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE order, std::uint16_t* primary);
XBERESULT XbeGetIndexFlags(XBEHANDLE order, std::uint32_t* flags);
XBERESULT XbeGetIndexCondition(XBEHANDLE order, char* condition, std::uint16_t* length);
XBERESULT XbeGetScope(XBEHANDLE order, std::uint16_t which, char* bound, std::uint16_t* length);

}  // namespace xbe_pending
