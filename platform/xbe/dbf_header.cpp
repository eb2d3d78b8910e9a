#include "platform/xbe/dbf_header.h"

#include <ctime>

#include "platform/xbe/errors.h"

namespace xbe {

namespace {

std::uint32_t Le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}
void PutLe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutLe16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

bool IsKnownVersion(std::uint8_t v) {
  switch (v) {
    case 0x02: case 0x03: case 0x30: case 0x31: case 0x32: case 0x83: case 0x8B: case 0xF5:
    case 0xFB: case kVersionXdt:
      return true;
    default:
      return false;
  }
}

std::string Hex(unsigned v) {
  static const char* digits = "0123456789ABCDEF";
  std::string s = "0x";
  s += digits[(v >> 4) & 0xF];
  s += digits[v & 0xF];
  return s;
}

[[noreturn]] void Corrupt(std::string_view fileName, const std::string& what) {
  Fail(kCorruptFile, "The table file " + std::string(fileName) + " is corrupt: " + what + ".");
}

// Checks the storage length a field of this code must have; empty when it is acceptable.
std::string LengthProblem(const FieldDesc& f, bool xdt) {
  if (xdt) {
    const std::uint32_t fixed = XdtFixedLength(f.code);
    if (fixed != 0 && f.length != fixed && !(f.code == kDate && f.length == 8))
      return "has length " + std::to_string(f.length) + " where " + std::to_string(fixed) + " is required";
    return {};
  }
  switch (f.code) {
    case kLogical: return f.length == 1 ? std::string() : "is a logical field of length " + std::to_string(f.length);
    case kDate: return f.length == 8 ? std::string() : "is a date field of length " + std::to_string(f.length);
    case kMemo: case kBinary: case kImage:
      return (f.length == 10 || f.length == 4) ? std::string() : "is a memo field of length " + std::to_string(f.length);
    case kInteger: return f.length == 4 ? std::string() : "is an integer field of length " + std::to_string(f.length);
    case kDouble: case kMoney: case kTimestamp:
      return f.length == 8 ? std::string() : "is an 8-byte field of length " + std::to_string(f.length);
    default: return {};
  }
}

}  // namespace

bool DbfHeader::IsFoxPro() const {
  return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 || version == 0xFB;
}

MemoKind DbfHeader::Memo() const {
  if (!schema.HasMemoFields()) return MemoKind::kNone;
  if (IsFoxPro() || IsXdt()) return MemoKind::kFpt;
  return MemoKind::kDbt;
}

DbfHeader ParseDbfHeader(std::string_view bytes, std::uint64_t fileSize, std::string_view fileName) {
  if (bytes.size() < kHeaderPrefix || fileSize < kHeaderPrefix)
    Corrupt(fileName, "the file is shorter than a table header");
  DbfHeader h;
  h.version = static_cast<std::uint8_t>(bytes[0]);
  if (!IsKnownVersion(h.version))
    Fail(kUnsupported, "The table file " + std::string(fileName) + " has the unknown version byte " +
                           Hex(h.version) + ".");
  h.updateYear = static_cast<std::uint8_t>(bytes[1]);
  h.updateMonth = static_cast<std::uint8_t>(bytes[2]);
  h.updateDay = static_cast<std::uint8_t>(bytes[3]);
  h.recordCount = Le32(bytes, 4);
  h.headerLength = Le16(bytes, 8);
  h.recordLength = Le16(bytes, 10);
  h.reserved.assign(bytes.substr(12, 20));
  h.tableFlags = static_cast<std::uint8_t>(bytes[28]);
  h.codePageMark = static_cast<std::uint8_t>(bytes[29]);
  if (h.IsXdt()) h.xdtLastAutoInc = Le32(bytes, 12);

  if (h.headerLength < kHeaderPrefix + 1)
    Corrupt(fileName, "the header length " + std::to_string(h.headerLength) + " is too small");
  if (h.headerLength > fileSize)
    Corrupt(fileName, "the header length " + std::to_string(h.headerLength) + " is beyond the end of the file");
  if (h.headerLength > bytes.size()) Corrupt(fileName, "the header is incomplete");
  if (h.recordLength < 1) Corrupt(fileName, "the record length is 0");

  const bool xdt = h.IsXdt();
  const bool wideChars = !h.IsFoxPro() && !xdt;  // the high-byte length convention of character fields
  std::uint32_t pos = kHeaderPrefix;
  std::uint32_t offset = 1;
  bool terminated = false;
  while (pos < h.headerLength) {
    if (static_cast<unsigned char>(bytes[pos]) == 0x0D) {
      terminated = true;
      break;
    }
    // Descriptors without the terminator: read those that fit wholly into the header.
    if (pos + kDescriptorSize > h.headerLength) break;
    std::string_view d = bytes.substr(pos, kDescriptorSize);
    FieldDesc f;
    std::size_t nameEnd = 0;
    while (nameEnd < 11 && d[nameEnd] != '\0') ++nameEnd;
    f.name.assign(d.substr(0, nameEnd));
    const std::string ordinal = std::to_string(h.schema.fields.size() + 1);
    if (f.name.empty()) Corrupt(fileName, "field " + ordinal + " has no name");
    for (char c : f.name)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        Corrupt(fileName, "field " + ordinal + " has a name with control characters");
    f.letter = d[11];
    const auto code = xdt ? XdtLetterCode(f.letter) : DbfLetterCode(f.letter);
    if (!code)
      Fail(kUnsupported, "The table file " + std::string(fileName) + " has field " + f.name +
                             " of the unsupported type " + Hex(static_cast<unsigned char>(f.letter)) + ".");
    f.code = *code;
    const auto lenByte = static_cast<unsigned char>(d[16]);
    const auto decByte = static_cast<unsigned char>(d[17]);
    if (f.code == kCharacter && wideChars) {
      f.length = lenByte + 256u * decByte;
      f.decimals = 0;
    } else {
      f.length = lenByte;
      f.decimals = decByte;
    }
    if (xdt && (f.code == kCharacter || f.code == kCiCharacter || f.code == kRaw)) {
      f.length = lenByte + 256u * decByte;
      f.decimals = 0;
    }
    f.flags = static_cast<std::uint8_t>(d[18]);
    if (f.length == 0) Corrupt(fileName, "field " + f.name + " has length 0");
    if (const std::string p = LengthProblem(f, xdt); !p.empty()) Corrupt(fileName, "field " + f.name + " " + p);
    f.offset = offset;
    offset += f.length;
    if (offset > h.recordLength)
      Corrupt(fileName, "the fields are longer than the record length " + std::to_string(h.recordLength));
    h.schema.fields.push_back(std::move(f));
    if (h.schema.fields.size() > kMaxFields) Corrupt(fileName, "too many fields");
    pos += kDescriptorSize;
  }
  if (h.schema.fields.empty()) Corrupt(fileName, "the table has no fields");
  if (terminated) h.trailer.assign(bytes.substr(pos + 1, h.headerLength - pos - 1));
  h.schema.recordLength = h.recordLength;
  return h;
}

std::uint32_t ReadableRecordCount(const DbfHeader& header, std::uint64_t fileSize) {
  if (fileSize <= header.headerLength) return 0;
  const std::uint64_t whole = (fileSize - header.headerLength) / header.recordLength;
  return whole < header.recordCount ? static_cast<std::uint32_t>(whole) : header.recordCount;
}

std::uint64_t NeededHeaderLength(const DbfHeader& h) {
  return kHeaderPrefix + static_cast<std::uint64_t>(kDescriptorSize) * h.schema.fields.size() + 1 + h.trailer.size();
}

void LayoutHeader(DbfHeader& h) {
  std::uint64_t offset = 1;
  for (const auto& f : h.schema.fields) offset += f.length;
  const std::uint64_t headerLength = NeededHeaderLength(h);
  if (offset > kMaxRecordLength || headerLength > kMaxHeaderLength)
    Fail(kInvalidArgument, "A table header of " + std::to_string(headerLength) + " bytes with records of " +
                               std::to_string(offset) + " bytes cannot be written.");
  offset = 1;
  for (auto& f : h.schema.fields) {
    f.offset = static_cast<std::uint32_t>(offset);
    offset += f.length;
  }
  h.schema.recordLength = static_cast<std::uint32_t>(offset);
  h.recordLength = static_cast<std::uint16_t>(offset);
  h.headerLength = static_cast<std::uint16_t>(headerLength);
}

void StampToday(DbfHeader& h) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  h.updateYear = static_cast<std::uint8_t>(tm.tm_year % 256);
  h.updateMonth = static_cast<std::uint8_t>(tm.tm_mon + 1);
  h.updateDay = static_cast<std::uint8_t>(tm.tm_mday);
}

std::string SerializeDbfHeader(const DbfHeader& h) {
  // Never written past: a header length that does not hold the descriptors is refused.
  if (NeededHeaderLength(h) - h.trailer.size() > h.headerLength)
    Fail(kInvalidArgument, "The table header of " + std::to_string(h.headerLength) + " bytes cannot hold " +
                               std::to_string(h.schema.fields.size()) + " fields.");
  std::string b(h.headerLength, '\0');
  b[0] = static_cast<char>(h.version);
  b[1] = static_cast<char>(h.updateYear);
  b[2] = static_cast<char>(h.updateMonth);
  b[3] = static_cast<char>(h.updateDay);
  PutLe32(b, 4, h.recordCount);
  PutLe16(b, 8, h.headerLength);
  PutLe16(b, 10, h.recordLength);
  for (std::size_t i = 0; i < 20 && i < h.reserved.size(); ++i) b[12 + i] = h.reserved[i];
  if (h.IsXdt()) PutLe32(b, 12, h.xdtLastAutoInc);
  b[28] = static_cast<char>(h.tableFlags);
  b[29] = static_cast<char>(h.codePageMark);
  const bool wideChars = !h.IsFoxPro() && !h.IsXdt();
  std::size_t pos = kHeaderPrefix;
  for (const auto& f : h.schema.fields) {
    for (std::size_t i = 0; i < 11 && i < f.name.size(); ++i) b[pos + i] = f.name[i];
    b[pos + 11] = f.letter;
    if (h.IsFoxPro() || h.IsXdt()) PutLe32(b, pos + 12, f.offset);
    const bool split = (f.code == kCharacter && wideChars) ||
                       (h.IsXdt() && (f.code == kCharacter || f.code == kCiCharacter || f.code == kRaw));
    if (split) {
      b[pos + 16] = static_cast<char>(f.length & 0xFF);
      b[pos + 17] = static_cast<char>((f.length >> 8) & 0xFF);
    } else {
      b[pos + 16] = static_cast<char>(f.length & 0xFF);
      b[pos + 17] = static_cast<char>(f.decimals & 0xFF);
    }
    b[pos + 18] = static_cast<char>(f.flags);
    pos += kDescriptorSize;
  }
  b[pos] = 0x0D;
  for (std::size_t i = 0; i < h.trailer.size() && pos + 1 + i < b.size(); ++i) b[pos + 1 + i] = h.trailer[i];
  return b;
}

}  // namespace xbe
