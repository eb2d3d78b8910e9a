// TDataSet: the abstract dataset. It keeps the state, a ring of record buffers with one spare
// (temporary) buffer after it, the fields and their definitions, bookmarks, filter settings,
// calculated fields, data sources and the events; everything that touches records goes through
// the protected hooks below, which a concrete dataset overrides.
//
// Call order the hooks may rely on:
//   Open:  BeforeOpen; StartOpen [DefaultFields := no fields; OpenTableCursor; buffer list :=
//          BufferCount + 1; forward fill with FetchRecord(Next)] (on an exception: CloseCursor,
//          state stays inactive, re-raise); SetState(Browse); AfterOpenHook (fires AfterOpen);
//          AfterScroll when not empty. Active stays False while OpenTableCursor runs.
//   Close: BeforeClose; SetState(Inactive) (pending edits dropped); CloseCursor [buffer list
//          freed, BufferCount := 0, CloseTableCursor]; AfterClose.
//   Extending the ring forward (backward) from a buffer that is not the engine's current record
//   first calls PositionOnBuffer on it (GoBeforeFirst / GoAfterLast for BOF / EOF buffers).
//   Edit, Delete, Cancel and Refresh call UpdateCursorPos() before their hook; Post, Delete,
//   Cancel and Refresh resynchronise (FetchRecord(Current) and refill) after it.
//
// C++ note: a derived destructor must call DestroyDataSet() while its own members are alive;
// it closes through the hooks (no events) and releases the fields. The base destructor only
// does what is left and never calls a hook.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/db/dberrors.h"
#include "platform/db/dbtypes.h"
#include "platform/db/field.h"
#include "platform/db/variant.h"

namespace classes {
class TStrings;
class TStream;
}  // namespace classes

namespace db {

class TFieldDefs;
class TIndexDef;
class TIndexDefs;
class TParams;
class TDataSource;
class TBlobField;

// Field classes are classes of the component model: FieldClassFor answers one, CreateFields
// makes the field through its virtual constructor.
using TFieldClass = const classes::TClassInfo*;

using TDataSetNotifyEvent = classes::TMethod<void(TDataSet* dataSet)>;
using TFilterRecordEvent = classes::TMethod<void(TDataSet* dataSet, bool& accept)>;
using TDataSetErrorEvent =
    classes::TMethod<void(TDataSet* dataSet, EDatabaseError& error, TDataAction& action)>;

class TDataSet : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDataSet(classes::TComponent* owner);
  ~TDataSet() override;

  // ---- open and close --------------------------------------------------------------------
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != DSState::Inactive && state_ != DSState::Opening; }
  // Read from a stored description, the request waits for Loaded().
  void SetActive(bool active);
  DSState State() const { return state_; }
  void Loaded() override;

  // ---- navigation ------------------------------------------------------------------------
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to `distance` records; answers how many were passed.
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }  // EOF is a macro of the C library
  bool IsEmpty() const { return recordCount_ == 0; }
  int RecordCount() { return CountRecords(); }
  int RecNo() { return CurrentRecordNumber(); }
  void SetRecNo(int number) { MoveToRecordNumber(number); }
  // Whether record numbers are positions in the current order.
  bool IsSequenced() { return QuerySequenced(); }
  void Refresh();

  // ---- bookmarks -------------------------------------------------------------------------
  // Empty unless the active record is a stored one (flag current) of a non-empty dataset.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark);
  int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // ---- editing ---------------------------------------------------------------------------
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  void ClearFields();
  // Settles pending edits: posts them when modified, else cancels (set-key: posts).
  void CheckBrowseMode();
  bool Modified() const { return modified_; }
  bool CanModify() { return CanModifyData(); }

  // ---- search ----------------------------------------------------------------------------
  bool FindFirst() { return found_ = FindNextRecord(true, true); }
  bool FindLast() { return found_ = FindNextRecord(true, false); }
  bool FindNext() { return found_ = FindNextRecord(false, true); }
  bool FindPrior() { return found_ = FindNextRecord(false, false); }
  bool Found() const { return found_; }
  bool Locate(const std::string& keyFields, const Variant& keyValues, LocateOptions options) {
    return LocateValues(keyFields, keyValues, options);
  }
  Variant Lookup(const std::string& keyFields, const Variant& keyValues, const std::string& resultFields) {
    return LookupValues(keyFields, keyValues, resultFields);
  }

  // ---- fields and definitions ------------------------------------------------------------
  TFieldDefs& FieldDefs() { return *fieldDefs_; }
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FindField(std::string_view name) const { return fields_.FindField(name); }
  TField* FieldByName(std::string_view name) const { return fields_.FieldByName(name); }
  // The fields of a ";"-separated list of names (blanks around names ignored), each by
  // FieldByName.
  void GetFieldList(std::vector<TField*>& list, std::string_view names) const;
  // The field names; the definition names when there are no fields.
  void GetFieldNames(classes::TStrings& list);
  // One field's value, or an array of the values of several ";"-separated fields.
  Variant FieldValues(std::string_view names) const;
  void SetFieldValues(std::string_view names, const Variant& values);
  bool DefaultFields() const { return defaultFields_; }

  // The caller owns the stream; the field must be a blob field of this dataset.
  std::unique_ptr<classes::TStream> CreateBlobStream(TField* field, BlobMode mode);

  // ---- links -----------------------------------------------------------------------------
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }
  // True when `source` shows this dataset, directly or through the master sources of the
  // datasets it shows.
  bool IsLinkedTo(TDataSource* source) const;

  // ---- filter and calculated fields ------------------------------------------------------
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value) { filtered_ = value; }
  const std::string& Filter() const { return filterText_; }
  virtual void SetFilterText(const std::string& value) { filterText_ = value; }
  const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
  virtual void SetOnFilterRecord(TFilterRecordEvent e) { onFilterRecord_ = std::move(e); }
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool v) { autoCalcFields_ = v; }

  // ---- events (fired only when assigned) --------------------------------------------------
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
      BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete,
      AfterDelete, BeforeScroll, AfterScroll, BeforeRefresh, AfterRefresh, OnCalcFields,
      OnNewRecord;
  TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;

 protected:
  // ==== hooks: life cycle ===================================================================
  // The framework's open step (see the header comment).
  virtual void StartOpen();
  // Opens the underlying cursor and prepares definitions, fields and buffer layout.
  virtual void OpenTableCursor() = 0;
  // Closes the underlying cursor; runs also when an open fails.
  virtual void CloseTableCursor() = 0;
  virtual bool IsTableOpen() const = 0;
  virtual void HandleException() {}
  // Fires AfterOpen.
  virtual void AfterOpenHook();

  // ==== hooks: definitions =================================================================
  // The class of the field made for a type; the base answers the framework's own classes.
  virtual TFieldClass FieldClassFor(TFieldType type);
  // Called by FieldDefs().Update() when the definitions are not up to date; the base loads
  // them from the open cursor.
  virtual void InitFieldDefsFromTable();
  // Fills FieldDefs from the open cursor; the base raises the abstract-call error.
  virtual void LoadFieldDefs();
  // Called by IndexDefs.Update() every time; the hook tests and sets IndexDefs' updated mark.
  virtual void LoadIndexDefs() {}
  // Field or index definitions changed by code, assignment or a form (not by Update()).
  virtual void DefinitionsChanged(classes::TObject* /*sender*/) {}

  // ==== hooks: record buffers ==============================================================
  virtual TRecordBuffer AllocateRecordBuffer() = 0;
  virtual void ReleaseRecordBuffer(TRecordBuffer& buffer) = 0;
  // The calculated-field area of a buffer starts this many bytes in.
  virtual int RecordSizeOf() const = 0;
  virtual GetResult FetchRecord(TRecordBuffer buffer, GetMode mode, bool check) = 0;
  virtual void CopyBookmark(TRecordBuffer buffer, Byte* target) = 0;
  virtual Byte BookmarkFlagOf(TRecordBuffer buffer) = 0;
  virtual void SetBufferBookmarkFlag(TRecordBuffer buffer, Byte flag) = 0;
  virtual void SetBufferBookmark(TRecordBuffer buffer, const Byte* bookmark) = 0;
  virtual void ClearCalcArea(TRecordBuffer buffer);
  virtual void InitRecordDefaults(TRecordBuffer /*buffer*/) {}
  // Base: InitRecordDefaults, then ClearCalcArea.
  virtual void InitRecordInfo(TRecordBuffer buffer);

  // ==== hooks: positioning =================================================================
  virtual void GoBeforeFirst() = 0;
  virtual void GoAfterLast() = 0;
  virtual void GoToBookmark(const Byte* bookmark) = 0;
  virtual void PositionOnBuffer(TRecordBuffer buffer) = 0;
  virtual bool IsBookmarkValid(const Byte* /*bookmark*/) { return false; }
  virtual int CompareBookmarkOrder(const Byte* /*a*/, const Byte* /*b*/) { return 0; }
  virtual int CountRecords() { return -1; }
  virtual int CurrentRecordNumber() { return -1; }
  virtual void MoveToRecordNumber(int /*number*/) {}
  virtual bool QuerySequenced() { return false; }

  // ==== hooks: field data ==================================================================
  // Native value of a field in the record the state selects; a null target asks for presence.
  virtual bool ReadFieldData(TField* field, void* target) = 0;
  // Stores a native value (nullptr = no value); makes every check itself.
  virtual void WriteFieldData(TField* field, const void* value) = 0;
  virtual bool FieldIsIndexSegment(TField* /*field*/) { return false; }
  virtual std::unique_ptr<classes::TStream> OpenBlobStream(TField* field, BlobMode mode);
  virtual void CloseBlob(TField* /*field*/) {}

  // ==== hooks: editing =====================================================================
  virtual bool CanModifyData() { return true; }
  virtual void BeginInsertRecord() {}
  virtual void BeginEditRecord() {}
  // Base: the required-field check.
  virtual void PostRecord();
  virtual void DeleteRecord() {}
  virtual void CancelRecord() {}
  virtual void RefreshRecord() {}
  // Fires OnNewRecord (the state is already insert).
  virtual void NewRecordHook();
  virtual void AfterInsertHook() { AfterInsert.Fire(this); }
  virtual void BeforeCancelHook() { BeforeCancel.Fire(this); }
  virtual void AddRecord(TRecordBuffer /*buffer*/, bool /*append*/) {}
  virtual bool CopyCurrentRecord(TRecordBuffer /*destination*/) { return false; }

  // ==== hooks: search and links ============================================================
  virtual bool FindNextRecord(bool /*restart*/, bool /*forward*/) { return false; }
  virtual bool LocateValues(const std::string&, const Variant&, LocateOptions) { return false; }
  virtual Variant LookupValues(const std::string&, const Variant&, const std::string&) {
    return Variant::Null();
  }
  // Every data event passes here; the base updates Modified and the calculated fields and
  // tells the data sources.
  virtual void DataEvent(DataEventKind event, std::intptr_t info);
  // The source whose dataset is this dataset's master (for IsLinkedTo); none in the base.
  virtual TDataSource* GetDataSource() const { return nullptr; }
  virtual void GetDetailLinkFields(std::vector<TField*>& /*master*/, std::vector<TField*>& /*detail*/) {}

  // ==== hooks: provider support (nothing in the framework calls them) ======================
  virtual bool ProviderSqlSupported() { return false; }
  virtual bool ProviderSqlBased() { return false; }
  virtual std::string ProviderQuoteChar() { return std::string(); }
  virtual void ProviderReset() {}
  virtual bool ProviderInTransaction() { return false; }
  virtual void ProviderStartTransaction() {}
  virtual void ProviderEndTransaction(bool /*commit*/) {}
  virtual bool ProviderUpdateRecord(UpdateKind /*kind*/, TDataSet* /*delta*/) { return false; }
  virtual int ProviderExecuteStatement(const std::string& /*sql*/, TParams* /*params*/,
                                       TDataSet** /*resultSet*/) { return 0; }
  virtual TUpdateStatus UpdateStatus() { return TUpdateStatus::usUnmodified; }
  virtual std::unique_ptr<TIndexDef> ProviderDefaultOrder();
  virtual std::string ProviderKeyFields() { return std::string(); }
  virtual std::string ProviderTableName() { return std::string(); }
  virtual TParams* ProviderParams() { return nullptr; }
  virtual void ProviderSetParams(const TParams& /*params*/) {}
  virtual std::string ProviderCommandText() { return std::string(); }
  virtual void ProviderSetCommandText(const std::string& /*text*/) {}
  virtual void ProviderExecute() {}

  // ==== services ===========================================================================
  void SetState(DSState state);
  // Temporary states change the state silently and hold back link notifications.
  DSState SetTempState(DSState state);
  void RestoreState(DSState previous);
  void SetModified(bool value) { modified_ = value; }
  void CheckActive() const;
  // Closes first when designing or updating; otherwise raises the open-dataset error.
  void CheckInactive();

  int BufferCount() const { return bufferCount_; }
  int ActiveRecord() const { return activeRecord_; }
  // Filled ring slots.
  int BufferedRecordCount() const { return recordCount_; }
  TRecordBuffer ActiveBuffer() const;
  TRecordBuffer Buffers(int index) const;
  // The spare slot after the ring (BufferCount()).
  TRecordBuffer TempBuffer() const;
  TRecordBuffer CalcBuffer() const { return calcBuffer_; }
  int& BookmarkSize() { return bookmarkSize_; }
  int BookmarkSize() const { return bookmarkSize_; }
  int CalcFieldsSize() const { return calcFieldsSize_; }
  int BlobFieldCount() const { return blobFieldCount_; }
  // Allocates missing slots and releases surplus ones through the hooks.
  void SetBufferListSize(int count);
  void Resync(ResyncModes modes);
  void CursorPosChanged() { currentRecord_ = -1; }
  // Puts the cursor on the active record.
  void UpdateCursorPos();
  // CalcBuffer := buffer (always); computes the calculated fields when there are any.
  void GetCalcFields(TRecordBuffer buffer);
  void DoBeforeScroll() { BeforeScroll.Fire(this); }
  void DoAfterScroll() { AfterScroll.Fire(this); }

  // Binding: each data field takes its definition's number; calculated and lookup fields get
  // their calculated-area offsets, blob fields their slot numbers.
  void BindFields(bool binding);
  void CreateFields();
  void DestroyFields();
  // Frees the buffers, sets BufferCount to 0, then CloseTableCursor.
  void CloseCursor();
  // See the header comment; safe to call more than once.
  void DestroyDataSet();

 private:
  friend class TField;
  friend class TFieldDef;
  friend class TFieldDefs;
  friend class TIndexDefs;
  friend class TDataSource;
  friend class TBlobField;

  void OpenDataSet();
  void CloseDataSet(bool withEvents);
  void ClearBuffers();
  void ActivateBuffers();
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void SetCurrentRecord(int index);
  void MoveBuffer(int from, int to);
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckCanModify();
  int LinkBufferCount() const;
  // Runs a hook with the dataset's error event: fail re-raises, abort stops silently, retry
  // runs the hook again.
  template <class Hook>
  void RunWithErrorEvent(Hook&& hook, const TDataSetErrorEvent& event);
  void AddField(TField* field);
  void RemoveField(TField* field);
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void NotifyDataSources(DataEventKind event, std::intptr_t info);

  DSState state_ = DSState::Inactive;
  std::unique_ptr<TFieldDefs> fieldDefs_;
  TFields fields_;
  bool defaultFields_ = false;
  std::vector<TRecordBuffer> buffers_;
  int bufferCount_ = 0;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool found_ = false;
  int bookmarkSize_ = 0;
  int calcFieldsSize_ = 0;
  int blobFieldCount_ = 0;
  TRecordBuffer calcBuffer_ = nullptr;
  bool filtered_ = false;
  std::string filterText_;
  TFilterRecordEvent onFilterRecord_;
  bool autoCalcFields_ = true;
  int disableCount_ = 0;
  int tempStateDepth_ = 0;
  DSState disableState_ = DSState::Inactive;
  bool pendingChange_ = false;
  bool streamedActive_ = false;
  bool destroyed_ = false;
  std::vector<TDataSource*> dataSources_;
};

}  // namespace db
