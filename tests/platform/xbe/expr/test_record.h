// A one-record table in memory for evaluator tests.
#pragma once
#include <cctype>
#include <string>
#include <vector>

#include "platform/xbe/expr/record_context.h"

namespace xbe::expr::testing {

class TestRecord : public RecordContext {
 public:
  // Adds a field with its stored bytes.
  TestRecord& Add(std::string name, char type, int length, int decimals, std::string raw) {
    raw.resize(static_cast<std::size_t>(length), ' ');
    fields_.push_back({std::move(name), type, length, decimals});
    values_.push_back(std::move(raw));
    return *this;
  }
  void Set(const std::string& name, std::string raw) {
    const int i = FindField(name);
    raw.resize(static_cast<std::size_t>(fields_[static_cast<std::size_t>(i)].length), ' ');
    values_[static_cast<std::size_t>(i)] = std::move(raw);
  }
  int FindField(std::string_view name) const override {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const std::string& n = fields_[i].name;
      if (n.size() != name.size()) continue;
      bool same = true;
      for (std::size_t k = 0; k < n.size(); ++k)
        same = same && std::toupper(static_cast<unsigned char>(n[k])) == std::toupper(static_cast<unsigned char>(name[k]));
      if (same) return static_cast<int>(i);
    }
    return -1;
  }
  FieldInfo FieldAt(int i) const override { return fields_[static_cast<std::size_t>(i)]; }
  bool IsOwnAlias(std::string_view alias) const override { return alias == "T" || alias == "t"; }
  std::string_view RawField(int i) const override { return values_[static_cast<std::size_t>(i)]; }
  std::string MemoText(int i) const override { return "memo of " + fields_[static_cast<std::size_t>(i)].name; }
  bool IsDeleted() const override { return deleted; }
  std::uint32_t RecordNumber() const override { return recno; }

  bool deleted = false;
  std::uint32_t recno = 7;

 private:
  std::vector<FieldInfo> fields_;
  std::vector<std::string> values_;
};

}  // namespace xbe::expr::testing
