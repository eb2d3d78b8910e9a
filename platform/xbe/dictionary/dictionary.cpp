#include "platform/xbe/dictionary/dictionary.h"

#include <filesystem>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/xbe/dictionary/password_hash.h"
#include "platform/xbe/dictionary/sqlite_file.h"
#include "platform/xbe/errors.h"

namespace xbe::dictionary {

namespace {

// "XDD1": tells our dictionary files from other SQLite databases.
constexpr std::int64_t kApplicationId = 0x58444431;
constexpr std::int64_t kFormatVersion = 1;
constexpr std::uint32_t kHashIterations = 10000;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

constexpr const char* kSchema = R"sql(
PRAGMA application_id = 1480868913;
PRAGMA user_version = 1;
CREATE TABLE tables(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE, path TEXT NOT NULL,
                    type INTEGER NOT NULL, char_type INTEGER NOT NULL, default_index TEXT NOT NULL);
CREATE TABLE table_indexes(table_id INTEGER NOT NULL REFERENCES tables(id), position INTEGER NOT NULL,
                           file TEXT NOT NULL, PRIMARY KEY(table_id, position));
CREATE TABLE groups(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE);
CREATE TABLE users(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE, salt BLOB NOT NULL,
                   iterations INTEGER NOT NULL, hash BLOB NOT NULL);
CREATE TABLE memberships(user_id INTEGER NOT NULL REFERENCES users(id), group_id INTEGER NOT NULL
                         REFERENCES groups(id), position INTEGER NOT NULL, PRIMARY KEY(user_id, group_id));
)sql";

std::string Stored(std::string_view programText) { return rtl::AnsiToUtf8(programText); }
std::string Program(const std::string& stored) { return rtl::Utf8ToAnsi(stored); }

// All of an addition or nothing.
class WriteTransaction {
 public:
  explicit WriteTransaction(SqliteFile& file) : file_(file) { file_.Execute("BEGIN IMMEDIATE"); }
  ~WriteTransaction() {
    if (!done_) file_.Execute("ROLLBACK");
  }
  void Commit() {
    file_.Execute("COMMIT");
    done_ = true;
  }

 private:
  SqliteFile& file_;
  bool done_ = false;
};

void RequireName(std::string_view name, const std::string& what, const char* forbidden) {
  if (name.empty()) Fail(kInvalidArgument, "A " + what + " in a data dictionary needs a name.");
  if (name.find_first_of(forbidden) != std::string_view::npos)
    Fail(kInvalidArgument, "The " + what + " name '" + std::string(name) +
                               "' holds a character that names cannot have (" + forbidden + ").");
}

bool IsAbsolute(std::string_view path) {
  return (!path.empty() && rtl::IsPathDelimiter(path.front())) || (path.size() >= 2 && path[1] == ':');
}

}  // namespace

Dictionary::Dictionary(std::string path, std::unique_ptr<SqliteFile> file)
    : path_(std::move(path)), file_(std::move(file)) {}

Dictionary::~Dictionary() = default;

std::unique_ptr<Dictionary> Dictionary::Create(std::string_view windowsPath) {
  const std::string host = rtl::HostPath(windowsPath);
  std::error_code ec;
  if (host.empty() || std::filesystem::exists(host, ec))
    Fail(kInvalidArgument, "The data dictionary " + std::string(windowsPath) + " exists already.");
  auto file = std::make_unique<SqliteFile>(std::string(windowsPath), host, SqliteFile::Mode::kCreate);
  try {
    file->Execute("BEGIN");
    file->Execute(kSchema);
    file->Execute("COMMIT");
  } catch (...) {
    file.reset();
    std::filesystem::remove(host, ec);
    throw;
  }
  return std::unique_ptr<Dictionary>(new Dictionary(std::string(windowsPath), std::move(file)));
}

std::unique_ptr<Dictionary> Dictionary::Open(std::string_view windowsPath, bool writable) {
  const std::string host = rtl::HostPath(windowsPath);
  std::error_code ec;
  if (host.empty() || !std::filesystem::is_regular_file(host, ec))
    Fail(kFileNotFound, "The data dictionary " + std::string(windowsPath) + " was not found.");
  auto file = std::make_unique<SqliteFile>(std::string(windowsPath), host,
                                           writable ? SqliteFile::Mode::kWrite : SqliteFile::Mode::kRead);
  std::unique_ptr<Dictionary> d(new Dictionary(std::string(windowsPath), std::move(file)));
  d->CheckFormat();
  return d;
}

void Dictionary::CheckFormat() const {
  SqliteStatement id(*file_, "PRAGMA application_id");
  if (!id.Step() || id.Integer(0) != kApplicationId)
    Fail(kCorruptFile, "The file " + path_ + " is not a data dictionary.");
  SqliteStatement version(*file_, "PRAGMA user_version");
  if (!version.Step() || version.Integer(0) != kFormatVersion)
    Fail(kUnsupported, "The data dictionary " + path_ + " has a format this engine does not know (version " +
                           std::to_string(version.Integer(0)) + ").");
}

void Dictionary::AddTable(const TableEntry& table) {
  RequireName(table.name, "table", "\\/:");
  if (table.path.empty()) Fail(kInvalidArgument, "The dictionary table " + table.name + " needs a data file.");
  const auto type = static_cast<std::int64_t>(table.type);
  const auto chars = static_cast<std::int64_t>(table.charType);
  if (type < 1 || type > 3 || chars < 1 || chars > 2)
    Fail(kInvalidArgument, "The dictionary table " + table.name + " has a table or character type not valid.");
  WriteTransaction transaction(*file_);
  SqliteStatement insert(*file_,
                         "INSERT INTO tables(name, path, type, char_type, default_index) VALUES(?, ?, ?, ?, ?)");
  insert.Bind(1, Stored(table.name)).Bind(2, Stored(table.path)).Bind(3, type).Bind(4, chars);
  insert.Bind(5, Stored(table.defaultIndex));
  bool taken = false;
  insert.Step(&taken);
  if (taken) Fail(kInvalidArgument, "The table " + table.name + " is in the data dictionary " + path_ + " already.");
  const std::int64_t id = [&] {
    SqliteStatement last(*file_, "SELECT last_insert_rowid()");
    last.Step();
    return last.Integer(0);
  }();
  for (std::size_t i = 0; i < table.indexFiles.size(); ++i) {
    if (table.indexFiles[i].empty())
      Fail(kInvalidArgument, "An index file of the table " + table.name + " has no name.");
    SqliteStatement index(*file_, "INSERT INTO table_indexes(table_id, position, file) VALUES(?, ?, ?)");
    index.Bind(1, id).Bind(2, static_cast<std::int64_t>(i)).Bind(3, Stored(table.indexFiles[i]));
    index.Step();
  }
  transaction.Commit();
}

void Dictionary::AddGroup(std::string_view name) {
  // ";" separates the groups of a user when they are read as one text.
  RequireName(name, "group", ";");
  SqliteStatement insert(*file_, "INSERT INTO groups(name) VALUES(?)");
  insert.Bind(1, Stored(name));
  bool taken = false;
  insert.Step(&taken);
  if (taken)
    Fail(kInvalidArgument, "The group " + std::string(name) + " is in the data dictionary " + path_ + " already.");
}

void Dictionary::AddUser(std::string_view name, std::string_view password, const std::vector<std::string>& groups) {
  RequireName(name, "user", "");
  WriteTransaction transaction(*file_);
  const std::string salt = RandomBytes(kSaltBytes);
  SqliteStatement insert(*file_, "INSERT INTO users(name, salt, iterations, hash) VALUES(?, ?, ?, ?)");
  insert.Bind(1, Stored(name)).BindBlob(2, salt).Bind(3, static_cast<std::int64_t>(kHashIterations));
  insert.BindBlob(4, Pbkdf2Sha256(password, salt, kHashIterations, kHashBytes));
  bool taken = false;
  insert.Step(&taken);
  if (taken)
    Fail(kInvalidArgument, "The user " + std::string(name) + " is in the data dictionary " + path_ + " already.");
  for (std::size_t i = 0; i < groups.size(); ++i) {
    SqliteStatement member(*file_,
                           "INSERT INTO memberships(user_id, group_id, position) "
                           "SELECT u.id, g.id, ? FROM users u, groups g WHERE u.name = ? AND g.name = ?");
    member.Bind(1, static_cast<std::int64_t>(i)).Bind(2, Stored(name)).Bind(3, Stored(groups[i]));
    bool twice = false;
    member.Step(&twice);
    if (twice || file_->Changes() == 0)
      Fail(kInvalidArgument, "The group " + groups[i] + " of the user " + std::string(name) +
                                 (twice ? " is given twice." : " is not in the data dictionary."));
  }
  transaction.Commit();
}

std::optional<TableEntry> Dictionary::FindTable(std::string_view name) const {
  SqliteStatement find(*file_, "SELECT id, name, path, type, char_type, default_index FROM tables WHERE name = ?");
  find.Bind(1, Stored(name));
  if (!find.Step()) return std::nullopt;
  TableEntry t;
  const std::int64_t id = find.Integer(0);
  t.name = Program(find.Text(1));
  t.path = Program(find.Text(2));
  const std::int64_t type = find.Integer(3), chars = find.Integer(4);
  if (type < 1 || type > 3 || chars < 1 || chars > 2)
    Fail(kCorruptFile, "The data dictionary " + path_ + " gives the table " + t.name + " a type that is not valid.");
  t.type = static_cast<TableType>(type);
  t.charType = static_cast<CharType>(chars);
  t.defaultIndex = Program(find.Text(5));
  SqliteStatement indexes(*file_, "SELECT file FROM table_indexes WHERE table_id = ? ORDER BY position");
  indexes.Bind(1, id);
  while (indexes.Step()) t.indexFiles.push_back(Program(indexes.Text(0)));
  return t;
}

TableEntry Dictionary::ListedTable(std::string_view name) const {
  std::optional<TableEntry> entry = FindTable(name);
  if (!entry)
    Fail(kNotInDictionary, "The table " + std::string(name) + " is not in the data dictionary " + path_ + ".");
  return std::move(*entry);
}

std::vector<std::string> Dictionary::TableNames() const {
  SqliteStatement all(*file_, "SELECT name FROM tables ORDER BY id");
  std::vector<std::string> names;
  while (all.Step()) names.push_back(Program(all.Text(0)));
  return names;
}

bool Dictionary::HasUser(std::string_view name) const {
  SqliteStatement find(*file_, "SELECT 1 FROM users WHERE name = ?");
  find.Bind(1, Stored(name));
  return find.Step();
}

bool Dictionary::CheckPassword(std::string_view user, std::string_view password) const {
  SqliteStatement find(*file_, "SELECT salt, iterations, hash FROM users WHERE name = ?");
  find.Bind(1, Stored(user));
  if (!find.Step()) return false;
  const std::int64_t iterations = find.Integer(1);
  const std::string hash = find.Blob(2);
  if (iterations < 1 || iterations > 10'000'000 || hash.size() < kHashBytes)
    Fail(kCorruptFile, "The data dictionary " + path_ + " holds a damaged password entry.");
  return SameBytes(Pbkdf2Sha256(password, find.Blob(0), static_cast<std::uint32_t>(iterations), hash.size()), hash);
}

std::optional<std::vector<std::string>> Dictionary::GroupsOf(std::string_view user) const {
  if (!HasUser(user)) return std::nullopt;
  SqliteStatement find(*file_,
                       "SELECT g.name FROM memberships m JOIN users u ON u.id = m.user_id "
                       "JOIN groups g ON g.id = m.group_id WHERE u.name = ? ORDER BY m.position");
  find.Bind(1, Stored(user));
  std::vector<std::string> groups;
  while (find.Step()) groups.push_back(Program(find.Text(0)));
  return groups;
}

std::string Dictionary::Resolve(std::string_view storedPath) const {
  if (IsAbsolute(storedPath)) return std::string(storedPath);
  return rtl::ExtractFilePath(path_) + std::string(storedPath);
}

}  // namespace xbe::dictionary
