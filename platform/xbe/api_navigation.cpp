// Navigation, record numbers, bookmarks and counts. Movement goes through the handle's order;
// all orders of a table share the table's one cursor.
#include <cmath>
#include <algorithm>
#include <cstring>

#include "platform/xbe/api_support.h"
#include "platform/xbe/index_order.h"
#include "platform/xbe/settings.h"
#include "platform/xbe/sql/statement_calls.h"

using namespace xbe;

namespace {
constexpr std::uint32_t kBookmarkLength = 4;  // the record number

// Record numbers and bookmarks report 0 without a current record.
std::uint32_t CurrentOrNone(const Table& t) { return t.HasCurrentRecord() ? t.CurrentRecordNumber() : 0; }

// Key k of n lies at k / n, so that a caller's record number, count x position truncated, is k
// again, and a position of k / n leads back to key k. The position is raised to the next double
// where k / n rounded down would truncate to k - 1.
double RelativePositionOfKey(std::uint32_t key, std::uint32_t count) {
  if (count == 0 || key >= count) return 1.0;
  double position = static_cast<double>(key) / static_cast<double>(count);
  while (position * static_cast<double>(count) < static_cast<double>(key)) position = std::nextafter(position, 2.0);
  return position;
}

std::uint32_t KeyOfRelativePosition(double position, std::uint32_t count) {
  const double key = std::round(position * static_cast<double>(count));
  if (key < 1.0) return 1;
  if (key >= static_cast<double>(count)) return count;
  return static_cast<std::uint32_t>(key);
}
}

extern "C" {

XBERESULT XbeGotoTop(XBEHANDLE handle) {
  return Guarded([&] {
    CursorHandle& c = Handles().Cursor(handle);
    c.CursorTable().GotoTop(c.CursorOrder());
  });
}

XBERESULT XbeGotoBottom(XBEHANDLE handle) {
  return Guarded([&] {
    CursorHandle& c = Handles().Cursor(handle);
    c.CursorTable().GotoBottom(c.CursorOrder());
  });
}

XBERESULT XbeGotoBOF(XBEHANDLE handle) {
  return Guarded([&] {
    CursorHandle& c = Handles().Cursor(handle);
    c.CursorTable().GotoBOF(c.CursorOrder());
  });
}

XBERESULT XbeSkip(XBEHANDLE handle, int32_t count) {
  return Guarded([&] {
    CursorHandle& c = Handles().Cursor(handle);
    c.CursorTable().Skip(c.CursorOrder(), count);
  });
}

XBERESULT XbeAtEOF(XBEHANDLE handle, uint16_t* atEof) {
  // Asked at every step of a walk: a table handle used lately answers without the general path.
  if (atEof != nullptr) {
    EngineLock& lock = EngineMutex();
    lock.lock();
    const Table* t = Registry::RecentTable(handle);
    if (t != nullptr) *atEof = t->CursorState().eof ? 1 : 0;
    lock.unlock();
    if (t != nullptr) return kOk;
  }
  return Guarded([&] {
    Require(atEof, "flag");
    *atEof = TableOf(handle).CursorState().eof ? 1 : 0;
  });
}

XBERESULT XbeAtBOF(XBEHANDLE handle, uint16_t* atBof) {
  return Guarded([&] {
    Require(atBof, "flag");
    *atBof = TableOf(handle).CursorState().bof ? 1 : 0;
  });
}

XBERESULT XbeIsRecordVisible(XBEHANDLE handle, uint16_t* visible) {
  return Guarded([&] {
    Require(visible, "flag");
    CursorHandle& c = Handles().Cursor(handle);
    *visible = c.CursorTable().IsVisible(c.CursorOrder()) ? 1 : 0;
  });
}

XBERESULT XbeGotoRecord(XBEHANDLE table, uint32_t recordNumber) {
  return Guarded([&] {
    if (!TableOf(table).GotoRecord(recordNumber)) Fail(kRecordUnreachable, "");
  });
}

XBERESULT XbeGetRecordNum(XBEHANDLE handle, uint16_t, uint32_t* recordNumber) {
  return Guarded([&] {
    Require(recordNumber, "record number");
    *recordNumber = CurrentOrNone(TableOf(handle));
  });
}

XBERESULT XbeGetKeyNum(XBEHANDLE handle, uint16_t, uint32_t* keyNumber) {
  return Guarded([&] {
    Require(keyNumber, "key number");
    CursorHandle& c = Handles().Cursor(handle);
    if (!c.CursorTable().HasCurrentRecord()) Fail(kNoCurrentRecord, "");
    *keyNumber = c.CursorTable().KeyNumber(c.CursorOrder());
  });
}

XBERESULT XbeGetRecordCount(XBEHANDLE handle, uint16_t mode, uint32_t* count) {
  return Guarded([&] {
    Require(count, "count");
    if (StatementAffectedRows(handle, mode, count)) return;
    CursorHandle& c = Handles().Cursor(handle);
    const std::uint16_t kind = mode & 3;
    Table& t = c.CursorTable();
    // 1: the records navigation shows (filters, scopes, conditions, deleted visibility);
    // 3 on an order: its keys inside the scopes (deleted visibility respected); otherwise the
    // records in the file.
    if (kind == 1) {
      *count = t.CountVisible(c.CursorOrder());
    } else if (kind == 3 && c.Kind() == HandleKind::kIndexOrder) {
      IndexOrder& order = *static_cast<OrderObject&>(c).index;
      *count = EngineSettings().showDeleted ? static_cast<std::uint32_t>(order.KeysInScope())
                                            : t.CountVisible(order, false);
    } else {
      *count = t.RecordCount();
      // A live cursor's records are its result's, not the base table's.
      Handles().ForEach([&](std::uint32_t, HandleObject& o) {
        if (o.Kind() != HandleKind::kTable) return;
        const auto& table = static_cast<const TableObject&>(o);
        if (table.table.get() == &t && table.sqlResult && table.sqlResult->Live())
          *count = table.sqlResult->ResultSize();
      });
    }
  });
}

XBERESULT XbeGetRelKeyPos(XBEHANDLE handle, double* position) {
  return Guarded([&] {
    Require(position, "position");
    CursorHandle& c = Handles().Cursor(handle);
    Table& t = c.CursorTable();
    const std::uint32_t key = t.KeyNumber(c.CursorOrder());
    if (key == 0) Fail(kNoRelativePosition, "");
    *position = RelativePositionOfKey(key, t.CountVisible(c.CursorOrder()));
  });
}

XBERESULT XbeSetRelKeyPos(XBEHANDLE handle, double position) {
  return Guarded([&] {
    if (!(position >= 0.0 && position <= 1.0))
      Fail(kInvalidArgument, "The relative position must lie between 0 and 1.");
    CursorHandle& c = Handles().Cursor(handle);
    Table& t = c.CursorTable();
    const std::uint32_t n = t.CountVisible(c.CursorOrder());
    if (n == 0) {
      t.GotoTop(c.CursorOrder());
      return;
    }
    t.GotoKeyNumber(c.CursorOrder(), KeyOfRelativePosition(position, n));
  });
}

XBERESULT XbeGetBookmarkLength(XBEHANDLE handle, uint32_t* length) {
  return Guarded([&] {
    Require(length, "length");
    Handles().Cursor(handle);
    *length = kBookmarkLength;
  });
}

XBERESULT XbeGetBookmark60(XBEHANDLE handle, void* bookmark, uint32_t* length) {
  return Guarded([&] {
    Require(length, "length");
    const Table& t = TableOf(handle);
    if (bookmark == nullptr || *length < kBookmarkLength) {
      *length = kBookmarkLength;
      Fail(kBufferTooSmall, "A bookmark needs 4 bytes.");
    }
    const std::uint32_t recno = CurrentOrNone(t);
    std::memcpy(bookmark, &recno, kBookmarkLength);
    *length = kBookmarkLength;
  });
}

XBERESULT XbeGetBookmark(XBEHANDLE table, uint32_t* bookmark) {
  return Guarded([&] {
    Require(bookmark, "bookmark");
    *bookmark = CurrentOrNone(TableOf(table));
  });
}

XBERESULT XbeGotoBookmark(XBEHANDLE table, uint32_t bookmark) { return XbeGotoRecord(table, bookmark); }

XBERESULT XbeCompareBookmarks(const void* bookmark1, const void* bookmark2, int16_t* result) {
  return Guarded([&] {
    Require(result, "result");
    Require(bookmark1, "first bookmark");
    Require(bookmark2, "second bookmark");
    std::uint32_t a, b;
    std::memcpy(&a, bookmark1, kBookmarkLength);
    std::memcpy(&b, bookmark2, kBookmarkLength);
    *result = a < b ? -1 : (a > b ? 1 : 0);
  });
}

XBERESULT XbeIsRecordDeleted(XBEHANDLE table, uint16_t* deleted) {
  return Guarded([&] {
    Require(deleted, "flag");
    *deleted = TableOf(table).CurrentImage()[0] == '*' ? 1 : 0;
  });
}

XBERESULT XbeRefreshRecord(XBEHANDLE table) {
  return Guarded([&] { TableOf(table).Refresh(); });
}

XBERESULT XbeGetNumIndexes(XBEHANDLE table, uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    *count = static_cast<uint16_t>(Handles().Get<TableObject>(table, HandleKind::kTable).orders.size());
  });
}

XBERESULT XbeGetAllIndexes(XBEHANDLE table, XBEHANDLE* orders, uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    const auto& all = Handles().Get<TableObject>(table, HandleKind::kTable).orders;
    const std::size_t room = orders ? *count : 0;
    for (std::size_t i = 0; i < all.size() && i < room; ++i) orders[i] = all[i];
    const bool fits = all.size() <= room;
    *count = static_cast<uint16_t>(std::min(all.size(), room));
    // More orders than places: the first ones are delivered all the same.
    if (!fits) Fail(kBufferTooSmall, "The table has " + std::to_string(all.size()) + " index orders.");
  });
}

XBERESULT XbeGetIndexPageSize(XBEHANDLE order, uint32_t* size) {
  return Guarded([&] {
    Require(size, "size");
    *size = Handles().Get<OrderObject>(order, HandleKind::kIndexOrder).pageSize;
  });
}

}  // extern "C"
