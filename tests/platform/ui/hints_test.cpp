// Hints: shown after the pointer rests on a control, with the short part of its text, not
// activated; hidden when the pointer moves on, on a press, and after the hide pause.
#include <gtest/gtest.h>

#include "platform/ui/hints.h"
#include "platform/ui/testdriver.h"
#include "platform/ui/windowsystem.h"

namespace ui {
namespace {

class HintTest : public ::testing::Test {
 protected:
  HintTest() {
    form = new TForm(&driver.App());
    form->SetBounds(100, 100, 200, 150);
    hinted = AddLabel(10, 10, "Abrir a pasta|Escolhe o diretório dos dados");
    hinted->SetShowHint(true);
    plain = AddLabel(10, 50, "Sem dica");
    driver.Show(*form);
  }
  TLabel* AddLabel(int left, int top, const std::string& hint) {
    auto* l = new TLabel(form);
    l->SetParent(form);
    l->SetAutoSize(false);
    l->SetBounds(left, top, 60, 20);
    l->SetHint(hint);
    return l;
  }
  THintWindow* Shown() { return driver.Windows().Hints().Showing(); }

  HeadlessDriver driver;
  TForm* form = nullptr;
  TLabel* hinted = nullptr;
  TLabel* plain = nullptr;
};

TEST_F(HintTest, ShowsTheShortHintAfterThePauseWithoutTakingTheActivation) {
  driver.MouseMove(*hinted, 5, 5);
  driver.AdvanceTime(499);
  EXPECT_EQ(Shown(), nullptr);
  driver.AdvanceTime(1);
  ASSERT_NE(Shown(), nullptr);
  EXPECT_EQ(Shown()->HintText(), "Abrir a pasta");
  EXPECT_EQ(Shown()->BoundsRect().TopLeft(), (TPoint{hinted->ClientToScreen({5, 5}).x, hinted->ClientToScreen({5, 5}).y + 20}));
  EXPECT_EQ(driver.ActiveForm(), form);
  driver.AdvanceTime(2500);
  EXPECT_EQ(Shown(), nullptr);
}

TEST_F(HintTest, MovingOnOrPressingHidesItAndControlsWithoutHintsShowNone) {
  driver.MouseMove(*hinted, 5, 5);
  driver.AdvanceTime(500);
  ASSERT_NE(Shown(), nullptr);
  driver.MouseMove(*plain, 5, 5);
  EXPECT_EQ(Shown(), nullptr);
  driver.AdvanceTime(1000);
  EXPECT_EQ(Shown(), nullptr);  // ShowHint comes from the form, which shows none

  form->SetShowHint(true);  // now the parent's setting reaches the plain label
  driver.MouseMove(*hinted, 5, 5);
  driver.MouseMove(*plain, 5, 5);
  driver.AdvanceTime(500);
  ASSERT_NE(Shown(), nullptr);
  EXPECT_EQ(Shown()->HintText(), "Sem dica");
  driver.MouseDown(*plain, 5, 5);
  EXPECT_EQ(Shown(), nullptr);
  driver.MouseUp(*plain, 5, 5);
}

}  // namespace
}  // namespace ui
