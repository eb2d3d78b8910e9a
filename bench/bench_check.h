// A benchmark stops at the first step that fails: its figures would mean nothing.
#pragma once
#include <cstdio>
#include <cstdlib>

namespace bench {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::exit(1);
  }
}

}  // namespace bench
