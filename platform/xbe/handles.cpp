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

HandleObject* Registry::Find(std::uint32_t handle) const {
  auto it = objects_.find(handle);
  return it == objects_.end() ? nullptr : it->second.get();
}

std::unique_ptr<HandleObject> Registry::Remove(std::uint32_t handle) {
  auto it = objects_.find(handle);
  if (it == objects_.end()) return nullptr;
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

CursorHandle& Registry::Cursor(std::uint32_t handle) {
  HandleObject* o = Find(handle);
  if (o == nullptr || (o->Kind() != HandleKind::kTable && o->Kind() != HandleKind::kIndexOrder))
    Fail(kInvalidHandle, "Invalid handle " + std::to_string(handle) + ".");
  auto& c = static_cast<CursorHandle&>(*o);
  c.Prepare();
  return c;
}

void Registry::ForEach(const std::function<void(std::uint32_t, HandleObject&)>& visit) {
  for (auto& [h, o] : objects_) visit(h, *o);
}

void OrderObject::Prepare() { file->Refresh(); }

Registry& Handles() {
  static Registry registry;
  return registry;
}

std::recursive_mutex& EngineMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace xbe
