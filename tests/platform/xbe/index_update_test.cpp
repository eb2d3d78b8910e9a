// Index updates on files another program filled: its CDX leaves share the dropped trailing
// blank of the previous key, and they must stay writable; and updates that fail halfway leave
// the table and its orders as they were.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/rtl/exception.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

using namespace xbetest;
namespace fs = std::filesystem;

namespace {

class CdxFill : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::FixturesDir().empty()) GTEST_SKIP() << "reference files ../shared/fixtures/xbase not found; skipped";
    testsupport::CopyFixture("cdx-fill", dir());
    table_ = Open();
    file_ = xbe::IndexFile::OpenStructural(*table_);
    ASSERT_TRUE(file_);
    ASSERT_EQ(file_->Tags().size(), 1u);
  }
  fs::path dir() const { return tmp_.path() / "d"; }
  std::unique_ptr<xbe::Table> Open() {
    xbe::OpenRequest request;
    request.name = (dir() / "R").string();
    request.type = xbe::TableType::kCdx;
    return xbe::Table::Open(request);
  }
  std::size_t K() const { return *table_->Fields().Find("K"); }
  void Set(std::uint32_t recno, const char* k) {
    ASSERT_TRUE(table_->GotoRecord(recno));
    table_->SetFieldText(K(), k);
  }

  // The tag as it reads from the file, in this handle and in a fresh one, against the keys a
  // rebuild makes from the records: every record, by key and record number.
  void ExpectTagEqualsRebuild(const std::string& step) {
    SCOPED_TRACE(step);
    std::vector<xbe::index::KeyEntry> want;
    table_->ForEachRecord([&](const xbe::RecordView& r) {
      want.push_back({r.FieldString(K()), r.RecordNumber()});
    });
    std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
      return a.key != b.key ? a.key < b.key : a.recno < b.recno;
    });
    xbe::index::Order& mine = *file_->Tags()[0].order;
    EXPECT_NO_THROW(mine.Check());
    EXPECT_EQ(mine.Entries(), want);
    auto other = Open();
    auto fresh = xbe::IndexFile::OpenStructural(*other);
    xbe::index::Order& theirs = *fresh->Tags()[0].order;
    EXPECT_NO_THROW(theirs.Check());
    EXPECT_EQ(theirs.Entries(), want);
    EXPECT_EQ(theirs.KeyCount(), table_->RecordCount());
  }

  testsupport::TempDir tmp_;
  std::unique_ptr<xbe::Table> table_;
  std::shared_ptr<xbe::IndexFile> file_;
};

TEST_F(CdxFill, ChangesOnLeavesTheOtherProgramFilledKeepEveryKey) {
  ExpectTagEqualsRebuild("as delivered");
  Set(1, "ZZ");
  table_->Write();
  ExpectTagEqualsRebuild("record 1 changed to ZZ");
  table_->Append();
  table_->SetFieldText(K(), "AA");
  table_->Write();
  ExpectTagEqualsRebuild("AA appended");
  for (std::uint32_t recno : {2u, 54u, 300u}) {
    ASSERT_TRUE(table_->GotoRecord(recno));
    table_->Delete();
    table_->Write();
    ExpectTagEqualsRebuild("record " + std::to_string(recno) + " deleted");
    table_->Recall();
    table_->Write();
    ExpectTagEqualsRebuild("record " + std::to_string(recno) + " recalled");
  }
  // Keys that extend the key before them, written by us this time.
  for (const char* k : {"BA", "BA 1", "BA 12", "B"}) {
    table_->Append();
    table_->SetFieldText(K(), k);
    table_->Write();
  }
  ExpectTagEqualsRebuild("extending keys appended");
}

// A write of the index that fails at any point (the disk full, say) leaves both files exactly
// as they were, and the same change then succeeds.
TEST_F(CdxFill, AnIndexUpdateFailingHalfwayLeavesTableAndTagAsTheyWere) {
  struct Change {
    const char* name;
    bool append;
    std::uint32_t recno;
    const char* key;
  };
  const Change changes[] = {
      {"an append that splits a leaf", true, 0, "AA"},
      {"a key moving to another leaf", false, 1, "ZZ"},
      {"a key moving within its leaf", false, 3, "BA 0"},
  };
  const std::string dbf = (dir() / "R.dbf").string(), cdx = (dir() / "R.cdx").string();
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    bool succeeded = false;
    for (std::size_t failAt = 0; failAt < 64 && !succeeded; ++failAt) {
      const std::string dbfBefore = ReadFile(dbf), cdxBefore = ReadFile(cdx);
      file_->FailWriteAfter(failAt);
      if (c.append) {
        table_->Append();
        table_->SetFieldText(K(), c.key);
      } else {
        Set(c.recno, c.key);
      }
      try {
        table_->Write();
        succeeded = true;
      } catch (const rtl::Exception&) {
        table_->Cancel();
      }
      file_->FailWriteAfter(std::nullopt);
      if (!succeeded) {
        EXPECT_TRUE(ReadFile(dbf) == dbfBefore) << "the table changed; failure after " << failAt << " writes";
        EXPECT_TRUE(ReadFile(cdx) == cdxBefore) << "the index changed; failure after " << failAt << " writes";
      }
      ExpectTagEqualsRebuild("failure after " + std::to_string(failAt) + " writes");
      if (HasFailure()) return;
    }
    EXPECT_TRUE(succeeded);
  }
}

// A record change touches every open index file: when one of them fails, the others that were
// already changed are written back too, and the record is not written.
TEST(IndexUpdate, AFailingIndexFileUndoesTheOthersAndTheRecord) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  testsupport::CopyFixture("ntx", tmp.path());
  xbe::OpenRequest request;
  request.name = (tmp.path() / "people").string();
  auto table = xbe::Table::Open(request);
  const char* const names[] = {"peocod.ntx", "peonom.ntx", "peodat.ntx", "peodes.ntx", "peofor.ntx"};
  std::vector<std::shared_ptr<xbe::IndexFile>> files;
  std::vector<std::string> before;
  for (const char* n : names) {
    files.push_back(xbe::IndexFile::Open(*table, (tmp.path() / n).string()));
    before.push_back(ReadFile((tmp.path() / n).string()));
  }
  const std::string dbf = (tmp.path() / "people.dbf").string();
  const std::string dbfBefore = ReadFile(dbf);
  auto change = [&] {
    ASSERT_TRUE(table->GotoRecord(7));
    table->SetFieldText(*table->Fields().Find("CODIGO"), "777777");
    table->SetFieldText(*table->Fields().Find("NOME"), "NOME TROCADO");
  };
  change();
  files[2]->FailWriteAfter(0);
  EXPECT_THROW(table->Write(), rtl::Exception);
  table->Cancel();
  files[2]->FailWriteAfter(std::nullopt);
  EXPECT_TRUE(ReadFile(dbf) == dbfBefore) << "the record was written";
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_TRUE(ReadFile((tmp.path() / names[i]).string()) == before[i]) << names[i] << " changed";

  change();
  table->Write();
  for (auto& f : files) {
    xbe::IndexFile::Tag& tag = f->Tags()[0];
    std::vector<xbe::index::KeyEntry> want;
    table->ForEachRecord([&](const xbe::RecordView& r) {
      if (auto e = f->EntryOf(tag, r)) want.push_back(*e);
    });
    std::sort(want.begin(), want.end(), [&](const auto& a, const auto& b) {
      if (a.key != b.key) return (a.key < b.key) != tag.order->Info().descending;
      return a.recno < b.recno;
    });
    EXPECT_TRUE(tag.order->Entries() == want) << f->FileName();
  }
}

}  // namespace
