// Connections in local mode, the table catalogue and server information.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <ctime>

#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/xbe/api_support.h"
#include "platform/xbe/date_format.h"
#include "platform/xbe/dictionary/dictionary.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/settings.h"

using namespace xbe;

namespace {

// A local connection is a directory name kept as given; it is checked when a table opens, so a
// wrong directory fails there with the table's name in the text. A path naming a data dictionary
// (".XDD") opens the dictionary at once and admits only a user it lists, with that user's password.
XBEHANDLE NewConnection(const char* path, std::uint16_t serverTypes, const char* user = nullptr,
                        const char* password = nullptr) {
  if (path == nullptr || *path == '\0') Fail(kInvalidArgument, "No directory was given to connect to.");
  if ((serverTypes & kServerLocal) == 0)
    Fail(kConnectRefused, std::string("Cannot connect to ") + path +
                              ": only the local server is available and the server type mask does not include it.");
  std::string upper(path);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto c = std::make_unique<ConnectionObject>();
  c->path = path;
  if (upper.find(".XDD") != std::string::npos) {
    const std::string userName = user ? user : "";
    c->dictionary = dictionary::Dictionary::Open(path);
    if (!c->dictionary->CheckPassword(userName, password ? password : ""))
      Fail(kConnectRefused, std::string("Cannot connect to the data dictionary ") + path +
                                ": the user name or the password is not valid.");
    c->user = userName;
  }
  return Handles().Add(std::move(c));
}

ConnectionObject& ConnectionOf(XBEHANDLE h) {
  return Handles().Get<ConnectionObject>(h, HandleKind::kConnection);
}

std::string BaseName(const std::string& file) {
  const std::size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

void PutMatch(SearchObject& s, char* name, uint16_t* length, char* fileName, uint16_t* fileNameLength) {
  if (s.next >= s.files.size()) Fail(kNoMoreTables, "");
  const std::string& file = s.files[s.next];
  const std::string tableName = s.names.empty() ? BaseName(file) : s.names[s.next];
  const bool wantsFile = fileName != nullptr || fileNameLength != nullptr;
  CheckTextFits(tableName, name, length);
  if (wantsFile) CheckTextFits(file, fileName, fileNameLength);
  PutText(tableName, name, length);
  if (wantsFile) PutText(file, fileName, fileNameLength);
  ++s.next;
}

XBERESULT FindFirst(XBEHANDLE connection, const char* pattern, char* name, uint16_t* length, char* fileName,
                    uint16_t* fileNameLength, XBEHANDLE* search) {
  return Guarded([&] {
    const ConnectionObject& c = ConnectionOf(connection);
    Require(search, "search handle");
    auto s = std::make_unique<SearchObject>();
    if (c.dictionary && (pattern == nullptr || *pattern == '\0')) {
      // A dictionary connection lists the tables its dictionary holds, with their data files.
      for (const std::string& table : c.dictionary->TableNames()) {
        s->names.push_back(table);
        s->files.push_back(c.dictionary->Resolve(c.dictionary->ListedTable(table).path));
      }
    } else {
      if (pattern == nullptr || *pattern == '\0') Fail(kInvalidArgument, "No table name pattern was given.");
      s->files = rtl::FindFiles(pattern);
    }
    if (s->files.empty()) Fail(kNoMoreTables, "");
    // The first match is delivered before the search gets a handle: a failure leaves none behind.
    PutMatch(*s, name, length, fileName, fileNameLength);
    *search = Handles().Add(std::move(s));
  });
}

XBERESULT FindNext(XBEHANDLE connection, XBEHANDLE search, char* name, uint16_t* length, char* fileName,
                   uint16_t* fileNameLength) {
  return Guarded([&] {
    ConnectionOf(connection);
    PutMatch(Handles().Get<SearchObject>(search, HandleKind::kSearch), name, length, fileName, fileNameLength);
  });
}

}  // namespace

extern "C" {

XBERESULT XbeConnect(const char* path, XBEHANDLE* connection) {
  return Guarded([&] {
    Require(connection, "connection handle");
    *connection = NewConnection(path, EngineSettings().serverTypes);
  });
}

XBERESULT XbeConnect60(const char* serverPath, uint16_t serverTypes, const char* userName, const char* password,
                       uint32_t, XBEHANDLE* connection) {
  return Guarded([&] {
    Require(connection, "connection handle");
    *connection = NewConnection(serverPath, serverTypes == 0 ? EngineSettings().serverTypes : serverTypes, userName,
                                password);
  });
}

XBERESULT XbeDisconnect(XBEHANDLE connection) {
  return Guarded([&] {
    if (Handles().WasClosedConnection(connection)) Fail(kAlreadyDisconnected, "");
    ConnectionOf(connection);
    Handles().Remove(connection);
    Handles().MarkClosedConnection(connection);
  });
}

XBERESULT XbeGetConnectionType(XBEHANDLE connection, uint16_t* type) {
  return Guarded([&] {
    ConnectionOf(connection);
    Require(type, "type");
    *type = 1;
  });
}

XBERESULT XbeGetServerName(XBEHANDLE connection, char* name, uint16_t* length) {
  return Guarded([&] { PutText(ConnectionOf(connection).path, name, length); });
}

XBERESULT XbeFindFirstTable(XBEHANDLE connection, const char* pattern, char* name, uint16_t* length,
                            XBEHANDLE* search) {
  return FindFirst(connection, pattern, name, length, nullptr, nullptr, search);
}
XBERESULT XbeFindNextTable(XBEHANDLE connection, XBEHANDLE search, char* name, uint16_t* length) {
  return FindNext(connection, search, name, length, nullptr, nullptr);
}
XBERESULT XbeFindFirstTable62(XBEHANDLE connection, const char* pattern, char* name, uint16_t* length,
                              char* fileName, uint16_t* fileNameLength, XBEHANDLE* search) {
  return FindFirst(connection, pattern, name, length, fileName, fileNameLength, search);
}
XBERESULT XbeFindNextTable62(XBEHANDLE connection, XBEHANDLE search, char* name, uint16_t* length,
                             char* fileName, uint16_t* fileNameLength) {
  return FindNext(connection, search, name, length, fileName, fileNameLength);
}

XBERESULT XbeFindClose(XBEHANDLE connection, XBEHANDLE search) {
  return Guarded([&] {
    ConnectionOf(connection);
    Handles().Get<SearchObject>(search, HandleKind::kSearch);
    Handles().Remove(search);
  });
}

XBERESULT XbeGetNumActiveLinks(XBEHANDLE connection, uint16_t* count) {
  return Guarded([&] {
    ConnectionOf(connection);
    Require(count, "count");
    *count = 0;
  });
}

XBERESULT XbeGetActiveLinkInfo(XBEHANDLE connection, uint16_t link, char*, uint16_t*) {
  return Guarded([&] {
    ConnectionOf(connection);
    Fail(kInvalidArgument, "There is no active link number " + std::to_string(link) + ".");
  });
}

XBERESULT XbeGetServerTime(XBEHANDLE connection, char* date, uint16_t* dateLength, uint32_t* milliseconds,
                           char* time, uint16_t* timeLength) {
  return Guarded([&] {
    ConnectionOf(connection);
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const std::int64_t julian = JulianFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::uint32_t dayMs = static_cast<std::uint32_t>((tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) * 1000 + ms);
    const std::string dateText = FormatDate(julian, EngineSettings().dateFormat);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    const bool wantsTime = time != nullptr || timeLength != nullptr;
    CheckTextFits(dateText, date, dateLength);
    if (wantsTime) CheckTextFits(buf, time, timeLength);
    PutText(dateText, date, dateLength);
    if (milliseconds) *milliseconds = dayMs;
    if (wantsTime) PutText(buf, time, timeLength);
  });
}

XBERESULT XbeConvertDateToJulian(XBEHANDLE connection, const char* date, uint16_t length, double* julian) {
  return Guarded([&] {
    ConnectionOf(connection);
    Require(julian, "julian date");
    Require(date, "date");
    const std::string text(date, strnlen(date, length));
    auto j = ParseDate(text, EngineSettings().dateFormat);
    if (!j) Fail(kInvalidValue, "The text '" + text + "' is not a date in the format " + EngineSettings().dateFormat + ".");
    *julian = static_cast<double>(*j);
  });
}

XBERESULT XbeCloseCachedTables(XBEHANDLE connection) {
  // Closed tables are never kept open, so there is nothing to release.
  return Guarded([&] { ConnectionOf(connection); });
}

}  // extern "C"
