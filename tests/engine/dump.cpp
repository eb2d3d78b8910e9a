#include "dump.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace enginetest {

namespace {
std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!line.empty() && line.back() == sep) parts.emplace_back();
  return parts;
}
}  // namespace

Dump ReadDump(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  Dump dump;
  std::string line;
  enum { kNone, kFields, kRecords } section = kNone;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "#fields") { section = kFields; continue; }
    if (line.rfind("#records", 0) == 0) { section = kRecords; continue; }
    if (line.rfind("#order", 0) == 0) { section = kNone; continue; }
    if (section == kFields) {
      const auto p = Split(line, ',');
      dump.fields.push_back({p[0], p[1][0], std::stoi(p[2]), std::stoi(p[3])});
    } else if (section == kRecords && !line.empty()) {
      auto p = Split(line, '|');
      DumpRecord r;
      r.deleted = p[0].back() == '*';
      r.recno = std::stoi(p[0]);
      r.values.assign(p.begin() + 1, p.end());
      while (r.values.size() < dump.fields.size()) r.values.emplace_back();
      dump.records.push_back(std::move(r));
    }
  }
  return dump;
}

std::string MemoText(const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    const char next = value[++i];
    if (next == 'n')
      text += "\r\n";
    else if (next == 'p')
      text += '|';
    else
      text += next;
  }
  return text;
}

}  // namespace enginetest
