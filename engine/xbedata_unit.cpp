// The engine's field classes and the unit state of xbedata: the process-wide list of datasets
// and the thread's error-building flag.
#include <algorithm>
#include <memory>

#include "engine/xbedata.h"
#include "platform/classes/classbuilder.h"

const classes::TClassInfo& TXbeStringField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TXbeStringField, db::TStringField>(
      "TXbeStringField", [](auto& c) { c.Bool("CaseInsensitive", &TXbeStringField::CaseInsensitive, nullptr); });
  return info;
}

TXbeStringField::TXbeStringField(classes::TComponent* owner) : db::TStringField(owner) { caseInsensitive_ = false; }

const classes::TClassInfo& TXbeBCDField::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TXbeBCDField, db::TBCDField>("TXbeBCDField", [](auto&) {});
  return info;
}

TXbeBCDField::TXbeBCDField(classes::TComponent* owner) : db::TBCDField(owner) {
  // A field read from a stored description keeps its stored Currency.
  if (owner == nullptr || !owner->InState(classes::csLoading)) SetCurrency(true);
}

namespace {

// The list's lock exists before the list and outlives it, so the list is created, walked and
// freed under it: two threads constructing the first datasets create one list, and a walk
// that comes before any dataset finds an empty list rather than none.
rtl::TCriticalSection& DataSetListLock() {
  static rtl::TCriticalSection lock;
  return lock;
}

std::unique_ptr<std::vector<TXbeDataSet*>> g_dataSets;
int g_unitStarts = 0;

std::vector<TXbeDataSet*>& ExistingDataSetList() {
  if (!g_dataSets) g_dataSets = std::make_unique<std::vector<TXbeDataSet*>>();
  return *g_dataSets;
}

// The unit's start-up runs with the program's static initialisation, its shut-down at exit.
// The lock is made first, so that it is destroyed after the shut-down has used it.
struct UnitLife {
  UnitLife() {
    DataSetListLock();
    InitializeXbeDataUnit();
  }
  ~UnitLife() { FinalizeXbeDataUnit(); }
} g_unitLife;

}  // namespace

void InitializeXbeDataUnit() {
  if (g_unitStarts++ == 0) BuildingEngineError = false;
}

void FinalizeXbeDataUnit() {
  if (g_unitStarts == 0) return;
  if (--g_unitStarts == 0) {
    rtl::CriticalSectionGuard guard(DataSetListLock());
    g_dataSets.reset();
  }
}

bool DataSetComponentListExists() {
  rtl::CriticalSectionGuard guard(DataSetListLock());
  return g_dataSets != nullptr;
}

std::vector<TXbeDataSet*>& LockDataSetComponentList() {
  DataSetListLock().Enter();
  return ExistingDataSetList();
}

void UnlockDataSetComponentList() { DataSetListLock().Leave(); }

// Used by the dataset core's constructor and destructor.
void RegisterDataSetComponent(TXbeDataSet* dataSet) {
  rtl::CriticalSectionGuard guard(DataSetListLock());
  ExistingDataSetList().push_back(dataSet);
}

void UnregisterDataSetComponent(TXbeDataSet* dataSet) {
  rtl::CriticalSectionGuard guard(DataSetListLock());
  if (!g_dataSets) return;
  auto& items = *g_dataSets;
  // Removal leaves a hole that the compaction closes, as the list's owner expects.
  auto it = std::find(items.begin(), items.end(), dataSet);
  if (it != items.end()) *it = nullptr;
  items.erase(std::remove(items.begin(), items.end(), nullptr), items.end());
}
