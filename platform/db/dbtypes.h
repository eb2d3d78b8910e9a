// The dataset framework's enumerations and small value types shared by datasets, fields,
// definitions and links.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/classes/tset.h"

namespace db {

using Byte = std::uint8_t;
// A record buffer is an opaque block that the dataset's own hooks allocate, lay out and free.
using TRecordBuffer = Byte*;
// A bookmark is BookmarkSize raw bytes; an empty vector is "no bookmark".
using TBookmark = std::vector<Byte>;

// The order matters: everything after ftDataSet is a "later" type for parameter binding.
enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
  ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
  ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};

enum class DSState {
  Inactive, Browse, Edit, Insert, SetKey, CalcFields, Filter, NewValue, OldValue, CurValue,
  BlockRead, InternalCalc, Opening
};

enum class GetMode { Current, Next, Prior };
// ("Eof" and "Bof": EOF is a macro of the C library.)
enum class GetResult { Ok, Bof, Eof, Error };

// Bookmark flags kept by the dataset in each record buffer.
enum : Byte { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

enum class DataEventKind {
  FieldChange, RecordChange, DataSetChange, DataSetScroll, LayoutChange, UpdateRecord,
  UpdateState, CheckBrowseMode, PropertyChange
};

enum class BlobMode { Read = 0, Write = 1, ReadWrite = 2 };
enum class TFieldKind { Data, Calculated, Lookup, InternalCalc };

struct ResyncModes {
  bool exact = false;
  bool center = false;
};

struct LocateOptions {
  bool caseInsensitive = false;
  bool partialKey = false;
};

// Options of an index definition.
enum TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression };
using TIndexOptions = classes::TSet<TIndexOption>;

enum class UpdateKind { Modify, Insert, Delete };
enum class TUpdateAction { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
// Answer of an OnEditError / OnPostError / OnDeleteError handler.
enum class TDataAction { daFail, daAbort, daRetry };

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// What a provider asks about a record of a cached delta.
enum class TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };

}  // namespace db
