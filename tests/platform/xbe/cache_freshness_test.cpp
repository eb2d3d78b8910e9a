// What another program does between two of our moves shows at the next move: appends, writes,
// deletions and an index rebuilt in place, on shared handles whose pages and records are kept
// between calls; and a handle that reads ahead sees its own changes at once.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "index_helpers.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "testsupport.h"

using namespace xbetest;

namespace {

class CacheFreshness : public ::testing::Test {
 protected:
  void SetUp() override {
    xbe::CreateTable(Path("T"), xbe::TableType::kNtx, {{"K", 4, 6, 0}, {"N", 2, 6, 0}});
    XBEHANDLE t = OpenTable(conn_, "T");
    ASSERT_NE(t, 0u);
    // Enough keys for an order of several levels, so that seeks and walks cross pages.
    for (int i = 1; i <= kRecords; ++i) {
      XBE_OK(XbeAppendRecord(t));
      SetText(t, "K", Key(i));
      SetText(t, "N", std::to_string(i));
      XBE_OK(XbeWriteRecord(t));
    }
    xbe::CreateNtxIndex(t, Path("TK"), "K");
    XBE_OK(XbeCloseTable(t));
  }

  static constexpr int kRecords = 400;
  static std::string Key(int i) { return "K" + std::to_string(10000 + i * 2); }  // room between keys
  std::string Path(const char* name) const { return tmp_.str() + "/" + name; }

  // Runs `work` in a child process with its own connection and handle of T (and the order of
  // TK.ntx when asked); the test fails when `work` does.
  void InAnotherProcess(bool withOrder, const std::function<bool(XBEHANDLE table, XBEHANDLE order)>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      XBEHANDLE c = 0, t = 0, order = 0;
      XBEHANDLE orders[4];
      std::uint16_t count = 4;
      bool ok = XbeConnect(tmp_.str().c_str(), &c) == 0 &&
                XbeOpenTable(c, Path("T").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                             XBE_CHECK_RIGHTS, 0, &t) == 0;
      if (ok && withOrder) {
        ok = XbeOpenIndex(t, Path("TK.ntx").c_str(), orders, &count) == 0;
        order = orders[0];
      }
      ok = ok && work(t, order) && XbeCloseTable(t) == 0;
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  static bool SetKey(XBEHANDLE t, std::uint32_t recno, const std::string& key) {
    return XbeGotoRecord(t, recno) == 0 && XbeSetField(t, XBE_FIELD_ORDINAL(1), key.data(),
                                                       static_cast<uint32_t>(key.size())) == 0 &&
           XbeWriteRecord(t) == 0;
  }

  static bool Seek(XBEHANDLE order, const std::string& key) {
    std::uint16_t found = 0;
    EXPECT_EQ(XbeSeek(order, key.data(), static_cast<std::uint16_t>(key.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &found),
              0u)
        << LastErrorText();
    return found != 0;
  }

  testsupport::TempDir tmp_;
  Connection conn_{tmp_.str()};
};

TEST_F(CacheFreshness, NaturalWalkSeesAnotherProcesssAppendWriteAndDeletion) {
  XBEHANDLE t = OpenTable(conn_, "T");
  XBE_OK(XbeGotoRecord(t, kRecords - 2));
  EXPECT_EQ(FieldText(t, "N"), std::to_string(kRecords - 2));
  InAnotherProcess(false, [](XBEHANDLE o, XBEHANDLE) {
    return SetKey(o, kRecords - 1, "WRITE") && XbeGotoRecord(o, kRecords) == 0 && XbeDeleteRecord(o) == 0 &&
           XbeWriteRecord(o) == 0 && XbeAppendRecord(o) == 0 && XbeSetField(o, "K", "NEW", 3) == 0 &&
           XbeWriteRecord(o) == 0;
  });
  XBE_OK(XbeSkip(t, 1));
  EXPECT_EQ(FieldText(t, "K"), "WRITE ");
  XBE_OK(XbeSkip(t, 1));  // the deleted record is hidden
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  EXPECT_EQ(FieldText(t, "K"), "NEW   ");
  XBE_OK(XbeSkip(t, 1));
  EXPECT_TRUE(AtEof(t));
  XBE_OK(XbeCloseTable(t));
}

TEST_F(CacheFreshness, AnAppendTakenBackElsewhereEndsOurWalkBeforeIt) {
  XBEHANDLE t = OpenTable(conn_, "T");
  XBEHANDLE other = OpenTable(conn_, "T");
  XBE_OK(XbeAppendRecord(other));
  XBE_OK(XbeGotoBottom(t));  // we have seen the appended record
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  XBE_OK(XbeCancelUpdate(other));
  XBE_OK(XbeGotoRecord(t, kRecords));
  XBE_OK(XbeSkip(t, 1));
  EXPECT_TRUE(AtEof(t));
  XBE_OK(XbeGotoBottom(t));
  EXPECT_EQ(CurrentRecord(t), static_cast<std::uint32_t>(kRecords));
  XBE_OK(XbeCloseTable(other));
  XBE_OK(XbeCloseTable(t));
}

TEST_F(CacheFreshness, SeeksAndSkipsSeeAnotherProcesssChangesOfTheOrder) {
  XBEHANDLE t = OpenTable(conn_, "T");
  const XBEHANDLE order = OpenIndex(t, Path("TK.ntx"));
  ASSERT_TRUE(Seek(order, Key(200)));
  EXPECT_FALSE(Seek(order, "K10401"));
  ASSERT_TRUE(Seek(order, Key(100)));  // stands on record 100, its leaf cached
  InAnotherProcess(true, [&](XBEHANDLE o, XBEHANDLE) {
    // A key between 100 and 101, record 200 gone from its place, and a new record.
    return SetKey(o, 300, "K10201") && SetKey(o, 200, "ZZZZZZ") && XbeAppendRecord(o) == 0 &&
           XbeSetField(o, "K", "K10401", 6) == 0 && XbeWriteRecord(o) == 0;
  });
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 300u);
  XBE_OK(XbeSkip(order, 1));
  EXPECT_EQ(CurrentRecord(t), 101u);
  XBE_OK(XbeSkip(order, -2));
  EXPECT_EQ(CurrentRecord(t), 100u);
  EXPECT_FALSE(Seek(order, Key(200)));
  ASSERT_TRUE(Seek(order, "K10401"));
  EXPECT_EQ(CurrentRecord(t), kRecords + 1u);
  ASSERT_TRUE(Seek(order, "ZZ"));
  EXPECT_EQ(CurrentRecord(t), 200u);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(CacheFreshness, AnIndexRebuiltInPlaceByAnotherProcessIsReadAgain) {
  XBEHANDLE t = OpenTable(conn_, "T");
  const XBEHANDLE order = OpenIndex(t, Path("TK.ntx"));
  ASSERT_TRUE(Seek(order, Key(150)));
  InAnotherProcess(false, [&](XBEHANDLE o, XBEHANDLE) {
    // Keys changed and records added without the order open, then the order written anew over
    // the same file.
    if (!SetKey(o, 150, "AAAAAA") || !SetKey(o, 151, Key(150))) return false;
    for (int i = 0; i < 100; ++i)
      if (XbeAppendRecord(o) != 0 || XbeSetField(o, "K", "MORE", 4) != 0 || XbeWriteRecord(o) != 0) return false;
    try {
      xbe::CreateNtxIndex(o, Path("TK"), "K");
    } catch (...) {
      return false;
    }
    return true;
  });
  ASSERT_TRUE(Seek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 151u);
  XBE_OK(XbeGotoTop(order));
  EXPECT_EQ(CurrentRecord(t), 150u);
  XBE_OK(XbeCloseTable(t));
}

// The same number of keys rebuilt: size, root and header come out as before, and only the
// file's modification time tells our cached pages that they are old.
TEST_F(CacheFreshness, AnIndexRebuiltToTheSameSizeIsReadAgain) {
  XBEHANDLE t = OpenTable(conn_, "T");
  const XBEHANDLE order = OpenIndex(t, Path("TK.ntx"));
  ASSERT_TRUE(Seek(order, Key(150)));
  const auto sizeBefore = std::filesystem::file_size(Path("TK.ntx"));
  InAnotherProcess(false, [&](XBEHANDLE o, XBEHANDLE) {
    if (!SetKey(o, 150, Key(151)) || !SetKey(o, 151, Key(150))) return false;
    try {
      xbe::CreateNtxIndex(o, Path("TK"), "K");
    } catch (...) {
      return false;
    }
    return true;
  });
  ASSERT_EQ(std::filesystem::file_size(Path("TK.ntx")), sizeBefore);
  ASSERT_TRUE(Seek(order, Key(150)));
  EXPECT_EQ(CurrentRecord(t), 151u);
  ASSERT_TRUE(Seek(order, Key(151)));
  EXPECT_EQ(CurrentRecord(t), 150u);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(CacheFreshness, AHandleReadingAheadSeesItsOwnChanges) {
  struct Case {
    const char* name;
    std::uint32_t options;
    std::uint16_t cacheRecords;
  };
  for (const Case& c : {Case{"exclusive", XBE_EXCLUSIVE, 0}, Case{"record cache", 0, 50}}) {
    SCOPED_TRACE(c.name);
    OpenOptions o;
    o.options = c.options;
    XBEHANDLE t = OpenTable(conn_, "T", o);
    ASSERT_NE(t, 0u);
    XBE_OK(XbeCacheRecords(t, c.cacheRecords));
    XBE_OK(XbeGotoTop(t));
    XBE_OK(XbeSkip(t, 3));  // records 1 to 4 and what follows are in the block now
    ASSERT_TRUE(SetKey(t, 6, c.name));
    XBE_OK(XbeGotoRecord(t, 4));
    XBE_OK(XbeSkip(t, 2));
    EXPECT_EQ(FieldText(t, "K").substr(0, 3), std::string(c.name).substr(0, 3));
    XBE_OK(XbeAppendRecord(t));
    SetText(t, "N", "777");
    XBE_OK(XbeWriteRecord(t));
    XBE_OK(XbeGotoBottom(t));
    XBE_OK(XbeSkip(t, -1));
    XBE_OK(XbeSkip(t, 1));
    EXPECT_EQ(FieldText(t, "N"), "777");
    XBE_OK(XbeDeleteRecord(t));
    XBE_OK(XbeWriteRecord(t));
    XBE_OK(XbeGotoBottom(t));
    EXPECT_NE(FieldText(t, "N"), "777");
    XBE_OK(XbeCloseTable(t));
  }
}

// Every call finds its handle through a small table of the handles used lately: each handle
// keeps reaching its own table, and a handle closed right after use answers "invalid".
TEST_F(CacheFreshness, HandlesUsedLatelyStayTheirOwnAndDieWithTheirObject) {
  std::vector<XBEHANDLE> tables;
  for (std::uint32_t i = 1; i <= 40; ++i) {  // more handles than the table has places
    tables.push_back(OpenTable(conn_, "T"));
    XBE_OK(XbeGotoRecord(tables.back(), i));
  }
  for (int round = 0; round < 2; ++round)
    for (std::uint32_t i = 1; i <= tables.size(); ++i) EXPECT_EQ(FieldText(tables[i - 1], "N"), std::to_string(i));
  const XBEHANDLE order = OpenIndex(tables[0], Path("TK.ntx"));
  ASSERT_TRUE(Seek(order, Key(7)));
  XBE_OK(XbeCloseIndex(order));
  std::uint16_t found = 0;
  EXPECT_EQ(XbeSeek(order, "K", 1, XBE_TEXT_KEY, XBE_HARD_SEEK, &found), 6001u);
  EXPECT_EQ(XbeSkip(order, 1), 6001u);
  for (std::size_t i = 0; i < tables.size(); i += 2) XBE_OK(XbeCloseTable(tables[i]));
  char buffer[16];
  for (std::uint32_t i = 1; i <= tables.size(); ++i) {
    std::uint32_t length = sizeof buffer;
    if (i % 2 == 1) {
      EXPECT_EQ(XbeGetField(tables[i - 1], XBE_FIELD_ORDINAL(2), buffer, &length, 0), 6001u);
      EXPECT_EQ(XbeSkip(tables[i - 1], 1), 6001u);
    } else {
      EXPECT_EQ(FieldText(tables[i - 1], "N"), std::to_string(i));
    }
  }
  const XBEHANDLE again = OpenTable(conn_, "T");  // a new handle: its own number and table
  EXPECT_EQ(std::count(tables.begin(), tables.end(), again), 0);
  XBE_OK(XbeGotoRecord(again, 77));
  EXPECT_EQ(FieldText(again, "N"), "77");
  XBE_OK(XbeCloseTable(again));
  for (std::size_t i = 1; i < tables.size(); i += 2) XBE_OK(XbeCloseTable(tables[i]));
}

}  // namespace
