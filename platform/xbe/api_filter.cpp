// Filters and optimized filters of a table, the exact flag, and evaluation on the current
// record. Both kinds of filter may be set at once; navigation through every order of the table
// then shows only records that pass both.
#include "platform/xbe/api_support.h"

using namespace xbe;

namespace {

void SetFilterOf(XBEHANDLE table, TableFilters::Kind kind, const char* expression) {
  if (expression == nullptr) Fail(kInvalidArgument, "No filter expression was given.");
  TableObject& t = TableObjectOf(table);
  t.filters.Set(*t.table, kind, expression);
}

void GetFilterOf(XBEHANDLE table, TableFilters::Kind kind, char* expression, uint16_t* length) {
  Require(length, "length");
  const ExpressionFilter* f = TableObjectOf(table).filters.Get(kind);
  if (f == nullptr) Fail(kNoFilter, "");
  PutText(f->Text(), expression, length);
}

void ClearFilterOf(XBEHANDLE table, TableFilters::Kind kind) {
  TableObject& t = TableObjectOf(table);
  if (!t.filters.Clear(*t.table, kind)) Fail(kNoFilter, "");
}

}  // namespace

extern "C" {

XBERESULT XbeSetFilter(XBEHANDLE table, const char* expression) {
  return Guarded([&] { SetFilterOf(table, TableFilters::kPlain, expression); });
}

XBERESULT XbeGetFilter(XBEHANDLE table, char* expression, uint16_t* length) {
  return Guarded([&] { GetFilterOf(table, TableFilters::kPlain, expression, length); });
}

XBERESULT XbeClearFilter(XBEHANDLE table) {
  return Guarded([&] { ClearFilterOf(table, TableFilters::kPlain); });
}

XBERESULT XbeSetXOF(XBEHANDLE table, const char* expression, uint16_t options) {
  return Guarded([&] {
    const uint16_t type = options & 0xC;
    const uint16_t resolve = options & 0x3;
    if ((options & ~0xF) != 0 || type == 0xC || resolve == 3)
      Fail(kInvalidArgument, "The optimized filter options " + std::to_string(options) + " are not valid.");
    SetFilterOf(table, TableFilters::kOptimized, expression);
    TableObjectOf(table).filters.optimizedOptions = options;
  });
}

XBERESULT XbeGetXOF(XBEHANDLE table, char* expression, uint16_t* length) {
  return Guarded([&] { GetFilterOf(table, TableFilters::kOptimized, expression, length); });
}

XBERESULT XbeClearXOF(XBEHANDLE table) {
  return Guarded([&] { ClearFilterOf(table, TableFilters::kOptimized); });
}

XBERESULT XbeSetExact22(XBEHANDLE table, uint16_t exact) {
  return Guarded([&] { TableObjectOf(table).filters.exact = exact != 0; });
}

XBERESULT XbeGetExact22(XBEHANDLE table, uint16_t* exact) {
  return Guarded([&] {
    Require(exact, "exact flag");
    *exact = TableObjectOf(table).filters.exact ? 1 : 0;
  });
}

XBERESULT XbeEvalLogicalExpr(XBEHANDLE handle, const char* expression, uint16_t* result) {
  return Guarded([&] {
    Require(result, "result");
    if (expression == nullptr) Fail(kInvalidArgument, "No expression was given.");
    TableObject& t = TableObjectOf(handle);
    *result = EvaluateLogical(*t.table, expression, t.table->CurrentView(), t.filters.exact) ? 1 : 0;
  });
}

}  // extern "C"
