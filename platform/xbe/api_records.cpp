// Locks, editing, append, delete, cancel, the record CRC and memo information.
#include "platform/xbe/api_support.h"

using namespace xbe;

extern "C" {

XBERESULT XbeLockRecord(XBEHANDLE table, uint32_t recordNumber) {
  return Guarded([&] { TableOf(table).LockRecord(recordNumber); });
}

XBERESULT XbeUnlockRecord(XBEHANDLE table, uint32_t recordNumber) {
  return Guarded([&] { TableOf(table).UnlockRecord(recordNumber); });
}

XBERESULT XbeGetRecordCRC(XBEHANDLE table, uint32_t* crc, uint16_t) {
  return Guarded([&] {
    Require(crc, "CRC");
    *crc = TableOf(table).RecordCrc();
  });
}

XBERESULT XbeAppendRecord(XBEHANDLE table) {
  return Guarded([&] { TableOf(table).Append(); });
}

XBERESULT XbeWriteRecord(XBEHANDLE table) {
  return Guarded([&] { TableOf(table).Write(); });
}

XBERESULT XbeDeleteRecord(XBEHANDLE table) {
  return Guarded([&] { TableOf(table).Delete(); });
}

XBERESULT XbeCancelUpdate(XBEHANDLE table) {
  return Guarded([&] {
    Table& t = TableOf(table);
    if (!t.Cancel()) Fail(t.HasCurrentRecord() ? kNothingToCancel : kNoCurrentRecord, "");
  });
}

XBERESULT XbeGetMemoDataType(XBEHANDLE table, XBEFIELD field, uint16_t* type) {
  return Guarded([&] {
    Require(type, "type");
    Table& t = TableOf(table);
    const std::size_t i = ResolveField(t, field);
    const FieldDesc& f = t.Field(i);
    if (!IsMemoCode(f.code)) Fail(kInvalidArgument, "The field " + f.name + " is not a memo field.");
    if (f.code != kMemo) {
      *type = f.code;
      return;
    }
    // A text memo field holds text unless binary contents were stored in it.
    *type = t.HasCurrentRecord() && !t.GetMemo(i).text ? kBinary : kMemo;
  });
}

XBERESULT XbeGetMemoLength(XBEHANDLE table, XBEFIELD field, uint32_t* length) {
  return Guarded([&] {
    Require(length, "length");
    Table& t = TableOf(table);
    *length = static_cast<uint32_t>(t.GetMemo(ResolveField(t, field)).data.size());
  });
}

XBERESULT XbeGetBinaryLength(XBEHANDLE table, XBEFIELD field, uint32_t* length) {
  return XbeGetMemoLength(table, field, length);
}

}  // extern "C"
