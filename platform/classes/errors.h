// The errors of the component model, lists, streams and stored form descriptions.
#pragma once
#include "platform/rtl/exception.h"

namespace classes {

// A list index outside 0 .. Count-1, a positional insert into a sorted list, a duplicate refused.
class EListError : public rtl::Exception {
 public:
  using Exception::Exception;
};

// An invalid or duplicate component name, a field of the wrong class.
class EComponentError : public rtl::Exception {
 public:
  using Exception::Exception;
};

// An object that cannot take the value of another (TPersistent::Assign).
class EConvertError : public rtl::EConvertError {
 public:
  using rtl::EConvertError::EConvertError;
};

class EStreamError : public rtl::Exception {
 public:
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFilerError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
// Every failure to read a stored form description or a stream: unknown property, bad value,
// unknown method or component, and the two below.
class EReadError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
// A description names a class that is not registered.
class EClassNotFound : public EReadError {
 public:
  using EReadError::EReadError;
};
// A description that is not well formed; the message names the line.
class EParserError : public EReadError {
 public:
  using EReadError::EReadError;
};

}  // namespace classes
