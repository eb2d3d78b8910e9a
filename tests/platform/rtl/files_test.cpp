#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"

using namespace rtl::literals;

namespace {

class Files : public rtltest::HostTree {
 protected:
  Files() {
    drive_ = MapDrive('f', "f");
    Touch(drive_ / "TULMEVAR" / "ML2.DBF");
    Touch(drive_ / "TULMEVAR" / "Ação.dbf");
    fs::create_directories(drive_ / "TULMEVAR" / "ml5.dbf");  // a directory with a file's name
    fs::create_symlink(drive_ / "gone", drive_ / "TULMEVAR" / "dangling.dbf");
  }
  fs::path drive_;
};

TEST_F(Files, FileExistsOnlyForFilesAndDirectoryExistsOnlyForDirectories) {
  const struct {
    std::string_view path;
    bool file, directory;
  } cases[] = {
      {"F:\\TULMEVAR\\ML2.DBF", true, false},
      {"f:\\tulmevar\\ml2.dbf", true, false},
      {"F:\\TULMEVAR\\ação.DBF"_ansi, true, false},
      {"F:\\TULMEVAR\\ml5.dbf", false, true},
      {"F:\\TULMEVAR", false, true},
      {"F:\\tulmevar\\", false, true},
      {"F:\\TULMEVAR\\ML2.DBF\\", false, false},
      {"F:\\TULMEVAR\\missing.dbf", false, false},
      {"F:\\TULMEVAR\\dangling.dbf", false, false},
      {"F:\\", false, true},
      {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rtl::FileExists(c.path), c.file) << c.path;
    EXPECT_EQ(rtl::DirectoryExists(c.path), c.directory) << c.path;
  }
}

TEST_F(Files, DeleteFileRefusesWhatWindowsRefuses) {
  Touch(drive_ / "d" / "plain.ntx");
  Touch(drive_ / "d" / "UPPER.NTX");
  Touch(drive_ / "d" / "readonly.ntx");
  fs::permissions(drive_ / "d" / "readonly.ntx", fs::perms::owner_read | fs::perms::group_read);
  fs::create_directories(drive_ / "d" / "folder.ntx");
  const struct {
    std::string_view path;
    bool deleted;
    fs::path gone;  // empty: nothing may disappear
  } cases[] = {
      {"F:\\d\\plain.ntx", true, drive_ / "d" / "plain.ntx"},
      {"F:\\D\\upper.ntx", true, drive_ / "d" / "UPPER.NTX"},
      {"F:\\d\\plain.ntx", false, {}},  // already gone
      {"F:\\d\\readonly.ntx", false, {}},
      {"F:\\d\\folder.ntx", false, {}},
      {"F:\\d\\", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    const auto before = Entries(drive_);
    EXPECT_EQ(rtl::DeleteFile(c.path), c.deleted) << c.path;
    auto expected = before;
    if (!c.gone.empty()) expected.erase(fs::relative(c.gone, drive_).string());
    EXPECT_EQ(Entries(drive_), expected) << c.path;
  }
}

TEST_F(Files, DeleteFileFailsWhereTheDirectoryForbidsIt) {
  if (RunningAsRoot()) GTEST_SKIP() << "the superuser may delete in any directory";
  Touch(drive_ / "locked" / "x.ntx");
  fs::permissions(drive_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(rtl::DeleteFile("F:\\locked\\x.ntx"));
  fs::permissions(drive_ / "locked", fs::perms::owner_all);
  EXPECT_TRUE(fs::exists(drive_ / "locked" / "x.ntx"));
}

// Another program's open file is "in use": a flock of any kind, or a byte-range lock anywhere
// (here held through descriptors of this process, which the check treats as another's).
TEST_F(Files, DeleteFileRefusesAFileHeldByAnother) {
  const fs::path file = drive_ / "d" / "held.ntx";
  Touch(file);
  const struct {
    const char* what;
    std::function<bool(int)> hold;
  } holds[] = {
      {"shared flock", [](int fd) { return ::flock(fd, LOCK_SH | LOCK_NB) == 0; }},
      {"exclusive flock", [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }},
      {"read lock beyond 4 GiB",
       [](int fd) {
         struct flock fl{};
         fl.l_type = F_RDLCK;
         fl.l_whence = SEEK_SET;
         fl.l_start = 0x100000000LL;
         fl.l_len = 1;
         return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
       }},
      {"classic record lock",
       [](int fd) {
         struct flock fl{};
         fl.l_type = F_RDLCK;
         fl.l_whence = SEEK_SET;
         fl.l_start = 1000000005;
         fl.l_len = 1;
         return ::fcntl(fd, F_SETLK, &fl) == 0;
       }},
  };
  for (const auto& h : holds) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_TRUE(h.hold(fd)) << h.what;
    EXPECT_FALSE(rtl::DeleteFile("F:\\d\\held.ntx")) << h.what;
    EXPECT_TRUE(fs::exists(file)) << h.what;
    ::close(fd);
  }
  EXPECT_TRUE(rtl::DeleteFile("F:\\d\\held.ntx"));
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(Files, RenameFileMovesButNeverReplaces) {
  Touch(drive_ / "r" / "a.dbf", "A");
  Touch(drive_ / "r" / "b.dbf", "B");
  EXPECT_FALSE(rtl::RenameFile("F:\\r\\a.dbf", "F:\\r\\B.DBF"));
  EXPECT_EQ(Read(drive_ / "r" / "b.dbf"), "B");
  EXPECT_TRUE(rtl::RenameFile("F:\\R\\A.DBF", "F:\\r\\c.dbf"));
  EXPECT_EQ(Read(drive_ / "r" / "c.dbf"), "A");
  EXPECT_TRUE(rtl::RenameFile("F:\\r\\c.dbf", "F:\\r\\C.DBF"));  // only the case changes
  EXPECT_EQ(Entries(drive_ / "r"), (std::set<std::string>{"C.DBF", "b.dbf"}));
  EXPECT_FALSE(rtl::RenameFile("F:\\r\\missing", "F:\\r\\x"));
}

TEST_F(Files, AttributesTellDirectoriesReadOnlyAndHiddenEntries) {
  Touch(drive_ / "a" / "ro.dbf");
  fs::permissions(drive_ / "a" / "ro.dbf", fs::perms::owner_read);
  Touch(drive_ / "a" / ".hidden");
  const struct {
    std::string_view path;
    int attr;
  } cases[] = {
      {"F:\\TULMEVAR\\ML2.DBF", rtl::faArchive},
      {"F:\\TULMEVAR", rtl::faDirectory},
      {"F:\\a\\RO.DBF", rtl::faArchive | rtl::faReadOnly},
      {"F:\\a\\.hidden", rtl::faArchive | rtl::faHidden},
      {"F:\\a\\missing", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::FileGetAttr(c.path), c.attr) << c.path;
}

TEST_F(Files, FindFilesMatchesPatternsWithoutRegardToCaseInNameOrder) {
  for (const char* name : {"ML2.DBF", "ml6.dbf", "ML2.NTX", "readme", "Ação.DBF", ".x.dbf"})
    Touch(drive_ / "dados" / name);
  fs::create_directories(drive_ / "dados" / "sub.dbf");
  using Names = std::vector<std::string>;
  const std::string acao(std::string("Ação.DBF"_ansi));
  const struct {
    std::string_view pattern;
    bool dirs;
    Names names;
  } cases[] = {
      {"F:\\DADOS\\*.dbf", false, {".x.dbf", acao, "ML2.DBF", "ml6.dbf"}},
      {"F:\\dados\\*.DBF", true, {".x.dbf", acao, "ML2.DBF", "ml6.dbf", "sub.dbf"}},
      {"F:\\dados\\ml?.dbf", false, {"ML2.DBF", "ml6.dbf"}},
      {"F:\\dados\\*.*", false, {".x.dbf", acao, "ML2.DBF", "ML2.NTX", "ml6.dbf", "readme"}},
      {"F:\\dados\\*", false, {".x.dbf", acao, "ML2.DBF", "ML2.NTX", "ml6.dbf", "readme"}},
      {"F:\\dados\\AÇÃO.*"_ansi, false, {acao}},
      {"F:\\dados\\readme", false, {"readme"}},
      {"F:\\dados\\nothing*", false, {}},
      {"F:\\missing\\*.dbf", false, {}},
      {"F:\\dados\\", false, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::FindFiles(c.pattern, c.dirs), c.names) << c.pattern;
}

TEST_F(Files, LongAndShortNamesAreTheSpellingOnDisk) {
  const struct {
    std::string_view path, spelled;
  } cases[] = {
      {"f:\\tulmevar\\ml2.dbf", "f:\\TULMEVAR\\ML2.DBF"},
      {"F:/Tulmevar//AÇÃO.DBF"_ansi, "F:\\TULMEVAR\\Ação.dbf"_ansi},
      {"f:\\tulmevar\\", "f:\\TULMEVAR\\"},
      {"f:\\tulmevar\\nothing.dbf", "f:\\tulmevar\\nothing.dbf"},  // absent: unchanged
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rtl::GetLongPathName(c.path), c.spelled) << c.path;
    EXPECT_EQ(rtl::GetShortPathName(c.path), c.spelled) << c.path;
  }
}

}  // namespace
