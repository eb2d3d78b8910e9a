#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/files.h"

using namespace rtl::literals;

namespace {

class ForceDirectories : public rtltest::HostTree {
 protected:
  ForceDirectories() {
    drive_ = MapDrive('f', "f");
    fs::create_directories(drive_ / "TULMEVAR");
    Touch(drive_ / "file.txt");
    fs::current_path(drive_);
  }
  fs::path drive_;
};

TEST_F(ForceDirectories, AnEmptyPathIsAnError) {
  try {
    rtl::ForceDirectories("");
    FAIL() << "no error";
  } catch (const rtl::EInOutError& e) {
    EXPECT_EQ(e.Message(), "Unable to create directory");
  }
}

TEST_F(ForceDirectories, CreatesMissingParentsUnderTheExactRules) {
  const struct {
    std::string_view path;
    bool result;
    std::set<std::string> created;  // below the drive
  } cases[] = {
      {"F:", true, {}},
      {"F:\\", true, {}},
      {"\\", true, {}},
      {"ab", true, {}},                                  // shorter than three characters
      {"ab\\", true, {}},                                // the same once the "\" is dropped
      {"F:\\TULMEVAR", true, {}},                        // exists already
      {"F:\\a\\b\\\\", true, {}},                        // still ends in "\" with one dropped
      {"F:\\a\\b\\c", true, {"a", "a/b", "a/b/c"}},
      {"F:\\a\\b\\c\\", true, {"a", "a/b", "a/b/c"}},    // one trailing "\" ignored
      {"F:/a/b", true, {"a", "a/b"}},
      {"F:\\tulmevar\\novo", true, {"TULMEVAR/novo"}},   // the parent in another case
      {"F:\\Ação\\Sub"_ansi, true, {"Ação", "Ação/Sub"}},
      {"F:\\trail  ", true, {"trail"}},
      {"F:\\\\dup", true, {"dup"}},                      // doubled after the drive: "F:\" is done
      {"F:\\dup\\\\x", false, {}},                     // the parent still ends in "\": not made
      {"abc", true, {"abc"}},                            // relative, without a parent part
      {"abc\\def", true, {"abc", "abc/def"}},
      {"ab\\cd", false, {}},                             // the short parent counts as done
      {"F:\\file.txt\\sub", false, {}},                  // a file stands where a parent should
      {"F:\\file.txt", false, {}},
  };
  for (const auto& c : cases) {
    const auto before = Entries(drive_);
    EXPECT_EQ(rtl::ForceDirectories(c.path), c.result) << c.path;
    std::set<std::string> created;
    for (const auto& e : Entries(drive_))
      if (!before.count(e)) created.insert(e);
    EXPECT_EQ(created, c.created) << c.path;
    for (const auto& e : created) fs::remove_all(drive_ / e);
  }
}

TEST_F(ForceDirectories, StopsAtTheFirstCreationThatFails) {
  if (RunningAsRoot()) GTEST_SKIP() << "the superuser may create in any directory";
  fs::create_directories(drive_ / "ro");
  fs::permissions(drive_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(rtl::ForceDirectories("F:\\ro\\x\\y"));
  fs::permissions(drive_ / "ro", fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(drive_ / "ro"));
}

TEST_F(ForceDirectories, CreateDirMakesOneLevelOnly) {
  EXPECT_TRUE(rtl::CreateDir("F:\\one"));
  EXPECT_FALSE(rtl::CreateDir("F:\\one"));
  EXPECT_FALSE(rtl::CreateDir("F:\\two\\three"));
  EXPECT_TRUE(fs::is_directory(drive_ / "one"));
  EXPECT_FALSE(fs::exists(drive_ / "two"));
}

}  // namespace
