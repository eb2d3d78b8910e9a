// TField: one column of a dataset. Values are read and written through the dataset's
// ReadFieldData / WriteFieldData hooks in the native form of the field's type; the field
// classes convert between that form and strings, numbers, dates and variants.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/db/dberrors.h"
#include "platform/db/dbtypes.h"
#include "platform/db/variant.h"

namespace db {

class TDataSet;
class TField;

using TFieldNotifyEvent = classes::TMethod<void(TField* sender)>;

class TField : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TField(classes::TComponent* owner);
  ~TField() override;

  // Identity and layout.
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  const std::string& FullName() const { return fieldName_; }
  const std::string& DisplayLabel() const { return displayLabel_; }
  void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
  // The display label, or the field name when there is none.
  const std::string& DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  TFieldType DataType() const { return dataType_; }
  // Bytes of the native form that ReadFieldData fills.
  virtual int DataSize() const { return 0; }
  int Size() const { return size_; }
  virtual void SetSize(int size) { size_ = size; }
  // 1-based definition number of a bound data field; 0 when unbound; -1 for calculated and
  // lookup fields.
  int FieldNo() const { return fieldNo_; }
  // Calculated and lookup fields: start in the calculated-field area; blob fields: slot number.
  int Offset() const { return offset_; }
  TFieldKind FieldKind() const { return fieldKind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return fieldKind_ == TFieldKind::Calculated; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool Required() const { return required_; }
  void SetRequired(bool v) { required_ = v; }
  const std::string& DefaultExpression() const { return defaultExpression_; }
  void SetDefaultExpression(const std::string& v) { defaultExpression_ = v; }
  TDataSet* DataSet() const { return dataSet_; }
  // Attaches the field to a dataset (its Fields list) or detaches it (nullptr); both datasets
  // must be closed.
  void SetDataSet(TDataSet* dataSet);
  virtual bool IsBlob() const { return false; }
  // Whether the field is a segment of the dataset's active index.
  bool IsIndexField() const;

  // Values. Reading outside a record (closed or empty dataset) gives no value.
  bool IsNull() const;
  // Blob fields empty their stream instead.
  virtual void Clear() { SetData(nullptr); }
  Variant Value() const;
  void SetValue(const Variant& value);
  std::string AsString() const { return GetAsString(); }
  void SetAsString(const std::string& v) { SetAsStringValue(v); }
  int AsInteger() const { return GetAsInteger(); }
  void SetAsInteger(int v) { SetAsIntegerValue(v); }
  double AsFloat() const { return GetAsFloat(); }
  void SetAsFloat(double v) { SetAsFloatValue(v); }
  bool AsBoolean() const { return GetAsBoolean(); }
  void SetAsBoolean(bool v) { SetAsBooleanValue(v); }
  TDateTime AsDateTime() const { return GetAsDateTime(); }
  void SetAsDateTime(TDateTime v) { SetAsDateTimeValue(v); }
  Currency AsCurrency() const { return GetAsCurrency(); }
  void SetAsCurrency(Currency v) { SetAsCurrencyValue(v); }

  // The native form: GetData fills `buffer` (DataSize bytes) and answers whether there is a
  // value; a null buffer asks only that. SetData hands native data (nullptr = no value) to the
  // dataset, which makes every check.
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);
  // Runs OnValidate with `buffer` as the field's value while the handler reads it.
  void Validate(const void* buffer);
  // Copies the value, or no value, of another field.
  void Assign(const classes::TPersistent& source) override;

  const TFieldNotifyEvent& OnValidate() const { return onValidate_; }
  void SetOnValidate(TFieldNotifyEvent e) { onValidate_ = std::move(e); }
  const TFieldNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(TFieldNotifyEvent e) { onChange_ = std::move(e); }
  // Fires OnChange (the dataset calls it after a value changed).
  void Change() { onChange_.Fire(this); }

 protected:
  void SetDataType(TFieldType type) { dataType_ = type; }
  // Conversions of the field classes; the base raises the field's conversion error.
  virtual std::string GetAsString() const;
  virtual void SetAsStringValue(const std::string& v);
  virtual int GetAsInteger() const;
  virtual void SetAsIntegerValue(int v);
  virtual double GetAsFloat() const;
  virtual void SetAsFloatValue(double v);
  virtual bool GetAsBoolean() const;
  virtual void SetAsBooleanValue(bool v);
  virtual TDateTime GetAsDateTime() const;
  virtual void SetAsDateTimeValue(TDateTime v);
  virtual Currency GetAsCurrency() const;
  virtual void SetAsCurrencyValue(Currency v);
  virtual Variant GetAsVariant() const;
  virtual void SetAsVariantValue(const Variant& v);
  // Raises "Campo 'X' não pode ser acessado como <kind>".
  [[noreturn]] void AccessError(const char* kind) const;
  // Raises the out-of-range error for a value the native form cannot hold.
  [[noreturn]] void RangeError(const std::string& value) const;
  // Reads the native form into a buffer of DataSize bytes; false when there is no value.
  bool ReadNative(std::vector<Byte>& buffer) const;

 private:
  friend class TDataSet;
  friend class TFieldDef;

  std::string fieldName_;
  std::string displayLabel_;
  std::string defaultExpression_;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int fieldNo_ = 0;
  int offset_ = 0;
  TFieldKind fieldKind_ = TFieldKind::Data;
  bool readOnly_ = false;
  bool required_ = false;
  TDataSet* dataSet_ = nullptr;
  TFieldNotifyEvent onValidate_;
  TFieldNotifyEvent onChange_;
  // While OnValidate runs, reads answer the value being validated.
  bool validating_ = false;
  const void* validateBuffer_ = nullptr;
};

// The ordered fields of a dataset (not owning them).
class TFields {
 public:
  explicit TFields(TDataSet* dataSet) : dataSet_(dataSet) {}
  int Count() const { return static_cast<int>(list_.size()); }
  TField* operator[](int index) const;   // EListError outside 0 .. count-1
  TField* Fields(int index) const { return (*this)[index]; }
  int IndexOf(const TField* field) const;
  // By name, case-insensitive; nullptr when absent.
  TField* FindField(std::string_view name) const;
  // Raises the dataset's "Campo 'X' não encontrado" error when absent.
  TField* FieldByName(std::string_view name) const;
  std::vector<TField*>::const_iterator begin() const { return list_.begin(); }
  std::vector<TField*>::const_iterator end() const { return list_.end(); }

 private:
  friend class TDataSet;
  void Add(TField* field) { list_.push_back(field); }
  void Remove(TField* field);
  TDataSet* dataSet_;
  std::vector<TField*> list_;
};

}  // namespace db
