// The real TavroAtualiza run without a display, as a script runs it: the boxes go to the
// console, and the exit code says whether the update went through.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "flock_holder.h"
#include "holder_process.h"
#include "installation.h"
#include "platform/rtl/codepage.h"
#include "updater_run.h"

namespace updatertest {
namespace {

struct ProgramRun {
  bool exited = false;  // ended by itself, not by a signal or the guard below
  int exitCode = -1;
  std::string output;  // standard output and error, UTF-8
};

// Runs the program in the templates folder with the installation's Windows directory and no
// display; a run that hangs is killed after two minutes (a guard, not a measure).
ProgramRun RunProgram(const Installation& installation) {
  ProgramRun run;
  const fs::path output = installation.Root() / "console.txt";
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    setpgid(0, 0);
    if (chdir(installation.Templates().c_str()) != 0) _exit(126);
    setenv("WINDIR", installation.WindowsDir().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execl(TAVROATUALIZA_BINARY, TAVROATUALIZA_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      run.output = ReadBytes(output);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.exited = WIFEXITED(status);
  run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
  run.output = ReadBytes(output);
  return run;
}

// A box as the console shows it.
std::string ConsoleBox(const std::string& ansiText) {
  return "[" + rtl::AnsiToUtf8(Title()) + "] " + rtl::AnsiToUtf8(ansiText) + "\n";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UpdaterExitCode, ZeroOnlyForACompleteRun) {
  REQUIRE_FIXTURES();
  {
    SCOPED_TRACE("a complete run");
    Installation installation;
    const ProgramRun run = RunProgram(installation);
    ASSERT_TRUE(run.exited) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, ConsoleBox(ClosingMessage()))) << run.output;
  }
  {
    SCOPED_TRACE("ML2 held by another station: the restructure is refused");
    Installation installation;
    HolderProcess holder(installation.Data(), "ML2");
    ASSERT_TRUE(holder.Holding());
    const ProgramRun run = RunProgram(installation);
    ASSERT_TRUE(run.exited) << run.output;
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, ConsoleBox(RestructureFailureMessage("ML2")))) << run.output;
    EXPECT_TRUE(Contains(run.output, ConsoleBox(ClosingMessage()))) << run.output;
  }
  {
    SCOPED_TRACE("ML2 open in a program that marks it with flock only: refused, table untouched");
    Installation installation;
    const std::string before = ReadBytes(installation.Data() / "ML2.DBF");
    testsupport::FlockHolder holder(installation.Data() / "ML2.DBF", false);
    ASSERT_TRUE(holder.Holding());
    const ProgramRun run = RunProgram(installation);
    ASSERT_TRUE(run.exited) << run.output;
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, ConsoleBox(RestructureFailureMessage("ML2")))) << run.output;
    EXPECT_EQ(ReadBytes(installation.Data() / "ML2.DBF"), before);
  }
  {
    SCOPED_TRACE("a template missing: the run stops in the error box");
    Installation installation;
    fs::remove(installation.Templates() / "ML6.DBF");
    const ProgramRun run = RunProgram(installation);
    ASSERT_TRUE(run.exited) << run.output;
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "[" + rtl::AnsiToUtf8(Title()) + "] Atualizada: ")) << run.output;
    EXPECT_FALSE(Contains(run.output, ConsoleBox(ClosingMessage()))) << run.output;
  }
}

// An alias file whose "." entry names CDX tables contradicts the window's NTX tables: reading the
// window fails, and the application shows it in its error box instead of aborting.
TEST(UpdaterExitCode, AWindowThatCannotBeReadIsShownInTheErrorBox) {
  REQUIRE_FIXTURES();
  Installation installation;
  WriteBytes(installation.WindowsDir() / "xbe.ini", "[Databases]\r\n.=C:\\ELSEWHERE;C\r\n");
  const ProgramRun run = RunProgram(installation);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_EQ(run.output, ConsoleBox("Atualizada: The table type must remain identical to the table type associated "
                                    "with the alias."));
}

}  // namespace
}  // namespace updatertest
