// The dataset core's open and close hooks and its key buffers.
#include <cstring>

#include "engine/xbedata.h"

namespace {

constexpr int kKeyBufferCount = 6;
constexpr std::size_t kKeyHeaderSize = 12;

std::uint32_t KeyBlockSize(const db::Byte* block) {
  std::uint32_t size;
  std::memcpy(&size, block + 8, sizeof size);
  return size;
}

}  // namespace

void TXbeDataSet::OpenTableCursor() {
  if (tableHandle_ != kNoHandle) RaiseXbeError(this, "Table is already open.");
  if (activeHandle_ != kNoHandle)
    tableHandle_ = activeHandle_;
  else
    tableHandle_ = OpenTable();

  std::uint32_t length = 0;
  CheckXbeResult(this, XbeGetRecordLength(tableHandle_, &length));
  CheckXbeResult(this, XbeGetTableOpenOptions(tableHandle_, &tableOpenOptions_));
  canModifyTable_ = (tableOpenOptions_ & XBE_READONLY) == 0;

  switch (tableOptions_->XbeRecordCache()) {
    case rcNone: CheckXbeResult(this, XbeCacheRecords(tableHandle_, 0)); break;
    case rcAggressive: CheckXbeResult(this, XbeCacheRecords(tableHandle_, 100)); break;
    case rcStandard: break;
  }

  // The index page size of the first order; a table without orders gives 0, never an error.
  {
    XBEHANDLE first[1] = {0};
    std::uint16_t count = 1;
    const XBERESULT r = XbeGetAllIndexes(tableHandle_, first, &count);
    std::uint32_t pageSize = 0;
    // A size outside the property's range counts as a failed read: the open never raises here.
    if ((r == 0 || r == 5005) && XbeGetIndexPageSize(first[0], &pageSize) == 0 && pageSize <= kXbeIndexPageSizeMax)
      tableOptions_->SetXbeIndexPageSize(static_cast<TXbeIndexPageSizes>(pageSize));
    else
      tableOptions_->SetXbeIndexPageSize(0);
  }

  recordBufferSize_ = static_cast<std::uint16_t>(length);
  recordSize_ = static_cast<std::uint16_t>(length);

  std::uint32_t bookmarkLength = 0;
  CheckXbeResult(this, XbeGetBookmarkLength(BookmarkHandle(), &bookmarkLength));
  BookmarkSize() = static_cast<int>(bookmarkLength);

  AllocateKeyBuffers();

  FieldDefs().SetUpdated(false);
  FieldDefs().Update();
  if (DefaultFields()) CreateFields();
  for (db::TField* field : Fields()) {
    if (field->DataType() == db::ftBCD && dynamic_cast<TXbeBCDField*>(field) == nullptr)
      if (auto* bcd = dynamic_cast<db::TBCDField*>(field)) bcd->SetCurrency(true);
    if (field->DataType() == db::ftString) {
      const int at = xbeFieldDefs_->IndexOfName(field->FieldName());
      auto* xbeString = dynamic_cast<TXbeStringField*>(field);
      if (at >= 0 && xbeFieldDefs_->GetDef(at)->EngineType == 20 && xbeString != nullptr)
        xbeString->caseInsensitive_ = true;
    }
  }
  BindFields(true);
  LayOutRecordBuffer();

  indexDefs_->SetUpdated(false);
  indexDefs_->Update();
  if (tableHandle_ != 0) ActivateIndex();
  if (scoped_) ApplyEngineScope();
  if (Filtered()) ApplyEngineFilter();
  if (tableHandle_ != 0) GoBeforeFirst();
}

void TXbeDataSet::CloseTableCursor() {
  if (InState(classes::csDesigning)) {
    CheckXbeResult(this, XbeCacheOpenTables(0));
    CheckXbeResult(this, XbeCacheOpenCursors(0));
  }
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  FreeKeyBuffers();
  oldRecordBuffer_.clear();
  if (tableHandle_ != kNoHandle) {
    try {
      CheckXbeResult(this, XbeCloseTable(tableHandle_));
    } catch (...) {
      // A table the engine refuses to close is still forgotten: the dataset is closed.
    }
  }
  tableHandle_ = kNoHandle;
  activeHandle_ = kNoHandle;
  canModifyTable_ = false;
}

std::uint32_t TXbeDataSet::BookmarkHandle() const {
  return static_cast<std::int32_t>(activeHandle_) > 0 ? activeHandle_ : tableHandle_;
}

void TXbeDataSet::AllocateKeyBuffers() {
  FreeKeyBuffers();
  std::uint16_t fieldCount = 0;
  CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
  const std::uint32_t size = recordSize_ + 2u * fieldCount + kKeyHeaderSize;
  try {
    for (int i = 0; i < kKeyBufferCount; ++i) {
      auto block = std::make_unique<db::Byte[]>(size);  // zero-filled
      std::memcpy(block.get() + 8, &size, sizeof size);
      ClearKeyBuffer(block.get());
      keyBuffers_.push_back(std::move(block));
    }
  } catch (...) {
    FreeKeyBuffers();
    throw;
  }
}

void TXbeDataSet::FreeKeyBuffers() {
  keyBuffers_.clear();
  currentKeyBuffer_ = nullptr;
}

void TXbeDataSet::ClearKeyBuffer(db::Byte* buffer) {
  const std::uint32_t size = KeyBlockSize(buffer);
  buffer[0] = 0;  // modified
  buffer[1] = 0;  // exclusive
  std::memset(buffer + 4, 0, 4);  // key field count
  for (std::uint32_t at = kKeyHeaderSize + recordSize_; at + 1 < size; at += 2) {
    buffer[at] = 0xFF;
    buffer[at + 1] = 0xFF;
  }
  CheckXbeResult(this, XbeGetNullRecord(tableHandle_, buffer + kKeyHeaderSize, recordSize_));
}
