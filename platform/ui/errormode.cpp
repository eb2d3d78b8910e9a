#include "platform/ui/errormode.h"

#include <atomic>

namespace ui {

namespace {
std::atomic<unsigned> processErrorMode{0};
}

unsigned SetErrorMode(unsigned mode) { return processErrorMode.exchange(mode); }

unsigned GetErrorMode() { return processErrorMode.load(); }

}  // namespace ui
