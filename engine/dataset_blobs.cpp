// Blob contents: the cache of each record buffer and blob field, the blob stream, and the
// dataset's part in them (slots in the record buffers, reset on record reads, write-back at
// post).
#include <algorithm>
#include <cstring>

#include "engine/xbeblob.h"
#include "engine/xbedata.h"
#include "platform/db/blobfields.h"

namespace {

constexpr std::uint32_t kNoCurrentRecord = 5068;
constexpr std::uint32_t kRecordUnreachable = 5022;
constexpr std::uint16_t kTextMemoType = 5;

bool IsBlobType(std::uint16_t t) { return t >= 5 && t <= 8; }

bool IsEditing(db::DSState state) { return state == db::DSState::Edit || state == db::DSState::Insert; }

}  // namespace

// ===== the cache ==========================================================================

TXbeBlobCache::~TXbeBlobCache() { DetachAll(); }

void TXbeBlobCache::Load(XBEHANDLE table, std::uint32_t field, bool force, std::uint32_t record) {
  if (!force && table_ == table && record_ == record && field_ == field) {
    Seek(0, classes::TSeekOrigin::soBeginning);
    return;
  }
  Clear();
  table_ = table;
  record_ = record;
  field_ = field;
  modified_ = false;
  if (record == 0) return;
  try {
    std::uint32_t current = 0;
    CheckXbeResult(nullptr, XbeGetRecordNum(table, 2, &current));
    if (current != record) CheckXbeResult(nullptr, XbeGotoRecord(table, record));

    const XBEFIELD id = XBE_FIELD_ORDINAL(field);
    std::uint16_t type = 0;
    CheckXbeResult(nullptr, XbeGetFieldType(table, id, &type));
    bool text = true;
    if (type == 6 || type == 7) {
      text = false;
    } else if (type == 5) {
      std::uint16_t dataType = 0;
      CheckXbeResult(nullptr, XbeGetMemoDataType(table, id, &dataType));
      text = dataType == kTextMemoType;
    }
    std::uint32_t length = 0;
    const XBERESULT r = text ? XbeGetMemoLength(table, id, &length) : XbeGetBinaryLength(table, id, &length);
    if (r == kNoCurrentRecord) {
      record_ = 0;
      return;
    }
    CheckXbeResult(nullptr, r);
    if (text) ++length;  // room for the terminating zero

    classes::TMemoryStream::SetSize(length);
    db::Byte none = 0;  // an empty binary memo still gets a buffer to be read into
    std::uint32_t returned = length;
    CheckXbeResult(nullptr, XbeGetField(table, id, length > 0 ? Memory() : &none, &returned, 0));
    if (static_cast<std::uint32_t>(Size()) != returned) classes::TMemoryStream::SetSize(returned);
  } catch (const EXBEDatabaseError& e) {
    // Nothing half-read stays behind to pass for the record's contents.
    Clear();
    record_ = 0;
    if (e.EngineCode != static_cast<std::int32_t>(kNoCurrentRecord) &&
        e.EngineCode != static_cast<std::int32_t>(kRecordUnreachable))
      throw;
  }
}

void TXbeBlobCache::Flush() {
  if (!modified_) return;
  db::Byte none = 0;
  const auto size = static_cast<std::uint32_t>(Size());
  CheckXbeResult(nullptr, XbeSetField(table_, XBE_FIELD_ORDINAL(field_), size > 0 ? Memory() : &none, size));
  modified_ = false;
}

void TXbeBlobCache::Truncate() {
  Clear();
  modified_ = true;
}

void TXbeBlobCache::Reset() {
  DetachAll();
  Clear();
  table_ = 0xFFFFFFFFu;
  record_ = 0;
  field_ = 0;
  modified_ = false;
}

std::int64_t TXbeBlobCache::Write(const void* buffer, std::int64_t count) {
  const std::int64_t written = classes::TMemoryStream::Write(buffer, count);
  modified_ = true;
  return written;
}

void TXbeBlobCache::SetSize(std::int64_t size) {
  classes::TMemoryStream::SetSize(size);
  modified_ = true;
}

void TXbeBlobCache::Detach(TXbeBlobStream* stream) {
  streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void TXbeBlobCache::DetachAll() {
  for (TXbeBlobStream* stream : streams_) stream->LoseCache();
  streams_.clear();
}

// ===== the stream =========================================================================

TXbeBlobStream::TXbeBlobStream(db::TBlobField* field, db::BlobMode mode)
    : mode_(mode), field_(field), dataSet_(dynamic_cast<TXbeDataSet*>(field->DataSet())) {
  if (dataSet_ == nullptr) return;
  switch (dataSet_->State()) {
    case db::DSState::Browse:
    case db::DSState::Edit:
    case db::DSState::Insert:
    case db::DSState::CalcFields:
    case db::DSState::NewValue:
      break;
    default:
      return;
  }
  db::TRecordBuffer buffer = dataSet_->BufferForState();
  if (buffer == nullptr) return;

  const XBEHANDLE table = dataSet_->TableHandle();
  const auto fieldNumber = static_cast<std::uint32_t>(field->FieldNo());
  std::uint16_t type = 0;
  CheckXbeResult(dataSet_, XbeGetFieldType(table, XBE_FIELD_ORDINAL(fieldNumber), &type));
  if (!IsBlobType(type)) RaiseXbeError(dataSet_, "Invalid blob open on non-blob field.");

  TXbeBlobCache* cache = dataSet_->BlobCacheOf(buffer, field);
  const std::uint32_t record = dataSet_->BufferRecordNumber(buffer);
  const bool force = IsEditing(dataSet_->State()) && mode == db::BlobMode::ReadWrite && !cache->IsModified();
  try {
    cache->Load(table, fieldNumber, force, record);
  } catch (...) {
    dataSet_->CursorPosChanged();  // the load may have moved the engine cursor
    throw;
  }
  dataSet_->CursorPosChanged();
  cache_ = cache;
  cache_->Attach(this);
  if (mode == db::BlobMode::Write) {
    cache_->Truncate();
    modified_ = true;
  }
}

TXbeBlobStream::~TXbeBlobStream() {
  if (cache_ != nullptr) cache_->Detach(this);
  if (!modified_ || dataSet_ == nullptr) return;
  try {
    field_->SetModified(true);
    dataSet_->DataEvent(db::DataEventKind::FieldChange, reinterpret_cast<std::intptr_t>(field_));
  } catch (...) {
    // A destructor cannot pass the error of a listener on; the contents are in the cache.
  }
}

std::int64_t TXbeBlobStream::Read(void* buffer, std::int64_t count) {
  return cache_ != nullptr ? cache_->Read(buffer, count) : 0;
}

std::int64_t TXbeBlobStream::Seek(std::int64_t offset, classes::TSeekOrigin origin) {
  return cache_ != nullptr ? cache_->Seek(offset, origin) : 0;
}

void TXbeBlobStream::CheckWritable() const {
  if (mode_ == db::BlobMode::Read)
    throw EXBEDatabaseError(nullptr, kXbeLayerErrorCode, "Error modifying read only blob.");
  if (cache_ == nullptr)
    throw EXBEDatabaseError(nullptr, kXbeLayerErrorCode, "Cannot write to blob in current state.");
}

std::int64_t TXbeBlobStream::Write(const void* buffer, std::int64_t count) {
  CheckWritable();
  const std::int64_t written = cache_->Write(buffer, count);
  modified_ = true;
  return written;
}

void TXbeBlobStream::SetSize(std::int64_t size) {
  CheckWritable();
  cache_->SetSize(size);
  modified_ = true;
}

// ===== the dataset's part =================================================================

std::unique_ptr<classes::TStream> TXbeDataSet::OpenBlobStream(db::TField* field, db::BlobMode mode) {
  if (mode != db::BlobMode::Read && State() != db::DSState::Edit && State() != db::DSState::Insert)
    RaiseXbeError(this, "Table must be in Edit or Insert state to open blob stream in Write Mode.");
  return std::make_unique<TXbeBlobStream>(&db::BlobFieldOf(field), mode);
}

TXbeBlobCache* TXbeDataSet::BlobCacheOf(db::TRecordBuffer buffer, const db::TField* field) const {
  TXbeBlobCache* cache = nullptr;
  const std::size_t slot = static_cast<std::size_t>(field->Offset());
  std::memcpy(&cache, buffer + blobCacheOffset_ + sizeof cache * slot, sizeof cache);
  return cache;
}

std::uint32_t TXbeDataSet::BufferRecordNumber(db::TRecordBuffer buffer) const {
  std::uint32_t record = 0;
  std::memcpy(&record, buffer + bookmarkOffset_, sizeof record);
  return record;
}

int TXbeDataSet::BlobSlotCount() const {
  return static_cast<int>((recordInfoOffset_ - blobCacheOffset_) / sizeof(TXbeBlobCache*));
}

bool TXbeDataSet::ResetsBlobCaches() const {
  switch (State()) {
    case db::DSState::Browse:
    case db::DSState::Edit:
    case db::DSState::Insert:
    case db::DSState::CalcFields:
    case db::DSState::NewValue:
      return true;
    default:
      return false;
  }
}

namespace {

template <class Visit>
void ForEachCache(db::TRecordBuffer buffer, std::size_t offset, int count, Visit&& visit) {
  for (int slot = 0; slot < count; ++slot) {
    TXbeBlobCache* cache = nullptr;
    std::memcpy(&cache, buffer + offset + sizeof cache * static_cast<std::size_t>(slot), sizeof cache);
    if (cache != nullptr) visit(slot, *cache);
  }
}

}  // namespace

void TXbeDataSet::ResetBlobCaches(db::TRecordBuffer buffer) {
  ForEachCache(buffer, blobCacheOffset_, BlobSlotCount(), [](int, TXbeBlobCache& cache) { cache.Reset(); });
}

void TXbeDataSet::RebindNewRecordBlobCaches(db::TRecordBuffer buffer, std::uint32_t record) {
  ForEachCache(buffer, blobCacheOffset_, BlobSlotCount(), [&](int, TXbeBlobCache& cache) {
    if (cache.Table() == tableHandle_ && cache.Record() == 0) cache.Rebind(record);
  });
}

void TXbeDataSet::FlushBlobCaches(db::TRecordBuffer buffer) {
  // The slots follow the blob fields; each modified cache knows its own engine field.
  ForEachCache(buffer, blobCacheOffset_, BlobSlotCount(), [&](int, TXbeBlobCache& cache) {
    if (!cache.IsModified() || cache.Field() == 0) return;
    const TXbeFieldDef* def = xbeFieldDefs_->GetDef(static_cast<int>(cache.Field()) - 1);
    const std::int32_t marker = cache.Size() == 0 ? 0 : -1;
    std::memcpy(buffer + def->Offset, &marker, sizeof marker);
    cache.Flush();
  });
}
