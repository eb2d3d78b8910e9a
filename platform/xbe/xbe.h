/* The client engine's C interface: tables in DBF files with their memo files, in local mode.
 *
 * Conventions (README.md has the details):
 *  - Every function returns an unsigned 32-bit result, 0 for success. A failure also becomes
 *    the calling thread's last error (code and text, XbeGetLastError); the result equals the
 *    last-error code.
 *  - Handles are 32-bit, never 0, below 0x80000000, unique across connections, tables, index
 *    orders, searches and statements, and checked on every call.
 *  - Texts are code page 1252. Text buffers come with an in/out length: in = capacity, counting
 *    the terminating zero; out = characters written, without the zero. A text that does not fit
 *    gives 5005 and the capacity it needs in the length. Lengths of texts are 16-bit; lengths of
 *    field contents and memos are 32-bit.
 *  - Yes/no answers are 16-bit, 1 for yes.
 *  - A field is identified by an XBEFIELD: a value below 0x10000 is the 1-based field ordinal
 *    (XBE_FIELD_ORDINAL), any other value points to the zero-terminated field name, matched
 *    without regard to case.
 */
#ifndef TULMEVARA_PLATFORM_XBE_XBE_H
#define TULMEVARA_PLATFORM_XBE_XBE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t XBERESULT;
typedef uint32_t XBEHANDLE;
typedef const char* XBEFIELD;

#define XBE_FIELD_ORDINAL(n) ((XBEFIELD)(uintptr_t)(n))

/* Table types, character types, lock types, rights checking. */
#define XBE_NTX 1
#define XBE_CDX 2
#define XBE_XDT 3
#define XBE_ANSI 1
#define XBE_OEM 2
#define XBE_COMPATIBLE_LOCKING 0
#define XBE_PROPRIETARY_LOCKING 1
#define XBE_CHECK_RIGHTS 1
#define XBE_IGNORE_RIGHTS 2
/* Open options and reported option bits. */
#define XBE_EXCLUSIVE 1
#define XBE_READONLY 2
#define XBE_UPDATES_PERMITTED 0x20
#define XBE_INSERTS_PERMITTED 0x40
/* Handle types reported by XbeGetHandleType. */
#define XBE_CONNECTION_HANDLE 1
#define XBE_TABLE_HANDLE 2
#define XBE_INDEX_HANDLE 3
#define XBE_STATEMENT_HANDLE 4
#define XBE_SEARCH_HANDLE 5

/* Errors, version. */
XBERESULT XbeGetLastError(uint32_t* code, char* text, uint16_t* length);
XBERESULT XbeGetErrorString(uint32_t code, char* text, uint16_t* length);
XBERESULT XbeShowError(const char* title);
XBERESULT XbeSetLastError(uint32_t code, const char* text);
XBERESULT XbeGetVersion(uint32_t* major, uint32_t* minor, char* letter, char* description, uint16_t* length);

/* Process-wide settings. */
XBERESULT XbeSetDateFormat(const char* format);
XBERESULT XbeSetDecimals(int16_t decimals);
XBERESULT XbeGetDecimals(uint16_t* decimals);
XBERESULT XbeShowDeleted(uint16_t show);
XBERESULT XbeGetDeleted(uint16_t* shown);
XBERESULT XbeSetServerType(uint16_t mask);
XBERESULT XbeCacheOpenTables(uint16_t count);
XBERESULT XbeCacheOpenCursors(uint16_t count);
XBERESULT XbeGetNumOpenTables(uint16_t* count);

/* Connections. */
XBERESULT XbeConnect(const char* path, XBEHANDLE* connection);
XBERESULT XbeConnect60(const char* serverPath, uint16_t serverTypes, const char* userName, const char* password,
                       uint32_t options, XBEHANDLE* connection);
XBERESULT XbeDisconnect(XBEHANDLE connection);
XBERESULT XbeGetConnectionType(XBEHANDLE connection, uint16_t* type);
XBERESULT XbeGetServerName(XBEHANDLE connection, char* name, uint16_t* length);
XBERESULT XbeBeginTransaction(XBEHANDLE connection);
XBERESULT XbeCommitTransaction(XBEHANDLE connection);
XBERESULT XbeRollbackTransaction(XBEHANDLE connection);
XBERESULT XbeFindFirstTable(XBEHANDLE connection, const char* pattern, char* name, uint16_t* length,
                            XBEHANDLE* search);
XBERESULT XbeFindNextTable(XBEHANDLE connection, XBEHANDLE search, char* name, uint16_t* length);
XBERESULT XbeFindFirstTable62(XBEHANDLE connection, const char* pattern, char* name, uint16_t* length,
                              char* fileName, uint16_t* fileNameLength, XBEHANDLE* search);
XBERESULT XbeFindNextTable62(XBEHANDLE connection, XBEHANDLE search, char* name, uint16_t* length,
                             char* fileName, uint16_t* fileNameLength);
XBERESULT XbeFindClose(XBEHANDLE connection, XBEHANDLE search);
XBERESULT XbeGetNumActiveLinks(XBEHANDLE connection, uint16_t* count);
XBERESULT XbeGetActiveLinkInfo(XBEHANDLE connection, uint16_t link, char* info, uint16_t* length);
XBERESULT XbeGetServerTime(XBEHANDLE connection, char* date, uint16_t* dateLength, uint32_t* milliseconds,
                           char* time, uint16_t* timeLength);
XBERESULT XbeConvertDateToJulian(XBEHANDLE connection, const char* date, uint16_t length, double* julian);
XBERESULT XbeCloseCachedTables(XBEHANDLE connection);

/* Tables. */
XBERESULT XbeOpenTable(XBEHANDLE connection, const char* name, const char* alias, uint16_t tableType,
                       uint16_t charType, uint16_t lockType, uint16_t rightsChecking, uint32_t options,
                       XBEHANDLE* table);
XBERESULT XbeCloseTable(XBEHANDLE table);
XBERESULT XbeGetTableType(XBEHANDLE table, uint16_t* type);
XBERESULT XbeGetTableCharType(XBEHANDLE table, uint16_t* charType);
XBERESULT XbeIsTableEncrypted(XBEHANDLE table, uint16_t* encrypted);
XBERESULT XbeIsEncryptionEnabled(XBEHANDLE table, uint16_t* enabled);
XBERESULT XbeEnableEncryption(XBEHANDLE table, const char* password);
XBERESULT XbeGetRecordLength(XBEHANDLE table, uint32_t* length);
XBERESULT XbeGetTableOpenOptions(XBEHANDLE table, uint32_t* options);
XBERESULT XbeGetNumFields(XBEHANDLE table, uint16_t* count);
XBERESULT XbeCacheRecords(XBEHANDLE table, uint16_t records);
XBERESULT XbeGetLastAutoinc(XBEHANDLE table, uint32_t* value);
XBERESULT XbeGetHandleType(XBEHANDLE handle, uint16_t* type);
/* Lists: entries separated by ";", items by ","; add "name,type,length,decimals", delete
 * "name", change "name,newname,type,length,decimals" (empty items keep the old value). */
XBERESULT XbeRestructureTable(XBEHANDLE connection, const char* name, const char* alias, uint16_t tableType,
                              uint16_t charType, uint16_t lockType, uint16_t rightsChecking,
                              const char* addFields, const char* deleteFields, const char* changeFields);

/* Fields and the record image. */
XBERESULT XbeGetFieldType(XBEHANDLE table, XBEFIELD field, uint16_t* type);
XBERESULT XbeGetFieldLength(XBEHANDLE table, XBEFIELD field, uint32_t* length);
XBERESULT XbeGetFieldDecimals(XBEHANDLE table, XBEFIELD field, uint16_t* decimals);
XBERESULT XbeGetFieldName(XBEHANDLE table, uint16_t ordinal, char* name, uint16_t* length);
XBERESULT XbeGetFieldOffset(XBEHANDLE table, XBEFIELD field, uint32_t* offset);
XBERESULT XbeGetColumnPermissions(XBEHANDLE table, uint16_t ordinal, uint8_t* permissions);
XBERESULT XbeGetRecord(XBEHANDLE table, void* buffer, uint32_t length);
XBERESULT XbeGetField(XBEHANDLE table, XBEFIELD field, void* buffer, uint32_t* length, uint16_t option);
XBERESULT XbeSetField(XBEHANDLE table, XBEFIELD field, const void* data, uint32_t length);
XBERESULT XbeSetFieldRaw(XBEHANDLE table, XBEFIELD field, const void* data, uint32_t length);
XBERESULT XbeSetEmpty(XBEHANDLE table, XBEFIELD field);
XBERESULT XbeIsEmpty(XBEHANDLE table, XBEFIELD field, uint16_t* empty);
XBERESULT XbeClearRecordBuffer(XBEHANDLE table, void* buffer, uint32_t length);
XBERESULT XbeGetNullRecord(XBEHANDLE table, void* buffer, uint32_t length);
XBERESULT XbeConvertStringToJulian(const char* text, uint16_t length, double* julian);
XBERESULT XbeConvertJulianToString(double julian, char* text, uint16_t* length);

/* Navigation, record numbers, bookmarks, counts. */
XBERESULT XbeGotoTop(XBEHANDLE handle);
XBERESULT XbeGotoBottom(XBEHANDLE handle);
XBERESULT XbeGotoBOF(XBEHANDLE handle);
XBERESULT XbeSkip(XBEHANDLE handle, int32_t count);
XBERESULT XbeAtEOF(XBEHANDLE handle, uint16_t* atEof);
XBERESULT XbeAtBOF(XBEHANDLE handle, uint16_t* atBof);
XBERESULT XbeIsRecordVisible(XBEHANDLE handle, uint16_t* visible);
XBERESULT XbeGotoRecord(XBEHANDLE table, uint32_t recordNumber);
XBERESULT XbeGetRecordNum(XBEHANDLE handle, uint16_t option, uint32_t* recordNumber);
XBERESULT XbeGetKeyNum(XBEHANDLE handle, uint16_t option, uint32_t* keyNumber);
XBERESULT XbeGetRecordCount(XBEHANDLE handle, uint16_t mode, uint32_t* count);
XBERESULT XbeGetRelKeyPos(XBEHANDLE handle, double* position);
XBERESULT XbeSetRelKeyPos(XBEHANDLE handle, double position);
XBERESULT XbeGetBookmarkLength(XBEHANDLE handle, uint32_t* length);
XBERESULT XbeGetBookmark60(XBEHANDLE handle, void* bookmark, uint32_t* length);
XBERESULT XbeGetBookmark(XBEHANDLE table, uint32_t* bookmark);
XBERESULT XbeGotoBookmark(XBEHANDLE table, uint32_t bookmark);
XBERESULT XbeCompareBookmarks(const void* bookmark1, const void* bookmark2, int16_t* result);
XBERESULT XbeIsRecordDeleted(XBEHANDLE table, uint16_t* deleted);
XBERESULT XbeRefreshRecord(XBEHANDLE table);

/* Index files and their orders. An NTX file holds one order, a CDX file one per tag; a CDX
 * table opens its structural CDX file (same base name) with it. Every order handle moves its
 * table's one cursor, in key order; all open orders are kept current on every write. */
#define XBE_RAW_KEY 1    /* key types: bytes from XbeBuildRawKey */
#define XBE_TEXT_KEY 2   /* or the key as text */
#define XBE_HARD_SEEK 1  /* seek modes: not found leaves the cursor at EOF */
#define XBE_SOFT_SEEK 2  /* not found stands on the next key */
#define XBE_SEEK_LAST 4  /* added to either: the last matching key instead of the first */
#define XBE_TOP_SCOPE 1
#define XBE_BOTTOM_SCOPE 2
#define XBE_INDEX_FILE_NAME 2 /* XbeGetIndexFilename: name and extension; any other option the full name */
XBERESULT XbeOpenIndex(XBEHANDLE table, const char* fileName, XBEHANDLE* orders, uint16_t* count);
XBERESULT XbeCloseIndex(XBEHANDLE order);
XBERESULT XbeGetNumIndexes(XBEHANDLE table, uint16_t* count);
XBERESULT XbeGetAllIndexes(XBEHANDLE table, XBEHANDLE* orders, uint16_t* count);
XBERESULT XbeGetIndexHandle(XBEHANDLE table, const char* name, XBEHANDLE* order);
XBERESULT XbeGetIndexName(XBEHANDLE order, char* name, uint16_t* length);
XBERESULT XbeGetIndexFilename(XBEHANDLE order, uint16_t option, char* name, uint16_t* length);
XBERESULT XbeGetIndexExpression(XBEHANDLE order, char* expression, uint16_t* length);
XBERESULT XbeGetIndexCondition(XBEHANDLE order, char* condition, uint16_t* length);
XBERESULT XbeGetIndexFlags(XBEHANDLE order, uint32_t* flags);
XBERESULT XbeIsIndexUnique(XBEHANDLE order, uint16_t* unique);
XBERESULT XbeIsIndexDescending(XBEHANDLE order, uint16_t* descending);
XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE order, uint16_t* primary);
/* No order is custom: the answer is 5017 with *custom 0. */
XBERESULT XbeIsIndexCustom(XBEHANDLE order, uint16_t* custom);
XBERESULT XbeGetKeyLength(XBEHANDLE order, uint16_t* length);
XBERESULT XbeGetIndexPageSize(XBEHANDLE order, uint32_t* size);
XBERESULT XbeGetNumSegments(XBEHANDLE order, uint16_t* count);
/* 0-based segments; a segment past the last fails. */
XBERESULT XbeGetSegmentFieldname(XBEHANDLE order, uint16_t segment, char* name, uint16_t* length);
/* Key building: XbeInitRawKey, then XbeSetField / XbeSetFieldRaw / XbeSetEmpty on the order
 * handle by segment name, then XbeBuildRawKey. A character segment given with fewer characters
 * than the field holds ends the key after them (a partial key); so does the first segment left
 * out after leading segments that were given: the key ends before it. */
XBERESULT XbeInitRawKey(XBEHANDLE order);
XBERESULT XbeBuildRawKey(XBEHANDLE order, void* key, uint16_t* length);
/* Keys shorter than the order's compare as a prefix; only visible records are found. */
XBERESULT XbeSeek(XBEHANDLE order, const void* key, uint16_t length, uint16_t keyType, uint16_t mode,
                  uint16_t* found);

/* Scopes on an order: navigation sees only keys from the top to the bottom bound (a shorter
 * bound compares as a prefix). 5038 when none is set. */
XBERESULT XbeSetScope(XBEHANDLE order, uint16_t which, const void* key, uint16_t length, uint16_t keyType);
XBERESULT XbeGetScope(XBEHANDLE order, uint16_t which, char* key, uint16_t* length);
XBERESULT XbeClearScope(XBEHANDLE order, uint16_t which);
XBERESULT XbeClearAllScopes(XBEHANDLE table);

/* Filters on a table (both kinds may be set; a record must pass both), the exact flag of
 * their character comparisons, and evaluation on the current record. 5037 when none is set;
 * XbeGetFilter/XbeGetXOF with no buffer answer 5005 when one is. */
#define XBE_XOF_DYNAMIC 0
#define XBE_XOF_KEYSET 4
#define XBE_XOF_FIXED 8
#define XBE_XOF_RESOLVE_IMMEDIATE 1
#define XBE_XOF_RESOLVE_DYNAMIC 2
XBERESULT XbeSetFilter(XBEHANDLE table, const char* expression);
XBERESULT XbeGetFilter(XBEHANDLE table, char* expression, uint16_t* length);
XBERESULT XbeClearFilter(XBEHANDLE table);
XBERESULT XbeSetXOF(XBEHANDLE table, const char* expression, uint16_t options);
XBERESULT XbeGetXOF(XBEHANDLE table, char* expression, uint16_t* length);
XBERESULT XbeClearXOF(XBEHANDLE table);
XBERESULT XbeSetExact22(XBEHANDLE table, uint16_t exact);
XBERESULT XbeGetExact22(XBEHANDLE table, uint16_t* exact);
XBERESULT XbeEvalLogicalExpr(XBEHANDLE handle, const char* expression, uint16_t* result);
/* An expression with its field names in long and in short form. A field has one name here, so
 * both give the expression with each field reference spelled as the table stores it. *length is
 * the buffer's size in and the text's length out; 5005 when the buffer is too small. */
XBERESULT XbeExpressionLongToShort(XBEHANDLE table, const char* expression, char* buffer, uint16_t* length);
XBERESULT XbeExpressionShortToLong(XBEHANDLE table, const char* expression, char* buffer, uint16_t* length);

/* Locks, editing, append, delete, cancel, CRC. */
XBERESULT XbeLockRecord(XBEHANDLE table, uint32_t recordNumber);
XBERESULT XbeUnlockRecord(XBEHANDLE table, uint32_t recordNumber);
XBERESULT XbeGetRecordCRC(XBEHANDLE table, uint32_t* crc, uint16_t option);
XBERESULT XbeAppendRecord(XBEHANDLE table);
XBERESULT XbeWriteRecord(XBEHANDLE table);
XBERESULT XbeDeleteRecord(XBEHANDLE table);
XBERESULT XbeCancelUpdate(XBEHANDLE table);

/* Memos and blobs. */
XBERESULT XbeGetMemoDataType(XBEHANDLE table, XBEFIELD field, uint16_t* type);
XBERESULT XbeGetMemoLength(XBEHANDLE table, XBEFIELD field, uint32_t* length);
XBERESULT XbeGetBinaryLength(XBEHANDLE table, XBEFIELD field, uint32_t* length);

/* SQL statements on a connection. Statement handles are of type XBE_STATEMENT_HANDLE. Parameters
 * are addressed by position: the n-th marker of the text (from 1) is XBE_FIELD_ORDINAL(n).
 * A cursor is a table handle: XbeExecuteSQL gives 0 when the statement produced none, and the
 * cursor argument may be NULL when the caller wants none. XbeSqlPeekStatement tells a live cursor
 * (1, over the base table) from a static one (0, a materialised result). */
XBERESULT XbeCreateSQLStatement(XBEHANDLE connection, XBEHANDLE* statement);
XBERESULT XbePrepareSQL(XBEHANDLE statement, const char* sql);
XBERESULT XbeExecuteSQL(XBEHANDLE statement, XBEHANDLE* cursor);
XBERESULT XbeExecuteSQLDirect(XBEHANDLE statement, const char* sql, XBEHANDLE* cursor);
XBERESULT XbeCloseSQLStatement(XBEHANDLE statement);
XBERESULT XbeGetSQLStmtParams(const char* sql);
XBERESULT XbeSqlPeekStatement(XBEHANDLE cursor, uint16_t* live);
XBERESULT XbeStmtSetTableType(XBEHANDLE statement, uint16_t tableType);
XBERESULT XbeStmtSetTableCharType(XBEHANDLE statement, uint16_t charType);
XBERESULT XbeStmtSetTableLockType(XBEHANDLE statement, uint16_t lockType);
XBERESULT XbeStmtSetTableRights(XBEHANDLE statement, uint16_t rightsChecking);
/* 1 read-only cursors, 2 live cursors where the statement allows. */
XBERESULT XbeStmtSetTableReadOnly(XBEHANDLE statement, uint16_t readOnly);
/* 1 yes, 2 no. */
XBERESULT XbeStmtConstrainUpdates(XBEHANDLE statement, uint16_t constrain);
XBERESULT XbeStmtReadAllColumns(XBEHANDLE statement, uint16_t readAll);
/* Typed values for a statement's parameters. */
XBERESULT XbeSetString(XBEHANDLE handle, XBEFIELD field, const char* value, uint32_t length);
XBERESULT XbeSetDouble(XBEHANDLE handle, XBEFIELD field, double value);
XBERESULT XbeSetLogical(XBEHANDLE handle, XBEFIELD field, uint16_t value);
XBERESULT XbeSetJulian(XBEHANDLE handle, XBEFIELD field, int32_t julian);
XBERESULT XbeSetMilliseconds(XBEHANDLE handle, XBEFIELD field, int32_t milliseconds);
/* 8 bytes: 32-bit day number, then 32-bit milliseconds of the day, little-endian. */
XBERESULT XbeSetTimeStampRaw(XBEHANDLE handle, XBEFIELD field, const void* stamp, uint32_t length);
#define XBE_BINARY 6
XBERESULT XbeSetBinary(XBEHANDLE handle, XBEFIELD field, uint16_t binaryType, uint32_t totalLength,
                       uint32_t offset, const void* data, uint32_t length);

/* The data dictionary of a dictionary connection. A find handle is released by XbeDDFindClose. */
#define XBE_DD_TABLE_OBJECT 10
#define XBE_DD_TABLE_DEFAULT_INDEX 213
#define XBE_DD_USER_GROUP_MEMBERSHIP 1102
XBERESULT XbeDDFindFirstObject(XBEHANDLE connection, uint16_t objectType, const char* parentName, char* name,
                               uint16_t* length, XBEHANDLE* find);
XBERESULT XbeDDFindNextObject(XBEHANDLE connection, XBEHANDLE find, char* name, uint16_t* length);
XBERESULT XbeDDFindClose(XBEHANDLE connection, XBEHANDLE find);
XBERESULT XbeDDGetTableProperty(XBEHANDLE connection, const char* tableName, uint16_t property, void* buffer,
                                uint16_t* length);
XBERESULT XbeDDGetUserProperty(XBEHANDLE connection, const char* userName, uint16_t property, void* buffer,
                               uint16_t* length);

#ifdef __cplusplus
}
#endif

#endif
