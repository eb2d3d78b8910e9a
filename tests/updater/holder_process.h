// Another station holding a table open: a child process that opens it through the engine,
// as Tulmevara would (with one of its index files when named), and keeps it open until the
// object goes away.
#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

namespace updatertest {

class HolderProcess {
 public:
  HolderProcess(const std::filesystem::path& folder, const std::string& table, const std::string& indexFile = "");
  ~HolderProcess();
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;
  // True once the child reported the table (and index file) open.
  bool Holding() const { return holding_; }

 private:
  pid_t child_ = -1;
  int release_ = -1;  // closing it lets the child close the table and end
  bool holding_ = false;
};

}  // namespace updatertest
