#include "table_reader_fuzz.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/xbe/xbe.h"

namespace xbefuzz {

namespace {
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
}  // namespace

std::string Pack(const std::string& table, const std::string& memo, bool foxPro) {
  std::string input;
  input += static_cast<char>(foxPro ? 1 : 0);
  const std::uint32_t n = static_cast<std::uint32_t>(table.size());
  input.append(reinterpret_cast<const char*>(&n), 4);
  input += table;
  input += memo;
  return input;
}

void RunCase(const std::string& dir, const std::uint8_t* data, std::size_t size) {
  if (size < 5) return;
  const bool foxPro = data[0] & 1;
  const bool showDeleted = data[0] & 2;
  std::uint32_t tableSize;
  std::memcpy(&tableSize, data + 1, 4);
  data += 5;
  size -= 5;
  if (tableSize > size) tableSize = static_cast<std::uint32_t>(size);
  WriteFile(dir + "/T.dbf", data, tableSize);
  WriteFile(dir + (foxPro ? "/T.fpt" : "/T.dbt"), data + tableSize, size - tableSize);
  std::remove((dir + (foxPro ? "/T.dbt" : "/T.fpt")).c_str());

  XBEHANDLE c = 0, t = 0;
  if (XbeConnect(dir.c_str(), &c) != 0) return;
  const uint16_t type = foxPro ? XBE_CDX : XBE_NTX;
  XbeShowDeleted(showDeleted ? 1 : 0);
  if (XbeOpenTable(c, (dir + "\\T").c_str(), nullptr, type, XBE_OEM, 0, 1, 0, &t) == 0) {
    uint16_t fields = 0;
    uint32_t recordLength = 0;
    XbeGetNumFields(t, &fields);
    XbeGetRecordLength(t, &recordLength);
    std::vector<char> image(recordLength + 1);
    std::vector<char> buffer(70000);
    int steps = 0;
    for (XbeGotoTop(t); steps < 200; ++steps) {
      uint16_t eof = 1;
      XbeAtEOF(t, &eof);
      if (eof) break;
      XbeGetRecord(t, image.data(), recordLength);
      for (uint16_t f = 1; f <= fields; ++f) {
        uint32_t length = static_cast<uint32_t>(buffer.size());
        XbeGetField(t, XBE_FIELD_ORDINAL(f), buffer.data(), &length, 0);
        uint16_t empty = 0;
        XbeIsEmpty(t, XBE_FIELD_ORDINAL(f), &empty);
        uint32_t memoLength = 0;
        XbeGetMemoLength(t, XBE_FIELD_ORDINAL(f), &memoLength);
      }
      uint32_t crc = 0;
      XbeGetRecordCRC(t, &crc, 0);
      XbeSkip(t, 1);
    }
    // Backwards from the bottom, going on after errors as a caller may.
    steps = 0;
    for (XbeGotoBottom(t); steps < 200; ++steps) {
      uint16_t bof = 1;
      XbeAtBOF(t, &bof);
      if (bof) break;
      XbeGetRecord(t, image.data(), recordLength);
      XbeSkip(t, -1);
    }
    XbeGotoBottom(t);
    XbeSkip(t, -3);
    uint32_t count = 0;
    XbeGetRecordCount(t, 1, &count);
    // Writing into a damaged table must fail cleanly or work.
    if (XbeGotoRecord(t, 1) == 0 && fields > 0) {
      XbeSetField(t, XBE_FIELD_ORDINAL(1), "12", 2);
      XbeSetField(t, XBE_FIELD_ORDINAL(fields), "memo text", 9);
      XbeWriteRecord(t);
    }
    if (XbeAppendRecord(t) == 0) XbeWriteRecord(t);
    XbeCloseTable(t);
  }
  XbeRestructureTable(c, (dir + "\\T").c_str(), nullptr, type, XBE_OEM, 0, 2, "ZZ,Char,3,0", "", "");
  XbeDisconnect(c);
}

}  // namespace xbefuzz
