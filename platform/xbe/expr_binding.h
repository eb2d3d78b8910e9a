// Binds the expression compiler to a table's records: a RecordContext over a RecordView, so
// index keys, conditions and filters evaluate on the record the view shows. Built only when
// the expression library is part of the build.
#pragma once
#include <map>
#include <string>

#include "platform/xbe/expr/record_context.h"
#include "platform/xbe/expr/settings.h"
#include "platform/xbe/record_view.h"

namespace xbe {

// Which bytes of character fields an expression sees: the stored ones (index keys and
// conditions, byte-identical with the keys the files' own programs wrote) or the program's
// code page 1252 text (filters, locate and evaluation, matching the literals callers write).
enum class FieldText { kStored, kAnsi };

class RecordBinding final : public expr::RecordContext {
 public:
  // `alias` is the table's alias (its base name) for ALIAS->FIELD references.
  RecordBinding(const Schema& fields, std::string alias, FieldText text = FieldText::kStored)
      : fields_(fields), alias_(std::move(alias)), text_(text) {}
  // The record evaluated next; stays bound until the next call.
  void Bind(const RecordView& record) {
    record_ = &record;
    converted_.clear();
  }

  int FindField(std::string_view name) const override;
  expr::FieldInfo FieldAt(int index) const override;
  bool IsOwnAlias(std::string_view alias) const override;
  std::string_view RawField(int index) const override;
  std::string MemoText(int index) const override;
  bool IsDeleted() const override;
  std::uint32_t RecordNumber() const override;

 private:
  const Schema& fields_;
  std::string alias_;
  FieldText text_;
  const RecordView* record_ = nullptr;
  mutable std::map<int, std::string> converted_;  // 1252 texts of the bound record
};

// The settings expressions evaluate under: the engine's date format and decimals, and the
// exact-comparison flag given.
expr::EvalSettings EvaluationSettings(bool exact);

}  // namespace xbe
