// Memo and binary contents of a dataset's records: one cache per record buffer and blob field,
// loaded from the engine on first use and written back when the record is posted, and the
// stream through which the framework and the blob fields read and write that cache.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/classes/streams.h"
#include "platform/db/dbtypes.h"
#include "platform/xbe/xbe.h"

class TXbeDataSet;
class TXbeBlobStream;

namespace db {
class TBlobField;
}

class TXbeBlobCache : public classes::TMemoryStream {
 public:
  TXbeBlobCache() = default;
  // Streams still open on the cache lose it (they read nothing and refuse writes).
  ~TXbeBlobCache() override;
  TXbeBlobCache(const TXbeBlobCache&) = delete;
  TXbeBlobCache& operator=(const TXbeBlobCache&) = delete;

  // Fills the cache with the field's contents of `record` unless it holds them already (and
  // `force` is False); record 0 (a new record) gives an empty cache.
  void Load(XBEHANDLE table, std::uint32_t field, bool force, std::uint32_t record);
  // Writes modified contents into the engine's record buffer.
  void Flush();
  // Empties the contents, as a change.
  void Truncate();
  // Empties the cache and unbinds it; streams open on it lose it.
  void Reset();
  bool IsModified() const { return modified_; }

  std::int64_t Write(const void* buffer, std::int64_t count) override;
  // Cutting or growing the contents is a change too.
  void SetSize(std::int64_t size) override;

  XBEHANDLE Table() const { return table_; }
  std::uint32_t Record() const { return record_; }
  std::uint32_t Field() const { return field_; }
  // The contents of a new record belong to the record its append gave.
  void Rebind(std::uint32_t record) { record_ = record; }

 private:
  friend class TXbeBlobStream;
  void Attach(TXbeBlobStream* stream) { streams_.push_back(stream); }
  void Detach(TXbeBlobStream* stream);
  void DetachAll();

  XBEHANDLE table_ = 0xFFFFFFFFu;
  std::uint32_t record_ = 0;
  std::uint32_t field_ = 0;
  bool modified_ = false;
  std::vector<TXbeBlobStream*> streams_;
};

class TXbeBlobStream : public classes::TStream {
 public:
  TXbeBlobStream(db::TBlobField* field, db::BlobMode mode);
  // Marks the field modified and tells the dataset when something was written.
  ~TXbeBlobStream() override;
  TXbeBlobStream(const TXbeBlobStream&) = delete;
  TXbeBlobStream& operator=(const TXbeBlobStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, classes::TSeekOrigin origin) override;
  // Cuts (or grows) the contents to `size`; refused as a write is.
  void SetSize(std::int64_t size) override;
  // Cuts the contents at the current position.
  void Truncate() { SetSize(Position()); }

  db::BlobMode Mode() const { return mode_; }
  bool HasCache() const { return cache_ != nullptr; }

 private:
  friend class TXbeBlobCache;
  void CheckWritable() const;
  // What was written went with the cache (a cancel, a new record, the dataset's close, which
  // may also free the field): nothing is left to mark.
  void LoseCache() {
    cache_ = nullptr;
    modified_ = false;
  }

  db::BlobMode mode_;
  db::TBlobField* field_;
  TXbeDataSet* dataSet_;
  TXbeBlobCache* cache_ = nullptr;
  bool modified_ = false;
};
