#include "platform/ui/hints.h"

#include "platform/ui/windowsystem.h"

namespace ui {

bool ShowsHints(const TControl& control) {
  const TControl* c = &control;
  while (c->ParentShowHint() && c->Parent()) c = c->Parent();
  return c->ShowHint();
}

std::string GetShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

THintWindow::THintWindow(classes::TComponent* owner) : TCustomForm(owner) {
  SetBorderStyle(bsNoneForm);
  SetEnabled(false);  // shown without being activated, and no input
}

void THintWindow::ActivateHint(TPoint screen, const std::string& text) {
  text_ = text;
  TBitmap measure(1, 1);
  measure.Canvas().Font().Assign(Font());
  const TSize size = measure.Canvas().TextExtent(text);
  SetBounds(screen.x, screen.y, size.cx + 6, size.cy + 4);
  Show();
  Invalidate();
}

void THintWindow::PaintWindow(TCanvas& dc) {
  const TRect r = Rect(0, 0, ClientWidth(), ClientHeight());
  dc.Brush().SetColor(clInfoBk);
  dc.FillRect(r);
  dc.Brush().SetColor(clBlack);
  dc.FrameRect(r);
  dc.Brush().SetStyle(bsClear);
  dc.Font().Assign(Font());
  dc.Font().SetColor(clInfoText);
  dc.TextOut(3, 2, text_);
}

HintController::HintController(WindowSystem& windows) : windows_(windows) {
  handle_ = windows_.AllocateHandle(this);
}

HintController::~HintController() { windows_.ReleaseHandle(handle_); }

THintWindow* HintController::Showing() const { return window_ && window_->Visible() ? window_ : nullptr; }

void HintController::Cancel() {
  windows_.Queue().KillTimer(handle_, kShowTimer);
  windows_.Queue().KillTimer(handle_, kHideTimer);
  control_ = nullptr;
  if (window_ && window_->Visible()) window_->Hide();
}

void HintController::MouseControlChanged(TControl* control) {
  Cancel();
  if (!control || GetShortHint(control->Hint()).empty() || !ShowsHints(*control)) return;
  control_ = control;
  windows_.Queue().SetTimer(handle_, kShowTimer, static_cast<std::uint32_t>(hintPause));
}

void HintController::ControlDestroyed(TControl* control) {
  if (control == window_) window_ = nullptr;
  if (control == control_) Cancel();
}

void HintController::ShowNow() {
  windows_.Queue().KillTimer(handle_, kShowTimer);
  if (!control_ || !Application) return;
  if (!window_) window_ = new THintWindow(Application);
  const TPoint at = windows_.CursorPos();
  window_->ActivateHint({at.x, at.y + 20}, GetShortHint(control_->Hint()));
  windows_.Queue().SetTimer(handle_, kHideTimer, static_cast<std::uint32_t>(hintHidePause));
}

void HintController::HandleMessage(TMessage& m) {
  if (m.msg != WM_TIMER) return;
  if (m.wParam == kShowTimer) ShowNow();
  else if (m.wParam == kHideTimer) Cancel();
}

}  // namespace ui
