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

struct DataSetList {
  rtl::TCriticalSection lock;
  std::vector<TXbeDataSet*> items;
};

std::unique_ptr<DataSetList> g_dataSets;
int g_unitStarts = 0;

// The unit's start-up runs with the program's static initialisation, its shut-down at exit.
struct UnitLife {
  UnitLife() { InitializeXbeDataUnit(); }
  ~UnitLife() { FinalizeXbeDataUnit(); }
} g_unitLife;

}  // namespace

void InitializeXbeDataUnit() {
  if (g_unitStarts++ == 0) BuildingEngineError = false;
}

void FinalizeXbeDataUnit() {
  if (g_unitStarts == 0) return;
  if (--g_unitStarts == 0) g_dataSets.reset();
}

bool DataSetComponentListExists() { return g_dataSets != nullptr; }

std::vector<TXbeDataSet*>& LockDataSetComponentList() {
  g_dataSets->lock.Enter();
  return g_dataSets->items;
}

void UnlockDataSetComponentList() { g_dataSets->lock.Leave(); }

// Used by the dataset core's constructor and destructor.
void RegisterDataSetComponent(TXbeDataSet* dataSet) {
  if (!g_dataSets) g_dataSets = std::make_unique<DataSetList>();
  rtl::CriticalSectionGuard guard(g_dataSets->lock);
  g_dataSets->items.push_back(dataSet);
}

void UnregisterDataSetComponent(TXbeDataSet* dataSet) {
  if (!g_dataSets) return;
  rtl::CriticalSectionGuard guard(g_dataSets->lock);
  auto& items = g_dataSets->items;
  // Removal leaves a hole that the compaction closes, as the list's owner expects.
  auto it = std::find(items.begin(), items.end(), dataSet);
  if (it != items.end()) *it = nullptr;
  items.erase(std::remove(items.begin(), items.end(), nullptr), items.end());
}
