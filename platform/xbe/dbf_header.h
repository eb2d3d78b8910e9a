// The DBF file header: the 32-byte table header, the field descriptors and their terminator.
// Reading validates everything against the bytes at hand and the file size, so that a damaged
// file gives a clear error instead of a wrong reading.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/field_types.h"
#include "platform/xbe/schema.h"

namespace xbe {

// Version bytes.
constexpr std::uint8_t kVersionDbase3 = 0x03;
constexpr std::uint8_t kVersionDbase3Memo = 0x83;
constexpr std::uint8_t kVersionFoxPro = 0x30;
constexpr std::uint8_t kVersionFoxProMemo = 0xF5;
// The engine's own format (table type 3), see README.md.
constexpr std::uint8_t kVersionXdt = 0x58;

constexpr std::uint32_t kHeaderPrefix = 32;
constexpr std::uint32_t kDescriptorSize = 32;
constexpr std::uint32_t kMaxRecordLength = 65535;
constexpr std::uint32_t kMaxFields = 2046;

struct DbfHeader {
  std::uint8_t version = kVersionDbase3;
  std::uint8_t updateYear = 0;  // years since 1900
  std::uint8_t updateMonth = 1;
  std::uint8_t updateDay = 1;
  std::uint32_t recordCount = 0;
  std::uint16_t headerLength = 0;
  std::uint16_t recordLength = 0;
  std::uint8_t tableFlags = 0;  // byte 28 (FoxPro: structural index, memo)
  std::uint8_t codePageMark = 0;  // byte 29
  std::uint32_t xdtLastAutoInc = 0;  // bytes 12..15, engine format only
  std::string reserved;  // bytes 12..31 as read, rewritten unchanged
  std::string trailer;   // bytes after the descriptor terminator up to the header length
  Schema schema;

  bool IsXdt() const { return version == kVersionXdt; }
  bool IsFoxPro() const;
  MemoKind Memo() const;
};

// Parses the header bytes (at least the header length) of a file of `fileSize` bytes.
// `fileName` names the file in error texts. Raises Error(kCorruptFile) or Error(kUnsupported).
DbfHeader ParseDbfHeader(std::string_view bytes, std::uint64_t fileSize, std::string_view fileName);

// How many records the data area holds; the header's count when the file is long enough, else
// the complete records present (a file cut short is read up to its last whole record).
std::uint32_t ReadableRecordCount(const DbfHeader& header, std::uint64_t fileSize);

// The header bytes for a schema (header length computed unless `keepHeaderLength`).
std::string SerializeDbfHeader(const DbfHeader& header);
// The header length a schema needs (descriptors, terminator, the trailer kept), in full width:
// above 65,535 it cannot be written.
std::uint64_t NeededHeaderLength(const DbfHeader& header);
constexpr std::uint64_t kMaxHeaderLength = 65535;
// Computes header length, record length and field offsets for a new schema. Raises
// Error(kInvalidArgument) when the header or the record would not fit their 16-bit fields.
void LayoutHeader(DbfHeader& header);
// Sets the last-update date to today.
void StampToday(DbfHeader& header);

}  // namespace xbe
