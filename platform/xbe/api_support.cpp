#include "platform/xbe/api_support.h"

#include <cstring>

namespace xbe {

void CheckTextFits(std::string_view text, const char* buffer, std::uint16_t* length) {
  Require(length, "text length");
  const std::size_t needed = text.size() + 1;
  if (buffer == nullptr || *length < needed) {
    *length = static_cast<std::uint16_t>(std::min<std::size_t>(needed, 0xFFFF));
    Fail(kBufferTooSmall, "The text needs a buffer of " + std::to_string(needed) + " characters.");
  }
}

void PutText(std::string_view text, char* buffer, std::uint16_t* length) {
  CheckTextFits(text, buffer, length);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  *length = static_cast<std::uint16_t>(text.size());
}

void PutBytesChecked(std::string_view bytes, void* buffer, std::uint32_t* length, bool terminate) {
  Require(length, "length");
  const std::uint64_t needed = bytes.size() + (terminate ? 1 : 0);
  if (buffer == nullptr || *length < needed) {
    *length = static_cast<std::uint32_t>(needed);
    Fail(kBufferTooSmall, "The contents need a buffer of " + std::to_string(needed) + " bytes.");
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  if (terminate) static_cast<char*>(buffer)[bytes.size()] = '\0';
  *length = static_cast<std::uint32_t>(bytes.size());
}

}  // namespace xbe
