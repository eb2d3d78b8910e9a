// Collections: a list of items of one kind, owned by the collection, each a TPersistent with
// its own published properties, streamed in a description as
//   FieldDefs = <
//     item
//       Name = 'CODIGO'
//     end>
//
//   class TFieldDef : public classes::TCollectionItem { CLASSES_DECLARE_CLASSINFO() ... };
//   class TFieldDefs : public classes::TCollection {
//    public:
//     explicit TFieldDefs(TPersistent* owner)
//         : TCollection([] { return std::make_unique<TFieldDef>(); }, owner) {}
//     TFieldDef* AddFieldDef() { return static_cast<TFieldDef*>(Add()); }
//    protected:
//     void Update(classes::TCollectionItem* item) override;   // after changes
//   };
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/classes/object.h"

namespace classes {

class TCollection;

class TCollectionItem : public TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TCollectionItem() = default;  // an item may also live outside any collection
  TCollection* Collection() const { return collection_; }
  int Index() const;  // -1 outside a collection
  int ID() const { return id_; }
  TPersistent* GetOwner() override;

 protected:
  // Tells the collection that this item (or, with allItems, the whole collection) changed.
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollection : public TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>()>;
  explicit TCollection(ItemFactory makeItem, TPersistent* owner = nullptr);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Item(int index) const;  // EListError outside 0 .. count-1
  TCollectionItem* FindItemID(int id) const;
  void Delete(int index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  // Copies the items of another collection (each through the item's Assign).
  void Assign(const TPersistent& source) override;
  TPersistent* GetOwner() override { return owner_; }

 protected:
  friend class TCollectionItem;
  // After a change of one item (item) or of the collection (nullptr); not while updating.
  virtual void Update(TCollectionItem* item);
  virtual void Notify(TCollectionItem* item, TCollectionNotification action);
  void Changed();

 private:
  ItemFactory makeItem_;
  TPersistent* owner_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
  int updateCount_ = 0;
  int nextId_ = 0;
};

}  // namespace classes
