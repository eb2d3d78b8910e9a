#include "platform/ui/canvas.h"
#include "platform/ui/rop.h"

namespace ui {
namespace {

bool RopUsesSource(std::uint32_t rop) {
  const std::uint32_t t = (rop >> 16) & 0xFF;
  return ((t >> 2) & 0x33) != (t & 0x33);
}

}  // namespace

void StretchBlt(TCanvas& dest, const TRect& destRect, TCanvas* source, const TRect& sourceRect,
                std::uint32_t rop) {
  Surface* ds = dest.Target();
  if (!ds || destRect.IsEmpty()) return;
  const bool usesSource = RopUsesSource(rop) && source && source->Target();
  Surface* ss = usesSource ? source->Target() : nullptr;
  const TPoint dOrg = dest.ViewportOrigin();
  const TPoint sOrg = usesSource ? source->ViewportOrigin() : TPoint{};
  const int w = destRect.Width(), h = destRect.Height();
  const int sw = sourceRect.Width(), sh = sourceRect.Height();
  const std::uint32_t textRGB = ColorToRGB(dest.TextColor());
  const std::uint32_t bkRGB = ColorToRGB(dest.BkColor());
  const std::uint32_t srcBkRGB = usesSource ? ColorToRGB(source->BkColor()) : 0;
  const bool patternNeeded = ((rop >> 16) & 0xFF) != 0xCC;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int dx = destRect.left + x + dOrg.x, dy = destRect.top + y + dOrg.y;
      if (!ds->Inside(dx, dy)) continue;
      std::uint32_t s = 0;
      if (usesSource) {
        const int sx = sourceRect.left + (sw == w ? x : x * sw / w) + sOrg.x;
        const int sy = sourceRect.top + (sh == h ? y : y * sh / h) + sOrg.y;
        if (!ss->Inside(sx, sy)) continue;
        s = ss->At(sx, sy);
        if (ss->monochrome && !ds->monochrome) s = s ? bkRGB : textRGB;
        else if (!ss->monochrome && ds->monochrome) s = s == srcBkRGB ? 0xFFFFFF : 0;
      }
      std::uint32_t p = patternNeeded ? dest.PatternPixel(dx, dy) : 0;
      if (ds->monochrome) p = ToMonochrome(p);
      const std::uint32_t d = ds->At(dx, dy);
      dest.PutDevicePixel(dx, dy, ApplyRop3(rop, d, s, p));
    }
  }
  if (dest.OnChange) dest.OnChange();
}

void BitBlt(TCanvas& dest, int x, int y, int width, int height, TCanvas* source, int sx, int sy,
            std::uint32_t rop) {
  StretchBlt(dest, Bounds(x, y, width, height), source, Bounds(sx, sy, width, height), rop);
}

}  // namespace ui
