// The RecordView of a table's record image (internal to the table implementation).
#pragma once
#include "platform/xbe/table.h"

namespace xbe {

class Table::ImageView final : public RecordView {
 public:
  ImageView(Table& table, const std::string* image, std::uint32_t recno)
      : table_(table), image_(image), recno_(recno) {}
  void Reset(const std::string* image, std::uint32_t recno) {
    image_ = image;
    recno_ = recno;
  }
  const Schema& Fields() const override { return table_.Fields(); }
  std::uint32_t RecordNumber() const override { return recno_; }
  std::string_view Image() const override { return *image_; }
  bool IsXdt() const override { return table_.IsXdt(); }
  std::string FieldString(std::size_t index) const override {
    return table_.ToAnsi(FieldBytes(index));
  }
  MemoBlob Memo(std::size_t index) const override;

 private:
  Table& table_;
  const std::string* image_;
  std::uint32_t recno_;
};

}  // namespace xbe
