// Index definitions: the orders the underlying table offers, each with its name, its key
// fields (";"-joined) and options.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/classes/collection.h"
#include "platform/db/dbtypes.h"

namespace db {

class TDataSet;
class TIndexDefs;

class TIndexDef : public classes::TCollectionItem {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TIndexDef() = default;  // also free-standing, outside any TIndexDefs

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  const std::string& Fields() const { return fields_; }
  void SetFields(const std::string& fields);
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options);
  const std::string& Expression() const { return expression_; }
  void SetExpression(const std::string& expression);
  void Assign(const classes::TPersistent& source) override;

 private:
  std::string name_;
  std::string fields_;
  std::string expression_;
  TIndexOptions options_;
};

class TIndexDefs : public classes::TCollection {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TIndexDefs(TDataSet* dataSet);

  TDataSet* DataSet() const { return dataSet_; }
  TIndexDef& Items(int index) const;  // EListError outside 0 .. count-1
  TIndexDef* AddIndexDef() { return static_cast<TIndexDef*>(Add()); }
  // Raises "Nome de índice duplicado '%s'" when the name exists (case-insensitive).
  TIndexDef* Add(const std::string& name, const std::string& fields, TIndexOptions options);
  using classes::TCollection::Add;
  int IndexOf(std::string_view name) const;
  // Raises the dataset's index-not-found error when there is none.
  TIndexDef* Find(std::string_view name) const;
  // The definition whose key fields are the given ones (";"-separated, any letter case), or
  // failing that one whose leading key fields are; FindIndexForFields raises when there is
  // none, GetIndexForFields answers nullptr. With caseInsensitive only case-insensitive orders
  // qualify.
  TIndexDef* FindIndexForFields(std::string_view fields) const;
  TIndexDef* GetIndexForFields(std::string_view fields, bool caseInsensitive) const;
  // A new collection (owned by the caller, of the same dataset) with the definitions whose
  // options include every requested one; all of them when none is requested.
  std::unique_ptr<TIndexDefs> Select(TIndexOptions required) const;

  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }
  // Asks the dataset's LoadIndexDefs, which itself decides by Updated().
  void Update();

 protected:
  void Update(classes::TCollectionItem* item) override;

 private:
  TDataSet* dataSet_;
  bool updated_ = false;
  int internalUpdate_ = 0;
};

}  // namespace db
