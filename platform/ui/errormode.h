// The process error mode. This host raises no critical-error or open-file boxes of its own, so
// the mode only records what callers set; code that saves and restores it around a dialog keeps
// its usual shape and tests can see the mode in force.
#pragma once

namespace ui {

enum : unsigned {
  SEM_FAILCRITICALERRORS = 0x0001,
  SEM_NOGPFAULTERRORBOX = 0x0002,
  SEM_NOALIGNMENTFAULTEXCEPT = 0x0004,
  SEM_NOOPENFILEERRORBOX = 0x8000,
};

// Sets the mode and returns the one it replaces.
unsigned SetErrorMode(unsigned mode);
// The mode in force now.
unsigned GetErrorMode();

}  // namespace ui
