// Field definitions: what the underlying table says its columns are. Fields are made from them
// (default fields) or bound to them by name; definition n describes column n.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/collection.h"
#include "platform/db/dbtypes.h"

namespace classes {
class TComponent;
class TStrings;
}  // namespace classes

namespace db {

class TDataSet;
class TField;
class TFieldDefs;

class TFieldDef : public classes::TCollectionItem {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TFieldDef() = default;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType type);
  // String and bytes: the length; BCD: the scale; blob kinds: 1; others 0.
  int Size() const { return size_; }
  void SetSize(int size);
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  bool Required() const { return required_; }
  void SetRequired(bool required);
  // The 1-based position (the column number).
  int FieldNo() const { return Index() + 1; }
  // A field of the dataset's class for the type, named, sized and attached to the dataset.
  TField* CreateField(classes::TComponent* owner);
  void Assign(const classes::TPersistent& source) override;

 private:
  TFieldDefs* Defs() const;
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  int size_ = 0;
  int precision_ = 0;
  bool required_ = false;
};

class TFieldDefs : public classes::TCollection {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TFieldDefs(TDataSet* dataSet);

  TDataSet* DataSet() const { return dataSet_; }
  TFieldDef& Items(int index) const;  // EListError outside 0 .. count-1
  TFieldDef* AddFieldDef() { return static_cast<TFieldDef*>(Add()); }
  TFieldDef* Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  using classes::TCollection::Add;
  // Case-insensitive; Find raises the dataset's error when there is none.
  TFieldDef* Find(std::string_view name) const;
  int IndexOf(std::string_view name) const;
  void GetItemNames(std::vector<std::string>& names) const;
  void GetItemNames(classes::TStrings& names) const;

  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }
  // Brings the definitions up to date (the dataset's InitFieldDefsFromTable) when they are
  // not; the rebuild is not reported as a change of the definitions.
  void Update();

 protected:
  void Update(classes::TCollectionItem* item) override;

 private:
  TDataSet* dataSet_;
  bool updated_ = false;
  int internalUpdate_ = 0;
};

}  // namespace db
