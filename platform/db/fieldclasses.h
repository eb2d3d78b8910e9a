// The framework's field classes for the scalar types. Native forms (what ReadFieldData
// writes): string Size characters + 0; smallint 16-bit; integer and auto-increment 32-bit;
// word unsigned 16-bit; Boolean 16-bit (-1 true, 0 false); float and currency double; BCD a
// TBcd; date 32-bit day number (0001-01-01 = 1); time 32-bit milliseconds since midnight;
// date-time double (day number x 86400000 + milliseconds); bytes Size raw bytes; var-bytes a
// 16-bit length then up to Size bytes.
#pragma once
#include "platform/db/field.h"

namespace db {

class TStringField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TStringField(classes::TComponent* owner);
  int DataSize() const override { return Size() + 1; }

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool v) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;
};

// Common base of the number fields.
class TNumericField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TNumericField(classes::TComponent* owner) : TField(owner) {}
};

class TIntegerField : public TNumericField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TIntegerField(classes::TComponent* owner);
  int DataSize() const override { return 4; }

 protected:
  // Range and store the native form of a value; subclasses change the width.
  virtual void StoreInteger(std::int64_t v);
  virtual bool LoadInteger(std::int64_t& v) const;
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;
};

class TSmallintField : public TIntegerField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TSmallintField(classes::TComponent* owner);
  int DataSize() const override { return 2; }

 protected:
  void StoreInteger(std::int64_t v) override;
  bool LoadInteger(std::int64_t& v) const override;
};

class TWordField : public TIntegerField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TWordField(classes::TComponent* owner);
  int DataSize() const override { return 2; }

 protected:
  void StoreInteger(std::int64_t v) override;
  bool LoadInteger(std::int64_t& v) const override;
};

// Not read-only by default: the dataset decides what a write of it means.
class TAutoIncField : public TIntegerField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TAutoIncField(classes::TComponent* owner);
};

class TFloatField : public TNumericField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TFloatField(classes::TComponent* owner);
  int DataSize() const override { return 8; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool v) { currency_ = v; }
  int Precision() const { return precision_; }
  void SetPrecision(int v) { precision_ = v; }

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  db::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(db::Currency v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;

 private:
  bool currency_ = false;
  int precision_ = 15;
};

class TCurrencyField : public TFloatField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCurrencyField(classes::TComponent* owner);
};

// Size is the scale (digits after the point).
class TBCDField : public TNumericField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBCDField(classes::TComponent* owner);
  int DataSize() const override { return static_cast<int>(sizeof(TBcd)); }
  bool Currency() const { return currency_; }
  void SetCurrency(bool v) { currency_ = v; }
  int Precision() const { return precision_; }
  void SetPrecision(int v) { precision_ = v; }

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  db::Currency GetAsCurrency() const override;
  void SetAsCurrencyValue(db::Currency v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;

 private:
  int EffectivePrecision() const { return precision_ > 0 ? precision_ : 20; }
  void StoreBcd(const TBcd& v);
  bool currency_ = false;
  int precision_ = 0;
};

class TBooleanField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBooleanField(classes::TComponent* owner);
  int DataSize() const override { return 2; }

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  bool GetAsBoolean() const override;
  void SetAsBooleanValue(bool v) override;
  int GetAsInteger() const override;
  void SetAsIntegerValue(int v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;
};

// Base of the date and time fields; itself the date-time field.
class TDateTimeField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDateTimeField(classes::TComponent* owner);
  int DataSize() const override { return 8; }

 protected:
  // Between the native form and TDateTime; overridden by date and time.
  virtual bool LoadDateTime(TDateTime& v) const;
  virtual void StoreDateTime(TDateTime v);
  virtual std::string Text(TDateTime v) const { return DateTimeToStr(v); }
  virtual TDateTime Parse(const std::string& text) const { return StrToDateTime(text); }
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  double GetAsFloat() const override;
  void SetAsFloatValue(double v) override;
  TDateTime GetAsDateTime() const override;
  void SetAsDateTimeValue(TDateTime v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;
};

class TDateField : public TDateTimeField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDateField(classes::TComponent* owner);
  int DataSize() const override { return 4; }

 protected:
  bool LoadDateTime(TDateTime& v) const override;
  void StoreDateTime(TDateTime v) override;
  std::string Text(TDateTime v) const override { return DateToStr(v); }
  TDateTime Parse(const std::string& text) const override { return StrToDate(text); }
};

class TTimeField : public TDateTimeField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TTimeField(classes::TComponent* owner);
  int DataSize() const override { return 4; }

 protected:
  bool LoadDateTime(TDateTime& v) const override;
  void StoreDateTime(TDateTime v) override;
  std::string Text(TDateTime v) const override { return TimeToStr(v); }
  TDateTime Parse(const std::string& text) const override { return StrToTime(text); }
};

class TBytesField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBytesField(classes::TComponent* owner);
  int DataSize() const override { return Size(); }

 protected:
  // The bytes of the value (Size of them, or the stored length for var-bytes).
  virtual std::string LoadBytes(const std::vector<Byte>& native) const;
  virtual std::vector<Byte> StoreBytes(const std::string& bytes) const;
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;
};

class TVarBytesField : public TBytesField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TVarBytesField(classes::TComponent* owner);
  int DataSize() const override { return Size() + 2; }

 protected:
  std::string LoadBytes(const std::vector<Byte>& native) const override;
  std::vector<Byte> StoreBytes(const std::string& bytes) const override;
};

}  // namespace db
