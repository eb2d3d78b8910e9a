// The main road: the reference installation brought up to its templates, field by field,
// with every record and memo kept, the index files gone and the user told what to do next.
#include <gtest/gtest.h>

#include "installation.h"
#include "platform/rtl/paths.h"
#include "restructure_log.h"
#include "table_check.h"
#include "updater_run.h"

namespace updatertest {
namespace {

// The installed table holds the dump's fields first, in their order, then the added ones;
// every record keeps its number, deleted mark and values, memos included, and the added
// fields are empty.
void ExpectKeepsEveryRecord(const TableContents& table, const TableContents& dump,
                            const std::vector<FieldInfo>& added) {
  std::vector<FieldInfo> fields = dump.fields;
  fields.insert(fields.end(), added.begin(), added.end());
  ASSERT_EQ(table.fields, fields);
  ASSERT_EQ(table.records.size(), dump.records.size());
  for (std::size_t n = 0; n < dump.records.size(); ++n) {
    const RecordValues& got = table.records[n];
    const RecordValues& want = dump.records[n];
    SCOPED_TRACE("record " + std::to_string(want.recno));
    EXPECT_EQ(got.recno, want.recno);
    EXPECT_EQ(got.deleted, want.deleted);
    for (std::size_t i = 0; i < dump.fields.size(); ++i)
      EXPECT_TRUE(SameValue(dump.fields[i].type, got.values[i], want.values[i]))
          << dump.fields[i].name << ": '" << got.values[i] << "' instead of '" << want.values[i] << "'";
    for (std::size_t i = dump.fields.size(); i < fields.size(); ++i)
      EXPECT_TRUE(got.empty[i]) << fields[i].name << " holds '" << got.values[i] << "'";
  }
}

TEST(UpdaterRun, BringsBothTablesUpToTheirTemplatesKeepingEveryRecord) {
  REQUIRE_FIXTURES();
  Installation installation;
  const RunResult run = RunUpdater(installation);

  EXPECT_EQ(run.dataPath, "F:\\DADOS");
  EXPECT_EQ(run.templatePath, rtl::WindowsPathOfHost(installation.Templates().string()));
  EXPECT_EQ(run.log, Concat({LogOf("ML2"), LogOf("ML6")}));
  // One request per missing field, in template order; the only box is the closing one.
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "add ML2 EMAIL,Char,50,0",
                          "add ML2 TABELA,Numeric,3,0",
                          "add ML2 DESCONTO,Numeric,15,4",
                          "add ML2 FATURA,Logical,1,0",
                          "add ML2 DTALT,Date,8,0",
                          "add ML6 MATERIAL,Char,30,0",
                          "add ML6 URGENTE,Logical,1,0",
                          "add ML6 QTD,Numeric,2,0",
                          "add ML6 COLETADO,Date,8,0",
                          "box " + ClosingMessage(),
                          "close",
                      }));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].kind, ui::BoxRequest::Message);
  EXPECT_EQ(run.boxes[0].caption, Title());
  EXPECT_EQ(run.boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(run.indexFilesAtBox[0].empty());
  EXPECT_TRUE(installation.IndexFilesPresent().empty());
  EXPECT_TRUE(run.windowClosed);

  ExpectKeepsEveryRecord(ReadTable(installation.Data(), "ML2"), ReadDump("ml2-installed.txt"),
                         {{"EMAIL", 'C', 50, 0},
                          {"TABELA", 'N', 3, 0},
                          {"DESCONTO", 'N', 15, 4},
                          {"FATURA", 'L', 1, 0},
                          {"DTALT", 'D', 8, 0}});
  ExpectKeepsEveryRecord(ReadTable(installation.Data(), "ML6"), ReadDump("ml6-installed.txt"),
                         {{"MATERIAL", 'C', 30, 0}, {"URGENTE", 'L', 1, 0}, {"QTD", 'N', 2, 0}, {"COLETADO", 'D', 8, 0}});
  // The templates are only read.
  for (const char* file : {"ML2.DBF", "ML2.DBT", "ML6.DBF"})
    EXPECT_EQ(ReadBytes(installation.Templates() / file), ReadBytes(testsupport::FixturesDir() / "ml/templates" / file))
        << file;
}

TEST(UpdaterRun, ASecondRunFindsNothingToAdd) {
  REQUIRE_FIXTURES();
  Installation installation;
  RunUpdater(installation);
  const RunResult again = RunUpdater(installation);
  EXPECT_EQ(again.log, Concat({LogOf("ML2"), LogOf("ML6")}));
  // The index files are gone already: each one has its message, in order, then the closing one.
  std::vector<std::string> expected;
  for (const char* name : {"ml21", "ml22", "ml23", "ml24", "ml61", "ml62"})
    expected.push_back("box " + IndexFileMessage("F:\\DADOS\\" + std::string(name) + ".ntx"));
  expected.push_back("box " + ClosingMessage());
  expected.push_back("close");
  EXPECT_EQ(Events(), expected);
  EXPECT_TRUE(again.windowClosed);
}

}  // namespace
}  // namespace updatertest
