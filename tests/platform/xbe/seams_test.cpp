// The table core's seams for index orders: record hooks see every change with both images,
// a hook can refuse a change, and navigation follows any order through the one cursor.
#include <gtest/gtest.h>

#include "platform/xbe/errors.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

namespace {

struct Seen {
  xbe::RecordChange change;
  std::uint32_t recno;
  bool hadBefore;
  char beforeFlag, afterFlag;
  std::string afterCidade;
};

class RecordingHook : public xbe::RecordHook {
 public:
  void BeforeChange(xbe::RecordChange change, const xbe::RecordView* before, const xbe::RecordView& after) override {
    if (refuse) xbe::Fail(xbe::kInvalidValue, "refused by the order");
    pending = {change, after.RecordNumber(), before != nullptr, before ? before->Image()[0] : '?', after.Image()[0],
               after.FieldString(*after.FieldIndex("cidade"))};
  }
  void ApplyChange(xbe::RecordChange, const xbe::RecordView*, const xbe::RecordView&) override { seen.push_back(pending); }
  bool refuse = false;
  Seen pending{};
  std::vector<Seen> seen;
};

// Record numbers from the last to the first: a stand-in for an index order.
class ReverseOrder : public xbe::Order {
 public:
  explicit ReverseOrder(xbe::Table& t) : t_(t) {}
  std::uint32_t First() override { return t_.RecordCount(); }
  std::uint32_t Last() override { return t_.RecordCount() ? 1 : 0; }
  std::uint32_t Next(const xbe::RecordView& c) override { return c.RecordNumber() > 1 ? c.RecordNumber() - 1 : 0; }
  std::uint32_t Prior(const xbe::RecordView& c) override {
    return c.RecordNumber() < t_.RecordCount() ? c.RecordNumber() + 1 : 0;
  }
  bool Contains(const xbe::RecordView& r) override { return r.RecordNumber() % 2 == 0; }  // a "scope"
  int Compare(const xbe::RecordView& a, const xbe::RecordView& b) override {
    return static_cast<int>(b.RecordNumber()) - static_cast<int>(a.RecordNumber());
  }

 private:
  xbe::Table& t_;
};

std::unique_ptr<xbe::Table> OpenPeople(const testsupport::TempDir& tmp) {
  testsupport::CopyFixture("ntx", tmp.path() / "d");
  xbe::OpenRequest request;
  request.name = (tmp.path() / "d" / "people").string();
  return xbe::Table::Open(request);
}

TEST(Seams, HooksSeeEveryChangeWithBothImages) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  auto t = OpenPeople(tmp);
  RecordingHook hook;
  t->AddHook(&hook);
  t->Append();
  t->SetFieldText(*t->Fields().Find("CIDADE"), "NOVA");
  t->Write();
  ASSERT_TRUE(t->GotoRecord(5));
  t->Delete();
  t->Write();
  t->Recall();
  t->Write();
  t->SetFieldText(*t->Fields().Find("CIDADE"), "OUTRA");
  t->Write();
  ASSERT_EQ(hook.seen.size(), 4u);
  EXPECT_EQ(hook.seen[0].change, xbe::RecordChange::kAppend);
  EXPECT_EQ(hook.seen[0].recno, 401u);
  EXPECT_FALSE(hook.seen[0].hadBefore);
  EXPECT_EQ(hook.seen[0].afterCidade.substr(0, 4), "NOVA");
  EXPECT_EQ(hook.seen[1].change, xbe::RecordChange::kDelete);
  EXPECT_EQ(hook.seen[1].beforeFlag, ' ');
  EXPECT_EQ(hook.seen[1].afterFlag, '*');
  EXPECT_EQ(hook.seen[2].change, xbe::RecordChange::kRecall);
  EXPECT_EQ(hook.seen[3].change, xbe::RecordChange::kWrite);
  EXPECT_EQ(hook.seen[3].recno, 5u);

  // A refusal leaves the stored record as it was and the change pending.
  hook.refuse = true;
  t->SetFieldText(*t->Fields().Find("CIDADE"), "RECUSADA");
  EXPECT_THROW(t->Write(), xbe::Error);
  EXPECT_TRUE(t->Cancel());
  t->Refresh();
  EXPECT_EQ(t->GetFieldText(*t->Fields().Find("CIDADE")).substr(0, 5), "OUTRA");
  t->RemoveHook(&hook);
}

TEST(Seams, NavigationFollowsAnyOrderThroughTheOneCursor) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  auto t = OpenPeople(tmp);
  ReverseOrder reverse(*t);
  t->GotoTop(reverse);
  EXPECT_EQ(t->CurrentRecordNumber(), 400u);
  t->Skip(reverse, 1);
  EXPECT_EQ(t->CurrentRecordNumber(), 398u);
  // The natural order moves the same cursor on from where the other order left it.
  t->Skip(t->Natural(), 1);
  EXPECT_EQ(t->CurrentRecordNumber(), 399u);
  t->GotoBottom(reverse);
  EXPECT_EQ(t->CurrentRecordNumber() % 2, 0u);
  t->Skip(reverse, 1);
  EXPECT_TRUE(t->CursorState().eof);
}

}  // namespace
