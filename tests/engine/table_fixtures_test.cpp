// The main road through the real engine: the updater's tables opened, read, listed,
// restructured and reopened on copies of the reference files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dump.h"
#include "enginetest.h"
#include "platform/classes/stringlist.h"
#include "platform/db/datetime.h"
#include "platform/rtl/codepage.h"
#include "testsupport.h"

namespace fs = std::filesystem;
using enginetest::Dump;
using enginetest::MessageOf;
using enginetest::UpdaterTable;

namespace {

std::string TrimRightBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Compares the current record of an open table with one record of a dump.
void ExpectRecord(TXbeTable& t, const Dump& dump, const enginetest::DumpRecord& r) {
  for (std::size_t i = 0; i < dump.fields.size(); ++i) {
    const auto& f = dump.fields[i];
    db::TField* field = t.FieldByName(f.name);
    const std::string& v = r.values[i];
    SCOPED_TRACE("record " + std::to_string(r.recno) + " field " + f.name + " value '" + v + "'");
    switch (f.type) {
      case 'C': {
        const std::string text = rtl::OemToAnsi(TrimRightBlanks(v));
        if (text.empty())
          EXPECT_TRUE(field->IsNull());
        else
          EXPECT_EQ(field->AsString(), text);
        break;
      }
      case 'N':
        if (TrimRightBlanks(v).empty()) {
          EXPECT_TRUE(field->IsNull());
        } else if (field->DataType() == db::ftSmallint) {
          EXPECT_EQ(field->AsInteger(), std::stoi(v));
        } else {
          EXPECT_NEAR(field->AsFloat(), std::stod(v), 1e-9);
        }
        break;
      case 'D':
        if (TrimRightBlanks(v).empty()) {
          EXPECT_TRUE(field->IsNull());
        } else {
          int y, m, d;
          db::DecodeDate(field->AsDateTime(), y, m, d);
          EXPECT_EQ(y * 10000 + m * 100 + d, std::stoi(v));
        }
        break;
      case 'L':
        EXPECT_EQ(field->AsBoolean(), v == "T");
        break;
      case 'M':
        // Memo contents are read through blob streams; the empty mark is the record's.
        EXPECT_EQ(field->IsNull(), v.empty());
        break;
    }
  }
}

class InstalledTables : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ml/installed", dir_.path() / "installed");
    testsupport::CopyFixture("ml/templates", dir_.path() / "templates");
    installed_ = (dir_.path() / "installed").string();
    templates_ = (dir_.path() / "templates").string();
  }
  void TearDown() override { XbeShowDeleted(0); }

  Dump ExpectedDump(const std::string& name) {
    return enginetest::ReadDump((testsupport::FixturesDir() / "expected" / name).string());
  }

  // Reads every visible record and compares it with the dump's records (deleted ones only
  // when they are shown).
  void ExpectAllRecords(TXbeTable& t, const Dump& dump, bool deletedShown) {
    std::vector<const enginetest::DumpRecord*> wanted;
    for (const auto& r : dump.records)
      if (deletedShown || !r.deleted) wanted.push_back(&r);
    std::size_t n = 0;
    for (t.First(); !t.Eof(); t.Next()) {
      ASSERT_LT(n, wanted.size());
      EXPECT_EQ(t.RecNo(), wanted[n]->recno);
      ExpectRecord(t, dump, *wanted[n]);
      ++n;
    }
    EXPECT_EQ(n, wanted.size());
  }

  testsupport::TempDir dir_;
  std::string installed_, templates_;
  classes::TComponent form_{nullptr};
};

TEST_F(InstalledTables, EveryFieldOfEveryRecordAgreesWithTheDumps) {
  for (const char* name : {"ML2", "ML6"}) {
    SCOPED_TRACE(name);
    const Dump dump = ExpectedDump(std::string(name == std::string("ML2") ? "ml2" : "ml6") + "-installed.txt");
    auto t = UpdaterTable(&form_, "EmUso", installed_, name, false);
    for (bool shown : {true, false}) {
      ASSERT_EQ(XbeShowDeleted(shown ? 1 : 0), 0u);
      t->Open();
      ASSERT_EQ(t->FieldCount(), static_cast<int>(dump.fields.size()));
      ExpectAllRecords(*t, dump, shown);
      t->Close();
    }
    EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);
  }
}

TEST_F(InstalledTables, OemTextArrivesAsAnsi) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML2", false);
  t->Open();
  // Record 1 holds "ANDRÉ LUIZ" and "BELÉM", stored in code page 850.
  EXPECT_EQ(t->FieldByName("NOMECONV")->AsString(), std::string("ANDR\xC9 LUIZ"));
  EXPECT_EQ(t->FieldByName("CIDADE")->AsString(), std::string("BEL\xC9M"));
}

struct ExpectedDef {
  const char* name;
  db::TFieldType type;
  int size;
  int dataSize;
};

TEST_F(InstalledTables, FieldDefinitionsOfBothTemplates) {
  const std::vector<ExpectedDef> ml2 = {
      {"CODCONV", db::ftSmallint, 0, 2}, {"NOMECONV", db::ftString, 40, 41}, {"CGC", db::ftString, 18, 19},
      {"EMAIL", db::ftString, 50, 51},   {"CIDADE", db::ftString, 25, 26},   {"UF", db::ftString, 2, 3},
      {"TABELA", db::ftSmallint, 0, 2},  {"VALORCH", db::ftFloat, 0, 8},     {"DESCONTO", db::ftFloat, 0, 8},
      {"ATIVO", db::ftBoolean, 0, 2},    {"FATURA", db::ftBoolean, 0, 2},    {"DTCAD", db::ftDate, 0, 4},
      {"DTALT", db::ftDate, 0, 4},       {"OBS", db::ftMemo, 1, -1}};
  const std::vector<ExpectedDef> ml6 = {
      {"NUMCOL", db::ftFloat, 0, 8},   {"CODPAC", db::ftFloat, 0, 8},      {"DATACOL", db::ftDate, 0, 4},
      {"HORACOL", db::ftString, 5, 6}, {"CODCONV", db::ftSmallint, 0, 2},  {"VALOR", db::ftFloat, 0, 8},
      {"MATERIAL", db::ftString, 30, 31}, {"URGENTE", db::ftBoolean, 0, 2}, {"QTD", db::ftSmallint, 0, 2},
      {"COLETADO", db::ftDate, 0, 4}};
  for (auto& [table, defs] : {std::pair{"ML2", ml2}, std::pair{"ML6", ml6}}) {
    SCOPED_TRACE(table);
    auto t = UpdaterTable(&form_, "Atualizada", templates_, table, true);
    t->Open();
    ASSERT_EQ(t->FieldCount(), static_cast<int>(defs.size()));
    ASSERT_EQ(t->FieldDefs().Count(), static_cast<int>(defs.size()));
    for (int i = 0; i < t->FieldCount(); ++i) {
      const db::TField* f = t->Fields()[i];
      SCOPED_TRACE(defs[i].name);
      EXPECT_EQ(f->FullName(), defs[i].name);
      EXPECT_EQ(f->DataType(), defs[i].type);
      EXPECT_EQ(t->FieldDefs().Items(i).Size(), defs[i].size);
      EXPECT_FALSE(t->FieldDefs().Items(i).Required());
      if (defs[i].dataSize >= 0) {
        EXPECT_EQ(f->DataSize(), defs[i].dataSize);
      }
      EXPECT_EQ(f->FieldNo(), i + 1);
    }
    // The template tables are empty.
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_TRUE(t->Eof());
    t->Close();
  }
}

TEST_F(InstalledTables, StringFieldsAreTheEnginesOwnClass) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML2", false);
  t->Open();
  auto* s = dynamic_cast<TXbeStringField*>(t->FieldByName("NOMECONV"));
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(s->CaseInsensitive());  // engine type 4, not 20
}

TEST_F(InstalledTables, FieldDefinitionsOfAClosedTableLeaveItClosed) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  t->FieldDefs().Update();
  EXPECT_EQ(t->FieldDefs().Count(), 6);
  EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);
  // No table is left open: it can be restructured at once.
  t->RestructureTable("EXTRA,Logical,1,0", "", "");
  t->FieldDefs().SetUpdated(false);
  t->FieldDefs().Update();
  EXPECT_EQ(t->FieldDefs().Count(), 7);
}

// A persistent string field shorter than its column: reading a record would copy the column
// past the field's buffer. The open refuses it instead.
TEST_F(InstalledTables, AShortPersistentStringFieldIsRefusedAtOpen) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML2", false);
  auto* name = new db::TStringField(t.get());
  name->SetFieldName("NOMECONV");
  name->SetSize(4);
  name->SetDataSet(t.get());
  const std::string message = MessageOf([&] { t->Open(); });
  EXPECT_EQ(message.rfind("EmUso: Tamanho incompat\xEDvel para o campo 'NOMECONV', esperado: ", 0), 0u) << message;
  EXPECT_FALSE(t->Active());
  name->SetSize(static_cast<int>(t->FieldDefs().Find("NOMECONV")->Size()));
  t->Open();
  EXPECT_EQ(name->AsString(), std::string("ANDR\xC9 LUIZ"));
}

TEST_F(InstalledTables, IndexDefinitionsOfAClosedTableOpenItBriefly) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  t->IndexDefs().Update();
  EXPECT_TRUE(t->IndexDefs().Updated());
  EXPECT_EQ(t->IndexDefs().Count(), 0);  // no index file is listed
  EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);
  t->RestructureTable("EXTRA,Date,8,0", "", "");  // nothing holds the table open
}

TEST_F(InstalledTables, RestructureAddsEmailAndKeepsEveryRecord) {
  const Dump dump = ExpectedDump("ml2-installed.txt");
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML2", false);
  ASSERT_EQ(XbeShowDeleted(1), 0u);
  t->Open();
  classes::TStringList names;
  t->GetFieldNames(names);
  ASSERT_EQ(names.Count(), 9);
  EXPECT_EQ(names[0], "CODCONV");
  EXPECT_EQ(names[8], "OBS");
  EXPECT_EQ(MessageOf([&] { t->RestructureTable("EMAIL,Char,50,0", "", ""); }),
            "EmUso: Cannot perform this operation on an open dataset");
  t->Close();

  t->RestructureTable("EMAIL,Char,50,0", "", "");

  t->Open();
  ASSERT_EQ(t->FieldCount(), 10);
  db::TField* email = t->Fields()[9];
  EXPECT_EQ(email->FullName(), "EMAIL");
  EXPECT_EQ(email->DataType(), db::ftString);
  EXPECT_EQ(email->DataSize(), 51);
  ExpectAllRecords(*t, dump, true);
  for (t->First(); !t->Eof(); t->Next()) EXPECT_TRUE(t->FieldByName("EMAIL")->IsNull());
}

// The updater's comparison: every template field the installed table lacks is added, one
// restructure request per field, and the records stay.
TEST_F(InstalledTables, TemplateFieldsAddedOneAtATime) {
  for (const char* name : {"ML2", "ML6"}) {
    SCOPED_TRACE(name);
    const Dump dump = ExpectedDump(std::string(name == std::string("ML2") ? "ml2" : "ml6") + "-installed.txt");
    auto templ = UpdaterTable(&form_, "Atualizada", templates_, name, true);
    auto inst = UpdaterTable(&form_, "EmUso", installed_, name, false);
    templ->Open();
    inst->Open();
    classes::TStringList present;
    inst->GetFieldNames(present);
    inst->Close();
    std::vector<std::pair<std::string, db::TFieldType>> added;
    for (int i = 0; i < templ->FieldCount(); ++i) {
      db::TField* f = templ->Fields()[i];
      if (present.IndexOf(f->FullName()) >= 0) continue;
      std::string definition = f->FullName() + ",";
      switch (f->DataType()) {
        case db::ftString: definition += "Char," + std::to_string(f->DataSize() - 1) + ",0"; break;
        case db::ftSmallint:
          definition += "Numeric," + std::to_string(templ->XbeFieldDefs().GetDef(i)->Length) + ",0";
          break;
        case db::ftFloat: definition += "Numeric,15,4"; break;
        case db::ftBoolean: definition += "Logical,1,0"; break;
        case db::ftDate: definition += "Date,8,0"; break;
        default: break;
      }
      inst->RestructureTable(definition, "", "");
      added.emplace_back(f->FullName(), f->DataType());
    }
    templ->Close();
    EXPECT_EQ(added.size(), name == std::string("ML2") ? 5u : 4u);

    ASSERT_EQ(XbeShowDeleted(1), 0u);
    inst->Open();
    EXPECT_EQ(inst->FieldCount(), present.Count() + static_cast<int>(added.size()));
    for (const auto& [field, type] : added) {
      db::TField* f = inst->FindField(field);
      ASSERT_NE(f, nullptr) << field;
      EXPECT_EQ(f->DataType(), type) << field;
    }
    ExpectAllRecords(*inst, dump, true);
    inst->Close();
  }
}

TEST_F(InstalledTables, RestructureRefusalKeepsTheTable) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  // A bare name with a comma is no field definition.
  const std::string message = MessageOf([&] { t->RestructureTable("OBS,", "", ""); });
  EXPECT_EQ(message.rfind("EmUso: ", 0), 0u) << message;
  t->Open();
  EXPECT_EQ(t->FieldCount(), 6);
}

TEST_F(InstalledTables, OpenFailuresNameTheComponent) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "NOSUCH", false);
  try {
    t->Open();
    FAIL() << "opened a missing table";
  } catch (const EXBEDatabaseError& e) {
    EXPECT_EQ(e.Message().rfind("EmUso: ", 0), 0u) << e.Message();
    EXPECT_NE(e.EngineCode, 0);
    EXPECT_NE(e.EngineCode, kXbeLayerErrorCode);
    EXPECT_EQ(e.DataSetName, "EmUso");
    EXPECT_EQ(e.DataSetTable, "NOSUCH");
    EXPECT_EQ(e.DataSetPath, installed_);
    EXPECT_EQ(e.DataSetDatabase, installed_);
  }
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(t->TableHandle(), 0xFFFFFFFFu);

  // A directory with a trailing separator resolves without it.
  t->SetDatabaseName(installed_ + "/");
  EXPECT_EQ(t->ResolveDatabasePath(), installed_);
}

TEST_F(InstalledTables, LayerMessagesAndThePrefixRule) {
  auto named = UpdaterTable(&form_, "EmUso", installed_, "", false);
  EXPECT_EQ(MessageOf([&] { named->Open(); }), "EmUso: Missing TableName property");
  auto unnamed = UpdaterTable(nullptr, "", installed_, "", false);
  EXPECT_EQ(MessageOf([&] { unnamed->Open(); }), "Missing TableName property");

  auto noDirectory = UpdaterTable(&form_, "Atualizada", "", "ML2", true);
  EXPECT_EQ(MessageOf([&] { noDirectory->Open(); }),
            "Atualizada: One of the DatabaseName property or the XbeConnection property must have a value.");

  auto t = UpdaterTable(&form_, "Tabela", installed_, "ML6", false);
  t->Open();
  EXPECT_EQ(MessageOf([&] { t->SetTableName("ML2"); }), "Tabela: Cannot perform this operation on an open dataset");
  EXPECT_EQ(MessageOf([&] { t->SetDatabaseName("x"); }), "Tabela: Cannot perform this operation on an open dataset");
  EXPECT_EQ(MessageOf([&] { t->XbeTableOptions().SetXbeCharType(ANSI); }), "Tabela: Table must not be Active.");
  EXPECT_EQ(t->XbeTableOptions().XbeCharType(), OEM);
  EXPECT_EQ(MessageOf([&] { t->SetExclusive(true); }), std::string("Tabela: ") + std::string(db::kDataSetOpenText));
  EXPECT_EQ(MessageOf([&] { t->OpenIndexFile("ML61.NTX"); }), "<no exception>");
  EXPECT_EQ(MessageOf([&] { t->OpenIndexFile("NOSUCH.NTX"); }).rfind("Tabela: Error 6002: ", 0), 0u);
  EXPECT_EQ(MessageOf([&] { t->Fields()[0]->SetAsString("1"); }), "Tabela: Dataset not in edit mode");
  t->Edit();
  EXPECT_EQ(t->State(), db::DSState::Edit);
  t->Cancel();
  EXPECT_EQ(t->State(), db::DSState::Browse);
  EXPECT_TRUE(t->Active());
  t->Close();
  EXPECT_EQ(MessageOf([&] { t->OpenIndexFile("ML61.NTX"); }), "Tabela: Table must be Active.");
}

TEST_F(InstalledTables, NavigationFirstLastPriorAndBookmarks) {
  ASSERT_EQ(XbeShowDeleted(1), 0u);
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  t->Open();
  EXPECT_EQ(t->RecordCount(), 80);
  t->Last();
  EXPECT_EQ(t->RecNo(), 80);
  t->Prior();
  EXPECT_EQ(t->RecNo(), 79);
  const db::TBookmark mark = t->GetBookmark();
  ASSERT_FALSE(mark.empty());
  t->First();
  EXPECT_EQ(t->RecNo(), 1);
  EXPECT_TRUE(t->BookmarkValid(mark));
  t->GotoBookmark(mark);
  EXPECT_EQ(t->RecNo(), 79);
  t->SetRecNo(40);
  EXPECT_EQ(t->RecNo(), 40);
  EXPECT_EQ(t->FieldByName("NUMCOL")->AsInteger(), 280);
}

TEST_F(InstalledTables, FilterEventSkipsRejectedRecords) {
  ASSERT_EQ(XbeShowDeleted(1), 0u);
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  t->Open();
  bool rejectAll = true;
  t->SetOnFilterRecord(db::TFilterRecordEvent::FromFunction([&](db::TDataSet* d, bool& accept) {
    EXPECT_EQ(d->State(), db::DSState::Filter);
    accept = !rejectAll && d->FieldByName("NUMCOL")->AsInteger() % 14 == 0;
  }));
  t->SetFiltered(true);
  t->First();
  EXPECT_TRUE(t->Eof());
  EXPECT_TRUE(t->IsEmpty());
  rejectAll = false;
  std::vector<int> numbers;
  for (t->First(); !t->Eof(); t->Next()) numbers.push_back(t->RecNo());
  ASSERT_EQ(numbers.size(), 40u);
  EXPECT_EQ(numbers.front(), 2);
  EXPECT_EQ(numbers.back(), 80);
  t->Prior();
  EXPECT_EQ(t->RecNo(), 78);
  t->SetFiltered(false);
  t->Close();
}

TEST_F(InstalledTables, ImplicitConnectionsOnePerDirectoryText) {
  const int before = ImplicitConnections()->Count();
  auto a = UpdaterTable(&form_, "A", installed_, "ML2", false);
  auto b = UpdaterTable(&form_, "B", installed_ + "/", "ML6", false);
  a->Open();
  b->Open();
  EXPECT_EQ(ImplicitConnections()->Count(), before + 1);
  a->Close();
  b->Close();
  a->Open();
  EXPECT_EQ(ImplicitConnections()->Count(), before + 1);
}

TEST_F(InstalledTables, IndexFilesOpenWithTheTableAndGiveKeyOrder) {
  auto t = UpdaterTable(&form_, "EmUso", installed_, "ML6", false);
  t->IndexFiles().Add("ML61.NTX");
  t->Open();
  ASSERT_EQ(t->IndexDefs().Count(), 1);
  EXPECT_EQ(t->IndexDefs().Items(0).Fields(), "NUMCOL");
  t->SetIndexName(t->IndexDefs().Items(0).Name());
  double last = -1e300;
  int n = 0;
  for (t->First(); !t->Eof(); t->Next(), ++n) {
    const double key = t->FieldByName("NUMCOL")->AsFloat();
    EXPECT_GE(key, last);
    last = key;
  }
  EXPECT_GT(n, 0);
}

}  // namespace
