#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/ui/forms.h"

namespace ui {

FrameMetrics FrameMetricsOf(TFormBorderStyle style) {
  switch (style) {
    case bsNoneForm: return {0, 0};
    case bsSizeable: return {4, 23};
    case bsSizeToolWin: return {4, 19};
    case bsToolWindow: return {3, 18};
    case bsSingleForm:
    case bsDialog: return {3, 22};
  }
  return {4, 23};
}

const classes::TClassInfo& TCustomForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomForm, TWinControl>("TCustomForm", [](auto& c) {
    c.Set("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
          {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"})
        .Default(biSystemMenu | biMinimize | biMaximize);
    c.Enum("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
           {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"})
        .Default(bsSizeable);
    c.Integer("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight);
    c.Integer("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth);
    c.Enum("Position", &TCustomForm::Position, &TCustomForm::SetPosition,
           {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
            "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"})
        .Default(poDesigned);
    c.Enum("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState,
           {"wsNormal", "wsMinimized", "wsMaximized"})
        .Default(wsNormal);
    c.Enum("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle,
           {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"})
        .Default(fsNormal);
    c.Integer("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch);
    c.Integer("TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight);
    c.Bool("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    c.Bool("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled).Default(true);
    c.Bool("OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder).Default(false);
    c.Component("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    c.Event("OnActivate", &TCustomForm::OnActivate, &TCustomForm::SetOnActivate);
    c.Event("OnClose", &TCustomForm::OnClose, &TCustomForm::SetOnClose);
    c.Event("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::SetOnCloseQuery);
    c.Event("OnCreate", &TCustomForm::OnCreate, &TCustomForm::SetOnCreate);
    c.Event("OnDeactivate", &TCustomForm::OnDeactivate, &TCustomForm::SetOnDeactivate);
    c.Event("OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::SetOnDestroy);
    c.Event("OnHide", &TCustomForm::OnHide, &TCustomForm::SetOnHide);
    c.Event("OnShow", &TCustomForm::OnShow, &TCustomForm::SetOnShow);
  });
  return info;
}

const classes::TClassInfo& TForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TForm, TCustomForm>("TForm", [](auto&) {});
  return info;
}

TCustomForm::TCustomForm(classes::TComponent* owner) : TWinControl(owner) {
  TControl::SetVisible(false);
  SetBounds(0, 0, 320, 240);
}

TCustomForm::~TCustomForm() {
  try {
    onDestroy_.Fire(this);
  } catch (...) {
    if (Application) Application->HandleCurrentException();
  }
  if (Application) Application->FormDestroyed(this);
  Destroying();
  DestroyComponents();
  DestroyHandle();
}

void TCustomForm::ReadDescription(std::string_view description) {
  controlState_ |= csReadingState;
  try {
    classes::ReadRootComponent(*this, description);
  } catch (...) {
    controlState_ &= ~csReadingState;
    throw;
  }
  controlState_ &= ~csReadingState;
}

void TCustomForm::Loaded() {
  TWinControl::Loaded();
}

void TCustomForm::DoCreate() {
  try {
    onCreate_.Fire(this);
  } catch (...) {
    if (!Application) throw;
    Application->HandleCurrentException();
  }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
  if (v == borderStyle_) return;
  if (InState(classes::csReading)) {
    borderStyle_ = v;  // a stored outer size stays as stored
    return;
  }
  // At run time the client area keeps its size; the frame around it changes.
  const int cw = ClientWidth(), ch = ClientHeight();
  borderStyle_ = v;
  SetClientSize(cw, ch);
  UpdateTopLevelWindow();
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
  if (v == borderIcons_) return;
  borderIcons_ = v;
  UpdateTopLevelWindow();
}

TRect TCustomForm::ClientRect() const {
  const FrameMetrics f = Frame();
  return Rect(0, 0, std::max(0, Width() - 2 * f.side), std::max(0, Height() - f.top - f.side));
}

TPoint TCustomForm::ClientOrigin() const {
  const FrameMetrics f = Frame();
  return {f.side, f.top};
}

void TCustomForm::SetClientSize(int w, int h) {
  const FrameMetrics f = Frame();
  SetBounds(Left(), Top(), w + 2 * f.side, h + f.top + f.side);
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  activeControl_ = c;
  if (c && active_ && Windows() && Windows()->ActiveForm() == this && c->CanFocus())
    Windows()->SetFocusedControl(c);
}

void TCustomForm::FocusArrived(TWinControl* control) {
  if (control != this) activeControl_ = control;
}

void TCustomForm::SelectNext(TWinControl* current, bool forward) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  std::erase_if(list, [](TWinControl* w) { return !w->TabStop() || !w->CanFocus(); });
  if (list.empty()) return;
  auto it = std::find(list.begin(), list.end(), current);
  std::size_t index;
  if (it == list.end()) index = forward ? 0 : list.size() - 1;
  else {
    const std::size_t at = static_cast<std::size_t>(it - list.begin());
    index = forward ? (at + 1) % list.size() : (at + list.size() - 1) % list.size();
  }
  list[index]->SetFocus();
}

void TCustomForm::ApplyPosition() {
  if (positioned_) return;
  positioned_ = true;
  const TSize screen = Windows() ? Windows()->GetBackend().ScreenSize() : TSize{1024, 768};
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      SetBounds((screen.cx - Width()) / 2, (screen.cy - Height()) / 2, Width(), Height());
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* main = Application ? Application->MainForm() : nullptr;
      if (main && main != this)
        SetBounds(main->Left() + (main->Width() - Width()) / 2, main->Top() + (main->Height() - Height()) / 2,
                  Width(), Height());
      else
        SetBounds((screen.cx - Width()) / 2, (screen.cy - Height()) / 2, Width(), Height());
      break;
    }
    default:
      break;
  }
}

void TCustomForm::CreateWnd() {
  ApplyPosition();
  TWinControl::CreateWnd();
}

void TCustomForm::DestroyWnd() { TWinControl::DestroyWnd(); }

// The frame as the border style and icons make it: minimize and maximize boxes only beside a
// system menu, and never on dialog and tool-window frames.
TopLevelInfo TCustomForm::TopLevelWindowInfo() {
  TopLevelInfo info = TWinControl::TopLevelWindowInfo();
  info.framed = borderStyle_ != bsNoneForm;
  info.sizeable = borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin;
  const bool boxes = borderStyle_ == bsSizeable || borderStyle_ == bsSingleForm;
  info.systemMenu = info.framed && (borderIcons_ & biSystemMenu) != 0;
  info.minimizeBox = boxes && info.systemMenu && (borderIcons_ & biMinimize) != 0;
  info.maximizeBox = boxes && info.systemMenu && (borderIcons_ & biMaximize) != 0;
  return info;
}

void TCustomForm::SetVisible(bool v) {
  if (InState(classes::csReading) || InState(classes::csLoading) || !Windows()) {
    TControl::SetVisible(v);
    return;
  }
  if (v == Visible() && (!v || HandleAllocated())) return;
  if (v) {
    ApplyPosition();
    TControl::SetVisible(true);
    HandleNeeded();
    UpdateTopLevelWindow();
    Invalidate();
    try {
      onShow_.Fire(this);
    } catch (...) {
      if (Application) Application->HandleCurrentException();
    }
    if (Enabled()) Windows()->ActivateForm(this);
  } else {
    try {
      onHide_.Fire(this);
    } catch (...) {
      if (Application) Application->HandleCurrentException();
    }
    TControl::SetVisible(false);
    UpdateTopLevelWindow();
    if (Windows()->ActiveForm() == this) {
      TCustomForm* next = nullptr;
      if (Application)
        for (int i = 0; i < Application->Screen().FormCount(); ++i) {
          TCustomForm* f = Application->Screen().Forms(i);
          if (f != this && f->Visible() && f->Enabled()) next = f;
        }
      Windows()->ActivateForm(next);
    }
  }
}

void TCustomForm::Activate() {
  active_ = true;
  TWinControl* target = activeControl_;
  if (!target || !target->CanFocus()) {
    target = nullptr;
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    for (TWinControl* w : list)
      if (w->TabStop() && w->CanFocus()) {
        target = w;
        break;
      }
  }
  Windows()->SetFocusedControl(target ? target : this);
  // The form becomes the application's focused form for the first time: only then.
  if (!activatedOnce_) {
    activatedOnce_ = true;
    try {
      onActivate_.Fire(this);
    } catch (...) {
      if (Application) Application->HandleCurrentException();
    }
  }
}

void TCustomForm::Deactivate() {
  active_ = false;
  if (Windows() && Windows()->FocusedControl() && GetParentForm(Windows()->FocusedControl()) == this)
    Windows()->SetFocusedControl(nullptr);
  onDeactivate_.Fire(this);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  onCloseQuery_.Fire(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) { onClose_.Fire(this, action); }

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->FormClosed(this);
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    windowState_ = wsMinimized;
  } else {
    Release();
  }
}

void TCustomForm::CancelModes() {
  WindowSystem* ws = Windows();
  if (!ws) return;
  TControl* captured = ws->CaptureControl();
  if (captured && GetParentForm(captured) == this) {
    captured->Perform(CM_CANCELMODE);
    ws->ReleaseCapture(captured);
  }
}

void TCustomForm::Release() {
  if (Windows()) Windows()->Post(Handle(), CM_RELEASE);
}

int TCustomForm::ShowModal() {
  if (Visible() || modal_) throw rtl::Exception("Cannot make a visible window modal");
  WindowSystem* ws = Windows();
  TCustomForm* previous = ws->ActiveForm();
  std::vector<TWinControl*> disabled;
  for (TWinControl* w : ws->TopLevels())
    if (w != this && w->Enabled() && w->Visible()) {
      w->SetEnabled(false);
      disabled.push_back(w);
    }
  modal_ = true;
  modalResult_ = 0;
  auto restore = [&] {
    modal_ = false;
    for (TWinControl* w : disabled) w->SetEnabled(true);
  };
  try {
    Show();
    while (true) {
      if (Application->Terminated() || !Application->HandleMessage()) {
        modalResult_ = mrCancel;
        break;
      }
      if (modalResult_ != 0) {
        TCloseAction action = caHide;
        if (CloseQuery()) DoClose(action);
        else action = caNone;
        if (action == caNone) modalResult_ = 0;
        else break;
      }
    }
    const int result = modalResult_;
    restore();
    Hide();
    if (previous && previous->Visible() && previous->Enabled()) ws->ActivateForm(previous);
    return result;
  } catch (...) {
    restore();
    Hide();
    throw;
  }
}

bool TCustomForm::DialogKey(int key, TShiftState shift) {
  if (shift & (ssAlt | ssCtrl)) return false;
  if (key == VK_RETURN || key == VK_ESCAPE) return Broadcast(CM_DIALOGKEY, static_cast<WPARAM>(key), 0) != 0;
  return false;
}

void TCustomForm::PaintWindow(TCanvas&) {}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.msg) {
    case CM_DIALOGKEY: {
      const int key = static_cast<int>(m.wParam);
      const TShiftState shift = static_cast<TShiftState>(m.lParam);
      if (key == VK_TAB && !(shift & (ssAlt | ssCtrl))) {
        SelectNext(Windows() ? Windows()->FocusedControl() : nullptr, !(shift & ssShift));
        m.result = 1;
        return;
      }
      if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
        SelectNext(Windows() ? Windows()->FocusedControl() : nullptr, key == VK_RIGHT || key == VK_DOWN);
        m.result = 1;
        return;
      }
      m.result = DialogKey(key, shift) ? 1 : 0;
      return;
    }
    case WM_CLOSE:
      Close();
      return;
    case CM_ACTIVATE:
      Activate();
      return;
    case CM_DEACTIVATE:
      Deactivate();
      return;
    case CM_RELEASE:
      delete this;
      return;
    case CM_TEXTCHANGED:
      UpdateTopLevelWindow();
      return;
    default:
      TWinControl::WndProc(m);
  }
}

}  // namespace ui
