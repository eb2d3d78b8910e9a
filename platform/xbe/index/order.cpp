#include "platform/xbe/index/order.h"

namespace xbe::index {

std::vector<KeyEntry> Order::Entries() {
  std::vector<KeyEntry> out;
  auto c = NewCursor();
  for (bool ok = c->First(); ok; ok = c->Next()) out.push_back(c->Current());
  return out;
}

}  // namespace xbe::index
