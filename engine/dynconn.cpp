// The implicit connections: one engine connection per directory text, kept until program end.
#include <cstdlib>

#include "engine/xbetable.h"
#include "platform/rtl/strutils.h"

namespace {

TDynamicConnList* g_connections = nullptr;
int g_unitStarts = 0;
bool g_exitHookRegistered = false;

void FinalizeAtExit() { FinalizeXbeTableUnit(); }

struct UnitLife {
  UnitLife() { InitializeXbeTableUnit(); }
  ~UnitLife() { FinalizeXbeTableUnit(); }
} g_unitLife;

}  // namespace

TDynamicConnList* ImplicitConnections() { return g_connections; }

void InitializeXbeTableUnit() {
  if (g_unitStarts++ == 0) g_connections = new TDynamicConnList();  // owned by the unit until shut-down
}

void FinalizeXbeTableUnit() {
  if (g_unitStarts == 0) return;
  --g_unitStarts;
  if (g_unitStarts != 0) return;
  TDynamicConnList* list = g_connections;
  g_connections = nullptr;
  try {
    delete list;
  } catch (...) {
    // At program end there is nobody left to tell; the engine goes with the process.
  }
}

XBEHANDLE TDynamicConnList::FindConnection(const std::string& path) {
  rtl::CriticalSectionGuard guard(lock_);
  try {
    const std::string wanted = rtl::UpperCase(path);
    for (const auto& entry : items_)
      if (rtl::UpperCase(entry->Path) == wanted) return entry->Handle;
  } catch (...) {
  }
  return 0;
}

XBEHANDLE TDynamicConnList::AddConnection(const std::string& path) {
  rtl::CriticalSectionGuard guard(lock_);
  XBEHANDLE handle = 0;
  CheckXbeResult(nullptr, XbeConnect(path.c_str(), &handle));
  // The connections are disconnected before the engine's own state goes away at exit: a hook
  // registered after the engine is in use runs before anything the engine built until then.
  if (!g_exitHookRegistered) {
    g_exitHookRegistered = true;
    std::atexit(FinalizeAtExit);
  }
  try {
    auto entry = std::make_unique<TDynamicConn>();
    entry->Handle = handle;
    entry->Path = path;
    items_.push_back(std::move(entry));
  } catch (...) {
    XbeDisconnect(handle);
    return 0;
  }
  return handle;
}

int TDynamicConnList::Count() {
  rtl::CriticalSectionGuard guard(lock_);
  return static_cast<int>(items_.size());
}

TDynamicConnList::~TDynamicConnList() noexcept(false) {
  for (auto& entry : items_) {
    CheckXbeResult(nullptr, XbeDisconnect(entry->Handle));
    entry.reset();
  }
}
