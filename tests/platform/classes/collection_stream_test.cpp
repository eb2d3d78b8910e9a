#include <gtest/gtest.h>

#include <memory>

#include "platform/classes/collection.h"
#include "platform/classes/errors.h"
#include "platform/classes/streams.h"
#include "platform/classes/threadlist.h"
#include "testclasses.h"
#include "testsupport.h"

using namespace classes;
using namespace classes_test;

namespace {

class TCountingCollection : public TCollection {
 public:
  explicit TCountingCollection(TPersistent* owner) : TCollection([] { return std::make_unique<TTestItem>(); }, owner) {}
  int updates = 0;
  std::vector<std::string> notes;

 protected:
  void Update(TCollectionItem*) override { ++updates; }
  void Notify(TCollectionItem* item, TCollectionNotification action) override {
    notes.push_back((action == cnAdded ? "+" : "-") + std::to_string(item->ID()));
  }
};

TEST(Collection, ItemsKnowTheirCollectionIndexAndOwner) {
  TTestForm owner;
  TCountingCollection c(&owner);
  auto* a = static_cast<TTestItem*>(c.Add());
  auto* b = static_cast<TTestItem*>(c.Insert(0));
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(b->Index(), 0);
  EXPECT_EQ(a->Collection(), &c);
  EXPECT_EQ(c.GetOwner(), &owner);
  EXPECT_EQ(a->GetOwner(), &c);
  EXPECT_EQ(c.FindItemID(a->ID()), a);
  EXPECT_THROW(c.Item(2), EListError);
  EXPECT_THROW(c.Item(-1), EListError);
  TTestItem loose;
  EXPECT_EQ(loose.Index(), -1);
  EXPECT_EQ(loose.Collection(), nullptr);
}

TEST(Collection, ChangesAreReportedOnceInsideAnUpdateBracket) {
  TCountingCollection c(nullptr);
  c.Add();
  c.Add();
  EXPECT_EQ(c.updates, 2);
  c.BeginUpdate();
  c.Add();
  c.Delete(0);
  c.EndUpdate();
  EXPECT_EQ(c.updates, 3);
  c.Clear();
  EXPECT_EQ(c.updates, 4);
  EXPECT_EQ(c.notes, (std::vector<std::string>{"+0", "+1", "+2", "-0", "-2", "-1"}));
}

TEST(Collection, AssignCopiesItemsThroughTheirAssign) {
  TCountingCollection a(nullptr), b(nullptr);
  a.Add();
  EXPECT_THROW(b.Assign(a), EConvertError);  // the test item knows no Assign
}

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Position(), 6);
  s.SetPosition(2);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 4);
  EXPECT_STREQ(buf, "cdef");
  s.Seek(-3, TSeekOrigin::soEnd);
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  s.Seek(1, TSeekOrigin::soEnd);
  s.WriteBuffer("z", 1);
  EXPECT_EQ(s.Size(), 4);
  EXPECT_EQ(s.Bytes()[2], 0);
  TMemoryStream copy;
  copy.CopyFrom(s, 0);
  EXPECT_EQ(copy.Bytes(), s.Bytes());
}

TEST(FileStream, CreateWriteReopenAndRead) {
  testsupport::TempDir dir;
  const std::string name = dir.str() + "/data.bin";
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello", 5);
    EXPECT_EQ(f.Size(), 5);
  }
  TFileStream f(name, fmOpenRead);
  char buf[6] = {};
  f.ReadBuffer(buf, 5);
  EXPECT_STREQ(buf, "hello");
  EXPECT_THROW(TFileStream(dir.str() + "/absent.bin", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.str() + "/no/such/dir.bin", fmCreate), EFCreateError);
}

TEST(ThreadList, RemoveTakesTheFirstOccurrenceAndPackDropsNulls) {
  TThreadList<int> list;
  int a = 1, b = 2;
  list.Add(&a);
  list.Add(&b);
  list.Add(&a);
  list.Remove(&a);
  std::vector<int*>& items = list.LockList();
  EXPECT_EQ(items, (std::vector<int*>{&b, &a}));
  items[0] = nullptr;
  list.UnlockList();
  list.Pack();
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
