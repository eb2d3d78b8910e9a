// Forms read from stored descriptions and driven headless: geometry, the memo, the timer,
// activation, focus and dialog keys, message boxes and the application's error box.
#include <gtest/gtest.h>

#include "platform/classes/classbuilder.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/exception.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/testdriver.h"

namespace ui {
namespace {

using namespace rtl::literals;

// A log window like the updater's: a memo filling the client area and a one-shot timer.
class TLogForm : public TForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TLogForm(classes::TComponent* owner) : TForm(owner) {}
  TMemo* Memo1 = nullptr;
  TTimer* Timer1 = nullptr;
  int created = 0;
  int activations = 0;
  bool failInTimer = false;
  std::vector<int> answers;

  void FormCreate(classes::TObject*) {
    ++created;
    Timer1->SetEnabled(true);
  }
  void FormActivate(classes::TObject*) { ++activations; }
  void Timer1Timer(classes::TObject*) {
    Timer1->SetEnabled(false);
    Memo1->Lines().Add("Verificando Tabela ML2...");
    if (failInTimer) throw rtl::Exception("Atualizada: Table does not exist");
    ShowMessage("primeira mensagem");
    answers.push_back(ConfirmationBox("Continuar?", "Confirmação"_ansi.data()));
    Memo1->Lines().Add("  campo CODIGO");
    Close();
    Memo1->Lines().Add("after close");  // the rest of the handler still runs
  }
};

const classes::TClassInfo& TLogForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TLogForm, TForm>("TLogForm", [](auto& c) {
    c.Field("Memo1", &TLogForm::Memo1);
    c.Field("Timer1", &TLogForm::Timer1);
    c.Method("FormCreate", &TLogForm::FormCreate);
    c.Method("FormActivate", &TLogForm::FormActivate);
    c.Method("Timer1Timer", &TLogForm::Timer1Timer);
  });
  return info;
}

constexpr std::string_view kLogForm = R"(object LogForm: TLogForm
  Left = 192
  Top = 107
  Width = 425
  Height = 350
  Caption = 'Atualiza'#231#227'o da Estrutura do ML2 e ML6 para Tavro'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  Position = poDesktopCenter
  OnActivate = FormActivate
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object Memo1: TMemo
    Left = 0
    Top = 0
    Width = 417
    Height = 323
    Align = alClient
    TabOrder = 0
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 200
    OnTimer = Timer1Timer
    Left = 40
    Top = 8
  end
end
)";

class LogFormTest : public ::testing::Test {
 protected:
  LogFormTest() {
    driver.App().SetTitle("Atualização de Estrutura do ML2 e ML6"_ansi);
    form = driver.App().CreateForm<TLogForm>(kLogForm);
  }
  HeadlessDriver driver;
  TLogForm* form = nullptr;
};

TEST_F(LogFormTest, TheDescriptionGivesTheFrameTheClientAreaAndTheCentredPlace) {
  EXPECT_EQ(driver.App().MainForm(), form);
  EXPECT_EQ(form->created, 1);
  EXPECT_EQ(form->Caption(), "Atualização da Estrutura do ML2 e ML6 para Tavro"_ansi);
  EXPECT_EQ(form->Width(), 425);
  EXPECT_EQ(form->Height(), 350);
  EXPECT_EQ(form->ClientWidth(), 417);
  EXPECT_EQ(form->ClientHeight(), 323);
  EXPECT_EQ(form->Memo1->BoundsRect(), Rect(0, 0, 417, 323));
  EXPECT_TRUE(form->Memo1->Lines().Items().empty());
  EXPECT_EQ(form->Font().Height(), -11);
  EXPECT_EQ(form->Memo1->Font().Name(), "MS Sans Serif");  // from the form
  EXPECT_TRUE(form->Timer1->Enabled());                    // FormCreate armed it
  EXPECT_EQ(form->activations, 0);
  driver.Show(*form);
  EXPECT_EQ(form->Left(), 299);
  EXPECT_EQ(form->Top(), 209);
  EXPECT_EQ(form->activations, 1);
  EXPECT_EQ(driver.FocusedControl(), form->Memo1);
  const auto& top = driver.Backend().TopLevels().at(form->Handle());
  EXPECT_TRUE(top.visible);
  EXPECT_EQ(top.client, (TSize{417, 323}));
}

TEST_F(LogFormTest, TheTimerTicksOnceAfterItsIntervalAndBoxesAreAnsweredInOrder) {
  driver.AnswerBoxes([](const BoxRequest& b) -> std::optional<int> {
    return b.kind == BoxRequest::Confirmation ? IDNO : b.defaultResult;
  });
  driver.Show(*form);
  driver.AdvanceTime(199);
  EXPECT_TRUE(form->Memo1->Lines().Items().empty());
  driver.AdvanceTime(1);
  EXPECT_EQ(HeadlessDriver::MemoLines(*form->Memo1),
            (std::vector<std::string>{"Verificando Tabela ML2...", "  campo CODIGO", "after close"}));
  ASSERT_EQ(driver.Boxes().size(), 2u);
  EXPECT_EQ(driver.Boxes()[0].caption, "Atualização de Estrutura do ML2 e ML6"_ansi);
  EXPECT_EQ(driver.Boxes()[0].text, "primeira mensagem");
  EXPECT_EQ(driver.Boxes()[0].buttons, (std::vector<std::string>{"OK"}));
  EXPECT_EQ(driver.Boxes()[0].icon, BoxRequest::NoIcon);
  EXPECT_EQ(driver.Boxes()[1].caption, "Confirmação"_ansi);
  EXPECT_EQ(driver.Boxes()[1].icon, BoxRequest::QuestionIcon);
  EXPECT_EQ(driver.Boxes()[1].buttons, (std::vector<std::string>{"&Sim", std::string("&Não"_ansi)}));
  EXPECT_EQ(form->answers, (std::vector<int>{mrNo}));
  EXPECT_TRUE(driver.App().Terminated());  // closing the main form ends the program
  driver.AdvanceTime(1000);
  EXPECT_EQ(form->Memo1->Lines().Count(), 3);  // never a second run
}

TEST_F(LogFormTest, RunEndsWhenTheMainFormCloses) {
  driver.Run();
  EXPECT_TRUE(driver.App().Terminated());
  EXPECT_EQ(driver.Clock().NowMs(), 200u);
  EXPECT_EQ(driver.Boxes().size(), 2u);
  EXPECT_EQ(form->activations, 1);
}

TEST_F(LogFormTest, AnErrorEscapingTheTimerShowsTheErrorBoxAndTheWindowStays) {
  form->failInTimer = true;
  driver.Show(*form);
  driver.AdvanceTime(500);
  ASSERT_EQ(driver.Boxes().size(), 1u);
  EXPECT_EQ(driver.Boxes()[0].kind, BoxRequest::Error);
  EXPECT_EQ(driver.Boxes()[0].icon, BoxRequest::ErrorIcon);
  EXPECT_EQ(driver.Boxes()[0].caption, "Atualização de Estrutura do ML2 e ML6"_ansi);
  EXPECT_EQ(driver.Boxes()[0].text, "Atualizada: Table does not exist.");
  EXPECT_FALSE(driver.App().Terminated());
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->Memo1->Lines().Count(), 1);
}

TEST_F(LogFormTest, ARealBoxIsDrivenByKeysAndClosingItGivesFocusBackWithoutActivatingAgain) {
  driver.AnswerBoxes([](const BoxRequest&) -> std::optional<int> { return std::nullopt; });
  // Inside each box's modal loop: Enter on the message box, Escape on the confirmation box.
  int idle = 0;
  driver.Backend().idleHandler = [&] {
    TCustomForm* box = driver.ActiveForm();
    if (!box || box == form) return false;
    driver.Backend().Sink()->KeyInput(WM_KEYDOWN, idle++ == 0 ? VK_RETURN : VK_ESCAPE, 0);
    return true;
  };
  driver.Show(*form);
  driver.AdvanceTime(200);
  EXPECT_EQ(idle, 2);
  EXPECT_EQ(form->answers, (std::vector<int>{mrNo}));
  EXPECT_EQ(form->activations, 1);
  EXPECT_EQ(driver.ActiveForm(), form);
  EXPECT_EQ(Screen->FormCount(), 1);  // the boxes are gone
}

TEST_F(LogFormTest, TheBoxCloseButtonAnswersTheCloseResult) {
  driver.AnswerBoxes([](const BoxRequest& b) -> std::optional<int> {
    if (b.kind == BoxRequest::Confirmation) return std::nullopt;
    return b.defaultResult;
  });
  driver.Backend().idleHandler = [&] {
    TCustomForm* box = driver.ActiveForm();
    if (!box || box == form) return false;
    EXPECT_EQ(box->Caption(), "Confirmação"_ansi);
    EXPECT_EQ(box->Left(), (1024 - box->Width()) / 2);  // centred on the screen
    driver.Backend().Sink()->CloseRequest(box->Handle());
    return true;
  };
  driver.Show(*form);
  driver.AdvanceTime(200);
  EXPECT_EQ(form->answers, (std::vector<int>{mrCancel}));
}

// A short message under a long caption: the window manager would cut the caption of a box
// sized to its text alone.
TEST(MessageBoxForm, IsWideEnoughToShowItsCaptionWhole) {
  HeadlessDriver driver;
  driver.AnswerBoxes([](const BoxRequest&) -> std::optional<int> { return std::nullopt; });
  int width = 0;
  driver.Backend().idleHandler = [&] {
    TCustomForm* box = driver.ActiveForm();
    if (!box) return false;
    width = box->ClientWidth();
    driver.Backend().Sink()->KeyInput(WM_KEYDOWN, VK_RETURN, 0);
    return true;
  };
  const std::string caption("Assistente de Configuração"_ansi);
  EXPECT_EQ(driver.App().MessageBox("Feito.", caption, MB_OK), IDOK);
  TBitmap scratch(1, 1);
  scratch.Canvas().Font().SetName("MS Sans Serif");
  scratch.Canvas().Font().SetHeight(-13);  // a title font of 10 points
  scratch.Canvas().Font().SetStyle(fsBold);
  // The caption, and beside it at least the window icon and the close box.
  EXPECT_GE(width, scratch.Canvas().TextWidth(caption) + 48);
}

TEST(ConfirmationBox, AnswersItsAccelerators) {
  struct Case {
    bool alt;
    char key;
    int answer;
  } cases[] = {{true, 'N', mrNo}, {true, 'S', mrYes}, {false, 'n', mrNo}, {false, 's', mrYes}};
  for (const Case& c : cases) {
    HeadlessDriver local;
    auto* f = local.App().CreateForm<TLogForm>(kLogForm);
    local.AnswerBoxes([](const BoxRequest& b) -> std::optional<int> {
      if (b.kind == BoxRequest::Confirmation) return std::nullopt;
      return b.defaultResult;
    });
    local.Backend().idleHandler = [&] {
      TCustomForm* box = local.ActiveForm();
      if (!box || box == f) return false;
      if (c.alt) local.Backend().Sink()->KeyInput(WM_KEYDOWN, c.key, MK_ALT);
      else local.Backend().Sink()->CharInput(static_cast<unsigned char>(c.key));
      return true;
    };
    local.Show(*f);
    local.AdvanceTime(200);
    EXPECT_EQ(f->answers, (std::vector<int>{c.answer})) << c.key << (c.alt ? " with Alt" : "");
  }
}

TEST_F(LogFormTest, PaintingShowsTheFaceTheSunkenMemoAndItsText) {
  driver.AnswerBoxes([](const BoxRequest&) -> std::optional<int> { return IDOK; });
  driver.Show(*form);
  EXPECT_EQ(driver.Pixel(*form->Memo1, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(driver.Pixel(*form->Memo1, 1, 1), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(driver.Pixel(*form->Memo1, 416, 322), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(driver.Pixel(*form->Memo1, 200, 100), ColorToRGB(clWindow));
  form->Memo1->Lines().Add("WWWWWWWW");
  int ink = 0;
  for (int y = 2; y < 15; ++y)
    for (int x = 2; x < 80; ++x) ink += driver.Pixel(*form->Memo1, x, y) == clBlack;
  EXPECT_GT(ink, 20);
  const char* build = std::getenv("TULMEVARA_SCREENSHOT_DIR");
  if (build) {
    EXPECT_TRUE(driver.SaveScreenshot(*form, std::string(build) + "/log-window.bmp"));
  }
}

// A dialog with two buttons and a label, like the wizard's.
class TDialogForm : public TForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDialogForm(classes::TComponent* owner) : TForm(owner) {}
  TLabel* Label3 = nullptr;
  TButton* BitBtn1 = nullptr;
  TButton* BitBtn2 = nullptr;
  std::vector<std::string> clicks;
  void BitBtn1Click(classes::TObject*) { clicks.push_back("OK"); }
  void BitBtn2Click(classes::TObject*) { clicks.push_back("Cancelar"); }
};

const classes::TClassInfo& TDialogForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TDialogForm, TForm>("TDialogForm", [](auto& c) {
    c.Field("Label3", &TDialogForm::Label3);
    c.Field("BitBtn1", &TDialogForm::BitBtn1);
    c.Field("BitBtn2", &TDialogForm::BitBtn2);
    c.Method("BitBtn1Click", &TDialogForm::BitBtn1Click);
    c.Method("BitBtn2Click", &TDialogForm::BitBtn2Click);
  });
  return info;
}

constexpr std::string_view kDialogForm = R"(object FConfig: TDialogForm
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = 'Assistente de Instala'#231#227'o'
  ClientHeight = 141
  ClientWidth = 361
  Color = clBtnFace
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Position = poDesktopCenter
  object Label3: TLabel
    Left = 31
    Top = 12
    Width = 89
    Height = 13
    Caption = 'Path do Tulmevara'
  end
  object BitBtn1: TButton
    Left = 178
    Top = 109
    Width = 85
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 0
    OnClick = BitBtn1Click
  end
  object BitBtn2: TButton
    Left = 270
    Top = 109
    Width = 84
    Height = 25
    Caption = 'Cancelar'
    TabOrder = 1
    OnClick = BitBtn2Click
  end
end
)";

TEST(DialogForm, SingleFrameGeometryAndTheLabelSizedFromTheFont) {
  HeadlessDriver driver;
  auto* form = driver.App().CreateForm<TDialogForm>(kDialogForm);
  EXPECT_EQ(form->Width(), 367);
  EXPECT_EQ(form->Height(), 166);
  driver.Show(*form);
  EXPECT_EQ(form->Left(), 328);
  EXPECT_EQ(form->Top(), 301);
  EXPECT_EQ(form->Label3->Height(), 13);
  EXPECT_EQ(form->Label3->Left(), 31);
  EXPECT_GT(form->Label3->Width(), 0);
}

// What the window manager is told about the frame follows the border style and icons, as
// read from the description and whenever either is set later.
TEST(DialogForm, TheFrameOffersOnlyWhatItsBorderStyleAndIconsAskFor) {
  HeadlessDriver driver;
  auto* form = driver.App().CreateForm<TDialogForm>(kDialogForm);
  driver.Show(*form);
  struct Frame {
    bool framed, sizeable, systemMenu, minimize, maximize;
    bool operator==(const Frame&) const = default;
  };
  const auto shown = [&] {
    const TopLevelInfo& t = driver.Backend().TopLevels().at(form->Handle());
    return Frame{t.framed, t.sizeable, t.systemMenu, t.minimizeBox, t.maximizeBox};
  };
  EXPECT_EQ(shown(), (Frame{true, false, true, true, false}));  // as stored: minimize only

  const TBorderIcons all = biSystemMenu | biMinimize | biMaximize;
  const struct {
    TFormBorderStyle style;
    TBorderIcons icons;
    Frame frame;
  } cases[] = {
      {bsSizeable, all, {true, true, true, true, true}},
      {bsSingleForm, all, {true, false, true, true, true}},
      {bsSingleForm, biSystemMenu | biMaximize, {true, false, true, false, true}},
      {bsSingleForm, biMinimize | biMaximize, {true, false, false, false, false}},  // no menu, no boxes
      {bsDialog, all, {true, false, true, false, false}},
      {bsToolWindow, all, {true, false, true, false, false}},
      {bsSizeToolWin, all, {true, true, true, false, false}},
      {bsNoneForm, all, {false, false, false, false, false}},
  };
  for (const auto& c : cases) {
    form->SetBorderStyle(c.style);
    form->SetBorderIcons(c.icons);
    EXPECT_EQ(shown(), c.frame) << "style " << c.style << ", icons " << c.icons;
  }
  // The icons alone, the style left as it is.
  form->SetBorderStyle(bsSingleForm);
  form->SetBorderIcons(all);
  form->SetBorderIcons(biSystemMenu);
  EXPECT_EQ(shown(), (Frame{true, false, true, false, false}));
}

TEST(DialogForm, FocusStartsOnTheFirstTabStopAndEnterTabEscapeAndClicksWork) {
  HeadlessDriver driver;
  auto* form = driver.App().CreateForm<TDialogForm>(kDialogForm);
  driver.Show(*form);
  EXPECT_EQ(driver.FocusedControl(), form->BitBtn1);
  driver.PressKey(VK_RETURN);
  driver.PressKey(VK_ESCAPE);  // no cancel button: nothing
  driver.PressKey(VK_TAB);
  EXPECT_EQ(driver.FocusedControl(), form->BitBtn2);
  driver.PressKey(VK_RETURN);  // the focused button, not the default one
  driver.PressKey(VK_TAB, MK_SHIFT);
  EXPECT_EQ(driver.FocusedControl(), form->BitBtn1);
  driver.Click(*form->BitBtn2, 10, 10);
  EXPECT_EQ(driver.FocusedControl(), form->BitBtn2);
  driver.MouseDown(*form->BitBtn1, 5, 5);
  driver.MouseUp(*form->BitBtn1, 200, 5);  // released outside: no click
  EXPECT_EQ(form->clicks, (std::vector<std::string>{"OK", "Cancelar", "Cancelar"}));
}

TEST(DialogForm, AltF4AndTheCloseButtonCloseTheMainForm) {
  for (int way = 0; way < 2; ++way) {
    HeadlessDriver driver;
    auto* form = driver.App().CreateForm<TDialogForm>(kDialogForm);
    driver.Show(*form);
    if (way == 0) {
      driver.PressKey(VK_F4, MK_ALT);
    } else {
      driver.Backend().Sink()->CloseRequest(form->Handle());
      driver.RunUntilIdle();
    }
    EXPECT_TRUE(driver.App().Terminated()) << way;
    EXPECT_TRUE(form->clicks.empty());
  }
}

TEST(ErrorBox, AppendsAPeriodOnlyAfterABytePastThePeriod) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"Unable to create directory", "Unable to create directory."},
      {"Unable to write to tesqueln.ini", "Unable to write to tesqueln.ini."},
      {"must have a value.", "must have a value."},
      {"Pronto!", "Pronto!"},
      {"(x)", "(x)"},
      {"Sim?", "Sim?."},  // "?" sorts after "." in byte order
      {"blank ", "blank "},
      {"minus-", "minus-"},
      {"1", "1."},
      {"F:\\DADOS/", "F:\\DADOS/."},
      {"drive:", "drive:."},
      {std::string("ação"_ansi), std::string("ação."_ansi)},
  };
  for (const Case& c : cases) EXPECT_EQ(TApplication::ErrorBoxText(c.in), c.out) << c.in;
}

TEST(ErrorBox, AnExceptionInOnCreateIsShownAndTheFormStillComes) {
  HeadlessDriver driver;
  driver.App().SetTitle("Assistente de Configuração"_ansi);
  auto* form = driver.App().CreateForm<TDialogForm>(kDialogForm);
  form->SetOnCreate(classes::TNotifyEvent::FromFunction([](classes::TObject*) {
    throw rtl::EInOutError("Unable to create directory");
  }));
  form->DoCreate();
  ASSERT_EQ(driver.Boxes().size(), 1u);
  EXPECT_EQ(driver.Boxes()[0].text, "Unable to create directory.");
  EXPECT_EQ(driver.Boxes()[0].caption, "Assistente de Configuração"_ansi);
}

// A description that cannot be read is an error like any other: the application shows it in its
// error box, and no form is left.
TEST(ReadingForms, AnUnknownPropertyIsShownInTheErrorBoxAndNoFormIsLeft) {
  HeadlessDriver driver;
  driver.App().SetTitle(std::string("Programa"));
  TDialogForm* reference = nullptr;
  EXPECT_EQ(driver.App().CreateForm<TDialogForm>("object FConfig: TDialogForm\n  Nonsense = 1\nend\n", &reference),
            nullptr);
  EXPECT_EQ(reference, nullptr);
  ASSERT_EQ(driver.Boxes().size(), 1u);
  EXPECT_EQ(driver.Boxes()[0].kind, BoxRequest::Error);
  EXPECT_EQ(driver.Boxes()[0].caption, "Programa");
  EXPECT_NE(driver.Boxes()[0].text.find("Nonsense"), std::string::npos) << driver.Boxes()[0].text;
  EXPECT_EQ(driver.App().ErrorBoxCount(), 1);
  EXPECT_EQ(Screen->FormCount(), 0);
  EXPECT_EQ(driver.App().MainForm(), nullptr);
  driver.App().Run();  // nothing to run
}

TEST(ConsoleRun, MemoLinesAndBoxesGoToStandardOutputInUtf8) {
  ::testing::internal::CaptureStdout();
  {
    TApplication app(std::make_unique<HeadlessBackend>());
    app.SetTitle("Atualização"_ansi);
    auto* form = app.CreateForm<TLogForm>(kLogForm);
    app.Run();  // real clock: the 200 ms timer, the boxes take their default answers, then close
    EXPECT_EQ(form->answers, (std::vector<int>{mrYes}));
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Verificando Tabela ML2...\n"), std::string::npos) << out;
  EXPECT_NE(out.find("[Atualiza\xC3\xA7\xC3\xA3o] primeira mensagem\n"), std::string::npos) << out;
  EXPECT_NE(out.find("[Confirma\xC3\xA7\xC3\xA3o] Continuar?\n"), std::string::npos) << out;
  EXPECT_LT(out.find("primeira"), out.find("  campo CODIGO"));
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

// With a display (for example Xvfb), the on-screen backend opens a real window and shows the
// painted canvas; without one it is skipped.
TEST(OnScreen, TheScreenBackendOpensAWindowAndShowsTheCanvas) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display";
  std::unique_ptr<Backend> backend = CreateScreenBackend();
  if (!backend) GTEST_SKIP() << "the display cannot open a window";
  Backend* screen = backend.get();
  TApplication app(std::move(backend));
  EXPECT_TRUE(screen->OnScreen());
  auto* form = app.CreateForm<TLogForm>(kLogForm);
  form->Timer1->SetEnabled(false);
  form->Show();
  form->Memo1->Lines().Add("Verificando Tabela ML2...");
  for (int i = 0; i < 20; ++i) {
    app.ProcessMessages();
    screen->WaitForEvents(screen->GetClock().NowMs() + 10);
  }
  form->Repaint();
  Surface shown;
  ASSERT_TRUE(screen->ReadPresented(form->Handle(), shown));
  EXPECT_EQ(shown.width, 417);
  EXPECT_EQ(shown.height, 323);
  EXPECT_EQ(shown.At(0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(shown.At(200, 200), ColorToRGB(clWindow));
  if (const char* dir = std::getenv("TULMEVARA_SCREENSHOT_DIR")) {
    TBitmap b;
    b.SetSize(shown.width, shown.height);
    b.Pixels().pixels = shown.pixels;
    EXPECT_TRUE(b.SaveToBmpFile(std::string(dir) + "/log-window-screen.bmp"));
  }
}

}  // namespace
}  // namespace ui
