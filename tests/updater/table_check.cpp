#include "table_check.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/xbe/xbe.h"
#include "testsupport.h"

namespace updatertest {

namespace {

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 'n' ? std::string("\r\n") : c == 'p' ? std::string("|") : std::string(1, c);
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

char LetterOf(uint16_t code) {
  switch (code) {
    case 1: return 'L';
    case 2: return 'N';
    case 3: return 'D';
    case 4: return 'C';
    case 5: return 'M';
    default: return '?';
  }
}

void Check(XBERESULT r, const std::string& what) {
  if (r != 0) throw std::runtime_error(what + ": " + LastEngineError());
}

std::string FieldText(XBEHANDLE t, uint16_t ordinal) {
  std::string buffer(256, '\0');
  uint32_t length = static_cast<uint32_t>(buffer.size());
  XBERESULT r = XbeGetField(t, XBE_FIELD_ORDINAL(ordinal), buffer.data(), &length, 0);
  if (r == 5005) {
    buffer.assign(length, '\0');
    r = XbeGetField(t, XBE_FIELD_ORDINAL(ordinal), buffer.data(), &length, 0);
  }
  Check(r, "field " + std::to_string(ordinal));
  buffer.resize(length);
  return buffer;
}

// Shows deleted records for the life of the object, then restores the engine's setting.
class DeletedShown {
 public:
  DeletedShown() {
    XbeGetDeleted(&old_);
    XbeShowDeleted(1);
  }
  ~DeletedShown() { XbeShowDeleted(old_); }

 private:
  uint16_t old_ = 0;
};

}  // namespace

std::string LastEngineError() {
  uint32_t code = 0;
  char text[601] = {};
  uint16_t length = 600;
  XbeGetLastError(&code, text, &length);
  return std::to_string(code) + " " + text;
}

TableContents ReadDump(const std::string& dumpName) {
  TableContents d;
  std::ifstream in(testsupport::FixturesDir() / "expected" / dumpName, std::ios::binary);
  if (!in) throw std::runtime_error("no dump " + dumpName);
  std::string line;
  bool inFields = false;
  while (std::getline(in, line)) {
    if (line == "#fields") {
      inFields = true;
    } else if (line.rfind("#records ", 0) == 0) {
      inFields = false;
    } else if (line.rfind("#order", 0) == 0) {
      break;
    } else if (inFields) {
      const auto items = Split(line, ',');
      d.fields.push_back({items.at(0), items.at(1).at(0), static_cast<unsigned>(std::stoul(items.at(2))),
                          static_cast<unsigned>(std::stoul(items.at(3)))});
    } else if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
      const auto parts = Split(line, '|');
      RecordValues r;
      r.recno = static_cast<unsigned>(std::stoul(parts[0]));
      r.deleted = parts[0].find('*') != std::string::npos;
      for (std::size_t i = 1; i < parts.size(); ++i) r.values.push_back(Unescape(parts[i]));
      d.records.push_back(std::move(r));
    }
  }
  return d;
}

TableContents ReadTable(const std::filesystem::path& folder, const std::string& table) {
  DeletedShown shown;
  TableContents c;
  XBEHANDLE connection = 0;
  Check(XbeConnect(folder.string().c_str(), &connection), "connect " + folder.string());
  XBEHANDLE t = 0;
  const std::string name = folder.string() + "\\" + table;
  const XBERESULT opened = XbeOpenTable(connection, name.c_str(), nullptr, XBE_NTX, XBE_ANSI,
                                        XBE_COMPATIBLE_LOCKING, XBE_IGNORE_RIGHTS, 0, &t);
  if (opened != 0) {
    const std::string error = LastEngineError();
    XbeDisconnect(connection);
    throw std::runtime_error("open " + name + ": " + error);
  }
  try {
    uint16_t count = 0;
    Check(XbeGetNumFields(t, &count), "field count");
    for (uint16_t i = 1; i <= count; ++i) {
      FieldInfo f;
      char text[129];
      uint16_t length = sizeof text;
      uint16_t type = 0, decimals = 0;
      uint32_t width = 0;
      Check(XbeGetFieldName(t, i, text, &length), "field name");
      Check(XbeGetFieldType(t, XBE_FIELD_ORDINAL(i), &type), "field type");
      Check(XbeGetFieldLength(t, XBE_FIELD_ORDINAL(i), &width), "field length");
      Check(XbeGetFieldDecimals(t, XBE_FIELD_ORDINAL(i), &decimals), "field decimals");
      c.fields.push_back({std::string(text, length), LetterOf(type), width, decimals});
    }
    uint32_t records = 0;
    Check(XbeGetRecordCount(t, 2, &records), "record count");
    for (uint32_t n = 1; n <= records; ++n) {
      Check(XbeGotoRecord(t, n), "record " + std::to_string(n));
      RecordValues r;
      r.recno = n;
      uint16_t deleted = 0;
      Check(XbeIsRecordDeleted(t, &deleted), "deleted mark");
      r.deleted = deleted != 0;
      for (uint16_t i = 1; i <= count; ++i) {
        r.values.push_back(FieldText(t, i));
        uint16_t empty = 0;
        Check(XbeIsEmpty(t, XBE_FIELD_ORDINAL(i), &empty), "empty");
        r.empty.push_back(empty != 0);
      }
      c.records.push_back(std::move(r));
    }
  } catch (...) {
    XbeCloseTable(t);
    XbeDisconnect(connection);
    throw;
  }
  XbeCloseTable(t);
  XbeDisconnect(connection);
  return c;
}

bool SameValue(char type, const std::string& fromTable, const std::string& fromDump) {
  switch (type) {
    case 'N':
      if (Trim(fromDump).empty() || fromTable.empty()) return Trim(fromDump).empty() && fromTable.empty();
      return std::strtod(fromTable.c_str(), nullptr) == std::strtod(fromDump.c_str(), nullptr);
    case 'D':
      return fromTable == Trim(fromDump);
    default:
      return fromTable == fromDump;
  }
}

}  // namespace updatertest
