// The edit box with its embedded button and the directory edit, headless through the driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "controls/tooledit.h"
#include "platform/ui/dropfiles.h"
#include "platform/ui/errormode.h"
#include "platform/ui/testdriver.h"
#include "testsupport.h"

namespace {

namespace fs = std::filesystem;

class EditForm : public ::testing::Test {
 protected:
  EditForm() : env("WINDIR", windows.str()) {
    fs::create_directories(windows.path() / "drives" / "f" / "A");
    fs::create_directories(windows.path() / "drives" / "f" / "B");
    std::ofstream(windows.path() / "drives" / "f" / "A" / "arq.txt") << "x";
    form = new ui::TForm(&driver.App());
    form->SetBounds(0, 0, 400, 200);
    ok = new ui::TButton(form);
    ok->SetParent(form);
    ok->SetBounds(10, 100, 75, 25);
    ok->SetDefault(true);
    ok->SetOnClick(classes::TNotifyEvent::FromFunction([this](classes::TObject*) { ++okClicks; }));
    cancel = new ui::TButton(form);
    cancel->SetParent(form);
    cancel->SetBounds(100, 100, 75, 25);
    cancel->SetCancel(true);
    cancel->SetOnClick(classes::TNotifyEvent::FromFunction([this](classes::TObject*) { ++cancelClicks; }));
    edit = new TDirectoryEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 300, 21);
    edit->SetTabOrder(0);
    driver.Show(*form);
    edit->SetFocus();
    driver.RunUntilIdle();
    driver.AnswerDirectoryDialogs([this](const ui::BoxRequest& r) -> std::optional<std::string> {
      openedAt.push_back(r.directory);
      return pick;
    });
  }
  void ClickButton() {
    TEditButton* b = edit->EmbeddedButton();
    driver.Click(*b, b->Width() / 2, b->Height() / 2);
  }

  testsupport::TempDir windows;
  testsupport::ScopedEnv env;
  ui::HeadlessDriver driver;
  ui::TForm* form = nullptr;
  ui::TButton* ok = nullptr;
  ui::TButton* cancel = nullptr;
  TDirectoryEdit* edit = nullptr;
  int okClicks = 0, cancelClicks = 0;
  std::vector<std::string> openedAt;
  std::optional<std::string> pick = std::string("F:\\B");
};

TEST_F(EditForm, ButtonPanelGlyphAndFormattingRectangle) {
  EXPECT_EQ(edit->Height(), 21);
  EXPECT_EQ(edit->ButtonWidth(), 21);
  EXPECT_EQ(edit->ButtonPanel()->Width(), 21);
  // 3-D single border: the panel at W - w - 4, height H - 4, the text stops 2 pixels before it.
  EXPECT_EQ(edit->ButtonPanel()->BoundsRect(), ui::Bounds(300 - 21 - 4, 0, 21, 17));
  EXPECT_EQ(edit->EmbeddedButton()->Height(), 17);
  EXPECT_EQ(edit->FormatRect(), ui::Rect(0, 0, edit->ClientWidth() - 21 - 2, edit->ClientHeight() + 1));
  EXPECT_EQ(edit->EmbeddedButton()->Glyph().Width(), 14);
  EXPECT_EQ(edit->EmbeddedButton()->Glyph().Height(), 12);
  EXPECT_EQ(edit->NumGlyphs(), 1);
  // The folder glyph shows on the button: its yellow inside the panel, none left of it.
  int yellowInPanel = 0, yellowLeft = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 300; ++x)
      if (driver.Pixel(*edit, x, y) == 0x00FFFFu) ++(x >= 2 + 275 ? yellowInPanel : yellowLeft);
  EXPECT_GT(yellowInPanel, 10);
  EXPECT_EQ(yellowLeft, 0);
  EXPECT_EQ(edit->ClickKey(), 32808);
  EXPECT_TRUE(edit->OEMConvert());

  // A height below one line of text plus borders is raised on the size change.
  edit->Font().SetHeight(-20);
  edit->SetHeight(10);
  EXPECT_EQ(edit->Height(), edit->MinimumEditHeight());
  EXPECT_EQ(edit->ButtonPanel()->Height(), edit->Height() - 4);
}

TEST_F(EditForm, GlyphKindsAndButtonWidth) {
  edit->SetGlyphKind(gkEllipsis);
  const ui::TBitmap& dots = edit->EmbeddedButton()->Glyph();
  ASSERT_EQ(dots.Width(), 15);
  ASSERT_EQ(dots.Height(), 4);
  for (int x = 0; x < 15; ++x)
    EXPECT_EQ(dots.Pixels().At(x, 1) == 0, x == 1 || x == 2 || x == 6 || x == 7 || x == 11 || x == 12) << x;
  edit->SetGlyphKind(gkDropDown);
  EXPECT_EQ(edit->ButtonWidth(), 16);  // the scroll-bar width
  EXPECT_TRUE(edit->EmbeddedButton()->FixedWidth());
  EXPECT_EQ(edit->ButtonPanel()->Width(), 16);

  edit->SetButtonWidth(400);  // not below the client width: only the panel's visibility follows
  EXPECT_EQ(edit->ButtonWidth(), 16);
  edit->SetButtonWidth(1);
  EXPECT_FALSE(edit->ButtonPanel()->Visible());
  int clicks = 0;
  edit->SetOnBeforeDialog(TExecOpenDialogEvent::FromFunction([&](classes::TObject*, std::string&, bool& action) {
    ++clicks;
    action = false;
  }));
  driver.PressKey(ui::VK_DOWN, ui::MK_ALT);
  EXPECT_EQ(clicks, 1);  // width 1: the key still works
  edit->SetButtonWidth(0);
  driver.PressKey(ui::VK_DOWN, ui::MK_ALT);
  EXPECT_EQ(clicks, 1);  // width 0: it does not
}

TEST_F(EditForm, DirectInputAndReadOnly) {
  edit->SetText("F:\\A");
  driver.App().Windows().GetBackend().SetClipboardText("X");
  edit->SetDirectInput(false);
  edit->SelectAll();
  driver.Type("zz");
  edit->Perform(ui::WM_PASTE);
  edit->Perform(ui::WM_CUT);
  EXPECT_EQ(edit->Text(), "F:\\A");
  ClickButton();  // the button still works
  EXPECT_EQ(openedAt.size(), 1u);
  EXPECT_EQ(edit->Text(), "F:\\B");

  edit->SetDirectInput(true);
  edit->SetReadOnly(true);
  driver.Type("zz");
  ClickButton();
  driver.PressKey(ui::VK_DOWN, ui::MK_ALT);  // consumed, nothing happens
  EXPECT_EQ(openedAt.size(), 1u);
  EXPECT_EQ(edit->Text(), "F:\\B");
  edit->SetReadOnly(false);
  edit->SetSelStart(4);
  driver.Type("x");
  EXPECT_EQ(edit->Text(), "F:\\Bx");
}

TEST_F(EditForm, EnterAndEscapeGoToTheForm) {
  edit->SetText("abc");
  edit->SetSelStart(3);
  driver.PressKey(ui::VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(edit->Text(), "abc");
  driver.PressKey(ui::VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(EditForm, FocusCaretAndTheButtonTakingTheFocus) {
  EXPECT_TRUE(edit->HasFocus());
  EXPECT_EQ(edit->CaretSize().cx, 1);
  EXPECT_EQ(edit->CaretSize().cy, edit->EditTextHeight());
  ok->SetFocus();
  driver.RunUntilIdle();
  EXPECT_FALSE(edit->HasFocus());
  edit->Font().SetStyle(ui::fsBold);
  // No dialog (the before-event stops it): the press on the button alone brings the focus.
  edit->SetOnBeforeDialog(TExecOpenDialogEvent::FromFunction([](classes::TObject*, std::string&, bool& action) {
    action = false;
  }));
  ClickButton();
  EXPECT_TRUE(openedAt.empty());
  EXPECT_EQ(driver.FocusedControl(), edit);
  EXPECT_EQ(edit->CaretSize().cx, 2);
}

TEST_F(EditForm, DialogRoad) {
  // Empty text and InitialDir: the root of the current drive; a missing path too.
  ClickButton();
  ASSERT_EQ(openedAt.size(), 1u);
  EXPECT_EQ(openedAt[0].substr(1), ":\\");
  EXPECT_EQ(edit->Text(), "F:\\B");
  EXPECT_EQ(edit->InitialDir(), "F:\\B");
  edit->SetText("F:\\NADA");
  ClickButton();
  EXPECT_EQ(openedAt[1].substr(1), ":\\");
  edit->SetText("");
  ClickButton();  // an empty text starts at InitialDir
  EXPECT_EQ(openedAt[2], "F:\\B");

  // The error mode is changed only while the dialog runs.
  unsigned during = 0;
  driver.AnswerDirectoryDialogs([&](const ui::BoxRequest&) -> std::optional<std::string> {
    during = ui::GetErrorMode();
    return std::nullopt;
  });
  bool afterAction = true;
  edit->SetOnAfterDialog(TExecOpenDialogEvent::FromFunction([&](classes::TObject*, std::string&, bool& action) {
    afterAction = action;
  }));
  ClickButton();
  EXPECT_EQ(during, ui::SEM_FAILCRITICALERRORS | ui::SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(ui::GetErrorMode(), 0u);
  EXPECT_FALSE(afterAction);  // cancelled: the after-event still runs, nothing changes
  EXPECT_EQ(edit->Text(), "F:\\B");

  // The after-event may change the name; the before-event may stop everything.
  driver.AnswerDirectoryDialogs([](const ui::BoxRequest&) -> std::optional<std::string> { return "F:\\A"; });
  edit->SetOnAfterDialog(TExecOpenDialogEvent::FromFunction([](classes::TObject*, std::string& name, bool&) {
    name += "\\sub";
  }));
  ClickButton();
  EXPECT_EQ(edit->Text(), "F:\\A\\sub");
  EXPECT_EQ(edit->InitialDir(), "F:\\B");  // not an existing directory: kept
  int dialogs = 0;
  driver.AnswerDirectoryDialogs([&](const ui::BoxRequest&) -> std::optional<std::string> {
    ++dialogs;
    return "F:\\A";
  });
  edit->SetOnBeforeDialog(TExecOpenDialogEvent::FromFunction([](classes::TObject*, std::string&, bool& action) {
    action = false;
  }));
  ClickButton();
  EXPECT_EQ(dialogs, 0);
}

TEST_F(EditForm, MultipleDirsAppendsAndConvertsPartByPart) {
  edit->SetMultipleDirs(true);
  ClickButton();
  EXPECT_EQ(edit->Text(), "F:\\B");
  pick = "F:\\A";
  edit->SetSelStart(static_cast<int>(edit->Text().size()));
  ClickButton();
  EXPECT_EQ(edit->Text(), "F:\\B;F:\\A");
  edit->SetText("f:\\a;;f:\\b;f:\\nada\\x");
  EXPECT_EQ(edit->GetLongDirectoryText(), "f:\\A;f:\\B;f:\\\\");
  EXPECT_EQ(edit->GetShortDirectoryText(), "f:\\A;f:\\B;f:\\\\");
  edit->SetMultipleDirs(false);
  edit->SetText("F:\\A");
  ClickButton();
  EXPECT_EQ(edit->Text(), "F:\\A");  // replaced
}

TEST_F(EditForm, DroppedFilesAndDirectories) {
  int drops = 0;
  edit->SetOnDropFiles(classes::TNotifyEvent::FromFunction([&](classes::TObject*) { ++drops; }));
  EXPECT_FALSE(driver.DropFiles(*edit, 20, 5, {"F:\\A"}));  // not accepting yet
  edit->SetAcceptFiles(true);
  EXPECT_TRUE(driver.DropFiles(*edit, 20, 5, {"F:\\A\\arq.txt", "F:\\B"}));
  EXPECT_EQ(edit->Text(), "F:\\A\\");  // a file: its directory; only the first name
  EXPECT_EQ(drops, 1);
  EXPECT_TRUE(driver.DropFiles(*edit, 20, 5, {"F:\\B"}));
  EXPECT_EQ(edit->Text(), "F:\\B");
  edit->SetMultipleDirs(true);
  EXPECT_TRUE(driver.DropFiles(*edit, 20, 5, {"F:\\A", "F:\\NADA"}));
  EXPECT_EQ(edit->Text(), "F:\\B;F:\\A;F:\\NADA");
  EXPECT_EQ(drops, 3);
  EXPECT_EQ(edit->InitialDir(), "");
  edit->SetAcceptFiles(false);
  EXPECT_FALSE(driver.DropFiles(*edit, 20, 5, {"F:\\A"}));
}

TEST_F(EditForm, ReadFromAStoredDescription) {
  RegisterEditorControls();
  auto* f = driver.App().CreateForm<ui::TForm>(R"(object F: TForm
  object E: TDirectoryEdit
    Left = 8
    Top = 8
    Width = 200
    Height = 21
    DialogKind = dkWin32
    DialogOptions = [sdAllowCreate, sdPrompt]
    DirectInput = False
    MultipleDirs = True
    ReadOnly = True
    ClickKey = 16397
  end
end
)");
  auto* e = dynamic_cast<TDirectoryEdit*>(f->FindComponent("E"));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->DialogKind(), dkWin32);
  EXPECT_EQ(e->DialogOptions(), ui::sdAllowCreate | ui::sdPrompt);
  EXPECT_FALSE(e->DirectInput());
  EXPECT_TRUE(e->MultipleDirs());
  EXPECT_TRUE(e->ReadOnly());
  EXPECT_TRUE(e->TCustomEdit::ReadOnly());  // the platform edit's own state
  EXPECT_EQ(e->ClickKey(), 16397);          // Ctrl+Enter
  EXPECT_EQ(e->GlyphKind(), gkDefault);
  EXPECT_EQ(e->ButtonWidth(), 21);
}

TEST_F(EditForm, DisabledTextColour) {
  edit->SetText("F:\\A");
  edit->SetEnabled(false);
  EXPECT_FALSE(edit->EmbeddedButton()->Enabled());
  edit->SetColor(ui::clGrayText);
  edit->Font().SetColor(ui::clWindowText);
  driver.RunUntilIdle();
  // A dark pixel of the text, in the font colour on the grey background.
  bool fontColoured = false;
  for (int x = 2; x < 60 && !fontColoured; ++x)
    for (int y = 2; y < 19; ++y)
      if (driver.Pixel(*edit, x, y) == ui::ColorToRGB(ui::clWindowText)) fontColoured = true;
  EXPECT_TRUE(fontColoured);
}

}  // namespace
