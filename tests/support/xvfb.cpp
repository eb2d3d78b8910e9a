#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

namespace testsupport {

bool ToolOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

bool XvfbServer::Start() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    setpgid(0, 0);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    for (int fd = 3; fd < 1024; ++fd)
      if (fd != fds[1]) close(fd);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid_, pid_);
  close(fds[1]);
  // Xvfb writes the display number it took, then a newline.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < end && number.find('\n') == std::string::npos) {
    if (poll(&p, 1, 100) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1) break;
      number += c;
    }
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty()) return false;
  display_ = ":" + number;
  return true;
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  for (int i = 0; i < 40; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  kill(-pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

}  // namespace testsupport
