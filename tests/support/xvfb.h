// An X server of a test's own for on-screen tests: Xvfb on a display it picks itself, stopped
// (with its process group) when the object goes away. Also a PATH lookup for the X tools.
#pragma once
#include <string>
#include <sys/types.h>

namespace testsupport {

bool ToolOnPath(const std::string& program);

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Starts a 1024 x 768 x 24 screen; false when it did not come up within 15 s.
  bool Start();
  // ":N" once started.
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace testsupport
