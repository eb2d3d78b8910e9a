// Parameters of a statement: a collection of named values with a data type, filled from SQL
// text markers (":name") and assigned from fields or code.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/collection.h"
#include "platform/db/dbtypes.h"
#include "platform/db/variant.h"

namespace db {

class TField;

class TParam : public classes::TCollectionItem {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TParam() = default;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType type) { dataType_ = type; }
  TParamType ParamType() const { return paramType_; }
  void SetParamType(TParamType type) { paramType_ = type; }
  // Assigning a value marks the parameter bound; the user of the parameter clears the mark.
  bool Bound() const { return bound_; }
  void SetBound(bool bound) { bound_ = bound; }

  bool IsNull() const { return value_.IsClear(); }
  void Clear() { value_ = Variant::Null(); }
  const Variant& Value() const { return value_; }
  // Also takes a data type from the value while the parameter has none.
  void SetValue(const Variant& value);
  std::string AsString() const { return value_.AsString(); }
  void SetAsString(const std::string& v);
  int AsInteger() const { return value_.AsInteger(); }
  void SetAsInteger(int v);
  double AsFloat() const { return value_.AsFloat(); }
  void SetAsFloat(double v);
  bool AsBoolean() const { return value_.AsBoolean(); }
  void SetAsBoolean(bool v);
  TDateTime AsDateTime() const { return value_.AsDateTime(); }
  void SetAsDateTime(TDateTime v);

  // The byte count of the raw value (bytes, var-bytes, blob, memo and graphic: the bytes held;
  // strings: the length + 1; other types: their native size) and the raw value itself.
  int GetDataSize() const;
  void GetData(void* buffer) const;

  // The field's data type, value (or none), data size and exact name; marks it bound.
  void AssignField(const TField* field);
  void Assign(const classes::TPersistent& source) override;

 private:
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  TParamType paramType_ = TParamType::ptUnknown;
  Variant value_ = Variant::Null();
  bool bound_ = false;
  int fieldDataSize_ = 0;
};

class TParams : public classes::TCollection {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TParams(classes::TPersistent* owner = nullptr);

  TParam& Items(int index) const;  // EListError outside 0 .. count-1
  TParam* AddParam() { return static_cast<TParam*>(Add()); }
  TParam* CreateParam(TFieldType type, const std::string& name, TParamType paramType);
  // Case-insensitive; ParamByName raises "Parâmetro 'X' não encontrado".
  TParam* FindParam(std::string_view name) const;
  TParam* ParamByName(std::string_view name) const;
  // Copies the value of every parameter of `source` whose name matches one here.
  void AssignValues(const TParams& source);
  // The parameter names of the markers in the text, in order (a repeated name twice); with
  // `create` each becomes a new parameter (unknown type, unknown kind, no value).
  std::vector<std::string> ParseSQL(std::string_view sql, bool create);
};

}  // namespace db
