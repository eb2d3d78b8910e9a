// The message of the exception a piece of code raises, for tests of the layer's texts.
#pragma once
#include <string>

#include "platform/rtl/exception.h"

// The message of the exception `f` raises, or "<no exception>".
template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "<no exception>";
}
