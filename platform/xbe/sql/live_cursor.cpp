// A live cursor: the base table restricted to the records of a result.
#include <algorithm>

#include "platform/xbe/api_support.h"
#include "platform/xbe/sql/result_cursors.h"

namespace xbe::sql {

namespace {

class Restriction final : public SqlCursorResult, public RecordFilter {
 public:
  Restriction(std::vector<std::uint32_t> records, std::uint32_t countWhenTaken)
      : records_(std::move(records)), countWhenTaken_(countWhenTaken) {
    std::sort(records_.begin(), records_.end());
  }
  bool Live() const override { return true; }
  bool Accepts(const RecordView& record) override {
    const std::uint32_t r = record.RecordNumber();
    // A record appended through the cursor belongs to what the caller sees.
    return r > countWhenTaken_ || r == 0 || std::binary_search(records_.begin(), records_.end(), r);
  }

 private:
  std::vector<std::uint32_t> records_;
  std::uint32_t countWhenTaken_;
};

}  // namespace

std::uint32_t OpenLiveCursor(const OpenRequest& request, std::vector<std::uint32_t> records, std::uint32_t connection) {
  auto object = std::make_unique<TableObject>();
  object->table = Table::Open(request);
  object->connection = connection;
  auto restriction = std::make_unique<Restriction>(std::move(records), object->table->RecordCount());
  object->table->AddFilter(restriction.get());
  object->sqlResult = std::move(restriction);
  std::shared_ptr<IndexFile> structural = IndexFile::OpenStructural(*object->table);
  TableObject& t = *object;
  const std::uint32_t h = Handles().Add(std::move(object));
  if (structural) {
    try {
      AttachIndexFile(h, t, structural);
    } catch (...) {
      for (std::uint32_t order : t.orders) Handles().Remove(order);
      Handles().Remove(h);
      throw;
    }
  }
  return h;
}

}  // namespace xbe::sql
