// CRC-32 (the zlib polynomial) of a byte string.
#pragma once
#include <cstdint>
#include <string_view>

namespace xbe {
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);
}
