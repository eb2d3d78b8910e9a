// Open and close: default and persistent fields, buffers, events, failures, the open-dataset
// check and closing at destruction.
#include <gtest/gtest.h>

#include "memdataset.h"
#include "platform/classes/filer.h"
#include "platform/db/fieldclasses.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::TMemDataSet;

TDataSetNotifyEvent Record(std::vector<std::string>& log, const char* name) {
  return TDataSetNotifyEvent::FromFunction([&log, name](TDataSet*) { log.push_back(name); });
}

TEST(DataSetOpen, DefaultFieldsOfTheFrameworkClassesInDefinitionOrder) {
  TMemDataSet ds(nullptr);
  ds.columns = {{"NAME", ftString, 30}, {"QTY", ftSmallint}, {"TOTAL", ftInteger}, {"FLAG", ftBoolean},
                {"PRICE", ftFloat}, {"MONEY", ftCurrency}, {"AMOUNT", ftBCD, 4, 20}, {"DAY", ftDate},
                {"AT", ftTime}, {"STAMP", ftDateTime}, {"SEQ", ftAutoInc}, {"RAW", ftBytes, 6},
                {"NOTES", ftMemo, 1}, {"IMAGE", ftBlob, 1}, {"W", ftWord}};
  ds.Open();
  ASSERT_TRUE(ds.Active());
  EXPECT_TRUE(ds.DefaultFields());
  EXPECT_TRUE(ds.IsEmpty());
  struct Expect {
    const char* name;
    const classes::TClassInfo& cls;
    int dataSize;
  } expected[] = {{"NAME", TStringField::StaticClassInfo(), 31},
                  {"QTY", TSmallintField::StaticClassInfo(), 2},
                  {"TOTAL", TIntegerField::StaticClassInfo(), 4},
                  {"FLAG", TBooleanField::StaticClassInfo(), 2},
                  {"PRICE", TFloatField::StaticClassInfo(), 8},
                  {"MONEY", TCurrencyField::StaticClassInfo(), 8},
                  {"AMOUNT", TBCDField::StaticClassInfo(), static_cast<int>(sizeof(TBcd))},
                  {"DAY", TDateField::StaticClassInfo(), 4},
                  {"AT", TTimeField::StaticClassInfo(), 4},
                  {"STAMP", TDateTimeField::StaticClassInfo(), 8},
                  {"SEQ", TAutoIncField::StaticClassInfo(), 4},
                  {"RAW", TBytesField::StaticClassInfo(), 6},
                  {"NOTES", TMemoField::StaticClassInfo(), 0},
                  {"IMAGE", TBlobField::StaticClassInfo(), 0},
                  {"W", TWordField::StaticClassInfo(), 2}};
  ASSERT_EQ(ds.FieldCount(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < ds.FieldCount(); ++i) {
    TField* f = ds.Fields()[i];
    EXPECT_EQ(f->FieldName(), expected[i].name);
    EXPECT_EQ(&f->ClassInfo(), &expected[i].cls) << f->FieldName();
    EXPECT_EQ(f->DataSize(), expected[i].dataSize) << f->FieldName();
    EXPECT_EQ(f->FieldNo(), i + 1);
    EXPECT_EQ(f->Owner(), &ds);
    EXPECT_EQ(f->DataSet(), &ds);
  }
  EXPECT_EQ(ds.FieldByName("name")->Size(), 30);
  auto* amount = dynamic_cast<TBCDField*>(ds.FieldByName("AMOUNT"));
  ASSERT_NE(amount, nullptr);
  EXPECT_EQ(amount->Precision(), 20);
  EXPECT_EQ(amount->Size(), 4);
  EXPECT_TRUE(dynamic_cast<TFloatField*>(ds.FieldByName("MONEY"))->Currency());
  // Blob fields take their slot numbers in field order.
  EXPECT_EQ(ds.BlobFieldCount(), 2);
  EXPECT_EQ(ds.FieldByName("NOTES")->Offset(), 0);
  EXPECT_EQ(ds.FieldByName("IMAGE")->Offset(), 1);

  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 0);
  EXPECT_EQ(ds.FieldDefs().Count(), 15);  // the definitions stay
  EXPECT_EQ(ds.allocated, ds.released);
  EXPECT_EQ(ds.BufferCount(), 0);
}

TEST(DataSetOpen, OneRingBufferAndOneSpareWithoutLinks) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 3);
  ds.Open();
  EXPECT_FALSE(ds.activeDuringOpen);
  EXPECT_EQ(ds.BufferCount(), 1);
  EXPECT_EQ(ds.allocated, 2);  // the slot the open hook made is kept
  EXPECT_NE(ds.TempBuffer(), ds.ActiveBuffer());
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
}

TEST(DataSetOpen, PersistentFieldsAreBoundByNameAndSurviveClose) {
  classes::TComponent form(nullptr);
  TMemDataSet ds(&form);
  dbtest::FillNumbers(ds, 2);
  auto* name = new TStringField(&form);
  name->SetFieldName("NAME");
  name->SetSize(10);
  name->SetDataSet(&ds);
  ds.Open();
  EXPECT_FALSE(ds.DefaultFields());
  ASSERT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(name->FieldNo(), 2);
  EXPECT_EQ(name->AsString(), "N1");
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(name->FieldNo(), 0);
  EXPECT_TRUE(name->IsNull());
}

TEST(DataSetOpen, PersistentFieldWithoutDefinitionFailsTheOpen) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  TStringField missing(nullptr);
  missing.SetFieldName("CITY");
  missing.SetDataSet(&ds);
  ds.SetName("Clientes");
  try {
    ds.Open();
    FAIL() << "open succeeded";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Clientes: Campo 'CITY' não encontrado"_ansi));
  }
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.allocated, ds.released);
}

TEST(DataSetOpen, EventsAndHooksRunInOrder) {
  std::vector<std::string> log;
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  ds.log = &log;
  ds.BeforeOpen = Record(log, "BeforeOpen");
  ds.AfterOpen = Record(log, "AfterOpen");
  ds.AfterScroll = Record(log, "AfterScroll");
  ds.BeforeClose = Record(log, "BeforeClose");
  ds.AfterClose = Record(log, "AfterClose");
  ds.Open();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "OpenTableCursor", "AfterOpenHook", "AfterOpen",
                                           "AfterScroll"}));
  log.clear();
  ds.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "CloseTableCursor", "AfterClose"}));
  // Unassigned events are simply not fired.
  ds.BeforeOpen = nullptr;
  log.clear();
  ds.Open();
  EXPECT_EQ(log.front(), "OpenTableCursor");
}

TEST(DataSetOpen, FailingOpenHookLeavesTheDatasetClosed) {
  std::vector<std::string> log;
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  ds.log = &log;
  ds.AfterOpen = Record(log, "AfterOpen");
  ds.failOpen = true;
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), DSState::Inactive);
  EXPECT_EQ(log, (std::vector<std::string>{"OpenTableCursor", "CloseTableCursor"}));
  EXPECT_EQ(ds.FieldCount(), 0);  // default fields made by the hook are gone again
  EXPECT_EQ(ds.allocated, ds.released);
  ds.failOpen = false;
  ds.Open();
  EXPECT_TRUE(ds.Active());
}

TEST(DataSetOpen, OpenDatasetCheckNamesTheComponent) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  EXPECT_NO_THROW(ds.CheckInactive());
  ds.Open();
  try {
    ds.CheckInactive();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Não é possível realizar esta operação em um arquivo aberto"_ansi));
  }
  ds.SetName("Tabela1");
  try {
    ds.CheckInactive();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Tabela1: Não é possível realizar esta operação em um arquivo aberto"_ansi));
  }
  // While updating, the check closes the dataset instead.
  ds.Updating();
  EXPECT_NO_THROW(ds.CheckInactive());
  EXPECT_FALSE(ds.Active());
}

TEST(DataSetOpen, ActiveReadFromADescriptionOpensWhenLoaded) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  bool activeWhileRead = true;
  ds.BeforeOpen = TDataSetNotifyEvent::FromFunction([&](TDataSet* d) {
    activeWhileRead = d->InState(classes::csReading) || d->InState(classes::csLoading);
  });
  classes::ReadRootComponent(ds, "object Tabela1: TMemDataSet\n  Active = True\nend\n");
  EXPECT_TRUE(ds.Active());
  EXPECT_FALSE(activeWhileRead);  // opened by Loaded(), after the reading
}

TEST(DataSetOpen, DestroyingAnOpenDatasetClosesThroughTheHooksWithoutEvents) {
  std::vector<std::string> log;
  int released = 0;
  int allocated = 0;
  {
    classes::TComponent form(nullptr);
    auto* ds = new TMemDataSet(&form);
    dbtest::FillNumbers(*ds, 3);
    ds->log = &log;
    ds->releasedCounter = &released;
    ds->BeforeClose = Record(log, "BeforeClose");
    ds->AfterClose = Record(log, "AfterClose");
    ds->Open();
    allocated = ds->allocated;
    log.clear();
  }  // the form destroys the dataset
  EXPECT_EQ(log, (std::vector<std::string>{"CloseTableCursor"}));
  EXPECT_EQ(released, allocated);
}

}  // namespace
