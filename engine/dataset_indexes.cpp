// Indexes of a dataset: the active index, index definitions from the engine's orders, and
// index files opened and closed on an open table.
#include <cstring>
#include <vector>

#include "engine/xbedata.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace {

std::string TextOf(const char* buffer, std::size_t capacity) { return std::string(buffer, strnlen(buffer, capacity)); }

}  // namespace

void TXbeDataSet::SetIndexFieldNames(const std::string& value) {
  if (Active()) CheckBrowseMode();
  if (scoped_) SetScoped(false);
  const std::string trimmed = TrimSpaces(value);
  const std::string oldNames = indexFieldNames_;
  const std::uint8_t oldKind = activeIndexKind_;
  indexFieldNames_ = trimmed;
  indexName_.clear();
  activeIndexKind_ = trimmed.empty() ? IndexKindNone : IndexKindByFields;
  if (tableHandle_ != kNoHandle) {
    try {
      ActivateIndex();
    } catch (...) {
      indexFieldNames_ = oldNames;
      activeIndexKind_ = oldKind;
      throw;
    }
    if (Active()) Resync({});
  }
}

void TXbeDataSet::SetIndexName(const std::string& value) {
  if (Active()) CheckBrowseMode();
  const std::string oldName = indexName_;
  const std::uint8_t oldKind = activeIndexKind_;
  indexName_ = value;
  indexFieldNames_.clear();
  activeIndexKind_ = value.empty() ? IndexKindNone : IndexKindNamed;
  if (rtl::UpperCase(value) == "XBE_DEFAULT") activeIndexKind_ = IndexKindDefault;
  if (tableHandle_ != kNoHandle) {
    try {
      if (scoped_)
        SetScoped(false);
      else if (!keyBuffers_.empty())
        ResetKeyRange();
      ActivateIndex();
    } catch (...) {
      indexName_ = oldName;
      activeIndexKind_ = oldKind;
      throw;
    }
    if (Active()) {
      Resync({});
      if (masterLink_->Active() && !masterLink_->Fields().empty()) FollowMaster();
    }
  }
}

XBEHANDLE TXbeDataSet::FindIndexForFields(const std::string& fieldNames) {
  indexDefs_->Update();
  const db::TIndexDef* def = indexDefs_->GetIndexForFields(fieldNames, false);
  if (def == nullptr) return kNoHandle;
  XBEHANDLE handle = kNoHandle;
  CheckXbeResult(this, XbeGetIndexHandle(tableHandle_, def->Name().c_str(), &handle));
  return handle;
}

void TXbeDataSet::ActivateIndex() {
  if (Active()) CheckBrowseMode();
  UpdateCursorPos();
  // The new handle is taken only once the engine gave it: a refused index keeps the dataset on
  // the order it had, so the setters can put the old choice back and the dataset stays usable.
  XBEHANDLE handle = tableHandle_;
  switch (activeIndexKind_) {
    case IndexKindNone: break;
    case IndexKindNamed:
      CheckXbeResult(this, XbeGetIndexHandle(tableHandle_, indexName_.c_str(), &handle));
      break;
    case IndexKindByFields:
      handle = FindIndexForFields(indexFieldNames_);
      if (handle == kNoHandle) RaiseXbeError(this, "Not a valid index field name:" + indexFieldNames_);
      break;
    case IndexKindDefault:
      CheckXbeResult(this, XbeGetIndexHandle(tableHandle_, dictionaryDefaultIndex_.c_str(), &handle));
      break;
  }
  // A bound edited for the old order would cut the new one's keys wherever it falls.
  if (handle != activeHandle_ && !keyBuffers_.empty()) ClearEditedRange();
  activeHandle_ = handle;
  SetBufferListSize(0);
  LayOutRecordBuffer();
  try {
    SetBufferListSize(BufferCount() + 1);
  } catch (...) {
    SetState(db::DSState::Inactive);
    CloseCursor();
    throw;
  }
}

void TXbeDataSet::LoadIndexDefs() {
  if (indexDefs_->Updated()) return;
  const bool temporary = tableHandle_ == kNoHandle;
  const XBEHANDLE handle = temporary ? OpenTable() : tableHandle_;
  std::vector<XBEHANDLE> orders;
  try {
    std::uint16_t count = 0;
    CheckXbeResult(this, XbeGetNumIndexes(handle, &count));
    indexDefs_->Clear();
    orders.assign(count + 1u, 0);  // never an empty array for the engine
    std::uint16_t delivered = count;
    CheckXbeResult(this, XbeGetAllIndexes(handle, orders.data(), &delivered));
    for (std::uint16_t i = 0; i < count; ++i) {
      const XBEHANDLE order = orders[i];
      db::TIndexOptions options;
      char name[260] = {};
      std::uint16_t nameLength = sizeof name;
      CheckXbeResult(this, XbeGetIndexName(order, name, &nameLength));
      std::uint16_t segments = 0;
      CheckXbeResult(this, XbeGetNumSegments(order, &segments));
      std::string fields;
      for (std::uint16_t j = 0; j < segments; ++j) {
        char field[510] = {};
        std::uint16_t fieldLength = sizeof field;
        CheckXbeResult(this, XbeGetSegmentFieldname(order, j, field, &fieldLength));
        if (j > 0) fields += ';';
        fields += TextOf(field, sizeof field);
      }
      std::uint16_t yes = 0;
      CheckXbeResult(this, XbeIsIndexDescending(order, &yes));
      if (yes == 1) options.Include(db::ixDescending);
      CheckXbeResult(this, XbeIsIndexUnique(order, &yes));
      if (yes == 1) options.Include(db::ixUnique);
      CheckXbeResult(this, XbeIsIndexPrimaryKey(order, &yes));
      if (yes == 1) options.Include(db::ixPrimary);
      indexDefs_->Add(TextOf(name, sizeof name), rtl::UpperCase(fields), options);
    }
    indexDefs_->SetUpdated(true);
  } catch (...) {
    if (temporary) XbeCloseTable(handle);
    throw;
  }
  if (temporary) CheckXbeResult(this, XbeCloseTable(handle));
}

void TXbeDataSet::OpenIndexFile(const std::string& fileName) {
  if (!Active()) RaiseXbeError(this, "Table must be Active.");
  const std::string path = HasPathSeparator(fileName) ? fileName : ResolveDatabasePath() + "\\" + fileName;
  XBEHANDLE orders[50] = {};
  std::uint16_t count = 50;
  CheckXbeResult(this, XbeOpenIndex(tableHandle_, path.c_str(), orders, &count));
  indexDefs_->SetUpdated(false);
}

void TXbeDataSet::CloseIndexFile(const std::string& fileName) {
  if (!Active()) RaiseXbeError(this, "Table must be Active.");
  const std::string base = rtl::UpperCase(rtl::ExtractFileName(fileName));
  bool activeInFile = false;
  if (activeHandle_ != tableHandle_) {
    char name[260] = {};
    std::uint16_t length = sizeof name;
    CheckXbeResult(this, XbeGetIndexFilename(activeHandle_, 2, name, &length));
    activeInFile = rtl::UpperCase(TextOf(name, sizeof name)) == base;
  }
  std::uint16_t count = 0;
  CheckXbeResult(this, XbeGetNumIndexes(tableHandle_, &count));
  std::vector<XBEHANDLE> orders(count + 1u, 0);
  std::uint16_t delivered = count;
  CheckXbeResult(this, XbeGetAllIndexes(tableHandle_, orders.data(), &delivered));
  for (std::uint16_t i = 0; i < count; ++i) {
    char name[260] = {};
    std::uint16_t length = sizeof name;
    CheckXbeResult(this, XbeGetIndexFilename(orders[i], 2, name, &length));
    if (rtl::UpperCase(TextOf(name, sizeof name)) != base) continue;
    CheckXbeResult(this, XbeCloseIndex(orders[i]));
    if (activeInFile) SetIndexName(std::string());
    break;
  }
}

db::TField* TXbeDataSet::GetSegmentField(int segment) {
  char name[129] = {};
  std::uint16_t length = sizeof name;
  CheckXbeResult(this, XbeGetSegmentFieldname(activeHandle_, static_cast<std::uint16_t>(segment), name,
                                                           &length));
  return FieldByName(TextOf(name, sizeof name));
}
