// The real TavroAtualiza in a real window: an X server of its own (Xvfb on a free display),
// each message box answered with a synthetic Enter, screenshots of the log window and of the
// first box saved under the build folder, and the program's exit code and the tables checked.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>

#include "installation.h"
#include "table_check.h"
#include "xsession.h"

namespace updatertest {
namespace {

using namespace testsupport;

class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef TULMEVARA_TEST_SDL
    GTEST_SKIP() << "the class library was built without SDL2: no on-screen backend to test";
#endif
    for (const char* tool : {"Xvfb", "xdotool", "import", "identify"})
      if (!ToolOnPath(tool))
        GTEST_SKIP() << tool << " not found: install xvfb, xdotool and imagemagick to run the on-screen smoke test";
    REQUIRE_FIXTURES();
    ASSERT_TRUE(server_.Start()) << "Xvfb did not start";
    display_ = server_.Display();
  }

  std::vector<std::string> Windows(const std::string& nameRegex) { return server_.Windows(nameRegex); }
  bool Screenshot(const std::string& window, const fs::path& file) { return server_.Screenshot(window, file); }
  void X(const std::string& args) { server_.X(args); }

  XServer server_;
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
