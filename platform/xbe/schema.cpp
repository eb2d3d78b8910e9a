#include "platform/xbe/schema.h"

#include "platform/rtl/strutils.h"

namespace xbe {

std::optional<std::size_t> Schema::Find(std::string_view name) const {
  const std::string wanted = rtl::Trim(name);
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (rtl::SameText(fields[i].name, wanted)) return i;
  return std::nullopt;
}

bool Schema::HasMemoFields() const {
  for (const auto& f : fields)
    if (IsMemoCode(f.code)) return true;
  return false;
}

}  // namespace xbe
