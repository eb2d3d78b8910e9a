// The engine's handle table: every object a caller holds by number. Handles are never 0, stay
// below 0x80000000 and are unique across kinds; a stale or foreign number is an error.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/xbe/errors.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/order.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_filters.h"
#include "platform/xbe/transaction.h"

namespace xbe {

class IndexOrder;
namespace dictionary {
class Dictionary;
}

enum class HandleKind : std::uint16_t { kConnection = 1, kTable = 2, kIndexOrder = 3, kStatement = 4, kSearch = 5 };

class HandleObject {
 public:
  virtual ~HandleObject() = default;
  virtual HandleKind Kind() const = 0;
};

// A handle that moves a table's shared cursor: the table handle itself (natural order) or one of
// its index orders.
class CursorHandle : public HandleObject {
 public:
  virtual Table& CursorTable() = 0;
  virtual Order& CursorOrder() = 0;
  // Called before each use: an index order drops what it cached of its file when another
  // program has changed the file since.
  virtual void Prepare() {}
};

struct ConnectionObject final : HandleObject {
  HandleKind Kind() const override { return HandleKind::kConnection; }
  std::string path;
  // A data-dictionary connection: its dictionary (open for the life of the connection) and the
  // user who logged in. Bare table names are looked up in it.
  std::shared_ptr<dictionary::Dictionary> dictionary;
  std::string user;
  std::unique_ptr<Transaction> transaction;  // while one runs
  const TransactionFaults* transactionFaults = nullptr;  // tests only
};

// What a cursor of an SQL statement holds beside its table: the result order of a live cursor,
// the temporary files of a static one.
class SqlCursorResult {
 public:
  virtual ~SqlCursorResult() = default;
  virtual bool Live() const = 0;
  // The order of the result's records, in which the table handle moves; null: natural order.
  virtual Order* ResultOrder() { return nullptr; }
  // The records of a live cursor's result: its count of records, where a table counts its file's.
  virtual std::uint32_t ResultSize() const { return 0; }
};

struct TableObject final : CursorHandle {
  HandleKind Kind() const override { return HandleKind::kTable; }
  Table& CursorTable() override { return *table; }
  Order& CursorOrder() override {
    Order* result = sqlResult ? sqlResult->ResultOrder() : nullptr;
    return result != nullptr ? *result : table->Natural();
  }
  // Null for tables opened by name. Declared before `table`, so that it outlives it.
  std::unique_ptr<SqlCursorResult> sqlResult;
  std::unique_ptr<Table> table;
  std::uint32_t connection = 0;
  // Handles of the index orders open on this table, in the engine's order; they are released
  // with the table.
  std::vector<std::uint32_t> orders;
  // The open index files (they keep their orders current through the table's hooks) and the
  // filters; declared after `table`, so they go before it.
  std::vector<std::shared_ptr<IndexFile>> indexFiles;
  TableFilters filters;
};

// An index order open on a table: moves the table's one cursor through its order. The order
// keeps itself current through the table's record hooks.
struct OrderObject final : CursorHandle {
  HandleKind Kind() const override { return HandleKind::kIndexOrder; }
  Table& CursorTable() override { return *table; }
  Order& CursorOrder() override { return *order; }
  void Prepare() override;
  Table* table = nullptr;
  std::uint32_t tableHandle = 0;
  std::shared_ptr<Order> order;  // an index file may hold several orders: they share its state
  std::uint32_t pageSize = 0;
  // The same order as an index order, and its file.
  IndexOrder* index = nullptr;
  std::shared_ptr<IndexFile> file;
};

struct SearchObject final : HandleObject {
  HandleKind Kind() const override { return HandleKind::kSearch; }
  std::vector<std::string> files;
  // A dictionary's listing: the tables' dictionary names, beside their files; empty for a folder.
  std::vector<std::string> names;
  std::size_t next = 0;
};

class Registry {
  // The handles used last, by their low bits: every call looks its handle up, and a caller
  // works with a few handles at a time. A slot is emptied when its handle goes.
  static constexpr std::size_t kRecentSlots = 16;
  struct Recent {
    std::uint32_t handle = 0;
    HandleKind kind = HandleKind::kConnection;
    HandleObject* object = nullptr;
  };

 public:
  std::uint32_t Add(std::unique_ptr<HandleObject> object);
  HandleObject* Find(std::uint32_t handle) const {
    const Recent& r = recent_[handle % kRecentSlots];
    if (r.handle == handle && r.object != nullptr) return r.object;
    return FindSlow(handle);
  }
  std::unique_ptr<HandleObject> Remove(std::uint32_t handle);
  std::size_t Count(HandleKind kind) const;
  // Connections once closed answer 5024 instead of "invalid handle".
  void MarkClosedConnection(std::uint32_t handle) { closedConnections_.insert(handle); }
  bool WasClosedConnection(std::uint32_t handle) const { return closedConnections_.count(handle) != 0; }
  // Closed SQL statements answer 5106; their numbers are never reused either.
  void MarkClosedStatement(std::uint32_t handle) { closedStatements_.insert(handle); }
  bool WasClosedStatement(std::uint32_t handle) const { return closedStatements_.count(handle) != 0; }
  // Every live object, in handle order (finding the other handles of a table).
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (const auto& [h, o] : objects_) visit(h, *o);
  }

  template <class T>
  T& Get(std::uint32_t handle, HandleKind kind) {
    HandleObject* o = Find(handle);
    if (o == nullptr || o->Kind() != kind) FailInvalid(handle);
    return static_cast<T&>(*o);
  }
  // The table of a table or index order handle (Cursor(handle).CursorTable()); a table handle
  // used lately is found without a call.
  Table& CursorTableOf(std::uint32_t handle);
  // The table of a table handle used lately, else null (never raises).
  static Table* RecentTable(std::uint32_t handle);
  Table& CursorTableSlow(std::uint32_t handle);
  CursorHandle& Cursor(std::uint32_t handle) {
    HandleObject* o = Find(handle);
    if (o == nullptr || (o->Kind() != HandleKind::kTable && o->Kind() != HandleKind::kIndexOrder)) FailInvalid(handle);
    auto& c = static_cast<CursorHandle&>(*o);
    c.Prepare();
    return c;
  }

 private:
  [[noreturn]] static void FailInvalid(std::uint32_t handle);
  HandleObject* FindSlow(std::uint32_t handle) const;

  // Outside the registry object (whose first use is guarded), so that the quick paths reach it
  // directly; there is one registry.
  static Recent recent_[kRecentSlots];
  std::map<std::uint32_t, std::unique_ptr<HandleObject>> objects_;
  std::set<std::uint32_t> closedConnections_;
  std::set<std::uint32_t> closedStatements_;
  std::uint32_t next_ = 0x100;
};

constinit inline Registry::Recent Registry::recent_[Registry::kRecentSlots] = {};

// A recursive lock that costs a few instructions when no other thread holds it (every C call
// takes it); a thread that finds it held sleeps until it is released.
class EngineLock {
 public:
  void lock() {
    const std::uintptr_t me = Self();
    std::uintptr_t expected = 0;
    if (owner_.compare_exchange_strong(expected, me, std::memory_order_seq_cst, std::memory_order_relaxed)) {
      depth_ = 1;
      return;
    }
    if (expected == me) {  // taken again by its holder
      ++depth_;
      return;
    }
    Wait(me);
    depth_ = 1;
  }
  void unlock() {
    if (--depth_ != 0) return;
    owner_.store(0, std::memory_order_seq_cst);
    if (waiters_.load(std::memory_order_seq_cst) != 0) owner_.notify_all();
  }

 private:
  static std::uintptr_t Self() {
    static thread_local char tag;
    return reinterpret_cast<std::uintptr_t>(&tag);
  }
  void Wait(std::uintptr_t me);

  std::atomic<std::uintptr_t> owner_{0};
  std::atomic<int> waiters_{0};
  std::uint32_t depth_ = 0;  // touched by the owner only
};

inline Registry& Handles() {
  static Registry registry;
  return registry;
}

inline Table* Registry::RecentTable(std::uint32_t handle) {
  const Recent& r = recent_[handle % kRecentSlots];
  if (r.handle == handle && r.kind == HandleKind::kTable && r.object != nullptr)
    return static_cast<TableObject*>(r.object)->table.get();
  return nullptr;
}

inline Table& Registry::CursorTableOf(std::uint32_t handle) {
  if (Table* t = RecentTable(handle)) return *t;
  return CursorTableSlow(handle);
}

// Every C entry point runs under this lock.
inline EngineLock& EngineMutex() {
  static EngineLock lock;
  return lock;
}

}  // namespace xbe
