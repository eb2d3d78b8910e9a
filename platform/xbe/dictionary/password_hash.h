// Passwords of dictionary users are kept as salted, stretched hashes (PBKDF2 with HMAC-SHA-256),
// never as their text.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace xbe::dictionary {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
// PBKDF2-HMAC-SHA-256 with `length` bytes of output.
std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations,
                         std::size_t length);

// Random bytes from the system (for salts).
std::string RandomBytes(std::size_t count);

// Compares without stopping at the first difference, so the time does not tell how much matched.
bool SameBytes(std::string_view a, std::string_view b);

}  // namespace xbe::dictionary
