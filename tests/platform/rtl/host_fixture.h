// A scratch Windows installation for the path, file and profile tests: a temporary folder with
// its own Windows directory (WINDIR) and drive letters mapped through drives/x.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "testsupport.h"

namespace fs = std::filesystem;

namespace rtltest {

// Restores the current directory when a test changes it.
class ScopedCwd {
 public:
  ScopedCwd() : saved_(fs::current_path()) {}
  ~ScopedCwd() {
    std::error_code ec;
    fs::current_path(saved_, ec);
  }

 private:
  fs::path saved_;
};

class HostTree : public ::testing::Test {
 protected:
  HostTree()
      : root_(fs::canonical(temp_.path())),
        windows_(root_ / "windows"),
        windir_("WINDIR", windows_.string()) {
    fs::create_directories(windows_ / "drives");
  }

  // Maps a drive letter to a folder of the tree (created), through a link.
  fs::path MapDrive(char letter, const std::string& folder) {
    const fs::path target = root_ / folder;
    fs::create_directories(target);
    fs::create_directory_symlink(target, windows_ / "drives" / std::string(1, letter));
    return target;
  }

  // The host text a path under a mapped drive must give: <Windows dir>/drives/x/<rest>.
  std::string DriveHost(char letter, const std::string& rest) const {
    std::string s = (windows_ / "drives" / std::string(1, letter)).string();
    if (!rest.empty()) s += "/" + rest;
    return s;
  }

  void Touch(const fs::path& file, const std::string& content = "x") {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Every entry below a folder, as relative paths.
  static std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) out.insert(e.path().lexically_relative(dir).string());
    return out;
  }

  static bool RunningAsRoot() { return ::geteuid() == 0; }

  testsupport::TempDir temp_;
  fs::path root_;
  fs::path windows_;
  testsupport::ScopedEnv windir_;
  ScopedCwd cwd_;
};

}  // namespace rtltest
