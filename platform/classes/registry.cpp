#include "platform/classes/registry.h"

#include <mutex>
#include <vector>

#include "platform/classes/errors.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

namespace {
struct Registry {
  std::mutex lock;
  std::vector<const TClassInfo*> classes;
};
Registry& TheRegistry() {
  static Registry registry;
  return registry;
}
const TClassInfo* Lookup(Registry& r, std::string_view name) {
  for (const TClassInfo* c : r.classes)
    if (rtl::SameText(c->Name(), name)) return c;
  return nullptr;
}
}  // namespace

void RegisterClass(const TClassInfo& info) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  const TClassInfo* existing = Lookup(r, info.Name());
  if (existing == &info) return;
  if (existing) throw EFilerError(rtl::FormatS("A classe %s já está registrada"_ansi, info.Name()));
  r.classes.push_back(&info);
}

void UnRegisterClass(const TClassInfo& info) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::erase(r.classes, &info);
}

const TClassInfo* GetClass(std::string_view name) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return Lookup(r, name);
}

const TClassInfo& FindClass(std::string_view name) {
  if (const TClassInfo* c = GetClass(name)) return *c;
  throw EClassNotFound(rtl::FormatS("Classe %s não encontrada"_ansi, name));
}

}  // namespace classes
