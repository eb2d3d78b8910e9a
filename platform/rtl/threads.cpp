#include "platform/rtl/threads.h"

#include <unistd.h>

namespace rtl {

std::uint32_t GetCurrentThreadId() { return static_cast<std::uint32_t>(::gettid()); }

}  // namespace rtl
