// Small text and memory routines shared by the layer.
#include <cstring>

#include "engine/xbedata.h"
#include "platform/rtl/strutils.h"

std::string TrimSpaces(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && text[first] == ' ') ++first;
  std::size_t last = text.size();
  while (last > first && text[last - 1] == ' ') --last;
  return std::string(text.substr(first, last - first));
}

std::string GetDelimitedPart(std::uint16_t n, const char* text) {
  if (text == nullptr) return std::string();
  const char* p = text;
  while (n > 1) {
    const char* semicolon = std::strchr(p, ';');
    if (semicolon == nullptr) return std::string();
    p = semicolon + 1;
    --n;
  }
  if (n != 1) return std::string();
  const char* end = std::strchr(p, ';');
  return end ? std::string(p, end) : std::string(p);
}

int FindDelimitedPart(std::string_view name, std::string_view list) {
  int count = 0;
  std::size_t at = 0;
  for (;;) {
    ++count;
    if (at + name.size() <= list.size() && rtl::SameText(list.substr(at, name.size()), name)) {
      const std::size_t after = at + name.size();
      if (after == list.size() || list[after] == ';') return count;
    }
    const std::size_t semicolon = list.find(';', at);
    if (semicolon == std::string_view::npos) return 0;
    at = semicolon + 1;
  }
}

void CopyBytes(void* target, const void* source, std::size_t count) {
  auto* t = static_cast<unsigned char*>(target);
  const auto* s = static_cast<const unsigned char*>(source);
  while (count > 0) {
    --count;
    t[count] = s[count];
  }
}

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

bool HasPathSeparator(std::string_view text) {
  return text.find_first_of("/\\") != std::string_view::npos;
}
