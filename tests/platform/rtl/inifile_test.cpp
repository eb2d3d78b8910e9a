#include <sys/stat.h>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/inifile.h"

namespace {

class IniFiles : public rtltest::HostTree {
 protected:
  IniFiles() { drive_ = MapDrive('f', "f"); }
  fs::path Ini() const { return windows_ / "tesqueln.ini"; }
  fs::path drive_;
};

struct ReadCase {
  const char* what;
  std::string content;
  std::string section, key, def;
  std::string expected;
};

TEST_F(IniFiles, ReadStringBehavesAsTheProfileFunctions) {
  const std::string longValue(3000, 'x');
  const ReadCase cases[] = {
      {"CR LF", "[BD]\r\nPathLIS=F:\\DADOS\r\n", "BD", "PathLIS", "f:\\tulmevar", "F:\\DADOS"},
      {"LF only", "[BD]\nPathLIS=F:\\DADOS\n", "BD", "PathLIS", "d", "F:\\DADOS"},
      {"no final newline", "[BD]\nPathLIS=F:\\DADOS", "BD", "PathLIS", "d", "F:\\DADOS"},
      {"names without regard to case", "[bd]\npathlis=x", "BD", "PathLIS", "d", "x"},
      {"missing section", "[XX]\nPathLIS=x", "BD", "PathLIS", "f:\\tulmevar", "f:\\tulmevar"},
      {"missing key", "[BD]\nOther=x", "BD", "PathLIS", "F:\\TULMEVAR", "F:\\TULMEVAR"},
      {"empty value", "[BD]\nPathLIS=\n", "BD", "PathLIS", "d", ""},
      {"blank value", "[BD]\nPathLIS=   \n", "BD", "PathLIS", "d", ""},
      {"blanks around the value", "[BD]\nPathLIS =  \t x y  \t\n", "BD", "PathLIS", "d", "x y"},
      {"blanks around names", "  [ BD ]  \n  PathLIS  = x", "BD", "PathLIS", "d", "x"},
      {"double quotes", "[BD]\nPathLIS=\"F:\\x \"\n", "BD", "PathLIS", "d", "F:\\x "},
      {"single quotes", "[BD]\nPathLIS='F:\\x'\n", "BD", "PathLIS", "d", "F:\\x"},
      {"one pair only", "[BD]\nPathLIS=\"\"x\"\"\n", "BD", "PathLIS", "d", "\"x\""},
      {"unmatched quotes", "[BD]\nPathLIS=\"x'\n", "BD", "PathLIS", "d", "\"x'"},
      {"a lone quote", "[BD]\nPathLIS=\"\n", "BD", "PathLIS", "d", "\""},
      {"first duplicate wins", "[BD]\nPathLIS=first\nPathLIS=second\n", "BD", "PathLIS", "d", "first"},
      {"key in a repeated section", "[BD]\nA=1\n[X]\n[BD]\nPathLIS=later\n", "BD", "PathLIS", "d", "later"},
      {"first repeated section wins", "[BD]\nPathLIS=one\n[bd]\nPathLIS=two\n", "BD", "PathLIS", "d", "one"},
      {"lines without =", "[BD]\ngarbage\nPathLIS=x\n", "BD", "PathLIS", "d", "x"},
      {"a line without = is no key", "[BD]\ngarbage\n", "BD", "garbage", "d", "d"},
      {"comments", "[BD]\n;PathLIS=y\nPathLIS=x\n", "BD", "PathLIS", "d", "x"},
      {"other section's key", "[A]\nPathLIS=a\n[BD]\nOther=1\n", "BD", "PathLIS", "d", "d"},
      {"key before any section", "PathLIS=a\n[BD]\n", "BD", "PathLIS", "d", "d"},
      {"equals in the value", "[BD]\nPathLIS=a=b\n", "BD", "PathLIS", "d", "a=b"},
      {"non-UTF-8 bytes", "[BD]\nPathLIS=C:\\A\xE7\xE3o\xFF\x81\n", "BD", "PathLIS", "d", "C:\\A\xE7\xE3o\xFF\x81"},
      {"accented names", "[S\xC3O]\nCH\xC1VE=v\n", "s\xE3o", "ch\xE1ve", "d", "v"},
      {"zero bytes", std::string("[BD]\nX=\0\nPathLIS=x\n", 20), "BD", "PathLIS", "d", "x"},
      {"UTF-8 mark before the first section", "\xEF\xBB\xBF[BD]\nPathLIS=x\n", "BD", "PathLIS", "d", "x"},
      {"unclosed section header", "[BD\nPathLIS=x\n", "BD", "PathLIS", "d", "x"},
      {"2047 characters arrive", "[BD]\nPathLIS=" + longValue + "\n", "BD", "PathLIS", "d", longValue.substr(0, 2047)},
      {"default loses trailing blanks", "", "BD", "PathLIS", "dflt  ", "dflt"},
      {"empty file", "", "BD", "PathLIS", "f:\\tulmevar", "f:\\tulmevar"},
      {"CR CR LF", "[BD]\r\r\nPathLIS=x\r\r\n", "BD", "PathLIS", "d", "x"},
  };
  for (const ReadCase& c : cases) {
    Touch(Ini(), c.content);
    EXPECT_EQ(rtl::TIniFile("tesqueln.ini").ReadString(c.section, c.key, c.def), c.expected) << c.what;
  }
}

TEST_F(IniFiles, MissingFileGivesTheDefault) {
  EXPECT_EQ(rtl::TIniFile("tesqueln.ini").ReadString("BD", "PathLIS", "f:\\tulmevar"), "f:\\tulmevar");
  EXPECT_EQ(rtl::TIniFile("F:\\nowhere\\x.ini").ReadString("BD", "PathLIS", "F:\\TULMEVAR"), "F:\\TULMEVAR");
  fs::create_directories(windows_ / "dir.ini");  // a directory is no profile file
  EXPECT_EQ(rtl::TIniFile("dir.ini").ReadString("BD", "PathLIS", "d"), "d");
}

TEST_F(IniFiles, BareNamesResolveInTheWindowsDirectoryOthersAsGiven) {
  Touch(Ini(), "[BD]\nPathLIS=from windows\n");
  Touch(drive_ / "cfg" / "XBE.INI", "[Databases]\nDADOS=D:\\DATA;N\n");
  EXPECT_EQ(rtl::TIniFile("tesqueln.ini").ReadString("BD", "PathLIS", "d"), "from windows");
  EXPECT_EQ(rtl::TIniFile("TESQUELN.INI").ReadString("BD", "PathLIS", "d"), "from windows");
  EXPECT_EQ(rtl::TIniFile("F:\\cfg\\xbe.ini").ReadString("databases", "dados", ""), "D:\\DATA;N");
  EXPECT_EQ(rtl::TIniFile("F:\\cfg\\xbe.ini").FileName(), "F:\\cfg\\xbe.ini");
  fs::current_path(drive_ / "cfg");
  EXPECT_EQ(rtl::TIniFile(".\\xbe.ini").ReadString("Databases", "DADOS", ""), "D:\\DATA;N");
  EXPECT_EQ(rtl::TIniFile("xbe.ini").ReadString("Databases", "DADOS", "none"), "none");  // not in the cwd
}

TEST_F(IniFiles, ReadIntegerFallsBackToTheDefault) {
  Touch(Ini(), "[N]\na=42\nb=abc\nc=$10\nd=0x1F\ne= -7 \nf=\n");
  const rtl::TIniFile ini("tesqueln.ini");
  const struct {
    const char* key;
    int expected;
  } cases[] = {{"a", 42}, {"b", 5}, {"c", 16}, {"d", 31}, {"e", -7}, {"f", 5}, {"missing", 5}};
  for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("N", c.key, 5), c.expected) << c.key;
}

struct WriteCase {
  const char* what;
  bool exists;
  std::string before;
  std::string section, key, value;
  std::string after;
};

TEST_F(IniFiles, WriteStringKeepsEveryOtherLineAndWritesCrLf) {
  const WriteCase cases[] = {
      {"new file", false, "", "BD", "PathLIS", "f:\\dados", "[BD]\r\nPathLIS=f:\\dados\r\n"},
      {"empty file", true, "", "BD", "PathLIS", "x", "[BD]\r\nPathLIS=x\r\n"},
      {"replace, keep the rest", true, "; made by hand\n[A]\nx=1\n[BD]\nPathLIS=old\nOther=2\n", "BD", "PathLIS",
       "new", "; made by hand\r\n[A]\r\nx=1\r\n[BD]\r\nPathLIS=new\r\nOther=2\r\n"},
      {"key added at the end of its section", true, "[BD]\nOther=2\n\n[Z]\nq=1", "BD", "PathLIS", "v",
       "[BD]\r\nOther=2\r\nPathLIS=v\r\n\r\n[Z]\r\nq=1\r\n"},
      {"section added at the end", true, "[A]\r\nx=1", "BD", "PathLIS", "v", "[A]\r\nx=1\r\n[BD]\r\nPathLIS=v\r\n"},
      {"names matched without regard to case", true, "[bd]\npathlis = old\n", "BD", "PathLIS", "v",
       "[bd]\r\npathlis=v\r\n"},
      {"first duplicate replaced", true, "[BD]\nPathLIS=1\nPathLIS=2\n", "BD", "PathLIS", "v",
       "[BD]\r\nPathLIS=v\r\nPathLIS=2\r\n"},
      {"odd lines and bytes kept", true, "garbage\n[BD]\nno equals\n\xE7\xFF=\x81\n", "BD", "PathLIS", "v",
       "garbage\r\n[BD]\r\nno equals\r\n\xE7\xFF=\x81\r\nPathLIS=v\r\n"},
      {"empty value", true, "[BD]\nPathLIS=old\n", "BD", "PathLIS", "", "[BD]\r\nPathLIS=\r\n"},
      {"a line break cannot add lines", true, "", "BD", "PathLIS", "a\r\n[X]\r\nb=c", "[BD]\r\nPathLIS=a\r\n"},
      {"1252 value", true, "", "BD", "PathLIS", "F:\\A\xC7\xC3O", "[BD]\r\nPathLIS=F:\\A\xC7\xC3O\r\n"},
      {"new section after one with the key", true, "[BD]\nPathLIS=x\n", "Other", "PathLIS", "y",
       "[BD]\r\nPathLIS=x\r\n[Other]\r\nPathLIS=y\r\n"},
  };
  for (const WriteCase& c : cases) {
    std::error_code ec;
    fs::remove(Ini(), ec);
    if (c.exists) Touch(Ini(), c.before);
    rtl::TIniFile ini("tesqueln.ini");
    ini.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(Read(Ini()), c.after) << c.what;
    EXPECT_EQ(Entries(windows_), (std::set<std::string>{"drives", "drives/f", "tesqueln.ini"})) << c.what;
  }
}

TEST_F(IniFiles, WrittenValuesReadBack) {
  rtl::TIniFile ini("tesqueln.ini");
  for (const char* value : {"f:\\tulmevar", "F:\\TULMEVAR\\", "", "C:\\A\xC7\xC3O", "a;b=c"}) {
    ini.WriteString("BD", "PathLIS", value);
    EXPECT_EQ(ini.ReadString("BD", "PathLIS", "default"), value);
  }
}

TEST_F(IniFiles, WritingABareNameCreatesTheWindowsDirectory) {
  const fs::path missing = root_ / "new" / "windows";
  testsupport::ScopedEnv windir("WINDIR", missing.string());
  rtl::TIniFile("tesqueln.ini").WriteString("BD", "PathLIS", "x");
  EXPECT_EQ(Read(missing / "tesqueln.ini"), "[BD]\r\nPathLIS=x\r\n");
}

TEST_F(IniFiles, WritingAnExistingFileInAnotherCaseUpdatesIt) {
  Touch(windows_ / "TESQUELN.INI", "[BD]\nPathLIS=old\n");
  rtl::TIniFile("tesqueln.ini").WriteString("BD", "PathLIS", "new");
  EXPECT_EQ(Read(windows_ / "TESQUELN.INI"), "[BD]\r\nPathLIS=new\r\n");
  EXPECT_FALSE(fs::exists(windows_ / "tesqueln.ini"));
}

TEST_F(IniFiles, WritingKeepsTheFilesModeAndLinks) {
  Touch(drive_ / "real.ini", "[BD]\nPathLIS=old\n");
  fs::permissions(drive_ / "real.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(drive_ / "real.ini", windows_ / "tesqueln.ini");
  rtl::TIniFile("tesqueln.ini").WriteString("BD", "PathLIS", "new");
  EXPECT_TRUE(fs::is_symlink(windows_ / "tesqueln.ini"));
  EXPECT_EQ(Read(drive_ / "real.ini"), "[BD]\r\nPathLIS=new\r\n");
  EXPECT_EQ(fs::status(drive_ / "real.ini").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniFiles, FailedWriteRaisesAndChangesNothing) {
  Touch(drive_ / "cfg" / "ro.ini", "[BD]\nPathLIS=old\n");
  fs::permissions(drive_ / "cfg" / "ro.ini", fs::perms::owner_read);
  fs::create_directories(drive_ / "cfg" / "dir.ini");
  const struct {
    std::string fileName;
  } cases[] = {
      {"F:\\cfg\\ro.ini"},          // read-only
      {"F:\\cfg\\dir.ini"},         // a directory
      {"F:\\nodir\\x.ini"},         // its directory does not exist
      {"F:\\cfg\\ro.ini\\x.ini"},   // a file stands where a directory should
  };
  for (const auto& c : cases) {
    const auto before = Entries(root_);
    try {
      rtl::TIniFile(c.fileName).WriteString("BD", "PathLIS", "new");
      ADD_FAILURE() << "no error for " << c.fileName;
    } catch (const rtl::EInOutError& e) {
      EXPECT_EQ(e.Message(), "Unable to write to " + c.fileName);
    }
    EXPECT_EQ(Entries(root_), before) << c.fileName;
  }
  EXPECT_EQ(Read(drive_ / "cfg" / "ro.ini"), "[BD]\nPathLIS=old\n");
}

TEST_F(IniFiles, FailedWriteInAForbiddenDirectoryLeavesTheOldFile) {
  if (RunningAsRoot()) GTEST_SKIP() << "the superuser may write in any directory";
  Touch(Ini(), "[BD]\nPathLIS=old\n");
  fs::permissions(windows_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(rtl::TIniFile("tesqueln.ini").WriteString("BD", "PathLIS", "new"), rtl::EInOutError);
  fs::permissions(windows_, fs::perms::owner_all);
  EXPECT_EQ(Read(Ini()), "[BD]\nPathLIS=old\n");
  EXPECT_EQ(Entries(windows_), (std::set<std::string>{"drives", "drives/f", "tesqueln.ini"}));
}

TEST_F(IniFiles, WindowsDirectoryThatCannotBeCreatedRaises) {
  Touch(root_ / "blocker");
  testsupport::ScopedEnv windir("WINDIR", (root_ / "blocker" / "windows").string());
  try {
    rtl::TIniFile("tesqueln.ini").WriteString("BD", "PathLIS", "x");
    FAIL() << "no error";
  } catch (const rtl::EInOutError& e) {
    EXPECT_EQ(e.Message(), "Unable to write to tesqueln.ini");
  }
}

}  // namespace
