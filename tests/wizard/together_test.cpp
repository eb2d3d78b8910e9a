// The two programs together: the wizard stores where the installed tables now are, and the
// updater, run from the templates folder, reads that path and updates the tables there.
#include <gtest/gtest.h>

#include "installation.h"
#include "platform/rtl/inifile.h"
#include "platform/ui/testdriver.h"
#include "updater_run.h"
#include "wizard/uconfig.h"

namespace updatertest {
namespace {

TEST(WizardThenUpdater, TheUpdaterUpdatesTheTablesWhereTheWizardPointed) {
  REQUIRE_FIXTURES();
  Installation installation;
  installation.RemoveIni();
  installation.MoveDataTo("TULMEVAR");
  {
    testsupport::ScopedEnv windir("WINDIR", installation.WindowsDir().string());
    RegisterEditorControls();
    ui::HeadlessDriver driver;
    TFConfig* form = driver.App().CreateForm<TFConfig>(kFConfigDescription);
    driver.Show(*form);
    ASSERT_EQ(form->EDTul->Text(), "f:\\tulmevar");  // no INI file yet
    driver.AnswerDirectoryDialogs([](const ui::BoxRequest&) -> std::optional<std::string> { return "F:\\TULMEVAR"; });
    TEditButton* b = form->EDTul->EmbeddedButton();
    driver.Click(*b, b->Width() / 2, b->Height() / 2);
    driver.Click(*form->BitBtn1, 10, 10);
    // The directory dialog, then the question: this installation holds no "ml5.dbf"; Yes.
    ASSERT_EQ(driver.Boxes().size(), 2u);
    EXPECT_EQ(driver.Boxes()[1].kind, ui::BoxRequest::Confirmation);
    EXPECT_TRUE(driver.App().Terminated() || !form->Visible());
    EXPECT_EQ(rtl::TIniFile("tesqueln.ini").ReadString("BD", "PathLIS", ""), "F:\\TULMEVAR");
  }

  const RunResult run = RunUpdater(installation);
  EXPECT_EQ(run.dataPath, "F:\\TULMEVAR");
  EXPECT_EQ(run.log, Concat({LogOf("ML2"), LogOf("ML6")}));
  EXPECT_TRUE(run.windowClosed);
  EXPECT_TRUE(installation.IndexFilesPresent().empty());
}

}  // namespace
}  // namespace updatertest
