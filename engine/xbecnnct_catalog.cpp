// The connection's catalogue: table lists, dictionary objects, the user's groups, the server's
// time, the engine's active links and its cached tables.
#include <algorithm>
#include <memory>

#include "engine/xbecnnct.h"
#include "platform/db/datetime.h"

using xbecnnct::XbeConnectionError;
using xbecnnct::XbeError;

namespace {

constexpr std::uint16_t kNameBufferLength = 260;
constexpr XBERESULT kNoMoreTables = 5059;
constexpr XBERESULT kNoMoreObjects = 5137;
constexpr XBERESULT kNoProperty = 5138;
constexpr XBERESULT kBufferTooSmall = 5005;
constexpr XBEHANDLE kNoFind = 0xFFFFFFFFu;

void CheckTableSearch(XBERESULT result) {
  if (result != 0 && result != kNoMoreTables) throw XbeError(result);
}

}  // namespace

// ---- user groups ------------------------------------------------------------------------

void TXbeConnection::LoadUserGroups() {
  userGroups_->Clear();
  userGroupsText_.clear();
  if (!dictionaryConnection_ || !isConnected_) return;
  std::uint16_t length = 0;
  const XBERESULT first =
      XbeDDGetUserProperty(handle_, username_.c_str(), XBE_DD_USER_GROUP_MEMBERSHIP, nullptr, &length);
  if (first != 0 && first != kBufferTooSmall && first != kNoProperty) CheckXbeResult(nullptr, first);
  if (length == 0) return;  // asked again at the next read
  // One more than asked for keeps the text terminated whatever the engine counts.
  auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(length) + 1);
  std::uint16_t size = length;
  CheckXbeResult(nullptr, XbeDDGetUserProperty(handle_, username_.c_str(), XBE_DD_USER_GROUP_MEMBERSHIP,
                                               buffer.get(), &size));
  buffer[length] = 0;
  const std::string text(buffer.get());
  userGroups_->SetDelimitedText(text);
  userGroupsText_ = text;
  userGroupsLoaded_ = true;
}

classes::TStringList& TXbeConnection::GetUserGroups() {
  if (!userGroupsLoaded_) LoadUserGroups();
  return *userGroups_;
}

std::string TXbeConnection::GetUserGroupsText() {
  if (!userGroupsLoaded_) LoadUserGroups();
  return userGroupsText_;
}

// ---- table lists ------------------------------------------------------------------------

std::string TXbeConnection::TableSearchPattern(const std::string& mask) const {
  if (dictionaryConnection_) return std::string();
  std::string directory = connectPath_.empty() ? aliasPath_ : connectPath_;
  if (!directory.empty() && (directory.back() == '/' || directory.back() == '\\')) directory.pop_back();
  const std::string files = aliasTableType_ == 0 ? mask : aliasTableType_ == 3 ? "*.xdt" : "*.dbf";
  return directory + "\\" + files;
}

void TXbeConnection::SearchTables(classes::TStrings* first, classes::TStrings* second, const std::string& mask,
                                  bool twoNames) {
  RequireConnected();
  if (first == nullptr && (!twoNames || second == nullptr)) return;
  const std::string pattern = TableSearchPattern(mask);
  char name[kNameBufferLength] = {};
  char other[kNameBufferLength] = {};
  std::uint16_t length = kNameBufferLength;
  std::uint16_t otherLength = kNameBufferLength;
  XBEHANDLE search = 0;
  XBERESULT result = twoNames ? XbeFindFirstTable62(handle_, pattern.c_str(), name, &length, other, &otherLength,
                                                    &search)
                              : XbeFindFirstTable(handle_, pattern.c_str(), name, &length, &search);
  const bool opened = result == 0;
  try {
    CheckTableSearch(result);
    while (result == 0) {
      name[kNameBufferLength - 1] = 0;
      other[kNameBufferLength - 1] = 0;
      if (first) first->Add(name);
      if (twoNames && second) second->Add(other);
      length = kNameBufferLength;
      otherLength = kNameBufferLength;
      result = twoNames ? XbeFindNextTable62(handle_, search, name, &length, other, &otherLength)
                        : XbeFindNextTable(handle_, search, name, &length);
      CheckTableSearch(result);
    }
  } catch (...) {
    if (opened) XbeFindClose(handle_, search);
    throw;
  }
  if (opened) XbeFindClose(handle_, search);
}

void TXbeConnection::GetTableNames(classes::TStrings* list, const std::string& mask) {
  SearchTables(list, nullptr, mask, false);
}

void TXbeConnection::GetTableNameLists(classes::TStrings* first, classes::TStrings* second, const std::string& mask) {
  SearchTables(first, second, mask, true);
}

// ---- dictionary objects -----------------------------------------------------------------

void TXbeConnection::GetDictionaryObjectNames(classes::TStrings* list) {
  if (!isConnected_) SetIsConnected(true);
  if (list == nullptr || !dictionaryConnection_) return;
  char name[201] = {};
  std::uint16_t length = 200;
  XBEHANDLE find = kNoFind;
  try {
    XBERESULT result = XbeDDFindFirstObject(handle_, XBE_DD_TABLE_OBJECT, "", name, &length, &find);
    if (result != kNoMoreObjects) CheckXbeResult(nullptr, result);
    while (result == 0) {
      name[200] = 0;
      list->Add(name);
      length = 200;
      result = XbeDDFindNextObject(handle_, find, name, &length);
      if (result != kNoMoreObjects) CheckXbeResult(nullptr, result);
    }
  } catch (...) {
    if (find != kNoFind) XbeDDFindClose(handle_, find);
    throw;
  }
  if (find != kNoFind) XbeDDFindClose(handle_, find);
}

// ---- server time and links --------------------------------------------------------------

db::TDateTime TXbeConnection::GetServerTime() {
  if (!isConnected_) SetIsConnected(true);
  auto date = std::make_unique<char[]>(69);
  auto time = std::make_unique<char[]>(69);
  std::uint16_t dateLength = 69;
  std::uint16_t timeLength = 69;
  std::uint32_t milliseconds = 0;
  CheckXbeResult(nullptr, XbeGetServerTime(handle_, date.get(), &dateLength, &milliseconds, time.get(), &timeLength));
  double julian = 0;
  CheckXbeResult(nullptr, XbeConvertDateToJulian(handle_, date.get(), dateLength, &julian));
  dateLength = 69;
  CheckXbeResult(nullptr, XbeConvertJulianToString(julian, date.get(), &dateLength));
  const std::string text(date.get(), std::min<std::size_t>(dateLength, 68));
  if (text.size() < 8) throw rtl::EConvertError("'" + text + "' is not a valid date");
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(4, 2));
  const int day = std::stoi(text.substr(6, 2));
  return db::EncodeDate(year, month, day) + static_cast<double>(milliseconds) / 86400000.0;
}

std::int32_t TXbeConnection::GetActiveLinkCount() {
  std::uint16_t count = 0;
  CheckXbeResult(nullptr, XbeGetNumActiveLinks(handle_, &count));
  return count;
}

void TXbeConnection::GetActiveLinkInfo(std::uint16_t link, classes::TStrings* list) {
  if (list == nullptr) return;
  char info[664] = {};
  std::uint16_t length = sizeof info;
  CheckXbeResult(nullptr, XbeGetActiveLinkInfo(handle_, link, info, &length));
  const std::string text(info, std::min<std::size_t>(length, sizeof info));
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == ';') {
      list->Add(text.substr(start, i - start));
      start = i + 1;
    }
}

void TXbeConnection::CloseCachedTables() {
  if (isConnected_) CheckXbeResult(nullptr, XbeCloseCachedTables(handle_));
}
