// Key building on an order handle: segment values go into the order's key-building record,
// and the raw key is the order's key expression evaluated on it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/xbe/index_order.h"

namespace xbe {

class Table;

void InitKeyRecord(IndexOrder& order, const Table& table);
// Character values in the program's code page; fewer characters than the field holds make a
// partial segment, whose key ends after the characters given.
void SetKeyFieldText(IndexOrder& order, const Table& table, std::size_t field, std::string_view text);
void SetKeyFieldRaw(IndexOrder& order, const Table& table, std::size_t field, std::string_view bytes);
void SetKeyFieldEmpty(IndexOrder& order, const Table& table, std::size_t field);
// The raw key, cut after the last character of a partial segment, or before the first segment
// left out after given leading ones.
std::string BuildRawKey(IndexOrder& order, const Table& table);

}  // namespace xbe
