// What the cache freshness tests need: another program working on a table between two of our
// calls, and the key changes and seeks they make.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/xbe/xbe.h"

namespace xbetest {

// Runs `work` in a child process with its own connection to `directory` and its own shared
// handle of `table` (of `tableType`), with `indexFile` open on it unless empty; true when the
// child opened everything and `work` succeeded.
bool InAnotherProcess(const std::string& directory, const std::string& table, std::uint16_t tableType,
                      const std::string& indexFile, const std::function<bool(XBEHANDLE table)>& work);

// Writes `key` into the first field of record `recno`.
bool SetFirstField(XBEHANDLE table, std::uint32_t recno, const std::string& key);

// A hard seek of a text key; the call itself must succeed.
bool HardSeek(XBEHANDLE order, const std::string& key);

}  // namespace xbetest
