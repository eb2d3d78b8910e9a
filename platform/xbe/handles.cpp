#include "platform/xbe/handles.h"

namespace xbe {

std::uint32_t Registry::Add(std::unique_ptr<HandleObject> object) {
  for (;;) {
    const std::uint32_t h = next_;
    next_ = next_ >= 0x7FFFFFFEu ? 0x100 : next_ + 1;
    if (objects_.count(h) || closedConnections_.count(h) || closedStatements_.count(h)) continue;
    objects_.emplace(h, std::move(object));
    return h;
  }
}

HandleObject* Registry::FindSlow(std::uint32_t handle) const {
  auto it = objects_.find(handle);
  if (it == objects_.end()) return nullptr;
  recent_[handle % kRecentSlots] = Recent{handle, it->second->Kind(), it->second.get()};
  return it->second.get();
}

void Registry::FailInvalid(std::uint32_t handle) { Fail(kInvalidHandle, "Invalid handle " + std::to_string(handle) + "."); }

std::unique_ptr<HandleObject> Registry::Remove(std::uint32_t handle) {
  auto it = objects_.find(handle);
  if (it == objects_.end()) return nullptr;
  Recent& r = recent_[handle % kRecentSlots];
  if (r.handle == handle) r = Recent{};
  std::unique_ptr<HandleObject> o = std::move(it->second);
  objects_.erase(it);
  return o;
}

std::size_t Registry::Count(HandleKind kind) const {
  std::size_t n = 0;
  for (const auto& [h, o] : objects_)
    if (o->Kind() == kind) ++n;
  return n;
}

Table& Registry::CursorTableSlow(std::uint32_t handle) { return Cursor(handle).CursorTable(); }

void OrderObject::Prepare() { file->Refresh(); }

void EngineLock::Wait(std::uintptr_t me) {
  waiters_.fetch_add(1, std::memory_order_seq_cst);
  for (;;) {
    std::uintptr_t expected = 0;
    if (owner_.compare_exchange_strong(expected, me, std::memory_order_seq_cst, std::memory_order_relaxed)) break;
    owner_.wait(expected, std::memory_order_seq_cst);
  }
  waiters_.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace xbe
