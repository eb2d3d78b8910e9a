#include "platform/xbe/settings.h"

namespace xbe {

Settings& EngineSettings() {
  static Settings settings;
  return settings;
}

bool IsValidDateFormat(std::string_view format) {
  if (format.empty() || format.size() > 32) return false;
  bool day = false, month = false, year = false;
  for (char c : format) {
    switch (c) {
      case 'd': case 'D': day = true; break;
      case 'm': case 'M': month = true; break;
      case 'y': case 'Y': case 'c': case 'C': year = true; break;
      default:
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return false;
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
  }
  return day && month && year;
}

}  // namespace xbe
