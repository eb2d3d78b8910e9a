// libFuzzer entry point (built when the compiler is clang).
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "table_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/xbe-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  xbefuzz::RunCase(dir, data, size);
  return 0;
}
