// Helpers of the table access layer's tests that run against the engine.
#pragma once
#include <memory>
#include <string>

#include "messageof.h"
#include "engine/xbetable.h"
#include "platform/classes/component.h"

namespace enginetest {

using ::MessageOf;

// A table configured as the updater's form configures its two tables.
std::unique_ptr<TXbeTable> UpdaterTable(classes::TComponent* owner, const std::string& name,
                                        const std::string& directory, const std::string& table,
                                        bool rightsCheck);

}  // namespace enginetest
