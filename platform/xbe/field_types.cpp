#include "platform/xbe/field_types.h"

namespace xbe {

std::optional<std::uint16_t> DbfLetterCode(char letter) {
  switch (letter) {
    case 'C': return kCharacter;
    case 'N': case 'F': return kNumericText;
    case 'D': return kDate;
    case 'L': return kLogical;
    case 'M': return kMemo;
    // FoxPro letters.
    case 'I': return kInteger;
    case 'B': return kDouble;
    case 'Y': return kMoney;
    case 'T': return kTimestamp;
    case 'G': case 'P': return kImage;
    case 'W': return kBinary;
    case '0': return kRaw;  // the hidden null-flags field: kept as bytes
    default: return std::nullopt;
  }
}

namespace {
struct XdtLetter {
  char letter;
  std::uint16_t code;
  std::uint32_t fixedLength;
};
constexpr XdtLetter kXdtLetters[] = {
    {'L', kLogical, 1},     {'N', kNumericText, 0}, {'D', kDate, 4},       {'C', kCharacter, 0},
    {'M', kMemo, 4},        {'W', kBinary, 4},      {'G', kImage, 4},      {'V', kVarMemo, 4},
    {'K', kPackedDate, 3},  {'B', kDouble, 8},      {'I', kInteger, 4},    {'S', kShortInt, 2},
    {'H', kTime, 4},        {'T', kTimestamp, 8},   {'+', kAutoInc, 4},    {'X', kRaw, 0},
    {'$', kMoneyDouble, 8}, {'Y', kMoney, 8},       {'U', kCiCharacter, 0},
};
}  // namespace

std::optional<std::uint16_t> XdtLetterCode(char letter) {
  for (const auto& l : kXdtLetters)
    if (l.letter == letter) return l.code;
  return std::nullopt;
}

char XdtLetterOf(std::uint16_t code) {
  for (const auto& l : kXdtLetters)
    if (l.code == code) return l.letter;
  return 0;
}

std::uint32_t XdtFixedLength(std::uint16_t code) {
  for (const auto& l : kXdtLetters)
    if (l.code == code) return l.fixedLength;
  return 0;
}

char DbfLetterOf(std::uint16_t code, TableType type) {
  switch (code) {
    case kCharacter: return 'C';
    case kNumericText: return 'N';
    case kDate: return 'D';
    case kLogical: return 'L';
    case kMemo: return 'M';
    default: break;
  }
  if (type != TableType::kCdx) return 0;
  switch (code) {
    case kInteger: return 'I';
    case kDouble: return 'B';
    case kMoney: return 'Y';
    case kTimestamp: return 'T';
    case kImage: return 'G';
    case kBinary: return 'W';
    default: return 0;
  }
}

}  // namespace xbe
