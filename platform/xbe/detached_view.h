// A record image that belongs to no stored record (a blank record, the key-building record):
// record number 0 and no memo contents. The image is the caller's and must outlive the view.
#pragma once
#include <string>

#include "platform/xbe/record_view.h"
#include "platform/xbe/table.h"

namespace xbe {

class DetachedView final : public RecordView {
 public:
  DetachedView(const Table& table, const std::string& image) : table_(table), image_(image) {}
  const Schema& Fields() const override { return table_.Fields(); }
  std::uint32_t RecordNumber() const override { return 0; }
  std::string_view Image() const override { return image_; }
  bool IsXdt() const override { return table_.IsXdt(); }
  std::string FieldString(std::size_t index) const override { return table_.ToAnsi(FieldBytes(index)); }
  MemoBlob Memo(std::size_t) const override { return {}; }

 private:
  const Table& table_;
  const std::string& image_;
};

}  // namespace xbe
