// Restructuring a closed table: the new data file is written beside the old one and switched in
// by one rename, so a crash at any moment leaves the old or the new table complete (README.md,
// "Restructure"). Records stream through a fixed-size buffer; the memo file is kept as it is.
#pragma once
#include <string_view>

#include "platform/xbe/field_types.h"
#include "platform/xbe/restructure_switch.h"

namespace xbe {

struct RestructureRequest {
  std::string_view name;  // Windows-style table name
  TableType type = TableType::kNtx;
  std::string_view addList, deleteList, changeList;
  const RestructureFaults* faults = nullptr;  // tests only
};

void RestructureTable(const RestructureRequest& request);

}  // namespace xbe
