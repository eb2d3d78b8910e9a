#include "platform/db/indexdefs.h"

#include <vector>

#include "platform/classes/updating.h"
#include "platform/db/dataset.h"
#include "platform/rtl/strutils.h"

namespace db {

namespace {

// The key field names of a ";"-separated list, trimmed and in upper case.
std::vector<std::string> KeyNames(std::string_view fields) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= fields.size()) {
    std::size_t end = fields.find(';', start);
    if (end == std::string_view::npos) end = fields.size();
    std::string name = rtl::UpperCase(rtl::Trim(fields.substr(start, end - start)));
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

}  // namespace

void TIndexDef::SetName(const std::string& name) {
  name_ = name;
  Changed(false);
}

void TIndexDef::SetFields(const std::string& fields) {
  fields_ = fields;
  Changed(false);
}

void TIndexDef::SetOptions(TIndexOptions options) {
  options_ = options;
  Changed(false);
}

void TIndexDef::SetExpression(const std::string& expression) {
  expression_ = expression;
  Changed(false);
}

void TIndexDef::Assign(const classes::TPersistent& source) {
  const auto* other = dynamic_cast<const TIndexDef*>(&source);
  if (!other) {
    classes::TCollectionItem::Assign(source);
    return;
  }
  name_ = other->name_;
  fields_ = other->fields_;
  expression_ = other->expression_;
  options_ = other->options_;
  Changed(false);
}

TIndexDefs::TIndexDefs(TDataSet* dataSet)
    : classes::TCollection([] { return std::make_unique<TIndexDef>(); }, dataSet), dataSet_(dataSet) {}

TIndexDef& TIndexDefs::Items(int index) const { return *static_cast<TIndexDef*>(Item(index)); }

TIndexDef* TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  if (IndexOf(name) >= 0) DatabaseErrorFmt(kDuplicateIndexNameText, name);
  TIndexDef* def = nullptr;
  classes::WhileUpdating(*this, [&] {
    def = AddIndexDef();
    def->SetName(name);
    def->SetFields(fields);
    def->SetOptions(options);
  });
  return def;
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (rtl::AnsiSameText(Items(i).Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::Find(std::string_view name) const {
  const int index = IndexOf(name);
  if (index < 0) DatabaseErrorFmt(kIndexNotFoundText, name, dataSet_);
  return &Items(index);
}

TIndexDef* TIndexDefs::GetIndexForFields(std::string_view fields, bool caseInsensitive) const {
  const std::vector<std::string> wanted = KeyNames(fields);
  if (wanted.empty()) return nullptr;
  TIndexDef* leading = nullptr;
  for (int i = 0; i < Count(); ++i) {
    TIndexDef& def = Items(i);
    if (caseInsensitive && !def.Options().Contains(ixCaseInsensitive)) continue;
    const std::vector<std::string> keys = KeyNames(def.Fields());
    if (keys == wanted) return &def;
    if (!leading && keys.size() > wanted.size() &&
        std::equal(wanted.begin(), wanted.end(), keys.begin()))
      leading = &def;
  }
  return leading;
}

TIndexDef* TIndexDefs::FindIndexForFields(std::string_view fields) const {
  TIndexDef* def = GetIndexForFields(fields, false);
  if (!def) DatabaseErrorFmt(kNoIndexForFieldsText, fields, dataSet_);
  return def;
}

std::unique_ptr<TIndexDefs> TIndexDefs::Select(TIndexOptions required) const {
  auto selection = std::make_unique<TIndexDefs>(dataSet_);
  ++selection->internalUpdate_;  // building a copy changes nothing of the dataset's own
  for (int i = 0; i < Count(); ++i) {
    const TIndexDef& def = Items(i);
    if ((def.Options() * required) == required) selection->AddIndexDef()->Assign(def);
  }
  --selection->internalUpdate_;
  selection->SetUpdated(true);
  return selection;
}

void TIndexDefs::Update() {
  if (!dataSet_) return;
  ++internalUpdate_;
  try {
    dataSet_->LoadIndexDefs();
  } catch (...) {
    --internalUpdate_;
    throw;
  }
  --internalUpdate_;
}

void TIndexDefs::Update(classes::TCollectionItem*) {
  if (internalUpdate_ == 0 && dataSet_) dataSet_->DefinitionsChanged(this);
}

}  // namespace db
