// A static cursor: the rows of a result written into a temporary table of the engine's own
// format, removed with the cursor.
#include <sqlite3.h>
#include <stdlib.h>

#include <cctype>
#include <climits>
#include <filesystem>
#include <set>

#include "platform/xbe/api_support.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/sql/field_values.h"
#include "platform/xbe/sql/result_cursors.h"
#include "platform/xbe/sql/sql_errors.h"
#include "platform/xbe/sql/table_module.h"
#include "platform/xbe/table_create.h"

namespace xbe::sql {

namespace {

class TemporaryResult final : public SqlCursorResult {
 public:
  explicit TemporaryResult(std::filesystem::path dir) : dir_(std::move(dir)) {}
  ~TemporaryResult() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool Live() const override { return false; }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

std::filesystem::path MakeTemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "xbe-sql-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    Fail(kIoError, "No temporary folder could be made for the result of an SQL statement.");
  return pattern;
}

// A field name the table formats accept: letters, digits and "_", at most 10, not starting with
// a digit, unique without regard to case.
std::string FieldNameFor(const char* column, std::set<std::string>& used) {
  std::string name;
  for (const char* p = column ? column : ""; *p != '\0' && name.size() < 10; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (std::isalnum(c) && c < 0x80) name += static_cast<char>(std::toupper(c));
    else if (!name.empty() && name.back() != '_') name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  if (name.empty()) name = "EXPR";
  if (std::isdigit(static_cast<unsigned char>(name[0]))) name = ("F" + name).substr(0, 10);
  std::string candidate = name;
  for (int n = 1; used.count(candidate); ++n) {
    const std::string suffix = std::to_string(n);
    candidate = name.substr(0, 10 - suffix.size()) + suffix;
  }
  used.insert(candidate);
  return candidate;
}

// The field of a column computed by the statement, from the values it holds.
NewField InferredField(const std::vector<std::vector<SqlValue>>& rows, std::size_t column) {
  bool real = false, text = false, blob = false, wide = false;
  std::size_t longest = 1;
  for (const auto& row : rows) {
    const SqlValue& v = row[column];
    switch (v.kind) {
      case SqlValue::Kind::kInteger: wide = wide || v.integer < -INT_MAX || v.integer > INT_MAX; break;
      case SqlValue::Kind::kReal: real = true; break;
      case SqlValue::Kind::kText: text = true; longest = std::max(longest, v.bytes.size()); break;
      case SqlValue::Kind::kBlob: blob = true; break;
      default: break;
    }
  }
  NewField f;
  if (blob) f.code = kBinary;
  else if (text && longest > 65000) f.code = kMemo;
  else if (text) { f.code = kCharacter; f.length = static_cast<std::uint32_t>(longest); }
  else if (real || wide) f.code = kDouble;
  else if (std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return !r[column].IsNull(); })) f.code = kInteger;
  else { f.code = kCharacter; f.length = 1; }
  return f;
}

// Whether a field of the base's kind holds the value as it is.
bool Fits(const FieldDesc& f, const SqlValue& v) {
  if (v.IsNull() || IsMemoCode(f.code)) return true;
  const bool number = v.kind == SqlValue::Kind::kInteger || v.kind == SqlValue::Kind::kReal;
  switch (f.code) {
    case kCharacter: case kCiCharacter: return v.kind == SqlValue::Kind::kText && v.bytes.size() <= f.length;
    case kLogical: return v.kind == SqlValue::Kind::kInteger && (v.integer == 0 || v.integer == 1);
    case kNumericText: return number && FormatNumericText(v.AsText(), f.length, f.decimals).has_value();
    case kDouble: case kMoneyDouble: case kMoney: return number;
    case kInteger: case kShortInt: case kAutoInc:
      return v.kind == SqlValue::Kind::kInteger && v.integer >= (f.code == kShortInt ? -32767 : -INT_MAX) &&
             v.integer <= (f.code == kShortInt ? 32767 : INT_MAX);
    case kDate: case kPackedDate: {
      const auto j = JulianFromStorageText(StorageDateText(v.AsText()));
      return v.kind == SqlValue::Kind::kText && v.bytes.size() == 10 && j && *j > 0;
    }
    case kTime: return v.kind == SqlValue::Kind::kText && MillisecondsOf(v.bytes).has_value();
    case kTimestamp: return v.kind == SqlValue::Kind::kText && v.bytes.size() >= 19 && MillisecondsOf(v.bytes.substr(11));
    default: return v.kind == SqlValue::Kind::kBlob && v.bytes.size() <= f.length;
  }
}

NewField FieldFrom(const FieldDesc& base) {
  NewField f;
  f.code = base.code == kAutoInc ? static_cast<std::uint16_t>(kInteger) : base.code;  // the result's values are given, not counted
  f.length = XdtFixedLength(base.code) != 0 ? 0 : base.length;
  f.decimals = base.code == kNumericText ? base.decimals : 0;
  if (IsMemoCode(base.code)) f.length = 0;
  return f;
}

}  // namespace

std::uint32_t MaterialiseResult(sqlite3_stmt* statement, const SqlSession& session, std::uint32_t connection) {
  const int columns = sqlite3_column_count(statement);
  std::vector<std::vector<SqlValue>> rows;
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) FailFrom(sqlite3_db_handle(statement));
    std::vector<SqlValue>& row = rows.emplace_back();
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(SqlValue::From(sqlite3_column_value(statement, i)));
  }

  std::vector<NewField> fields;
  std::set<std::string> used;
  for (int i = 0; i < columns; ++i) {
    const char* table = sqlite3_column_table_name(statement, i);
    const char* origin = sqlite3_column_origin_name(statement, i);
    const SqlTable* base = table ? session.Find(table) : nullptr;
    // The field the column comes straight from; a compound SELECT may bring, under the first
    // part's column, values that field cannot hold.
    const FieldDesc* from = nullptr;
    if (base != nullptr && origin != nullptr) {
      if (const auto field = TableSchema(*base).Find(origin)) from = &TableSchema(*base).fields[*field];
    }
    for (const auto& row : rows)
      if (from != nullptr && !Fits(*from, row[static_cast<std::size_t>(i)])) from = nullptr;
    NewField f = from != nullptr ? FieldFrom(*from) : InferredField(rows, static_cast<std::size_t>(i));
    f.name = FieldNameFor(sqlite3_column_name(statement, i), used);
    fields.push_back(std::move(f));
  }
  if (fields.empty()) Fail(kInvalidArgument, "The SQL statement gave no columns.");

  auto result = std::make_unique<TemporaryResult>(MakeTemporaryFolder());
  const std::string fileName = (result->Dir() / "RESULT.xdt").string();
  CreateTable(fileName, TableType::kXdt, fields);
  OpenRequest request;
  request.name = fileName;
  request.type = TableType::kXdt;
  request.options = kOpenExclusive;
  {
    std::unique_ptr<Table> writer = Table::Open(request);
    for (const auto& row : rows) {
      writer->Append();
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i].IsNull()) continue;
        // An empty text is a blank field, as in the tables it came from (not the format's zeros).
        const bool blank = IsCharacterCode(fields[i].code) && row[i].kind == SqlValue::Kind::kText && row[i].bytes.empty();
        StoreValue(*writer, i, blank ? SqlValue::Text(" ") : row[i]);
      }
      writer->Write();
    }
    writer->Close();
  }
  request.options = kOpenExclusive | kOpenReadOnly;
  auto object = std::make_unique<TableObject>();
  object->table = Table::Open(request);
  object->table->RefuseChanges(kStaticCursorWrite,
                               "The cursor holds the result of an SQL statement; it cannot be locked or changed.");
  object->connection = connection;
  object->sqlResult = std::move(result);
  return Handles().Add(std::move(object));
}

}  // namespace xbe::sql
