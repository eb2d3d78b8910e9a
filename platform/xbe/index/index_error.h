// Errors of the index formats. A corrupt file is always reported, never followed blindly.
#pragma once
#include <string>
#include <string_view>

#include "platform/rtl/exception.h"

namespace xbe::index {

enum class IndexErrorKind {
  kCorrupt,      // the file does not hold a valid index (bad header, page, link, order)
  kIo,           // reading or writing the file failed
  kArgument,     // a key of the wrong length, an order that is read-only, ...
  kUnsupported,  // a valid file of a kind this code does not handle
};

class IndexError : public rtl::Exception {
 public:
  IndexError(IndexErrorKind kind, std::string message) : rtl::Exception(std::move(message)), kind_(kind) {}
  IndexErrorKind kind() const { return kind_; }

 private:
  IndexErrorKind kind_;
};

[[noreturn]] inline void Corrupt(std::string_view file, std::string_view what) {
  throw IndexError(IndexErrorKind::kCorrupt, "Corrupt index " + std::string(file) + ": " + std::string(what));
}

}  // namespace xbe::index
