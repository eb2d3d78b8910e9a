// The window as its description builds it, and its two decisions on their own: whether a
// template field is already installed, and the add-field definition of each kind of field.
#include <gtest/gtest.h>

#include "installation.h"
#include "platform/db/fieldclasses.h"
#include "platform/ui/testdriver.h"
#include "updater/uprincipa.h"
#include "updater_run.h"

namespace updatertest {
namespace {

// The window created from its description; no time passes, so the run never starts.
class UpdaterWindow : public ::testing::Test {
 protected:
  UpdaterWindow() : windir_("WINDIR", scratch_.str()) {
    driver_.App().SetTitle(Title());
    driver_.App().CreateForm<TFPrincipal>(kFPrincipalDescription, &form_);
  }
  ~UpdaterWindow() override { FinalizeUPrincipa(); }

  testsupport::TempDir scratch_;
  testsupport::ScopedEnv windir_;
  ui::HeadlessDriver driver_;
  TFPrincipal* form_ = nullptr;
};

TEST_F(UpdaterWindow, BuiltFromItsDescription) {
  driver_.Show(*form_);
  EXPECT_EQ(form_->Name(), "FPrincipal");
  EXPECT_EQ(form_->Caption(), "Atualiza\xE7\xE3o da Estrutura do ML2 e ML6 para Tavro");
  EXPECT_EQ(std::pair(form_->Width(), form_->Height()), std::pair(425, 350));
  EXPECT_EQ(std::pair(form_->Left(), form_->Top()), std::pair((1024 - 425) / 2, (768 - 350) / 2));
  EXPECT_EQ(std::pair(form_->ClientWidth(), form_->ClientHeight()), std::pair(417, 323));
  // The log fills the client area and starts empty.
  EXPECT_EQ(std::pair(form_->Memo1->Width(), form_->Memo1->Height()), std::pair(417, 323));
  EXPECT_TRUE(ui::HeadlessDriver::MemoLines(*form_->Memo1).empty());
  // FormCreate armed the one-shot start.
  EXPECT_TRUE(form_->Timer1->Enabled());
  EXPECT_EQ(form_->Timer1->Interval(), 200u);
  EXPECT_EQ(DataPath, "F:\\TULMEVAR");  // no INI file in this Windows directory
  for (TXbeTable* t : {form_->Atualizada, form_->EmUso}) {
    SCOPED_TRACE(t->Name());
    EXPECT_FALSE(t->Active());
    EXPECT_EQ(t->DatabaseName(), ".");
    EXPECT_EQ(t->TableType(), ttXbeNTX);
    EXPECT_EQ(t->XbeTableOptions().XbeLockType(), Compatible);
    EXPECT_EQ(t->XbeTableOptions().XbeCharType(), OEM);
    EXPECT_TRUE(t->XbeTableOptions().XbeAutoKeyFieldCount());
    EXPECT_EQ(t->XbeTableOptions().XbeRightsCheck(), t == form_->Atualizada);
  }
  EXPECT_EQ(form_->XbeSettings1->DateFormat(), "DD/MM/yyyy");
  EXPECT_EQ(form_->XbeSettings1->NumDecimals(), 2);
  EXPECT_EQ(form_->XbeSettings1->NumCachedCursors(), 25);
}

struct LookUp {
  const char* name;
  std::vector<std::string> names;
  bool found;
};

TEST_F(UpdaterWindow, ExisteComparesTrimmedNamesCaseSensitively) {
  const LookUp cases[] = {
      {"UF", {"CODCONV", "UF", "CIDADE"}, true},
      {"UF", {" UF  "}, true},
      {" UF\t", {"UF"}, true},
      {"UF", {"\x01UF\r\n"}, true},  // control characters count as blanks
      {"UF", {"UF", "UF"}, true},
      {"uf", {"UF"}, false},
      {"UF", {"Uf"}, false},
      {"UF", {"U F"}, false},
      {"EMAIL", {"EMAI", "EMAILS"}, false},
      {"UF", {}, false},
  };
  for (const LookUp& c : cases) {
    classes::TStringList list;
    for (const auto& n : c.names) list.Add(n);
    EXPECT_EQ(form_->Existe(c.name, list), c.found) << "'" << c.name << "' in " << list.Count() << " names";
  }
}

struct DefinitionCase {
  const char* table;
  const char* field;
  const char* text;
};

TEST_F(UpdaterWindow, AddFieldDefinitionOfEveryTemplateFieldKind) {
  REQUIRE_FIXTURES();
  Installation installation;
  const DefinitionCase cases[] = {
      {"ML2", "NOMECONV", "NOMECONV,Char,40,0"},     // string: its length
      {"ML2", "UF", "UF,Char,2,0"},
      {"ML2", "CODCONV", "CODCONV,Numeric,4,0"},     // small integer: the template's digits
      {"ML2", "TABELA", "TABELA,Numeric,3,0"},
      {"ML6", "QTD", "QTD,Numeric,2,0"},
      {"ML2", "VALORCH", "VALORCH,Numeric,15,4"},    // floating point: always 15,4
      {"ML2", "DESCONTO", "DESCONTO,Numeric,15,4"},
      {"ML6", "NUMCOL", "NUMCOL,Numeric,15,4"},      // more than 4 digits without decimals
      {"ML2", "ATIVO", "ATIVO,Logical,1,0"},
      {"ML2", "DTCAD", "DTCAD,Date,8,0"},
      {"ML2", "OBS", "OBS,Memo,10,0"},               // memo: the engine's memo width
  };
  for (const DefinitionCase& c : cases) {
    SCOPED_TRACE(std::string(c.table) + "." + c.field);
    TXbeTable& t = *form_->Atualizada;
    t.SetDatabaseName(installation.Templates().string());
    t.SetTableName(c.table);
    t.Open();
    db::TField* field = t.FieldByName(c.field);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(AddFieldDefinition(*field, t.XbeFieldDefs().GetDef(field->FieldNo() - 1)), c.text);
    t.Close();
  }
}

TEST(AddFieldDefinition, OtherTypesGiveTheNameAndCommaAlone) {
  db::TIntegerField field(nullptr);
  field.SetFieldName("SEQ");
  EXPECT_EQ(AddFieldDefinition(field, nullptr), "SEQ,");
}

}  // namespace
}  // namespace updatertest
