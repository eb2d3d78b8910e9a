#include <gtest/gtest.h>

#include "platform/classes/errors.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/ansi.h"

using namespace classes;
using namespace rtl::literals;

namespace {

std::vector<std::string> Items(const TStrings& s) {
  std::vector<std::string> v;
  for (int i = 0; i < s.Count(); ++i) v.push_back(s[i]);
  return v;
}

TEST(StringList, SortedIgnoresDuplicatesWithoutRegardToCaseAndRefusesPositionalInsert) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("ml22.ntx"), 0);
  EXPECT_EQ(list.Add("ML21.NTX"), 0);
  EXPECT_EQ(list.Add("ml21.ntx"), 0);  // the existing entry's position
  EXPECT_EQ(list.Add(std::string("Ação"_ansi)), 0);
  EXPECT_EQ(Items(list), (std::vector<std::string>{std::string("Ação"_ansi), "ML21.NTX", "ml22.ntx"}));
  EXPECT_EQ(list.IndexOf("ML22.ntx"), 2);
  EXPECT_EQ(list.IndexOf("absent"), -1);
  try {
    list.Insert(0, "x");
    FAIL() << "no error";
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "Operation not allowed on sorted list");
  }
  EXPECT_THROW(list.Put(0, "x"), EListError);
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringList, DuplicatesAcceptedOrRefusedAndCaseSensitiveOption) {
  TStringList accept;
  accept.SetSorted(true);
  accept.SetDuplicates(dupAccept);
  accept.Add("b");
  accept.Add("B");
  EXPECT_EQ(accept.Count(), 2);

  TStringList refuse;
  refuse.SetSorted(true);
  refuse.SetDuplicates(dupError);
  refuse.Add("b");
  EXPECT_THROW(refuse.Add("B"), EListError);

  TStringList exact;
  exact.SetCaseSensitive(true);
  exact.SetSorted(true);
  exact.Add("b");
  exact.Add("B");
  EXPECT_EQ(exact.Count(), 2);
  EXPECT_EQ(exact.IndexOf("b") >= 0, true);
}

// A list that replaces the four operations, as an index-file list does: the base Add and Clear
// must not go through its Insert and Delete.
class TCountingList : public TStringList {
 public:
  int inserts = 0, deletes = 0;
  void Insert(int index, const std::string& s) override {
    ++inserts;
    TStringList::Insert(index, s);
  }
  void Delete(int index) override {
    ++deletes;
    TStringList::Delete(index);
  }
};

TEST(StringList, AddAndClearDoNotDispatchToTheVirtualInsertAndDelete) {
  TCountingList list;
  list.SetSorted(true);
  list.Add("b");
  list.Add("a");
  list.Clear();
  EXPECT_EQ(list.inserts, 0);
  EXPECT_EQ(list.deletes, 0);
}

TEST(StringList, ChangeFiresOnceForAnUpdateBracketThatChangedSomething) {
  TStringList list;
  int changes = 0;
  list.SetOnChange(TNotifyEvent::FromFunction([&](TObject*) { ++changes; }));
  list.Add("a");
  EXPECT_EQ(changes, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changes, 1);
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.BeginUpdate();
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.SetText("x\r\ny\nz\r");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(list.Text(), "x\r\ny\r\nz\r\n");
}

TEST(StringList, IndexErrors) {
  TStringList list;
  list.Add("a");
  EXPECT_THROW(list.Get(1), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  EXPECT_THROW(list.Delete(1), EListError);
  EXPECT_THROW(list.Insert(2, "x"), EListError);
  list.Insert(1, "b");
  EXPECT_EQ(list[1], "b");
}

TEST(StringList, DelimitedTextSplitsAtTheDelimiterWithQuotes) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"", {}},
      {"Admin;Users", {"Admin", "Users"}},
      {"a b;c", {"a b", "c"}},
      {"\"x;y\";z", {"x;y", "z"}},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"a;;b", {"a", "", "b"}},
      {"a;", {"a", ""}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetDelimiter(';');
    list.SetDelimitedText(c.text);
    EXPECT_EQ(Items(list), c.items) << c.text;
    TStringList back;
    back.SetDelimiter(';');
    back.SetDelimitedText(list.DelimitedText());
    EXPECT_EQ(Items(back), c.items) << "round trip of " << c.text;
  }
}

TEST(StringList, AssignCopiesStringsAndObjects) {
  TStringList a, b;
  TStringList marker;
  a.AddObject("one", &marker);
  a.Add("two");
  b.Add("old");
  b.Assign(a);
  EXPECT_TRUE(b.Equals(a));
  EXPECT_EQ(b.GetObject(0), &marker);
  EXPECT_EQ(b.IndexOfObject(&marker), 0);
}

}  // namespace
