// The software canvas: a drawing context over a Surface with a viewport origin, a clip
// rectangle, saved states, text and background colours, and a selected font, pen and brush.
// Coordinates are logical: device = logical + origin. Lines exclude their end point; fills
// cover [left, right) x [top, bottom); the pattern-brush origin is the surface's (0, 0).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/colors.h"
#include "platform/ui/geometry.h"
#include "platform/ui/graphics.h"
#include "platform/ui/surface.h"

namespace ui {

class FontFace;

// Text-drawing flags.
enum : unsigned {
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800,
  DT_END_ELLIPSIS = 0x8000,  // a line wider than the rectangle is cut and ends in "..."
  DT_RTLREADING = 0x20000,
};

enum TBkMode { TRANSPARENT = 1, OPAQUE = 2 };

inline constexpr std::uint32_t CLR_INVALID = 0xFFFFFFFF;

class TCanvas {
 public:
  TCanvas();
  explicit TCanvas(Surface* surface);
  virtual ~TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The surface drawn on (none: drawing does nothing).
  Surface* Target() const { return surface_; }
  void SetTarget(Surface* surface);

  TFont& Font() { return font_; }
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  const TFont& Font() const { return font_; }
  const TBrush& Brush() const { return brush_; }

  // Device-context state.
  TColor TextColor() const { return textColor_; }
  void SetTextColor(TColor c) { textColor_ = c; }
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor c) { bkColor_ = c; }
  TBkMode BkMode() const { return bkMode_; }
  void SetBkMode(TBkMode m) { bkMode_ = m; }
  TPoint ViewportOrigin() const { return origin_; }
  void SetViewportOrigin(TPoint p) { origin_ = p; }
  // Clip rectangle in logical coordinates; IntersectClipRect narrows it.
  TRect ClipRect() const;
  void IntersectClipRect(const TRect& r);
  void SetDeviceClip(const TRect& deviceRect);
  TRect DeviceClip() const;
  // Saves origin, clip, colours and the selected tools; RestoreDC(-1) pops the last one,
  // RestoreDC(n) goes back to the state SaveDC returned as n.
  int SaveDC();
  void RestoreDC(int saved);

  // Drawing.
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Rectangle(const TRect& r);
  // One-pixel frames in two colours (top/left in the first, bottom/right in the second),
  // `width` times, each shrinking the rectangle by 1 on every side.
  void Frame3D(TRect& r, TColor topLeft, TColor bottomRight, int width);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  TPoint PenPos() const { return penPos_; }
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  void Draw(int x, int y, class TBitmap& bitmap);
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);

  // Text in the selected font (code page 1252).
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text);
  TSize TextExtent(std::string_view text);
  const struct FontMetrics& TextMetrics();
  void TextOut(int x, int y, std::string_view text);
  void TextRect(const TRect& r, int x, int y, std::string_view text);
  // The window system's text-drawing call: see DT_* flags. Returns the text height (with
  // DT_VCENTER or DT_BOTTOM, the offset from the top to the text's bottom). In calculate mode
  // only `r` changes: right := left + widest line, bottom := top + lines * line height.
  int DrawText(std::string_view text, TRect& r, unsigned flags);

  // Called after every drawing operation (bitmaps report their changes through it).
  std::function<void()> OnChange;

  // Low-level access for the blitter and the text renderer: device coordinates, clipped.
  void PutDevicePixel(int dx, int dy, std::uint32_t rgb);
  std::uint32_t PatternPixel(int dx, int dy) const;
  FontFace& Face();

 private:
  struct State {
    TPoint origin;
    TRect clip;
    TColor textColor, bkColor;
    TBkMode bkMode;
    TFont font;
    TColor penColor;
    TColor brushColor;
    TBrushStyle brushStyle;
    TBitmap* brushBitmap;
    TPoint penPos;
  };

  void Changed() {
    if (OnChange) OnChange();
  }
  void HookTools();
  void FillDeviceRect(TRect device, bool usePattern);
  void DrawLine(TPoint from, TPoint to, std::uint32_t rgb);
  void DrawTextLine(int x, int y, std::string_view text, int underlineIndex);

  Surface* surface_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TColor textColor_ = clBlack;
  TColor bkColor_ = clWhite;
  TBkMode bkMode_ = OPAQUE;
  TPoint origin_;
  TRect clip_;  // device coordinates; the whole surface unless narrowed
  bool clipNarrowed_ = false;
  TPoint penPos_;
  FontFace* face_ = nullptr;
  std::vector<State> saved_;
};

// Copies (and with different sizes, stretches) a block between canvases with a ternary raster
// operation. A monochrome source on a colour destination paints 0 bits in the destination's
// text colour and 1 bits in its background colour; a colour source on a monochrome destination
// gives 1 where the source pixel equals the source's background colour. The pattern is the
// destination's brush. `source` may be null for operations that do not read it.
void BitBlt(TCanvas& dest, int x, int y, int width, int height, TCanvas* source, int sx, int sy,
            std::uint32_t rop);
void StretchBlt(TCanvas& dest, const TRect& destRect, TCanvas* source, const TRect& sourceRect,
                std::uint32_t rop);

// Word wrapping as DrawText does it with DT_WORDBREAK: the lines of `text` (CR LF breaks
// paragraphs) within `width` pixels in the face; a word wider than that stays whole.
std::vector<std::string> WrapText(FontFace& face, std::string_view text, int width);

// The nearest of black and white for a monochrome surface.
std::uint32_t ToMonochrome(std::uint32_t rgb);

}  // namespace ui
