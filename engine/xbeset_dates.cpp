// Date texts in the engine's date format: what the engine's ctod() reads in an expression.
#include <string>

#include "engine/xbeset.h"
#include "platform/db/datetime.h"
#include "platform/xbe/xbe.h"

namespace xbeset {

namespace {

// The engine's own until a settings component passes another; process-wide like the engine's.
std::string g_engineDateFormat = "MM/dd/ccyy";

char PartOf(char c) {
  switch (c) {
    case 'd': case 'D': return 'd';
    case 'm': case 'M': return 'm';
    case 'y': case 'Y': case 'c': case 'C': return 'y';
    default: return 0;
  }
}

std::string Digits(int value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace

XBERESULT PassDateFormat(const std::string& format) {
  const XBERESULT result = XbeSetDateFormat(format.c_str());
  if (result == 0) g_engineDateFormat = format;
  return result;
}

const std::string& EngineDateFormat() { return g_engineDateFormat; }

std::string EngineDateText(double dateTime) {
  int year = 0, month = 0, day = 0;
  db::DecodeDate(dateTime, year, month, day);
  const std::string& format = g_engineDateFormat;
  std::string text;
  for (std::size_t i = 0; i < format.size();) {
    const char part = PartOf(format[i]);
    if (part == 0) {
      text += format[i++];
      continue;
    }
    std::size_t run = 0;
    while (i < format.size() && PartOf(format[i]) == part) ++i, ++run;
    if (part == 'd')
      text += Digits(day, 2);
    else if (part == 'm')
      text += Digits(month, 2);
    else
      text += run > 2 ? Digits(year, 4) : Digits(year % 100, 2);
  }
  return text;
}

}  // namespace xbeset
