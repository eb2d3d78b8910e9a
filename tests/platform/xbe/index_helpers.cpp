#include "index_helpers.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace xbetest {

namespace {
std::string After(const std::string& line, const std::string& tag, const std::string& next) {
  const std::size_t a = line.find(tag);
  if (a == std::string::npos) return {};
  const std::size_t from = a + tag.size();
  const std::size_t to = next.empty() ? line.size() : line.find(next, from);
  return line.substr(from, to == std::string::npos ? std::string::npos : to - from);
}
}  // namespace

std::vector<ExpectedOrder> ExpectedOrders(const std::string& dumpFile) {
  std::ifstream in(dumpFile, std::ios::binary);
  std::vector<ExpectedOrder> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("#order ", 0) != 0) continue;
    ExpectedOrder e;
    e.name = line.substr(7, line.find(' ', 7) - 7);
    e.key = After(line, " key=", " for=");
    e.condition = After(line, " for=", " unique=");
    e.unique = After(line, " unique=", " ") == "T";
    e.descending = After(line, " descend=", " ") == "T";
    e.keyCount = static_cast<std::uint32_t>(std::stoul(After(line, " keycount=", "")));
    std::string numbers;
    std::getline(in, numbers);
    std::istringstream s(numbers);
    for (std::uint32_t r; s >> r;) e.records.push_back(r);
    out.push_back(e);
  }
  return out;
}

std::uint32_t CurrentRecord(XBEHANDLE table) {
  std::uint32_t r = 0;
  EXPECT_EQ(XbeGetRecordNum(table, 2, &r), 0u) << LastErrorText();
  return r;
}

bool AtEof(XBEHANDLE table) {
  std::uint16_t eof = 0;
  EXPECT_EQ(XbeAtEOF(table, &eof), 0u) << LastErrorText();
  return eof != 0;
}

std::vector<std::uint32_t> Walk(XBEHANDLE table, XBEHANDLE handle) {
  std::vector<std::uint32_t> out;
  EXPECT_EQ(XbeGotoTop(handle), 0u) << LastErrorText();
  while (!AtEof(table) && out.size() < 10'000'000) {
    out.push_back(CurrentRecord(table));
    if (XbeSkip(handle, 1) != 0) {
      ADD_FAILURE() << LastErrorText();
      break;
    }
  }
  return out;
}

std::vector<std::uint32_t> WalkBackwards(XBEHANDLE table, XBEHANDLE handle) {
  std::vector<std::uint32_t> out;
  EXPECT_EQ(XbeGotoBottom(handle), 0u) << LastErrorText();
  for (;;) {
    std::uint16_t bof = 0, eof = 0;
    XbeAtBOF(table, &bof);
    XbeAtEOF(table, &eof);
    if (bof || eof || out.size() > 10'000'000) break;
    out.insert(out.begin(), CurrentRecord(table));
    if (XbeSkip(handle, -1) != 0) {
      ADD_FAILURE() << LastErrorText();
      break;
    }
  }
  return out;
}

std::string OrderText(OrderTextCall call, XBEHANDLE order) {
  char text[600];
  std::uint16_t length = sizeof text;
  const XBERESULT r = call(order, text, &length);
  EXPECT_EQ(r, 0u) << LastErrorText();
  return r == 0 ? std::string(text, length) : "<error>";
}

std::vector<XBEHANDLE> AllOrders(XBEHANDLE table) {
  std::uint16_t n = 0;
  EXPECT_EQ(XbeGetNumIndexes(table, &n), 0u);
  std::vector<XBEHANDLE> orders(n);
  EXPECT_EQ(XbeGetAllIndexes(table, orders.data(), &n), 0u) << LastErrorText();
  orders.resize(n);
  return orders;
}

XBEHANDLE OpenIndex(XBEHANDLE table, const std::string& file) {
  XBEHANDLE orders[50] = {};
  std::uint16_t count = 50;
  const XBERESULT r = XbeOpenIndex(table, file.c_str(), orders, &count);
  EXPECT_EQ(r, 0u) << file << ": " << LastErrorText();
  return r == 0 && count > 0 ? orders[0] : 0;
}

}  // namespace xbetest
