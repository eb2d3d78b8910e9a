// Binding the query's parameters to its statement: the n-th parameter fills the n-th marker of
// the text, each data type through the engine call that takes its value.
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/xbequery.h"

namespace {

// Day numbers of the framework count from 30 December 1899, which is this Julian day.
constexpr std::int32_t kJulianDayOfDayZero = 2415019;
constexpr double kMillisecondsPerDay = 86400000.0;

std::int32_t WholeDays(db::TDateTime value) { return static_cast<std::int32_t>(std::trunc(value)); }

std::int32_t MillisecondsOfDay(db::TDateTime value) {
  return static_cast<std::int32_t>(std::lround((value - std::trunc(value)) * kMillisecondsPerDay));
}

void PutLittleEndian(std::uint8_t* target, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) target[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

void TXbeQuery::BindParams() {
  for (int i = 0; i < params_->Count(); ++i) BindParam(static_cast<std::uint16_t>(i + 1), params_->Items(i));
}

void TXbeQuery::BindParam(std::uint16_t position, const db::TParam& param) {
  const XBEHANDLE statement = statementHandle_;
  const XBEFIELD field = XBE_FIELD_ORDINAL(position);
  if (param.IsNull()) {
    CheckXbeResult(this, XbeSetEmpty(statement, field));
    return;
  }
  switch (param.DataType()) {
    case db::ftUnknown:
      RaiseXbeError(this, "The field named: '" + param.Name() + "' has the DataType of ftUnknown, which is invalid.");
    case db::ftString:
    case db::ftSmallint:
    case db::ftInteger:
    case db::ftWord:
    case db::ftBCD:
    case db::ftAutoInc:
    case db::ftMemo:
    case db::ftFmtMemo:
    case db::ftFixedChar:
    case db::ftLargeint: {
      const std::string text = param.AsString();
      CheckXbeResult(this, XbeSetString(statement, field, text.c_str(), static_cast<std::uint32_t>(text.size())));
      return;
    }
    case db::ftBoolean:
      CheckXbeResult(this, XbeSetLogical(statement, field, param.AsBoolean() ? 1 : 0));
      return;
    case db::ftFloat:
    case db::ftCurrency:
      CheckXbeResult(this, XbeSetDouble(statement, field, param.AsFloat()));
      return;
    case db::ftDate:
      CheckXbeResult(this, XbeSetJulian(statement, field, WholeDays(param.AsDateTime()) + kJulianDayOfDayZero));
      return;
    case db::ftTime:
      CheckXbeResult(this, XbeSetMilliseconds(statement, field, MillisecondsOfDay(param.AsDateTime())));
      return;
    case db::ftDateTime: {
      const db::TDateTime value = param.AsDateTime();
      std::uint8_t stamp[8];
      PutLittleEndian(stamp, WholeDays(value) + kJulianDayOfDayZero);
      PutLittleEndian(stamp + 4, MillisecondsOfDay(value));
      CheckXbeResult(this, XbeSetTimeStampRaw(statement, field, stamp, sizeof stamp));
      return;
    }
    case db::ftBytes:
    case db::ftVarBytes:
    case db::ftBlob:
    case db::ftGraphic: {
      const auto size = static_cast<std::uint32_t>(param.GetDataSize());
      XBERESULT r;
      {
        std::vector<std::uint8_t> buffer(size, 0);
        if (size > 0) param.GetData(buffer.data());
        r = XbeSetBinary(statement, field, XBE_BINARY, size, 0, buffer.data(), size);
      }
      CheckXbeResult(this, r);
      return;
    }
    case db::ftParadoxOle:
    case db::ftDBaseOle:
    case db::ftTypedBinary:
    case db::ftCursor:
    case db::ftWideString:
    case db::ftADT:
    case db::ftArray:
    case db::ftReference:
    case db::ftDataSet:
      RaiseXbeError(this, "The field named: '" + param.Name() + "' has a DataType that is not supported.");
    default:
      // Types the engine has no value call for are left unbound.
      return;
  }
}
