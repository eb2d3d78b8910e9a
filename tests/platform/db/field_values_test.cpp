// Field values: each field class reads its native form through ReadFieldData and writes it
// through WriteFieldData; calculated fields, blob fields and validation.
#include <gtest/gtest.h>

#include <cmath>

#include "memdataset.h"
#include "platform/classes/streams.h"
#include "platform/db/blobfields.h"
#include "platform/db/fieldclasses.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::Cell;
using dbtest::TMemDataSet;

struct ReadCase {
  const char* label;
  dbtest::Column column;
  Cell stored;
  std::string asString;
  double asFloat;  // NAN: not asked
  bool isNull;
};

class FieldRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FieldRead, ValueInEveryForm) {
  const ReadCase& c = GetParam();
  TMemDataSet ds(nullptr);
  ds.columns = {c.column};
  ds.rows = {{c.stored}};
  ds.Open();
  TField* f = ds.Fields()[0];
  EXPECT_EQ(f->IsNull(), c.isNull);
  EXPECT_EQ(f->AsString(), c.asString);
  if (!std::isnan(c.asFloat)) {
    EXPECT_DOUBLE_EQ(f->AsFloat(), c.asFloat);
  }
  EXPECT_EQ(f->Value().IsNull(), c.isNull);
}

const double kNoFloat = NAN;
const TDateTime kLeapDay = EncodeDate(2024, 2, 29);

INSTANTIATE_TEST_SUITE_P(
    Types, FieldRead,
    ::testing::Values(
        ReadCase{"string", {"S", ftString, 10}, dbtest::Str("ABC", 10), "ABC", kNoFloat, false},
        ReadCase{"string full", {"S", ftString, 3}, dbtest::Str("XYZ", 3), "XYZ", kNoFloat, false},
        ReadCase{"smallint", {"N", ftSmallint}, dbtest::I16(-5), "-5", -5, false},
        ReadCase{"integer", {"N", ftInteger}, dbtest::I32(123456), "123456", 123456, false},
        ReadCase{"word", {"N", ftWord}, dbtest::U16(65535), "65535", 65535, false},
        ReadCase{"autoinc", {"N", ftAutoInc}, dbtest::I32(7), "7", 7, false},
        ReadCase{"float", {"N", ftFloat}, dbtest::F64(12.5), "12.5", 12.5, false},
        ReadCase{"currency", {"N", ftCurrency}, dbtest::F64(3.25), "3.25", 3.25, false},
        ReadCase{"bcd", {"N", ftBCD, 4, 20}, dbtest::Bcd(12345678), "1234.5678", 1234.5678, false},
        ReadCase{"boolean", {"B", ftBoolean}, dbtest::Bool16(true), "True", kNoFloat, false},
        ReadCase{"date", {"D", ftDate}, dbtest::I32(738945), "29/02/2024", kLeapDay, false},
        ReadCase{"time", {"T", ftTime}, dbtest::I32((13 * 3600 + 45 * 60 + 30) * 1000), "13:45:30",
                 EncodeTime(13, 45, 30, 0), false},
        ReadCase{"datetime", {"DT", ftDateTime}, dbtest::F64(738945.0 * 86400000 + 3600000),
                 "29/02/2024 01:00:00", kLeapDay + 1.0 / 24, false},
        ReadCase{"bytes", {"R", ftBytes, 3}, Cell(std::vector<std::uint8_t>{'a', 'b', 'c'}), "abc", kNoFloat, false},
        ReadCase{"memo", {"M", ftMemo, 1}, dbtest::Text("hello memo"), "hello memo", kNoFloat, false},
        ReadCase{"null string", {"S", ftString, 10}, std::nullopt, "", kNoFloat, true},
        ReadCase{"null integer", {"N", ftInteger}, std::nullopt, "", 0, true},
        ReadCase{"null float", {"N", ftFloat}, std::nullopt, "", 0, true},
        ReadCase{"null bcd", {"N", ftBCD, 4, 20}, std::nullopt, "", 0, true},
        ReadCase{"null date", {"D", ftDate}, std::nullopt, "", 0, true},
        ReadCase{"null memo", {"M", ftMemo, 1}, std::nullopt, "", kNoFloat, true}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST(FieldWrite, SettersRoundTripThroughTheDataset) {
  TMemDataSet ds(nullptr);
  ds.columns = {{"S", ftString, 5}, {"I", ftInteger}, {"SI", ftSmallint}, {"F", ftFloat},
                {"B", ftBoolean}, {"D", ftDate}, {"C", ftBCD, 4, 20}, {"DT", ftDateTime}};
  ds.Open();
  ds.Append();
  ds.FieldByName("S")->SetAsString("ABCDEFG");  // cut at the size
  ds.FieldByName("I")->SetAsString("-42");
  ds.FieldByName("SI")->SetAsInteger(32767);
  ds.FieldByName("F")->SetAsFloat(0.125);
  ds.FieldByName("B")->SetAsBoolean(true);
  ds.FieldByName("D")->SetAsDateTime(kLeapDay);
  ds.FieldByName("C")->SetAsCurrency(-15000);
  ds.FieldByName("DT")->SetAsString("29/02/2024 10:30:00");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("S")->AsString(), "ABCDE");
  EXPECT_EQ(ds.FieldByName("I")->AsInteger(), -42);
  EXPECT_EQ(ds.FieldByName("SI")->AsInteger(), 32767);
  EXPECT_DOUBLE_EQ(ds.FieldByName("F")->AsFloat(), 0.125);
  EXPECT_TRUE(ds.FieldByName("B")->AsBoolean());
  EXPECT_EQ(ds.FieldByName("D")->AsDateTime(), kLeapDay);
  EXPECT_EQ(ds.FieldByName("C")->AsString(), "-1.5");
  EXPECT_EQ(ds.FieldByName("DT")->AsDateTime(), kLeapDay + EncodeTime(10, 30, 0, 0));
  // The stored native forms are the documented ones.
  EXPECT_EQ(ds.rows[0][5], dbtest::I32(738945));
  EXPECT_EQ(ds.rows[0][4], dbtest::Bool16(true));
  EXPECT_EQ(ds.rows[0][6], dbtest::Bcd(-15000));

  ds.Edit();
  EXPECT_THROW(ds.FieldByName("SI")->SetAsInteger(32768), EDatabaseError);
  EXPECT_THROW(ds.FieldByName("I")->SetAsString("x1"), rtl::EConvertError);
  ds.FieldByName("I")->SetAsString("");  // a blank text clears a number
  EXPECT_TRUE(ds.FieldByName("I")->IsNull());
  ds.FieldByName("S")->Clear();
  ds.Post();
  EXPECT_FALSE(ds.rows[0][0].has_value());
  EXPECT_FALSE(ds.rows[0][1].has_value());
}

TEST(FieldWrite, FieldAssignCopiesValueOrNothing) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  ds.rows[1][1].reset();
  ds.Open();
  TStringField copy(nullptr);
  TMemDataSet other(nullptr);
  dbtest::FillNumbers(other, 1);
  other.Open();
  other.Edit();
  other.FieldByName("NAME")->Assign(*ds.FieldByName("NAME"));
  EXPECT_EQ(other.FieldByName("NAME")->AsString(), "N1");
  ds.Next();
  other.FieldByName("NAME")->Assign(*ds.FieldByName("NAME"));
  EXPECT_TRUE(other.FieldByName("NAME")->IsNull());
  other.Cancel();
}

TEST(FieldWrite, ValidationSeesTheNewValue) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 1);
  ds.Open();
  TField* id = ds.FieldByName("ID");
  int seen = 0;
  id->SetOnValidate(TFieldNotifyEvent::FromFunction([&](TField* f) {
    seen = f->AsInteger();
    if (seen < 0) throw EDatabaseError("negative");
  }));
  ds.Edit();
  id->SetAsInteger(9);
  EXPECT_EQ(seen, 9);
  EXPECT_THROW(id->SetAsInteger(-1), EDatabaseError);
  EXPECT_EQ(id->AsInteger(), 9);  // refused value not stored
  ds.Post();
}

TEST(CalculatedFields, AreaOffsetsAndComputation) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 3);
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* twice = new TIntegerField(&ds);
  twice->SetFieldName("TWICE");
  twice->SetFieldKind(TFieldKind::Calculated);
  twice->SetDataSet(&ds);
  auto* label = new TStringField(&ds);
  label->SetFieldName("LABEL");
  label->SetSize(8);
  label->SetFieldKind(TFieldKind::Calculated);
  label->SetDataSet(&ds);
  ds.OnCalcFields = TDataSetNotifyEvent::FromFunction([](TDataSet* d) {
    EXPECT_EQ(d->State(), DSState::CalcFields);
    d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
    d->FieldByName("LABEL")->SetAsString("#" + d->FieldByName("ID")->AsString());
  });
  ds.Open();
  EXPECT_EQ(ds.CalcFieldsSize(), (4 + 1) + (9 + 1));
  EXPECT_EQ(twice->Offset(), 0);
  EXPECT_EQ(label->Offset(), 5);
  EXPECT_EQ(twice->FieldNo(), -1);
  EXPECT_EQ(id->FieldNo(), 1);
  ds.Last();
  EXPECT_EQ(twice->AsInteger(), 6);
  EXPECT_EQ(label->AsString(), "#3");
  // Editing a data field recomputes the calculated ones.
  ds.Edit();
  id->SetAsInteger(21);
  EXPECT_EQ(twice->AsInteger(), 42);
  ds.Cancel();
  EXPECT_EQ(twice->AsInteger(), 6);
}

TEST(BlobFields, StreamsCarryTheContents) {
  TMemDataSet ds(nullptr);
  ds.columns = {{"ID", ftInteger}, {"NOTES", ftMemo, 1}};
  ds.rows = {{dbtest::I32(1), dbtest::Text("first")}, {dbtest::I32(2), std::nullopt}};
  ds.Open();
  auto& notes = BlobFieldOf(ds.FieldByName("NOTES"));
  EXPECT_EQ(notes.AsString(), "first");
  EXPECT_EQ(notes.BlobSize(), 5);
  classes::TMemoryStream out;
  notes.SaveToStream(out);
  EXPECT_EQ(out.Size(), 5);
  ds.Next();
  EXPECT_TRUE(notes.IsNull());
  notes.SetAsString("second");
  EXPECT_EQ(ds.rows[1][1], dbtest::Text("second"));
  try {
    BlobFieldOf(ds.FieldByName("ID"));
    FAIL();
  } catch (const EInvalidCast& e) {
    EXPECT_EQ(e.Message(), std::string("Conversão de tipo inválida"_ansi));
  }
  notes.SetModified(true);
  EXPECT_TRUE(notes.Modified());
}

TEST(FieldAccess, UnsupportedConversionNamesTheField) {
  TMemDataSet ds(nullptr);
  ds.columns = {{"DAY", ftDate}};
  ds.rows = {{dbtest::I32(738945)}};
  ds.Open();
  try {
    ds.FieldByName("DAY")->AsBoolean();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Campo 'DAY' não pode ser acessado como Boolean"_ansi));
  }
}

}  // namespace
