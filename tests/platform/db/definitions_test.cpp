// Field and index definitions: adding, finding, the updated mark, change reports and the
// index lookups by field names.
#include <gtest/gtest.h>

#include "memdataset.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/stringlist.h"
#include "platform/db/fieldclasses.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::TMemDataSet;

TEST(FieldDefs, AddFindAndNumbers) {
  TMemDataSet ds(nullptr);
  TFieldDefs& defs = ds.FieldDefs();
  defs.Add("CODIGO", ftInteger, 0, false);
  defs.Add("NOME", ftString, 40, true);
  TFieldDef* nome = defs.Find("nome");
  EXPECT_EQ(nome->DataType(), ftString);
  EXPECT_EQ(nome->Size(), 40);
  EXPECT_TRUE(nome->Required());
  EXPECT_EQ(nome->FieldNo(), 2);
  EXPECT_EQ(defs.IndexOf("Codigo"), 0);
  EXPECT_EQ(defs.IndexOf("CIDADE"), -1);
  try {
    defs.Find("CIDADE");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Definição do campo 'CIDADE' não encontrada"_ansi));
  }
  std::vector<std::string> names;
  defs.GetItemNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"CODIGO", "NOME"}));
}

TEST(FieldDefs, FieldNamesComeFromTheFieldsOrElseTheDefinitions) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  classes::TStringList names;
  ds.Open();
  ds.GetFieldNames(names);
  EXPECT_EQ(names.Text(), "ID\r\nNAME\r\n");
  ds.Close();
  names.Clear();
  ds.GetFieldNames(names);  // no fields while closed: the definitions' names
  EXPECT_EQ(names.Count(), 2);
}

TEST(FieldDefs, UpdateLoadsOnlyWhenNotUpToDateAndIsNoChange) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  // Closed: the base definition hook reads nothing without an open cursor.
  ds.FieldDefs().Update();
  EXPECT_EQ(ds.fieldDefLoads, 0);
  EXPECT_TRUE(ds.FieldDefs().Updated());
  ds.FieldDefs().SetUpdated(false);
  ds.Open();
  EXPECT_EQ(ds.fieldDefLoads, 1);
  EXPECT_EQ(ds.FieldDefs().Count(), 2);
  ds.FieldDefs().Update();  // already up to date
  EXPECT_EQ(ds.fieldDefLoads, 1);
  EXPECT_EQ(ds.definitionsChanged, 0);  // rebuilding inside Update is no change
  ds.Close();
  ds.FieldDefs().Add("EXTRA", ftString, 5);  // a change made by code is reported
  EXPECT_GT(ds.definitionsChanged, 0);
}

TEST(IndexDefs, DuplicateNameIsRefused) {
  TMemDataSet ds(nullptr);
  ds.indexDefs.Add("ORD1", "NOME", {});
  try {
    ds.indexDefs.Add("ord1", "CODIGO", {ixUnique});
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Nome de índice duplicado 'ord1'"_ansi));
  }
  EXPECT_EQ(ds.indexDefs.Count(), 1);
}

TEST(IndexDefs, DuplicateFromTheTableFailsTheOpenAndLeavesItClosed) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  ds.indexes = {{"BYNAME", "NAME", {}}, {"BYNAME", "ID", {}}};
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.allocated, ds.released);
}

TEST(IndexDefs, UpdateAsksTheDatasetEveryTime) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  ds.indexes = {{"BYID", "ID", {ixPrimary, ixUnique}}};
  ds.indexDefs.Update();  // works closed; the hook sets the mark
  ASSERT_EQ(ds.indexDefs.Count(), 1);
  EXPECT_TRUE(ds.indexDefs.Updated());
  EXPECT_TRUE(ds.indexDefs.Items(0).Options().Contains(ixUnique));
  ds.indexes.push_back({"BYNAME", "NAME", {}});
  ds.indexDefs.Update();  // marked updated: the hook keeps what it has
  EXPECT_EQ(ds.indexDefs.Count(), 1);
  ds.indexDefs.SetUpdated(false);
  ds.indexDefs.Update();
  EXPECT_EQ(ds.indexDefs.Count(), 2);
  EXPECT_EQ(ds.definitionsChanged, 0);
}

TEST(IndexDefs, LookupByFieldNames) {
  TMemDataSet ds(nullptr);
  TIndexDefs& defs = ds.indexDefs;
  defs.Add("A", "NOME", {});
  defs.Add("B", "CODIGO;NOME", {});
  defs.Add("C", "NOME;CIDADE", {ixCaseInsensitive});
  defs.Add("D", "CODIGO", {ixDescending});
  struct Case {
    const char* fields;
    bool caseInsensitive;
    const char* found;  // nullptr: none
  } cases[] = {{"nome", false, "A"},           {"Codigo ; Nome", false, "B"}, {"codigo", false, "D"},
               {"NOME;CIDADE", false, "C"},    {"NOME", true, "C"},           {"CIDADE", false, nullptr},
               {"NOME;CODIGO", false, nullptr}, {"", false, nullptr}};
  for (const Case& c : cases) {
    TIndexDef* def = defs.GetIndexForFields(c.fields, c.caseInsensitive);
    if (c.found) {
      ASSERT_NE(def, nullptr) << c.fields;
      EXPECT_EQ(def->Name(), c.found) << c.fields;
    } else {
      EXPECT_EQ(def, nullptr) << c.fields;
    }
  }
  EXPECT_EQ(defs.FindIndexForFields("CODIGO;NOME")->Name(), "B");
  try {
    defs.FindIndexForFields("CIDADE");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Nenhum índice para os campos 'CIDADE'"_ansi));
  }
  EXPECT_EQ(defs.Find("b")->Fields(), "CODIGO;NOME");
  EXPECT_THROW(defs.Find("Z"), EDatabaseError);
  const auto unique = defs.Select({ixCaseInsensitive});
  ASSERT_EQ(unique->Count(), 1);
  EXPECT_EQ(unique->Items(0).Name(), "C");
  EXPECT_EQ(defs.Select({})->Count(), 4);
  // A free-standing copy.
  TIndexDef copy;
  copy.Assign(defs.Items(1));
  EXPECT_EQ(copy.Fields(), "CODIGO;NOME");
  EXPECT_EQ(copy.Collection(), nullptr);
}

// A dataset that makes its own class for string fields, as a table layer does.
class TUpperStringField : public TStringField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TUpperStringField(classes::TComponent* owner) : TStringField(owner) {}
};

const classes::TClassInfo& TUpperStringField::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TUpperStringField, TStringField>("TUpperStringField", [](auto&) {});
  return info;
}

class TOwnClassesDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;

 protected:
  TFieldClass FieldClassFor(TFieldType type) override {
    return type == ftString ? &TUpperStringField::StaticClassInfo() : TMemDataSet::FieldClassFor(type);
  }
};

TEST(FieldClasses, DefaultFieldsComeFromTheDatasetsChoice) {
  TOwnClassesDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  ds.Open();
  EXPECT_NE(dynamic_cast<TUpperStringField*>(ds.FieldByName("NAME")), nullptr);
  EXPECT_EQ(dynamic_cast<TUpperStringField*>(ds.FieldByName("ID")), nullptr);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "N1");
  EXPECT_EQ(ds.FieldByName("NAME")->Size(), 10);
}

}  // namespace
