// The larger and the smaller of two signed 32-bit integers.
#pragma once
#include <cstdint>


constexpr std::int32_t LargerOf(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
constexpr std::int32_t SmallerOf(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

