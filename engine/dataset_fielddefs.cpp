// Field definitions from the engine's field types.
#include <cstring>

#include "engine/xbedata.h"

void TXbeDataSet::LoadFieldDefs() { LoadFieldDefsFrom(tableHandle_); }

void TXbeDataSet::InitFieldDefsFromTable() {
  if (Active() || tableHandle_ != kNoHandle) {
    LoadFieldDefsFrom(tableHandle_);
    return;
  }
  const XBEHANDLE temporary = OpenTable();
  try {
    LoadFieldDefsFrom(temporary);
  } catch (...) {
    // The temporary table is closed on every path; a failing read keeps its own error.
    XbeCloseTable(temporary);
    throw;
  }
  CheckXbeResult(this, XbeCloseTable(temporary));
}

void TXbeDataSet::LoadFieldDefsFrom(XBEHANDLE handle) {
  std::uint16_t count = 0;
  CheckXbeResult(this, XbeGetNumFields(handle, &count));
  FieldDefs().Clear();
  xbeFieldDefs_->Clear();
  for (std::uint16_t ordinal = 1; ordinal <= count && ordinal != 0; ++ordinal) AddEngineFieldDef(handle, ordinal);
}

void TXbeDataSet::AddEngineFieldDef(XBEHANDLE handle, std::uint16_t ordinal) {
  const XBEFIELD field = XBE_FIELD_ORDINAL(ordinal);
  std::uint16_t type = 0;
  std::uint32_t length = 0;
  std::uint16_t decimals = 0;
  CheckXbeResult(this, XbeGetFieldType(handle, field, &type));
  CheckXbeResult(this, XbeGetFieldLength(handle, field, &length));

  db::TFieldType fieldType = db::ftUnknown;
  int size = 0;
  switch (type) {
    case 1: fieldType = db::ftBoolean; break;
    case 2:
      CheckXbeResult(this, XbeGetFieldDecimals(handle, field, &decimals));
      fieldType = decimals != 0 || length > 4 ? db::ftFloat : db::ftSmallint;
      break;
    case 3: case 9: fieldType = db::ftDate; break;
    case 4: case 20: fieldType = db::ftString; size = static_cast<int>(length); break;
    case 5: case 8: fieldType = db::ftMemo; size = 1; break;
    case 6: case 7: fieldType = db::ftBlob; size = 1; break;
    case 10: fieldType = db::ftFloat; break;
    case 11: fieldType = db::ftInteger; break;
    case 12: fieldType = db::ftSmallint; break;
    case 13: fieldType = db::ftTime; break;
    case 14: fieldType = db::ftDateTime; break;
    case 15: fieldType = db::ftAutoInc; break;
    case 16: fieldType = db::ftBytes; size = static_cast<int>(length); break;
    case 17: fieldType = db::ftCurrency; break;
    case 18: fieldType = db::ftBCD; size = 4; break;
    default:
      RaiseXbeError(this, "Unknown field type (" + std::to_string(type) + ") encountered.");
  }

  char name[129] = {};
  std::uint16_t nameLength = sizeof name;
  CheckXbeResult(this, XbeGetFieldName(handle, ordinal, name, &nameLength));
  const std::string fieldName(name, strnlen(name, sizeof name));

  FieldDefs().Add(fieldName, fieldType, size, false);
  if (fieldType == db::ftBCD) {
    try {
      FieldDefs().Find(fieldName)->SetPrecision(20);
    } catch (...) {
    }
  }

  TXbeFieldDef* def = xbeFieldDefs_->AddDef();
  def->Name = fieldName;
  def->FieldNumber = ordinal;
  def->Length = length;
  def->EngineType = type;
  def->Decimals = decimals;
  CheckXbeResult(this, XbeGetFieldOffset(handle, field, &def->Offset));
  CheckXbeResult(this, XbeGetColumnPermissions(handle, ordinal, &def->Permissions));
  def->Changed = false;
}
