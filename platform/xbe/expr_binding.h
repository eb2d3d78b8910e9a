// Binds the expression compiler to a table's records: a RecordContext over a RecordView, so
// index keys, conditions and filters evaluate on the record the view shows. Built only when
// the expression library is part of the build.
#pragma once
#include <string>

#include "platform/xbe/expr/record_context.h"
#include "platform/xbe/record_view.h"

namespace xbe {

class RecordBinding final : public expr::RecordContext {
 public:
  // `alias` is the table's alias (its base name) for ALIAS->FIELD references.
  RecordBinding(const Schema& fields, std::string alias) : fields_(fields), alias_(std::move(alias)) {}
  // The record evaluated next; stays bound until the next call.
  void Bind(const RecordView& record) { record_ = &record; }

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
  const RecordView* record_ = nullptr;
};

}  // namespace xbe
