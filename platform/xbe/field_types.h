// Engine field type codes, table types and the DBF field letters of each table format.
#pragma once
#include <cstdint>
#include <optional>

namespace xbe {

enum FieldCode : std::uint16_t {
  kLogical = 1,
  kNumericText = 2,
  kDate = 3,
  kCharacter = 4,
  kMemo = 5,
  kBinary = 6,
  kImage = 7,
  kVarMemo = 8,
  kPackedDate = 9,
  kDouble = 10,
  kInteger = 11,
  kShortInt = 12,
  kTime = 13,
  kTimestamp = 14,
  kAutoInc = 15,
  kRaw = 16,
  kMoneyDouble = 17,
  kMoney = 18,
  kCiCharacter = 20,
};

enum class TableType : std::uint16_t { kNtx = 1, kCdx = 2, kXdt = 3 };
enum class CharType : std::uint16_t { kAnsi = 1, kOem = 2 };
enum class LockType : std::uint16_t { kCompatible = 0, kProprietary = 1 };

// How a file stores its memos.
enum class MemoKind { kNone, kDbt, kFpt };

// Memo-like fields keep their contents in the memo file.
inline bool IsMemoCode(std::uint16_t code) { return code >= kMemo && code <= kVarMemo; }
inline bool IsCharacterCode(std::uint16_t code) { return code == kCharacter || code == kCiCharacter; }

// The engine code of a field letter in a DBF file (dBASE III+ and FoxPro letters), or nullopt.
std::optional<std::uint16_t> DbfLetterCode(char letter);
// The engine's own format: one letter per engine code.
std::optional<std::uint16_t> XdtLetterCode(char letter);
char XdtLetterOf(std::uint16_t code);
// The DBF letter used when a field of this code is written into a DBF file (0 when DBF has none).
char DbfLetterOf(std::uint16_t code, TableType type);

// The fixed storage length of a code in the engine's own format (0 when the length is free).
std::uint32_t XdtFixedLength(std::uint16_t code);

}  // namespace xbe
