// Errors of the index formats. A corrupt file is always reported, never followed blindly.
#pragma once
#include <exception>
#include <functional>
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

// A reader that looked at cached pages without the index-update lock found, on taking it to read
// a page from the file, that another program had changed the file meanwhile: the pages it read
// belong to two states of the file, so what it was doing starts again (under the lock now).
class StaleRead : public std::exception {
 public:
  const char* what() const noexcept override { return "index read again after another program's change"; }
};

[[noreturn]] inline void Corrupt(std::string_view file, std::string_view what) {
  throw IndexError(IndexErrorKind::kCorrupt, "Corrupt index " + std::string(file) + ": " + std::string(what));
}

}  // namespace xbe::index
