// The data dictionary of a dictionary connection: its table objects and the properties of its
// tables and users.
#include <optional>

#include "platform/xbe/api_support.h"
#include "platform/xbe/dictionary/dictionary.h"

using namespace xbe;

namespace {

constexpr std::uint16_t kTableObject = XBE_DD_TABLE_OBJECT;
constexpr std::uint16_t kTableDefaultIndex = XBE_DD_TABLE_DEFAULT_INDEX;
constexpr std::uint16_t kUserGroupMembership = XBE_DD_USER_GROUP_MEMBERSHIP;

ConnectionObject& DictionaryConnection(XBEHANDLE h) {
  ConnectionObject& c = Handles().Get<ConnectionObject>(h, HandleKind::kConnection);
  if (!c.dictionary) Fail(kUnsupported, "The connection to " + c.path + " is not a data-dictionary connection.");
  return c;
}

std::string Given(const char* text, const char* what) {
  if (text == nullptr) Fail(kInvalidArgument, std::string("No ") + what + " was given.");
  return text;
}

// A listing keeps the names it found when it began; it ends with 5137.
void PutNextObject(SearchObject& s, char* name, uint16_t* length) {
  if (s.next >= s.files.size()) Fail(kNoMoreObjects, "");
  PutText(s.files[s.next], name, length);
  ++s.next;
}

}  // namespace

extern "C" {

XBERESULT XbeDDFindFirstObject(XBEHANDLE connection, uint16_t objectType, const char* /*parentName*/, char* name,
                               uint16_t* length, XBEHANDLE* find) {
  return Guarded([&] {
    ConnectionObject& c = DictionaryConnection(connection);
    Require(find, "find handle");
    if (objectType != kTableObject)
      Fail(kUnsupported, "The data dictionary " + c.path + " holds no objects of type " + std::to_string(objectType) +
                             "; only tables (10) are listed.");
    auto s = std::make_unique<SearchObject>();
    s->files = c.dictionary->TableNames();
    // The first name is delivered before the listing gets a handle: a failure leaves none behind.
    PutNextObject(*s, name, length);
    *find = Handles().Add(std::move(s));
  });
}

XBERESULT XbeDDFindNextObject(XBEHANDLE connection, XBEHANDLE find, char* name, uint16_t* length) {
  return Guarded([&] {
    DictionaryConnection(connection);
    PutNextObject(Handles().Get<SearchObject>(find, HandleKind::kSearch), name, length);
  });
}

XBERESULT XbeDDFindClose(XBEHANDLE connection, XBEHANDLE find) {
  return Guarded([&] {
    DictionaryConnection(connection);
    Handles().Get<SearchObject>(find, HandleKind::kSearch);
    Handles().Remove(find);
  });
}

XBERESULT XbeDDGetTableProperty(XBEHANDLE connection, const char* tableName, uint16_t property, void* buffer,
                                uint16_t* length) {
  return Guarded([&] {
    ConnectionObject& c = DictionaryConnection(connection);
    const std::string table = Given(tableName, "table name");
    if (property != kTableDefaultIndex)
      Fail(kUnsupported, "The table property " + std::to_string(property) + " is not kept in data dictionaries.");
    const dictionary::TableEntry entry = c.dictionary->ListedTable(table);
    if (entry.defaultIndex.empty())
      Fail(kNoPropertyValue, "The dictionary table " + entry.name + " has no default index.");
    PutText(entry.defaultIndex, static_cast<char*>(buffer), length);
  });
}

XBERESULT XbeDDGetUserProperty(XBEHANDLE connection, const char* userName, uint16_t property, void* buffer,
                               uint16_t* length) {
  return Guarded([&] {
    ConnectionObject& c = DictionaryConnection(connection);
    const std::string user = Given(userName, "user name");
    if (property != kUserGroupMembership)
      Fail(kUnsupported, "The user property " + std::to_string(property) + " is not kept in data dictionaries.");
    const std::optional<std::vector<std::string>> groups = c.dictionary->GroupsOf(user);
    if (!groups) Fail(kNotInDictionary, "The user " + user + " is not in the data dictionary " + c.path + ".");
    if (groups->empty()) Fail(kNoPropertyValue, "The user " + user + " belongs to no group.");
    std::string text;
    for (const std::string& g : *groups) text += (text.empty() ? "" : ";") + g;
    PutText(text, static_cast<char*>(buffer), length);
  });
}

}  // extern "C"
