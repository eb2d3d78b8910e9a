#include "platform/xbe/index_create.h"

#include <filesystem>
#include <vector>

#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"
#include "platform/xbe/api_support.h"
#include "platform/xbe/detached_view.h"
#include "platform/xbe/expr/keys.h"
#include "platform/xbe/index/ntx_order.h"
#include "platform/xbe/table_filters.h"

namespace xbe {

namespace {

void Create(XBEHANDLE handle, std::string_view fileName, std::string_view keyText, std::string_view forText,
            bool unique, bool descending) {
  Table& table = *Handles().Get<TableObject>(handle, HandleKind::kTable).table;
  RecordBinding binding(table.Fields(), TableAlias(table));
  const expr::Expression key = expr::Expression::Compile(keyText, binding);
  expr::Expression condition;
  if (!forText.empty()) condition = expr::Expression::Compile(forText, binding);
  const expr::EvalSettings settings = EvaluationSettings(false);
  // The key's layout comes from its value on a blank record.
  const std::string blankImage = table.NullRecord();
  const DetachedView blank(table, blankImage);
  binding.Bind(blank);
  const expr::KeyLayout layout = expr::KeyLayoutFor(expr::KeyFormat::kNtx, key.Evaluate(binding, settings));
  if (layout.length < 1 || layout.length > 250)
    Fail(kExpressionError, "The key \"" + std::string(keyText) + "\" is " + std::to_string(layout.length) +
                               " bytes long; an NTX key holds 1 to 250.");
  table.Write();
  std::vector<index::KeyEntry> entries;
  table.ForEachRecord([&](const RecordView& r) {
    binding.Bind(r);
    if (!condition.Empty() && !condition.EvaluateLogical(binding, settings)) return;
    entries.push_back({expr::EncodeKey(key.Evaluate(binding, settings), layout, key.Text()), r.RecordNumber()});
  });
  std::string path(fileName);
  if (rtl::ExtractFileExt(path).empty()) path += ".ntx";
  index::NtxDefinition d;
  d.keyExpression = std::string(keyText);
  d.forExpression = std::string(forText);
  d.unique = unique;
  d.descending = descending;
  d.keyLength = layout.length;
  d.keyDecimals = layout.decimals;
  std::string name = rtl::ExtractFileName(path);
  name = rtl::AnsiUpperCase(name.substr(0, name.size() - rtl::ExtractFileExt(name).size()));
  // Written over the file it replaces (never emptied first), so that its counter goes on.
  const std::string host = rtl::HostPath(path);
  std::error_code ec;
  index::NtxOrder::Create(std::filesystem::is_regular_file(host, ec) ? index::OpenHostFile(host, true)
                                                                    : index::CreateHostFile(host),
                          name, d, std::move(entries));
}

}  // namespace

void CreateNtxIndex(XBEHANDLE table, std::string_view fileName, std::string_view keyExpression,
                    std::string_view forExpression, bool unique, bool descending) {
  const XBERESULT r = Guarded([&] { Create(table, fileName, keyExpression, forExpression, unique, descending); });
  if (r != kOk) throw Error(r, ThreadLastError().text.substr(ThreadLastError().text.find(": ") + 2));
}

}  // namespace xbe
