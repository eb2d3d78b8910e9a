#include "enginetest.h"

namespace enginetest {

std::unique_ptr<TXbeTable> UpdaterTable(classes::TComponent* owner, const std::string& name,
                                        const std::string& directory, const std::string& table,
                                        bool rightsCheck) {
  auto t = std::make_unique<TXbeTable>(owner);
  if (!name.empty()) t->SetName(name);
  t->XbeTableOptions().SetXbeLockType(Compatible);
  t->XbeTableOptions().SetXbeCharType(OEM);
  t->XbeTableOptions().SetXbeAutoKeyFieldCount(true);
  t->XbeTableOptions().SetXbeRightsCheck(rightsCheck);
  t->SetTableType(ttXbeNTX);
  t->SetDatabaseName(directory);
  t->SetTableName(table);
  return t;
}

}  // namespace enginetest
