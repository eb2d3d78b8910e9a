#include "platform/classes/collection.h"

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/classes/updating.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

const TClassInfo& TCollectionItem::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TCollectionItem, TPersistent>("TCollectionItem", [](auto&) {});
  return info;
}

const TClassInfo& TCollection::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TCollection, TPersistent>("TCollection", [](auto&) {});
  return info;
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  for (int i = 0; i < collection_->Count(); ++i)
    if (collection_->items_[static_cast<std::size_t>(i)].get() == this) return i;
  return -1;
}

TPersistent* TCollectionItem::GetOwner() { return collection_; }

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(allItems ? nullptr : this);
}

TCollection::TCollection(ItemFactory makeItem, TPersistent* owner)
    : makeItem_(std::move(makeItem)), owner_(owner) {}

TCollection::~TCollection() {
  // Items go last first; Notify is not called: the derived part is already gone.
  while (!items_.empty()) items_.pop_back();
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count())
    throw EListError(rtl::FormatS("Índice da lista fora dos limites (%d)"_ansi, rtl::IntToStr(index)));
  std::unique_ptr<TCollectionItem> item = makeItem_();
  TCollectionItem* raw = item.get();
  raw->collection_ = this;
  raw->id_ = nextId_++;
  items_.insert(items_.begin() + index, std::move(item));
  Notify(raw, cnAdded);
  Changed();
  return raw;
}

TCollectionItem* TCollection::Item(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(rtl::FormatS("Índice da lista fora dos limites (%d)"_ansi, rtl::IntToStr(index)));
  return items_[static_cast<std::size_t>(index)].get();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (const auto& item : items_)
    if (item->id_ == id) return item.get();
  return nullptr;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Item(index);
  Notify(item, cnDeleting);
  items_.erase(items_.begin() + index);
  Changed();
}

void TCollection::Clear() {
  if (items_.empty()) return;
  WhileUpdating(*this, [&] {
    while (!items_.empty()) {
      Notify(items_.back().get(), cnDeleting);
      items_.pop_back();
    }
  });
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TCollection*>(&source)) {
    if (other == this) return;
    WhileUpdating(*this, [&] {
      Clear();
      for (const auto& item : other->items_) Add()->Assign(*item);
    });
    return;
  }
  TPersistent::Assign(source);
}

void TCollection::Update(TCollectionItem*) {}
void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

}  // namespace classes
