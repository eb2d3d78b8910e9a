// The engine settings component.
#include "engine/xbeset.h"

#include <memory>

#include "platform/classes/classbuilder.h"
#include "platform/db/datetime.h"
#include "platform/rtl/threads.h"
#include "platform/xbe/xbe.h"

namespace xbeset {

std::function<void(const std::string&)> SettingsWarningHook;

namespace {

std::string EngineTextOf(std::uint32_t code) {
  char text[601] = {};
  std::uint16_t length = 600;
  if (XbeGetErrorString(code, text, &length) != 0) {
    XbeShowError("Xbe Exception Error");
    return std::string();
  }
  text[600] = 0;
  return std::string(text);
}

unsigned g_instanceCount = 0;
std::unique_ptr<rtl::TCriticalSection> g_instanceLock;

struct UnitLife {
  UnitLife() {
    g_instanceCount = 0;
    g_instanceLock = std::make_unique<rtl::TCriticalSection>();
  }
  ~UnitLife() { g_instanceLock.reset(); }
} g_unitLife;

}  // namespace

XbeError::XbeError(std::uint32_t code) : rtl::Exception(EngineTextOf(code)), code_(code) {}

unsigned SettingsInstanceCount() { return g_instanceCount; }

}  // namespace xbeset

using xbeset::XbeError;

namespace {

constexpr const char* kFallbackDateFormat = "MM/dd/ccyy";

void Check(XBERESULT result) {
  if (result != 0) throw XbeError(result);
}

std::uint16_t ServerMask(TXbeServerTypes types) {
  std::uint16_t mask = 0;
  if (types.Contains(stXBE_REMOTE)) mask |= 2;
  if (types.Contains(stXBE_LOCAL)) mask |= 1;
  if (types.Contains(stXBE_XIS)) mask |= 4;
  return mask;
}

bool IsDateLetter(char c) {
  switch (c) {
    case 'C': case 'c': case 'Y': case 'y': case 'M': case 'm': case 'D': case 'd': return true;
    default: return false;
  }
}

}  // namespace

const classes::TClassInfo& TXbeSettings::StaticClassInfo() {
  using S = TXbeSettings;
  static const auto info = classes::TClassInfo::Make<S, classes::TComponent>("TXbeSettings", [](auto& c) {
    c.String("DateFormat", &S::DateFormat, &S::SetDateFormat);
    c.Integer("NumDecimals", &S::NumDecimals, &S::SetNumDecimals);
    c.Bool("SetHostDate", &S::SetHostDate, &S::SetSetHostDate);
    c.Bool("ShowDeleted", &S::ShowDeleted, &S::SetShowDeleted);
    c.Set("XbeServerTypes", &S::XbeServerTypes, &S::SetXbeServerTypes, {"stXBE_REMOTE", "stXBE_LOCAL", "stXBE_XIS"});
    c.Integer("NumCachedTables", &S::NumCachedTables, &S::SetNumCachedTables);
    c.Integer("NumCachedCursors", &S::NumCachedCursors, &S::SetNumCachedCursors);
  });
  return info;
}

TXbeSettings::TXbeSettings(classes::TComponent* owner) : classes::TComponent(owner) {
  {
    rtl::CriticalSectionGuard guard(*xbeset::g_instanceLock);
    ++xbeset::g_instanceCount;
    counted_ = true;
    if (xbeset::g_instanceCount > 1) {
      if (InState(classes::csDesigning)) {
        if (xbeset::SettingsWarningHook)
          xbeset::SettingsWarningHook("Warning: Only one XbeSettings component is allowed per application.");
      } else {
        --xbeset::g_instanceCount;
        counted_ = false;
        throw rtl::Exception("Only one XbeSettings component is allowed per application");
      }
    }
  }
  try {
    setHostDate_ = true;
    SetNumCachedTables(0);
    SetNumCachedCursors(25);
    std::string format = db::HostShortDateFormat;
    if (xbeset::PassDateFormat(format) != 0) {
      format = kFallbackDateFormat;
      Check(xbeset::PassDateFormat(format));
    }
    dateFormat_ = format.substr(0, 12);
    std::uint16_t decimals = 0;
    Check(XbeGetDecimals(&decimals));
    numDecimals_ = static_cast<std::int8_t>(decimals);
    std::uint16_t deleted = 0;
    Check(XbeGetDeleted(&deleted));
    showDeleted_ = deleted != 0;
    SetXbeServerTypes({stXBE_REMOTE, stXBE_XIS});
  } catch (...) {
    rtl::CriticalSectionGuard guard(*xbeset::g_instanceLock);
    --xbeset::g_instanceCount;
    counted_ = false;
    throw;
  }
}

TXbeSettings::~TXbeSettings() {
  if (counted_ && xbeset::g_instanceLock) {
    rtl::CriticalSectionGuard guard(*xbeset::g_instanceLock);
    --xbeset::g_instanceCount;
  }
}

void TXbeSettings::SetDateFormat(const std::string& value) {
  const std::string format = value.empty() ? std::string(kFallbackDateFormat) : value;
  Check(xbeset::PassDateFormat(format.substr(0, 11)));
  dateFormat_ = format.substr(0, 12);
  if (!setHostDate_) return;
  std::string host = format;
  for (char& c : host)
    if (c == 'C' || c == 'c' || c == 'Y' || c == 'y') c = 'y';
  savedHostDateFormat_ = db::HostShortDateFormat;
  db::HostShortDateFormat = host;
  for (char c : host)
    if (!IsDateLetter(c)) {
      db::HostDateSeparator = c;
      break;
    }
}

void TXbeSettings::SetNumDecimals(std::int8_t value) {
  Check(XbeSetDecimals(value));
  numDecimals_ = value;
}

void TXbeSettings::SetShowDeleted(bool value) {
  Check(XbeShowDeleted(value ? 1 : 0));
  showDeleted_ = value;
}

std::uint32_t TXbeSettings::LastErrorCode() {
  std::uint32_t code = 0;
  std::uint16_t length = 0;
  XbeGetLastError(&code, nullptr, &length);
  return code;
}

std::int8_t TXbeSettings::OpenTableCount() {
  std::uint16_t count = 0;
  Check(XbeGetNumOpenTables(&count));
  return static_cast<std::int8_t>(count & 0xFF);
}

void TXbeSettings::RestoreServerTypes(TXbeServerTypes previous) {
  serverTypes_ = previous.Empty() ? TXbeServerTypes{stXBE_REMOTE} : previous;
}

void TXbeSettings::SetXbeServerTypes(TXbeServerTypes value) {
  if (value == serverTypes_) return;
  const TXbeServerTypes previous = serverTypes_;
  serverTypes_ = value;
  const std::uint16_t mask = ServerMask(value);
  if (mask == 0) {
    RestoreServerTypes(previous);
    throw xbeset::XbeSettingsError("At least one server type must be selected.");
  }
  const XBERESULT result = XbeSetServerType(mask);
  if (result != 0) {
    RestoreServerTypes(previous);
    throw XbeError(result);
  }
}

void TXbeSettings::SetNumCachedTables(std::int8_t value) {
  if (value < 0) throw rtl::Exception("NumCachedTables value must be greater than zero.");
  if (value == numCachedTables_) return;
  numCachedTables_ = value;
  Check(XbeCacheOpenTables(static_cast<std::uint16_t>(value)));
}

void TXbeSettings::SetNumCachedCursors(std::int8_t value) {
  if (value < 0) throw rtl::Exception("NumCachedCursors value must be greater than zero.");
  if (value == numCachedCursors_) return;
  numCachedCursors_ = value;
  Check(XbeCacheOpenCursors(static_cast<std::uint16_t>(value)));
}

void TXbeSettings::SetSetHostDate(bool value) {
  if (!value && InState(classes::csReading)) db::HostShortDateFormat = savedHostDateFormat_;
  setHostDate_ = value;
}
