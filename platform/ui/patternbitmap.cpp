#include "platform/ui/patternbitmap.h"

#include <map>
#include <memory>
#include <utility>

namespace ui {

TBitmap* AllocPatternBitmap(TColor dark, TColor light) {
  // One bitmap per colour pair: every held-down button of a process shares it.
  static std::map<std::pair<TColor, TColor>, std::unique_ptr<TBitmap>> patterns;
  auto& slot = patterns[{dark, light}];
  if (!slot) {
    slot = std::make_unique<TBitmap>(8, 8);
    const std::uint32_t d = ColorToRGB(dark), l = ColorToRGB(light);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) slot->Pixels().At(x, y) = (x % 2) == (y % 2) ? l : d;
  }
  return slot.get();
}

}  // namespace ui
