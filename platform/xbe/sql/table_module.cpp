#include "platform/xbe/sql/table_module.h"
#include "platform/xbe/dictionary/dictionary.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <cstring>
#include <optional>
#include <tuple>

#include "platform/xbe/errors.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/index_order.h"
#include "platform/xbe/sql/field_values.h"
#include "platform/xbe/sql/key_index.h"
#include "platform/xbe/sql/sql_errors.h"

namespace xbe::sql {

struct SqlTable : sqlite3_vtab {
  SqlSession* session = nullptr;
  std::string sqlName;   // as the statement names it
  std::string fileName;  // Windows form, directory included
  std::string hostPath;
  TableSource source;    // the session's, with a dictionary table's own type and character type
  Schema schema;         // as declared to the SQL engine
  std::uint32_t records = 0;  // when declared: the planner weighs the tables of a join by it
  std::unique_ptr<Table> writer;
  std::vector<std::shared_ptr<IndexFile>> writerFiles;  // go before the writer
};

namespace {

struct SqlCursor : sqlite3_vtab_cursor {
  std::unique_ptr<Table> table;
  std::shared_ptr<IndexFile> file;
  std::unique_ptr<IndexOrder> order;  // goes before its file
  std::string key;                    // a seek's key, or a range's lower bound
  bool equal = false;                 // rows last while their key starts with `key`
  std::optional<std::string> upper;   // a range's upper bound
  // Equal values through the cursor's own index of a column: the entries [match, matchEnd).
  KeyIndex keys;
  bool keysRefused = false;  // a table too large for one
  int keySearches = 0;
  bool byKeys = false;
  std::size_t match = 0, matchEnd = 0;
  bool eof = true;
};

// How xBestIndex tells xFilter to seek (the key field, tag and index file in idxStr): equal keys,
// or a walk from a lower bound, to an upper bound, or both; or equal values through the cursor's
// own index of the column in idxStr.
constexpr int kScan = 0;
constexpr int kSeek = 1;
constexpr int kFrom = 2;
constexpr int kTo = 4;
constexpr int kKeys = 8;

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

bool SameStructure(const Schema& a, const Schema& b) {
  if (a.fields.size() != b.fields.size()) return false;
  for (std::size_t i = 0; i < a.fields.size(); ++i) {
    const FieldDesc& x = a.fields[i];
    const FieldDesc& y = b.fields[i];
    if (Upper(x.name) != Upper(y.name) || x.code != y.code || x.length != y.length || x.decimals != y.decimals)
      return false;
  }
  return true;
}

std::unique_ptr<Table> OpenTable(const TableSource& source, const std::string& fileName, bool readOnly) {
  OpenRequest r;
  r.name = fileName;
  r.type = source.type;
  r.charType = source.charType;
  r.lockType = source.lockType;
  r.rightsChecking = source.rightsChecking;
  r.options = readOnly ? kOpenReadOnly : 0;
  return Table::Open(r);
}

std::unique_ptr<Table> OpenChecked(SqlTable& t, bool readOnly) {
  auto table = OpenTable(t.source, t.fileName, readOnly);
  if (!SameStructure(table->Fields(), t.schema))
    Fail(kStatementStale, "The structure of the table " + t.fileName +
                              " has changed since the statement was prepared; prepare the statement again.");
  return table;
}

// The index files open on the table in this process, by their Windows names.
std::vector<std::shared_ptr<IndexFile>> OpenIndexFilesOf(const std::string& hostPath) {
  std::vector<std::shared_ptr<IndexFile>> files;
  Handles().ForEach([&](std::uint32_t, HandleObject& o) {
    if (o.Kind() != HandleKind::kTable) return;
    auto& t = static_cast<TableObject&>(o);
    if (!SameFile(t.table->Names().hostPath, hostPath)) return;
    for (const auto& f : t.indexFiles) {
      bool known = false;
      for (const auto& g : files) known = known || SameFile(g->HostPath(), f->HostPath());
      if (!known) files.push_back(f);
    }
  });
  return files;
}

int Failed(sqlite3_vtab* vtab, SqlSession* session) {
  try {
    throw;
  } catch (const std::exception& e) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", e.what());
  } catch (...) {
  }
  session->Keep(std::current_exception());
  return SQLITE_ERROR;
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
  auto* session = static_cast<SqlSession*>(aux);
  try {
    if (argc < 3) Fail(kInvalidArgument, "No table name was given.");
    auto t = std::make_unique<SqlTable>();
    t->session = session;
    t->sqlName = argv[2];
    // A name without a directory part lies in the connection's directory, as XbeOpenTable takes it.
    t->fileName = argv[2];
    t->source = session->Source();
    std::optional<xbe::dictionary::TableEntry> listed;
    if (t->source.dictionary && std::strpbrk(argv[2], "\\/:") == nullptr)
      listed = t->source.dictionary->FindTable(argv[2]);
    if (listed) {
      t->fileName = t->source.dictionary->Resolve(listed->path);
      t->source.type = listed->type;
      t->source.charType = listed->charType;
    } else if (std::strpbrk(argv[2], "\\/:") == nullptr) {
      std::string dir = session->Source().directory;
      if (!dir.empty() && dir.back() != '\\' && dir.back() != '/' && dir.back() != ':') dir += '\\';
      t->fileName = dir + argv[2];
    }
    auto table = OpenTable(t->source, t->fileName, true);
    t->schema = table->Fields();
    t->records = table->RecordCount();
    t->hostPath = table->Names().hostPath;
    table->Close();
    std::string declaration = "CREATE TABLE x(";
    for (std::size_t i = 0; i < t->schema.fields.size(); ++i)
      declaration += (i ? ", " : "") + ColumnDeclaration(t->schema.fields[i]);
    declaration += ")";
    const int rc = sqlite3_declare_vtab(db, declaration.c_str());
    if (rc != SQLITE_OK) FailNative(rc, sqlite3_errmsg(db));
    session->Add(t.get());
    *out = t.release();
    return SQLITE_OK;
  } catch (...) {
    session->Keep(std::current_exception());
    try {
      throw;
    } catch (const std::exception& e) {
      *error = sqlite3_mprintf("%s", e.what());
    } catch (...) {
    }
    return SQLITE_ERROR;
  }
}

int Disconnect(sqlite3_vtab* vtab) {
  auto* t = static_cast<SqlTable*>(vtab);
  t->session->Remove(t);
  delete t;
  return SQLITE_OK;
}

// Whether the cursor's own index can find a column's equal values under the comparison's
// collation: it counts a text's trailing blanks out, as XBECHAR and RTRIM do (BINARY keeps them,
// so the index then gives more rows than match, which the SQL engine sorts out).
bool KeysServe(const char* collation) {
  for (const char* name : {kCharCollation, "BINARY", "RTRIM"})
    if (collation != nullptr && sqlite3_stricmp(collation, name) == 0) return true;
  return false;
}

// The planner's view of a table: a scan reads every record; an equality or a range on a column
// that an open order has as its whole key is a seek in that order (a walk from the lower bound
// to the upper one for a range); an equality on another column goes through the cursor's own
// index of it, made at its second search (one scan for a whole join).
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  auto* t = static_cast<SqlTable*>(vtab);
  const double rows = std::max<double>(t->records, 1);
  const double seek = 10 + std::log2(rows + 1);  // a lookup's pages
  const double equalRows = std::min(rows, 10.0);
  info->idxNum = kScan;
  info->estimatedCost = rows + 10;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  double best = info->estimatedCost;
  const auto use = [&](int plan, double cost, double found, std::vector<std::pair<int, int>> arguments, char* spec) {
    if (cost >= best) {
      sqlite3_free(spec);
      return;
    }
    best = cost;
    for (int c = 0; c < info->nConstraint; ++c) info->aConstraintUsage[c].argvIndex = 0;
    // The SQL engine checks every row a search finds (omit stays 0).
    for (const auto& [constraint, argument] : arguments) info->aConstraintUsage[constraint].argvIndex = argument;
    if (info->needToFreeIdxStr) sqlite3_free(info->idxStr);
    info->idxNum = plan;
    info->idxStr = spec;
    info->needToFreeIdxStr = 1;
    info->estimatedCost = cost;
    info->estimatedRows = static_cast<sqlite3_int64>(std::max(found, 1.0));
  };
  try {
    const auto files = OpenIndexFilesOf(t->hostPath);
    for (const auto& f : files) {
      for (const auto& tag : f->Tags()) {
        const auto& o = tag.order->Info();
        // A unique order holds one record per key: it cannot find every equal row.
        if (o.unique || o.descending || !o.forExpression.empty()) continue;
        const auto field = t->schema.Find(Trim(o.keyExpression));
        if (!field) continue;
        const std::uint16_t code = t->schema.fields[*field].code;
        if (!IsCharacterCode(code) && code != kNumericText && code != kDate) continue;
        int equal = -1, lower = -1, upper = -1;
        for (int c = 0; c < info->nConstraint; ++c) {
          const auto& k = info->aConstraint[c];
          if (!k.usable || k.iColumn != static_cast<int>(*field)) continue;
          if (k.op == SQLITE_INDEX_CONSTRAINT_EQ) equal = c;
          if (k.op == SQLITE_INDEX_CONSTRAINT_GT || k.op == SQLITE_INDEX_CONSTRAINT_GE) lower = c;
          if (k.op == SQLITE_INDEX_CONSTRAINT_LT || k.op == SQLITE_INDEX_CONSTRAINT_LE) upper = c;
        }
        const int plan = equal >= 0 ? kSeek : (lower >= 0 ? kFrom : 0) | (upper >= 0 ? kTo : 0);
        if (plan == 0) continue;
        // A bound keeps about a quarter of the rows (the SQL engine's own guess); a row read
        // through an order costs about twice a record of a scan.
        const double found = equal >= 0 ? equalRows : rows / (lower >= 0 && upper >= 0 ? 16 : 4);
        std::vector<std::pair<int, int>> arguments;
        if (equal >= 0) arguments.emplace_back(equal, 1);
        if (equal < 0 && lower >= 0) arguments.emplace_back(lower, 1);
        if (equal < 0 && upper >= 0) arguments.emplace_back(upper, lower >= 0 ? 2 : 1);
        use(plan, seek + 2 * found, found, std::move(arguments),
            sqlite3_mprintf("%d\t%s\t%s", static_cast<int>(*field), o.name.c_str(), f->WindowsPath().c_str()));
      }
    }
    for (int c = 0; c < info->nConstraint; ++c) {
      const auto& k = info->aConstraint[c];
      if (!k.usable || k.op != SQLITE_INDEX_CONSTRAINT_EQ || k.iColumn < 0) continue;
      if (static_cast<std::size_t>(k.iColumn) >= t->schema.fields.size() || !KeysServe(sqlite3_vtab_collation(info, c)))
        continue;
      // Slightly dearer than an order's seek, which needs no scan to make.
      use(kKeys, seek + 2 * equalRows + 5, equalRows, {{c, 1}}, sqlite3_mprintf("%d", k.iColumn));
    }
  } catch (...) {
    // What could not be weighed is scanned (or searched as the best plan found so far).
  }
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new SqlCursor();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete static_cast<SqlCursor*>(cursor);
  return SQLITE_OK;
}

// The order an index plan names (`spec` is "column<TAB>tag<TAB>index file") and its key field;
// false when it is not there any more (the table is then scanned instead).
bool TakeOrder(SqlCursor& c, const SqlTable& t, std::string_view spec, std::size_t& column) {
  const std::size_t tab1 = spec.find('\t');
  const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : spec.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return false;
  column = static_cast<std::size_t>(std::atoi(std::string(spec.substr(0, tab1)).c_str()));
  const std::string tagName(spec.substr(tab1 + 1, tab2 - tab1 - 1));
  const std::string fileName(spec.substr(tab2 + 1));
  if (column >= t.schema.fields.size()) return false;
  if (!c.file || c.file->WindowsPath() != fileName || !c.order || c.order->Info().name != tagName) {
    c.order.reset();
    c.file.reset();
    // The file open in this process serves (its pages are cached there); else it is opened.
    for (const auto& open : OpenIndexFilesOf(t.hostPath))
      if (open->WindowsPath() == fileName) c.file = open;
    if (!c.file) c.file = IndexFile::Open(*c.table, fileName);
    for (std::size_t i = 0; i < c.file->Tags().size() && !c.order; ++i)
      if (c.file->Tags()[i].order->Info().name == tagName) c.order = std::make_unique<IndexOrder>(*c.file, i);
  }
  c.file->Refresh();
  return c.order != nullptr;
}

// A value as a key of the order; nullopt for NULL, which no comparison matches.
std::optional<std::string> KeyOf(SqlCursor& c, const FieldDesc& field, sqlite3_value* value) {
  const SqlValue v = SqlValue::From(value);
  if (v.IsNull()) return std::nullopt;
  std::string text = v.AsText();
  if (IsCharacterCode(field.code)) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  } else if (field.code == kDate) {
    text = StorageDateText(text);
  }
  return c.order->KeyFromText(text);
}

// Whether the cursor's current record lies past the seek's keys.
bool PastKeys(SqlCursor& c) {
  Table& table = *c.table;
  if (table.CursorState().eof) return true;
  if (c.equal) return !c.order->CurrentKeyStartsWith(table.CurrentView(), c.key);
  if (!c.upper) return false;
  // Keys that start with the bound may still be equal to it as CHAR values: the SQL engine decides.
  const std::string key = c.order->KeyOfCurrent(table.CurrentView());
  return key.compare(0, c.upper->size(), *c.upper) > 0;
}

// Positions a seek; false when no order can take it.
bool StartSeek(SqlCursor& c, const SqlTable& t, int plan, std::string_view spec, int argc, sqlite3_value** argv) {
  std::size_t column = 0;
  std::optional<std::string> from, to;
  try {
    if (!TakeOrder(c, t, spec, column)) return false;
    const FieldDesc& field = t.schema.fields[column];
    int arg = 0;
    c.equal = plan == kSeek;
    c.upper.reset();
    bool none = false;  // a NULL bound: no row
    for (const int part : {kFrom, kTo}) {
      if (!c.equal && (plan & part) == 0) continue;
      if (arg >= argc) return false;
      auto key = KeyOf(c, field, argv[arg++]);
      none = none || !key;
      (part == kTo && !c.equal ? to : from) = std::move(key);
      if (c.equal) break;
    }
    if (none) {
      c.eof = true;
      return true;
    }
    c.key = from.value_or(std::string());
    c.upper = to;
  } catch (const std::exception&) {
    c.order.reset();
    c.file.reset();
    return false;
  }
  Table& table = *c.table;
  if (c.key.empty() && !c.equal) table.GotoTop(*c.order);
  else table.SettleOn(*c.order, c.order->SeekPosition(c.key, false), true);
  c.eof = PastKeys(c);
  return true;
}

// Makes the first visible record of the matches from `match` on current; EOF when none is.
void SettleOnMatch(SqlCursor& c) {
  Table& table = *c.table;
  for (; c.match < c.matchEnd; ++c.match) {
    // Visible when the index was made; another handle may have deleted it since.
    if (table.GotoRecord(c.keys.RecordAt(c.match)) && table.IsVisible(table.Natural())) {
      c.eof = false;
      return;
    }
  }
  c.eof = true;
}

// Equal values through the cursor's own index of the column that `spec` names; false when the
// table is scanned instead: at the first search (a single search would not repay the index), for
// a table too large for one, and for a value the SQL engine converts before it compares (a
// number against a text column, a text against a numeric one), whose key is not the column's.
bool StartKeySearch(SqlCursor& c, const SqlTable& t, const char* spec, int argc, sqlite3_value** argv) {
  const int column = spec != nullptr ? std::atoi(spec) : -1;
  if (column < 0 || static_cast<std::size_t>(column) >= t.schema.fields.size() || argc < 1 || c.keysRefused)
    return false;
  if (!c.keys.Built()) {
    if (++c.keySearches < 2) return false;
    if (!c.keys.Build(*c.table, static_cast<std::size_t>(column))) {
      c.keysRefused = true;
      return false;
    }
  }
  const SqlValue value = SqlValue::From(argv[0]);
  const ColumnType type = ColumnTypeOf(t.schema.fields[static_cast<std::size_t>(column)]);
  const bool number = value.kind == SqlValue::Kind::kInteger || value.kind == SqlValue::Kind::kReal;
  if ((type == ColumnType::kText && number) || (type != ColumnType::kText && type != ColumnType::kBlob &&
                                                value.kind == SqlValue::Kind::kText))
    return false;
  c.order.reset();
  c.file.reset();
  c.byKeys = true;
  c.match = c.matchEnd = 0;
  if (const auto key = KeyIndex::KeyOf(value)) std::tie(c.match, c.matchEnd) = c.keys.Find(*key);
  SettleOnMatch(c);
  return true;
}

int Filter(sqlite3_vtab_cursor* cursor, int idxNum, const char* idxStr, int argc, sqlite3_value** argv) {
  auto& c = *static_cast<SqlCursor*>(cursor);
  auto* t = static_cast<SqlTable*>(cursor->pVtab);
  try {
    if (!c.table) c.table = OpenChecked(*t, true);
    c.byKeys = false;
    if (idxNum == kKeys) {
      if (StartKeySearch(c, *t, idxStr, argc, argv)) return SQLITE_OK;
    } else if (idxNum != kScan && StartSeek(c, *t, idxNum, idxStr ? idxStr : "", argc, argv)) {
      return SQLITE_OK;
    }
    c.order.reset();
    c.file.reset();
    c.table->GotoTop(c.table->Natural());
    c.eof = c.table->CursorState().eof;
    return SQLITE_OK;
  } catch (...) {
    return Failed(cursor->pVtab, t->session);
  }
}

int Next(sqlite3_vtab_cursor* cursor) {
  auto& c = *static_cast<SqlCursor*>(cursor);
  try {
    Table& table = *c.table;
    if (c.byKeys) {
      ++c.match;
      SettleOnMatch(c);
    } else if (c.order) {
      table.Skip(*c.order, 1);
      c.eof = PastKeys(c);
    } else {
      table.Skip(table.Natural(), 1);
      c.eof = table.CursorState().eof;
    }
    return SQLITE_OK;
  } catch (...) {
    return Failed(cursor->pVtab, static_cast<SqlTable*>(cursor->pVtab)->session);
  }
}

int Eof(sqlite3_vtab_cursor* cursor) { return static_cast<SqlCursor*>(cursor)->eof ? 1 : 0; }

int Column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
  auto& c = *static_cast<SqlCursor*>(cursor);
  // An UPDATE asks for the columns it does not change only to pass them back unchanged.
  if (sqlite3_vtab_nochange(context)) return SQLITE_OK;
  try {
    FieldValue(*c.table, static_cast<std::size_t>(column)).Result(context);
    return SQLITE_OK;
  } catch (...) {
    return Failed(cursor->pVtab, static_cast<SqlTable*>(cursor->pVtab)->session);
  }
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
  *rowid = static_cast<SqlCursor*>(cursor)->table->CurrentRecordNumber();
  return SQLITE_OK;
}

Table& Writer(SqlTable& t) {
  if (t.writer) return *t.writer;
  auto table = OpenChecked(t, false);
  if (Transaction* transaction = t.session->CurrentTransaction()) transaction->Attach(*table);
  std::vector<std::shared_ptr<IndexFile>> files;
  if (auto structural = IndexFile::OpenStructural(*table)) files.push_back(structural);
  for (const auto& open : OpenIndexFilesOf(t.hostPath)) {
    bool known = false;
    for (const auto& f : files) known = known || SameFile(f->HostPath(), open->HostPath());
    if (!known) files.push_back(IndexFile::Open(*table, open->WindowsPath()));
  }
  t.writer = std::move(table);
  t.writerFiles = std::move(files);
  return *t.writer;
}

// Stores the columns a statement gives (argv[2] onwards) into the pending record; columns the
// statement leaves as they are, and values equal to the stored ones, are not written again.
void StoreColumns(Table& table, const SqlTable& t, int argc, sqlite3_value** argv, bool fresh) {
  for (int i = 2; i < argc; ++i) {
    const std::size_t field = static_cast<std::size_t>(i - 2);
    if (field >= t.schema.fields.size() || sqlite3_value_nochange(argv[i])) continue;
    const SqlValue v = SqlValue::From(argv[i]);
    if (fresh ? v.IsNull() : [&] {
          const SqlValue old = FieldValue(table, field);
          return old.kind == v.kind && old.integer == v.integer && old.real == v.real && old.bytes == v.bytes;
        }())
      continue;
    StoreValue(table, field, v);
  }
}

int Update(sqlite3_vtab* vtab, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
  auto& t = *static_cast<SqlTable*>(vtab);
  Table* writer = nullptr;
  try {
    Table& table = Writer(t);
    writer = &table;
    if (argc == 1) {
      const auto recno = static_cast<std::uint32_t>(sqlite3_value_int64(argv[0]));
      if (!table.GotoRecord(recno)) Fail(kRecordUnreachable, "");
      table.Delete();
      table.Write();  // now, while the index files are there to follow
      return SQLITE_OK;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
      if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
        Fail(kInvalidArgument, "Record numbers are given by the table " + t.fileName + "; an insert cannot set one.");
      table.Append();
      StoreColumns(table, t, argc, argv, true);
      table.Write();
      *rowid = table.CurrentRecordNumber();
      t.session->NoteAutoInc(table.LastAutoInc());
      return SQLITE_OK;
    }
    const auto recno = static_cast<std::uint32_t>(sqlite3_value_int64(argv[0]));
    if (sqlite3_value_int64(argv[1]) != sqlite3_value_int64(argv[0]))
      Fail(kInvalidArgument, "The record numbers of the table " + t.fileName + " cannot be changed.");
    if (!table.GotoRecord(recno)) Fail(kRecordUnreachable, "");
    StoreColumns(table, t, argc, argv, false);
    table.Write();
    return SQLITE_OK;
  } catch (...) {
    if (writer != nullptr) {
      try {
        writer->Cancel();
      } catch (...) {
      }
    }
    return Failed(vtab, t.session);
  }
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 2;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  m.xUpdate = Update;
  return m;
}

const sqlite3_module kModule = MakeModule();

}  // namespace

void SqlSession::EndExecution() {
  for (SqlTable* t : tables_) {
    if (!t->writer) continue;
    std::unique_ptr<Table> writer = std::move(t->writer);
    std::vector<std::shared_ptr<IndexFile>> files = std::move(t->writerFiles);
    writer->Close();  // with its index files still following it
  }
}

const SqlTable* SqlSession::Find(std::string_view sqlName) const {
  for (const SqlTable* t : tables_)
    if (Upper(t->sqlName) == Upper(sqlName)) return t;
  return nullptr;
}

const std::string& TableFileName(const SqlTable& table) { return table.fileName; }
const Schema& TableSchema(const SqlTable& table) { return table.schema; }

void RegisterTableModule(sqlite3* db, SqlSession* session) {
  const int rc = sqlite3_create_module_v2(db, "xbe_table", &kModule, session, nullptr);
  if (rc != SQLITE_OK) FailFrom(db);
}

void DeclareTable(sqlite3* db, std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted += '"';
  const std::string sql = "CREATE VIRTUAL TABLE " + quoted + " USING xbe_table";
  char* message = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  const std::string text = message ? message : "";
  sqlite3_free(message);
  if (rc != SQLITE_OK) FailNative(rc, text);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace xbe::sql
