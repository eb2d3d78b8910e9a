#include "dump_file.h"

#include <fstream>
#include <sstream>

namespace xbetest {

namespace {
std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      if (c == 'n') out += "\r\n";
      else if (c == 'p') out += '|';
      else out += c;
    } else {
      out += s[i];
    }
  }
  return out;
}
}  // namespace

Dump ReadDump(const std::string& path) {
  Dump d;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  bool inFields = false;
  while (std::getline(in, line)) {
    if (line == "#fields") { inFields = true; continue; }
    if (line.rfind("#records ", 0) == 0) { inFields = false; d.recordCount = std::stoul(line.substr(9)); continue; }
    if (line.rfind("#order", 0) == 0) break;
    if (inFields) {
      std::stringstream s(line);
      DumpField f;
      std::string type, len, dec;
      std::getline(s, f.name, ',');
      std::getline(s, type, ',');
      std::getline(s, len, ',');
      std::getline(s, dec, ',');
      f.type = type.empty() ? '?' : type[0];
      f.length = std::stoul(len);
      f.decimals = std::stoul(dec);
      d.fields.push_back(f);
      continue;
    }
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    DumpRecord r;
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
      const std::size_t bar = line.find('|', start);
      parts.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    r.recno = std::stoul(parts[0]);
    r.deleted = parts[0].find('*') != std::string::npos;
    for (std::size_t i = 1; i < parts.size(); ++i) r.values.push_back(Unescape(parts[i]));
    d.records.push_back(r);
  }
  return d;
}

}  // namespace xbetest
