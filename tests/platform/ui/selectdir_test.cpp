// The select-directory dialog, answered by the driver and driven for real on a mapped drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strutils.h"
#include "platform/ui/selectdir.h"
#include "platform/ui/testdriver.h"
#include "testsupport.h"

namespace ui {
namespace {

using namespace rtl::literals;

class SelectDirTest : public ::testing::Test {
 protected:
  SelectDirTest() : env("WINDIR", windows.str()) {
    std::filesystem::create_directories(windows.path() / "drives" / "f" / "DADOS" / "SUB");
    std::ofstream(windows.path() / "drives" / "f" / "DADOS" / "ML5.DBF") << "x";
  }
  testsupport::TempDir windows;
  testsupport::ScopedEnv env;
  HeadlessDriver driver;
};

TEST_F(SelectDirTest, AnAnsweredDialogReturnsTheChoiceOrLeavesTheDirectory) {
  EXPECT_NE(std::find(MappedDrives().begin(), MappedDrives().end(), "F:"), MappedDrives().end());
  std::string dir = "f:\\dados";
  EXPECT_TRUE(SelectDirectory(dir, 0, 0));  // the default answer: OK where it opened
  ASSERT_EQ(driver.Boxes().size(), 1u);
  EXPECT_EQ(driver.Boxes()[0].kind, BoxRequest::SelectDirectory);
  EXPECT_EQ(driver.Boxes()[0].caption, "Selecione o diretório"_ansi);
  EXPECT_EQ(rtl::UpperCase(dir), "F:\\DADOS");

  driver.AnswerDirectoryDialogs([](const BoxRequest&) -> std::optional<std::string> { return std::nullopt; });
  std::string kept = "F:\\DADOS";
  EXPECT_FALSE(SelectDirectory(kept, 0, 0));
  EXPECT_EQ(kept, "F:\\DADOS");

  // A missing directory with a prompt: No keeps the dialog open (asked again), Yes creates it.
  int rounds = 0;
  driver.AnswerDirectoryDialogs([&](const BoxRequest&) -> std::optional<std::string> {
    ++rounds;
    return std::string("F:\\NOVO\\DIR");
  });
  int questions = 0;
  driver.AnswerBoxes([&](const BoxRequest& b) -> std::optional<int> {
    EXPECT_EQ(b.text, "O diretório especificado não existe. Criá-lo?"_ansi);
    return ++questions == 1 ? IDNO : IDYES;
  });
  std::string created = "F:\\";
  EXPECT_TRUE(SelectDirectory(created, sdAllowCreate | sdPrompt | sdPerformCreate, 0));
  EXPECT_EQ(rounds, 2);
  EXPECT_EQ(created, "F:\\NOVO\\DIR");
  EXPECT_TRUE(rtl::DirectoryExists("F:\\NOVO\\DIR"));
}

TEST_F(SelectDirTest, TheRealDialogOpensAtTheDirectoryAndNavigatesWithKeys) {
  driver.AnswerBoxes([](const BoxRequest&) -> std::optional<int> { return std::nullopt; });
  int step = 0;
  std::string caption;
  driver.Backend().idleHandler = [&] {
    TCustomForm* box = driver.ActiveForm();
    if (!box) return false;
    caption = box->Caption();
    switch (step++) {
      case 0:  // the rows: "F:\", "  DADOS" (current), "    SUB"
        driver.Backend().Sink()->KeyInput(WM_KEYDOWN, VK_DOWN, 0);
        return true;
      case 1:
        driver.Backend().Sink()->KeyInput(WM_KEYDOWN, VK_RETURN, 0);  // opens SUB
        return true;
      case 2:
        for (int i = 0; i < box->ControlCount(); ++i)
          if (auto* b = dynamic_cast<TButton*>(box->Controls(i)); b && b->Caption() == "OK") {
            const TPoint p = b->ClientOffsetInTopLevel();
            driver.Backend().Sink()->MouseInput(box->Handle(), WM_LBUTTONDOWN, {p.x + 5, p.y + 5}, MK_LBUTTON);
            driver.Backend().Sink()->MouseInput(box->Handle(), WM_LBUTTONUP, {p.x + 5, p.y + 5}, 0);
          }
        return true;
      default:
        return false;
    }
  };
  std::string dir = "f:\\dados";
  EXPECT_TRUE(SelectDirectory(dir, 0, 0));
  EXPECT_EQ(caption, "Selecione o diretório"_ansi);
  EXPECT_EQ(rtl::UpperCase(dir), "F:\\DADOS\\SUB");
  EXPECT_EQ(Screen->FormCount(), 0);  // the dialog is gone
}

}  // namespace
}  // namespace ui
