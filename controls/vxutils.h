// Drawing and window helpers shared by the editor controls: the parent's background under a
// transparent graphic control, the embossed disabled look of a glyph or image-list item,
// rectangle sizes, dropping one pending message, keeping a rectangle on the screen, centring a
// window, fitting a text to a width with an ellipsis, and whether our own window is active.
#pragma once
#include <memory>
#include <string>

#include "platform/ui/bitmap.h"
#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"
#include "platform/ui/imagelist.h"


// Paints the parent's background and the graphic siblings below `control` into `canvas`, whose
// origin is the control's top left.
void PaintParentBackground(ui::TGraphicControl* control, ui::TCanvas& canvas);

// The outline-colour pixels of `bitmap` in the shadow colour over a highlight copy one pixel
// right and down, on a plain back-colour ground.
std::unique_ptr<ui::TBitmap> MakeDisabledImage(ui::TBitmap& bitmap, ui::TColor outline, ui::TColor back,
                                               ui::TColor highlight, ui::TColor shadow, bool drawHighlight);
std::unique_ptr<ui::TBitmap> MakeDisabledImageStd(ui::TBitmap& bitmap, ui::TColor outline);

// The item's opaque shape in the shadow colour at (x, y) over a highlight copy one pixel right
// and down; transparent pixels leave the canvas as it was.
void DrawImageListItemDisabled(const ui::TImageList& list, ui::TCanvas& canvas, int x, int y, int index,
                               ui::TColor highlight, ui::TColor shadow, bool drawHighlight);

inline int RectWidth(const ui::TRect& r) { return r.right - r.left; }
inline int RectHeight(const ui::TRect& r) { return r.bottom - r.top; }

// Removes one pending message of that number for the window; a quit request taken that way is
// posted again, so it is never lost.
void DiscardPendingMessage(ui::HWND window, std::uint32_t message);

void ClampRectToScreen(ui::TRect& rect);
void CenterWindowOnScreen(ui::HWND window);

// The text, shortened with a trailing "..." until it fits `maxWidth` pixels ("..." at least).
std::string FitTextToWidth(const std::string& text, ui::TCanvas& canvas, int maxWidth);

// Whether the active window is one of the calling thread's windows.
bool IsOwnWindowActive();

inline std::string AssignText(const std::string& text) { return text; }

