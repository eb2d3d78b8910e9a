#include "platform/db/fielddefs.h"

#include "platform/classes/errors.h"
#include "platform/classes/typeinfo.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/updating.h"
#include "platform/db/dataset.h"
#include "platform/db/fieldclasses.h"
#include "platform/rtl/strutils.h"

namespace db {

TFieldDefs* TFieldDef::Defs() const { return static_cast<TFieldDefs*>(Collection()); }

void TFieldDef::SetName(const std::string& name) {
  name_ = name;
  Changed(false);
}

void TFieldDef::SetDataType(TFieldType type) {
  dataType_ = type;
  Changed(false);
}

void TFieldDef::SetSize(int size) {
  size_ = size;
  Changed(false);
}

void TFieldDef::SetPrecision(int precision) {
  precision_ = precision;
  Changed(false);
}

void TFieldDef::SetRequired(bool required) {
  required_ = required;
  Changed(false);
}

TField* TFieldDef::CreateField(classes::TComponent* owner) {
  TFieldDefs* defs = Defs();
  TDataSet* dataSet = defs ? defs->DataSet() : nullptr;
  const TFieldClass fieldClass = dataSet ? dataSet->FieldClassFor(dataType_) : nullptr;
  if (!fieldClass || !fieldClass->CanCreate()) DatabaseErrorFmt(kUnknownFieldTypeText, name_, dataSet);
  classes::TComponent* made = fieldClass->Create(owner);
  auto* field = dynamic_cast<TField*>(made);
  if (!field) {
    delete made;
    DatabaseErrorFmt(kUnknownFieldTypeText, name_, dataSet);
  }
  try {
    switch (dataType_) {
      case ftString: case ftFixedChar: case ftWideString: case ftBytes: case ftVarBytes: case ftBCD:
        field->SetSize(size_);
        break;
      default:
        break;
    }
    if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(precision_);
    if (auto* flt = dynamic_cast<TFloatField*>(field); flt && precision_ > 0) flt->SetPrecision(precision_);
    field->SetFieldName(name_);
    field->SetRequired(required_);
    field->SetDataSet(dataSet);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

void TFieldDef::Assign(const classes::TPersistent& source) {
  const auto* other = dynamic_cast<const TFieldDef*>(&source);
  if (!other) {
    classes::TCollectionItem::Assign(source);
    return;
  }
  name_ = other->name_;
  dataType_ = other->dataType_;
  size_ = other->size_;
  precision_ = other->precision_;
  required_ = other->required_;
  Changed(false);
}

TFieldDefs::TFieldDefs(TDataSet* dataSet)
    : classes::TCollection([] { return std::make_unique<TFieldDef>(); }, dataSet), dataSet_(dataSet) {}

TFieldDef& TFieldDefs::Items(int index) const { return *static_cast<TFieldDef*>(Item(index)); }

TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  TFieldDef* def = nullptr;
  classes::WhileUpdating(*this, [&] {
    def = AddFieldDef();
    def->SetName(name);
    def->SetDataType(type);
    def->SetSize(size);
    def->SetRequired(required);
  });
  return def;
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (rtl::AnsiSameText(Items(i).Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) const {
  const int index = IndexOf(name);
  if (index < 0) DatabaseErrorFmt(kFieldDefNotFoundText, name, dataSet_);
  return &Items(index);
}

void TFieldDefs::GetItemNames(std::vector<std::string>& names) const {
  for (int i = 0; i < Count(); ++i) names.push_back(Items(i).Name());
}

void TFieldDefs::GetItemNames(classes::TStrings& names) const {
  classes::WhileUpdating(names, [&] {
    names.Clear();
    for (int i = 0; i < Count(); ++i) names.Add(Items(i).Name());
  });
}

void TFieldDefs::Update() {
  if (updated_ || !dataSet_) return;
  ++internalUpdate_;
  try {
    dataSet_->InitFieldDefsFromTable();
  } catch (...) {
    --internalUpdate_;
    throw;
  }
  --internalUpdate_;
  updated_ = true;
}

void TFieldDefs::Update(classes::TCollectionItem*) {
  if (internalUpdate_ == 0 && dataSet_) dataSet_->DefinitionsChanged(this);
}

}  // namespace db
