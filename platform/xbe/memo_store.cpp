#include "platform/xbe/memo_store.h"

#include "platform/xbe/errors.h"

namespace xbe {

std::uint64_t MemoStore::CheckedNextFree(std::uint64_t next, std::uint32_t blockSize) const {
  const std::uint64_t fileBlocks = (file_.Size() + blockSize - 1) / blockSize;
  if (next > fileBlocks)
    Fail(kCorruptFile, "The memo file " + file_.DisplayName() + " is corrupt: its next free block " +
                           std::to_string(next) + " lies beyond its end.");
  return next;
}

}  // namespace xbe
