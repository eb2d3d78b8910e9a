// The real ZeqConfig in a real window: a path typed into the field, the select-directory
// dialog opened with the field's button, a folder picked and confirmed, OK; the INI file then
// holds the picked path and the program ends with 0. Screenshots of the dialog, of the
// select-directory dialog and of the confirmation box are saved under the build folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testsupport.h"
#include "xsession.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

class WizardOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef TULMEVARA_TEST_SDL
    GTEST_SKIP() << "the class library was built without SDL2: no on-screen backend to test";
#endif
    for (const char* tool : {"Xvfb", "xdotool", "import", "identify"})
      if (!ToolOnPath(tool))
        GTEST_SKIP() << tool << " not found: install xvfb, xdotool and imagemagick to run the on-screen test";
    ASSERT_TRUE(server.Start()) << "Xvfb did not start";
  }
  // Waits for one visible window whose name matches; empty when none came.
  std::string WaitWindow(const std::string& regex, int ms = 10000) {
    std::string found;
    WaitFor([&] {
      const auto ws = server.Windows(regex);
      if (!ws.empty()) found = ws.back();
      return !found.empty();
    }, ms);
    return found;
  }
  // Lets the program take the input sent so far before the next step depends on it.
  static void Pause() { WaitFor([] { return false; }, 300); }
  void ClickAt(const std::string& window, int x, int y) {
    server.X("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
    server.X("click 1");
  }

  XServer server;
  TempDir root;
};

TEST_F(WizardOnScreen, TypePickConfirmAndStore) {
  const fs::path windows = root.path() / "windows";
  const fs::path data = windows / "drives" / "f" / "DADOS";
  fs::create_directories(data / "ESCOLHIDO");
  const fs::path shots = SCREENSHOT_DIR;
  fs::create_directories(shots);
  for (const char* f : {"wizard-dialog.png", "wizard-selectdir.png", "wizard-confirm.png", "wizard-failure.png"})
    fs::remove(shots / f);

  Child program;
  ASSERT_TRUE(program.Start({ZEQCONFIG_BINARY}, root.str(),
                            {{"DISPLAY", server.Display()}, {"WAYLAND_DISPLAY", ""}, {"WINDIR", windows.string()}},
                            (shots / "wizard-output.txt").string()));

  const std::string dialog = WaitWindow("^Assistente de Instala");
  ASSERT_FALSE(dialog.empty()) << "the dialog did not appear";
  server.X("windowfocus --sync " + dialog);
  EXPECT_TRUE(server.Screenshot(dialog, shots / "wizard-dialog.png"));
  EXPECT_EQ(Words(Shell("identify -format '%w %h' '" + (shots / "wizard-dialog.png").string() + "'")),
            (std::vector<std::string>{"361", "141"}));

  // Type a path into the field (its text selected whole by a Ctrl+A first).
  ClickAt(dialog, 100, 40);
  Pause();
  server.X("key ctrl+a");
  server.X("type --delay 30 'F:\\DADOS'");
  Pause();

  // The field's button: the select-directory dialog opens at the typed path.
  ClickAt(dialog, 31 + 300 - 14, 40);
  const std::string select = WaitWindow("^Selecione o diret");
  ASSERT_FALSE(select.empty()) << "the select-directory dialog did not appear";
  EXPECT_TRUE(server.Screenshot(select, shots / "wizard-selectdir.png"));
  // Rows: "F:\", "DADOS", "ESCOLHIDO"; a click selects the third, Enter opens it, then OK.
  ClickAt(select, 40, 64 + 2 + 13 * 2 + 6);
  Pause();
  server.X("key Return");
  Pause();
  ClickAt(select, 230 + 27, 239 + 11);
  EXPECT_TRUE(WaitFor([&] { return server.Windows("^Selecione o diret").empty(); }, 5000));

  // OK of the wizard.
  ClickAt(dialog, 178 + 42, 109 + 12);

  // ESCOLHIDO holds no "ml5.dbf": the question, answered with its default button.
  const std::string box = WaitWindow("^Confirma");
  if (box.empty()) Shell("DISPLAY=" + server.Display() + " import -window root '" + (shots / "wizard-failure.png").string() + "'");
  ASSERT_FALSE(box.empty()) << "the confirmation box did not appear; the screen is in wizard-failure.png";
  EXPECT_TRUE(server.Screenshot(box, shots / "wizard-confirm.png"));
  // Enter on the box; sent again if the box is still there after a while.
  for (int attempt = 0; attempt < 3 && !server.Windows("^Confirma").empty(); ++attempt) {
    server.X("windowfocus --sync " + box);
    server.X("key Return");
    WaitFor([&] { return server.Windows("^Confirma").empty(); }, 3000);
  }

  EXPECT_TRUE(WaitFor([&] { return program.Finished().has_value(); }, 10000)) << "the program did not end";
  const std::optional<int> status = program.Finished();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
  std::ifstream ini(windows / "tesqueln.ini", std::ios::binary);
  std::stringstream text;
  text << ini.rdbuf();
  EXPECT_EQ(text.str(), "[BD]\r\nPathLIS=F:\\DADOS\\ESCOLHIDO\r\n");
  for (const char* f : {"wizard-dialog.png", "wizard-selectdir.png", "wizard-confirm.png"})
    EXPECT_TRUE(IsPng(shots / f)) << f;
}

}  // namespace
