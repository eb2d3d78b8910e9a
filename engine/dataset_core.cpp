// The dataset core: construction, destruction, published properties and the hooks its
// subclasses supply.
#include <cstdio>

#include "engine/xbecnnct.h"
#include "engine/xbedata.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/streams.h"

const classes::TClassInfo& TXbeDataSet::StaticClassInfo() {
  using D = TXbeDataSet;
  static const auto info = classes::TClassInfo::Make<D, db::TDataSet>("TXbeDataSet", [](auto& c) {
    c.Bool("Active", &D::Active, &D::SetActive).Default(false).Stored(&D::StoreActive);
    c.Bool("AutoCalcFields", &D::AutoCalcFields, &D::SetAutoCalcFields).Default(true);
    c.String("DatabaseName", &D::DatabaseName, &D::SetDatabaseName);
    c.String("Filter", &D::Filter, &D::SetFilterText);
    c.Bool("Filtered", &D::Filtered, &D::SetFiltered).Default(false);
    c.String("InfoStructure", &D::InfoStructure, &D::SetInfoStructure);
    c.String("IndexFieldNames", &D::IndexFieldNames, &D::SetIndexFieldNames);
    c.String("IndexName", &D::IndexName, &D::SetIndexName);
    c.String("MasterFields", &D::MasterFields, &D::SetMasterFields);
    c.Component("MasterSource", &D::MasterSource, &D::SetMasterSource);
    c.Bool("Sequenced", &D::Sequenced, &D::SetSequenced).Default(false);
    c.Enum("SequencedLevel", &D::SequencedLevel, &D::SetSequencedLevel, {"slStandard", "slExact"}).Default(slStandard);
    c.Bool("Scoped", &D::Scoped, &D::SetScoped).Default(false);
    c.String("ScopeBegin", &D::ScopeBegin, &D::SetScopeBegin);
    c.String("ScopeEnd", &D::ScopeEnd, &D::SetScopeEnd);
    c.Bool("StoreActive", &D::StoreActive, &D::SetStoreActive).Default(true);
    c.String("Version", &D::Version, &D::SetVersion);
    c.Event("BeforeOpen", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeOpen));
    c.Event("AfterOpen", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterOpen));
    c.Event("BeforeClose", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeClose));
    c.Event("AfterClose", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterClose));
    c.Event("BeforeInsert", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeInsert));
    c.Event("AfterInsert", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterInsert));
    c.Event("BeforeEdit", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeEdit));
    c.Event("AfterEdit", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterEdit));
    c.Event("BeforePost", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforePost));
    c.Event("AfterPost", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterPost));
    c.Event("BeforeCancel", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeCancel));
    c.Event("AfterCancel", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterCancel));
    c.Event("BeforeDelete", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeDelete));
    c.Event("AfterDelete", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterDelete));
    c.Event("BeforeScroll", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeScroll));
    c.Event("AfterScroll", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterScroll));
    c.Event("BeforeRefresh", static_cast<db::TDataSetNotifyEvent D::*>(&D::BeforeRefresh));
    c.Event("AfterRefresh", static_cast<db::TDataSetNotifyEvent D::*>(&D::AfterRefresh));
    c.Event("OnCalcFields", static_cast<db::TDataSetNotifyEvent D::*>(&D::OnCalcFields));
    c.Event("OnNewRecord", static_cast<db::TDataSetNotifyEvent D::*>(&D::OnNewRecord));
    c.Event("OnFilterRecord", &D::OnFilterRecord, &D::SetOnFilterRecord);
    c.Event("OnEditError", static_cast<db::TDataSetErrorEvent D::*>(&D::OnEditError));
    c.Event("OnPostError", static_cast<db::TDataSetErrorEvent D::*>(&D::OnPostError));
    c.Event("OnDeleteError", static_cast<db::TDataSetErrorEvent D::*>(&D::OnDeleteError));
    c.Event("OnUpdateRecord", &D::OnUpdateRecord);
  });
  return info;
}

TXbeDataSet::TXbeDataSet(classes::TComponent* owner) : db::TDataSet(owner) {
  xbeFieldDefs_ = std::make_unique<TXbeFieldDefs>(nullptr);
  indexDefs_ = std::make_unique<db::TIndexDefs>(this);
  masterLink_ = std::make_unique<db::TMasterDataLink>(this);
  masterLink_->OnMasterChange = db::TMasterDataLink::THandler(this, &TXbeDataSet::FollowMaster);
  masterLink_->OnMasterDisable = db::TMasterDataLink::THandler(this, &TXbeDataSet::ReleaseMaster);
  tableHandle_ = kNoHandle;
  activeHandle_ = kNoHandle;
  activeIndexKind_ = IndexKindNone;
  tableType_ = ttXbeXDT;
  engineTableType_ = 3;
  databaseName_.clear();
  cachedAliasPath_.clear();
  sequenced_ = false;
  sequencedLevel_ = slStandard;
  indexFiles_ = std::make_unique<TXbeIndexFiles>(this);
  tableOptions_ = std::make_unique<TXbeTableOptions>();
  tableOptions_->BindOwner(this);
  tableOptions_->SetXbeRightsCheck(true);
  tableOptions_->SetXbeOptimizedFilters(true);
  tableOptions_->SetXbeIndexPageSize(0);
  tableOptions_->SetXbeRecordCache(rcStandard);
  tableOptions_->SetXbeXOFType(atDynamic);
  tableOptions_->SetXbeAutoKeyFieldCount(false);
  tableOptions_->SetXbeCalcFieldsBeforeFilter(false);
  tableOptions_->SetXbeRecordLockingMode(lmPessimistic);
  oldRecordBuffer_.clear();
  storeActive_ = true;
  savedRecordCRC_ = 0;
  RegisterDataSetComponent(this);
}

TXbeDataSet::~TXbeDataSet() {
  Destroying();
  // Closed first, while every part of the dataset is still alive; the close hook uses none of
  // the parts freed below, so the order of the two steps makes no difference to the engine.
  DestroyDataSet();
  xbeFieldDefs_.reset();
  masterLink_.reset();
  indexDefs_.reset();
  indexFiles_.reset();
  tableOptions_.reset();
  if (xbeConnection_ != nullptr) xbeConnection_->UnregisterDataSet(this);
  xbeConnection_ = nullptr;
  oldRecordBuffer_.clear();
  UnregisterDataSetComponent(this);
}

std::string TXbeDataSet::Version() const {
  std::uint32_t major = 0, minor = 0;
  char letter = ' ';
  std::uint16_t descriptionLength = 0;
  CheckXbeResult(this, XbeGetVersion(&major, &minor, &letter, nullptr, &descriptionLength));
  std::string engine = "XBE " + std::to_string(major) + (minor < 10 ? ".0" : ".") + std::to_string(minor);
  if (letter != ' ' && letter != '\0') engine += letter;
  return "7.1 (" + engine + ")";
}

void TXbeDataSet::SetIndexDefs(const db::TIndexDefs& value) { indexDefs_->Assign(value); }

db::TFieldClass TXbeDataSet::FieldClassFor(db::TFieldType type) {
  if (type == db::ftString) return &TXbeStringField::StaticClassInfo();
  if (type == db::ftBCD) return &TXbeBCDField::StaticClassInfo();
  return db::TDataSet::FieldClassFor(type);
}

void TXbeDataSet::DataEvent(db::DataEventKind event, std::intptr_t info) {
  if (event == db::DataEventKind::PropertyChange && indexDefs_) indexDefs_->SetUpdated(false);
  db::TDataSet::DataEvent(event, info);
}

XBEHANDLE TXbeDataSet::OpenTable() { db::AbstractError(); }

std::int32_t TXbeDataSet::GetLastAutoIncValue() { db::AbstractError(); }


