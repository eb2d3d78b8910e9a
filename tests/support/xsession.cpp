#include "xsession.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {
std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

bool Child::Start(const std::vector<std::string>& argv, const std::string& dir,
                  const std::vector<std::pair<std::string, std::string>>& env, const std::string& output, int keepFd) {
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    setpgid(0, 0);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    for (const auto& [k, v] : env) {
      if (v.empty()) unsetenv(k.c_str());
      else setenv(k.c_str(), v.c_str(), 1);
    }
    const int out = open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    for (int fd = 3; fd < 1024; ++fd)
      if (fd != keepFd) close(fd);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  setpgid(pid_, pid_);
  return true;
}

std::optional<int> Child::Finished() {
  if (pid_ <= 0) return status_;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    status_ = status;
  }
  return status_;
}

void Child::Stop() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  for (int i = 0; i < 40 && !Finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::stringstream s(text);
  std::string w;
  while (s >> w) words.push_back(w);
  return words;
}

bool IsPng(const std::filesystem::path& file) { return ReadAll(file).rfind("\x89PNG", 0) == 0; }

std::vector<std::string> XServer::Windows(const std::string& nameRegex) {
  return Words(Shell("DISPLAY=" + Display() + " xdotool search --onlyvisible --name '" + nameRegex + "'"));
}

bool XServer::Screenshot(const std::string& window, const std::filesystem::path& file) {
  const std::filesystem::path attempt = file.string() + ".tmp.png";
  std::string previous;
  const bool painted = WaitFor([&] {
    Shell("DISPLAY=" + Display() + " import -window " + window + " '" + attempt.string() + "'");
    const std::string now = ReadAll(attempt);
    const bool stable = IsPng(attempt) && now == previous;
    previous = now;
    return stable && std::atoi(Shell("identify -format %k '" + attempt.string() + "'").c_str()) > 2;
  }, 3000);
  if (painted) std::filesystem::rename(attempt, file);
  else std::filesystem::remove(attempt);
  return painted;
}

void XServer::X(const std::string& args) { Shell("DISPLAY=" + Display() + " xdotool " + args); }

}  // namespace testsupport
