#include "holder_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include "platform/xbe/xbe.h"

namespace updatertest {

HolderProcess::HolderProcess(const std::filesystem::path& folder, const std::string& table,
                             const std::string& indexFile) {
  int ready[2], release[2];
  if (pipe(ready) != 0) return;
  if (pipe(release) != 0) {
    close(ready[0]);
    close(ready[1]);
    return;
  }
  child_ = fork();
  if (child_ == 0) {
    close(ready[0]);
    close(release[1]);
    XBEHANDLE connection = 0, t = 0;
    const std::string name = folder.string() + "\\" + table;
    bool opened = XbeConnect(folder.string().c_str(), &connection) == 0 &&
                        XbeOpenTable(connection, name.c_str(), nullptr, XBE_NTX, XBE_OEM, XBE_COMPATIBLE_LOCKING,
                                     XBE_IGNORE_RIGHTS, 0, &t) == 0;
    if (opened && !indexFile.empty()) {
      XBEHANDLE orders[4] = {};
      std::uint16_t count = 4;
      opened = XbeOpenIndex(t, (folder.string() + "\\" + indexFile).c_str(), orders, &count) == 0;
    }
    const char answer = opened ? '1' : '0';
    if (write(ready[1], &answer, 1) != 1) _exit(2);
    char c;
    while (read(release[0], &c, 1) > 0) {
    }
    if (opened) XbeCloseTable(t);
    _exit(opened ? 0 : 1);
  }
  close(ready[1]);
  close(release[0]);
  release_ = release[1];
  if (child_ > 0) {
    char answer = '0';
    holding_ = read(ready[0], &answer, 1) == 1 && answer == '1';
  }
  close(ready[0]);
}

HolderProcess::~HolderProcess() {
  if (release_ >= 0) close(release_);
  if (child_ > 0) {
    int status = 0;
    waitpid(child_, &status, 0);
  }
}

}  // namespace updatertest
