// The demo installation of `make demo`: its memos, read through the table access layer, are
// the same after the real program has brought the installed tables up to the templates.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "engine/xbetable.h"
#include "platform/rtl/ansi.h"
#include "testsupport.h"

using namespace rtl::literals;
namespace fs = std::filesystem;

namespace {

// Runs a program to its end in `folder` with `windir` as the Windows directory and no display;
// true when it exited with 0.
bool RunProgram(const std::vector<std::string>& args, const fs::path& folder, const fs::path& windir) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("WINDIR", windir.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every record's memo (deleted records included) by its code, through the table's blob field.
std::map<int, std::string> MemosOf(const fs::path& data, int& fieldCount) {
  classes::TComponent form(nullptr);
  TXbeTable t(&form);
  t.XbeTableOptions().SetXbeLockType(Compatible);
  t.XbeTableOptions().SetXbeCharType(OEM);
  t.SetTableType(ttXbeNTX);
  t.SetDatabaseName(data.string());
  t.SetTableName("ML2");
  XbeShowDeleted(1);
  t.Open();
  std::map<int, std::string> memos;
  for (t.First(); !t.Eof(); t.Next()) memos[t.FieldByName("CODCONV")->AsInteger()] = t.FieldByName("OBS")->AsString();
  fieldCount = t.FieldCount();
  t.Close();
  XbeShowDeleted(0);
  return memos;
}

TEST(DemoInstallation, MemosSurviveTheUpdate) {
  testsupport::TempDir demo;
  ASSERT_TRUE(RunProgram({MKDEMO_BINARY, demo.str()}, demo.path(), demo.path())) << "the demo maker failed";
  int fieldsBefore = 0, fieldsAfter = 0;
  const std::map<int, std::string> before = MemosOf(demo.path() / "dados", fieldsBefore);
  ASSERT_EQ(before.size(), 6u);
  EXPECT_EQ(before.at(1), std::string("Convênio 1"_ansi));
  EXPECT_EQ(before.at(2), "");
  EXPECT_EQ(before.at(5), std::string("Convênio encerrado."_ansi));  // a deleted record
  EXPECT_EQ(before.at(6), "Primeira linha\r\nSegunda linha");

  ASSERT_TRUE(RunProgram({TAVROATUALIZA_BINARY}, demo.path() / "modelos", demo.path() / "windows"))
      << "the update failed";
  const std::map<int, std::string> after = MemosOf(demo.path() / "dados", fieldsAfter);
  EXPECT_GT(fieldsAfter, fieldsBefore);  // the update did restructure the table
  EXPECT_EQ(after, before);
}

}  // namespace
