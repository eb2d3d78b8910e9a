// The wizard's dialog end to end, headless: what it shows, what OK creates, asks and stores,
// and that every other way out leaves the INI file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifile.h"
#include "platform/ui/testdriver.h"
#include "testsupport.h"
#include "wizard/uconfig.h"

namespace {

using namespace rtl::literals;
namespace fs = std::filesystem;

class WizardTest : public ::testing::Test {
 protected:
  WizardTest() : env("WINDIR", windows.str()) {
    fs::create_directories(drive());
    RegisterEditorControls();
  }
  fs::path drive() const { return windows.path() / "drives" / "f"; }
  fs::path ini() const { return windows.path() / "tesqueln.ini"; }
  void WriteIni(const std::string& path) {
    std::ofstream(ini(), std::ios::binary) << "[BD]\r\nPathLIS=" << path << "\r\n";
  }
  std::string IniBytes() const {
    std::ifstream in(ini(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Stored() const { return rtl::TIniFile("tesqueln.ini").ReadString("BD", "PathLIS", "<none>"); }
  void Tulmevara(const fs::path& dir) {
    fs::create_directories(dir);
    std::ofstream(dir / "ML5.DBF") << "x";
  }
  TFConfig& Open() {
    form = driver.App().CreateForm<TFConfig>(kFConfigDescription);
    driver.Show(*form);
    return *form;
  }
  void Ok() { driver.Click(*form->BitBtn1, 10, 10); }
  bool Ended() { return driver.App().Terminated() || !form->Visible(); }
  std::vector<ui::BoxRequest> Questions() const {
    std::vector<ui::BoxRequest> out;
    for (const auto& b : driver.Boxes())
      if (b.kind == ui::BoxRequest::Confirmation) out.push_back(b);
    return out;
  }

  testsupport::TempDir windows;
  testsupport::ScopedEnv env;
  ui::HeadlessDriver driver;
  TFConfig* form = nullptr;
};

TEST_F(WizardTest, TheDialogAsStored) {
  TFConfig& f = Open();
  EXPECT_EQ(f.Caption(), "Assistente de Instalação"_ansi);
  EXPECT_EQ(f.ClientWidth(), 361);
  EXPECT_EQ(f.ClientHeight(), 141);
  EXPECT_EQ(f.Label3->Caption(), "Path do Tulmevara");
  EXPECT_TRUE(f.BitBtn1->Default());
  EXPECT_FALSE(f.BitBtn2->Cancel());
  EXPECT_EQ(f.BitBtn2->Caption(), "Cancelar");
  EXPECT_EQ(f.EDTul->BoundsRect(), ui::Bounds(31, 30, 300, 21));
  EXPECT_EQ(f.EDTul->DialogKind(), dkStandard);
  EXPECT_EQ(f.EDTul->GlyphKind(), gkDefault);
  EXPECT_EQ(f.EDTul->ButtonWidth(), 21);
  EXPECT_EQ(driver.FocusedControl(), f.BitBtn1);  // first in the tab order
}

TEST_F(WizardTest, NoIniShowsTheDefaultAndAnExistingInstallationIsStoredWithoutAQuestion) {
  Tulmevara(drive() / "tulmevar");
  TFConfig& f = Open();
  EXPECT_EQ(f.EDTul->Text(), "f:\\tulmevar");
  Ok();
  EXPECT_TRUE(Questions().empty());
  EXPECT_EQ(Stored(), "f:\\tulmevar");
  EXPECT_TRUE(Ended());
}

// A letter without a drive behind it: nothing can be created or found there, so OK goes
// straight to the question, even for a path that exists below the host root.
TEST_F(WizardTest, OnALetterWithoutADriveOkCreatesNothingAndAsks) {
  fs::remove_all(drive());
  testsupport::TempDir host;
  fs::create_directories(host.path() / "TULMEVAR");
  std::ofstream(host.path() / "TULMEVAR" / "ml5.dbf") << "x";
  std::string below = host.str() + "/TULMEVAR";  // the installation, written as if on Q:
  for (char& c : below)
    if (c == '/') c = '\\';
  const struct {
    std::optional<std::string> ini;  // none: no INI file, the default path
    std::string path;
  } cases[] = {{std::nullopt, "f:\\tulmevar"}, {"Q:" + below, "Q:" + below}};
  for (const auto& c : cases) {
    fs::remove(ini());
    if (c.ini) WriteIni(*c.ini);
    const std::string before = IniBytes();
    ui::HeadlessDriver local;
    TFConfig* f = local.App().CreateForm<TFConfig>(kFConfigDescription);
    local.Show(*f);
    EXPECT_EQ(f->EDTul->Text(), c.path);
    local.AnswerBoxes([](const ui::BoxRequest&) { return std::optional<int>(ui::IDNO); });
    local.Click(*f->BitBtn1, 10, 10);
    ASSERT_EQ(local.Boxes().size(), 1u) << c.path;
    EXPECT_EQ(local.Boxes()[0].text,
              std::string("Não foi encontrado o Tulmevara em "_ansi) + c.path + ". Desja continuar assim mesmo?");
    EXPECT_EQ(IniBytes(), before) << c.path;
  }
  EXPECT_FALSE(fs::exists("/tulmevar"));  // the host root was never the drive
}

TEST_F(WizardTest, TheStoredPathFillsTheFieldOnce) {
  WriteIni("F:\\DADOS");
  Tulmevara(drive() / "DADOS");
  TFConfig& f = Open();
  EXPECT_EQ(f.EDTul->Text(), "F:\\DADOS");
  f.EDTul->SetText("F:\\OUTRO");
  // A box closing hands the focus back: the field is not refilled.
  driver.AnswerBoxes([](const ui::BoxRequest&) { return std::optional<int>(ui::IDNO); });
  Ok();
  EXPECT_EQ(f.EDTul->Text(), "F:\\OUTRO");
  EXPECT_FALSE(Ended());
}

TEST_F(WizardTest, AMissingDirectoryIsCreatedThenAskedAbout) {
  WriteIni("F:\\DADOS");
  const std::string before = IniBytes();
  TFConfig& f = Open();
  f.EDTul->SetText("F:\\NOVO\\DADOS");
  driver.AnswerBoxes([](const ui::BoxRequest&) { return std::optional<int>(ui::IDNO); });
  Ok();
  ASSERT_EQ(Questions().size(), 1u);
  const ui::BoxRequest q = Questions()[0];
  EXPECT_EQ(q.caption, "Confirmação"_ansi);
  EXPECT_EQ(q.text, "Não foi encontrado o Tulmevara em F:\\NOVO\\DADOS. Desja continuar assim mesmo?"_ansi);
  EXPECT_EQ(q.icon, ui::BoxRequest::QuestionIcon);
  EXPECT_EQ(q.buttons, (std::vector<std::string>{"&Sim", std::string("&Não"_ansi)}));
  EXPECT_EQ(q.defaultResult, ui::IDYES);
  EXPECT_EQ(q.escapeResult, ui::IDNO);
  // No: the new directory stays, nothing is written, the dialog stays open.
  EXPECT_TRUE(fs::is_directory(drive() / "NOVO" / "DADOS"));
  EXPECT_EQ(IniBytes(), before);
  EXPECT_FALSE(Ended());
  EXPECT_EQ(f.EDTul->Text(), "F:\\NOVO\\DADOS");

  driver.AnswerBoxes([](const ui::BoxRequest&) { return std::optional<int>(ui::IDYES); });
  Ok();
  EXPECT_EQ(Stored(), "F:\\NOVO\\DADOS");
  EXPECT_TRUE(Ended());
}

TEST_F(WizardTest, TheQuestionDecidesByTheFileTest) {
  fs::create_directories(drive() / "dirfile" / "ml5.dbf");  // a directory, not a file
  Tulmevara(drive() / "com barra");
  Tulmevara(drive());
  const struct {
    std::string path;
    bool asked;
    std::optional<int> answer;
    std::string stored;
  } cases[] = {
      {"F:\\dirfile", true, ui::IDYES, "F:\\dirfile"},
      {"F:\\com barra\\", false, std::nullopt, "F:\\com barra\\"},  // trailing "\" kept
      {"F:", false, std::nullopt, "F:"},                           // two characters: no creation
      {"F:\\sem", true, ui::IDCANCEL, "F:\\sem"},                  // the close button stores
  };
  for (const auto& c : cases) {
    fs::remove(ini());
    ui::HeadlessDriver local;  // a fresh program each time
    TFConfig* f = local.App().CreateForm<TFConfig>(kFConfigDescription);
    local.Show(*f);
    f->EDTul->SetText(c.path);
    local.AnswerBoxes([&](const ui::BoxRequest&) { return c.answer ? c.answer : std::optional<int>(ui::IDYES); });
    local.Click(*f->BitBtn1, 10, 10);
    EXPECT_EQ(local.Boxes().size(), c.asked ? 1u : 0u) << c.path;
    EXPECT_EQ(Stored(), c.stored) << c.path;
  }
}

TEST_F(WizardTest, EnterInTheFieldPressesOk) {
  Tulmevara(drive() / "DADOS");
  TFConfig& f = Open();
  f.EDTul->SetFocus();
  driver.RunUntilIdle();
  driver.PressKey(ui::VK_END);
  for (int i = 0; i < 8; ++i) driver.PressKey(ui::VK_BACK);  // "f:\tulmevar" -> "f:\"
  driver.Type("DADOS");
  EXPECT_EQ(f.EDTul->Text(), "f:\\DADOS");
  driver.PressKey(ui::VK_RETURN);
  EXPECT_EQ(f.EDTul->Text(), "f:\\DADOS");  // no line break entered
  EXPECT_EQ(Stored(), "f:\\DADOS");
  EXPECT_TRUE(Ended());
}

TEST_F(WizardTest, ADirectoryPickedWithTheButtonOrAltDownIsStored) {
  Tulmevara(drive() / "ESCOLHIDO");
  for (bool byKey : {false, true}) {
    fs::remove(ini());
    ui::HeadlessDriver local;
    TFConfig* f = local.App().CreateForm<TFConfig>(kFConfigDescription);
    local.Show(*f);
    std::vector<std::string> openedAt;
    local.AnswerDirectoryDialogs([&](const ui::BoxRequest& r) -> std::optional<std::string> {
      openedAt.push_back(r.directory);
      return std::string("F:\\ESCOLHIDO");
    });
    if (byKey) {
      f->EDTul->SetFocus();
      local.RunUntilIdle();
      local.PressKey(ui::VK_DOWN, ui::MK_ALT);
    } else {
      TEditButton* b = f->EDTul->EmbeddedButton();
      local.Click(*b, b->Width() / 2, b->Height() / 2);
    }
    ASSERT_EQ(openedAt.size(), 1u) << byKey;
    // "f:\tulmevar" does not exist: the dialog opens at the root of the current drive.
    EXPECT_EQ(openedAt[0].substr(1), ":\\") << byKey;
    EXPECT_EQ(f->EDTul->Text(), "F:\\ESCOLHIDO") << byKey;
    EXPECT_EQ(local.FocusedControl(), f->EDTul) << byKey;
    local.Click(*f->BitBtn1, 10, 10);
    EXPECT_TRUE(local.Boxes().size() == 1u) << byKey;  // only the directory dialog
    EXPECT_EQ(Stored(), "F:\\ESCOLHIDO") << byKey;
  }
}

TEST_F(WizardTest, EveryOtherWayOutLeavesTheIniFileAsItWas) {
  WriteIni("F:\\ANTIGO");
  const std::string before = IniBytes();
  for (int way = 0; way < 3; ++way) {
    ui::HeadlessDriver local;
    TFConfig* f = local.App().CreateForm<TFConfig>(kFConfigDescription);
    local.Show(*f);
    f->EDTul->SetText("F:\\NOVO");
    if (way == 0) local.Click(*f->BitBtn2, 10, 10);
    else if (way == 1) local.Windows().CloseRequest(f->Handle());
    else local.PressKey(ui::VK_F4, ui::MK_ALT);
    local.RunUntilIdle();
    EXPECT_TRUE(local.App().Terminated() || !f->Visible()) << way;
    EXPECT_EQ(IniBytes(), before) << way;
  }
  EXPECT_FALSE(fs::exists(drive() / "NOVO"));
}

TEST_F(WizardTest, FailuresShowTheErrorBoxAndStoreNothing) {
  TFConfig& f = Open();
  driver.App().SetTitle("Assistente de Configuração"_ansi);
  f.EDTul->SetText("");
  Ok();
  ASSERT_FALSE(driver.Boxes().empty());
  EXPECT_EQ(driver.Boxes().back().kind, ui::BoxRequest::Error);
  EXPECT_EQ(driver.Boxes().back().text, "Unable to create directory.");
  EXPECT_EQ(driver.Boxes().back().caption, "Assistente de Configuração"_ansi);
  EXPECT_FALSE(fs::exists(ini()));
  EXPECT_FALSE(Ended());

  WriteIni("F:\\ANTIGO");
  fs::permissions(ini(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = IniBytes();
  Tulmevara(drive() / "DADOS");
  f.EDTul->SetText("F:\\DADOS");
  Ok();
  EXPECT_EQ(driver.Boxes().back().text, "Unable to write to tesqueln.ini.");
  EXPECT_EQ(IniBytes(), before);
  EXPECT_FALSE(Ended());
}

}  // namespace
