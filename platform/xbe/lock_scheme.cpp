#include "platform/xbe/lock_scheme.h"

namespace xbe {

LockScheme::LockScheme(LockType lockType, TableType tableType) {
  if (lockType == LockType::kProprietary || tableType == TableType::kXdt) kind_ = Kind::kOwn;
  else if (tableType == TableType::kCdx) kind_ = Kind::kCdx;
  else kind_ = Kind::kNtx;
}

ByteRange LockScheme::Record(std::uint32_t recno) const {
  switch (kind_) {
    case Kind::kNtx: return {kNtxLockBase + recno, 1};
    case Kind::kCdx: return {kCdxLockTop - recno, 1};
    case Kind::kOwn: break;
  }
  return {kOwnLockBase + recno, 1};
}

ByteRange LockScheme::File() const {
  switch (kind_) {
    case Kind::kNtx: return {kNtxLockBase + 1, kNtxLockBase};
    case Kind::kCdx: return {kCdxLockTop - 0x07FFFFFFULL, 0x07FFFFFFULL};
    case Kind::kOwn: break;
  }
  return {kOwnLockBase + 1, 0xFFFFFFFFULL};
}

ByteRange LockScheme::Header() const {
  switch (kind_) {
    case Kind::kNtx: return {kNtxLockBase, 1};
    case Kind::kCdx: return {kCdxLockTop, 1};
    case Kind::kOwn: break;
  }
  return {kOwnLockBase, 1};
}

ByteRange LockScheme::IndexUpdate(bool cdxFile) const {
  // The other programs lock an index file where they lock a table's header.
  if (kind_ == Kind::kOwn) return {kOwnLockBase, 1};
  return cdxFile ? ByteRange{kCdxLockTop, 1} : ByteRange{kNtxLockBase, 1};
}

ByteRange LockScheme::Sharing() { return {kSharingByte, 1}; }

}  // namespace xbe
