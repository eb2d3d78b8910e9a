#include "platform/xbe/memo_store.h"

#include <algorithm>

#include "platform/xbe/errors.h"

namespace xbe {

std::uint64_t MemoStore::CheckedNextFree(std::uint64_t next, std::uint32_t blockSize) const {
  const std::uint64_t fileBlocks = (file_.Size() + blockSize - 1) / blockSize;
  if (next > fileBlocks)
    Fail(kCorruptFile, "The memo file " + file_.DisplayName() + " is corrupt: its next free block " +
                           std::to_string(next) + " lies beyond its end.");
  return next;
}

void MemoStore::BeginChanges() {
  changing_ = true;
  sizeBefore_ = file_.Size();
  overwritten_.clear();
}

void MemoStore::KeepChanges() {
  changing_ = false;
  overwritten_.clear();
}

void MemoStore::UndoChanges() noexcept {
  if (!changing_) return;
  changing_ = false;
  try {
    for (auto it = overwritten_.rbegin(); it != overwritten_.rend(); ++it)
      file_.WriteAt(it->offset, it->bytes.data(), it->bytes.size());
    if (file_.Size() > sizeBefore_) file_.Truncate(sizeBefore_);
  } catch (...) {
    // Putting back what fits is all that can be done; the record still names the old memo.
  }
  overwritten_.clear();
}

void MemoStore::WriteBytes(std::uint64_t offset, const char* data, std::size_t size) {
  if (changing_ && offset < sizeBefore_) {
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeBefore_ - offset));
    Overwritten old{offset, std::string(kept, '\0')};
    old.bytes.resize(file_.ReadAt(offset, old.bytes.data(), old.bytes.size()));
    overwritten_.push_back(std::move(old));
  }
  file_.WriteAt(offset, data, size);
}

}  // namespace xbe
