// Errors, version and process-wide settings.
#include <cstdio>
#include <cstring>

#include "platform/xbe/api_support.h"
#include "platform/xbe/settings.h"

using namespace xbe;

extern "C" {

XBERESULT XbeGetLastError(uint32_t* code, char* text, uint16_t* length) {
  // Never fails: with no buffer only the code (and the length needed) comes back.
  try {
    std::lock_guard<EngineLock> lock(EngineMutex());
    const LastError& last = ThreadLastError();
    if (code) *code = last.code;
    if (length == nullptr) return kOk;
    if (text == nullptr || *length == 0) {
      *length = static_cast<uint16_t>(std::min<std::size_t>(last.text.size() + 1, 0xFFFF));
      return kOk;
    }
    const std::size_t n = std::min<std::size_t>(last.text.size(), *length - 1u);
    std::memcpy(text, last.text.data(), n);
    text[n] = '\0';
    *length = static_cast<uint16_t>(n);
    return kOk;
  } catch (...) {
    return kOk;
  }
}

XBERESULT XbeGetErrorString(uint32_t code, char* text, uint16_t* length) {
  return Guarded([&] {
    const LastError& last = ThreadLastError();
    // The last error's own text names the file or field; other codes get their description.
    const std::string message = last.code == code && !last.text.empty() ? last.text : FormatErrorText(code, "");
    PutText(message, text, length);
  });
}

XBERESULT XbeShowError(const char* title) {
  return Guarded([&] {
    // No windows at this level: the text goes to the error stream, which a console run shows.
    const LastError& last = ThreadLastError();
    std::fprintf(stderr, "%s: %s\n", title ? title : "", last.text.c_str());
  });
}

XBERESULT XbeSetLastError(uint32_t code, const char* text) {
  std::lock_guard<EngineLock> lock(EngineMutex());
  return SetLastError(code, text ? text : "");
}

XBERESULT XbeGetVersion(uint32_t* major, uint32_t* minor, char* letter, char* description, uint16_t* length) {
  return Guarded([&] {
    if (major) *major = 7;
    if (minor) *minor = 1;
    if (letter) *letter = ' ';
    if (description != nullptr && length != nullptr && *length > 0)
      PutText("Tulmevara local engine", description, length);
    else if (length != nullptr)
      *length = 0;
  });
}

XBERESULT XbeSetDateFormat(const char* format) {
  return Guarded([&] {
    if (format == nullptr || !IsValidDateFormat(format))
      Fail(kInvalidArgument, std::string("The date format '") + (format ? format : "") + "' is not valid.");
    EngineSettings().dateFormat = format;
  });
}

XBERESULT XbeSetDecimals(int16_t decimals) {
  return Guarded([&] {
    if (decimals < 0 || decimals > 127)
      Fail(kInvalidArgument, "The number of decimals " + std::to_string(decimals) + " is not valid.");
    EngineSettings().decimals = static_cast<uint16_t>(decimals);
  });
}

XBERESULT XbeGetDecimals(uint16_t* decimals) {
  return Guarded([&] {
    Require(decimals, "decimals");
    *decimals = EngineSettings().decimals;
  });
}

XBERESULT XbeShowDeleted(uint16_t show) {
  return Guarded([&] { EngineSettings().showDeleted = show != 0; });
}

XBERESULT XbeGetDeleted(uint16_t* shown) {
  return Guarded([&] {
    Require(shown, "flag");
    *shown = EngineSettings().showDeleted ? 1 : 0;
  });
}

XBERESULT XbeSetServerType(uint16_t mask) {
  // Any mask is kept; only a connection needs the local server in it.
  return Guarded([&] {
    if (mask & ~(kServerLocal | kServerRemote | kServerInternet))
      Fail(kInvalidArgument, "The server type mask " + std::to_string(mask) + " is not valid.");
    EngineSettings().serverTypes = mask;
  });
}

XBERESULT XbeCacheOpenTables(uint16_t count) {
  return Guarded([&] { EngineSettings().cachedTables = count; });
}

XBERESULT XbeCacheOpenCursors(uint16_t count) {
  return Guarded([&] { EngineSettings().cachedCursors = count; });
}

XBERESULT XbeGetNumOpenTables(uint16_t* count) {
  return Guarded([&] {
    Require(count, "count");
    *count = static_cast<uint16_t>(Handles().Count(HandleKind::kTable));
  });
}

}  // extern "C"
