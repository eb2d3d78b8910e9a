// The one base of every exception the system raises, carrying a message in code page 1252.
#pragma once
#include <exception>
#include <string>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A text that is not a number of the expected kind.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failed file or directory operation (a profile write, a directory creation).
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace rtl
