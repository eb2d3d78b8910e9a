// The path functions, the delimited-part walker, the folder-browse dialog on the driver, and the
// resources the editor controls author themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "controls/fileutil.h"
#include "controls/resources.h"
#include "controls/vxcconst.h"
#include "controls/vxstrutils.h"
#include "platform/ui/testdriver.h"
#include "testsupport.h"

namespace {

TEST(PathFunctions, StripTrailingBackslash) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\", "C:\\"},         {"c:\\", "c:\\"},     {"C:\\dir\\", "C:\\dir"}, {"\\", "\\"},
      {"1:\\", "1:"},           {"", ""},             {"ab\\", "ab"},           {"C:\\dir", "C:\\dir"},
      {"C:\\dir\\\\", "C:\\dir\\"}, {"\\\\", "\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripTrailingBackslash(c.in), c.out) << c.in;
}

TEST(PathFunctions, NextDelimitedPartWalksEveryPart) {
  const struct {
    const char* in;
    std::vector<std::string> parts;
  } cases[] = {
      {"A;;B", {"A", "", "B"}},
      {"A;B;", {"A", "B"}},
      {";A", {"", "A"}},
      {"A", {"A"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> parts;
    const std::string s = c.in;
    int position = 1;
    while (position <= static_cast<int>(s.size())) parts.push_back(NextDelimitedPart(s, position, ";"));
    EXPECT_EQ(parts, c.parts) << c.in;
    EXPECT_EQ(position, static_cast<int>(s.size()) + 1) << c.in;
  }
  int position = 1;
  EXPECT_EQ(NextDelimitedPart("a,b;c", position, ",;"), "a");
  EXPECT_EQ(NextDelimitedPart("a,b;c", position, ",;"), "b");
  EXPECT_EQ(position, 5);
}

class DiskPaths : public ::testing::Test {
 protected:
  DiskPaths() : env("WINDIR", windows.str()) {
    std::filesystem::create_directories(windows.path() / "drives" / "f" / "Dados" / "Sub");
    std::ofstream(windows.path() / "drives" / "f" / "Dados" / "Tabela.dbf") << "x";
  }
  testsupport::TempDir windows;
  testsupport::ScopedEnv env;
};

TEST_F(DiskPaths, DirectoryPresent) {
  EXPECT_TRUE(DirectoryPresent("F:\\DADOS"));
  EXPECT_TRUE(DirectoryPresent("f:\\dados\\sub\\"));
  EXPECT_FALSE(DirectoryPresent("F:\\DADOS\\TABELA.DBF"));  // a file
  EXPECT_FALSE(DirectoryPresent(""));
  EXPECT_FALSE(DirectoryPresent("F:\\NADA"));
}

TEST_F(DiskPaths, LongAndShortNamesAreTheDiskSpelling) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"semBarra", "semBarra"},                           // no "\": unchanged
      {"F:\\DADOS\\TABELA.DBF", "F:\\Dados\\Tabela.dbf"}, // found: the disk's spelling
      {"F:\\dados\\sub", "F:\\Dados\\Sub"},
      {"F:\\NADA\\X\\Y", "F:\\\\\\"},                     // missing below F:: names empty, separators kept
      {"F:\\DADOS\\NADA\\Y", "F:\\Dados\\\\"},
      {"\\", "\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandShortPath(c.in), c.out) << c.in;
    EXPECT_EQ(CompactLongPath(c.in), c.out) << c.in;
  }
  EXPECT_EQ(ExpandShortFileName("F:\\DADOS\\NADA"), "");
  EXPECT_EQ(CompactLongFileName("f:\\dados\\tabela.dbf"), "Tabela.dbf");
  std::string caller = "F:\\DADOS";
  ExpandShortPath(caller);
  EXPECT_EQ(caller, "F:\\DADOS");
}

TEST_F(DiskPaths, FolderBrowserPreselectsOnlyAnExistingFolderAndGuardsOk) {
  ui::HeadlessDriver driver;
  std::vector<std::string> opened;
  std::string answer = "F:\\Dados\\Sub\\";
  driver.AnswerDirectoryDialogs([&](const ui::BoxRequest& r) -> std::optional<std::string> {
    EXPECT_EQ(r.kind, ui::BoxRequest::BrowseFolder);
    opened.push_back(r.directory);
    return answer;
  });
  std::string folder = "f:\\dados";
  EXPECT_TRUE(PickFolderWithShellDialog(folder, "Escolha", 0));
  EXPECT_EQ(folder, "F:\\Dados\\Sub");  // the trailing "\" is stripped
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "f:\\dados");
  EXPECT_EQ(driver.Boxes().back().text, "Escolha");

  folder = "F:\\NADA";  // missing: no preselection
  EXPECT_TRUE(PickFolderWithShellDialog(folder, "", 0));
  EXPECT_EQ(opened.back(), "");

  answer = "F:\\DADOS\\TABELA.DBF";  // not a directory: OK is disabled, nothing is chosen
  folder = "F:\\DADOS";
  EXPECT_FALSE(PickFolderWithShellDialog(folder, "", 0));
  EXPECT_EQ(folder, "F:\\DADOS");

  driver.AnswerDirectoryDialogs([](const ui::BoxRequest&) -> std::optional<std::string> { return std::nullopt; });
  EXPECT_FALSE(PickFolderWithShellDialog(folder, "", 0));
  EXPECT_EQ(folder, "F:\\DADOS");
}

TEST(Resources, FolderGlyphAndCursors) {
  auto glyph = LoadBitmapResource("FEDITBMP");
  ASSERT_TRUE(glyph);
  EXPECT_EQ(glyph->Width(), 14);
  EXPECT_EQ(glyph->Height(), 12);
  EXPECT_EQ(glyph->Pixels().At(0, 11), 0xFF00FFu);  // magenta background, the transparent colour
  EXPECT_EQ(LoadBitmapResource("NADA"), nullptr);

  ui::HeadlessDriver driver;
  RegisterEditorCursors(driver.App().Screen());
  EXPECT_TRUE(driver.App().Screen().HasCursor(HandCursorId));
  EXPECT_TRUE(driver.App().Screen().HasCursor(DragHandCursorId));
  EXPECT_EQ(driver.App().Screen().CursorHotSpot(14000).x, 6);
  EXPECT_EQ(driver.App().Screen().CursorHotSpot(14001).x, 15);
  EXPECT_EQ(driver.App().Screen().CursorHotSpot(14001).y, 16);
}

}  // namespace
