// Writes a new, empty table (and its memo file when it has memo fields). The C interface opens
// existing tables only; the engine itself uses this for the type 3 format and its tools.
#pragma once
#include <string_view>
#include <vector>

#include "platform/xbe/schema.h"

namespace xbe {

struct NewField {
  std::string name;
  std::uint16_t code = kCharacter;
  std::uint32_t length = 0;  // ignored for codes of fixed length
  std::uint16_t decimals = 0;
};

// Raises kInvalidRestructure for a bad field list (the same rules as a restructure's add list)
// and kIoError when a file cannot be written. An existing table of that name is refused.
void CreateTable(std::string_view name, TableType type, const std::vector<NewField>& fields);

}  // namespace xbe
