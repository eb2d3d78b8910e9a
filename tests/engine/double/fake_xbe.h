// A test double of the engine's C interface: scripted answers and a log of the calls, for the
// edge cases a real engine cannot be made to show (an old version, a failing close, ...).
#pragma once
#include <cstdint>
#include <map>
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
  // SQL statements: the handles created and not yet closed (the engine forgets a handle that a
  // test erases here), what an execution answers, and the parameter values bound, by position.
  std::vector<XBEHANDLE> statements;
  bool executeGivesCursor = true;
  std::uint16_t cursorLive = 1;
  std::uint16_t cursorCharType = 1;
  std::map<std::uint16_t, std::string> bound;
};

Engine& E();
void Reset();
// The calls of one function, in order.
std::vector<std::string> CallsOf(const std::string& function);
// Every call, with names only for the functions listed.
std::vector<std::string> CallsAmong(const std::vector<std::string>& functions);

}  // namespace fake
