// The real TavroAtualiza in a real window: an X server of its own (Xvfb on a free display),
// each message box answered with a synthetic Enter, screenshots of the log window and of the
// first box saved under the build folder, and the program's exit code and the tables checked.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "installation.h"
#include "table_check.h"

namespace updatertest {
namespace {

using Clock = std::chrono::steady_clock;

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// A child process, killed (its own process group) and reaped when the object goes away.
class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts argv[0] from PATH (or a full path) in `dir` with extra environment and output to
  // `output` (empty: discarded). `keepFd` stays open in the child.
  bool Start(const std::vector<std::string>& argv, const std::string& dir,
             const std::vector<std::pair<std::string, std::string>>& env, const std::string& output,
             int keepFd = -1) {
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

  // The exit status once the child ended by itself.
  std::optional<int> Finished() {
    if (pid_ <= 0) return status_;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = status;
    }
    return status_;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    for (int i = 0; i < 40 && !Finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (pid_ > 0) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Output of a shell command line.
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

// Polls `ready` every 50 ms until it holds or `ms` have passed.
template <class F>
bool WaitFor(F&& ready, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (ready()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool IsPng(const fs::path& file) { return ReadBytes(file).rfind("\x89PNG", 0) == 0; }

class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef TULMEVARA_TEST_SDL
    GTEST_SKIP() << "the class library was built without SDL2: no on-screen backend to test";
#endif
    for (const char* tool : {"Xvfb", "xdotool", "import", "identify"})
      if (!OnPath(tool))
        GTEST_SKIP() << tool << " not found: install xvfb, xdotool and imagemagick to run the on-screen smoke test";
    REQUIRE_FIXTURES();
    ASSERT_TRUE(StartServer()) << "Xvfb did not start";
  }

  // Xvfb picks a free display itself and writes its number to the pipe.
  bool StartServer() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const bool started = xvfb_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp", "-noreset"},
                                     "", {}, "", fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (started && Clock::now() < end && number.find('\n') == std::string::npos) {
      if (poll(&p, 1, 100) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        number += c;
      }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return false;
    display_ = ":" + number.substr(0, number.find('\n'));
    return true;
  }

  std::vector<std::string> Windows(const std::string& nameRegex) {
    return Words(Shell("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '" + nameRegex + "'"));
  }
  // A PNG of one window once it is painted: more than two colours, and the same in two
  // captures in a row (a window just mapped or just uncovered may not be painted yet).
  bool Screenshot(const std::string& window, const fs::path& file) {
    const fs::path attempt = file.string() + ".tmp.png";
    std::string previous;
    const bool painted = WaitFor([&] {
      Shell("DISPLAY=" + display_ + " import -window " + window + " '" + attempt.string() + "'");
      const std::string now = ReadBytes(attempt);
      const bool stable = IsPng(attempt) && now == previous;
      previous = now;
      return stable && std::atoi(Shell("identify -format %k '" + attempt.string() + "'").c_str()) > 2;
    }, 3000);
    if (painted) fs::rename(attempt, file);
    else fs::remove(attempt);
    return painted;
  }
  void X(const std::string& args) { Shell("DISPLAY=" + display_ + " xdotool " + args); }

  Child xvfb_;
  std::string display_;
};

TEST_F(OnScreen, RunsInARealWindowAndEndsWhenEveryBoxIsAnswered) {
  Installation installation;
  fs::remove(installation.Data() / "ML24.NTX");  // one more box: its message, then the closing one
  const fs::path shots = SCREENSHOT_DIR;
  fs::create_directories(shots);
  for (const char* f : {"updater-log.png", "updater-box.png"}) fs::remove(shots / f);

  Child program;
  ASSERT_TRUE(program.Start({TAVROATUALIZA_BINARY}, installation.Templates().string(),
                            {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", ""},
                             {"WINDIR", installation.WindowsDir().string()}},
                            (shots / "updater-output.txt").string()));

  // The boxes carry the application title; the log window its own caption.
  const std::string box = "de Estrutura do ML2 e ML6$";
  const std::string form = "para Tavro$";
  std::set<std::string> answered;
  int boxes = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(40);
  while (!program.Finished() && Clock::now() < deadline) {
    std::string current;
    WaitFor([&] {
      for (const auto& w : Windows(box))
        if (!answered.count(w)) current = w;
      return !current.empty() || program.Finished();
    }, 2000);
    if (current.empty()) continue;
    ++boxes;
    if (boxes == 1) {
      EXPECT_TRUE(Screenshot(current, shots / "updater-box.png"));
      // Move the box off the log window so the log shows whole in its screenshot.
      X("windowmove --sync " + current + " 0 620");
      const auto logs = Windows(form);
      ASSERT_EQ(logs.size(), 1u) << "the log window is not on the screen";
      EXPECT_TRUE(Screenshot(logs[0], shots / "updater-log.png"));
      const auto size = Words(Shell("identify -format '%w %h' '" + (shots / "updater-log.png").string() + "'"));
      EXPECT_EQ(size, (std::vector<std::string>{"417", "323"})) << "client area of the 425 x 350 window";
    }
    // Enter on the focused box; sent again if the box is still there after a while.
    bool gone = false;
    for (int attempt = 0; attempt < 3 && !gone; ++attempt) {
      X("windowfocus --sync " + current);
      X("key Return");
      gone = WaitFor([&] {
        const auto ws = Windows(box);
        return program.Finished() || std::find(ws.begin(), ws.end(), current) == ws.end();
      }, 3000);
    }
    EXPECT_TRUE(gone) << "box " << boxes << " did not close on Enter";
    answered.insert(current);
  }
  const std::optional<int> status = program.Finished();
  ASSERT_TRUE(status) << "the program did not end within 40 s; output in " << (shots / "updater-output.txt");
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
  EXPECT_EQ(boxes, 2);
  EXPECT_TRUE(IsPng(shots / "updater-log.png"));
  EXPECT_TRUE(IsPng(shots / "updater-box.png"));

  EXPECT_TRUE(installation.IndexFilesPresent().empty());
  EXPECT_EQ(ReadTable(installation.Data(), "ML2").fields.size(), 14u);
  EXPECT_EQ(ReadTable(installation.Data(), "ML6").fields.size(), 10u);
}

}  // namespace
}  // namespace updatertest
