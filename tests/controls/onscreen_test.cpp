// The on-screen twin of the stored three-button form: shown by the class library in a real
// window on an X server of the test's own, the flat button hot under the pointer, captured as
// a PNG under the build folder. The headless tests carry the pixel assertions.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/ui/forms.h"
#include "tests/controls/buttonsform.h"
#include "xvfb.h"

namespace controls_test {
namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

// Runs the application's messages and the display's input for a while of real time (each
// wait for input lasts at most 100 ms).
void Pump(ui::TApplication& app, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) app.HandleMessage();
}

TEST(OnScreen, TheThreeButtonFormIsCapturedAsAPng) {
#ifndef TULMEVARA_TEST_SDL
  GTEST_SKIP() << "the class library was built without SDL2: no on-screen backend to test";
#endif
  for (const char* tool : {"Xvfb", "xdotool", "import", "identify"})
    if (!testsupport::ToolOnPath(tool))
      GTEST_SKIP() << tool << " not found: install xvfb, xdotool and imagemagick to run the on-screen capture";
  testsupport::XvfbServer server;
  ASSERT_TRUE(server.Start()) << "Xvfb did not start";
  setenv("DISPLAY", server.Display().c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  const std::string x = "DISPLAY=" + server.Display() + " ";

  ui::TApplication app;
  ASSERT_TRUE(app.Windows().GetBackend().OnScreen()) << "the on-screen backend did not open";
  auto* form = app.CreateForm<TButtonsForm>(ButtonsFormDescription());
  form->Show();
  Pump(app, 500);
  std::string id = Shell(x + "xdotool search --name 'Bot'");
  if (const auto nl = id.find('\n'); nl != std::string::npos) id.resize(nl);
  ASSERT_FALSE(id.empty()) << "the form's window is not on the screen";
  // The pointer over the flat button: it draws its frame and its hot look.
  Shell(x + "xdotool mousemove --window " + id + " 90 20");
  Pump(app, 500);

  const fs::path shots = SCREENSHOT_DIR;
  fs::create_directories(shots);
  const fs::path png = shots / "speedbuttons.png";
  fs::remove(png);
  Shell(x + "import -window " + id + " '" + png.string() + "'");
  std::ifstream in(png, std::ios::binary);
  char magic[4] = {};
  in.read(magic, 4);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG") << png;
  EXPECT_EQ(Shell("identify -format '%w %h' '" + png.string() + "'"), "200 64") << "the form's client area";
  EXPECT_TRUE(form->FlatButton->MouseInside());
  form->Close();
  Pump(app, 100);
}

}  // namespace
}  // namespace controls_test
