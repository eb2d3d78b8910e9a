// Fields of a dataset: binding, default fields, field classes, values by name, calculated
// fields, data events and links.
#include <algorithm>
#include <set>

#include "platform/db/blobfields.h"
#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/fieldclasses.h"
#include "platform/db/fielddefs.h"
#include "platform/db/indexdefs.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/updating.h"
#include "platform/rtl/strutils.h"

namespace db {

namespace {

// Field types that may stand for one another between a definition and a persistent field.
int TypeFamily(TFieldType t) {
  switch (t) {
    case ftInteger: case ftAutoInc: return 1;
    case ftFloat: case ftCurrency: return 2;
    case ftString: case ftFixedChar: case ftWideString: return 3;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob: case ftOraClob: return 4;
    default: return 100 + static_cast<int>(t);
  }
}

// Each "%s" or "%d" of the pattern takes the next argument, in one pass.
std::string FormatArgs(std::string_view pattern, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd') &&
        next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

bool HasFixedWidth(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftBytes || t == ftVarBytes;
}

// The names of a ";"-separated list, blanks around each removed, empty entries skipped.
std::vector<std::string> SplitNames(std::string_view names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    std::string name = rtl::Trim(names.substr(start, end - start));
    if (!name.empty()) out.push_back(std::move(name));
    start = end + 1;
  }
  return out;
}

}  // namespace

TFieldClass TDataSet::FieldClassFor(TFieldType type) {
  switch (type) {
    case ftString: case ftFixedChar: case ftWideString: return &TStringField::StaticClassInfo();
    case ftSmallint: return &TSmallintField::StaticClassInfo();
    case ftInteger: return &TIntegerField::StaticClassInfo();
    case ftWord: return &TWordField::StaticClassInfo();
    case ftAutoInc: return &TAutoIncField::StaticClassInfo();
    case ftBoolean: return &TBooleanField::StaticClassInfo();
    case ftFloat: return &TFloatField::StaticClassInfo();
    case ftCurrency: return &TCurrencyField::StaticClassInfo();
    case ftBCD: return &TBCDField::StaticClassInfo();
    case ftDate: return &TDateField::StaticClassInfo();
    case ftTime: return &TTimeField::StaticClassInfo();
    case ftDateTime: return &TDateTimeField::StaticClassInfo();
    case ftBytes: return &TBytesField::StaticClassInfo();
    case ftVarBytes: return &TVarBytesField::StaticClassInfo();
    case ftBlob: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary: return &TBlobField::StaticClassInfo();
    case ftMemo: case ftFmtMemo: return &TMemoField::StaticClassInfo();
    case ftGraphic: return &TGraphicField::StaticClassInfo();
    default: return nullptr;
  }
}

void TDataSet::InitFieldDefsFromTable() {
  if (IsTableOpen()) LoadFieldDefs();
}

void TDataSet::LoadFieldDefs() { AbstractError(); }

void TDataSet::BindFields(bool binding) {
  calcFieldsSize_ = 0;
  blobFieldCount_ = 0;
  for (TField* field : fields_) {
    if (field->FieldKind() == TFieldKind::Data) {
      if (binding) {
        const int index = fieldDefs_->IndexOf(field->FieldName());
        if (index < 0) DatabaseErrorFmt(kFieldNotFoundText, field->DisplayName(), this);
        const TFieldDef& def = fieldDefs_->Items(index);
        if (TypeFamily(def.DataType()) != TypeFamily(field->DataType()))
          DatabaseErrorFmt(kFieldTypeMismatchText, field->DisplayName(), this);
        // A field of fixed width reads and writes that many bytes of the record.
        if (HasFixedWidth(field->DataType()) && field->Size() != def.Size())
          DatabaseError(FormatArgs(kFieldSizeMismatchText, {field->DisplayName(), rtl::IntToStr(def.Size()),
                                                            rtl::IntToStr(field->Size())}),
                        this);
        field->fieldNo_ = index + 1;
      } else {
        field->fieldNo_ = 0;
      }
    } else {
      field->fieldNo_ = -1;
      field->offset_ = binding ? calcFieldsSize_ : 0;
      if (binding) calcFieldsSize_ += field->DataSize() + 1;
    }
    if (field->IsBlob()) {
      field->offset_ = binding ? blobFieldCount_ : 0;
      if (binding) ++blobFieldCount_;
    }
  }
  if (!binding) {
    calcFieldsSize_ = 0;
    blobFieldCount_ = 0;
  }
}

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_->Count(); ++i) {
    TFieldDef& def = fieldDefs_->Items(i);
    if (def.DataType() != ftUnknown) def.CreateField(this);
  }
}

void TDataSet::DestroyFields() {
  // Fields this dataset owns are destroyed; persistent fields of other owners are only detached.
  while (fields_.Count() > 0) {
    TField* field = fields_.list_.back();
    fields_.list_.pop_back();
    field->dataSet_ = nullptr;
    if (field->Owner() == this) delete field;
  }
}

void TDataSet::AddField(TField* field) { fields_.Add(field); }

void TDataSet::RemoveField(TField* field) { fields_.Remove(field); }

void TDataSet::GetFieldList(std::vector<TField*>& list, std::string_view names) const {
  for (const std::string& name : SplitNames(names)) list.push_back(FieldByName(name));
}

void TDataSet::GetFieldNames(classes::TStrings& list) {
  if (fields_.Count() == 0) {
    fieldDefs_->Update();
    fieldDefs_->GetItemNames(list);
    return;
  }
  classes::WhileUpdating(list, [&] {
    list.Clear();
    for (TField* f : fields_) list.Add(f->FieldName());
  });
}

Variant TDataSet::FieldValues(std::string_view names) const {
  std::vector<TField*> list;
  GetFieldList(list, names);
  if (list.size() == 1) return list.front()->Value();
  std::vector<Variant> values;
  for (TField* f : list) values.push_back(f->Value());
  return Variant::Array(std::move(values));
}

void TDataSet::SetFieldValues(std::string_view names, const Variant& values) {
  std::vector<TField*> list;
  GetFieldList(list, names);
  if (list.size() == 1 && !values.IsArray()) {
    list.front()->SetValue(values);
    return;
  }
  for (std::size_t i = 0; i < list.size(); ++i) list[i]->SetValue(values[static_cast<int>(i)]);
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  calcBuffer_ = buffer;
  if (calcFieldsSize_ <= 0) return;
  const DSState previous = SetTempState(DSState::CalcFields);
  try {
    ClearCalcArea(buffer);
    OnCalcFields.Fire(this);
  } catch (...) {
    RestoreState(previous);
    throw;
  }
  RestoreState(previous);
}

std::unique_ptr<classes::TStream> TDataSet::CreateBlobStream(TField* field, BlobMode mode) {
  return OpenBlobStream(field, mode);
}

std::unique_ptr<classes::TStream> TDataSet::OpenBlobStream(TField*, BlobMode) { return nullptr; }

std::unique_ptr<TIndexDef> TDataSet::ProviderDefaultOrder() { return nullptr; }

void TDataSet::DataEvent(DataEventKind event, std::intptr_t info) {
  TField* changed = nullptr;
  switch (event) {
    case DataEventKind::FieldChange:
      changed = reinterpret_cast<TField*>(info);
      if (changed && (changed->FieldKind() == TFieldKind::Data || changed->FieldKind() == TFieldKind::InternalCalc))
        modified_ = true;
      if (changed && changed->FieldKind() == TFieldKind::Data && autoCalcFields_ && calcFieldsSize_ > 0 &&
          (state_ == DSState::Edit || state_ == DSState::Insert))
        GetCalcFields(ActiveBuffer());
      break;
    case DataEventKind::PropertyChange:
      fieldDefs_->SetUpdated(false);
      break;
    default:
      break;
  }
  if (tempStateDepth_ == 0) {
    if (disableCount_ == 0 || event == DataEventKind::UpdateRecord || event == DataEventKind::CheckBrowseMode)
      NotifyDataSources(event, info);
    else
      pendingChange_ = true;
  }
  if (changed) changed->Change();
}

void TDataSet::NotifyDataSources(DataEventKind event, std::intptr_t info) {
  // A handler may detach a source; walk a copy.
  const std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disableCount_ == 0) {
    disableState_ = state_;
    pendingChange_ = false;
  }
  ++disableCount_;
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ > 0) return;
  const bool wasActive = disableState_ != DSState::Inactive && disableState_ != DSState::Opening;
  if (disableState_ != state_) NotifyDataSources(DataEventKind::UpdateState, wasActive != Active() ? 1 : 0);
  if (wasActive && Active() && (pendingChange_ || disableState_ == state_))
    NotifyDataSources(DataEventKind::DataSetChange, 0);
  pendingChange_ = false;
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
  std::set<const TDataSet*> seen;
  while (source) {
    const TDataSet* shown = source->DataSet();
    if (!shown) return false;
    if (shown == this) return true;
    if (!seen.insert(shown).second) return false;  // a loop that does not pass through us
    source = shown->GetDataSource();
  }
  return false;
}

void TDataSet::AddDataSource(TDataSource* source) {
  if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end())
    dataSources_.push_back(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source), dataSources_.end());
}

}  // namespace db
