// A test double of the engine's C interface: scripted answers and a log of the calls, for the
// edge cases a real engine cannot be made to show (an old version, a failing close, ...).
#pragma once
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/xbe/xbe.h"

namespace fake {

struct Field {
  std::uint16_t type;
  std::uint32_t length;
  std::uint16_t decimals;
  std::string name;
};

struct Order {
  std::string name;
  std::string file;  // upper-case file name, as opened
  std::vector<std::string> segments;
  bool descending = false, unique = false, primary = false;
  XBEHANDLE handle = 0;
};

struct Engine {
  // Index files the engine can open (upper-case file name -> its orders), and the open orders.
  std::map<std::string, std::vector<Order>> indexFiles;
  std::vector<Order> orders;
  std::string failIndexFile;  // XbeOpenIndex of this file name fails
  std::vector<std::string> calls;             // "Name(arg,arg)" in call order
  std::map<std::string, XBERESULT> failures;  // function name -> result it answers
  std::uint32_t lastCode = 0;
  std::string lastText;
  std::vector<Field> fields;
  std::uint32_t major = 7, minor = 1;
  char letter = ' ';
  std::uint16_t allIndexesCount = 0;
  std::uint32_t pageSize = 1024;
  std::uint32_t openOptionsReported = 0;
  std::uint16_t decimals = 2;
  std::uint16_t deleted = 0;
  XBEHANDLE nextHandle = 100;
  std::uint16_t tableType = 1;
  std::uint32_t recordCount = 0;
  std::uint8_t columnPermissions = 6;  // updates and inserts
  // Field writes of posts, by ordinal: the bytes given, or "<empty>" for XbeSetEmpty.
  std::map<std::uintptr_t, std::string> written;
  // Writes 0 into the handle XbeGetIndexHandle is given before it fails, as a careless engine
  // might; the layer must not depend on its engine leaving outputs alone.
  bool zeroHandleOnFailure = false;
  // Searching (fake_xbe_search.cpp): the position XbeGetBookmark reports, whether a seek finds
  // its key, which filters the table holds and its exact flag.
  std::uint32_t bookmark = 0;
  bool seekFinds = false;
  bool optimizedFilterSet = false, filterSet = false;
  std::uint16_t exact = 1;
  // Connections, their catalogue, SQL statements and the data dictionary (fake_xbe_conn.cpp).
  std::string password;                      // XbeConnect60 refuses any other password when set
  std::uint16_t connectionType = 1;
  std::string serverName = "SERVIDOR";
  std::vector<std::string> tableNames;       // what a table search finds, in order
  std::vector<std::string> tableFiles;       // the second names of the two-name search
  std::vector<std::string> dictionaryObjects;
  std::string userGroups;                    // empty: the property has no value (5138)
  std::map<std::string, std::string> defaultIndexes;  // dictionary table -> default index (else 5138)
  std::string activeLinkInfo;
  std::uint16_t activeLinks = 0;
  std::string serverDate = "15/03/2024";
  std::uint32_t serverMilliseconds = 0;
  std::uint16_t tableCharType = 1;
  std::map<XBEHANDLE, std::string> statements;  // open statements and the SQL prepared on them
};

Engine& E();
void Reset();

// Records a call in the log as "Name(arg,arg)": texts quoted, null as null, numbers as numbers.
inline std::string LogText(const char* s) { return s ? "'" + std::string(s) + "'" : "null"; }
template <class T>
std::string LogText(T v) {
  std::ostringstream o;
  o << +v;
  return o.str();
}
template <class... A>
void Log(const char* name, A... args) {
  std::string text = std::string(name) + "(";
  bool first = true;
  ((text += (first ? "" : ","), text += LogText(args), first = false), ...);
  E().calls.push_back(text + ")");
}
// The calls of one function, in order.
std::vector<std::string> CallsOf(const std::string& function);
// Every call, with names only for the functions listed.
std::vector<std::string> CallsAmong(const std::vector<std::string>& functions);

}  // namespace fake
