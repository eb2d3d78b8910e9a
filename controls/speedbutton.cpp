#include "controls/speedbutton.h"

#include "controls/vxutils.h"
#include "platform/classes/classbuilder.h"
#include "platform/ui/forms.h"
#include "platform/ui/winapi.h"

using namespace ui;

const classes::TClassInfo& TVxSpeedButton::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TVxSpeedButton, TGraphicControl>("TVxSpeedButton", [](auto& c) {
    using B = TVxSpeedButton;
    c.Component("Action", &B::Action, &B::SetAction);
    c.Enum("Alignment", &B::Alignment, &B::SetAlignment, {"taLeftJustify", "taRightJustify", "taCenter"})
        .Default(taCenter);
    c.Bool("AllowAllUp", &B::AllowAllUp, &B::SetAllowAllUp).Default(false);
    c.Bool("AllowTimer", &B::AllowTimer, &B::SetAllowTimer).Default(false);
    c.Set("Anchors", &B::Anchors, &B::SetAnchors, {"akLeft", "akTop", "akRight", "akBottom"})
        .Default(akLeft | akTop);
    c.Object("Constraints", [](B& b) -> classes::TPersistent& { return b.Constraints(); });
    c.Integer("DragCursor", &B::DragCursor, &B::SetDragCursor).Default(crDrag);
    c.Enum("DragKind", &B::DragKind, &B::SetDragKind, {"dkDrag", "dkDock"}).Default(dkDrag);
    c.Enum("DragMode", &B::DragMode, &B::SetDragMode, {"dmManual", "dmAutomatic"}).Default(dmManual);
    c.Enum("BiDiMode", &B::BiDiMode, &B::SetBiDiMode,
           {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"})
        .Default(bdLeftToRight);
    c.Bool("ParentBiDiMode", &B::ParentBiDiMode, &B::SetParentBiDiMode).Default(true);
    c.Integer("GroupIndex", &B::GroupIndex, &B::SetGroupIndex).Default(0);
    c.Bool("Down", &B::Down, &B::SetDown).Default(false);
    c.Component("DropDownMenu", &B::DropDownMenu, &B::SetDropDownMenu);
    c.Enum("MenuPosition", &B::MenuPosition, &B::SetMenuPosition, {"dmpBottom", "dmpRight"}).Default(dmpBottom);
    c.Bool("Flat", &B::Flat, &B::SetFlat).Default(false);
    c.Object("Glyph", [](B& b) -> classes::TPersistent& { return b.storedGlyph_; });
    c.Bool("GrayedInactive", &B::GrayedInactive, &B::SetGrayedInactive).Default(true);
    c.Integer("InitPause", &B::InitPause, &B::SetInitPause).Default(500);
    c.Enum("Layout", &B::Layout, &B::SetLayout, {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"})
        .Default(blGlyphTop);
    c.Integer("Margin", &B::Margin, &B::SetMargin).Default(-1);
    c.Bool("MarkDropDown", &B::MarkDropDown, &B::SetMarkDropDown).Default(true);
    c.Integer("ModalResult", &B::ModalResult, &B::SetModalResult).Default(0);
    c.Integer("NumGlyphs", &B::NumGlyphs, &B::SetNumGlyphs).Default(1);
    c.Bool("ParentShowHint", &B::ParentShowHint, &B::SetParentShowHint).Default(false);
    c.Integer("RepeatInterval", &B::RepeatInterval, &B::SetRepeatInterval).Default(100);
    c.Bool("ShowHint", &B::ShowHint, &B::SetShowHint).Default(true);
    c.Integer("Spacing", &B::Spacing, &B::SetSpacing).Default(1);
    c.Enum("Style", &B::Style, &B::SetStyle, {"bsAutoDetect", "bsWin31", "bsNew"}).Default(bsAutoDetect);
    c.Bool("Transparent", &B::Transparent, &B::SetTransparent).Default(false);
    c.Bool("WordWrap", &B::WordWrap, &B::SetWordWrap).Default(false);
    c.Event("OnMouseEnter", &B::OnMouseEnter, &B::SetOnMouseEnter);
    c.Event("OnMouseLeave", &B::OnMouseLeave, &B::SetOnMouseLeave);
  });
  return info;
}

TVxSpeedButton::TVxSpeedButton(classes::TComponent* owner)
    : TGraphicControl(owner),
      buttonGlyph_(std::make_unique<TVxButtonGlyph>()),
      faceBitmap_(std::make_unique<TBitmap>()) {
  controlStyle_ = csCaptureMouse | csOpaque | csDoubleClicks | csReplicatable;
  SetBounds(0, 0, 25, 25);
  SetParentShowHint(false);
  SetShowHint(true);
  buttonGlyph_->OnGlyphChanged = classes::TNotifyEvent(this, &TVxSpeedButton::ButtonGlyphChanged);
}

TVxSpeedButton::~TVxSpeedButton() {
  delete autoRepeatTimer_;
  autoRepeatTimer_ = nullptr;
  if (dropDownMenu_) dropDownMenu_->RemoveFreeNotification(this);
}

void TVxSpeedButton::ButtonGlyphChanged(classes::TObject*) { Invalidate(); }

// Property setters: store when changed, then invalidate (or tell the group).

void TVxSpeedButton::SetAlignment(TAlignment v) {
  if (v == buttonGlyph_->Alignment()) return;
  buttonGlyph_->SetAlignment(v);
  Invalidate();
}

void TVxSpeedButton::SetAllowAllUp(bool v) {
  if (v == allowAllUp_) return;
  allowAllUp_ = v;
  NotifyGroup();
}

void TVxSpeedButton::SetAllowTimer(bool v) {
  allowTimer_ = v;
  if (!v && autoRepeatTimer_) {
    autoRepeatTimer_->SetEnabled(false);
    delete autoRepeatTimer_;
    autoRepeatTimer_ = nullptr;
  }
}

void TVxSpeedButton::SetGroupIndex(int v) {
  if (v == groupIndex_) return;
  groupIndex_ = v;
  NotifyGroup();
}

void TVxSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (down_ && !allowAllUp_) return;  // a held button of a group is released only by another
  down_ = v;
  if (v) {
    if (faceState_ == gsUp) Invalidate();
    faceState_ = gsExclusive;
  } else {
    faceState_ = gsUp;
  }
  Repaint();
  if (v) NotifyGroup();
  Invalidate();
}

void TVxSpeedButton::SetDropDownMenu(TPopupMenu* v) {
  if (dropDownMenu_ && dropDownMenu_ != v) dropDownMenu_->RemoveFreeNotification(this);
  dropDownMenu_ = v;
  if (v) v->FreeNotification(this);
  if (markDropDown_) Invalidate();
}

void TVxSpeedButton::SetFlat(bool v) {
  if (v == flat_) return;
  flat_ = v;
  Invalidate();
}

void TVxSpeedButton::SetGlyph(const TBitmap& v) {
  buttonGlyph_->AssignGlyph(v);
  Invalidate();
}

void TVxSpeedButton::SetGrayedInactive(bool v) {
  if (v == grayedInactive_) return;
  grayedInactive_ = v;
  Invalidate();
}

void TVxSpeedButton::SetLayout(TButtonLayout v) {
  if (v == layout_) return;
  layout_ = v;
  Invalidate();
}

void TVxSpeedButton::SetMargin(int v) {
  if (v == margin_ || v < -1) return;
  margin_ = v;
  Invalidate();
}

void TVxSpeedButton::SetMarkDropDown(bool v) {
  if (v == markDropDown_) return;
  markDropDown_ = v;
  Invalidate();
}

void TVxSpeedButton::SetNumGlyphs(TVxNumGlyphs v) {
  if (v > 5) v = 5;
  if (v == buttonGlyph_->NumGlyphs()) return;
  buttonGlyph_->SetGlyphCount(v);
  Invalidate();
}

void TVxSpeedButton::SetSpacing(int v) {
  if (v == spacing_) return;
  spacing_ = v;
  Invalidate();
}

void TVxSpeedButton::SetStyle(TButtonStyle v) {
  if (v == style_) return;
  style_ = v;
  Invalidate();
}

void TVxSpeedButton::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TVxSpeedButton::SetWordWrap(bool v) {
  if (v == buttonGlyph_->WordWrap()) return;
  buttonGlyph_->SetWordWrap(v);
  Invalidate();
}

// Life cycle and notifications.

void TVxSpeedButton::PrepareStateImage() {
  buttonGlyph_->BuildStateImage(!Enabled() ? gsDisabled : flat_ ? gsInactive : gsUp);
}

void TVxSpeedButton::Loaded() {
  TGraphicControl::Loaded();
  PrepareStateImage();
}

void TVxSpeedButton::Notification(classes::TComponent* component, classes::TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == classes::opRemove && component == dropDownMenu_) SetDropDownMenu(nullptr);
  if (operation == classes::opRemove && component == autoRepeatTimer_) autoRepeatTimer_ = nullptr;
}

void TVxSpeedButton::WndProc(TMessage& m) {
  switch (m.msg) {
    case WM_LBUTTONDBLCLK:
      if (menuShowing_) return;
      TGraphicControl::WndProc(m);
      if (down_) DblClick();
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      TGraphicControl::WndProc(m);
      UpdateMouseInside();
      return;
    case CM_DIALOGCHAR:
      if (IsAccelerator(static_cast<int>(m.wParam), Caption()) && Enabled()) {
        Click();
        m.result = 1;
        return;
      }
      break;
    case CM_VISIBLECHANGED:
      TGraphicControl::WndProc(m);
      if (Visible()) UpdateMouseInside();
      return;
    case CM_ENABLEDCHANGED:
      TGraphicControl::WndProc(m);
      PrepareStateImage();
      UpdateMouseInside();
      Repaint();
      return;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
      TGraphicControl::WndProc(m);
      Invalidate();
      return;
    case CM_MOUSEENTER:
      TGraphicControl::WndProc(m);
      MouseEntered();
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::WndProc(m);
      MouseLeft();
      return;
    case CM_SYSCOLORCHANGE:
      buttonGlyph_->ReleaseStateImages();
      Invalidate();
      return;
    case CM_GROUPBUTTONDOWN:
      GroupButtonDown(m);
      return;
    default:
      break;
  }
  TGraphicControl::WndProc(m);
}

// Groups.

void TVxSpeedButton::NotifyGroup() {
  if (groupIndex_ == 0 || !Parent()) return;
  Parent()->Broadcast(CM_GROUPBUTTONDOWN, static_cast<WPARAM>(groupIndex_),
                      reinterpret_cast<LPARAM>(static_cast<TControl*>(this)));
}

void TVxSpeedButton::GroupButtonDown(TMessage& m) {
  m.result = 0;
  auto* sender = dynamic_cast<TVxSpeedButton*>(reinterpret_cast<TControl*>(m.lParam));
  if (static_cast<int>(m.wParam) != groupIndex_ || !Parent() || !Parent()->HandleAllocated() || !sender ||
      sender == this)
    return;
  if (sender->Down() && down_) {
    down_ = false;
    faceState_ = gsUp;
    Repaint();
  }
  allowAllUp_ = sender->AllowAllUp();
}

// Hot tracking.

void TVxSpeedButton::MouseEntered() {
  if (mouseInside_ || !Enabled() || !IsOwnWindowActive()) return;
  mouseInside_ = true;
  if (flat_) Repaint();
  NotifyMouseEnter();
}

void TVxSpeedButton::MouseLeft() {
  if (!mouseInside_ || !Enabled() || pressing_) return;
  mouseInside_ = false;
  if (flat_) Invalidate();
  NotifyMouseLeave();
}

void TVxSpeedButton::UpdateMouseInside() {
  const bool inside = Enabled() && FindDragTarget(GetCursorPos(), true) == this && IsOwnWindowActive();
  if (inside == mouseInside_) return;
  mouseInside_ = inside;
  if (inside) {
    if (flat_) Repaint();
    NotifyMouseEnter();
  } else {
    if (flat_) Invalidate();
    NotifyMouseLeave();
  }
}

// Press, move, release, auto-repeat, click.

void TVxSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (menuShowing_) return;
  TGraphicControl::MouseDown(button, shift, x, y);
  if (!mouseInside_ && Enabled()) {
    mouseInside_ = true;
    Repaint();
  }
  if (button != mbLeft || !Enabled()) return;
  if (!down_) {
    faceState_ = gsDown;
    Repaint();
  }
  pressing_ = true;
  menuShowing_ = true;
  struct MenuShowingReset {
    bool& flag;
    ~MenuShowingReset() { flag = false; }
  } reset{menuShowing_};
  if (ShowDropDownMenu(DropDownMenuPoint())) FinishPress(button, shift, x, y);
  // The press that closed the menu on this button must not press it again.
  TMessage pending;
  if (PeekMessage(pending, 0, 0, 0, PM_NOREMOVE) &&
      (pending.msg == WM_LBUTTONDOWN || pending.msg == WM_LBUTTONDBLCLK)) {
    const TPoint p = ScreenToClient(pending.pt);
    if (PointInside(p.x, p.y)) DiscardPendingMessage(pending.hwnd, pending.msg);
  }
  if (allowTimer_) {
    if (!autoRepeatTimer_) {
      autoRepeatTimer_ = new TTimer(this);
      autoRepeatTimer_->SetEnabled(false);
    }
    autoRepeatTimer_->SetInterval(initPause_);
    autoRepeatTimer_->SetOnTimer(classes::TNotifyEvent(this, &TVxSpeedButton::RepeatTimerTick));
    autoRepeatTimer_->SetEnabled(true);
  }
}

void TVxSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!pressing_) return;
  const TGlyphState next = down_ ? gsExclusive : PointInside(x, y) ? gsDown : gsUp;
  if (next == faceState_) return;
  faceState_ = next;
  Repaint();
}

void TVxSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  FinishPress(button, shift, x, y);
  if (autoRepeatTimer_) autoRepeatTimer_->SetEnabled(false);
}

void TVxSpeedButton::FinishPress(TMouseButton button, TShiftState, int x, int y) {
  if (pressing_ && button == mbLeft) {
    pressing_ = false;
    const bool inside = PointInside(x, y);
    if (groupIndex_ == 0) {
      faceState_ = gsUp;
      mouseInside_ = false;
      if (inside) Repaint();
      else Invalidate();
    } else if (inside) {
      SetDown(!down_);
      if (down_) Repaint();
    } else {
      // Released outside: back to the held face, or up when the button is not held (a press
      // released outside without a move would otherwise stay drawn pressed).
      faceState_ = down_ ? gsExclusive : gsUp;
      Repaint();
    }
    if (inside && !menuShowing_) Click();
  }
  UpdateMouseInside();
}

void TVxSpeedButton::RepeatTimerTick(classes::TObject*) {
  autoRepeatTimer_->SetInterval(repeatInterval_);
  if (faceState_ != gsDown || !MouseCapture()) return;
  try {
    Click();
  } catch (...) {
    if (autoRepeatTimer_) autoRepeatTimer_->SetEnabled(false);
    throw;
  }
}

void TVxSpeedButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TGraphicControl::Click();
}

// The drop-down menu.

TPoint TVxSpeedButton::DropDownMenuPoint() const {
  if (!dropDownMenu_) return {0, 0};
  const TPopupAlignment a = dropDownMenu_->Alignment();
  if (a == paCenter) return {Width() / 2, Height()};
  if (menuPosition_ == dmpBottom) return a == paLeft ? TPoint{-1, Height()} : TPoint{Width() + 1, Height()};
  return a == paLeft ? TPoint{Width(), -1} : TPoint{-1, -1};
}

bool TVxSpeedButton::ShowDropDownMenu(TPoint clientPoint) {
  if (InState(classes::csDesigning) || !dropDownMenu_ || !dropDownMenu_->AutoPopup()) return false;
  if (TCustomForm* form = GetParentForm(this)) form->CancelModes();
  dropDownMenu_->SetPopupComponent(this);
  const TPoint screen = ClientToScreen(clientPoint);
  dropDownMenu_->Popup(screen.x, screen.y);
  return true;
}

// The action link.

void TVxSpeedButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (!action) return;
  if ((!checkDefaults || !down_) && groupIndex_ != 0) SetDown(action->Checked());
  const TImageList* images = action->ActionList() ? action->ActionList()->Images() : nullptr;
  if (Glyph().Empty() && images && action->ImageIndex() >= 0 && action->ImageIndex() < images->Count())
    CopyActionImage(*action);
}

void TVxSpeedButton::CopyActionImage(TCustomAction& action) {
  const TImageList& images = *action.ActionList()->Images();
  TBitmap& glyph = Glyph();
  glyph.SetSize(images.Width(), images.Height());
  glyph.Canvas().Brush().SetColor(clFuchsia);
  glyph.Canvas().FillRect(Rect(0, 0, images.Width(), images.Height()));
  ImageList_Draw(images, action.ImageIndex(), glyph.Canvas(), 0, 0, ILD_NORMAL);
  glyph.SetTransparentColor(clFuchsia);
}
