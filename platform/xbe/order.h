// An order in which a table handle's shared cursor moves. Natural (record-number) order is one;
// index orders implement the same interface. Orders name records by number; the cursor then
// reads the record and applies deleted-record visibility and filters on top of the order.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/xbe/record_view.h"

namespace xbe {

class Order {
 public:
  virtual ~Order() = default;
  // Record numbers; 0 when there is no such record.
  virtual std::uint32_t First() = 0;
  virtual std::uint32_t Last() = 0;
  virtual std::uint32_t Next(const RecordView& current) = 0;
  virtual std::uint32_t Prior(const RecordView& current) = 0;
  // Whether a record belongs to the order's visible set (scope and condition of an index).
  virtual bool Contains(const RecordView& record) { (void)record; return true; }
  // The order of two records in this order: negative, 0 or positive.
  virtual int Compare(const RecordView& a, const RecordView& b) = 0;
  // The order gave `recno`, which lies past the end of the table. Natural order took its count
  // before another program took back an append, and the walk goes on from the records there
  // are; an index order raises the corrupt-file error (its file names a record never written).
  virtual void PastTheEnd(std::uint32_t recno) { (void)recno; }
};

// Record-number order. `recordCount` asks the file; `knownCount` is the count last seen, below
// which records never go away, so that a walk asks the file only at the end it knew.
class NaturalOrder final : public Order {
 public:
  NaturalOrder(std::function<std::uint32_t()> recordCount, std::function<std::uint32_t()> knownCount)
      : count_(std::move(recordCount)), known_(std::move(knownCount)) {}
  std::uint32_t First() override { return count_() > 0 ? 1 : 0; }
  std::uint32_t Last() override { return count_(); }
  std::uint32_t Next(const RecordView& current) override {
    const std::uint32_t n = current.RecordNumber() + 1;
    if (n <= known_()) return n;
    return n <= count_() ? n : 0;
  }
  std::uint32_t Prior(const RecordView& current) override {
    const std::uint32_t r = current.RecordNumber();
    if (r == 0) return 0;
    if (r - 1 <= known_()) return r - 1;
    return r - 1 <= count_() ? r - 1 : count_();
  }
  int Compare(const RecordView& a, const RecordView& b) override {
    return a.RecordNumber() < b.RecordNumber() ? -1 : (a.RecordNumber() > b.RecordNumber() ? 1 : 0);
  }

 private:
  std::function<std::uint32_t()> count_;
  std::function<std::uint32_t()> known_;
};

}  // namespace xbe
