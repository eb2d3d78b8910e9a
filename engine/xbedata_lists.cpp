// The engine field list and the index-file list of a dataset.
#include "engine/xbedata.h"
#include "platform/classes/classbuilder.h"
#include "platform/rtl/strutils.h"

const classes::TClassInfo& TXbeFieldDef::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TXbeFieldDef, classes::TCollectionItem>("TXbeFieldDef", [](auto&) {});
  return info;
}

const classes::TClassInfo& TXbeFieldDefs::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TXbeFieldDefs, classes::TCollection>("TXbeFieldDefs", [](auto&) {});
  return info;
}

TXbeFieldDefs::TXbeFieldDefs(classes::TPersistent* owner)
    : classes::TCollection([] { return std::make_unique<TXbeFieldDef>(); }, owner) {}

TXbeFieldDef* TXbeFieldDefs::AddDef() { return static_cast<TXbeFieldDef*>(Add()); }

TXbeFieldDef* TXbeFieldDefs::GetDef(int index) const { return static_cast<TXbeFieldDef*>(Item(index)); }

int TXbeFieldDefs::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (rtl::AnsiSameText(GetDef(i)->Name, name)) return i;
  return -1;
}

const classes::TClassInfo& TXbeIndexFiles::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TXbeIndexFiles, classes::TStringList>("TXbeIndexFiles", [](auto&) {});
  return info;
}

namespace {
TXbeDataSet* RequireOwner(TXbeDataSet* dataSet) {
  if (dataSet == nullptr) RaiseXbeError(nullptr, "TXbeIndexFiles instances require a non-nil owner");
  return dataSet;
}
}  // namespace

TXbeIndexFiles::TXbeIndexFiles(TXbeDataSet* dataSet) : ownerDataSet_(RequireOwner(dataSet)) {
  SetDuplicates(classes::dupIgnore);
  SetSorted(true);
}

int TXbeIndexFiles::Add(const std::string& name) {
  if (ownerDataSet_->Active()) ownerDataSet_->OpenIndexFile(name);
  ownerDataSet_->IndexDefs().SetUpdated(false);
  return classes::TStringList::Add(name);
}

void TXbeIndexFiles::Insert(int index, const std::string& name) {
  classes::TStringList::Insert(index, name);
  if (ownerDataSet_->Active()) ownerDataSet_->OpenIndexFile(name);
  ownerDataSet_->IndexDefs().SetUpdated(false);
}

void TXbeIndexFiles::Delete(int index) {
  if (ownerDataSet_->Active()) ownerDataSet_->CloseIndexFile(Get(index));
  ownerDataSet_->IndexDefs().SetUpdated(false);
  classes::TStringList::Delete(index);
}

void TXbeIndexFiles::Clear() {
  if (ownerDataSet_->Active())
    for (int i = 0; i < Count(); ++i) ownerDataSet_->CloseIndexFile(Get(i));
  classes::TStringList::Clear();
}
