// Helpers of the table access layer's tests that run against the engine.
#pragma once
#include <memory>
#include <string>

#include "engine/xbetable.h"
#include "platform/classes/component.h"

namespace enginetest {

// A table configured as the updater's form configures its two tables.
std::unique_ptr<TXbeTable> UpdaterTable(classes::TComponent* owner, const std::string& name,
                                        const std::string& directory, const std::string& table,
                                        bool rightsCheck);

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

}  // namespace enginetest
