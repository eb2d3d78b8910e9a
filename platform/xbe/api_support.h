// Helpers of the C entry points: the error boundary, text buffers and field identifiers.
#pragma once
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string_view>

#include "platform/xbe/call_scope.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/expr/errors.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/handles.h"
#include "platform/xbe/xbe.h"

namespace xbe {

inline std::uint32_t IndexErrorCode(const index::IndexError& e) {
  switch (e.kind()) {
    case index::IndexErrorKind::kCorrupt: return kCorruptFile;
    case index::IndexErrorKind::kIo: return kIoError;
    case index::IndexErrorKind::kArgument: return kInvalidArgument;
    case index::IndexErrorKind::kUnsupported: return kUnsupported;
  }
  return kIoError;
}

// Runs `body` under the engine lock; turns every exception into a result code and the
// thread's last error. Nothing is thrown across the C boundary.
template <class Body>
XBERESULT Guarded(Body&& body) noexcept {
  try {
    std::lock_guard<EngineLock> lock(EngineMutex());
    const CallScope call;  // released before the engine lock
    body();
    return kOk;
  } catch (const Error& e) {
    return SetLastError(e.code(), e.Message());
  } catch (const expr::ExprError& e) {
    return SetLastError(kExpressionError, FormatErrorText(kExpressionError, e.Message()));
  } catch (const index::IndexError& e) {
    const std::uint32_t code = IndexErrorCode(e);
    return SetLastError(code, FormatErrorText(code, e.Message()));
  } catch (const std::bad_alloc&) {
    return SetLastError(kIoError, FormatErrorText(kIoError, "Out of memory."));
  } catch (const std::exception& e) {
    return SetLastError(kIoError, FormatErrorText(kIoError, e.what()));
  } catch (...) {
    return SetLastError(kIoError, FormatErrorText(kIoError, "Unexpected failure."));
  }
}

template <class T>
void Require(T* p, const char* what) {
  if (p == nullptr) Fail(kInvalidArgument, std::string("No place was given for the ") + what + ".");
}

// Copies a text with its terminating zero; 5005 with the needed capacity when it does not fit.
void PutText(std::string_view text, char* buffer, std::uint16_t* length);
// The check of PutText alone, for calls that deliver several texts: all are checked before any
// is written, so a failing call leaves every buffer as it was.
void CheckTextFits(std::string_view text, const char* buffer, std::uint16_t* length);
// Copies bytes (no terminator needed) into a buffer of *length; 5005 with the size needed.
void PutBytesChecked(std::string_view bytes, void* buffer, std::uint32_t* length, bool terminate);
// memcpy for the short texts of field reads, without a call: a head and a tail that may overlap.
inline void CopyShort(void* to, const char* from, std::size_t n) {
  char* d = static_cast<char*>(to);
  if (n > 16 && n <= 32) {
    std::uint64_t a[2], b[2];
    std::memcpy(a, from, 16);
    std::memcpy(b, from + n - 16, 16);
    std::memcpy(d, a, 16);
    std::memcpy(d + n - 16, b, 16);
  } else if (n >= 8 && n <= 16) {
    std::uint64_t a, b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + n - 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + n - 8, &b, 8);
  } else if (n >= 4 && n < 8) {
    std::uint32_t a, b;
    std::memcpy(&a, from, 4);
    std::memcpy(&b, from + n - 4, 4);
    std::memcpy(d, &a, 4);
    std::memcpy(d + n - 4, &b, 4);
  } else if (n != 0 && n < 4) {  // bytes 0, n / 2 and n - 1 cover one to three
    d[0] = from[0];
    d[n / 2] = from[n / 2];
    d[n - 1] = from[n - 1];
  } else if (n != 0) {
    std::memcpy(d, from, n);
  }
}
inline void PutBytes(std::string_view bytes, void* buffer, std::uint32_t* length, bool terminate) {
  if (length == nullptr || buffer == nullptr || *length < bytes.size() + (terminate ? 1 : 0))
    return PutBytesChecked(bytes, buffer, length, terminate);
  CopyShort(buffer, bytes.data(), bytes.size());
  if (terminate) static_cast<char*>(buffer)[bytes.size()] = '\0';
  *length = static_cast<std::uint32_t>(bytes.size());
}

inline std::size_t ResolveField(const Table& table, XBEFIELD field) {
  const auto value = reinterpret_cast<std::uintptr_t>(field);
  if (value < 0x10000) return table.FieldIndexOrdinal(static_cast<std::uint32_t>(value));
  return table.FieldIndexName(field);
}
inline Table& TableOf(XBEHANDLE handle) { return Handles().CursorTableOf(handle); }
// The table object of a table or index order handle.
TableObject& TableObjectOf(XBEHANDLE handle);
// An index order handle, its file brought up to date.
OrderObject& OrderOf(XBEHANDLE handle);
// Makes the orders of an index file part of a table's open orders.
void AttachIndexFile(XBEHANDLE tableHandle, TableObject& table, const std::shared_ptr<IndexFile>& file);

}  // namespace xbe
