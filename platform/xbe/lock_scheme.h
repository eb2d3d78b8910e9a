// Where record, file and header locks and the sharing locks live in a table file (README.md,
// "Locks"). Compatible offsets are those the DOS xBase programs lock by default, so their locks
// and ours exclude each other; the engine's own bytes lie above 4 GiB, out of their reach.
#pragma once
#include <cstdint>

#include "platform/xbe/field_types.h"

namespace xbe {

struct ByteRange {
  std::uint64_t start = 0;
  std::uint64_t length = 0;
};

class LockScheme {
 public:
  LockScheme(LockType lockType, TableType tableType);
  ByteRange Record(std::uint32_t recno) const;
  ByteRange File() const;
  // Serialises header updates (append, record count, memo allocation) between writers.
  ByteRange Header() const;
  // Taken in an index file (NTX or CDX, by its own format) around every change of its orders.
  ByteRange IndexUpdate(bool cdxFile) const;
  // Taken shared by every open handle and exclusive by an exclusive open or a restructure.
  static ByteRange Sharing();

 private:
  enum class Kind { kNtx, kCdx, kOwn } kind_;
};

constexpr std::uint64_t kSharingByte = 0x100000000ULL;   // 4 GiB
constexpr std::uint64_t kOwnLockBase = 0x200000000ULL;   // 8 GiB
constexpr std::uint64_t kNtxLockBase = 1000000000ULL;
constexpr std::uint64_t kCdxLockTop = 0x7FFFFFFEULL;

}  // namespace xbe
