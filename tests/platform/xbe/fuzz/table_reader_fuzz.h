// One fuzz case for the table and memo readers: the input is split into a table file and a
// memo file, which are then opened, walked, read field by field, edited and restructured
// through the C interface. Nothing may crash or read out of bounds; errors are fine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace xbefuzz {

// `dir` is a scratch directory the case may fill.
void RunCase(const std::string& dir, const std::uint8_t* data, std::size_t size);

// Packs a table and its memo file into one fuzz input (the inverse of RunCase's split).
std::string Pack(const std::string& table, const std::string& memo, bool foxPro);

}  // namespace xbefuzz
