#include "testsupport.h"

#include <cstdlib>
#include <random>

namespace fs = std::filesystem;

namespace testsupport {

fs::path FixturesDir() {
  static const fs::path dir = [] {
    fs::path p = fs::path(TULMEVARA_SOURCE_DIR) / ".." / "shared" / "fixtures" / "xbase";
    std::error_code ec;
    if (fs::is_directory(p, ec)) return fs::canonical(p);
    return fs::path();
  }();
  return dir;
}

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("tulmevara-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make everything writable first so read-only test files do not stop the cleanup.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void CopyFixture(const std::string& relative, const fs::path& dest) {
  const fs::path src = FixturesDir() / relative;
  if (fs::is_directory(src)) {
    fs::create_directories(dest);
    fs::copy(src, dest, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  } else {
    fs::path target = dest;
    if (fs::is_directory(dest)) target = dest / src.filename();
    fs::copy_file(src, target, fs::copy_options::overwrite_existing);
  }
  for (auto& e : fs::recursive_directory_iterator(fs::is_directory(dest) ? dest : dest.parent_path()))
    fs::permissions(e.path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_) setenv(name_.c_str(), old_.c_str(), 1);
  else unsetenv(name_.c_str());
}

}  // namespace testsupport
