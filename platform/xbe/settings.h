// The engine's process-wide settings.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace xbe {

struct Settings {
  std::string dateFormat = "MM/dd/ccyy";
  std::uint16_t decimals = 2;
  bool showDeleted = false;
  std::uint16_t serverTypes = 1;  // local
  // Closed tables and cursors the caller allows to keep open. The engine never keeps a closed
  // table's files open, so nothing cached can block an exclusive open or a restructure.
  std::uint16_t cachedTables = 0;
  std::uint16_t cachedCursors = 0;
};

Settings& EngineSettings();

// Accepts a date format made of D, M, Y and C (either case; "cc" is the century) and separators,
// holding a day, a month and a year part.
bool IsValidDateFormat(std::string_view format);

constexpr std::uint16_t kServerLocal = 1;
constexpr std::uint16_t kServerRemote = 2;
constexpr std::uint16_t kServerInternet = 4;

}  // namespace xbe
