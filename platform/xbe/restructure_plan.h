// The field lists of a restructure and the new structure they give.
//
// Lists: entries separated by ";", items of an entry by ","; blanks around items are ignored and
// type names compare without regard to case.
//   add:    name,type,length,decimals       ("OBS,Char,40,0", "VALOR,Numeric,15,4")
//   delete: name
//   change: name,newname,type,length,decimals   (an empty item keeps the old value)
#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "platform/xbe/dbf_header.h"

namespace xbe {

struct RestructurePlan {
  DbfHeader header;  // the new header (record count 0; layout done)
  // Per new field: the old field it takes its values from, or nullopt for a new (blank) field.
  std::vector<std::optional<std::size_t>> source;
  // Per new field with a source: true when the value must be converted (type or length changed).
  std::vector<bool> convert;
};

// Raises Error(kInvalidRestructure) with a text naming the entry or field at fault.
RestructurePlan PlanRestructure(const DbfHeader& old, TableType type, std::string_view addList,
                                std::string_view deleteList, std::string_view changeList,
                                std::string_view tableName);

}  // namespace xbe
