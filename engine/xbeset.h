// Unit xbeset: the engine settings component, at most one per process.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/classes/component.h"
#include "platform/classes/tset.h"
#include "platform/rtl/exception.h"
#include "platform/xbe/xbe.h"

enum TXbeServerType { stXBE_REMOTE, stXBE_LOCAL, stXBE_XIS };
using TXbeServerTypes = classes::TSet<TXbeServerType>;

namespace xbeset {

// Built from an engine error code; the message is the engine's text for it.
class XbeError : public rtl::Exception {
 public:
  explicit XbeError(std::uint32_t code);
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};

class XbeSettingsError : public rtl::Exception {
 public:
  using Exception::Exception;
};

// Told, in design mode only, that a second settings component was created.
extern std::function<void(const std::string&)> SettingsWarningHook;

// The number of live settings components.
unsigned SettingsInstanceCount();

// Passes a date format to the engine and, when the engine takes it, keeps it as the format the
// engine reads and writes date texts in (its own "MM/dd/ccyy" until then).
XBERESULT PassDateFormat(const std::string& format);
const std::string& EngineDateFormat();
// A date as text in that format, as the engine's ctod() reads it: two-digit day and month, the
// year in four digits or, for a year of two letters, two.
std::string EngineDateText(double dateTime);

}  // namespace xbeset

class TXbeSettings : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeSettings(classes::TComponent* owner);
  ~TXbeSettings() override;

  virtual std::string DateFormat() const { return dateFormat_; }
  virtual void SetDateFormat(const std::string& value);
  std::int8_t NumDecimals() const { return numDecimals_; }
  virtual void SetNumDecimals(std::int8_t value);
  bool ShowDeleted() const { return showDeleted_; }
  virtual void SetShowDeleted(bool value);
  virtual std::uint32_t LastErrorCode();
  virtual std::int8_t OpenTableCount();
  TXbeServerTypes XbeServerTypes() const { return serverTypes_; }
  virtual void SetXbeServerTypes(TXbeServerTypes value);
  std::int8_t NumCachedTables() const { return numCachedTables_; }
  virtual void SetNumCachedTables(std::int8_t value);
  std::int8_t NumCachedCursors() const { return numCachedCursors_; }
  virtual void SetNumCachedCursors(std::int8_t value);
  bool SetHostDate() const { return setHostDate_; }
  virtual void SetSetHostDate(bool value);

 private:
  void RestoreServerTypes(TXbeServerTypes previous);

  std::string dateFormat_;
  std::int8_t numDecimals_ = 0;
  bool showDeleted_ = false;
  TXbeServerTypes serverTypes_;
  std::int8_t numCachedTables_ = 0;
  std::int8_t numCachedCursors_ = 0;
  std::string savedHostDateFormat_;
  bool setHostDate_ = false;
  bool counted_ = false;
};
