// Unit xbedata: the dataset core of the table access layer. It turns one engine table handle
// into a dataset of the framework: the engine's result check and database error, the engine
// field list and index-file list, the table options, the dataset core itself and the engine's
// own field classes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/collection.h"
#include "platform/classes/stringlist.h"
#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/dberrors.h"
#include "platform/db/fieldclasses.h"
#include "platform/db/fielddefs.h"
#include "platform/db/indexdefs.h"
#include "platform/rtl/threads.h"
#include "platform/xbe/xbe.h"

class TXbeDataSet;
class TXbeConnection;
class TXbeBlobCache;

// The code of every rule violation that the layer detects itself.
inline constexpr std::int32_t kXbeLayerErrorCode = 5121;

// ===== result check and database error ==================================================

// Set on a thread while an EXBEDatabaseError is being built there.
extern thread_local bool BuildingEngineError;

class EXBEDatabaseError : public db::EDatabaseError {
 public:
  EXBEDatabaseError(const TXbeDataSet* dataSet, std::int32_t code, const std::string& text);
  EXBEDatabaseError(const EXBEDatabaseError&) = default;
  // Clears BuildingEngineError of the calling thread (copies made while throwing too).
  ~EXBEDatabaseError() override;

  std::int32_t EngineCode = 0;
  std::int32_t NativeCode = 0;
  std::string DataSetName;
  std::string OwnerName;
  std::string DataSetDatabase;
  std::string DataSetPath;
  std::string DataSetTable;
  std::string ColumnName;

  void ParseNativeError(const std::string& text);

 private:
  void CollectDataSetFields(const TXbeDataSet* dataSet, std::int32_t code, const std::string& text);
};

// Returns when result is 0; otherwise raises EXBEDatabaseError with the engine's last error.
void CheckXbeResult(const TXbeDataSet* dataSet, XBERESULT result);
// Raises the layer's own error (code 5121) on behalf of a dataset.
[[noreturn]] void RaiseXbeError(const TXbeDataSet* dataSet, const std::string& text);

// ===== text and memory routines ==========================================================

std::string TrimSpaces(std::string_view text);
std::string GetDelimitedPart(std::uint16_t n, const char* text);
int FindDelimitedPart(std::string_view name, std::string_view list);
void CopyBytes(void* target, const void* source, std::size_t count);
bool IsPathSeparator(char c);
bool HasPathSeparator(std::string_view text);

// ===== enumerations of the options and properties ========================================

enum TXbeTableTypes { ttXbeCDX, ttXbeNTX, ttXbeXDT, ttXbeDefault };
enum TXbeLockTypes { Proprietary, Compatible };
enum TXbeCharTypes { ANSI, OEM };
enum TXbeRespectFilters { IGNORE_WHEN_COUNTING, RESPECT_WHEN_COUNTING };
enum TXbeRespectScopes { IGNORE_SCOPES_WHEN_COUNTING, RESPECT_SCOPES_WHEN_COUNTING };
enum TXbeRecordCacheTypes { rcNone, rcStandard, rcAggressive };
enum TXbeXOFTypes { atDynamic, atKeySet, atFixed };
enum TXbeRecordLockingModes { lmPessimistic, lmOptimistic };
enum TXbeSequencedLevel { slStandard, slExact };
using TXbeIndexPageSizes = std::int32_t;  // 0 to 8192
inline constexpr TXbeIndexPageSizes kXbeIndexPageSizeMax = 8192;

// ===== alias file ========================================================================

std::string XbeIniFilePath();
bool ReadXbeIniAlias(const std::string& alias, std::string& path, TXbeTableTypes& tableType);

// ===== table options =====================================================================

class TXbeTableOptions : public classes::TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TXbeTableOptions() = default;
  void BindOwner(TXbeDataSet* dataSet) { ownerDataSet_ = dataSet; }
  TXbeDataSet* OwnerDataSet() const { return ownerDataSet_; }

  TXbeLockTypes XbeLockType() const { return lockType_; }
  void SetXbeLockType(TXbeLockTypes value);
  TXbeCharTypes XbeCharType() const { return charType_; }
  void SetXbeCharType(TXbeCharTypes value);
  TXbeRespectFilters XbeFilterOptions() const { return filterOptions_; }
  void SetXbeFilterOptions(TXbeRespectFilters value) { filterOptions_ = value; }
  bool XbeFreshRecordCount() const { return freshRecordCount_; }
  void SetXbeFreshRecordCount(bool value) { freshRecordCount_ = value; }
  TXbeRespectScopes XbeScopeOptions() const { return scopeOptions_; }
  void SetXbeScopeOptions(TXbeRespectScopes value) { scopeOptions_ = value; }
  bool XbeXOFResolveImmediate() const { return xofResolveImmediate_; }
  void SetXbeXOFResolveImmediate(bool value) { xofResolveImmediate_ = value; }
  bool XbeRightsCheck() const { return rightsCheck_; }
  void SetXbeRightsCheck(bool value);
  bool XbeOptimizedFilters() const { return optimizedFilters_; }
  void SetXbeOptimizedFilters(bool value);
  TXbeIndexPageSizes XbeIndexPageSize() const { return indexPageSize_; }
  // 0 to 8192; other values are refused and the old one stays.
  void SetXbeIndexPageSize(TXbeIndexPageSizes value);
  TXbeRecordCacheTypes XbeRecordCache() const { return recordCache_; }
  void SetXbeRecordCache(TXbeRecordCacheTypes value);
  TXbeXOFTypes XbeXOFType() const { return xofType_; }
  void SetXbeXOFType(TXbeXOFTypes value) { xofType_ = value; }
  bool XbeAutoKeyFieldCount() const { return autoKeyFieldCount_; }
  void SetXbeAutoKeyFieldCount(bool value) { autoKeyFieldCount_ = value; }
  bool XbeCalcFieldsBeforeFilter() const { return calcFieldsBeforeFilter_; }
  void SetXbeCalcFieldsBeforeFilter(bool value) { calcFieldsBeforeFilter_ = value; }
  TXbeRecordLockingModes XbeRecordLockingMode() const { return recordLockingMode_; }
  void SetXbeRecordLockingMode(TXbeRecordLockingModes value) { recordLockingMode_ = value; }

  // Engine arguments of the open and the restructure.
  std::uint16_t EngineLockType() const { return lockType_ == Proprietary ? 1 : 0; }
  std::uint16_t EngineCharType() const { return charType_ == ANSI ? 1 : 2; }
  std::uint16_t EngineRightsChecking() const { return rightsCheck_ ? 1 : 2; }

 private:
  void RefuseWhileOwnerActive() const;

  TXbeDataSet* ownerDataSet_ = nullptr;
  TXbeLockTypes lockType_ = Proprietary;
  TXbeCharTypes charType_ = ANSI;
  TXbeRespectFilters filterOptions_ = IGNORE_WHEN_COUNTING;
  bool freshRecordCount_ = false;
  TXbeRespectScopes scopeOptions_ = IGNORE_SCOPES_WHEN_COUNTING;
  bool xofResolveImmediate_ = false;
  bool rightsCheck_ = false;
  bool optimizedFilters_ = false;
  TXbeIndexPageSizes indexPageSize_ = 0;
  TXbeRecordCacheTypes recordCache_ = rcNone;
  TXbeXOFTypes xofType_ = atDynamic;
  bool autoKeyFieldCount_ = false;
  bool calcFieldsBeforeFilter_ = false;
  TXbeRecordLockingModes recordLockingMode_ = lmPessimistic;
};

// ===== engine field list =================================================================

class TXbeFieldDef : public classes::TCollectionItem {
  CLASSES_DECLARE_CLASSINFO()
 public:
  std::string Name;
  std::uint16_t FieldNumber = 0;
  std::uint32_t Offset = 0;
  std::uint32_t Length = 0;
  std::uint16_t EngineType = 0;
  std::uint16_t Decimals = 0;
  bool Changed = false;
  std::uint8_t Permissions = 0;
};

class TXbeFieldDefs : public classes::TCollection {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeFieldDefs(classes::TPersistent* owner);
  TXbeFieldDef* AddDef();
  TXbeFieldDef* GetDef(int index) const;
  int IndexOfName(std::string_view name) const;
};

// ===== index-file list ===================================================================

class TXbeIndexFiles : public classes::TStringList {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeIndexFiles(TXbeDataSet* dataSet);
  TXbeDataSet* OwnerDataSet() const { return ownerDataSet_; }

  int Add(const std::string& name) override;
  void Insert(int index, const std::string& name) override;
  void Delete(int index) override;
  void Clear() override;

 private:
  TXbeDataSet* ownerDataSet_;
};

// ===== engine field classes ==============================================================

class TXbeStringField : public db::TStringField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeStringField(classes::TComponent* owner);
  bool CaseInsensitive() const { return caseInsensitive_; }

 private:
  friend class TXbeDataSet;
  bool caseInsensitive_ = false;
};

class TXbeBCDField : public db::TBCDField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeBCDField(classes::TComponent* owner);
};

// ===== process-wide list of datasets =====================================================

// Absent before the first dataset exists and after the unit's shut-down.
bool DataSetComponentListExists();
// Locks the list and gives its items; every call is paired with UnlockDataSetComponentList.
std::vector<TXbeDataSet*>& LockDataSetComponentList();
void UnlockDataSetComponentList();
// Adding and removing lock the list themselves; removal also compacts it.
void RegisterDataSetComponent(TXbeDataSet* dataSet);
void UnregisterDataSetComponent(TXbeDataSet* dataSet);
// Unit start-up and shut-down of xbedata (counted; the work runs once).
void InitializeXbeDataUnit();
void FinalizeXbeDataUnit();

// ===== the dataset core ==================================================================

enum : std::uint8_t { IndexKindNone = 0, IndexKindNamed = 1, IndexKindByFields = 2, IndexKindDefault = 3 };

class TXbeDataSet : public db::TDataSet {
  CLASSES_DECLARE_CLASSINFO()
  friend class TXbeTableOptions;
  friend class TXbeIndexFiles;
  friend class EXBEDatabaseError;
 public:
  explicit TXbeDataSet(classes::TComponent* owner);
  ~TXbeDataSet() override;

  // Published properties of the dataset core.
  const std::string& DatabaseName() const { return databaseName_; }
  virtual void SetDatabaseName(const std::string& value);
  TXbeTableTypes TableType() const { return tableType_; }
  virtual void SetTableType(TXbeTableTypes value);
  const std::string& TableName() const { return tableName_; }
  TXbeTableOptions& XbeTableOptions() { return *tableOptions_; }
  const TXbeTableOptions& XbeTableOptions() const { return *tableOptions_; }
  TXbeIndexFiles& IndexFiles() { return *indexFiles_; }
  db::TIndexDefs& IndexDefs() { return *indexDefs_; }
  void SetIndexDefs(const db::TIndexDefs& value);
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(const std::string& value);
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(const std::string& value);
  const std::string& MasterFields() const { return masterLink_->FieldNames(); }
  void SetMasterFields(const std::string& value) { masterLink_->SetFieldNames(value); }
  db::TDataSource* MasterSource() const { return masterLink_->DataSource(); }
  void SetMasterSource(db::TDataSource* value);
  bool Sequenced() const { return sequenced_; }
  void SetSequenced(bool value) { sequenced_ = value; }
  TXbeSequencedLevel SequencedLevel() const { return sequencedLevel_; }
  void SetSequencedLevel(TXbeSequencedLevel value) { sequencedLevel_ = value; }
  bool Scoped() const { return scoped_; }
  void SetScoped(bool value);
  const std::string& ScopeBegin() const { return scopeBegin_; }
  void SetScopeBegin(const std::string& value) { SetScopeText(scopeBegin_, value); }
  const std::string& ScopeEnd() const { return scopeEnd_; }
  void SetScopeEnd(const std::string& value) { SetScopeText(scopeEnd_, value); }
  // The filter takes effect on the engine at once when the table is open.
  void SetFiltered(bool value) override;
  void SetFilterText(const std::string& value) override;

  // The filter text as the engine expression; `exact` tells whether character comparisons are
  // exact (False when a literal ended in an asterisk).
  std::string TranslateFilterText(bool& exact);
  // The position of the parenthesis that closes the one at `open`, passing over quoted and
  // bracketed literals; `open` itself when there is none.
  static std::size_t SkipParenthesized(const std::string& text, std::size_t open);
  // The optimized filter's option mask from the table options.
  std::uint16_t GetXOFOptions() const;
  bool StoreActive() const { return storeActive_; }
  void SetStoreActive(bool value) { storeActive_ = value; }
  const std::string& InfoStructure() const { return infoStructure_; }
  void SetInfoStructure(const std::string& value) { infoStructure_ = value; }
  std::string Version() const;
  void SetVersion(const std::string&) {}
  TXbeConnection* XbeConnection() const { return xbeConnection_; }
  bool Exclusive() const { return exclusive_; }
  bool ReadOnly() const { return readOnly_; }

  // Run-time state.
  XBEHANDLE TableHandle() const { return tableHandle_; }
  XBEHANDLE ActiveHandle() const { return activeHandle_; }
  std::uint8_t ActiveIndexKind() const { return activeIndexKind_; }
  TXbeFieldDefs& XbeFieldDefs() { return *xbeFieldDefs_; }
  bool CanModifyTable() const { return canModifyTable_; }
  std::uint32_t TableOpenOptions() const { return tableOpenOptions_; }
  std::uint16_t EngineTableType() const { return engineTableType_; }
  std::uint16_t RecordSize() const { return recordSize_; }
  std::uint16_t RecordBufferSize() const { return recordBufferSize_; }

  // Writes one native value (nullptr = blank) into a record image in the engine's storage format.
  void StoreFieldValue(int ordinal, db::TFieldType type, db::TRecordBuffer buffer, const void* value);

  // The key fields of the active index as the dataset knows them; empty when none is known.
  std::string ActiveIndexFieldNames();

  // Ranges: engine scopes on the active index, set from key buffers 1 and 2.
  // Post and cancel also end key editing (committing or restoring the edited key buffer).
  void Post() override;
  void Cancel() override;

  void EditRangeStart() { BeginKeyEdit(1, true); }
  void EditRangeEnd() { BeginKeyEdit(2, true); }
  void ApplyRange();
  void CancelRange();
  bool ApplyKeyRange();
  bool ResetKeyRange();

  // The directory for the engine; empty when none can be found.
  std::string ResolveDatabasePath() const;

  // The connection component's side of the dataset (unit xbecnnct).
  // Binds a connection component (none unbinds); refused while the dataset is active.
  void SetXbeConnection(TXbeConnection* value);
  // Drops the reference without telling the connection (the connection is going away).
  void ForgetXbeConnection() { xbeConnection_ = nullptr; }
  // Sent by the connection after it closed the dataset on its way to disconnect.
  void SendConnectionClosing() { ConnectionClosing(); }
  // The framework's cancel; it also ends key editing.
  void CancelWithKey() { Cancel(); }
  // A table bound to a dictionary connection reads its default index; other datasets do nothing.
  virtual void ReadDictionaryDefaultIndex() {}
  void SetEngineTableTypeValue(std::uint16_t type) { engineTableType_ = type; }
  // The connection component that a DatabaseName names, by the preference rules; none when none.
  TXbeConnection* FindConnectionNamed(const std::string& name) const;
  // Whether the directory comes from the connection (DatabaseName empty or naming it).
  bool UsesConnection() const;

  // Index files on the open table (for TXbeIndexFiles), and the field of a key segment.
  void OpenIndexFile(const std::string& fileName);
  void CloseIndexFile(const std::string& fileName);
  db::TField* GetSegmentField(int segment);

  using db::TDataSet::IsEmpty;
  using db::TDataSet::State;

  // ---- provider support, the operations the layer does not offer, cursors and old records --
  using TUpdateRecordEvent =
      classes::TMethod<void(db::TDataSet* dataSet, db::UpdateKind kind, db::TUpdateAction& action)>;
  // Applies one update of a provider's delta; the record counts as applied only when the
  // handler leaves the action at uaApplied.
  TUpdateRecordEvent OnUpdateRecord;
  bool ProviderSqlSupported() override { return true; }
  bool ProviderSqlBased() override { return true; }
  std::string ProviderQuoteChar() override { return std::string(); }
  void ProviderReset() override;
  bool ProviderInTransaction() override;
  void ProviderStartTransaction() override;
  void ProviderEndTransaction(bool commit) override;
  bool ProviderUpdateRecord(db::UpdateKind kind, db::TDataSet* delta) override;
  // Runs the statement through the connection component; with `resultSet`, a new query without
  // owner (the caller's) holds the cursor the statement produced.
  int ProviderExecuteStatement(const std::string& sql, db::TParams* params, db::TDataSet** resultSet) override;
  db::TUpdateStatus UpdateStatus() override;
  virtual std::int32_t BatchMove(db::TDataSet* source, std::int32_t mode);
  virtual void RenameTable(const std::string& newName);
  // Closes the dataset and reopens it over a cursor the caller already holds (0 or -1: stays
  // closed); a failed open forgets the cursor.
  void AttachCursor(XBEHANDLE cursor);
  void ReleaseOldRecord();

 protected:
  // Own virtual operations, in the order the descendants see them.
  virtual void ApplyEngineFilter();
  virtual void ApplyEngineScope();
  virtual std::int32_t RecordPosition();
  virtual void ClearEngineFilter();
  virtual void ClearEngineScope();
  virtual std::int32_t GetLastAutoIncValue();
  virtual XBEHANDLE OpenTable();
  virtual void ConnectionClosing() {}

  // Framework hooks.
  void OpenTableCursor() override;
  void CloseTableCursor() override;
  bool IsTableOpen() const override { return tableHandle_ != kNoHandle; }
  db::TFieldClass FieldClassFor(db::TFieldType type) override;
  void InitFieldDefsFromTable() override;
  void LoadFieldDefs() override;
  void LoadIndexDefs() override;
  void DataEvent(db::DataEventKind event, std::intptr_t info) override;
  db::TDataSource* GetDataSource() const override { return MasterSource(); }

  db::TRecordBuffer AllocateRecordBuffer() override;
  void ReleaseRecordBuffer(db::TRecordBuffer& buffer) override;
  int RecordSizeOf() const override { return recordSize_; }
  db::GetResult FetchRecord(db::TRecordBuffer buffer, db::GetMode mode, bool check) override;
  void CopyBookmark(db::TRecordBuffer buffer, db::Byte* target) override;
  db::Byte BookmarkFlagOf(db::TRecordBuffer buffer) override;
  void SetBufferBookmarkFlag(db::TRecordBuffer buffer, db::Byte flag) override;
  void SetBufferBookmark(db::TRecordBuffer buffer, const db::Byte* bookmark) override;
  void InitRecordInfo(db::TRecordBuffer buffer) override;
  void GoBeforeFirst() override;
  void GoAfterLast() override;
  void GoToBookmark(const db::Byte* bookmark) override;
  void PositionOnBuffer(db::TRecordBuffer buffer) override;
  int CountRecords() override;
  int CurrentRecordNumber() override;
  void MoveToRecordNumber(int number) override;
  bool ReadFieldData(db::TField* field, void* target) override;
  void WriteFieldData(db::TField* field, const void* value) override;
  bool IsBookmarkValid(const db::Byte* bookmark) override;
  int CompareBookmarkOrder(const db::Byte* a, const db::Byte* b) override;
  // Record editing.
  void InitRecordDefaults(db::TRecordBuffer buffer) override;
  void BeginInsertRecord() override;
  void BeginEditRecord() override;
  void PostRecord() override;
  void DeleteRecord() override;
  void CancelRecord() override;
  void RefreshRecord() override;
  bool CanModifyData() override;
  void NewRecordHook() override;
  void AddRecord(db::TRecordBuffer buffer, bool append) override;
  void ClearCalcArea(db::TRecordBuffer buffer) override;
  // Searching, locate and lookup (dataset_locate.cpp) and blob contents (dataset_blobs.cpp).
  bool FindNextRecord(bool restart, bool forward) override;
  bool LocateValues(const std::string& keyFields, const db::Variant& keyValues, db::LocateOptions options) override;
  db::Variant LookupValues(const std::string& keyFields, const db::Variant& keyValues,
                           const std::string& resultFields) override;
  std::unique_ptr<classes::TStream> OpenBlobStream(db::TField* field, db::BlobMode mode) override;

  // The dataset core's own operations that the table component uses.
  void SetTableNameValue(const std::string& name) { tableName_ = name; }
  void SetExclusiveValue(bool v) { exclusive_ = v; }
  void SetReadOnlyValue(bool v) { readOnly_ = v; }
  void SetXbeConnectionValue(TXbeConnection* c) { xbeConnection_ = c; }
  void NotifyPropertyChanged() { DataEvent(db::DataEventKind::PropertyChange, 0); }
  void SetDictionaryDefaultIndex(const std::string& v) { dictionaryDefaultIndex_ = v; }
  const std::string& DictionaryDefaultIndex() const { return dictionaryDefaultIndex_; }
  void SetActiveIndexKindValue(std::uint8_t kind) { activeIndexKind_ = kind; }
  void SetIndexNameValue(const std::string& name) { indexName_ = name; }

  // Record buffers, the reading loop and field values.
  void LayOutRecordBuffer();
  db::GetResult ReadVisibleRecord(db::TRecordBuffer buffer, std::uint32_t length, db::GetMode mode);
  // The engine's current record into a buffer as the reading loop delivers it, short of the
  // filter event; the cursor does not move.
  void LoadCurrentRecord(db::TRecordBuffer buffer, std::uint32_t length, std::uint16_t fieldCount);
  // True when no filter event runs, or when it accepts the engine's current record.
  bool FilterEventAcceptsCurrent();
  db::TRecordBuffer BufferForState();
  bool ConvertFieldValue(db::TField* field, db::TRecordBuffer buffer, void* target);
  bool IsRawValueBlank(const db::Byte* raw, std::uint32_t length, std::uint16_t type);
  bool IsBlobFieldBlank(db::TRecordBuffer buffer, db::TField* field, std::uint16_t type, const db::Byte* raw);

  // Indexes.
  void ActivateIndex();
  // The handle of an index for the given fields, or 0 when none covers them.
  XBEHANDLE FindIndexForFields(const std::string& fieldNames);

  // Field definitions.
  void AddEngineFieldDef(XBEHANDLE handle, std::uint16_t ordinal);

  // Key buffers (six blocks, allocated at open, freed at close).
  void AllocateKeyBuffers();
  void FreeKeyBuffers();
  void ClearKeyBuffer(db::Byte* buffer);
  void BeginKeyEdit(int number, bool clear);
  void EndKeyEdit(bool commit);
  // Raises the closed-dataset error when the buffers are not there.
  db::Byte* KeyBufferOf(int number) const;
  // The bounds being edited belong to the index they were edited for.
  void ClearEditedRange();
  void BuildKeyFromBuffer(int number, bool partial, void* key, std::uint16_t& keyLength);
  // True when the active index has no segments or one of them is the field.
  bool IsActiveIndexField(db::TField* field);

  static constexpr XBEHANDLE kNoHandle = 0xFFFFFFFFu;  // -1

  // ---- master/detail links, locate and lookup, and the index hooks of key search -----------
 public:
  // Fill range keys 1 and 2 with the values given, by position, for the leading segments of
  // the active index.
  void SetRangeFromMaster();
  void SetRangeFromValues(const std::vector<db::TField*>& values);
  void AssignSegmentField(int segment, db::TField* source);
  // The engine field number (1-based) of a segment of the active index.
  std::uint16_t GetSegmentFieldNum(int segment);
  std::uint16_t ActiveIndexSegmentCount();
  bool ActiveIndexHasCondition();
  bool ActiveIndexIsUnique();
  bool ActiveIndexIsCustom();
  // An index that a seek may use without leaving out records (no bound, condition or
  // uniqueness hides any of them).
  bool IndexUsableForSeek(XBEHANDLE index);
  // Positions the engine cursor on the first record holding the values that the filter event
  // accepts; the cursor returns where it stood when there is none.
  bool FindByValues(const std::string& keyFields, const db::Variant& keyValues, db::LocateOptions options);
  // The engine expression that compares the fields with their values in the filter buffer.
  std::string BuildFilterString(const std::vector<db::TField*>& fields, bool caseInsensitive);
  // The first record from the top of the active order for which the expression is true and
  // that the filter event accepts.
  bool ScanForExpression(const std::string& expression);
  // After a seek that found a record the filter event rejects: the next record with the same
  // key that it accepts, in the order's sequence.
  bool SeekNextAcceptedMatch(XBEHANDLE index, const void* key, std::uint16_t keyLength);
  // Whether the locate fields (";"-separated) are exactly the leading fields of an index's
  // key-field list, in any order; `deepest` then gets the upper-cased name of the last of them.
  static bool MatchKeyPrefix(const std::string& keyFieldList, const std::string& locateFields, std::string& deepest);

 protected:
  void AfterOpenHook() override;
  bool FieldIsIndexSegment(db::TField* field) override;
  bool CopyCurrentRecord(db::TRecordBuffer destination) override;
  bool QuerySequenced() override { return sequenced_; }
  // Blob contents (xbeblob.h): one cache per record buffer and blob field, in the buffer's
  // blob-cache slots (a blob field's framework offset is its slot number).
  friend class TXbeBlobStream;
  TXbeBlobCache* BlobCacheOf(db::TRecordBuffer buffer, const db::TField* field) const;
  // The slots the buffer layout holds (one per blob field when it was laid out).
  int BlobSlotCount() const;
  // The engine record number a buffer holds (0 for a record not yet stored).
  std::uint32_t BufferRecordNumber(db::TRecordBuffer buffer) const;
  // Whether a record read or initialisation in the current state empties the buffer's caches.
  bool ResetsBlobCaches() const;
  void ResetBlobCaches(db::TRecordBuffer buffer);
  // Writes every modified cache of the buffer into the engine's record buffer, with the
  // field's empty marker.
  void FlushBlobCaches(db::TRecordBuffer buffer);
  // After an append: the new record's caches belong to the record number it got.
  void RebindNewRecordBlobCaches(db::TRecordBuffer buffer, std::uint32_t record);

 private:
  struct RecordInfo {
    std::int32_t position;
    std::uint8_t status;
    std::uint8_t bookmarkFlag;
    std::uint8_t unused[2];
  };
  // Record buffers have any length, so the record information is copied, never referenced.
  RecordInfo LoadInfo(db::TRecordBuffer buffer) const;
  void StoreInfo(db::TRecordBuffer buffer, const RecordInfo& info) const;
  void TestFilterRecord(db::TRecordBuffer buffer, bool& accept);
  std::uint32_t BookmarkHandle() const;
  void FollowMaster();
  void ReleaseMaster();
  bool ActiveIndexHasScope();
  void LoadFieldDefsFrom(XBEHANDLE handle);
  void SetScopeText(std::string& target, const std::string& value);

  XBEHANDLE tableHandle_ = kNoHandle;
  XBEHANDLE activeHandle_ = kNoHandle;
  std::uint8_t activeIndexKind_ = IndexKindNone;
  std::unique_ptr<TXbeFieldDefs> xbeFieldDefs_;
  std::unique_ptr<db::TIndexDefs> indexDefs_;
  std::unique_ptr<db::TMasterDataLink> masterLink_;
  std::unique_ptr<TXbeIndexFiles> indexFiles_;
  std::unique_ptr<TXbeTableOptions> tableOptions_;
  std::vector<db::Byte> oldRecordBuffer_;
  std::uint16_t recordSize_ = 0;
  std::uint16_t recordBufferSize_ = 0;
  std::uint16_t blobCacheOffset_ = 0;
  std::uint16_t recordInfoOffset_ = 0;
  std::uint16_t bookmarkOffset_ = 0;
  bool canModifyTable_ = false;
  std::uint32_t tableOpenOptions_ = 0;
  db::TRecordBuffer filterRecordBuffer_ = nullptr;
  std::string indexName_;
  std::string indexFieldNames_;
  std::string dictionaryDefaultIndex_;
  std::vector<std::unique_ptr<db::Byte[]>> keyBuffers_;
  db::Byte* currentKeyBuffer_ = nullptr;
  std::string databaseName_;
  mutable std::string cachedAliasPath_;
  bool scoped_ = false;
  std::string scopeBegin_;
  std::string scopeEnd_;
  bool sequenced_ = false;
  TXbeSequencedLevel sequencedLevel_ = slStandard;
  std::uint32_t savedRecordCRC_ = 0;
  bool exclusive_ = false;
  bool readOnly_ = false;
  std::string tableName_;
  mutable TXbeTableTypes tableType_ = ttXbeXDT;
  mutable std::uint16_t engineTableType_ = 3;
  TXbeConnection* xbeConnection_ = nullptr;
  bool storeActive_ = true;
  std::string infoStructure_;
};

// Packs a date text "YYYYMMDD" into 3 bytes: year x 512 + month x 32 + day, big-endian.
void TextToPackedDate(db::Byte* target, const std::string& text);
