#include "platform/xbe/memo_store.h"

namespace xbe {

std::uint32_t DecodeMemoReference(std::string_view bytes) {
  if (bytes.size() == 4) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
  }
  // Digits with blanks around them; anything else reads as no memo.
  std::uint64_t v = 0;
  bool digits = false;
  for (char c : bytes) {
    if (c >= '0' && c <= '9') {
      v = v * 10 + static_cast<unsigned>(c - '0');
      if (v > 0xFFFFFFFFULL) return 0;
      digits = true;
    } else if (c == ' ' || c == '\0') {
      if (digits) break;
    } else {
      return 0;
    }
  }
  return static_cast<std::uint32_t>(v);
}

void EncodeMemoReference(std::uint32_t block, char* out, std::size_t length) {
  if (length == 4) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((block >> (8 * i)) & 0xFF);
    return;
  }
  for (std::size_t i = 0; i < length; ++i) out[i] = ' ';
  if (block == 0) return;
  std::string digits = std::to_string(block);
  if (digits.size() > length) digits = digits.substr(digits.size() - length);
  for (std::size_t i = 0; i < digits.size(); ++i) out[length - digits.size() + i] = digits[i];
}

}  // namespace xbe
