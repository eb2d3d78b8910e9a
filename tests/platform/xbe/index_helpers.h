// Helpers of the index order tests: orders walked through the C interface, texts of orders,
// and the "#order" lines of the reference dumps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xbe/xbe.h"

namespace xbetest {

struct ExpectedOrder {
  std::string name, key, condition;
  bool unique = false, descending = false;
  std::uint32_t keyCount = 0;
  std::vector<std::uint32_t> records;
};
// The "#order" lines of an expected/ dump.
std::vector<ExpectedOrder> ExpectedOrders(const std::string& dumpFile);

// Record numbers from the top through `handle` (an order or the table), read on the table.
std::vector<std::uint32_t> Walk(XBEHANDLE table, XBEHANDLE handle);
std::vector<std::uint32_t> WalkBackwards(XBEHANDLE table, XBEHANDLE handle);

// An order's text through one of the XbeGetIndex... calls taking (order, buffer, length).
using OrderTextCall = XBERESULT (*)(XBEHANDLE, char*, uint16_t*);
std::string OrderText(OrderTextCall call, XBEHANDLE order);
std::vector<XBEHANDLE> AllOrders(XBEHANDLE table);
XBEHANDLE OpenIndex(XBEHANDLE table, const std::string& file);
std::uint32_t CurrentRecord(XBEHANDLE table);
bool AtEof(XBEHANDLE table);

}  // namespace xbetest
