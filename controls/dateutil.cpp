#include "controls/dateutil.h"

#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"

bool YearHasFourDigits() {
  static const bool fourDigits = rtl::UpperCase(db::HostShortDateFormat).find("YYYY") != std::string::npos;
  return fourDigits;
}

