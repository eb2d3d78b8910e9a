// A live cursor: the base table, moving through the records of a result in the result's order.
// The result's records are also a filter of the table, so that every order opened on the cursor
// sees the base table restricted to them.
#include <unordered_map>

#include "platform/xbe/api_support.h"
#include "platform/xbe/record_hooks.h"
#include "platform/xbe/sql/result_cursors.h"

namespace xbe::sql {

namespace {

class ResultRecords final : public SqlCursorResult, public Order, public RecordFilter {
 public:
  explicit ResultRecords(std::vector<std::uint32_t> records) : records_(std::move(records)) {
    for (std::size_t i = 0; i < records_.size(); ++i) place_.emplace(records_[i], i);
  }
  bool Live() const override { return true; }
  Order* ResultOrder() override { return this; }
  std::uint32_t ResultSize() const override { return static_cast<std::uint32_t>(records_.size()); }

  std::uint32_t First() override { return records_.empty() ? 0 : records_.front(); }
  std::uint32_t Last() override { return records_.empty() ? 0 : records_.back(); }
  std::uint32_t Next(const RecordView& current) override {
    const auto it = place_.find(current.RecordNumber());
    return it == place_.end() || it->second + 1 >= records_.size() ? 0 : records_[it->second + 1];
  }
  std::uint32_t Prior(const RecordView& current) override {
    const auto it = place_.find(current.RecordNumber());
    return it == place_.end() || it->second == 0 ? 0 : records_[it->second - 1];
  }
  // Membership is the table's filter (it holds in this order as in every other).
  bool Accepts(const RecordView& record) override { return place_.count(record.RecordNumber()) != 0; }
  int Compare(const RecordView& a, const RecordView& b) override {
    const std::size_t x = PlaceOf(a.RecordNumber());
    const std::size_t y = PlaceOf(b.RecordNumber());
    return x < y ? -1 : (x > y ? 1 : 0);
  }

 private:
  std::size_t PlaceOf(std::uint32_t recno) const {
    const auto it = place_.find(recno);
    return it == place_.end() ? records_.size() : it->second;
  }

  std::vector<std::uint32_t> records_;
  std::unordered_map<std::uint32_t, std::size_t> place_;
};

}  // namespace

std::uint32_t OpenLiveCursor(const OpenRequest& request, std::vector<std::uint32_t> records, std::uint32_t connection) {
  auto object = std::make_unique<TableObject>();
  object->table = Table::Open(request);
  object->connection = connection;
  auto result = std::make_unique<ResultRecords>(std::move(records));
  object->table->AddFilter(result.get());  // the result outlives the table (TableObject)
  object->sqlResult = std::move(result);
  // A writable cursor's edits belong to the connection's transaction, as a table's do.
  if (HandleObject* c = Handles().Find(connection); c && c->Kind() == HandleKind::kConnection)
    if (auto& tx = static_cast<ConnectionObject&>(*c).transaction) tx->Attach(*object->table);
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
