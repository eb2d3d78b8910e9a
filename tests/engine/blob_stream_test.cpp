// Memo and binary contents through blob streams and blob fields, against the real engine on
// copies of the reference files: reading every memo of the fixtures, writing memos of every
// size in both memo formats (checked through the layer and in the files themselves), binary
// contents, cancelling, the stream rules, and streams that outlive their record.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dump.h"
#include "engine/xbeblob.h"
#include "enginetest.h"
#include "platform/db/blobfields.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage.h"
#include "testsupport.h"

namespace fs = std::filesystem;
using enginetest::MessageOf;
using namespace rtl::literals;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8;
}
std::uint32_t Be32(const std::string& s, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at])) << 24 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 2])) << 8 | static_cast<std::uint8_t>(s[at + 3]);
}

// A memo as the files hold it, read without the engine: the record's reference, then the
// block in the .dbt (text up to 0x1A) or the .fpt (type and length first). Empty without one.
std::string RawMemo(const fs::path& dbf, const fs::path& memo, const std::string& field, int record) {
  const std::string table = ReadFile(dbf);
  const std::uint32_t headerLength = Le16(table, 8), recordLength = Le16(table, 10);
  std::uint32_t offset = 1, length = 0;
  for (std::size_t at = 32; table[at] != '\x0D'; at += 32) {
    length = static_cast<std::uint8_t>(table[at + 16]);
    if (table.compare(at, field.size() + 1, field + std::string(1, '\0')) == 0) break;
    offset += length;
  }
  const std::string reference =
      table.substr(headerLength + (record - 1) * recordLength + offset, length);
  const std::uint32_t block = static_cast<std::uint32_t>(std::strtoul(reference.c_str(), nullptr, 10));
  if (block == 0) return std::string();
  const std::string file = ReadFile(memo);
  if (memo.extension() == ".dbt") {
    const std::size_t start = block * 512u;
    return file.substr(start, file.find('\x1A', start) - start);
  }
  const std::uint32_t blockSize = Be32(file, 4);
  const std::size_t start = static_cast<std::size_t>(block) * blockSize;
  return file.substr(start + 8, Be32(file, start + 4));
}

std::string ReadAll(classes::TStream& stream) {
  std::string data;
  char chunk[4096];
  for (std::int64_t n; (n = stream.Read(chunk, sizeof chunk)) > 0;) data.append(chunk, static_cast<std::size_t>(n));
  return data;
}

std::string ReadBlob(TXbeTable& t, const char* field) {
  const auto stream = t.CreateBlobStream(t.FieldByName(field), db::BlobMode::Read);
  return ReadAll(*stream);
}

void WriteBlob(TXbeTable& t, const char* field, const std::string& data, db::BlobMode mode = db::BlobMode::Write) {
  const auto stream = t.CreateBlobStream(t.FieldByName(field), mode);
  stream->WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
}

struct MemoTable {
  const char* folder;
  const char* name;
  TXbeTableTypes type;
  const char* memoFile;
  const char* field;
  const char* dump;
};

void PrintTo(const MemoTable& m, std::ostream* os) { *os << m.name; }

const MemoTable kPeople{"ntx", "people", ttXbeNTX, "people.dbt", "OBS", "people.txt"};
const MemoTable kStock{"cdx", "STOCK", ttXbeCDX, "STOCK.fpt", "NOTAS", "stock.txt"};
const MemoTable kMl2{"ml/installed", "ML2", ttXbeNTX, "ML2.DBT", "OBS", "ml2-installed.txt"};

class Blobs : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    ASSERT_EQ(XbeShowDeleted(1), 0u);
  }
  void TearDown() override { XbeShowDeleted(0); }

  std::unique_ptr<TXbeTable> Open(const MemoTable& m) {
    const fs::path dir = tmp_.path() / m.folder;
    if (!fs::exists(dir)) testsupport::CopyFixture(m.folder, dir);
    auto t = enginetest::UpdaterTable(&form_, "Tabela", dir.string(), m.name, false);
    t->SetTableType(m.type);
    t->Open();
    return t;
  }
  fs::path Dbf(const MemoTable& m) const { return tmp_.path() / m.folder / (std::string(m.name) + ".dbf"); }
  fs::path Memo(const MemoTable& m) const { return tmp_.path() / m.folder / m.memoFile; }

  testsupport::TempDir tmp_;
  classes::TComponent form_{nullptr};
};

class FixtureMemos : public Blobs, public ::testing::WithParamInterface<MemoTable> {};

// Every memo of the reference tables, deleted records included, read through the table's blob
// field (and once more through a stream of its own) as the program's text.
TEST_P(FixtureMemos, EveryMemoReadsAsTheDump) {
  const MemoTable& m = GetParam();
  const enginetest::Dump dump = enginetest::ReadDump((testsupport::FixturesDir() / "expected" / m.dump).string());
  std::size_t column = 0;
  while (dump.fields[column].name != m.field) ++column;
  auto t = Open(m);
  db::TField* field = t->FieldByName(m.field);
  ASSERT_NE(dynamic_cast<db::TMemoField*>(field), nullptr);
  std::size_t n = 0, withText = 0;
  for (t->First(); !t->Eof(); t->Next(), ++n) {
    ASSERT_LT(n, dump.records.size());
    const auto& r = dump.records[n];
    ASSERT_EQ(t->RecNo(), r.recno);
    const std::string want = rtl::OemToAnsi(enginetest::MemoText(r.values[column]));
    EXPECT_EQ(field->AsString(), want) << "record " << r.recno;
    EXPECT_EQ(ReadBlob(*t, m.field), want) << "record " << r.recno;
    EXPECT_EQ(field->IsNull(), want.empty()) << "record " << r.recno;
    withText += want.empty() ? 0 : 1;
  }
  EXPECT_EQ(n, dump.records.size());
  EXPECT_GT(withText, 0u);
}

INSTANTIATE_TEST_SUITE_P(ReferenceTables, FixtureMemos, ::testing::Values(kPeople, kStock, kMl2));

class WrittenMemos : public Blobs, public ::testing::WithParamInterface<MemoTable> {};

// Memos of every size written through the layer read back the same through the layer and, in
// the table's code page, straight from the files.
TEST_P(WrittenMemos, ReadBackThroughTheLayerAndTheFiles) {
  const MemoTable& m = GetParam();
  auto t = Open(m);
  const std::string memoBytes = ReadFile(Memo(m));
  // A block holds 512 bytes of a .dbt memo with its two end marks; an .fpt block its size
  // less the 8 bytes of type and length.
  const std::size_t block = m.type == ttXbeNTX ? 510 : Be32(memoBytes, 4) - 8;
  std::string mib;
  while (mib.size() < (1u << 20)) mib += "linha " + std::to_string(mib.size()) + " do texto longo\r\n";
  mib.resize(1u << 20);
  const std::vector<std::pair<int, std::string>> cases = {
      {2, ""},
      {3, "x"},
      {4, std::string(block, 'b')},
      {5, std::string(block + 1, 'c')},
      {6, std::string(4 * block + 17, 'v')},
      {7, mib},
      {8, std::string("Primeira linha\r\nAÇÃO e ÉRICA, pão com açúcar\r\nüõ"_ansi)},
  };
  for (const auto& [record, text] : cases) {
    SCOPED_TRACE("record " + std::to_string(record) + ", " + std::to_string(text.size()) + " bytes");
    t->SetRecNo(record);
    t->Edit();
    WriteBlob(*t, m.field, text);
    EXPECT_EQ(t->FieldByName(m.field)->IsNull(), text.empty());
    t->Post();
    EXPECT_EQ(ReadBlob(*t, m.field), text);
  }
  t.reset();
  t = Open(m);
  for (const auto& [record, text] : cases) {
    SCOPED_TRACE("record " + std::to_string(record) + ", " + std::to_string(text.size()) + " bytes");
    t->SetRecNo(record);
    EXPECT_TRUE(ReadBlob(*t, m.field) == text);
    EXPECT_EQ(t->FieldByName(m.field)->IsNull(), text.empty());
    EXPECT_TRUE(RawMemo(Dbf(m), Memo(m), m.field, record) == rtl::AnsiToOem(text));
  }
  // The same sizes again: each fits the blocks it has, so the memo file does not grow. (A .dbt
  // memo one byte over a block got two blocks with its two end marks, but only the first mark
  // is known to be its own: it moves.)
  const auto size = fs::file_size(Memo(m));
  for (const auto& [record, text] : cases) {
    if (m.type == ttXbeNTX && text.size() == block + 1) continue;
    t->SetRecNo(record);
    t->Edit();
    WriteBlob(*t, m.field, text);
    t->Post();
  }
  EXPECT_EQ(fs::file_size(Memo(m)), size);
}

INSTANTIATE_TEST_SUITE_P(BothMemoFormats, WrittenMemos, ::testing::Values(kPeople, kStock));

// A binary field keeps its bytes exactly: no code page conversion, zeros and 0x1A included.
TEST_F(Blobs, BinaryContentsRoundTrip) {
  auto t = Open(kStock);
  t->Close();
  t->RestructureTable("FOTO,Image,10,0", "", "");
  t->Open();
  db::TField* foto = t->FieldByName("FOTO");
  ASSERT_EQ(foto->DataType(), db::ftBlob);
  std::string bytes;
  for (int i = 0; i < 700; ++i) bytes += static_cast<char>(i * 7 % 256);
  t->SetRecNo(4);
  t->Edit();
  WriteBlob(*t, "FOTO", bytes);
  t->Post();
  t->Close();
  t->Open();
  t->SetRecNo(4);
  EXPECT_TRUE(ReadBlob(*t, "FOTO") == bytes);
  EXPECT_TRUE(RawMemo(Dbf(kStock), Memo(kStock), "FOTO", 4) == bytes);
  t->SetRecNo(5);
  EXPECT_TRUE(t->FieldByName("FOTO")->IsNull());  // the default fields are new after the reopen
  EXPECT_EQ(ReadBlob(*t, "FOTO"), "");
}

// Changes to a memo stay in the record buffer until the post: a cancel drops them and leaves
// the files as they were.
TEST_F(Blobs, CancelledEditLeavesTheStoredMemo) {
  auto t = Open(kPeople);
  t->SetRecNo(3);
  const std::string stored = ReadBlob(*t, "OBS");
  ASSERT_FALSE(stored.empty());
  const std::string memoBefore = ReadFile(Memo(kPeople)), dbfBefore = ReadFile(Dbf(kPeople));
  t->Edit();
  WriteBlob(*t, "OBS", "trocado");
  EXPECT_EQ(t->FieldByName("OBS")->AsString(), "trocado");
  t->Cancel();
  EXPECT_EQ(t->FieldByName("OBS")->AsString(), stored);
  t.reset();
  EXPECT_TRUE(ReadFile(Memo(kPeople)) == memoBefore);
  EXPECT_TRUE(ReadFile(Dbf(kPeople)) == dbfBefore);
  t = Open(kPeople);
  t->SetRecNo(3);
  EXPECT_EQ(ReadBlob(*t, "OBS"), stored);
}

TEST_F(Blobs, StreamRules) {
  auto t = Open(kPeople);
  auto* obs = static_cast<db::TBlobField*>(t->FieldByName("OBS"));
  t->SetRecNo(2);  // its memo is empty
  EXPECT_EQ(ReadBlob(*t, "OBS"), "");
  EXPECT_EQ(MessageOf([&] { t->CreateBlobStream(obs, db::BlobMode::Write); }),
            "Tabela: Table must be in Edit or Insert state to open blob stream in Write Mode.");
  EXPECT_EQ(MessageOf([&] { t->CreateBlobStream(obs, db::BlobMode::ReadWrite); }),
            "Tabela: Table must be in Edit or Insert state to open blob stream in Write Mode.");
  EXPECT_EQ(MessageOf([&] { WriteBlob(*t, "OBS", "x", db::BlobMode::Read); }), "Error modifying read only blob.");

  t->SetRecNo(3);
  const std::string stored = ReadBlob(*t, "OBS");
  t->Edit();
  {
    // A read-write stream starts with the contents; what it writes stays for the next stream.
    const auto rw = t->CreateBlobStream(obs, db::BlobMode::ReadWrite);
    EXPECT_EQ(rw->Size(), static_cast<std::int64_t>(stored.size()));
    rw->WriteBuffer("NOVO", 4);
    EXPECT_FALSE(obs->Modified());
  }
  EXPECT_TRUE(obs->Modified());
  {
    const auto rw = t->CreateBlobStream(obs, db::BlobMode::ReadWrite);
    EXPECT_EQ(ReadAll(*rw), "NOVO" + stored.substr(4));
    // Truncating cuts the contents where the stream stands.
    rw->Seek(6, classes::TSeekOrigin::soBeginning);
    static_cast<TXbeBlobStream&>(*rw).Truncate();
  }
  {
    // A write stream starts empty.
    const auto w = t->CreateBlobStream(obs, db::BlobMode::Write);
    EXPECT_EQ(w->Size(), 0);
  }
  EXPECT_TRUE(obs->IsNull());
  t->Cancel();
  t->Edit();
  WriteBlob(*t, "OBS", "NOVO", db::BlobMode::ReadWrite);
  {
    const auto rw = t->CreateBlobStream(obs, db::BlobMode::ReadWrite);
    rw->Seek(6, classes::TSeekOrigin::soBeginning);
    static_cast<TXbeBlobStream&>(*rw).Truncate();
  }
  t->Post();
  EXPECT_EQ(ReadBlob(*t, "OBS"), "NOVO" + stored.substr(4, 2));

  // An empty dataset has no record: its streams read nothing and take no writes.
  t->SetOnFilterRecord(db::TFilterRecordEvent::FromFunction([](db::TDataSet*, bool& accept) { accept = false; }));
  t->SetFiltered(true);
  t->First();
  ASSERT_TRUE(t->IsEmpty());
  TXbeBlobStream empty(obs, db::BlobMode::Write);
  EXPECT_FALSE(empty.HasCache());
  char c;
  EXPECT_EQ(empty.Read(&c, 1), 0);
  EXPECT_EQ(MessageOf([&] { empty.WriteBuffer("x", 1); }), "Cannot write to blob in current state.");
}

// A stream held while the dataset moves on never shows or takes another record's contents,
// and one held past the close of the dataset reads nothing.
TEST_F(Blobs, StreamsLoseTheirCacheWithTheirRecord) {
  auto t = Open(kPeople);
  db::TField* obs = t->FieldByName("OBS");
  t->SetRecNo(3);
  const auto held = t->CreateBlobStream(obs, db::BlobMode::Read);
  // Every buffer takes other records, whose memos are loaded into their caches.
  for (t->First(); !t->Eof(); t->Next()) ReadBlob(*t, "OBS");
  held->Seek(0, classes::TSeekOrigin::soBeginning);
  EXPECT_EQ(ReadAll(*held), "");
  t->Edit();
  auto rw = t->CreateBlobStream(obs, db::BlobMode::ReadWrite);
  t->Cancel();
  EXPECT_EQ(MessageOf([&] { rw->WriteBuffer("x", 1); }), "Cannot write to blob in current state.");
  rw.reset();
  const auto late = t->CreateBlobStream(obs, db::BlobMode::Read);
  t->Edit();
  auto written = t->CreateBlobStream(obs, db::BlobMode::Write);
  written->WriteBuffer("x", 1);
  t->Close();  // frees the default fields too
  char c;
  EXPECT_EQ(late->Read(&c, 1), 0);
  written.reset();
}

// A new record whose post failed keeps its memo: the contents follow the record number the
// append gave, so a stream opened to mend them still finds them.
TEST_F(Blobs, FailedPostOfANewRecordKeepsItsMemo) {
  auto t = Open(kPeople);
  const int count = t->RecordCount();
  t->Append();
  t->FieldByName("CODIGO")->SetAsInteger(999999);
  const std::string refused("antes\x1A" "depois");  // a .dbt memo cannot hold 0x1A
  WriteBlob(*t, "OBS", refused);
  EXPECT_NE(MessageOf([&] { t->Post(); }).find("0x1A"), std::string::npos);
  ASSERT_EQ(t->State(), db::DSState::Insert);
  {
    const auto rw = t->CreateBlobStream(t->FieldByName("OBS"), db::BlobMode::ReadWrite);
    EXPECT_EQ(ReadAll(*rw), refused);
    rw->Seek(5, classes::TSeekOrigin::soBeginning);
    rw->WriteBuffer(" ", 1);
  }
  t->Post();
  EXPECT_EQ(t->RecordCount(), count + 1);
  t->Last();
  EXPECT_EQ(t->FieldByName("CODIGO")->AsInteger(), 999999);
  EXPECT_EQ(ReadBlob(*t, "OBS"), "antes depois");
}

}  // namespace
