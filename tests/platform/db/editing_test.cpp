// Editing through the framework: append, insert, edit, post, cancel, delete, the required
// check, the browse-mode check and the error events.
#include <gtest/gtest.h>

#include <cstring>

#include "memdataset.h"

namespace {

using namespace db;
using namespace rtl::literals;
using dbtest::TMemDataSet;

std::vector<int> Ids(TMemDataSet& ds) {
  std::vector<int> ids;
  for (const auto& row : ds.rows) {
    std::int32_t v = 0;
    if (row[0]) std::memcpy(&v, row[0]->data(), 4);
    ids.push_back(v);
  }
  return ids;
}

class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    dbtest::FillNumbers(ds, 4);
    ds.Open();
  }
  TField* Id() { return ds.FieldByName("ID"); }
  TMemDataSet ds{nullptr};
};

TEST_F(Editing, AppendAddsAtTheEnd) {
  ds.Append();
  EXPECT_EQ(ds.State(), DSState::Insert);
  EXPECT_TRUE(ds.Eof());
  EXPECT_FALSE(ds.Bof());
  EXPECT_EQ(ds.FlagOf(ds.ActiveBuffer()), bfEOF);
  EXPECT_FALSE(ds.Modified());
  Id()->SetAsInteger(50);
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(ds.State(), DSState::Browse);
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 3, 4, 50}));
  EXPECT_EQ(Id()->AsInteger(), 50);
}

TEST_F(Editing, InsertGoesBeforeTheCurrentRecordWhichMovesOneSlotOn) {
  ds.MoveBy(2);
  ds.Insert();
  // The record that was current now sits in the slot after the active one (the spare slot,
  // as the ring holds one buffer).
  EXPECT_EQ(ds.RowOf(ds.Buffers(ds.ActiveRecord() + 1)), 2);
  EXPECT_NE(ds.FlagOf(ds.ActiveBuffer()), bfInserted);
  EXPECT_FALSE(ds.Eof());
  EXPECT_TRUE(Id()->IsNull());
  Id()->SetAsInteger(99);
  ds.Post();
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 99, 3, 4}));
  EXPECT_EQ(Id()->AsInteger(), 99);
  ds.Next();
  EXPECT_EQ(Id()->AsInteger(), 3);
}

TEST_F(Editing, CancelledInsertReturnsToThePreviousRecord) {
  ds.Next();
  ds.Insert();
  Id()->SetAsInteger(77);
  ds.Cancel();
  EXPECT_EQ(ds.State(), DSState::Browse);
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Id()->AsInteger(), 2);
}

TEST_F(Editing, EditPostAndCancel) {
  ds.Next();
  ds.Edit();
  Id()->SetAsInteger(20);
  ds.Post();
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 20, 3, 4}));
  ds.Edit();
  Id()->SetAsInteger(21);
  ds.Cancel();
  EXPECT_EQ(Id()->AsInteger(), 20);
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 20, 3, 4}));
}

TEST_F(Editing, MovingPostsPendingChangesAndCloseDropsThem) {
  ds.Edit();
  Id()->SetAsInteger(10);
  ds.Next();  // the browse-mode check posts
  EXPECT_EQ(Ids(ds), (std::vector<int>{10, 2, 3, 4}));
  ds.Edit();
  ds.Next();  // unmodified: cancelled
  EXPECT_EQ(ds.State(), DSState::Browse);
  ds.Edit();
  Id()->SetAsInteger(30);
  ds.Close();
  EXPECT_EQ(Ids(ds), (std::vector<int>{10, 2, 3, 4}));
}

TEST_F(Editing, DeleteShowsTheNextRecord) {
  ds.Next();
  std::vector<std::string> log;
  ds.log = &log;
  ds.Delete();
  EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(Id()->AsInteger(), 3);
  EXPECT_EQ(log, (std::vector<std::string>{"DeleteRecord"}));
  ds.log = nullptr;
  ds.Last();
  ds.Delete();
  EXPECT_EQ(Id()->AsInteger(), 3);
  ds.Delete();
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  try {
    ds.Delete();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), std::string("Não é possível realizar esta operação em um arquivo vazio"_ansi));
  }
  ds.Edit();  // on an empty dataset: an insert
  EXPECT_EQ(ds.State(), DSState::Insert);
  EXPECT_EQ(ds.FlagOf(ds.ActiveBuffer()), bfBOF);
  Id()->SetAsInteger(1);
  ds.Post();
  EXPECT_EQ(Ids(ds), (std::vector<int>{1}));
}

TEST_F(Editing, RequiredFieldMustHaveAValue) {
  ds.FieldByName("NAME")->SetRequired(true);
  ds.Append();
  Id()->SetAsInteger(5);
  try {
    ds.Post();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Campo 'NAME' deve ter um valor");
  }
  EXPECT_EQ(ds.State(), DSState::Insert);  // nothing changed by the failed post
  // The post-error event may fix the record and retry.
  int calls = 0;
  ds.OnPostError = TDataSetErrorEvent::FromFunction([&](TDataSet* d, EDatabaseError&, TDataAction& action) {
    ++calls;
    d->FieldByName("NAME")->SetAsString("FIXED");
    action = TDataAction::daRetry;
  });
  ds.FieldByName("NAME")->Clear();
  ds.Post();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ds.rows.size(), 5u);
}

TEST_F(Editing, RefreshRereadsTheCurrentRecord) {
  ds.Next();
  ds.rows[1][0] = dbtest::I32(222);  // changed by someone else
  EXPECT_EQ(Id()->AsInteger(), 2);
  ds.Refresh();
  EXPECT_EQ(Id()->AsInteger(), 222);
}

TEST_F(Editing, EventsOfAnEdit) {
  std::vector<std::string> log;
  auto rec = [&log](const char* n) {
    return TDataSetNotifyEvent::FromFunction([&log, n](TDataSet*) { log.push_back(n); });
  };
  ds.BeforeEdit = rec("BeforeEdit");
  ds.AfterEdit = rec("AfterEdit");
  ds.BeforePost = rec("BeforePost");
  ds.AfterPost = rec("AfterPost");
  ds.BeforeInsert = rec("BeforeInsert");
  ds.OnNewRecord = rec("OnNewRecord");
  ds.AfterInsert = rec("AfterInsert");
  ds.BeforeScroll = rec("BeforeScroll");
  ds.AfterScroll = rec("AfterScroll");
  ds.Edit();
  Id()->SetAsInteger(8);
  ds.Post();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  log.clear();
  ds.Insert();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                                           "AfterScroll"}));
  ds.Cancel();
}

}  // namespace
