// Told before a file is written or cut short, so that what the change overwrites can be kept
// first (a transaction's before-images).
#pragma once
#include <cstdint>

namespace xbe {

class WriteWatcher {
 public:
  virtual ~WriteWatcher() = default;
  // [offset, offset + length) is about to be written.
  virtual void BeforeWrite(std::uint64_t offset, std::uint64_t length) = 0;
  // The file is about to be cut to `size` bytes.
  virtual void BeforeTruncate(std::uint64_t size) = 0;
};

}  // namespace xbe
