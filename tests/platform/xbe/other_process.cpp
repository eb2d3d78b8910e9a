#include "other_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace xbetest {

bool InAnotherProcess(const std::string& directory, const std::string& table, std::uint16_t tableType,
                      const std::string& indexFile, const std::function<bool(XBEHANDLE table)>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    XBEHANDLE c = 0, t = 0;
    XBEHANDLE orders[50];
    std::uint16_t count = 50;
    bool ok = XbeConnect(directory.c_str(), &c) == 0 &&
              XbeOpenTable(c, table.c_str(), nullptr, tableType, XBE_ANSI, XBE_COMPATIBLE_LOCKING, XBE_CHECK_RIGHTS,
                           0, &t) == 0;
    if (ok && !indexFile.empty()) ok = XbeOpenIndex(t, indexFile.c_str(), orders, &count) == 0;
    ok = ok && work(t) && XbeCloseTable(t) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool SetFirstField(XBEHANDLE table, std::uint32_t recno, const std::string& key) {
  return XbeGotoRecord(table, recno) == 0 &&
         XbeSetField(table, XBE_FIELD_ORDINAL(1), key.data(), static_cast<uint32_t>(key.size())) == 0 &&
         XbeWriteRecord(table) == 0;
}

bool HardSeek(XBEHANDLE order, const std::string& key) {
  std::uint16_t found = 0;
  EXPECT_EQ(XbeSeek(order, key.data(), static_cast<std::uint16_t>(key.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &found), 0u)
      << LastErrorText();
  return found != 0;
}

}  // namespace xbetest
