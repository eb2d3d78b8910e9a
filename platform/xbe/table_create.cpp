#include "platform/xbe/table_create.h"

#include <sys/stat.h>

#include "platform/xbe/dbf_header.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/memo_store.h"
#include "platform/xbe/restructure_plan.h"
#include "platform/xbe/table_files.h"

namespace xbe {

namespace {
const char* TypeNameOf(std::uint16_t code) {
  switch (code) {
    case kLogical: return "Logical";
    case kNumericText: return "Numeric";
    case kDate: return "Date";
    case kCharacter: return "Char";
    case kMemo: return "Memo";
    case kBinary: return "Binary";
    case kImage: return "Image";
    case kVarMemo: return "VarMemo";
    case kPackedDate: return "PackedDate";
    case kDouble: return "Double";
    case kInteger: return "Integer";
    case kShortInt: return "ShortInt";
    case kTime: return "Time";
    case kTimestamp: return "Timestamp";
    case kAutoInc: return "AutoInc";
    case kRaw: return "Raw";
    case kMoneyDouble: return "CurDouble";
    case kMoney: return "Money";
    case kCiCharacter: return "CiChar";
    default: return "?";
  }
}
}  // namespace

void CreateTable(std::string_view name, TableType type, const std::vector<NewField>& fields) {
  const TableNames names = DataFileNames(name, type);
  struct stat st{};
  if (::stat(names.hostPath.c_str(), &st) == 0)
    Fail(kInvalidArgument, "The table " + names.windowsName + " exists already.");
  // The field list goes through the restructure rules, applied to a table without fields.
  DbfHeader empty;
  empty.version = type == TableType::kXdt ? kVersionXdt : kVersionDbase3;
  empty.reserved.assign(20, '\0');
  std::string add;
  for (const NewField& f : fields) {
    if (!add.empty()) add += ';';
    add += f.name + "," + TypeNameOf(f.code) + "," + (f.length ? std::to_string(f.length) : "") + "," +
           std::to_string(f.decimals);
  }
  RestructurePlan plan = PlanRestructure(empty, type, add, "", "", names.windowsName);
  DbfHeader& h = plan.header;
  const MemoKind memo = h.Memo();
  if (memo != MemoKind::kNone) {
    const TableNames memoNames = MemoFileNames(names, memo, h.IsXdt());
    RawFile m;
    m.Create(memoNames.hostPath, memoNames.windowsName);
    if (memo == MemoKind::kFpt) CreateFptMemoFile(m, 64);
    else CreateDbtMemoFile(m);
  }
  RawFile out;
  out.Create(names.hostPath, names.windowsName);
  std::string bytes = SerializeDbfHeader(h);
  bytes += '\x1A';
  out.WriteAt(0, bytes.data(), bytes.size());
}

}  // namespace xbe
