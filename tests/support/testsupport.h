// Helpers shared by the test executables: the reference files beside the checkout and
// scratch directories.
#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// The folder of reference xBase files (../shared/fixtures/xbase beside the checkout), or an
// empty path when it is absent (a user's clone).
std::filesystem::path FixturesDir();

// Skips the current test with a clear message when the reference files are absent.
#define REQUIRE_FIXTURES()                                                              \
  do {                                                                                  \
    if (::testsupport::FixturesDir().empty())                                           \
      GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";   \
  } while (0)

// A fresh directory under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Copies a file or a whole folder of the reference files (relative to FixturesDir()) into
// `dest`, writable.
void CopyFixture(const std::string& relative, const std::filesystem::path& dest);

// Sets an environment variable for the life of the object (WINDIR in tests).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::string old_;
  bool had_;
};

}  // namespace testsupport
