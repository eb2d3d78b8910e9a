#include "controls/vxstrutils.h"

std::string NextDelimitedPart(std::string_view s, int& position, std::string_view delimiters) {
  const int length = static_cast<int>(s.size());
  if (position < 1) position = 1;
  int i = position;
  while (i <= length && delimiters.find(s[static_cast<std::size_t>(i - 1)]) == std::string_view::npos) ++i;
  std::string part = position <= length
                         ? std::string(s.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(i - position)))
                         : std::string();
  position = i <= length ? i + 1 : length + 1;
  return part;
}

