// Class information of the framework's classes: names, parents, virtual constructors and the
// published properties a stored description may set.
#include "platform/classes/classbuilder.h"
#include "platform/db/blobfields.h"
#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/fieldclasses.h"
#include "platform/db/fielddefs.h"
#include "platform/db/indexdefs.h"
#include "platform/db/params.h"

namespace db {

namespace {

std::vector<std::string> FieldTypeNames() {
  return {"ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
          "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
          "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle", "ftDBaseOle",
          "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
          "ftArray", "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
          "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd"};
}

template <class T, class Base>
const classes::TClassInfo& Plain(const char* name) {
  static const auto info = classes::TClassInfo::Make<T, Base>(name, [](auto&) {});
  return info;
}

}  // namespace

const classes::TClassInfo& TField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TField, classes::TComponent>("TField", [](auto& c) {
    c.Enum("FieldKind", &TField::FieldKind, &TField::SetFieldKind,
           {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc"})
        .Default(TFieldKind::Data);
    c.String("FieldName", &TField::FieldName, &TField::SetFieldName);
    c.String("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel);
    c.String("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression);
    c.Bool("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly).Default(false);
    c.Bool("Required", &TField::Required, &TField::SetRequired).Default(false);
    c.Event("OnChange", &TField::OnChange, &TField::SetOnChange);
    c.Event("OnValidate", &TField::OnValidate, &TField::SetOnValidate);
  });
  return info;
}

const classes::TClassInfo& TStringField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TStringField, TField>("TStringField", [](auto& c) {
    c.Integer("Size", &TField::Size, &TField::SetSize).Default(20);
  });
  return info;
}

const classes::TClassInfo& TNumericField::StaticClassInfo() { return Plain<TNumericField, TField>("TNumericField"); }
const classes::TClassInfo& TIntegerField::StaticClassInfo() {
  return Plain<TIntegerField, TNumericField>("TIntegerField");
}
const classes::TClassInfo& TSmallintField::StaticClassInfo() {
  return Plain<TSmallintField, TIntegerField>("TSmallintField");
}
const classes::TClassInfo& TWordField::StaticClassInfo() { return Plain<TWordField, TIntegerField>("TWordField"); }
const classes::TClassInfo& TAutoIncField::StaticClassInfo() {
  return Plain<TAutoIncField, TIntegerField>("TAutoIncField");
}

const classes::TClassInfo& TFloatField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFloatField, TNumericField>("TFloatField", [](auto& c) {
    c.Bool("Currency", &TFloatField::Currency, &TFloatField::SetCurrency).Default(false);
    c.Integer("Precision", &TFloatField::Precision, &TFloatField::SetPrecision).Default(15);
  });
  return info;
}

const classes::TClassInfo& TCurrencyField::StaticClassInfo() {
  return Plain<TCurrencyField, TFloatField>("TCurrencyField");
}

const classes::TClassInfo& TBCDField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TBCDField, TNumericField>("TBCDField", [](auto& c) {
    c.Bool("Currency", &TBCDField::Currency, &TBCDField::SetCurrency).Default(false);
    c.Integer("Precision", &TBCDField::Precision, &TBCDField::SetPrecision).Default(0);
    c.Integer("Size", &TField::Size, &TField::SetSize).Default(4);
  });
  return info;
}

const classes::TClassInfo& TBooleanField::StaticClassInfo() { return Plain<TBooleanField, TField>("TBooleanField"); }
const classes::TClassInfo& TDateTimeField::StaticClassInfo() {
  return Plain<TDateTimeField, TField>("TDateTimeField");
}
const classes::TClassInfo& TDateField::StaticClassInfo() { return Plain<TDateField, TDateTimeField>("TDateField"); }
const classes::TClassInfo& TTimeField::StaticClassInfo() { return Plain<TTimeField, TDateTimeField>("TTimeField"); }

const classes::TClassInfo& TBytesField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TBytesField, TField>("TBytesField", [](auto& c) {
    c.Integer("Size", &TField::Size, &TField::SetSize).Default(16);
  });
  return info;
}

const classes::TClassInfo& TVarBytesField::StaticClassInfo() {
  return Plain<TVarBytesField, TBytesField>("TVarBytesField");
}
const classes::TClassInfo& TBlobField::StaticClassInfo() { return Plain<TBlobField, TField>("TBlobField"); }
const classes::TClassInfo& TMemoField::StaticClassInfo() { return Plain<TMemoField, TBlobField>("TMemoField"); }
const classes::TClassInfo& TGraphicField::StaticClassInfo() {
  return Plain<TGraphicField, TBlobField>("TGraphicField");
}

const classes::TClassInfo& TDataSet::StaticClassInfo() {
  return Plain<TDataSet, classes::TComponent>("TDataSet");
}

const classes::TClassInfo& TDataSource::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TDataSource, classes::TComponent>("TDataSource", [](auto& c) {
    c.Component("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
    c.Bool("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled).Default(true);
  });
  return info;
}

const classes::TClassInfo& TFieldDef::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFieldDef, classes::TCollectionItem>("TFieldDef", [](auto& c) {
    c.String("Name", &TFieldDef::Name, &TFieldDef::SetName);
    c.Enum("DataType", &TFieldDef::DataType, &TFieldDef::SetDataType, FieldTypeNames()).Default(ftUnknown);
    c.Integer("Precision", &TFieldDef::Precision, &TFieldDef::SetPrecision).Default(0);
    c.Integer("Size", &TFieldDef::Size, &TFieldDef::SetSize).Default(0);
    c.Bool("Required", &TFieldDef::Required, &TFieldDef::SetRequired).Default(false);
  });
  return info;
}

const classes::TClassInfo& TFieldDefs::StaticClassInfo() {
  return Plain<TFieldDefs, classes::TCollection>("TFieldDefs");
}

const classes::TClassInfo& TIndexDef::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TIndexDef, classes::TCollectionItem>("TIndexDef", [](auto& c) {
    c.String("Name", &TIndexDef::Name, &TIndexDef::SetName);
    c.String("Fields", &TIndexDef::Fields, &TIndexDef::SetFields);
    c.String("Expression", &TIndexDef::Expression, &TIndexDef::SetExpression);
    c.Set("Options", &TIndexDef::Options, &TIndexDef::SetOptions,
          {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive", "ixExpression"});
  });
  return info;
}

const classes::TClassInfo& TIndexDefs::StaticClassInfo() {
  return Plain<TIndexDefs, classes::TCollection>("TIndexDefs");
}

const classes::TClassInfo& TParam::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TParam, classes::TCollectionItem>("TParam", [](auto& c) {
    c.String("Name", &TParam::Name, &TParam::SetName);
    c.Enum("DataType", &TParam::DataType, &TParam::SetDataType, FieldTypeNames()).Default(ftUnknown);
    c.Enum("ParamType", &TParam::ParamType, &TParam::SetParamType,
           {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"})
        .Default(TParamType::ptUnknown);
  });
  return info;
}

const classes::TClassInfo& TParams::StaticClassInfo() { return Plain<TParams, classes::TCollection>("TParams"); }

}  // namespace db
