// The edit box: typing, selection, clipboard, conversions, limits, read-only state, automatic
// selection on keyboard focus, and Enter reaching the form's default button.
#include <gtest/gtest.h>

#include "platform/rtl/ansi.h"
#include "platform/ui/dropfiles.h"
#include "platform/ui/edit.h"
#include "platform/ui/testdriver.h"

namespace ui {
namespace {

using namespace rtl::literals;

class EditTest : public ::testing::Test {
 protected:
  EditTest() {
    form = new TForm(&driver.App());
    form->SetBounds(0, 0, 300, 120);
    edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 200, 21);
    edit->SetTabOrder(0);
    button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(10, 50, 75, 25);
    button->SetTabOrder(1);
    button->SetDefault(true);
    button->SetOnClick(classes::TNotifyEvent::FromFunction([this](classes::TObject*) { ++clicks; }));
    edit->SetOnChange(classes::TNotifyEvent::FromFunction([this](classes::TObject*) { ++changes; }));
    driver.Show(*form);
  }
  HeadlessDriver driver;
  TForm* form = nullptr;
  TEdit* edit = nullptr;
  TButton* button = nullptr;
  int clicks = 0;
  int changes = 0;
};

TEST_F(EditTest, TypingEditingAndSelecting) {
  EXPECT_EQ(driver.FocusedControl(), edit);
  driver.Type("abcd");
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(edit->Modified());
  driver.PressKey(VK_BACK);
  driver.PressKey(VK_HOME);
  driver.PressKey(VK_RIGHT, MK_SHIFT);
  EXPECT_EQ(edit->SelText(), "a");
  driver.Type("X");
  EXPECT_EQ(edit->Text(), "Xbc");
  driver.PressKey(VK_DELETE);
  EXPECT_EQ(edit->Text(), "Xc");
  driver.PressKey('A', MK_CONTROL);
  EXPECT_EQ(edit->SelLength(), 2);
  driver.PressKey('C', MK_CONTROL);
  driver.PressKey(VK_END);
  driver.PressKey('V', MK_CONTROL);
  EXPECT_EQ(edit->Text(), "XcXc");
  // A multi-line clipboard pastes its first line only.
  driver.Backend().SetClipboardText("one\r\ntwo");
  driver.PressKey(VK_INSERT, MK_SHIFT);
  EXPECT_EQ(edit->Text(), "XcXcone");
}

TEST_F(EditTest, EnterReachesTheDefaultButtonAndEntersNoText) {
  driver.Type("f:\\tulmevar");
  driver.PressKey(VK_RETURN);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(edit->Text(), "f:\\tulmevar");
  driver.PressKey(VK_ESCAPE);
  EXPECT_EQ(edit->Text(), "f:\\tulmevar");
}

TEST_F(EditTest, KeyboardFocusSelectsAllButAMousePressDoesNot) {
  edit->SetText("dados");
  driver.PressKey(VK_TAB);
  EXPECT_EQ(driver.FocusedControl(), button);
  driver.PressKey(VK_TAB);
  EXPECT_EQ(driver.FocusedControl(), edit);
  EXPECT_EQ(edit->SelLength(), 5);
  driver.PressKey(VK_TAB);
  driver.Click(*edit, 1, 1);
  EXPECT_EQ(driver.FocusedControl(), edit);
  EXPECT_EQ(edit->SelLength(), 0);
  EXPECT_EQ(edit->CaretPos(), 0);
}

TEST_F(EditTest, CaseOemConversionLengthLimitAndReadOnly) {
  edit->SetCharCase(ecUpperCase);
  edit->SetOEMConvert(true);
  driver.Type("ação"_ansi.data());
  EXPECT_EQ(edit->Text(), "AÇÃO"_ansi);
  driver.Type("\x80");  // the euro sign has no OEM code: it comes back as its best fit
  EXPECT_EQ(edit->Text().size(), 5u);
  EXPECT_NE(edit->Text().back(), '\x80');
  edit->SetText("");
  edit->SetCharCase(ecNormal);
  edit->SetMaxLength(3);
  driver.Type("abcdef");
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetReadOnly(true);
  driver.PressKey(VK_BACK);
  driver.Type("z");
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetText("by program");  // read-only refuses typing, not the program
  EXPECT_EQ(edit->Text(), "by program");
}

TEST_F(EditTest, TheBorderIsTwoPixelsAndTheFormattingRectangleIsSet) {
  EXPECT_EQ(edit->ClientWidth(), 196);
  EXPECT_EQ(edit->ClientHeight(), 17);
  EXPECT_EQ(FontTextHeight(edit->Font()), 13);
  TRect r = Rect(0, 0, 150, 18);
  edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(edit->FormatRect(), r);
  EXPECT_EQ(driver.Pixel(*edit, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(driver.Pixel(*edit, 100, 10), ColorToRGB(clWindow));
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

class TDropEdit : public TEdit {
 public:
  explicit TDropEdit(classes::TComponent* owner) : TEdit(owner) {}
  std::vector<std::string> received;
  void WndProc(TMessage& m) override {
    if (m.msg == WM_DROPFILES) {
      HDROP drop = reinterpret_cast<HDROP>(m.wParam);
      for (int i = 0; i < DragQueryFileCount(drop); ++i) received.push_back(DragQueryFile(drop, i, 255));
      DragFinish(drop);
      return;
    }
    TEdit::WndProc(m);
  }
};

TEST(DroppedFiles, OnlyAWindowThatAcceptsThemGetsTheNamesCutToTheBuffer) {
  HeadlessDriver driver;
  auto* form = new TForm(&driver.App());
  form->SetBounds(0, 0, 300, 100);
  auto* edit = new TDropEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 200, 21);
  driver.Show(*form);
  EXPECT_FALSE(driver.DropFiles(*edit, 5, 5, {"C:\\DADOS"}));
  DragAcceptFiles(edit->Handle(), true);
  const std::string longName = "C:\\" + std::string(300, 'A');
  EXPECT_TRUE(driver.DropFiles(*edit, 5, 5, {"C:\\DADOS", longName}));
  ASSERT_EQ(edit->received.size(), 2u);
  EXPECT_EQ(edit->received[0], "C:\\DADOS");
  EXPECT_EQ(edit->received[1].size(), 254u);
  DragAcceptFiles(edit->Handle(), false);
  EXPECT_FALSE(AcceptsDroppedFiles(edit->Handle()));
}

}  // namespace
}  // namespace ui
