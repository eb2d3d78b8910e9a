// The select-directory dialog, answered by the driver and driven for real on a mapped drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strutils.h"
#include "platform/ui/fontengine.h"
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

// Whether the text drawn in a row of a control ends in three dots: the last ink of the row
// lies inside the control, and the last dot-run's width of it has ink only on the bottom rows
// of the letters (a cut letter would reach up).
bool RowEndsInDots(const Surface& s, TControl& c, int rowTop, int rowHeight, TColor ink) {
  const TPoint off = c.OffsetInTopLevel();
  const std::uint32_t rgb = ColorToRGB(ink);
  const auto inked = [&](int x, int y) { return s.At(off.x + x, off.y + rowTop + y) == rgb; };
  int last = -1;
  for (int x = 0; x < c.Width(); ++x)
    for (int y = 0; y < rowHeight; ++y)
      if (inked(x, y)) last = x;
  if (last < 0 || last >= c.Width() - 3) return false;
  TBitmap scratch(1, 1);
  scratch.Canvas().Font().Assign(c.Font());
  const int dots = scratch.Canvas().TextWidth("...");
  const int baseline = scratch.Canvas().TextMetrics().ascent;
  for (int x = last - dots + 2; x <= last; ++x)
    for (int y = 0; y < baseline - 3; ++y)
      if (inked(x, y)) return false;
  return true;
}

TEST_F(SelectDirTest, TheDialogFitsItsCaptionsAndEndsALongPathOrNameInDots) {
  const std::string longName = "UMA PASTA COM UM NOME MUITO LONGO PARA A LISTA";
  const std::filesystem::path deep = windows.path() / "drives" / "f" / "DADOS" / "SUB" /
                                     "OUTRA PASTA COM NOME LONGO" / "MAIS UMA PASTA BEM COMPRIDA";
  std::filesystem::create_directories(deep / longName);
  driver.AnswerBoxes([](const BoxRequest&) -> std::optional<int> { return std::nullopt; });
  bool seen = false;
  driver.Backend().idleHandler = [&] {
    TCustomForm* box = driver.ActiveForm();
    if (!box || seen) return false;
    seen = true;
    box->Update();
    const Surface& shown = *box->TopLevelSurface();
    TBitmap scratch(1, 1);
    scratch.Canvas().Font().Assign(box->Font());
    int buttons = 0;
    for (int i = 0; i < box->ControlCount(); ++i) {
      TControl* c = box->Controls(i);
      if (auto* b = dynamic_cast<TButton*>(c)) {
        ++buttons;
        // The caption with a margin of at least a few pixels on each side.
        EXPECT_GE(b->Width(), scratch.Canvas().TextWidth(b->Caption()) + 2 * 8) << b->Caption();
        EXPECT_LE(b->Left() + b->Width(), box->ClientWidth()) << b->Caption();
      } else if (auto* l = dynamic_cast<TLabel*>(c); l && l->Caption().rfind("F:\\", 0) == 0) {
        EXPECT_TRUE(RowEndsInDots(shown, *l, 0, l->Height(), clWindowText)) << "the current path";
      } else if (auto* list = dynamic_cast<TListBox*>(c); list && list->Items().Count() > 0 &&
                                                          list->Items().Get(0) == "F:\\") {
        const int row = list->Items().Count() - 1;  // the subdirectory with the long name
        EXPECT_NE(list->Items().Get(row).find(longName), std::string::npos);
        EXPECT_TRUE(RowEndsInDots(shown, *list, 2 + (row - list->TopIndex()) * list->ItemHeight(),
                                  list->ItemHeight(), clWindowText))
            << "the long directory name";
      }
    }
    EXPECT_EQ(buttons, 2);  // help context 0: OK and Cancelar
    driver.Backend().Sink()->KeyInput(WM_KEYDOWN, VK_ESCAPE, 0);
    return true;
  };
  std::string dir = "F:\\DADOS\\SUB\\OUTRA PASTA COM NOME LONGO\\MAIS UMA PASTA BEM COMPRIDA";
  EXPECT_FALSE(SelectDirectory(dir, 0, 0));
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace ui
