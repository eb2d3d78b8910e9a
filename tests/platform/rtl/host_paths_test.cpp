#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"

using namespace rtl::literals;

namespace {

class HostPaths : public rtltest::HostTree {
 protected:
  HostPaths() {
    drive_ = MapDrive('f', "f");
    Touch(drive_ / "TULMEVAR" / "ML2.DBF");
    fs::create_directories(drive_ / "Dados");
    Touch(drive_ / "Não" / "arq.txt");  // a UTF-8 name on the host
    Touch(drive_ / "twin" / "ARQ.TXT");
    Touch(drive_ / "twin" / "Arq.txt");
  }
  fs::path drive_;
};

struct Mapping {
  std::string_view windows;
  std::string_view hostUnderDrive;  // below <Windows dir>/drives/f
};

TEST_F(HostPaths, ResolveEachComponentWithoutRegardToCase) {
  const Mapping cases[] = {
      {"F:\\TULMEVAR\\ML2.DBF", "TULMEVAR/ML2.DBF"},
      {"f:\\tulmevar\\ml2.dbf", "TULMEVAR/ML2.DBF"},
      {"F:/tulmevar/Ml2.Dbf", "TULMEVAR/ML2.DBF"},
      {"F:\\\\tulmevar\\\\\\ml2.dbf", "TULMEVAR/ML2.DBF"},  // doubled separators
      {"F:\\tulmevar\\ml2.dbf   ", "TULMEVAR/ML2.DBF"},     // trailing blanks
      {"F:\\tulmevar\\ml2.dbf.", "TULMEVAR/ML2.DBF"},
      {"F:\\tulmevar\\.\\..\\TULMEVAR\\ml2.dbf", "TULMEVAR/ML2.DBF"},
      {"F:\\..\\..\\tulmevar", "TULMEVAR"},                 // no climbing above the drive
      {"F:\\tulmevar\\", "TULMEVAR/"},
      {"F:\\tulmevar\\New.dbf", "TULMEVAR/New.dbf"},         // new names keep their case
      {"F:\\NOVO\\Sub\\x.DBF", "NOVO/Sub/x.DBF"},
      {"F:\\NOVO\\..\\dados\\x", "Dados/x"},
      {"F:\\não\\ARQ.TXT"_ansi, "Não/arq.txt"},
      {"F:\\NÃO\\Arq.Txt"_ansi, "Não/arq.txt"},
      {"F:\\Não"_ansi, "Não"},
      {"F:\\twin\\Arq.txt", "twin/Arq.txt"},   // the exact name first
      {"F:\\twin\\ARQ.TXT", "twin/ARQ.TXT"},
      {"F:\\twin\\arq.txt", "twin/ARQ.TXT"},   // else the first in byte order
      {"F:\\", ""},
      {"F:", ""},
  };
  for (const Mapping& c : cases)
    EXPECT_EQ(rtl::HostPath(c.windows), DriveHost('f', std::string(c.hostUnderDrive))) << c.windows;
}

TEST_F(HostPaths, TrailingBlanksOfInnerComponentsAreKeptAsWindowsDoes) {
  EXPECT_EQ(rtl::HostPath("F:\\tulmevar \\ml2.dbf"), DriveHost('f', "tulmevar /ml2.dbf"));
  EXPECT_FALSE(rtl::FileExists("F:\\tulmevar \\ml2.dbf"));
}

TEST_F(HostPaths, NonAsciiNamesTheHostCannotSpellIn1252AreNeverMatched) {
  Touch(drive_ / "Dados" / "\xE4\xB8\xAD.txt");  // a name outside 1252
  Touch(drive_ / "Dados" / "bad\xFF.txt");       // not UTF-8 at all
  EXPECT_EQ(rtl::HostPath("F:\\dados\\?.txt"), DriveHost('f', "Dados/?.txt"));
  EXPECT_EQ(rtl::HostPath("F:\\dados\\BAD?.TXT"), DriveHost('f', "Dados/BAD?.TXT"));
}

TEST_F(HostPaths, WithoutAMappingOnlyCIsADriveAndTheHostRoot) {
  EXPECT_EQ(rtl::HostPath("C:\\"), "/");
  EXPECT_EQ(rtl::HostPath("c:\\PROC\\SELF"), "/proc/self");
  const fs::path folder = windows_ / "drives" / "g";  // a plain folder serves as well as a link
  fs::create_directories(folder / "Sub");
  EXPECT_EQ(rtl::HostPath("G:\\sub\\X"), folder.string() + "/Sub/X");
}

// Any other letter names a drive that does not exist: the host root is never reached through
// it, whatever the operation, even for a path that exists below the root.
TEST_F(HostPaths, AnUnmappedLetterIsADriveThatDoesNotExist) {
  Touch(root_ / "host" / "file.txt");
  std::string host = (root_ / "host").string();  // the same folder written as if below Q:
  for (char& c : host)
    if (c == '/') c = '\\';
  const std::string dir = "Q:" + host;
  const std::string file = dir + "\\file.txt";
  for (const std::string& p : {std::string("Q:\\"), std::string("Q:"), std::string("q:x"), dir, file})
    EXPECT_EQ(rtl::HostPath(p), "") << p;
  EXPECT_FALSE(rtl::DirectoryExists("Q:\\"));
  EXPECT_FALSE(rtl::DirectoryExists(dir));
  EXPECT_FALSE(rtl::FileExists(file));
  EXPECT_EQ(rtl::FileGetAttr(file), -1);
  EXPECT_TRUE(rtl::FindFiles(dir + "\\*.*").empty());
  EXPECT_EQ(rtl::GetLongPathName(file), file);
  EXPECT_FALSE(rtl::SetCurrentDir(dir));
  EXPECT_FALSE(rtl::CreateDir(dir + "\\novo"));
  EXPECT_FALSE(rtl::ForceDirectories(dir + "\\a\\b"));
  EXPECT_FALSE(rtl::RenameFile(file, dir + "\\renamed.txt"));
  EXPECT_FALSE(rtl::DeleteFile(file));
  EXPECT_EQ(Entries(root_ / "host"), (std::set<std::string>{"file.txt"}));
}

TEST_F(HostPaths, RelativePathsStartAtTheCurrentDirectory) {
  fs::current_path(drive_ / "TULMEVAR");
  EXPECT_EQ(rtl::HostPath("ml2.dbf"), (drive_ / "TULMEVAR" / "ML2.DBF").string());
  EXPECT_EQ(rtl::HostPath("..\\dados"), (drive_ / "Dados").string());
  EXPECT_EQ(rtl::HostPath(".\\"), (drive_ / "TULMEVAR").string() + "/");
  EXPECT_EQ(rtl::HostPath("f:ml2.dbf"), (drive_ / "TULMEVAR" / "ML2.DBF").string());
  // Rooted without a drive: the root of the current drive.
  EXPECT_EQ(rtl::HostPath("\\dados"), DriveHost('f', "Dados"));
  EXPECT_EQ(rtl::HostPath(""), "");
}

TEST_F(HostPaths, CurrentDirectoryInWindowsForm) {
  MapDrive('h', "f/Dados");  // a drive inside another: the longer one wins
  const struct {
    fs::path host;
    std::string windows;
  } cases[] = {
      {drive_ / "TULMEVAR", "F:\\TULMEVAR"},
      {drive_, "F:\\"},
      {drive_ / "Não", std::string("F:\\Não"_ansi)},
      {drive_ / "Dados", "H:\\"},
      {"/", "C:\\"},
      {root_, "C:" + [&] {
         std::string s = root_.string();
         for (char& c : s)
           if (c == '/') c = '\\';
         return s;
       }()},
  };
  for (const auto& c : cases) {
    fs::current_path(c.host);
    EXPECT_EQ(rtl::GetCurrentDir(), c.windows) << c.host;
  }
}

TEST_F(HostPaths, SetCurrentDirTakesWindowsPaths) {
  EXPECT_TRUE(rtl::SetCurrentDir("f:\\tulmevar"));
  EXPECT_EQ(rtl::GetCurrentDir(), "F:\\TULMEVAR");
  EXPECT_EQ(fs::current_path(), drive_ / "TULMEVAR");
  EXPECT_TRUE(rtl::SetCurrentDir(".."));
  EXPECT_EQ(rtl::GetCurrentDir(), "F:\\");
  EXPECT_FALSE(rtl::SetCurrentDir("F:\\nope"));
  EXPECT_FALSE(rtl::SetCurrentDir("F:\\TULMEVAR\\ML2.DBF"));
  EXPECT_FALSE(rtl::SetCurrentDir(""));
  EXPECT_EQ(rtl::GetCurrentDir(), "F:\\");
}

TEST_F(HostPaths, ExeFileNameIsTheRunningProgramInWindowsForm) {
  const std::string exe = rtl::ExeFileName();
  EXPECT_EQ(exe.substr(0, 3), "C:\\");
  EXPECT_EQ(rtl::ExtractFileName(exe), "rtl_tests");
  EXPECT_TRUE(rtl::FileExists(exe));
}

TEST(WindowsDirectory, ComesFromWindirElseTheConfigurationFolder) {
  const struct {
    const char* windir;
    const char* xdg;
    const char* home;
    std::string expected;
  } cases[] = {
      {"/srv/win", "/x", "/h", "/srv/win"},
      {"", "/x/cfg", "/h", "/x/cfg/tulmevara-windows"},
      {"", "", "/home/ana", "/home/ana/.config/tulmevara-windows"},
      {"", "relative", "/home/ana", "/home/ana/.config/tulmevara-windows"},  // not an absolute path
  };
  for (const auto& c : cases) {
    testsupport::ScopedEnv windir("WINDIR", c.windir), xdg("XDG_CONFIG_HOME", c.xdg), home("HOME", c.home);
    EXPECT_EQ(rtl::WindowsDirectoryHost(), c.expected);
  }
}

TEST(WindowsDirectory, IsCreatedWithItsParentsOnDemand) {
  testsupport::TempDir temp;
  const std::string dir = temp.str() + "/a/b/windows";
  testsupport::ScopedEnv windir("WINDIR", dir);
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_TRUE(rtl::EnsureWindowsDirectory());
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_TRUE(rtl::EnsureWindowsDirectory());
  std::ofstream(temp.path() / "file") << "x";
  testsupport::ScopedEnv blocked("WINDIR", temp.str() + "/file/windows");
  EXPECT_FALSE(rtl::EnsureWindowsDirectory());
}

}  // namespace
