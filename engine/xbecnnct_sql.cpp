// SQL on the connection: statements, the cache of prepared statements and the binding of
// parameters by position.
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/xbecnnct.h"
#include "platform/rtl/strutils.h"

namespace {

constexpr XBERESULT kNoRecordCount = 5117;
constexpr std::int32_t kDayNumberOfZero = 2415019;  // the engine's day number of date-time 0

[[noreturn]] void RefuseParam(const db::TParam& param, const std::string& what) {
  throw EXBEDatabaseError(nullptr, kXbeLayerErrorCode,
                          "The field named: '" + param.Name() + "' has " + what);
}

std::int32_t DayNumberOf(db::TDateTime value) { return static_cast<std::int32_t>(std::trunc(value)) + kDayNumberOfZero; }

std::int32_t MillisecondsOf(db::TDateTime value) {
  // Rounded half to even, the default rounding mode.
  return static_cast<std::int32_t>(std::nearbyint((value - std::trunc(value)) * 86400000.0));
}

void PutLittleEndian(std::uint8_t* target, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) target[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::int32_t StatementTextHash(const std::string& text) {
  std::uint32_t hash = 0;
  const std::size_t length = text.size();
  if (length < 16) {
    for (unsigned char c : text) hash = hash * 37u + c;
  } else {
    const std::size_t step = length / 8;
    for (std::size_t i = 0; i < length; i += step) hash = hash * 39u + static_cast<unsigned char>(text[i]);
  }
  return static_cast<std::int32_t>(hash);
}

std::size_t TXbeConnection::FindOrAddCachedStatement(const std::string& sql) {
  if (!statementCache_) statementCache_ = std::make_unique<std::vector<TStmtInfo>>();
  std::vector<TStmtInfo>& cache = *statementCache_;
  const std::int32_t hash = StatementTextHash(sql);
  for (std::size_t i = 0; i < cache.size(); ++i)
    if (cache[i].Hash == hash && rtl::SameText(cache[i].SQL, sql)) return i;
  cache.push_back(TStmtInfo{hash, 0, std::string()});
  return cache.size() - 1;
}

void TXbeConnection::CloseCachedStatements() {
  if (!statementCache_) return;
  std::vector<TStmtInfo>& cache = *statementCache_;
  while (!cache.empty()) {
    const XBEHANDLE statement = cache.front().Statement;
    cache.erase(cache.begin());  // disposed of also when its close fails
    if (statement != 0) CheckXbeResult(nullptr, XbeCloseSQLStatement(statement));
  }
}

XBEHANDLE TXbeConnection::PrepareStatement(const StatementOptions* options, const std::string& sql,
                                           bool keepStatement, bool wantsCursor) {
  std::size_t entry = 0;
  if (keepStatement) {
    entry = FindOrAddCachedStatement(sql);
    if ((*statementCache_)[entry].Statement != 0) return (*statementCache_)[entry].Statement;
  }
  XBEHANDLE statement = 0;
  CheckXbeResult(nullptr, XbeCreateSQLStatement(handle_, &statement));
  try {
    if (wantsCursor) CheckXbeResult(nullptr, XbeStmtSetTableReadOnly(statement, 1));
    if (options != nullptr) {
      CheckXbeResult(nullptr, XbeStmtSetTableType(statement, options->TableType));
      CheckXbeResult(nullptr, XbeStmtSetTableCharType(statement, options->CharType));
      CheckXbeResult(nullptr, XbeStmtSetTableLockType(statement, options->LockType));
      CheckXbeResult(nullptr, XbeStmtSetTableRights(statement, options->Rights));
    }
    CheckXbeResult(nullptr, XbePrepareSQL(statement, sql.c_str()));
  } catch (...) {
    // Not cached yet: nobody else would close it, and an empty cache entry would be closed
    // as handle 0 at the next disconnect.
    XbeCloseSQLStatement(statement);
    if (keepStatement) statementCache_->erase(statementCache_->begin() + static_cast<std::ptrdiff_t>(entry));
    throw;
  }
  if (keepStatement) {
    (*statementCache_)[entry].SQL = sql;
    (*statementCache_)[entry].Statement = statement;
  }
  return statement;
}

void TXbeConnection::BindStatementParams(XBEHANDLE statement, const db::TParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    const db::TParam& param = params.Items(i);
    const XBEFIELD n = XBE_FIELD_ORDINAL(i + 1);
    if (param.IsNull()) {
      CheckXbeResult(nullptr, XbeSetEmpty(statement, n));
      continue;
    }
    switch (param.DataType()) {
      case db::ftUnknown:
        RefuseParam(param, "the DataType of ftUnknown, which is invalid.");
      case db::ftString: case db::ftSmallint: case db::ftInteger: case db::ftWord: case db::ftBCD:
      case db::ftAutoInc: case db::ftMemo: case db::ftFmtMemo: case db::ftFixedChar: case db::ftLargeint:
      case db::ftFMTBcd: case db::ftGuid: case db::ftOraClob: {
        const std::string text = param.AsString();
        CheckXbeResult(nullptr, XbeSetString(statement, n, text.c_str(), static_cast<std::uint32_t>(text.size())));
        break;
      }
      case db::ftBoolean:
        CheckXbeResult(nullptr, XbeSetLogical(statement, n, param.AsBoolean() ? 1 : 0));
        break;
      case db::ftFloat: case db::ftCurrency:
        CheckXbeResult(nullptr, XbeSetDouble(statement, n, param.AsFloat()));
        break;
      case db::ftDate:
        CheckXbeResult(nullptr, XbeSetJulian(statement, n, DayNumberOf(param.AsDateTime())));
        break;
      case db::ftTime:
        CheckXbeResult(nullptr, XbeSetMilliseconds(statement, n, MillisecondsOf(param.AsDateTime())));
        break;
      case db::ftDateTime: case db::ftTimeStamp: {
        std::uint8_t stamp[8];
        PutLittleEndian(stamp, DayNumberOf(param.AsDateTime()));
        PutLittleEndian(stamp + 4, MillisecondsOf(param.AsDateTime()));
        CheckXbeResult(nullptr, XbeSetTimeStampRaw(statement, n, stamp, 8));
        break;
      }
      case db::ftBytes: case db::ftVarBytes: case db::ftBlob: case db::ftGraphic: case db::ftOraBlob: {
        const int size = param.GetDataSize();
        std::vector<std::uint8_t> data(static_cast<std::size_t>(size > 0 ? size : 0) + 1);
        param.GetData(data.data());
        const auto length = static_cast<std::uint32_t>(size > 0 ? size : 0);
        CheckXbeResult(nullptr, XbeSetBinary(statement, n, XBE_BINARY, length, 0, data.data(), length));
        break;
      }
      default:
        RefuseParam(param, "a DataType that is not supported.");
    }
  }
}

std::int32_t TXbeConnection::RunStatement(const StatementOptions* options, const std::string& sql,
                                          const db::TParams* params, bool keepStatement, XBEHANDLE* cursor) {
  if (!isConnected_) SetIsConnected(true);
  const XBEHANDLE statement = PrepareStatement(options, sql, keepStatement, cursor != nullptr);
  std::int32_t count = 0;
  try {
    if (params != nullptr && params->Count() > 0) {
      BindStatementParams(statement, *params);
      CheckXbeResult(nullptr, XbeExecuteSQL(statement, cursor));
    } else {
      CheckXbeResult(nullptr, XbeExecuteSQLDirect(statement, sql.c_str(), cursor));
    }
    if (cursor == nullptr) {
      std::uint32_t records = 0;
      const XBERESULT result = XbeGetRecordCount(statement, 2, &records);
      if (result == kNoRecordCount && options == nullptr)
        records = 0;
      else
        CheckXbeResult(nullptr, result);
      count = static_cast<std::int32_t>(records);
    }
  } catch (...) {
    if (!keepStatement) XbeCloseSQLStatement(statement);
    throw;
  }
  if (!keepStatement) CheckXbeResult(nullptr, XbeCloseSQLStatement(statement));
  return count;
}

std::int32_t TXbeConnection::ExecuteSQL(const std::string& sql, const db::TParams* params, bool keepStatement,
                                        XBEHANDLE* cursor) {
  return RunStatement(nullptr, sql, params, keepStatement, cursor);
}

std::int32_t TXbeConnection::ExecuteSQLWithOptions(const StatementOptions& options, const std::string& sql,
                                                   const db::TParams* params, bool keepStatement,
                                                   XBEHANDLE* cursor) {
  return RunStatement(&options, sql, params, keepStatement, cursor);
}
