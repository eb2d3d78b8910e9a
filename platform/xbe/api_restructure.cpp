// XbeRestructureTable.
#include <cstring>

#include "platform/xbe/api_support.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/restructure.h"

using namespace xbe;

extern "C" XBERESULT XbeRestructureTable(XBEHANDLE connection, const char* name, const char* /*alias*/,
                                         uint16_t tableType, uint16_t /*charType*/, uint16_t lockType,
                                         uint16_t /*rightsChecking*/, const char* addFields,
                                         const char* deleteFields, const char* changeFields) {
  return Guarded([&] {
    auto& conn = Handles().Get<ConnectionObject>(connection, HandleKind::kConnection);
    if (name == nullptr || *name == '\0') Fail(kInvalidArgument, "No table name was given.");
    std::string full = name;
    // On a dictionary connection a bare name is the dictionary's table, with its file and type.
    const bool byDictionary = conn.dictionary && std::strpbrk(name, "\\/:") == nullptr;
    if (byDictionary) {
      const dictionary::TableEntry entry = conn.dictionary->ListedTable(name);
      full = conn.dictionary->Resolve(entry.path);
      tableType = static_cast<uint16_t>(entry.type);
    }
    if (tableType < 1 || tableType > 3)
      Fail(kUnsupported, "The table type " + std::to_string(tableType) + " is not valid for a local table.");
    if (lockType > 1) Fail(kInvalidArgument, "The lock type " + std::to_string(lockType) + " is not valid.");
    if (!byDictionary && std::strpbrk(name, "\\/:") == nullptr) {
      std::string dir = conn.path;
      if (!dir.empty() && dir.back() != '\\' && dir.back() != '/' && dir.back() != ':') dir += '\\';
      full = dir + name;
    }
    RestructureRequest r;
    r.name = full;
    r.type = static_cast<TableType>(tableType);
    r.addList = addFields ? addFields : "";
    r.deleteList = deleteFields ? deleteFields : "";
    r.changeList = changeFields ? changeFields : "";
    RestructureTable(r);
  });
}
