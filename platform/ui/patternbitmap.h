// Shared 8 x 8 checkerboard pattern bitmaps, one per colour pair, for pattern brushes (the
// dotted face of a held-down button). The bitmaps live until the program ends.
#pragma once
#include "platform/ui/bitmap.h"

namespace ui {

// The pattern with `light` where x and y are both even or both odd, `dark` elsewhere.
TBitmap* AllocPatternBitmap(TColor dark, TColor light);

}  // namespace ui
