// Data dictionaries: the dictionary file made through the C++ interface, dictionary connections
// with user name and password, tables opened by dictionary name, table and user properties and
// the listing of table objects.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/dictionary/password_hash.h"
#include "platform/xbe/errors.h"

namespace {

using namespace xbetest;
using xbe::dictionary::Dictionary;
using xbe::dictionary::TableEntry;

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(PasswordHash, MatchesPublishedVectors) {
  const auto abc = xbe::dictionary::Sha256("abc");
  EXPECT_EQ(Hex(std::string_view(reinterpret_cast<const char*>(abc.data()), abc.size())),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 1000 bytes: several blocks and a tail that needs a second padding block.
  const auto long_ = xbe::dictionary::Sha256(std::string(1000, 'a'));
  EXPECT_EQ(Hex(std::string_view(reinterpret_cast<const char*>(long_.data()), long_.size())),
            "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
  EXPECT_EQ(Hex(xbe::dictionary::Pbkdf2Sha256("passwd", "salt", 1, 64)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
  EXPECT_EQ(Hex(xbe::dictionary::Pbkdf2Sha256("password", "salt", 4096, 32)),
            "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
}

// The ntx and cdx reference folders copied beside a dictionary "loja.xdd" that lists:
//   PESSOAS   ntx\people, NTX, default index PEONOM, index files peonom and peocod
//   ESTOQUE   cdx\STOCK.dbf, CDX, OEM, default index DESCR (a tag of the structural file)
//   AVULSA    ntx\people, NTX, no default index and no index files
// and the users ANA (password "s3nha", groups Caixa and Gerencia) and BETO (empty password,
// no group).
class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURES();
    testsupport::CopyFixture("ntx", tmp.path() / "ntx");
    testsupport::CopyFixture("cdx", tmp.path() / "cdx");
    path = (tmp.path() / "loja.xdd").string();
    auto d = Dictionary::Create(path);
    d->AddTable({"PESSOAS", "ntx\\people", xbe::TableType::kNtx, xbe::CharType::kAnsi, "PEONOM",
                 {"ntx\\peonom.ntx", "ntx\\peocod"}});
    d->AddTable({"ESTOQUE", "cdx\\STOCK.dbf", xbe::TableType::kCdx, xbe::CharType::kOem, "DESCR", {}});
    d->AddTable({"AVULSA", "ntx\\people", xbe::TableType::kNtx, xbe::CharType::kAnsi, "", {}});
    d->AddGroup("Caixa");
    d->AddGroup("Gerencia");
    d->AddUser("ANA", "s3nha", {"Caixa", "Gerencia"});
    d->AddUser("BETO", "");
  }
  void TearDown() override {
    if (conn) XbeDisconnect(conn);
  }

  XBERESULT Connect(const char* user, const char* password) {
    return XbeConnect60(path.c_str(), 1, user, password, 0, &conn);
  }
  XBEHANDLE Open(const char* name, XBERESULT expected = 0) {
    XBEHANDLE t = 0;
    EXPECT_EQ(XbeOpenTable(conn, name, nullptr, 0, XBE_ANSI, 0, 1, 0, &t), expected) << LastErrorText();
    return t;
  }

  testsupport::TempDir tmp;
  std::string path;
  XBEHANDLE conn = 0;
};

TEST_F(DictionaryTest, ConnectsOnlyWithAListedUserAndTheRightPassword) {
  struct Case {
    const char* user;
    const char* password;
    XBERESULT expected;
  } cases[] = {
      {"ANA", "s3nha", 0},     {"ana", "s3nha", 0},   // user names without regard to case
      {"ANA", "S3NHA", 6015},  {"ANA", "s3nha ", 6015}, {"ANA", "", 6015},
      {"BETO", "", 0},         {"BETO", nullptr, 0},  {"BETO", "x", 6015},
      {"CARLA", "s3nha", 6015}, {"", "", 6015},       {nullptr, nullptr, 6015},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user ? c.user : "(null)") + "/" + (c.password ? c.password : "(null)"));
    conn = 0;
    ASSERT_EQ(Connect(c.user, c.password), c.expected) << LastErrorText();
    if (c.expected == 0) {
      EXPECT_NE(conn, 0u);
      EXPECT_EQ(XbeDisconnect(conn), 0u);
    } else {
      EXPECT_EQ(conn, 0u);  // nothing handed out
      EXPECT_NE(LastErrorText().find("the user name or the password is not valid"), std::string::npos)
          << LastErrorText();
    }
  }
  conn = 0;
  // A connection without a user name is refused too.
  EXPECT_EQ(XbeConnect(path.c_str(), &conn), 6015u);
}

TEST_F(DictionaryTest, KeepsNoPasswordText) {
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.find("s3nha"), std::string::npos);
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
}

TEST_F(DictionaryTest, RefusesMissingAndForeignFiles) {
  const std::string missing = (tmp.path() / "nada.xdd").string();
  EXPECT_EQ(XbeConnect60(missing.c_str(), 1, "ANA", "s3nha", 0, &conn), 6002u);
  EXPECT_FALSE(std::filesystem::exists(missing));  // not created by the attempt
  const std::string text = (tmp.path() / "texto.xdd").string();
  std::ofstream(text) << "not a dictionary";
  EXPECT_EQ(XbeConnect60(text.c_str(), 1, "ANA", "s3nha", 0, &conn), 6006u);
  EXPECT_EQ(conn, 0u);
  EXPECT_THROW(Dictionary::Create(path), xbe::Error);  // an existing file is never replaced
}

TEST_F(DictionaryTest, OpensListedTablesWithTheirTypeAndIndexes) {
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  // The caller's type 0 and character type are passed over: the dictionary decides.
  XBEHANDLE people = Open("pessoas");
  ASSERT_NE(people, 0u);
  uint16_t type = 0, orders = 0;
  XBE_OK(XbeGetTableType(people, &type));
  EXPECT_EQ(type, XBE_NTX);
  EXPECT_EQ(RecordCount(people), 400u);
  XBE_OK(XbeGetNumIndexes(people, &orders));
  EXPECT_EQ(orders, 2u);

  // The default index names an order of the open table.
  char name[201];
  uint16_t length = 200;
  XBE_OK(XbeDDGetTableProperty(conn, "Pessoas", XBE_DD_TABLE_DEFAULT_INDEX, name, &length));
  EXPECT_EQ(std::string(name, length), "PEONOM");
  XBEHANDLE order = 0;
  XBE_OK(XbeGetIndexHandle(people, name, &order));
  XBE_OK(XbeGotoTop(order));
  XBEHANDLE byCode = 0;
  XBE_OK(XbeGetIndexHandle(people, "PEOCOD", &byCode));

  XBEHANDLE stock = Open("ESTOQUE");
  ASSERT_NE(stock, 0u);
  XBE_OK(XbeGetTableType(stock, &type));
  EXPECT_EQ(type, XBE_CDX);
  uint16_t chars = 0;
  XBE_OK(XbeGetTableCharType(stock, &chars));
  EXPECT_EQ(chars, XBE_OEM);
  length = 200;
  XBE_OK(XbeDDGetTableProperty(conn, "ESTOQUE", XBE_DD_TABLE_DEFAULT_INDEX, name, &length));
  XBE_OK(XbeGetIndexHandle(stock, name, &order));
  XBE_OK(XbeCloseTable(stock));
  XBE_OK(XbeCloseTable(people));
}

TEST_F(DictionaryTest, UnlistedNameAnswers5132AndOpensByItsPath) {
  ASSERT_EQ(Connect("BETO", ""), 0u);
  XBEHANDLE t = 0x1234;
  EXPECT_EQ(XbeOpenTable(conn, "people", nullptr, 0, XBE_ANSI, 0, 1, 0, &t), 5132u);
  EXPECT_EQ(t, 0x1234u);
  // The free-table retry: the path and the table type.
  const std::string free = tmp.str() + "\\ntx\\people";
  XBE_OK(XbeOpenTable(conn, free.c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, 1, 0, &t));
  EXPECT_EQ(RecordCount(t), 400u);
  XBE_OK(XbeCloseTable(t));
}

TEST_F(DictionaryTest, RestructuresByDictionaryName) {
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  EXPECT_EQ(XbeRestructureTable(conn, "people", nullptr, 0, XBE_ANSI, 0, 1, "EXTRA,C,5,0", "", ""), 5132u);
  XBE_OK(XbeRestructureTable(conn, "avulsa", nullptr, 0, XBE_ANSI, 0, 1, "EXTRA,C,5,0", "", ""));
  const std::string free = tmp.str() + "\\ntx\\people";
  XBEHANDLE t = 0;
  XBE_OK(XbeOpenTable(conn, free.c_str(), nullptr, XBE_NTX, XBE_ANSI, 0, 1, 0, &t));
  EXPECT_EQ(FieldName(t, FieldCount(t)), "EXTRA");
  XBE_OK(XbeCloseTable(t));
}

TEST_F(DictionaryTest, ATableWhoseIndexFileIsMissingDoesNotOpen) {
  {
    auto d = Dictionary::Open(path, true);
    d->AddTable({"QUEBRADA", "ntx\\people", xbe::TableType::kNtx, xbe::CharType::kAnsi, "SUMIU",
                 {"ntx\\peocod.ntx", "ntx\\sumiu.ntx"}});
  }
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  uint16_t before = 0, after = 0;
  XBE_OK(XbeGetNumOpenTables(&before));
  Open("QUEBRADA", 6002);
  EXPECT_NE(LastErrorText().find("sumiu"), std::string::npos) << LastErrorText();
  XBE_OK(XbeGetNumOpenTables(&after));
  EXPECT_EQ(after, before);
}

TEST_F(DictionaryTest, PropertiesAnswerTheirSizeAndTheirAbsence) {
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  struct Case {
    bool user;
    const char* name;
    XBERESULT expected;
    const char* value;
  } cases[] = {
      {false, "PESSOAS", 0, "PEONOM"},
      {false, "AVULSA", 5138, nullptr},   // listed, no default index
      {false, "people", 5132, nullptr},   // not listed
      {true, "ana", 0, "Caixa;Gerencia"},
      {true, "BETO", 5138, nullptr},      // no group
      {true, "CARLA", 5132, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto get = [&](void* buffer, uint16_t* length) {
      return c.user ? XbeDDGetUserProperty(conn, c.name, XBE_DD_USER_GROUP_MEMBERSHIP, buffer, length)
                    : XbeDDGetTableProperty(conn, c.name, XBE_DD_TABLE_DEFAULT_INDEX, buffer, length);
    };
    // No buffer: the size needed, terminating zero included (as the catalogue asks first).
    uint16_t length = 0;
    const XBERESULT sized = get(nullptr, &length);
    if (c.expected != 0) {
      EXPECT_EQ(sized, c.expected) << LastErrorText();
      EXPECT_EQ(length, 0u);  // left alone
      continue;
    }
    const std::string value = c.value;
    EXPECT_EQ(sized, 5005u);
    EXPECT_EQ(length, value.size() + 1);
    std::vector<char> buffer(length, '#');
    length = static_cast<uint16_t>(value.size());  // one short
    EXPECT_EQ(get(buffer.data(), &length), 5005u);
    EXPECT_EQ(buffer[0], '#');
    length = static_cast<uint16_t>(buffer.size());
    XBE_OK(get(buffer.data(), &length));
    EXPECT_EQ(std::string(buffer.data()), value);
    EXPECT_EQ(length, value.size());
  }
  uint16_t length = 10;
  char text[10];
  EXPECT_EQ(XbeDDGetTableProperty(conn, "PESSOAS", 214, text, &length), 6008u);
  EXPECT_EQ(XbeDDGetUserProperty(conn, "ANA", 1101, text, &length), 6008u);
}

TEST_F(DictionaryTest, ListsTableObjectsAndClosesTheFind) {
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  std::vector<std::string> names;
  char name[201];
  uint16_t length = 200;
  XBEHANDLE find = 0;
  XBE_OK(XbeDDFindFirstObject(conn, XBE_DD_TABLE_OBJECT, "", name, &length, &find));
  XBERESULT r = 0;
  while (r == 0) {
    names.emplace_back(name, length);
    length = 200;
    r = XbeDDFindNextObject(conn, find, name, &length);
  }
  EXPECT_EQ(r, 5137u);
  EXPECT_EQ(names, (std::vector<std::string>{"PESSOAS", "ESTOQUE", "AVULSA"}));
  EXPECT_EQ(XbeDDFindNextObject(conn, find, name, &length), 5137u);  // stays at the end
  XBE_OK(XbeDDFindClose(conn, find));
  EXPECT_EQ(XbeDDFindNextObject(conn, find, name, &length), 6001u);
  EXPECT_EQ(XbeDDFindClose(conn, find), 6001u);

  // A name that does not fit: 5005 with the size, and no find handle left behind.
  length = 3;
  XBEHANDLE none = 0;
  EXPECT_EQ(XbeDDFindFirstObject(conn, XBE_DD_TABLE_OBJECT, "", name, &length, &none), 5005u);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(none, 0u);
  EXPECT_EQ(XbeDDFindFirstObject(conn, 11, "", name, &length, &none), 6008u);
}

// The table search with no pattern lists what the dictionary holds, each with its data file.
TEST_F(DictionaryTest, TableSearchWithoutPatternListsTheDictionaryTables) {
  ASSERT_EQ(Connect("ANA", "s3nha"), 0u);
  std::vector<std::string> names, files;
  char name[260], file[260];
  uint16_t length = 260, fileLength = 260;
  XBEHANDLE search = 0;
  XBERESULT r = XbeFindFirstTable62(conn, "", name, &length, file, &fileLength, &search);
  ASSERT_EQ(r, 0u) << LastErrorText();
  while (r == 0) {
    names.emplace_back(name, length);
    files.emplace_back(file, fileLength);
    length = fileLength = 260;
    r = XbeFindNextTable62(conn, search, name, &length, file, &fileLength);
  }
  EXPECT_EQ(r, 5059u);
  XBE_OK(XbeFindClose(conn, search));
  EXPECT_EQ(names, (std::vector<std::string>{"PESSOAS", "ESTOQUE", "AVULSA"}));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_NE(files[1].find("STOCK.dbf"), std::string::npos) << files[1];
}

TEST_F(DictionaryTest, EmptyDictionaryListsNothing) {
  const std::string empty = (tmp.path() / "vazio.xdd").string();
  Dictionary::Create(empty)->AddUser("ANA", "x");
  ASSERT_EQ(XbeConnect60(empty.c_str(), 1, "ANA", "x", 0, &conn), 0u) << LastErrorText();
  char name[20];
  uint16_t length = 20;
  XBEHANDLE find = 0;
  EXPECT_EQ(XbeDDFindFirstObject(conn, XBE_DD_TABLE_OBJECT, "", name, &length, &find), 5137u);
  EXPECT_EQ(find, 0u);
}

TEST_F(DictionaryTest, DirectoryConnectionsHaveNoDictionary) {
  Connection plain(tmp.str());
  char name[20];
  uint16_t length = 20;
  XBEHANDLE find = 0;
  EXPECT_EQ(XbeDDFindFirstObject(plain.handle(), XBE_DD_TABLE_OBJECT, "", name, &length, &find), 6008u);
  EXPECT_EQ(XbeDDGetTableProperty(plain.handle(), "PESSOAS", XBE_DD_TABLE_DEFAULT_INDEX, name, &length), 6008u);
}

TEST_F(DictionaryTest, RefusedAdditionsChangeNothing) {
  auto d = Dictionary::Open(path, true);
  EXPECT_THROW(d->AddTable({"pessoas", "x", xbe::TableType::kNtx, xbe::CharType::kAnsi, "", {}}), xbe::Error);
  EXPECT_THROW(d->AddTable({"ntx\\people", "x", xbe::TableType::kNtx, xbe::CharType::kAnsi, "", {}}), xbe::Error);
  EXPECT_THROW(d->AddGroup("Caixa;Extra"), xbe::Error);
  EXPECT_THROW(d->AddUser("ana", "y"), xbe::Error);
  // A user with a group the dictionary does not have is not added at all.
  EXPECT_THROW(d->AddUser("CARLA", "y", {"Caixa", "Estoque"}), xbe::Error);
  EXPECT_FALSE(d->HasUser("CARLA"));
  EXPECT_EQ(d->TableNames(), (std::vector<std::string>{"PESSOAS", "ESTOQUE", "AVULSA"}));
  EXPECT_TRUE(d->CheckPassword("ANA", "s3nha"));
}

}  // namespace
