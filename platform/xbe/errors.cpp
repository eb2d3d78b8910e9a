#include "platform/xbe/errors.h"

namespace xbe {

std::string_view DescriptionOf(std::uint32_t code) {
  switch (code) {
    case kOk: return "No error.";
    case kBufferTooSmall: return "The text or array is larger than the buffer given.";
    case kRecordUnreachable: return "The record cannot be reached.";
    case kAlreadyDisconnected: return "The connection is already closed.";
    case kNoFilter: return "No filter is set.";
    case kNoScope: return "No scope is set.";
    case kNoRelativePosition: return "There is no relative position.";
    case kPermissionDenied: return "Permission not granted.";
    case kNoMoreTables: return "No more matching tables.";
    case kNoCurrentRecord: return "There is no current record.";
    case kNothingToCancel: return "There is nothing to cancel.";
    case kNotInDictionary: return "The object is not in the data dictionary.";
    case kNoMoreObjects: return "No more dictionary objects.";
    case kNoPropertyValue: return "The property has no value.";
    case kInvalidHandle: return "Invalid handle.";
    case kFileNotFound: return "File not found.";
    case kSharingViolation: return "Sharing violation: the file is locked by another user.";
    case kTableInUse: return "The table is in use by another user or application.";
    case kInvalidRestructure: return "Invalid restructure field list.";
    case kCorruptFile: return "The file is corrupt.";
    case kDiskFull: return "The disk is full.";
    case kUnsupported: return "The operation is not supported.";
    case kRecordLocked: return "The record is locked by another user.";
    case kInvalidArgument: return "Invalid argument.";
    case kReadOnly: return "The table is open read-only.";
    case kFieldNotFound: return "Field not found.";
    case kIoError: return "Input/output error.";
    case kInvalidValue: return "Invalid value for the field.";
    case kConnectRefused: return "The connection was refused.";
    case kNotLocked: return "The record is not locked.";
    case kIndexNotFound: return "Index order not found.";
    case kExpressionError: return "Invalid expression.";
    case kTransactionState: return "The transaction call does not fit the connection's transaction state.";
    case kNotCustom: return "The index is not a custom index.";
    default: return "Unknown error.";
  }
}

std::string FormatErrorText(std::uint32_t code, std::string_view detail) {
  std::string text = "Error " + std::to_string(code) + ": ";
  text += detail.empty() ? DescriptionOf(code) : detail;
  return text;
}

Error::Error(std::uint32_t code, std::string_view detail)
    : rtl::Exception(FormatErrorText(code, detail)), code_(code) {}

void Fail(std::uint32_t code, std::string_view detail) { throw Error(code, detail); }

LastError& ThreadLastError() {
  thread_local LastError last;
  return last;
}

std::uint32_t SetLastError(std::uint32_t code, std::string text) {
  LastError& last = ThreadLastError();
  last.code = code;
  last.text = std::move(text);
  return code;
}

}  // namespace xbe
