// The engine options of one dataset.
#include "engine/xbedata.h"
#include "platform/classes/classbuilder.h"

const classes::TClassInfo& TXbeTableOptions::StaticClassInfo() {
  using O = TXbeTableOptions;
  static const auto info = classes::TClassInfo::Make<O, classes::TPersistent>("TXbeTableOptions", [](auto& c) {
    c.Enum("XbeLockType", &O::XbeLockType, &O::SetXbeLockType, {"Proprietary", "Compatible"}).Default(Proprietary);
    c.Enum("XbeCharType", &O::XbeCharType, &O::SetXbeCharType, {"ANSI", "OEM"}).Default(ANSI);
    c.Enum("XbeFilterOptions", &O::XbeFilterOptions, &O::SetXbeFilterOptions,
           {"IGNORE_WHEN_COUNTING", "RESPECT_WHEN_COUNTING"})
        .Default(IGNORE_WHEN_COUNTING);
    c.Bool("XbeFreshRecordCount", &O::XbeFreshRecordCount, &O::SetXbeFreshRecordCount).Default(false);
    c.Enum("XbeScopeOptions", &O::XbeScopeOptions, &O::SetXbeScopeOptions,
           {"IGNORE_SCOPES_WHEN_COUNTING", "RESPECT_SCOPES_WHEN_COUNTING"})
        .Default(IGNORE_SCOPES_WHEN_COUNTING);
    c.Bool("XbeXOFResolveImmediate", &O::XbeXOFResolveImmediate, &O::SetXbeXOFResolveImmediate).Default(false);
    c.Bool("XbeRightsCheck", &O::XbeRightsCheck, &O::SetXbeRightsCheck).Default(true);
    c.Bool("XbeOptimizedFilters", &O::XbeOptimizedFilters, &O::SetXbeOptimizedFilters).Default(true);
    c.Integer("XbeIndexPageSize", &O::XbeIndexPageSize, &O::SetXbeIndexPageSize)
        .Range(0, kXbeIndexPageSizeMax)
        .Default(0);
    c.Enum("XbeRecordCache", &O::XbeRecordCache, &O::SetXbeRecordCache, {"rcNone", "rcStandard", "rcAggressive"})
        .Default(rcStandard);
    c.Enum("XbeXOFType", &O::XbeXOFType, &O::SetXbeXOFType, {"atDynamic", "atKeySet", "atFixed"}).Default(atDynamic);
    c.Bool("XbeAutoKeyFieldCount", &O::XbeAutoKeyFieldCount, &O::SetXbeAutoKeyFieldCount).Default(false);
    c.Bool("XbeCalcFieldsBeforeFilter", &O::XbeCalcFieldsBeforeFilter, &O::SetXbeCalcFieldsBeforeFilter)
        .Default(false);
    c.Enum("XbeRecordLockingMode", &O::XbeRecordLockingMode, &O::SetXbeRecordLockingMode,
           {"lmPessimistic", "lmOptimistic"})
        .Default(lmPessimistic);
  });
  return info;
}

void TXbeTableOptions::RefuseWhileOwnerActive() const {
  if (ownerDataSet_ != nullptr && ownerDataSet_->Active()) RaiseXbeError(ownerDataSet_, "Table must not be Active.");
}

void TXbeTableOptions::SetXbeLockType(TXbeLockTypes value) {
  RefuseWhileOwnerActive();
  lockType_ = value;
}

void TXbeTableOptions::SetXbeCharType(TXbeCharTypes value) {
  RefuseWhileOwnerActive();
  charType_ = value;
}

void TXbeTableOptions::SetXbeRightsCheck(bool value) {
  RefuseWhileOwnerActive();
  rightsCheck_ = value;
}

void TXbeTableOptions::SetXbeIndexPageSize(TXbeIndexPageSizes value) {
  if (value < 0 || value > kXbeIndexPageSizeMax)
    RaiseXbeError(ownerDataSet_, "XbeIndexPageSize must lie between 0 and " + std::to_string(kXbeIndexPageSizeMax) +
                                     ", not " + std::to_string(value) + ".");
  indexPageSize_ = value;
}

void TXbeTableOptions::SetXbeRecordCache(TXbeRecordCacheTypes value) {
  if (ownerDataSet_ != nullptr && ownerDataSet_->Active()) {
    const std::uint16_t records = value == rcNone ? 0 : value == rcStandard ? 10 : 100;
    CheckXbeResult(ownerDataSet_, XbeCacheRecords(ownerDataSet_->TableHandle(), records));
  }
  recordCache_ = value;
}

void TXbeTableOptions::SetXbeOptimizedFilters(bool value) {
  if (value == optimizedFilters_) return;
  TXbeDataSet* d = ownerDataSet_;
  if (d != nullptr && d->Active() && !d->InState(classes::csLoading) && d->Filtered()) {
    const bool old = optimizedFilters_;
    try {
      d->ClearEngineFilter();
      optimizedFilters_ = value;
      d->ApplyEngineFilter();
      d->First();
    } catch (...) {
      optimizedFilters_ = old;
      throw;
    }
    return;
  }
  optimizedFilters_ = value;
}
