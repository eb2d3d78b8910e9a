// Navigation over more records than the buffer ring holds, with rings of one and of several
// buffers; resynchronising, record numbers, filters and bookmarks.
#include <gtest/gtest.h>

#include "memdataset.h"
#include "platform/db/datasource.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::TMemDataSet;

// A link that asks the dataset for a ring of several buffers.
class WideLink : public TDataLink {
 public:
  explicit WideLink(int count) { SetBufferCount(count); }
};

class Navigation : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    dbtest::FillNumbers(ds, 7);
    source.SetDataSet(&ds);
    link.SetDataSource(&source);
    ds.Open();
  }
  int Id() { return ds.FieldByName("ID")->AsInteger(); }
  TMemDataSet ds{nullptr};
  TDataSource source{nullptr};
  WideLink link{GetParam()};
};

TEST_P(Navigation, StepsThroughEveryRecordAndStopsAtBothEnds) {
  EXPECT_EQ(ds.BufferCount(), GetParam());
  enum Op { kNext, kPrior, kFirst, kLast, kMoveBy, kRecNo };
  struct Step {
    Op op;
    int arg;
    int moved;  // MoveBy's answer, -1 when not asked
    int id;
    bool bof, eof;
  } steps[] = {
      {kNext, 0, -1, 2, false, false},    {kMoveBy, 3, 3, 5, false, false},  {kNext, 0, -1, 6, false, false},
      {kNext, 0, -1, 7, false, false},    {kNext, 0, -1, 7, false, true},    {kPrior, 0, -1, 6, false, false},
      {kMoveBy, -4, 4, 2, false, false},  {kPrior, 0, -1, 1, false, false},  {kPrior, 0, -1, 1, true, false},
      {kLast, 0, -1, 7, false, true},     {kMoveBy, -10, 6, 1, true, false}, {kMoveBy, 10, 6, 7, false, true},
      {kFirst, 0, -1, 1, true, false},    {kRecNo, 4, -1, 4, false, false},  {kMoveBy, 2, 2, 6, false, false},
      {kMoveBy, 0, 0, 6, false, false},
  };
  int index = 0;
  for (const Step& s : steps) {
    int moved = -1;
    switch (s.op) {
      case kNext: ds.Next(); break;
      case kPrior: ds.Prior(); break;
      case kFirst: ds.First(); break;
      case kLast: ds.Last(); break;
      case kMoveBy: moved = ds.MoveBy(s.arg); break;
      case kRecNo: ds.SetRecNo(s.arg); break;
    }
    EXPECT_EQ(moved, s.moved) << "step " << index;
    EXPECT_EQ(Id(), s.id) << "step " << index;
    EXPECT_EQ(ds.RecNo(), s.id) << "step " << index;
    EXPECT_EQ(ds.Bof(), s.bof) << "step " << index;
    EXPECT_EQ(ds.Eof(), s.eof) << "step " << index;
    EXPECT_LE(ds.BufferedRecordCount(), ds.BufferCount());
    ++index;
  }
  EXPECT_EQ(ds.RecordCount(), 7);
  ds.Close();
  EXPECT_EQ(ds.allocated, ds.released);
}

// Resync reads the record the cursor stands on (put there by the caller) and refills the ring
// around it.
TEST_P(Navigation, ResyncRefillsTheRingAroundTheCursorRecord) {
  ds.MoveBy(2);
  const TBookmark third = ds.GetBookmark();
  ds.SetRecNo(6);  // positions the cursor, then Resync without options
  EXPECT_EQ(Id(), 6);
  auto consecutive = [this] {
    for (int i = 1; i < ds.BufferedRecordCount(); ++i)
      if (ds.RowOf(ds.Buffers(i)) != ds.RowOf(ds.Buffers(i - 1)) + 1) return false;
    return true;
  };
  EXPECT_TRUE(consecutive());
  ds.GotoBookmark(third);  // Resync exact and centred
  EXPECT_EQ(Id(), 3);
  EXPECT_TRUE(consecutive());
  EXPECT_EQ(ds.ActiveRecord(), std::min(2, (GetParam() - 1) / 2));
  EXPECT_EQ(ds.BufferedRecordCount(), std::min(7, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(RingSizes, Navigation, ::testing::Values(1, 3, 10));

TEST(NavigationRing, ExtendingFromABufferThatIsNotCurrentPositionsFirst) {
  std::vector<std::string> log;
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 6);
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  WideLink link(3);
  link.SetDataSource(&source);
  ds.log = &log;
  ds.Open();    // ring 1 2 3, engine on 3
  ds.Last();    // ring 4 5 6, engine on 4 (filled backward)
  ds.MoveBy(-2);  // on 4, inside the ring
  ds.Prior();   // fetches 3 from the engine's own position: no positioning needed
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
  log.clear();
  ds.MoveBy(2);  // ring 3 4 5: on 5, inside the ring; the engine still stands on 3
  ds.Next();     // needs 6: the engine must first go to the last buffer (5)
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 6);
  EXPECT_EQ(std::count(log.begin(), log.end(), "PositionOnBuffer"), 1);
  EXPECT_EQ(ds.cursor(), 5);
}

TEST_P(Navigation, AppendAndInsertInsideTheRing) {
  ds.Append();
  // The new record is the last buffer, after as many earlier records as the ring holds.
  EXPECT_EQ(ds.ActiveRecord(), std::min(GetParam(), 8) - 1);
  EXPECT_EQ(ds.BufferedRecordCount(), std::min(GetParam(), 8));
  if (ds.ActiveRecord() > 0) {
    EXPECT_EQ(ds.RowOf(ds.Buffers(ds.ActiveRecord() - 1)), 6);
  }
  ds.FieldByName("ID")->SetAsInteger(8);
  ds.Post();
  EXPECT_EQ(Id(), 8);
  ds.First();
  ds.Next();
  ds.Insert();
  EXPECT_EQ(ds.RowOf(ds.Buffers(ds.ActiveRecord() + 1)), 1);
  ds.FieldByName("ID")->SetAsInteger(15);
  ds.Post();
  EXPECT_EQ(Id(), 15);
  ds.Next();
  EXPECT_EQ(Id(), 2);
  ds.Prior();
  ds.Prior();
  EXPECT_EQ(Id(), 1);
  EXPECT_EQ(ds.RecordCount(), 9);
}

TEST(NavigationRing, EmptyTableIsAtBothEnds) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 0);
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof());
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.FieldByName("ID")->IsNull());
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "");
  EXPECT_EQ(ds.MoveBy(1), 0);
  ds.Last();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.GetBookmark().empty());
}

TEST(NavigationRing, FilterEventHidesRecords) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 6);
  ds.SetOnFilterRecord(TFilterRecordEvent::FromFunction([](TDataSet* d, bool& accept) {
    EXPECT_EQ(d->State(), DSState::Filter);
    accept = d->FieldByName("ID")->AsInteger() % 2 == 1;
  }));
  ds.SetFiltered(true);
  ds.Open();
  std::vector<int> seen;
  while (!ds.Eof()) {
    seen.push_back(ds.FieldByName("ID")->AsInteger());
    ds.Next();
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 3, 5}));
  ds.Last();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);
  EXPECT_EQ(ds.State(), DSState::Browse);
}

TEST(NavigationRing, ResyncExactOnAVanishedRecordRaises) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 2);
  ds.Open();
  ds.Last();
  ds.rows.pop_back();  // someone else deleted the record
  ds.rows.pop_back();
  try {
    ds.Resync({.exact = true});
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Registro não encontrado"_ansi));
  }
  ds.Resync({});
  EXPECT_TRUE(ds.IsEmpty());
}

TEST(Bookmarks, ReturnToTheMarkedRecord) {
  TMemDataSet ds(nullptr);
  dbtest::FillNumbers(ds, 5);
  EXPECT_TRUE(ds.GetBookmark().empty());  // closed
  ds.Open();
  ds.MoveBy(3);
  const TBookmark mark = ds.GetBookmark();
  ASSERT_EQ(mark.size(), 4u);
  ds.First();
  const TBookmark first = ds.GetBookmark();
  ds.GotoBookmark(mark);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
  EXPECT_TRUE(ds.BookmarkValid(mark));
  EXPECT_FALSE(ds.BookmarkValid(TBookmark{}));
  EXPECT_EQ(ds.CompareBookmarks(first, mark), -1);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark{}, TBookmark{}), 0);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark{}, mark), 1);
  ds.GotoBookmark(TBookmark{});  // no bookmark: nothing happens
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
}

}  // namespace
