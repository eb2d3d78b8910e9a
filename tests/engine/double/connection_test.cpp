// The connection component against the test double: connecting, login, aliases, binding of
// datasets, renaming, transactions and the stored description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "../messageof.h"
#include "engine/xbecnnct.h"
#include "engine/xbetable.h"
#include "fake_xbe.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "testsupport.h"

using xbecnnct::XbeConnectionError;

namespace {

// A plain owner with a name, standing for a form.
class TOwnerForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TOwnerForm(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeConnection* Conn1 = nullptr;
  TXbeTable* Table1 = nullptr;
  std::vector<std::string> log;
  void Conn1Login(TXbeConnection*, std::string& user, std::string& password) {
    log.push_back("login");
    user = "ANA";
    password = "segredo";
  }
  void Conn1AfterConnect(classes::TObject*) { log.push_back("AfterConnect"); }
};

class Connection : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::E().fields = {{2, 4, 0, "CODCONV"}, {4, 40, 0, "NOMECONV"}};
  }
  // Records every event of the connection into `events`.
  void Watch(TXbeConnection& c) {
    const auto record = [this](const char* name) {
      return classes::TNotifyEvent::FromFunction([this, name](classes::TObject*) { events.push_back(name); });
    };
    c.BeforeConnect = record("BeforeConnect");
    c.AfterConnect = record("AfterConnect");
    c.OnConnect = record("OnConnect");
    c.BeforeDisconnect = record("BeforeDisconnect");
    c.AfterDisconnect = record("AfterDisconnect");
    c.OnDisconnect = record("OnDisconnect");
    c.BeforeCommit = record("BeforeCommit");
    c.AfterCommit = record("AfterCommit");
    c.BeforeRollback = record("BeforeRollback");
    c.AfterRollback = record("AfterRollback");
  }
  std::vector<std::string> events;
};

const std::string kDictionary = "F:\\LOJA\\LOJA.XDD";

}  // namespace

const classes::TClassInfo& TOwnerForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TOwnerForm, classes::TComponent>("TOwnerForm", [](auto& c) {
    c.Field("Conn1", &TOwnerForm::Conn1);
    c.Field("Table1", &TOwnerForm::Table1);
    c.Method("Conn1Login", &TOwnerForm::Conn1Login);
    c.Method("Conn1AfterConnect", &TOwnerForm::Conn1AfterConnect);
  });
  return info;
}

TEST_F(Connection, ConnectArgumentsFromServerTypesOptionsAndCompression) {
  struct Case {
    TXbeServerTypes types;
    bool middleTier, storedProcedure;
    TXbeCompressionTypes compression;
    const char* call;
  };
  const Case cases[] = {
      {{stXBE_LOCAL}, false, false, ccXbeCompressionNotSet, "XbeConnect60('F:\\DADOS',1,'','',0)"},
      {{stXBE_REMOTE, stXBE_XIS}, false, false, ccXbeCompressionNotSet, "XbeConnect60('F:\\DADOS',6,'','',0)"},
      {{}, true, false, ccXbeCompressInternet, "XbeConnect60('F:\\DADOS',0,'','',13)"},
      {{}, false, true, ccXbeCompressAlways, "XbeConnect60('F:\\DADOS',0,'','',6)"},
      {{stXBE_REMOTE, stXBE_LOCAL, stXBE_XIS}, true, true, ccXbeCompressNever,
       "XbeConnect60('F:\\DADOS',7,'','',11)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    fake::Reset();
    TXbeConnection conn(nullptr);
    conn.SetConnectPath("F:\\DADOS");
    conn.SetXbeServerTypes(c.types);
    conn.SetMiddleTierConnection(c.middleTier);
    conn.SetStoredProcedureConnection(c.storedProcedure);
    conn.SetCompression(c.compression);
    // Not a dictionary: user name and password are never sent, and no login happens.
    conn.SetUsername("ANA");
    conn.SetPassword("segredo");
    conn.OnLogin = TXbeDatabaseLoginEvent::FromFunction([](TXbeConnection*, std::string&, std::string&) {
      ADD_FAILURE() << "login on a directory connection";
    });
    conn.Connect();
    EXPECT_EQ(fake::CallsOf("XbeConnect60"), std::vector<std::string>{c.call});
    EXPECT_TRUE(conn.IsConnected());
    EXPECT_EQ(conn.ConnectionHandle(), 100);
  }
}

TEST_F(Connection, LoginOfADictionaryConnection) {
  // No handler and no dialog: Username and an empty password, and Password becomes empty.
  {
    TXbeConnection conn(nullptr);
    conn.SetConnectPath(kDictionary);
    conn.SetUsername("ANA");
    conn.SetPassword("antiga");
    conn.Connect();
    EXPECT_EQ(fake::CallsOf("XbeConnect60").back(), "XbeConnect60('" + kDictionary + "',0,'ANA','',0)");
    EXPECT_EQ(conn.Password(), "");
    EXPECT_EQ(conn.Username(), "ANA");
  }
  // The handler gets empty texts and decides both.
  {
    TXbeConnection conn(nullptr);
    conn.SetConnectPath(kDictionary);
    conn.SetUsername("ANA");
    std::string seenUser = "?";
    conn.OnLogin = TXbeDatabaseLoginEvent::FromFunction([&](TXbeConnection*, std::string& u, std::string& p) {
      seenUser = u;
      u = "BIA";
      p = "segredo";
    });
    conn.Connect();
    EXPECT_EQ(seenUser, "");
    EXPECT_EQ(fake::CallsOf("XbeConnect60").back(), "XbeConnect60('" + kDictionary + "',0,'BIA','segredo',0)");
    EXPECT_EQ(conn.Username(), "BIA");
    EXPECT_EQ(conn.Password(), "segredo");
  }
  // Without a prompt, the properties as they are.
  {
    TXbeConnection conn(nullptr);
    conn.SetConnectPath(kDictionary);
    conn.SetLoginPrompt(false);
    conn.SetUsername("ANA");
    conn.SetPassword("segredo");
    conn.Connect();
    EXPECT_EQ(fake::CallsOf("XbeConnect60").back(), "XbeConnect60('" + kDictionary + "',0,'ANA','segredo',0)");
  }
  // The dialog hook sees the name and the user name, and may decline.
  {
    TXbeConnection conn(nullptr);
    conn.SetName("Conn1");
    conn.SetConnectPath(kDictionary);
    conn.SetUsername("ANA");
    Watch(conn);
    std::string seen;
    LoginDialogHook = [&](const std::string& name, std::string& user, std::string&, bool readOnly) {
      seen = name + "/" + user + "/" + (readOnly ? "ro" : "rw");
      return false;
    };
    fake::E().calls.clear();
    EXPECT_EQ(MessageOf([&] { conn.Connect(); }), "Cannot connect to database 'Conn1'");
    LoginDialogHook = nullptr;
    EXPECT_EQ(seen, "Conn1/ANA/rw");
    EXPECT_FALSE(conn.IsConnected());
    EXPECT_TRUE(fake::CallsOf("XbeConnect60").empty());
    EXPECT_EQ(events, std::vector<std::string>{"BeforeConnect"});
  }
  // A refused password: the engine's error, still disconnected.
  {
    fake::E().password = "certa";
    TXbeConnection conn(nullptr);
    conn.SetConnectPath(kDictionary);
    conn.SetLoginPrompt(false);
    conn.SetPassword("errada");
    EXPECT_EQ(MessageOf([&] { conn.Connect(); }), "Error 7078: wrong password");
    EXPECT_FALSE(conn.IsConnected());
    EXPECT_EQ(conn.ConnectionHandle(), 0);
  }
}

TEST_F(Connection, EventsAndDatasetsOnConnectAndDisconnect) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  Watch(conn);
  conn.Disconnect();  // already disconnected: nothing at all
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(fake::E().calls.empty());

  TXbeTable table(nullptr);
  table.SetXbeConnection(&conn);
  table.SetTableName("ML2");
  table.Open();  // connects on demand
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeConnect", "AfterConnect", "OnConnect"}));
  EXPECT_NE(fake::CallsOf("XbeOpenTable")[0].find("XbeOpenTable(100,'F:\\DADOS\\ML2',null,3,"), std::string::npos);
  conn.Connect();
  EXPECT_EQ(events.size(), 3u);

  events.clear();
  fake::E().failures["XbeDisconnect"] = 6001;
  EXPECT_EQ(MessageOf([&] { conn.Disconnect(); }), "Error 6001: XbeDisconnect failed");
  // The failure comes after the datasets closed, both events fired and the state was cleared.
  EXPECT_FALSE(table.Active());
  EXPECT_FALSE(conn.IsConnected());
  EXPECT_EQ(conn.ConnectionHandle(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeDisconnect", "AfterDisconnect", "OnDisconnect"}));
  EXPECT_EQ(table.XbeConnection(), &conn);
}

TEST_F(Connection, ClosedConnectionAnswersAndRefusals) {
  TXbeConnection conn(nullptr);
  EXPECT_EQ(conn.GetConnectionType(), "");
  EXPECT_EQ(conn.ConnectionHandle(), 0);
  EXPECT_EQ(MessageOf([&] { conn.ServerName(); }), "Must be connected to get Xbase server name.");
  conn.SetDesigning(true);
  EXPECT_EQ(conn.ServerName(), "");
  conn.SetDesigning(false);
  for (auto op : std::vector<std::function<void()>>{[&] { conn.GetTransactionActive(); },
                                                    [&] { conn.BeginTransaction(); }, [&] { conn.Commit(); },
                                                    [&] { conn.Rollback(); }})
    EXPECT_EQ(MessageOf(op), "No connection to Xbase server.");
  EXPECT_EQ(MessageOf([&] { conn.Connect(); }), "Must specify connection string before getting a server connection.");
  EXPECT_FALSE(conn.IsConnected());

  conn.SetConnectPath("F:\\DADOS");
  conn.Connect();
  EXPECT_EQ(conn.ServerName(), "SERVIDOR");
  EXPECT_EQ(fake::CallsOf("XbeGetServerName"), std::vector<std::string>{"XbeGetServerName(255)"});
  for (auto [type, text] : std::vector<std::pair<int, const char*>>{{1, "Local"}, {2, "Remote"}, {4, "Internet"}, {3, ""}}) {
    fake::E().connectionType = static_cast<std::uint16_t>(type);
    EXPECT_EQ(conn.GetConnectionType(), text);
  }
  EXPECT_EQ(MessageOf([&] { conn.SetConnectPath("G:\\"); }),
            "The TXbeConnection.ConnectPath may not be changed when IsConnected is TRUE");
  EXPECT_EQ(MessageOf([&] { conn.SetAliasName("DADOS"); }),
            "The TXbeConnection.AliasName may not be changed when IsConnected is TRUE");
}

TEST_F(Connection, DictionaryPathsAndTheirDataDirectory) {
  struct Case {
    const char* path;
    bool dictionary;
    const char* directory;
  };
  for (const Case& c : {Case{"C:\\DATA\\SHOP.XDD", true, "C:\\DATA"}, Case{"SHOP.XDD", true, ".\\"},
                        Case{"/srv/loja/shop.xdd", true, "/srv/loja"}, Case{"C:\\A.xdd\\B", true, "C:\\A.xdd\\B"},
                        Case{"C:\\DATA", false, "C:\\DATA"}, Case{"C:\\DATA\\", false, "C:\\DATA\\"}}) {
    SCOPED_TRACE(c.path);
    TXbeConnection conn(nullptr);
    conn.SetConnectPath(c.path);
    EXPECT_EQ(conn.IsDictionaryConnection(), c.dictionary);
    EXPECT_EQ(conn.GetDataDirectory(), c.directory);
  }
}

class ConnectionAlias : public Connection {
 protected:
  void SetUp() override {
    Connection::SetUp();
    WriteAliases("[Databases]\r\nDADOS=C:\\DATA;N\r\nCDX=C:\\CDX;c\r\nXDT=C:\\XDT;a\r\nOUTRO=C:\\DATA;x\r\n"
                 "VAZIO=C:\\DATA;\r\nSO=;N\r\nLOJA=F:\\LOJA\\LOJA.XDD\r\n");
  }
  void WriteAliases(const std::string& text) {
    std::ofstream(dir.path() / "xbe.ini", std::ios::binary) << text;
  }
  testsupport::TempDir dir;
  testsupport::ScopedEnv windir{"WINDIR", dir.str()};
};

TEST_F(ConnectionAlias, EntriesGivePathAndTableTypeCode) {
  struct Case {
    const char* alias;
    bool valid;
    const char* path;
    int code;
  };
  for (const Case& c : {Case{"DADOS", true, "C:\\DATA", 2}, Case{"dados", true, "C:\\DATA", 2},
                        Case{"CDX", true, "C:\\CDX", 1}, Case{"XDT", true, "C:\\XDT", 3},
                        Case{"OUTRO", true, "C:\\DATA", 0}, Case{"VAZIO", true, "C:\\DATA", 0},
                        Case{"SO", false, "", 0}, Case{"NENHUM", false, "", 0}}) {
    SCOPED_TRACE(c.alias);
    TXbeConnection conn(nullptr);
    conn.SetConnectPath("F:\\ANTES");
    conn.SetAliasName(c.alias);
    EXPECT_EQ(conn.AliasValid(), c.valid);
    EXPECT_EQ(conn.AliasName(), c.alias);
    EXPECT_EQ(conn.AliasPath(), c.path);
    EXPECT_EQ(conn.GetAliasTableType(), c.code);
    // A found alias replaces the path; a missing one leaves it.
    EXPECT_EQ(conn.ConnectPath(), c.valid ? "" : "F:\\ANTES");
  }
  TXbeConnection conn(nullptr);
  conn.SetAliasName("LOJA");
  EXPECT_TRUE(conn.IsDictionaryConnection());
  conn.SetConnectPath("F:\\DADOS");
  EXPECT_EQ(conn.AliasName(), "");
  EXPECT_EQ(conn.AliasPath(), "");
  EXPECT_FALSE(conn.IsDictionaryConnection());
}

TEST_F(ConnectionAlias, MissingAliasIsLookedUpAgainAtConnect) {
  TXbeConnection conn(nullptr);
  Watch(conn);
  conn.SetAliasName("NOVO");
  EXPECT_FALSE(conn.AliasValid());
  EXPECT_EQ(MessageOf([&] { conn.Connect(); }), "TXbeConnection.AliasName is not valid");
  EXPECT_EQ(events, std::vector<std::string>{"BeforeConnect"});
  WriteAliases("[Databases]\r\nNOVO=F:\\NOVO;N\r\n");
  conn.Connect();
  EXPECT_EQ(fake::CallsOf("XbeConnect60").back(), "XbeConnect60('F:\\NOVO',0,'','',0)");
}

TEST_F(ConnectionAlias, DatasetsFollowTheAliasTableType) {
  TOwnerForm form(nullptr);
  form.SetName("Form1");
  auto* conn = new TXbeConnection(&form);
  conn->SetName("Conn1");
  auto* byEmptyName = new TXbeTable(&form);
  byEmptyName->SetXbeConnection(conn);
  auto* byName = new TXbeTable(&form);
  byName->SetDatabaseName("Conn1");
  auto* elsewhere = new TXbeTable(&form);
  elsewhere->SetXbeConnection(conn);
  elsewhere->SetDatabaseName("F:\\OUTRA");
  EXPECT_EQ(byName->XbeConnection(), conn);

  conn->SetAliasName("DADOS");
  EXPECT_EQ(byEmptyName->TableType(), ttXbeNTX);
  EXPECT_EQ(byName->TableType(), ttXbeNTX);
  EXPECT_EQ(elsewhere->TableType(), ttXbeXDT);
  EXPECT_EQ(byEmptyName->ResolveDatabasePath(), "C:\\DATA");
  EXPECT_EQ(elsewhere->ResolveDatabasePath(), "F:\\OUTRA");
  // The connection's alias type holds the table type of its datasets.
  EXPECT_EQ(MessageOf([&] { byEmptyName->SetTableType(ttXbeCDX); }),
            "The table type must remain identical to the table type associated with the alias.");
  EXPECT_EQ(byEmptyName->TableType(), ttXbeNTX);
  // Codes without a letter leave table types alone.
  conn->SetAliasName("OUTRO");
  byEmptyName->SetTableType(ttXbeCDX);
  EXPECT_EQ(byEmptyName->TableType(), ttXbeCDX);
}

TEST_F(Connection, BindingByNamePrefersTheSameOwner) {
  TOwnerForm form1(nullptr), form2(nullptr), form3(nullptr);
  form1.SetName("Form1");
  form2.SetName("Form2");
  form3.SetName("Form3");
  auto* conn1 = new TXbeConnection(&form1);
  conn1->SetName("Conn1");
  conn1->SetConnectPath("F:\\UM");
  auto* conn2 = new TXbeConnection(&form2);
  conn2->SetName("Conn1");
  conn2->SetConnectPath("F:\\DOIS\\");

  auto* own = new TXbeTable(&form2);
  own->SetDatabaseName("conn1");
  EXPECT_EQ(own->XbeConnection(), conn2);
  EXPECT_EQ(conn2->GetDataSetCount(), 1);
  EXPECT_EQ(own->ResolveDatabasePath(), "F:\\DOIS");  // one trailing separator goes

  auto* qualified = new TXbeTable(&form3);
  qualified->SetDatabaseName("Form2.Conn1");
  EXPECT_EQ(qualified->XbeConnection(), conn2);
  auto* other = new TXbeTable(&form3);
  other->SetDatabaseName("Conn1");
  EXPECT_EQ(other->XbeConnection(), conn1);  // the first in creation order

  // Rebinding moves the dataset from one list to the other; an empty name keeps the binding.
  qualified->SetDatabaseName("Form1.Conn1");
  EXPECT_EQ(qualified->XbeConnection(), conn1);
  EXPECT_EQ(conn2->GetDataSetCount(), 1);
  EXPECT_EQ(conn1->GetDataSetCount(), 2);
  qualified->SetDatabaseName("");
  EXPECT_EQ(qualified->XbeConnection(), conn1);
  EXPECT_EQ(qualified->ResolveDatabasePath(), "F:\\UM");

  // A dataset going away leaves the list; a connection going away clears the references.
  delete other;
  EXPECT_EQ(conn1->GetDataSetCount(), 1);
  EXPECT_EQ(conn1->GetDataSet(0), qualified);
  delete conn1;
  EXPECT_EQ(qualified->XbeConnection(), nullptr);
  EXPECT_EQ(ConnectionComponentList()->Count(), 1);
}

TEST_F(Connection, BindingRefusedWhileActiveAndConnectionReadOnly) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  conn.SetReadOnly(true);
  TXbeTable table(nullptr);
  table.SetTableName("ML2");
  table.SetXbeConnection(&conn);
  table.Open();
  EXPECT_NE(fake::CallsOf("XbeOpenTable")[0].find(",2)"), std::string::npos) << fake::CallsOf("XbeOpenTable")[0];
  EXPECT_TRUE(table.ReadOnly());
  EXPECT_EQ(MessageOf([&] { table.SetXbeConnection(nullptr); }), "Table must not be Active.");
  table.Close();
  EXPECT_TRUE(table.ReadOnly());  // stays after the close
}

TEST_F(Connection, RenamingKeepsTheDatasetsThatNameIt) {
  TOwnerForm form(nullptr);
  form.SetName("Form1");
  auto* conn = new TXbeConnection(&form);
  conn->SetName("Conn1");
  auto* another = new TXbeConnection(&form);
  another->SetName("Outra");
  auto* plain = new TXbeTable(&form);
  plain->SetDatabaseName("conn1");
  auto* qualified = new TXbeTable(&form);
  qualified->SetDatabaseName("Form1.Conn1");
  auto* boundElsewhere = new TXbeTable(&form);
  boundElsewhere->SetXbeConnection(another);
  boundElsewhere->SetDatabaseName("F:\\X");
  boundElsewhere->SetDatabaseName("CONN1");
  ASSERT_EQ(boundElsewhere->XbeConnection(), conn);  // the name binds it to Conn1 ...
  boundElsewhere->SetXbeConnection(another);            // ... until bound elsewhere by property

  conn->SetName("Conn2");
  EXPECT_EQ(plain->DatabaseName(), "Conn2");
  EXPECT_EQ(qualified->DatabaseName(), "Form1.Conn2");
  EXPECT_EQ(boundElsewhere->DatabaseName(), "CONN1");
  EXPECT_EQ(plain->XbeConnection(), conn);
}

TEST_F(Connection, DictionaryTablesOpenByNameAndAdoptTheirSettings) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath(kDictionary);
  conn.SetLoginPrompt(false);
  TXbeTable table(nullptr);
  table.SetXbeConnection(&conn);
  fake::E().defaultIndexes["CLIENTES"] = "CODIGO";
  table.SetTableName("CLIENTES");  // not connected: the engine answers for handle 0, nothing is taken
  EXPECT_EQ(table.IndexName(), "");

  fake::E().tableType = 2;
  fake::E().tableCharType = 2;
  fake::Order order;
  order.name = "CODIGO";
  order.file = "CLIENTES.CDX";
  order.segments = {"CODCONV"};
  order.handle = 900;
  fake::E().orders = {order};  // the dictionary's own index, open with the table
  table.Open();  // connecting reads the default index of every bound table
  EXPECT_EQ(table.IndexName(), "XBE_DEFAULT");
  EXPECT_EQ(table.ActiveIndexKind(), IndexKindDefault);
  const auto opens = fake::CallsOf("XbeOpenTable");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_NE(opens[0].find(",'CLIENTES',null,0,"), std::string::npos) << opens[0];
  EXPECT_EQ(table.TableType(), ttXbeCDX);
  EXPECT_EQ(table.XbeTableOptions().XbeCharType(), OEM);
  table.Close();

  // A table the dictionary does not list opens as a free table of the dictionary's directory.
  fake::E().calls.clear();
  fake::E().failures["XbeOpenTable"] = 5132;
  EXPECT_EQ(MessageOf([&] { table.Open(); }), "Error 5132: XbeOpenTable failed");
  const auto retried = fake::CallsOf("XbeOpenTable");
  ASSERT_EQ(retried.size(), 2u);
  EXPECT_NE(retried[1].find(",'F:\\LOJA\\CLIENTES',null,2,"), std::string::npos) << retried[1];

  // A failure while adopting the dictionary's settings closes the new handle.
  fake::E().failures.clear();
  fake::E().failures["XbeGetTableType"] = 6001;
  const std::size_t closes = fake::CallsOf("XbeCloseTable").size();
  EXPECT_EQ(MessageOf([&] { table.Open(); }), "Error 6001: XbeGetTableType failed");
  EXPECT_EQ(fake::CallsOf("XbeCloseTable").size(), closes + 1);
  fake::E().failures.clear();

  // No default index any more: the XBE_DEFAULT name goes.
  fake::E().defaultIndexes.clear();
  table.SetTableName("CLIENTES");
  EXPECT_EQ(table.IndexName(), "");
}

TEST_F(Connection, TransactionsFireTheirEventsAndKeepStateOnFailure) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  conn.Connect();
  Watch(conn);
  conn.BeginTransaction();
  EXPECT_TRUE(conn.GetTransactionActive());
  EXPECT_TRUE(events.empty());

  fake::E().failures["XbeCommitTransaction"] = 6008;
  EXPECT_EQ(MessageOf([&] { conn.Commit(); }), "Error 6008: XbeCommitTransaction failed");
  EXPECT_TRUE(conn.GetTransactionActive());
  EXPECT_EQ(events, std::vector<std::string>{"BeforeCommit"});
  fake::E().failures.clear();
  events.clear();
  conn.Commit();
  EXPECT_FALSE(conn.GetTransactionActive());
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeCommit", "AfterCommit"}));

  events.clear();
  conn.BeginTransaction();
  conn.Rollback();
  EXPECT_FALSE(conn.GetTransactionActive());
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeRollback", "AfterRollback"}));

  // A transaction does not survive its connection.
  conn.BeginTransaction();
  conn.Disconnect();
  conn.Connect();
  EXPECT_FALSE(conn.GetTransactionActive());
}

TEST_F(Connection, StoredDescriptionConnectsOnceLoaded) {
  const std::string text = R"(object Form1: TOwnerForm
  object Table1: TXbeTable
    DatabaseName = 'Conn1'
    TableName = 'ML2'
  end
  object Conn1: TXbeConnection
    IsConnected = True
    ConnectPath = 'F:\LOJA\LOJA.XDD'
    XbeServerTypes = [stXBE_LOCAL]
    LoginPrompt = True
    Compression = ccXbeCompressAlways
    OnLogin = Conn1Login
    AfterConnect = Conn1AfterConnect
  end
end
)";
  TOwnerForm form(nullptr);
  classes::ReadRootComponent(form, text);
  ASSERT_NE(form.Conn1, nullptr);
  EXPECT_TRUE(form.Conn1->IsConnected());
  // Named after the table was read, the connection still binds it.
  EXPECT_EQ(form.Table1->XbeConnection(), form.Conn1);
  EXPECT_EQ(form.log, (std::vector<std::string>{"login", "AfterConnect"}));
  EXPECT_EQ(fake::CallsOf("XbeConnect60"),
            std::vector<std::string>{"XbeConnect60('F:\\LOJA\\LOJA.XDD',1,'ANA','segredo',4)"});

  const std::string written = classes::WriteRootComponent(form);
  EXPECT_NE(written.find("IsConnected = True"), std::string::npos) << written;
  EXPECT_NE(written.find("OnLogin = Conn1Login"), std::string::npos) << written;
  EXPECT_EQ(written.find("ServerName"), std::string::npos) << written;
  EXPECT_EQ(written.find("ConnectionHandle"), std::string::npos) << written;
  form.Conn1->SetStoreConnected(false);
  EXPECT_EQ(classes::WriteRootComponent(form).find("IsConnected"), std::string::npos);

  // Not stored as connected: read back, it stays disconnected.
  TOwnerForm again(nullptr);
  classes::ReadRootComponent(again, classes::WriteRootComponent(form));
  EXPECT_FALSE(again.Conn1->IsConnected());
}

TEST_F(Connection, RollbackCancelsTheEditsOfItsDatasets) {
  TXbeConnection conn(nullptr);
  conn.SetConnectPath("F:\\DADOS");
  fake::E().openOptionsReported = 0x60;
  TXbeTable table(nullptr);
  table.SetXbeConnection(&conn);
  table.SetTableName("ML2");
  table.Open();
  conn.BeginTransaction();
  table.Append();
  Watch(conn);
  conn.OnDisconnect = nullptr;
  conn.BeforeRollback = classes::TNotifyEvent::FromFunction([&](classes::TObject*) {
    events.push_back(table.State() == db::DSState::Insert ? "BeforeRollback/insert" : "BeforeRollback/?");
  });
  conn.Rollback();
  EXPECT_EQ(table.State(), db::DSState::Browse);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeRollback/insert", "AfterRollback"}));
  EXPECT_TRUE(fake::CallsOf("XbeAppendRecord").empty());
  EXPECT_EQ(fake::CallsOf("XbeRollbackTransaction").size(), 1u);
}

TEST_F(Connection, NameLookupPrefersConnectionsOfTheCallingThread) {
  TOwnerForm form1(nullptr), form2(nullptr);
  form1.SetName("Form1");
  form2.SetName("Form2");
  TXbeConnection* elsewhere = nullptr;
  std::thread([&] { elsewhere = new TXbeConnection(&form1); }).join();
  elsewhere->SetName("Conn1");
  auto* here = new TXbeConnection(&form2);
  here->SetName("Conn1");
  EXPECT_NE(elsewhere->CreatorThreadId(), here->CreatorThreadId());
  // Same owner but another thread loses to another owner on this thread ...
  auto* table = new TXbeTable(&form1);
  table->SetDatabaseName("Conn1");
  EXPECT_EQ(table->XbeConnection(), here);
  // ... and the qualified name reaches the other thread's connection.
  table->SetDatabaseName("Form1.Conn1");
  EXPECT_EQ(table->XbeConnection(), elsewhere);
}

TEST_F(Connection, DestructionDetachesDatasetsAndReportsAFailedDisconnect) {
  struct Case {
    XBERESULT disconnect;
    const char* reported;
  };
  for (const Case& c : {Case{0, ""}, Case{5024, ""}, Case{6001, "Error 6001: XbeDisconnect failed"}}) {
    fake::Reset();
    fake::E().fields = {{2, 4, 0, "CODCONV"}};
    std::string reported;
    DesignErrorHook = [&](const rtl::Exception& e) { reported = e.Message(); };
    TXbeTable table(nullptr);
    auto* conn = new TXbeConnection(nullptr);
    conn->SetConnectPath("F:\\DADOS");
    table.SetXbeConnection(conn);
    table.SetTableName("ML2");
    table.Open();
    conn->ExecuteSQL("SELECT 1", nullptr, true);
    std::vector<std::string> fired;
    conn->OnDisconnect = classes::TNotifyEvent::FromFunction([&](classes::TObject*) { fired.push_back("On"); });
    conn->AfterDisconnect = classes::TNotifyEvent::FromFunction([&](classes::TObject*) { fired.push_back("After"); });
    if (c.disconnect) fake::E().failures["XbeDisconnect"] = c.disconnect;
    delete conn;
    EXPECT_EQ(fired, std::vector<std::string>{"On"});
    DesignErrorHook = nullptr;
    EXPECT_EQ(reported, c.reported);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.XbeConnection(), nullptr);
    EXPECT_EQ(fake::CallsOf("XbeCloseSQLStatement").size(), 1u);
  }
}
