// The structure of a table: its field descriptors and record layout, as read from a DBF header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/field_types.h"

namespace xbe {

struct FieldDesc {
  std::string name;          // as stored (bytes up to the first zero), at most 11 characters
  char letter = 'C';         // the DBF letter in the descriptor
  std::uint16_t code = kCharacter;
  std::uint32_t length = 0;  // storage length in the record
  std::uint16_t decimals = 0;
  std::uint32_t offset = 0;  // offset in the record image; the deletion flag is byte 0
  std::uint8_t flags = 0;    // FoxPro field flags, kept as read
};

struct Schema {
  std::vector<FieldDesc> fields;
  std::uint32_t recordLength = 1;
  // Field index (0-based) by name, ignoring ASCII case; nullopt when absent.
  std::optional<std::size_t> Find(std::string_view name) const;
  bool HasMemoFields() const;
};

}  // namespace xbe
