// Data sources and data links: a TDataSource shows one dataset to the links attached to it;
// a link hears the dataset's data events through virtual notifications.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/db/dbtypes.h"

namespace db {

class TDataSet;
class TDataLink;
class TField;

class TDataSource : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDataSource(classes::TComponent* owner);
  // Detaches every link and the dataset.
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataSet_; }
  // Leaves the old dataset, joins the new one and tells the links.
  void SetDataSet(TDataSet* dataSet);
  // The dataset's state, inactive without one.
  DSState State() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int LinkCount() const { return static_cast<int>(links_.size()); }
  TDataLink* Links(int index) const { return links_[static_cast<std::size_t>(index)]; }

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(DataEventKind event, std::intptr_t info);
  void NotifyActiveChanged();
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  // A source that is enabled and shows an active dataset.
  bool Active() const { return active_; }
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int count) { bufferCount_ = count < 1 ? 1 : count; }

 protected:
  virtual void ActiveChanged() {}
  // `field` is the changed field, or nullptr for the whole record.
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void CheckBrowseMode() {}
  virtual void UpdateData() {}
  virtual void EditingChanged() {}

 private:
  friend class TDataSource;
  void DataEvent(DataEventKind event, std::intptr_t info);
  void UpdateActive();

  TDataSource* dataSource_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
  int bufferCount_ = 1;
};

// A link that drives a detail dataset.
class TDetailDataLink : public TDataLink {
 public:
  virtual TDataSet* DetailDataSet() const { return nullptr; }
};

// The master side of a master/detail pair: it resolves FieldNames on the master dataset and
// tells its detail dataset when the master record or the link changes.
class TMasterDataLink : public TDetailDataLink {
 public:
  using THandler = classes::TMethod<void()>;

  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}

  TDataSet* DetailDataSet() const override { return detail_; }
  const std::string& FieldNames() const { return fieldNames_; }
  // Re-resolves the fields when the link is active.
  void SetFieldNames(const std::string& names);
  // The master's fields named by FieldNames while active; empty otherwise.
  const std::vector<TField*>& Fields() const { return fields_; }
  THandler OnMasterChange;
  THandler OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;
  void CheckBrowseMode() override;

 private:
  bool DetailUsable() const;
  TDataSet* detail_;
  std::string fieldNames_;
  std::vector<TField*> fields_;
};

}  // namespace db
