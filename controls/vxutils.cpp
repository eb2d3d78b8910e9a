#include "controls/vxutils.h"

#include <algorithm>

#include "platform/ui/rop.h"
#include "platform/ui/winapi.h"

using namespace ui;

namespace {

// Sets a control-state flag for the lifetime of the guard.
class PaintCopyMark {
 public:
  explicit PaintCopyMark(TControl& c) : control_(c) { c.SetControlState(c.ControlState() | csPaintCopy); }
  ~PaintCopyMark() { control_.SetControlState(control_.ControlState() & ~csPaintCopy); }
  PaintCopyMark(const PaintCopyMark&) = delete;
  PaintCopyMark& operator=(const PaintCopyMark&) = delete;

 private:
  TControl& control_;
};

// Restores a saved drawing state on every path.
class SavedDC {
 public:
  explicit SavedDC(TCanvas& dc) : dc_(dc), saved_(dc.SaveDC()) {}
  ~SavedDC() { dc_.RestoreDC(saved_); }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;

 private:
  TCanvas& dc_;
  int saved_;
};

// Moves the drawing origin by `offset` from where it is and clips to `size` there.
void PlaceAt(TCanvas& dc, TPoint base, TPoint offset, int width, int height) {
  dc.SetViewportOrigin({base.x + offset.x, base.y + offset.y});
  dc.IntersectClipRect(Rect(0, 0, width, height));
}

void BlitMaskInBrush(TCanvas& dest, int x, int y, int w, int h, TBitmap& mask, TColor brush, TColor text,
                     TColor back) {
  dest.Brush().SetColor(brush);
  dest.SetTextColor(text);
  dest.SetBkColor(back);
  BitBlt(dest, x, y, w, h, &mask.Canvas(), 0, 0, ROP_PSDPxax);
}

}  // namespace

void PaintParentBackground(TGraphicControl* control, TCanvas& canvas) {
  if (!control || !control->Parent()) return;
  TWinControl& parent = *control->Parent();
  PaintCopyMark parentMark(parent);
  const TRect r = control->BoundsRect();
  const TPoint base = canvas.ViewportOrigin();
  {
    SavedDC saved(canvas);
    PlaceAt(canvas, base, {-r.left, -r.top}, parent.ClientWidth(), parent.ClientHeight());
    parent.Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&canvas));
    parent.PaintOwnWindow(canvas);
  }
  // Only the siblings below the control in the parent's order show through it.
  for (int i = 0; i < parent.ControlCount(); ++i) {
    TControl* sibling = parent.Controls(i);
    if (sibling == control) break;
    if (sibling->IsWindowed() || !sibling->Visible()) continue;
    if (IntersectRect(sibling->BoundsRect(), r).IsEmpty()) continue;
    PaintCopyMark mark(*sibling);
    SavedDC saved(canvas);
    PlaceAt(canvas, base, {sibling->Left() - r.left, sibling->Top() - r.top}, sibling->Width(), sibling->Height());
    sibling->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&canvas));
  }
}

std::unique_ptr<TBitmap> MakeDisabledImage(TBitmap& bitmap, TColor outline, TColor back, TColor highlight,
                                           TColor shadow, bool drawHighlight) {
  const int w = bitmap.Width(), h = bitmap.Height();
  auto result = std::make_unique<TBitmap>(w, h);
  TBitmap work(w, h);
  work.Pixels() = bitmap.Pixels();  // a copy that keeps the monochrome form
  work.MakeDeviceDependent();
  work.Canvas().Brush().SetColor(outline);
  if (work.Monochrome()) {
    work.Canvas().Font().SetColor(clWhite);
    work.SetMonochrome(false);
    work.Canvas().Brush().SetColor(clWhite);
  }
  work.SetMonochrome(true);  // the outline colour becomes 1, everything else 0

  TCanvas& dc = result->Canvas();
  dc.Brush().SetColor(back);
  dc.FillRect(Rect(0, 0, w, h));
  if (drawHighlight) BlitMaskInBrush(dc, 1, 1, w, h, work, highlight, clBlack, clWhite);
  BlitMaskInBrush(dc, 0, 0, w, h, work, shadow, clBlack, clWhite);
  return result;
}

std::unique_ptr<TBitmap> MakeDisabledImageStd(TBitmap& bitmap, TColor outline) {
  return MakeDisabledImage(bitmap, outline, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void DrawImageListItemDisabled(const TImageList& list, TCanvas& canvas, int x, int y, int index,
                               TColor highlight, TColor shadow, bool drawHighlight) {
  struct BrushGuard {
    TCanvas& dc;
    TColor color;
    ~BrushGuard() { dc.Brush().SetColor(color); }
  } guard{canvas, canvas.Brush().Color()};
  const int w = list.Width(), h = list.Height();
  TBitmap work(w, h);
  work.Canvas().Brush().SetColor(clWhite);
  work.Canvas().FillRect(Rect(0, 0, w, h));
  ImageList_Draw(list, index, work.Canvas(), 0, 0, ILD_MASK);
  work.SetMonochrome(true);  // opaque pixels 0, transparent 1
  if (drawHighlight) BlitMaskInBrush(canvas, x + 1, y + 1, w, h, work, highlight, clWhite, clBlack);
  BlitMaskInBrush(canvas, x, y, w, h, work, shadow, clWhite, clBlack);
}

void DiscardPendingMessage(HWND window, std::uint32_t message) {
  TMessage m;
  if (PeekMessage(m, window, message, message, PM_REMOVE) && m.msg == WM_QUIT)
    PostQuitMessage(static_cast<int>(m.wParam));
}

void ClampRectToScreen(TRect& rect) {
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (rect.right > sw) {
    rect.left = sw - (rect.right - rect.left);
    rect.right = sw;
  }
  if (rect.left < 0) {
    rect.right -= rect.left;
    rect.left = 0;
  }
  if (rect.bottom > sh) {
    rect.top = sh - (rect.bottom - rect.top);
    rect.bottom = sh;
  }
  if (rect.top < 0) {
    rect.bottom -= rect.top;
    rect.top = 0;
  }
}

void CenterWindowOnScreen(HWND window) {
  TRect r;
  if (!GetWindowRect(window, r)) return;
  const int w = RectWidth(r), h = RectHeight(r);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  TRect placed = Rect(left, top, left + w, top + h);
  ClampRectToScreen(placed);
  SetWindowPos(window, 0, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string FitTextToWidth(const std::string& text, TCanvas& canvas, int maxWidth) {
  std::string result = text;
  const int length = static_cast<int>(text.size());
  for (int n = 1; n <= length && canvas.TextWidth(result) > maxWidth;) {
    ++n;
    result = text.substr(0, static_cast<std::size_t>(std::max(0, length - n))) + "...";
  }
  return result;
}

bool IsOwnWindowActive() {
  const HWND active = GetActiveWindow();
  bool found = false;
  EnumThreadWindows(GetCurrentThreadId(), [&](HWND h) {
    if (h != active) return true;
    found = true;
    return false;
  });
  return found;
}
