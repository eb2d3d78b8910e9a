// The unit state of xbecnnct: the list of connection components, the two hooks, the alias
// look-up of a connection and its error class.
#include <atomic>

#include "engine/xbecnnct.h"
#include "platform/rtl/inifile.h"

std::function<bool(const std::string&, std::string&, std::string&, bool)> LoginDialogHook;
std::function<void(const rtl::Exception&)> DesignErrorHook;

namespace {

// Guards only the creation and the freeing of the list; the list has its own lock.
rtl::TCriticalSection& ListCreationLock() {
  static rtl::TCriticalSection lock;
  return lock;
}

std::atomic<classes::TThreadList<TXbeConnection>*> g_connections{nullptr};

struct UnitLife {
  UnitLife() { ListCreationLock(); }
  ~UnitLife() { FinalizeXbeConnectionUnit(); }
} g_unitLife;

std::string EngineLastErrorText() {
  char text[600] = {};
  std::uint16_t length = sizeof text;
  std::uint32_t code = 0;
  if (XbeGetLastError(&code, text, &length) != 0) {
    XbeShowError("Xbe Exception Error");
    return std::string();
  }
  text[sizeof text - 1] = 0;
  return std::string(text);
}

}  // namespace

namespace xbecnnct {

XbeError::XbeError(XBERESULT) : rtl::Exception(EngineLastErrorText()) {}

}  // namespace xbecnnct

classes::TThreadList<TXbeConnection>* ConnectionComponentList() { return g_connections.load(); }

classes::TThreadList<TXbeConnection>& CreateConnectionComponentList() {
  rtl::CriticalSectionGuard guard(ListCreationLock());
  if (g_connections.load() == nullptr) g_connections = new classes::TThreadList<TXbeConnection>();  // unit-owned
  return *g_connections.load();
}

void FinalizeXbeConnectionUnit() {
  rtl::CriticalSectionGuard guard(ListCreationLock());
  delete g_connections.exchange(nullptr);
}

std::uint32_t CurrentThreadIdOf() { return rtl::GetCurrentThreadId(); }

bool ReadConnectionAlias(const std::string& alias, std::string& path, std::uint8_t& typeCode) {
  std::string value;
  {
    const rtl::TIniFile ini(XbeIniFilePath());
    value = ini.ReadString("Databases", alias, "");
  }
  typeCode = 0;
  const std::size_t semicolon = value.find(';');
  if (semicolon != std::string::npos) {
    char letter = semicolon + 1 < value.size() ? value[semicolon + 1] : '\0';
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    typeCode = letter == 'N' ? 2 : letter == 'C' ? 1 : letter == 'A' ? 3 : 0;
    value.resize(semicolon);
  }
  path = value;
  return !path.empty();
}
