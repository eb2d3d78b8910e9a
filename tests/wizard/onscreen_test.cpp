// The real ZeqConfig in a real window: a path typed into the field, the select-directory
// dialog opened with the field's button, a folder picked and confirmed, OK; the INI file then
// holds the picked path and the program ends with 0. Each of the three fixed windows tells the
// window manager that it can be neither resized nor maximized. Screenshots of the dialog, of
// the select-directory dialog and of the confirmation box are saved under the build folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "testsupport.h"
#include "xsession.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// The Motif hints' bits for the frame's actions and decorations.
constexpr unsigned long kFuncResize = 1 << 1, kFuncMinimize = 1 << 3, kFuncMaximize = 1 << 4;
constexpr unsigned long kDecorResizeHandle = 1 << 2, kDecorMinimize = 1 << 5, kDecorMaximize = 1 << 6;

// What a window tells the window manager about its frame, read back from the X server.
struct FrameHints {
  std::string size, minimum, maximum;  // "W by H"; empty when not given
  std::vector<unsigned long> motif;    // flags, functions, decorations, ...
};

class WizardOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef TULMEVARA_TEST_SDL
    GTEST_SKIP() << "the class library was built without SDL2: no on-screen backend to test";
#endif
    for (const char* tool : {"Xvfb", "xdotool", "xprop", "import", "identify"})
      if (!ToolOnPath(tool))
        GTEST_SKIP() << tool << " not found: install xvfb, xdotool, x11-utils and imagemagick to run the on-screen test";
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
  FrameHints Hints(const std::string& window) {
    FrameHints h;
    const std::string display = "DISPLAY=" + server.Display() + " ";
    std::smatch m;
    const std::string geometry = Shell(display + "xdotool getwindowgeometry " + window);
    if (std::regex_search(geometry, m, std::regex("Geometry: (\\d+)x(\\d+)"))) h.size = m[1].str() + " by " + m[2].str();
    const std::string normal = Shell(display + "xprop -id " + window + " WM_NORMAL_HINTS");
    if (std::regex_search(normal, m, std::regex("minimum size: (\\d+ by \\d+)"))) h.minimum = m[1];
    if (std::regex_search(normal, m, std::regex("maximum size: (\\d+ by \\d+)"))) h.maximum = m[1];
    const std::string motif = Shell(display + "xprop -id " + window + " _MOTIF_WM_HINTS");
    const std::regex number("0x[0-9a-fA-F]+");
    for (std::sregex_iterator i(motif.begin(), motif.end(), number), end; i != end; ++i)
      h.motif.push_back(std::strtoul(i->str().c_str(), nullptr, 16));
    return h;
  }
  // A fixed window: its size is its minimum and maximum, and its frame offers no resizing and
  // no maximize box; a minimize box only when asked for.
  void ExpectFixedFrame(const std::string& window, bool minimizeBox) {
    const FrameHints h = Hints(window);
    EXPECT_FALSE(h.size.empty()) << window;
    EXPECT_EQ(h.minimum, h.size) << "minimum size of " << window;
    EXPECT_EQ(h.maximum, h.size) << "maximum size of " << window;
    ASSERT_GE(h.motif.size(), 3u) << "no frame hints on " << window;
    EXPECT_EQ(h.motif[0] & 3, 3u);  // functions and decorations given
    EXPECT_EQ(h.motif[1] & (kFuncResize | kFuncMaximize), 0u) << window;
    EXPECT_EQ(h.motif[2] & (kDecorResizeHandle | kDecorMaximize), 0u) << window;
    EXPECT_EQ((h.motif[1] & kFuncMinimize) != 0, minimizeBox) << window;
    EXPECT_EQ((h.motif[2] & kDecorMinimize) != 0, minimizeBox) << window;
  }
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
  ExpectFixedFrame(dialog, true);

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
  ExpectFixedFrame(select, false);
  // Rows: "F:\", "DADOS", "ESCOLHIDO"; a click selects the third, Enter opens it, then OK
  // (without help, the middle of the three button places, 75 wide, under the lists).
  ClickAt(select, 40, 64 + 2 + 13 * 2 + 6);
  Pause();
  server.X("key Return");
  Pause();
  ClickAt(select, 186 + 37, 271 + 11);
  EXPECT_TRUE(WaitFor([&] { return server.Windows("^Selecione o diret").empty(); }, 5000));

  // OK of the wizard.
  ClickAt(dialog, 178 + 42, 109 + 12);

  // ESCOLHIDO holds no "ml5.dbf": the question, answered with its default button.
  const std::string box = WaitWindow("^Confirma");
  if (box.empty()) Shell("DISPLAY=" + server.Display() + " import -window root '" + (shots / "wizard-failure.png").string() + "'");
  ASSERT_FALSE(box.empty()) << "the confirmation box did not appear; the screen is in wizard-failure.png";
  EXPECT_TRUE(server.Screenshot(box, shots / "wizard-confirm.png"));
  ExpectFixedFrame(box, false);
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
