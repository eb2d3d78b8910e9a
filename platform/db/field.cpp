#include "platform/db/field.h"

#include <algorithm>
#include <cstring>

#include "platform/classes/errors.h"
#include "platform/db/dataset.h"
#include "platform/rtl/strutils.h"

namespace db {

TField::TField(classes::TComponent* owner) : classes::TComponent(owner) {}

TField::~TField() {
  if (dataSet_) dataSet_->RemoveField(this);
}

void TField::SetFieldName(const std::string& name) {
  if (dataSet_) dataSet_->CheckInactive();
  fieldName_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (dataSet_) dataSet_->CheckInactive();
  fieldKind_ = kind;
  fieldNo_ = kind == TFieldKind::Data ? 0 : -1;
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->CheckInactive();
  if (dataSet) dataSet->CheckInactive();
  if (dataSet_) dataSet_->RemoveField(this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->AddField(this);
}

bool TField::IsIndexField() const {
  return dataSet_ && fieldKind_ == TFieldKind::Data && dataSet_->FieldIsIndexSegment(const_cast<TField*>(this));
}

bool TField::GetData(void* buffer) const {
  if (validating_) {
    if (!validateBuffer_) return false;
    if (buffer) std::memcpy(buffer, validateBuffer_, static_cast<std::size_t>(DataSize()));
    return true;
  }
  if (!dataSet_) return false;
  return dataSet_->ReadFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataSet_) DatabaseErrorFmt(kFieldNotFoundText, DisplayName());
  dataSet_->WriteFieldData(this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!onValidate_.Assigned()) return;
  validating_ = true;
  validateBuffer_ = buffer;
  try {
    onValidate_(this);
  } catch (...) {
    validating_ = false;
    validateBuffer_ = nullptr;
    throw;
  }
  validating_ = false;
  validateBuffer_ = nullptr;
}

bool TField::ReadNative(std::vector<Byte>& buffer) const {
  buffer.assign(static_cast<std::size_t>(std::max(DataSize(), 1)), Byte{0});
  return GetData(buffer.data());
}

bool TField::IsNull() const { return !GetData(nullptr); }

Variant TField::Value() const { return GetAsVariant(); }

void TField::SetValue(const Variant& value) {
  if (value.IsClear())
    Clear();
  else
    SetAsVariantValue(value);
}

void TField::Assign(const classes::TPersistent& source) {
  const auto* other = dynamic_cast<const TField*>(&source);
  if (!other) {
    classes::TComponent::Assign(source);
    return;
  }
  if (other->IsNull())
    Clear();
  else if (IsBlob() || other->IsBlob())
    SetAsString(other->AsString());
  else
    SetValue(other->Value());
}

void TField::AccessError(const char* kind) const {
  DatabaseError(rtl::FormatS(kFieldAccessText, DisplayName()) + kind);
}

void TField::RangeError(const std::string& value) const {
  DatabaseError(rtl::FormatS(kFieldRangeText, DisplayName()) + value);
}

std::string TField::GetAsString() const { AccessError("String"); }
void TField::SetAsStringValue(const std::string&) { AccessError("String"); }
int TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(int) { AccessError("Integer"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool) { AccessError("Boolean"); }
TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError("DateTime"); }
Currency TField::GetAsCurrency() const {
  const double v = GetAsFloat();
  return static_cast<Currency>(v * 10000.0 + (v >= 0 ? 0.5 : -0.5));
}
void TField::SetAsCurrencyValue(Currency v) { SetAsFloatValue(static_cast<double>(v) / 10000.0); }
Variant TField::GetAsVariant() const { AccessError("Variant"); }
void TField::SetAsVariantValue(const Variant&) { AccessError("Variant"); }

TField* TFields::operator[](int index) const {
  if (index < 0 || index >= Count())
    throw classes::EListError(std::string("Índice da lista fora dos limites ("_ansi) + std::to_string(index) + ")");
  return list_[static_cast<std::size_t>(index)];
}

int TFields::IndexOf(const TField* field) const {
  const auto it = std::find(list_.begin(), list_.end(), field);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

TField* TFields::FindField(std::string_view name) const {
  for (TField* f : list_)
    if (rtl::AnsiSameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TFields::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt(kFieldNotFoundText, name, dataSet_);
  return f;
}

void TFields::Remove(TField* field) {
  list_.erase(std::remove(list_.begin(), list_.end(), field), list_.end());
}

}  // namespace db
