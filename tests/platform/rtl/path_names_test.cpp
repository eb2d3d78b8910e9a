#include <gtest/gtest.h>

#include "host_fixture.h"
#include "platform/rtl/paths.h"

namespace {

struct NameParts {
  std::string_view path, filePath, fileDir, fileName, fileExt;
};

TEST(PathNames, SplitAtTheLastSeparatorOrColon) {
  const NameParts cases[] = {
      {"C:\\DADOS\\ML2.DBF", "C:\\DADOS\\", "C:\\DADOS", "ML2.DBF", ".DBF"},
      {"C:\\ML2.DBF", "C:\\", "C:\\", "ML2.DBF", ".DBF"},
      {"C:ML2", "C:", "C:", "ML2", ""},
      {"\\ML2.DBF", "\\", "\\", "ML2.DBF", ".DBF"},
      {"ML2.DBF", "", "", "ML2.DBF", ".DBF"},
      {"a/b/c.txt", "a/b/", "a/b", "c.txt", ".txt"},
      {"dir.v1\\file", "dir.v1\\", "dir.v1", "file", ""},
      {"C:\\DADOS\\", "C:\\DADOS\\", "C:\\DADOS", "", ""},
      {"C:\\DADOS\\\\x", "C:\\DADOS\\\\", "C:\\DADOS\\\\", "x", ""},
      {"arq.tar.gz", "", "", "arq.tar.gz", ".gz"},
      {".ini", "", "", ".ini", ".ini"},
      {"", "", "", "", ""},
  };
  for (const NameParts& c : cases) {
    EXPECT_EQ(rtl::ExtractFilePath(c.path), c.filePath) << c.path;
    EXPECT_EQ(rtl::ExtractFileDir(c.path), c.fileDir) << c.path;
    EXPECT_EQ(rtl::ExtractFileName(c.path), c.fileName) << c.path;
    EXPECT_EQ(rtl::ExtractFileExt(c.path), c.fileExt) << c.path;
  }
}

TEST(PathNames, ChangeFileExtReplacesOnlyTheNamesExtension) {
  const struct {
    std::string_view path, ext, expected;
  } cases[] = {
      {"ML2.DBF", ".NTX", "ML2.NTX"}, {"ML2", ".NTX", "ML2.NTX"},     {"dir.v\\a", ".x", "dir.v\\a.x"},
      {"a.b.c", "", "a.b"},           {"C:\\T\\ML2.DBF", "", "C:\\T\\ML2"},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::ChangeFileExt(c.path, c.ext), c.expected);
}

TEST(PathNames, TrailingDelimiterIsAddedOrDroppedOnce) {
  const struct {
    std::string_view path, included, excluded;
  } cases[] = {
      {"C:\\a", "C:\\a\\", "C:\\a"}, {"C:\\a\\", "C:\\a\\", "C:\\a"}, {"C:\\", "C:\\", "C:"},
      {"a/", "a/", "a"},             {"a\\\\", "a\\\\", "a\\"},       {"", "\\", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rtl::IncludeTrailingPathDelimiter(c.path), c.included);
    EXPECT_EQ(rtl::ExcludeTrailingPathDelimiter(c.path), c.excluded);
  }
  EXPECT_TRUE(rtl::IsPathDelimiter('\\'));
  EXPECT_TRUE(rtl::IsPathDelimiter('/'));
  EXPECT_FALSE(rtl::IsPathDelimiter(':'));
}

class ExpandFileName : public rtltest::HostTree {};

TEST_F(ExpandFileName, FoldsDotsAndSeparatorsOfAbsolutePaths) {
  const struct {
    std::string_view path, expected;
  } cases[] = {
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\\\a\\\\\\b", "C:\\a\\b"},
      {"c:/a/b/", "c:\\a\\b\\"},
      {"C:\\..\\a", "C:\\a"},
      {"C:\\a\\b. ", "C:\\a\\b"},
      {"F:\\TULMEVAR\\", "F:\\TULMEVAR\\"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(rtl::ExpandFileName(c.path), c.expected) << c.path;
}

TEST_F(ExpandFileName, CompletesRelativePathsFromTheCurrentDirectory) {
  fs::create_directories(root_ / "f" / "TULMEVAR");
  MapDrive('f', "f");
  fs::current_path(root_ / "f" / "TULMEVAR");
  EXPECT_EQ(rtl::ExpandFileName("ML2.DBF"), "F:\\TULMEVAR\\ML2.DBF");
  EXPECT_EQ(rtl::ExpandFileName("..\\x"), "F:\\x");
  EXPECT_EQ(rtl::ExpandFileName("\\x"), "F:\\x");
  EXPECT_EQ(rtl::ExpandFileName("f:sub"), "f:\\TULMEVAR\\sub");
  EXPECT_EQ(rtl::ExpandFileName("D:sub"), "D:\\sub");  // another drive: from its root
}

}  // namespace
