// The run's edge cases, one installation each: what the log shows, which restructure requests
// and boxes come in which order, whether the window closes, and which index files are left.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "flock_holder.h"
#include "holder_process.h"
#include "installation.h"
#include "platform/xbe/xbe.h"
#include "restructure_log.h"
#include "table_check.h"
#include "updater_run.h"

namespace updatertest {
namespace {

const std::vector<std::string> kMl2Adds = {"add ML2 EMAIL,Char,50,0", "add ML2 TABELA,Numeric,3,0",
                                           "add ML2 DESCONTO,Numeric,15,4", "add ML2 FATURA,Logical,1,0",
                                           "add ML2 DTALT,Date,8,0"};
const std::vector<std::string> kMl6Adds = {"add ML6 MATERIAL,Char,30,0", "add ML6 URGENTE,Logical,1,0",
                                           "add ML6 QTD,Numeric,2,0", "add ML6 COLETADO,Date,8,0"};

std::vector<std::string> Closing() { return {"box " + ClosingMessage(), "close"}; }

std::vector<std::string> Replaced(std::vector<std::string> lines, const std::string& from, const std::string& to) {
  for (auto& l : lines)
    if (l == from) l = to;
  return lines;
}

struct Scenario {
  const char* name;
  // Changes the installation; what it returns lives until the run has ended.
  std::function<std::shared_ptr<void>(Installation&)> prepare;
  std::vector<std::string> log;
  // Restructure requests and boxes in order; an entry ending in "*" matches by its beginning.
  std::vector<std::string> events;
  bool windowClosed;
  std::vector<std::string> indexFilesLeft;
  std::function<void(const Installation&, const RunResult&)> alsoCheck;
};

void ExpectEvents(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  EXPECT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    if (!want[i].empty() && want[i].back() == '*')
      EXPECT_EQ(got[i].substr(0, want[i].size() - 1), want[i].substr(0, want[i].size() - 1)) << "event " << i;
    else
      EXPECT_EQ(got[i], want[i]) << "event " << i;
  }
  if (got.size() != want.size())
    for (const auto& e : got) ADD_FAILURE() << "event: " << e;
}

std::vector<FieldInfo> FieldsOf(const Installation& in, const std::string& table) {
  return ReadTable(in.Data(), table).fields;
}

// Built when the tests are registered, after every table of the other files exists.
std::vector<Scenario> Scenarios() {
  return {
    {"InstalledTablesAlreadyLikeTheTemplates",
     [](Installation& in) {
       for (const char* f : {"ML2.DBF", "ML2.DBT", "ML6.DBF"})
         fs::copy_file(in.Templates() / f, in.Data() / f, fs::copy_options::overwrite_existing);
       return nullptr;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}), Closing(), true, {}, nullptr},

    {"StoredFieldNameWithATrailingBlankIsFound",
     [](Installation& in) {
       RenameFieldInHeader(in.Data() / "ML2.DBF", "UF", "UF ");
       return nullptr;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}), Concat({kMl2Adds, kMl6Adds, Closing()}), true, {}, nullptr},

    {"TemplateFieldDifferingInCaseIsAdded",
     [](Installation& in) {
       RenameFieldInHeader(in.Templates() / "ML6.DBF", "CODPAC", "CodPac");
       return nullptr;
     },
     Concat({LogOf("ML2"), Replaced(LogOf("ML6", "CODPAC"), "  campo CODPAC", "  campo CodPac")}),
     // The engine knows field names without regard to case and refuses a second CODPAC.
     Concat({kMl2Adds, {"add ML6 CodPac,Numeric,15,4", "box " + RestructureFailureMessage("ML6")}, Closing()}), true,
     {},
     [](const Installation& in, const RunResult&) {
       const auto fields = FieldsOf(in, "ML6");
       EXPECT_EQ(fields.size(), 6u);  // nothing was added to ML6
     }},

    {"RestructureRefusedWhileAnotherStationHoldsMl2",
     [](Installation& in) {
       auto holder = std::make_shared<HolderProcess>(in.Data(), "ML2");
       EXPECT_TRUE(holder->Holding());
       return holder;
     },
     Concat({LogOf("ML2", "EMAIL"), LogOf("ML6")}),
     Concat({{kMl2Adds[0], "box " + RestructureFailureMessage("ML2")}, kMl6Adds, Closing()}), true, {},
     [](const Installation& in, const RunResult&) {
       for (const char* f : {"ML2.DBF", "ML2.DBT"})
         EXPECT_EQ(ReadBytes(in.Data() / f), ReadBytes(testsupport::FixturesDir() / "ml/installed" / f)) << f;
       EXPECT_EQ(FieldsOf(in, "ML6").size(), 10u);
     }},

    {"RestructureRefusedWhileAnotherProgramFlocksMl2",
     [](Installation& in) {
       auto holder = std::make_shared<testsupport::FlockHolder>(in.Data() / "ML2.DBF", false);
       EXPECT_TRUE(holder->Holding());
       return holder;
     },
     Concat({LogOf("ML2", "EMAIL"), LogOf("ML6")}),
     Concat({{kMl2Adds[0], "box " + RestructureFailureMessage("ML2")}, kMl6Adds, Closing()}), true, {},
     [](const Installation& in, const RunResult&) {
       for (const char* f : {"ML2.DBF", "ML2.DBT"})
         EXPECT_EQ(ReadBytes(in.Data() / f), ReadBytes(testsupport::FixturesDir() / "ml/installed" / f)) << f;
     }},

    {"IndexFileFlockedByAnotherProgramStays",
     [](Installation& in) {
       auto holder = std::make_shared<testsupport::FlockHolder>(in.Data() / "ML22.NTX", false);
       EXPECT_TRUE(holder->Holding());
       return holder;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}),
     Concat({kMl2Adds, kMl6Adds, {"box " + IndexFileMessage("F:\\DADOS\\ml22.ntx")}, Closing()}), true,
     {"ML22.NTX"}, nullptr},

    {"IndexFileOpenInAnotherStationStays",
     [](Installation& in) {
       auto holder = std::make_shared<HolderProcess>(in.Data(), "ML6", "ML61.NTX");
       EXPECT_TRUE(holder->Holding());
       return holder;
     },
     Concat({LogOf("ML2"), LogOf("ML6", "MATERIAL")}),
     Concat({kMl2Adds,
             {kMl6Adds[0], "box " + RestructureFailureMessage("ML6"), "box " + IndexFileMessage("F:\\DADOS\\ml61.ntx")},
             Closing()}),
     true, {"ML61.NTX"}, nullptr},

    {"MissingMl24IndexFile",
     [](Installation& in) {
       fs::remove(in.Data() / "ML24.NTX");
       return nullptr;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}),
     Concat({kMl2Adds, kMl6Adds, {"box " + IndexFileMessage("F:\\DADOS\\ml24.ntx")}, Closing()}), true, {},
     [](const Installation&, const RunResult& run) {
       // Shown after ml21 to ml23 were deleted and before ml61 and ml62 were.
       ASSERT_FALSE(run.indexFilesAtBox.empty());
       EXPECT_EQ(run.indexFilesAtBox[0], (std::vector<std::string>{"ML61.NTX", "ML62.NTX"}));
     }},

    {"MissingTemplateMl6",
     [](Installation& in) {
       fs::remove(in.Templates() / "ML6.DBF");
       return nullptr;
     },
     Concat({LogOf("ML2"), {"Verificando Tabela ML6..."}}), Concat({kMl2Adds, {"error Atualizada: *"}}), false,
     kIndexFiles,
     [](const Installation& in, const RunResult& run) {
       ASSERT_EQ(run.boxes.size(), 1u);
       EXPECT_EQ(run.boxes[0].caption, Title());
       EXPECT_EQ(run.boxes[0].text.back(), '.');
       EXPECT_EQ(FieldsOf(in, "ML2").size(), 14u);
       EXPECT_EQ(FieldsOf(in, "ML6").size(), 6u);
     }},

    {"EmptyPathLis",
     [](Installation& in) {
       in.WriteIni("[BD]\r\nPathLIS=\r\n");
       return nullptr;
     },
     {"Verificando Tabela ML2..."},
     {"error EmUso: One of the DatabaseName property or the XbeConnection property must have a value."}, false,
     kIndexFiles,
     [](const Installation&, const RunResult& run) {
       EXPECT_EQ(run.dataPath, "");
       ASSERT_EQ(run.boxes.size(), 1u);
       EXPECT_EQ(run.boxes[0].caption, Title());
     }},

    {"NoIniFileMeansDriveF",
     [](Installation& in) {
       in.RemoveIni();
       in.MoveDataTo("TULMEVAR");
       return nullptr;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}), Concat({kMl2Adds, kMl6Adds, Closing()}), true, {},
     [](const Installation&, const RunResult& run) { EXPECT_EQ(run.dataPath, "F:\\TULMEVAR"); }},

    {"MissingMemoFieldIsAddedAsAMemo",
     [](Installation& in) {
       XBEHANDLE connection = 0;
       EXPECT_EQ(XbeConnect(in.Data().string().c_str(), &connection), 0u);
       const std::string name = in.Data().string() + "\\ML2";
       EXPECT_EQ(EngineRestructure(connection, name.c_str(), "", "OBS", ""), 0u) << LastEngineError();
       XbeDisconnect(connection);
       return nullptr;
     },
     Concat({LogOf("ML2"), LogOf("ML6")}), Concat({kMl2Adds, {"add ML2 OBS,Memo,10,0"}, kMl6Adds, Closing()}), true,
     {},
     [](const Installation& in, const RunResult&) {
       const TableContents ml2 = ReadTable(in.Data(), "ML2");
       ASSERT_EQ(ml2.fields.size(), 14u);
       EXPECT_EQ(ml2.fields.back(), (FieldInfo{"OBS", 'M', 10, 0}));
       EXPECT_EQ(ml2.records.size(), 60u);
     }},
  };
}

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class UpdaterScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(UpdaterScenario, Run) {
  REQUIRE_FIXTURES();
  const Scenario& s = GetParam();
  Installation installation;
  std::shared_ptr<void> kept = s.prepare(installation);
  const RunResult run = RunUpdater(installation);
  kept.reset();

  EXPECT_EQ(run.log, s.log);
  ExpectEvents(Events(), s.events);
  for (const ui::BoxRequest& box : run.boxes) EXPECT_EQ(box.caption, Title()) << box.text;
  EXPECT_EQ(run.windowClosed, s.windowClosed);
  EXPECT_EQ(installation.IndexFilesPresent(), s.indexFilesLeft);
  if (s.alsoCheck) s.alsoCheck(installation, run);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, UpdaterScenario, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace updatertest
