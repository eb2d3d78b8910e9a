// Result codes and the per-thread last error of the engine.
// The codes the callers interpret (5005, 5022, ...) keep their meaning; the engine's own failures
// use the 6000 range, which no caller tolerates, so they always surface as errors.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/exception.h"

namespace xbe {

enum Code : std::uint32_t {
  kOk = 0,
  // Codes with a meaning at the call sites.
  kBufferTooSmall = 5005,
  kRecordUnreachable = 5022,
  kAlreadyDisconnected = 5024,
  kNoFilter = 5037,
  kNotCustom = 5017,
  kNoScope = 5038,
  kNoRelativePosition = 5041,
  kPermissionDenied = 5054,
  kNoMoreTables = 5059,
  kNoCurrentRecord = 5068,
  kNothingToCancel = 5085,
  // Data dictionaries: a name the dictionary does not list, the end of an object listing, a
  // property without a value.
  kNotInDictionary = 5132,
  kNoMoreObjects = 5137,
  kNoPropertyValue = 5138,
  // The engine's own failures.
  kInvalidHandle = 6001,
  kFileNotFound = 6002,
  kSharingViolation = 6003,
  kTableInUse = 6004,
  kInvalidRestructure = 6005,
  kCorruptFile = 6006,
  kDiskFull = 6007,
  kUnsupported = 6008,
  kRecordLocked = 6009,
  kInvalidArgument = 6010,
  kReadOnly = 6011,
  kFieldNotFound = 6012,
  kIoError = 6013,
  kInvalidValue = 6014,
  kConnectRefused = 6015,
  kNotLocked = 6016,
  kIndexNotFound = 6017,
  kExpressionError = 6018,
  kTransactionState = 6019,
};

// The fixed description of a code, without the "Error <code>: " prefix.
std::string_view DescriptionOf(std::uint32_t code);

// Every failure inside the engine is raised as an Error and turned into a result code and the
// thread's last error at the C boundary. The message is the full text ("Error 6002: ...").
class Error : public rtl::Exception {
 public:
  Error(std::uint32_t code, std::string_view detail);
  std::uint32_t code() const { return code_; }

 private:
  std::uint32_t code_;
};

[[noreturn]] void Fail(std::uint32_t code, std::string_view detail);

// "Error <code>: <detail>", or the code's description when detail is empty.
std::string FormatErrorText(std::uint32_t code, std::string_view detail);

struct LastError {
  std::uint32_t code = 0;
  std::string text;
};
LastError& ThreadLastError();
// Records code and text as this thread's last error and returns the code.
std::uint32_t SetLastError(std::uint32_t code, std::string text);

}  // namespace xbe
